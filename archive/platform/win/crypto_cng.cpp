// The cryptographic primitives from Windows CNG (bcrypt), for the Windows build.
#include <windows.h>
// bcrypt.h needs the Windows types first.
#include <bcrypt.h>

#include <new>

#include "archive/platform/crypto_primitives.h"

namespace vek::platform {
namespace {

// Opening an algorithm provider is the expensive part of CNG: do it once per process and share
// the handles, which CNG allows from any thread.
struct Providers {
    BCRYPT_ALG_HANDLE aes = nullptr;   // AES with the ECB chaining mode
    BCRYPT_ALG_HANDLE hmac = nullptr;  // SHA-1 in HMAC mode, also the PBKDF2 pseudo-random function

    Providers() {
        if (!BCRYPT_SUCCESS(
                ::BCryptOpenAlgorithmProvider(&aes, BCRYPT_AES_ALGORITHM, nullptr, 0))) {
            aes = nullptr;
        } else {
            // Counter mode is built above this layer: CNG only encrypts single blocks.
            wchar_t mode[] = BCRYPT_CHAIN_MODE_ECB;
            if (!BCRYPT_SUCCESS(::BCryptSetProperty(
                    aes, BCRYPT_CHAINING_MODE, reinterpret_cast<PUCHAR>(mode), sizeof(mode), 0))) {
                ::BCryptCloseAlgorithmProvider(aes, 0);
                aes = nullptr;
            }
        }
        if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&hmac, BCRYPT_SHA1_ALGORITHM, nullptr,
                                                          BCRYPT_ALG_HANDLE_HMAC_FLAG))) {
            hmac = nullptr;
        }
    }
    ~Providers() {
        if (aes != nullptr) {
            ::BCryptCloseAlgorithmProvider(aes, 0);
        }
        if (hmac != nullptr) {
            ::BCryptCloseAlgorithmProvider(hmac, 0);
        }
    }
};

Providers& GetProviders() {
    static Providers providers;
    return providers;
}

// CNG lengths are 32-bit.
constexpr size_t kMaxPiece = 0x40000000;

}  // namespace

bool Pbkdf2HmacSha1(const uint8_t* password, size_t passwordLength, const uint8_t* salt,
                    size_t saltLength, unsigned iterations, uint8_t* out, size_t outLength) {
    BCRYPT_ALG_HANDLE hmac = GetProviders().hmac;
    if (hmac == nullptr || passwordLength > kMaxPiece || saltLength > kMaxPiece ||
        outLength > kMaxPiece || iterations == 0) {
        return false;
    }
    // CNG takes non-const pointers but does not write through them.
    return BCRYPT_SUCCESS(::BCryptDeriveKeyPBKDF2(
        hmac, const_cast<PUCHAR>(password), static_cast<ULONG>(passwordLength),
        const_cast<PUCHAR>(salt), static_cast<ULONG>(saltLength), iterations, out,
        static_cast<ULONG>(outLength), 0));
}

struct AesEncryptor::State {
    BCRYPT_KEY_HANDLE key;
};

bool AesEncryptor::SetKey(const uint8_t* key, size_t keyLength) {
    Clear();
    BCRYPT_ALG_HANDLE aes = GetProviders().aes;
    if (aes == nullptr || (keyLength != 16 && keyLength != 24 && keyLength != 32)) {
        return false;
    }
    BCRYPT_KEY_HANDLE handle = nullptr;
    // No key object buffer: CNG keeps the schedule itself and wipes it on BCryptDestroyKey.
    if (!BCRYPT_SUCCESS(::BCryptGenerateSymmetricKey(
            aes, &handle, nullptr, 0, const_cast<PUCHAR>(key), static_cast<ULONG>(keyLength), 0))) {
        return false;
    }
    m_state = new (std::nothrow) State{handle};
    if (m_state == nullptr) {
        ::BCryptDestroyKey(handle);
        return false;
    }
    return true;
}

bool AesEncryptor::EncryptBlocks(uint8_t* blocks, size_t blockCount) {
    if (m_state == nullptr) {
        return false;
    }
    constexpr size_t kMaxBlocksPerCall = kMaxPiece / kAesBlockSize;
    while (blockCount > 0) {
        size_t now = blockCount < kMaxBlocksPerCall ? blockCount : kMaxBlocksPerCall;
        ULONG length = static_cast<ULONG>(now * kAesBlockSize);
        ULONG produced = 0;
        // In place: CNG allows the output to be the input buffer.
        if (!BCRYPT_SUCCESS(::BCryptEncrypt(m_state->key, blocks, length, nullptr, nullptr, 0,
                                            blocks, length, &produced, 0)) ||
            produced != length) {
            return false;
        }
        blocks += length;
        blockCount -= now;
    }
    return true;
}

void AesEncryptor::Clear() {
    if (m_state != nullptr) {
        ::BCryptDestroyKey(m_state->key);
        delete m_state;
        m_state = nullptr;
    }
}

struct HmacSha1::State {
    BCRYPT_HASH_HANDLE hash;
};

bool HmacSha1::Init(const uint8_t* key, size_t keyLength) {
    Clear();
    BCRYPT_ALG_HANDLE hmac = GetProviders().hmac;
    if (hmac == nullptr || keyLength > kMaxPiece) {
        return false;
    }
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (!BCRYPT_SUCCESS(::BCryptCreateHash(hmac, &hash, nullptr, 0, const_cast<PUCHAR>(key),
                                           static_cast<ULONG>(keyLength), 0))) {
        return false;
    }
    m_state = new (std::nothrow) State{hash};
    if (m_state == nullptr) {
        ::BCryptDestroyHash(hash);
        return false;
    }
    return true;
}

bool HmacSha1::Update(const void* data, size_t length) {
    if (m_state == nullptr) {
        return false;
    }
    const uint8_t* p = static_cast<const uint8_t*>(data);
    while (length > 0) {
        size_t now = length < kMaxPiece ? length : kMaxPiece;
        if (!BCRYPT_SUCCESS(::BCryptHashData(m_state->hash, const_cast<PUCHAR>(p),
                                             static_cast<ULONG>(now), 0))) {
            return false;
        }
        p += now;
        length -= now;
    }
    return true;
}

bool HmacSha1::Final(uint8_t digest[kSha1DigestSize]) {
    if (m_state == nullptr) {
        return false;
    }
    bool ok = BCRYPT_SUCCESS(
        ::BCryptFinishHash(m_state->hash, digest, static_cast<ULONG>(kSha1DigestSize), 0));
    Clear();
    return ok;
}

void HmacSha1::Clear() {
    if (m_state != nullptr) {
        ::BCryptDestroyHash(m_state->hash);
        delete m_state;
        m_state = nullptr;
    }
}

void SecureZero(void* data, size_t length) {
    ::SecureZeroMemory(data, length);
}

}  // namespace vek::platform
