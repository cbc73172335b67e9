// The decryption object every extractor holds. The decoders drive it in three steps per entry:
// BeginDecryption before the first stored byte, Filter on every buffer of stored bytes as it is
// read, and FinishDecryption after the last one.
#pragma once

#include <cstdint>

#include "archive/core/entry.h"
#include "archive/core/streams.h"
#include "archive/core/winzip_aes.h"

// Encryption modes, the values of SVekEntry::encryption.
enum : int {
    VEK_CRYPT_NONE = 0,
    VEK_CRYPT_ZIP = 1,     // traditional, 12-byte header in front of the data
    VEK_CRYPT_AES128 = 2,  // WinZip AES, salt and verifier in front, code behind
    VEK_CRYPT_AES192 = 3,
    VEK_CRYPT_AES256 = 4,
    VEK_CRYPT_EGG_ZIP = 5,     // traditional, header from the EGG key data
    VEK_CRYPT_EGG_AES128 = 6,  // WinZip AES, everything from the EGG key data
    VEK_CRYPT_EGG_AES256 = 7,
    VEK_CRYPT_CODEC_LIBRARY = 153,  // encrypted entry read through the 7-Zip codec library
};

// Passwords keep at most this many bytes plus the terminator.
constexpr int VEK_PASSWORD_BUFFER = 512;

// The traditional cipher's encryption header in front of the data.
constexpr int VEK_TRADITIONAL_HEADER_SIZE = 12;

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

    // The traditional cipher, for decoders that run their own byte loops.
    void InitTraditionalKeys(const char* password);
    void DecryptTraditional(char* data, int length);
    // Decrypts a copy of the header; true when its last byte is checkByte. The keys are left
    // after the header, ready for the data.
    bool CheckTraditionalHeader(const uint8_t header[VEK_TRADITIONAL_HEADER_SIZE],
                                uint8_t checkByte);

    int mode = VEK_CRYPT_NONE;
    // False for formats whose traditional header carries no check value (BH): a wrong password
    // then shows in the CRC check instead.
    bool checkTraditionalHeader = true;
    unsigned errorCode = 0;
    IVekInStream* headerStream = nullptr;  // not owned

  private:
    int BeginTraditional(const uint8_t* header, uint8_t checkByte);
    int BeginAes(int strength, const uint8_t* salt, const uint8_t* verifier);
    int CheckCode(const uint8_t expected[VEK_AES_CODE_SIZE]);
    void UpdateKeys(uint8_t plain);
    void WipeAes();

    CVekWinZipAes m_aes;
    uint8_t m_verifier[VEK_AES_VERIFIER_SIZE];
    uint8_t m_storedCode[VEK_AES_CODE_SIZE];
    char m_password[VEK_PASSWORD_BUFFER];
    uint32_t m_key0 = 0;
    uint32_t m_key1 = 0;
    uint32_t m_key2 = 0;
    const uint32_t* m_crcTable;
    bool m_readingCode = false;
};
