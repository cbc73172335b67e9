// WinZip AES file encryption (AE-1 and AE-2): keys from PBKDF2-HMAC-SHA1, AES in counter mode
// with a little-endian counter, and HMAC-SHA1 over the stored bytes truncated to ten bytes.
// The primitives underneath come from the platform layer; this layer only fixes how they are
// put together, so both builds decrypt the same bytes the same way.
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/platform/crypto_primitives.h"

constexpr int VEK_AES_VERIFIER_SIZE = 2;
constexpr int VEK_AES_CODE_SIZE = 10;
// Longer passwords are refused rather than derived: other tools cannot make such entries.
constexpr int VEK_AES_MAX_PASSWORD = 128;
constexpr unsigned VEK_AES_ITERATIONS = 1000;

class CVekWinZipAes {
  public:
    CVekWinZipAes();
    ~CVekWinZipAes() { Wipe(); }
    CVekWinZipAes(const CVekWinZipAes&) = delete;
    CVekWinZipAes& operator=(const CVekWinZipAes&) = delete;

    // Strength 1, 2, 3: AES-128, -192, -256. 0 for any other strength.
    static int KeyLength(int strength);
    static int SaltLength(int strength);

    // Derives the keys from the password bytes (no terminator) and the salt, and gives the
    // two-byte password verifier. Refused (0) for an unknown strength, a password longer than
    // 128 bytes, or when the system's primitives fail.
    int Init(int strength, const char* password, int passwordLength, const uint8_t* salt,
             uint8_t verifier[VEK_AES_VERIFIER_SIZE]);
    // Authenticates the stored bytes, then decrypts them in place. The keystream position runs
    // on from one call to the next, so buffers of any size (single bytes too) may be given.
    void Decrypt(char* data, int length);
    // The first ten bytes of the HMAC over everything given to Decrypt. 0 when any step failed
    // on the way, so that a system failure can never pass for an intact entry.
    int Finish(uint8_t code[VEK_AES_CODE_SIZE]);
    // Drops keys, counter and keystream.
    void Wipe();

  private:
    // Enough keystream for a typical decoder buffer in one call into the system.
    static constexpr size_t kBatchBlocks = 256;

    void Refill(size_t blocks);

    uint8_t m_counter[vek::platform::kAesBlockSize];
    uint8_t m_keystream[kBatchBlocks * vek::platform::kAesBlockSize];
    size_t m_position;   // next unused keystream byte
    size_t m_available;  // keystream bytes made by the last refill
    vek::platform::AesEncryptor m_aes;
    vek::platform::HmacSha1 m_hmac;
    int m_strength;
    bool m_failed;
};
