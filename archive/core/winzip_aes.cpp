#include "archive/core/winzip_aes.h"

#include <cstring>

using vek::platform::kAesBlockSize;
using vek::platform::kSha1DigestSize;

CVekWinZipAes::CVekWinZipAes() {
    Wipe();
}

int CVekWinZipAes::KeyLength(int strength) {
    return strength >= 1 && strength <= 3 ? 8 + 8 * strength : 0;
}

int CVekWinZipAes::SaltLength(int strength) {
    return strength >= 1 && strength <= 3 ? 4 + 4 * strength : 0;
}

int CVekWinZipAes::Init(int strength, const char* password, int passwordLength, const uint8_t* salt,
                        uint8_t verifier[VEK_AES_VERIFIER_SIZE]) {
    Wipe();
    const int keyLength = KeyLength(strength);
    if (keyLength == 0 || password == nullptr || salt == nullptr || passwordLength < 0 ||
        passwordLength > VEK_AES_MAX_PASSWORD) {
        return 0;
    }
    // AES key, HMAC key, verifier, in that order.
    uint8_t derived[2 * 32 + VEK_AES_VERIFIER_SIZE];
    const size_t derivedLength = 2 * static_cast<size_t>(keyLength) + VEK_AES_VERIFIER_SIZE;
    bool ok = vek::platform::Pbkdf2HmacSha1(reinterpret_cast<const uint8_t*>(password),
                                            static_cast<size_t>(passwordLength), salt,
                                            static_cast<size_t>(SaltLength(strength)),
                                            VEK_AES_ITERATIONS, derived, derivedLength) &&
              m_aes.SetKey(derived, static_cast<size_t>(keyLength)) &&
              m_hmac.Init(derived + keyLength, static_cast<size_t>(keyLength));
    if (ok) {
        std::memcpy(verifier, derived + 2 * keyLength, VEK_AES_VERIFIER_SIZE);
        m_strength = strength;
    }
    vek::platform::SecureZero(derived, sizeof(derived));
    if (!ok) {
        Wipe();
        return 0;
    }
    return 1;
}

void CVekWinZipAes::Refill(size_t blocks) {
    for (size_t i = 0; i < blocks; ++i) {
        // Bytes 0 to 7 are one little-endian 64-bit counter; bytes 8 to 15 stay zero.
        for (int b = 0; b < 8 && ++m_counter[b] == 0; ++b) {
        }
        std::memcpy(m_keystream + i * kAesBlockSize, m_counter, kAesBlockSize);
    }
    if (!m_aes.EncryptBlocks(m_keystream, blocks)) {
        m_failed = true;
    }
    m_position = 0;
    m_available = blocks * kAesBlockSize;
}

void CVekWinZipAes::Decrypt(char* data, int length) {
    if (data == nullptr || length <= 0) {
        return;
    }
    // Encrypt-then-MAC: the code covers the stored bytes, so they go in before decryption.
    if (!m_hmac.Update(data, static_cast<size_t>(length))) {
        m_failed = true;
    }
    uint8_t* p = reinterpret_cast<uint8_t*>(data);
    size_t left = static_cast<size_t>(length);
    while (left > 0) {
        if (m_position == m_available) {
            // Only as many blocks as this buffer still needs: a decoder feeding single bytes
            // does not pay for a whole batch per byte, and none is made past the entry's end.
            size_t needed = (left + kAesBlockSize - 1) / kAesBlockSize;
            Refill(needed < kBatchBlocks ? needed : kBatchBlocks);
        }
        size_t now = m_available - m_position;
        if (now > left) {
            now = left;
        }
        const uint8_t* key = m_keystream + m_position;
        for (size_t i = 0; i < now; ++i) {
            p[i] ^= key[i];
        }
        p += now;
        left -= now;
        m_position += now;
    }
}

int CVekWinZipAes::Finish(uint8_t code[VEK_AES_CODE_SIZE]) {
    uint8_t digest[kSha1DigestSize] = {};
    bool ok = m_hmac.Final(digest) && !m_failed && m_strength != 0;
    std::memcpy(code, digest, VEK_AES_CODE_SIZE);
    vek::platform::SecureZero(digest, sizeof(digest));
    return ok ? 1 : 0;
}

void CVekWinZipAes::Wipe() {
    m_aes.Clear();
    m_hmac.Clear();
    vek::platform::SecureZero(m_counter, sizeof(m_counter));
    vek::platform::SecureZero(m_keystream, sizeof(m_keystream));
    m_position = 0;
    m_available = 0;
    m_strength = 0;
    m_failed = false;
}
