// The published cryptographic primitives the decryption object is built on, as the system
// provides them: OpenSSL's libcrypto on Linux, CNG (bcrypt) on Windows. Only the pieces the
// AES file-encryption layer needs are here; everything above this layer calls these alone.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vek::platform {

constexpr size_t kAesBlockSize = 16;
constexpr size_t kSha1DigestSize = 20;

// PBKDF2 (RFC 2898) with HMAC-SHA1 over password and salt, writing outLength bytes to out.
// False when the system refuses (the output is then undefined).
bool Pbkdf2HmacSha1(const uint8_t* password, size_t passwordLength, const uint8_t* salt,
                    size_t saltLength, unsigned iterations, uint8_t* out, size_t outLength);

// An AES key schedule for encryption only: counter mode needs nothing else. The schedule is
// the system's own object; Clear (and the destructor) destroy it, which wipes it.
class AesEncryptor {
  public:
    AesEncryptor() = default;
    ~AesEncryptor() { Clear(); }
    AesEncryptor(const AesEncryptor&) = delete;
    AesEncryptor& operator=(const AesEncryptor&) = delete;

    // A 16, 24 or 32-byte key; any other length, or a refusal by the system, is false.
    bool SetKey(const uint8_t* key, size_t keyLength);
    // Encrypts blockCount 16-byte blocks in place, each on its own (ECB). Many blocks per call
    // keep the system's per-call cost off every block.
    bool EncryptBlocks(uint8_t* blocks, size_t blockCount);
    void Clear();
    bool HasKey() const { return m_state != nullptr; }

  private:
    struct State;
    State* m_state = nullptr;
};

// HMAC-SHA1 (RFC 2104) fed in pieces.
class HmacSha1 {
  public:
    HmacSha1() = default;
    ~HmacSha1() { Clear(); }
    HmacSha1(const HmacSha1&) = delete;
    HmacSha1& operator=(const HmacSha1&) = delete;

    bool Init(const uint8_t* key, size_t keyLength);
    bool Update(const void* data, size_t length);
    // The 20-byte digest; the object needs Init again afterwards.
    bool Final(uint8_t digest[kSha1DigestSize]);
    void Clear();

  private:
    struct State;
    State* m_state = nullptr;
};

// Zero-fills memory in a way the compiler may not drop as a dead store.
void SecureZero(void* data, size_t length);

}  // namespace vek::platform
