// The cryptographic primitives from OpenSSL's libcrypto, for the Linux build.
#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include <climits>
#include <new>

#include "archive/platform/crypto_primitives.h"

namespace vek::platform {

bool Pbkdf2HmacSha1(const uint8_t* password, size_t passwordLength, const uint8_t* salt,
                    size_t saltLength, unsigned iterations, uint8_t* out, size_t outLength) {
    if (passwordLength > INT_MAX || saltLength > INT_MAX || outLength > INT_MAX ||
        iterations == 0 || iterations > INT_MAX) {
        return false;
    }
    return PKCS5_PBKDF2_HMAC_SHA1(reinterpret_cast<const char*>(password),
                                  static_cast<int>(passwordLength), salt,
                                  static_cast<int>(saltLength), static_cast<int>(iterations),
                                  static_cast<int>(outLength), out) == 1;
}

struct AesEncryptor::State {
    EVP_CIPHER_CTX* context;
};

bool AesEncryptor::SetKey(const uint8_t* key, size_t keyLength) {
    Clear();
    const EVP_CIPHER* cipher = keyLength == 16   ? EVP_aes_128_ecb()
                               : keyLength == 24 ? EVP_aes_192_ecb()
                               : keyLength == 32 ? EVP_aes_256_ecb()
                                                 : nullptr;
    if (cipher == nullptr) {
        return false;
    }
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    if (context == nullptr) {
        return false;
    }
    // Whole blocks only, so no padding: every call turns n blocks into n blocks at once.
    if (EVP_EncryptInit_ex(context, cipher, nullptr, key, nullptr) != 1 ||
        EVP_CIPHER_CTX_set_padding(context, 0) != 1) {
        EVP_CIPHER_CTX_free(context);
        return false;
    }
    m_state = new (std::nothrow) State{context};
    if (m_state == nullptr) {
        EVP_CIPHER_CTX_free(context);
        return false;
    }
    return true;
}

bool AesEncryptor::EncryptBlocks(uint8_t* blocks, size_t blockCount) {
    if (m_state == nullptr) {
        return false;
    }
    // EVP takes int lengths; split huge requests rather than overflow.
    constexpr size_t kMaxBlocksPerCall = 1u << 20;
    while (blockCount > 0) {
        size_t now = blockCount < kMaxBlocksPerCall ? blockCount : kMaxBlocksPerCall;
        int length = static_cast<int>(now * kAesBlockSize);
        int produced = 0;
        if (EVP_EncryptUpdate(m_state->context, blocks, &produced, blocks, length) != 1 ||
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
        // Freeing the context cleanses the key schedule.
        EVP_CIPHER_CTX_free(m_state->context);
        delete m_state;
        m_state = nullptr;
    }
}

struct HmacSha1::State {
    EVP_MAC_CTX* context;
};

bool HmacSha1::Init(const uint8_t* key, size_t keyLength) {
    Clear();
    EVP_MAC* mac = EVP_MAC_fetch(nullptr, OSSL_MAC_NAME_HMAC, nullptr);
    if (mac == nullptr) {
        return false;
    }
    // The context keeps its own reference to the algorithm.
    EVP_MAC_CTX* context = EVP_MAC_CTX_new(mac);
    EVP_MAC_free(mac);
    if (context == nullptr) {
        return false;
    }
    char digest[] = "SHA1";
    OSSL_PARAM params[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
        OSSL_PARAM_construct_end(),
    };
    // A null key with length 0 is refused; an empty key is a valid HMAC key all the same.
    static const uint8_t kEmpty = 0;
    if (EVP_MAC_init(context, keyLength > 0 ? key : &kEmpty, keyLength, params) != 1) {
        EVP_MAC_CTX_free(context);
        return false;
    }
    m_state = new (std::nothrow) State{context};
    if (m_state == nullptr) {
        EVP_MAC_CTX_free(context);
        return false;
    }
    return true;
}

bool HmacSha1::Update(const void* data, size_t length) {
    if (m_state == nullptr) {
        return false;
    }
    return length == 0 ||
           EVP_MAC_update(m_state->context, static_cast<const unsigned char*>(data), length) == 1;
}

bool HmacSha1::Final(uint8_t digest[kSha1DigestSize]) {
    if (m_state == nullptr) {
        return false;
    }
    size_t written = 0;
    bool ok = EVP_MAC_final(m_state->context, digest, &written, kSha1DigestSize) == 1 &&
              written == kSha1DigestSize;
    Clear();
    return ok;
}

void HmacSha1::Clear() {
    if (m_state != nullptr) {
        EVP_MAC_CTX_free(m_state->context);
        delete m_state;
        m_state = nullptr;
    }
}

void SecureZero(void* data, size_t length) {
    OPENSSL_cleanse(data, length);
}

}  // namespace vek::platform
