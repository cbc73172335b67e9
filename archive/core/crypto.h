// The decryption object every extractor holds. The decoders drive it in three steps per entry:
// BeginDecryption before the first stored byte, Filter on every buffer of stored bytes as it is
// read, and FinishDecryption after the last one.
#pragma once

#include <cstdint>

#include "archive/core/entry.h"
#include "archive/core/streams.h"

// Encryption modes, the values of SVekEntry::encryption.
enum : int {
    VEK_CRYPT_NONE = 0,
    VEK_CRYPT_ZIP = 1,         // traditional, 12-byte header in front of the data
    VEK_CRYPT_AES128 = 2,      // WinZip AES, salt and verifier in front, code behind
    VEK_CRYPT_AES192 = 3,
    VEK_CRYPT_AES256 = 4,
    VEK_CRYPT_EGG_ZIP = 5,     // traditional, header from the EGG key data
    VEK_CRYPT_EGG_AES128 = 6,  // WinZip AES, everything from the EGG key data
    VEK_CRYPT_EGG_AES256 = 7,
    VEK_CRYPT_CODEC_LIBRARY = 153,  // encrypted entry read through the 7-Zip codec library
};

// Passwords keep at most this many bytes plus the terminator.
constexpr int VEK_PASSWORD_BUFFER = 512;

class CVekCrypto : public IVekStreamFilter {
public:
    CVekCrypto();
    CVekCrypto(const CVekCrypto&) = delete;
    CVekCrypto& operator=(const CVekCrypto&) = delete;
    virtual ~CVekCrypto();

    // Reads and checks the entry's encryption header and prepares the cipher; lowers
    // *remaining by the stored bytes that are not payload. 0 with the error code set on failure.
    int BeginDecryption(SVekEntry* entry, IVekInStream* input, int64_t* remaining);
    // Decrypts stored bytes in place, in the order they are read.
    void Filter(char* data, int length) override;
    // Checks what can only be checked after the last stored byte.
    int FinishDecryption();

    void SetPassword(const char* password);
    const char* GetPassword() const { return m_password; }

    int mode = VEK_CRYPT_NONE;
    unsigned errorCode = 0;
    IVekInStream* headerStream = nullptr;  // not owned

private:
    char m_password[VEK_PASSWORD_BUFFER];
};
