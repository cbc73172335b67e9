#include "archive/core/crypto.h"

#include <cstring>

#include "archive/core/crc32.h"
#include "archive/core/errors.h"

namespace {

// Key data an EGG entry must carry for each of its modes: the traditional header and its CRC
// (check byte at 15), or salt, verifier and code.
constexpr uint32_t kEggTraditionalKeyData = 16;
constexpr uint32_t kEggAes128KeyData = 8 + VEK_AES_VERIFIER_SIZE + VEK_AES_CODE_SIZE;
constexpr uint32_t kEggAes256KeyData = 16 + VEK_AES_VERIFIER_SIZE + VEK_AES_CODE_SIZE;

// The entry's key data when it has at least needed bytes; a shorter one is never read.
const uint8_t* KeyDataOf(const SVekEntry* entry, uint32_t needed) {
    if (entry == nullptr || entry->extra == nullptr) {
        return nullptr;
    }
    uint32_t length = 0;
    const uint8_t* data = entry->extra->GetKeyData(&length);
    return data != nullptr && length >= needed ? data : nullptr;
}

bool IsAesMode(int mode) {
    return mode == VEK_CRYPT_AES128 || mode == VEK_CRYPT_AES192 || mode == VEK_CRYPT_AES256 ||
           mode == VEK_CRYPT_EGG_AES128 || mode == VEK_CRYPT_EGG_AES256;
}

}  // namespace

CVekCrypto::CVekCrypto() : m_crcTable(VekCrcTable()) {
    std::memset(m_verifier, 0, sizeof(m_verifier));
    std::memset(m_storedCode, 0, sizeof(m_storedCode));
    std::memset(m_password, 0, sizeof(m_password));
}

CVekCrypto::~CVekCrypto() {
    // Passwords and keys do not linger in freed memory.
    vek::platform::SecureZero(m_password, sizeof(m_password));
    WipeAes();
    m_key0 = m_key1 = m_key2 = 0;
}

void CVekCrypto::SetPassword(const char* password) {
    std::memset(m_password, 0, sizeof(m_password));
    if (password != nullptr && *password != '\0') {
        std::strncpy(m_password, password, sizeof(m_password) - 1);
    }
}

void CVekCrypto::WipeAes() {
    m_aes.Wipe();
    vek::platform::SecureZero(m_verifier, sizeof(m_verifier));
    vek::platform::SecureZero(m_storedCode, sizeof(m_storedCode));
}

void CVekCrypto::UpdateKeys(uint8_t plain) {
    m_key0 = (m_key0 >> 8) ^ m_crcTable[(m_key0 ^ plain) & 0xFF];
    m_key1 = (m_key1 + (m_key0 & 0xFF)) * 134775813u + 1;
    m_key2 = (m_key2 >> 8) ^ m_crcTable[(m_key2 ^ (m_key1 >> 24)) & 0xFF];
}

void CVekCrypto::InitTraditionalKeys(const char* password) {
    m_key0 = 0x12345678u;
    m_key1 = 0x23456789u;
    m_key2 = 0x34567890u;
    for (const char* p = password; p != nullptr && *p != '\0'; ++p) {
        UpdateKeys(static_cast<uint8_t>(*p));
    }
}

void CVekCrypto::DecryptTraditional(char* data, int length) {
    for (int i = 0; i < length; ++i) {
        // Unsigned arithmetic: the product of two 16-bit values does not fit an int.
        uint32_t t = (m_key2 | 2) & 0xFFFF;
        uint8_t keystream = static_cast<uint8_t>((t * (t ^ 1)) >> 8);
        uint8_t plain = static_cast<uint8_t>(data[i]) ^ keystream;
        data[i] = static_cast<char>(plain);
        UpdateKeys(plain);
    }
}

bool CVekCrypto::CheckTraditionalHeader(const uint8_t header[VEK_TRADITIONAL_HEADER_SIZE],
                                        uint8_t checkByte) {
    char copy[VEK_TRADITIONAL_HEADER_SIZE];
    std::memcpy(copy, header, sizeof(copy));
    DecryptTraditional(copy, VEK_TRADITIONAL_HEADER_SIZE);
    return static_cast<uint8_t>(copy[VEK_TRADITIONAL_HEADER_SIZE - 1]) == checkByte;
}

int CVekCrypto::BeginTraditional(const uint8_t* header, uint8_t checkByte) {
    InitTraditionalKeys(m_password);
    // The header is always decrypted (the keys must pass through it); formats without a check
    // value skip only the comparison.
    if (!CheckTraditionalHeader(header, checkByte) && checkTraditionalHeader) {
        errorCode = VEKERR_WRONG_PASSWORD;
        return 0;
    }
    return 1;
}

int CVekCrypto::BeginAes(int strength, const uint8_t* salt, const uint8_t* verifier) {
    // A refused initialisation (a password over 128 bytes) counts as a wrong password.
    int length = static_cast<int>(std::strlen(m_password));
    if (!m_aes.Init(strength, m_password, length, salt, m_verifier) ||
        std::memcmp(m_verifier, verifier, VEK_AES_VERIFIER_SIZE) != 0) {
        WipeAes();
        errorCode = VEKERR_WRONG_PASSWORD;
        return 0;
    }
    return 1;
}

int CVekCrypto::BeginDecryption(SVekEntry* entry, IVekInStream* input, int64_t* remaining) {
    // Every entry starts from nothing: no key of the previous one survives.
    WipeAes();
    if (mode == VEK_CRYPT_NONE) {
        return 1;
    }
    if (m_password[0] == '\0') {
        errorCode = VEKERR_NO_PASSWORD;
        return 0;
    }
    switch (mode) {
        case VEK_CRYPT_ZIP: {
            uint8_t header[VEK_TRADITIONAL_HEADER_SIZE];
            if (input == nullptr || !input->ReadExact(header, sizeof(header))) {
                errorCode = VEKERR_READ_DATA;
                return 0;
            }
            *remaining -= VEK_TRADITIONAL_HEADER_SIZE;
            return BeginTraditional(header, entry != nullptr ? entry->checkByte : 0);
        }
        case VEK_CRYPT_AES128:
        case VEK_CRYPT_AES192:
        case VEK_CRYPT_AES256: {
            const int strength = mode - VEK_CRYPT_AES128 + 1;
            const int saltLength = CVekWinZipAes::SaltLength(strength);
            uint8_t salt[16];
            uint8_t verifier[VEK_AES_VERIFIER_SIZE];
            if (input == nullptr || !input->ReadExact(salt, static_cast<unsigned>(saltLength)) ||
                !input->ReadExact(verifier, sizeof(verifier))) {
                errorCode = VEKERR_READ_DATA;
                return 0;
            }
            // The code behind the data is not payload either.
            *remaining -= saltLength + VEK_AES_VERIFIER_SIZE + VEK_AES_CODE_SIZE;
            return BeginAes(strength, salt, verifier);
        }
        case VEK_CRYPT_EGG_ZIP: {
            const uint8_t* keyData = KeyDataOf(entry, kEggTraditionalKeyData);
            if (keyData == nullptr) {
                errorCode = VEKERR_WRONG_PASSWORD;
                return 0;
            }
            // The header lives in the key data: the packed data is all ciphertext.
            return BeginTraditional(keyData, keyData[15]);
        }
        case VEK_CRYPT_EGG_AES128:
        case VEK_CRYPT_EGG_AES256: {
            const bool wide = mode == VEK_CRYPT_EGG_AES256;
            const uint8_t* keyData = KeyDataOf(entry, wide ? kEggAes256KeyData : kEggAes128KeyData);
            if (keyData == nullptr) {
                errorCode = VEKERR_WRONG_PASSWORD;
                return 0;
            }
            const int strength = wide ? 3 : 1;
            const int saltLength = CVekWinZipAes::SaltLength(strength);
            if (!BeginAes(strength, keyData, keyData + saltLength)) {
                return 0;
            }
            std::memcpy(m_storedCode, keyData + saltLength + VEK_AES_VERIFIER_SIZE,
                        VEK_AES_CODE_SIZE);
            return 1;
        }
        default:
            // Not a scheme this object knows: better no output than wrong output.
            errorCode = VEKERR_UNSUPPORTED_METHOD;
            return 0;
    }
}

void CVekCrypto::Filter(char* data, int length) {
    // The LZMA decoder leaves this object attached to its input until it has returned, so the
    // stored code read by FinishDecryption passes through here too: it is neither payload nor
    // authenticated, and must come out as it is.
    if (m_readingCode || data == nullptr || length <= 0) {
        return;
    }
    if (mode == VEK_CRYPT_ZIP || mode == VEK_CRYPT_EGG_ZIP) {
        DecryptTraditional(data, length);
    } else if (IsAesMode(mode)) {
        m_aes.Decrypt(data, length);
    }
}

int CVekCrypto::CheckCode(const uint8_t expected[VEK_AES_CODE_SIZE]) {
    uint8_t computed[VEK_AES_CODE_SIZE];
    bool ok =
        m_aes.Finish(computed) != 0 && std::memcmp(computed, expected, VEK_AES_CODE_SIZE) == 0;
    WipeAes();
    if (!ok) {
        errorCode = VEKERR_READ_DATA;
        return 0;
    }
    return 1;
}

int CVekCrypto::FinishDecryption() {
    switch (mode) {
        case VEK_CRYPT_AES128:
        case VEK_CRYPT_AES192:
        case VEK_CRYPT_AES256: {
            uint8_t stored[VEK_AES_CODE_SIZE];
            m_readingCode = true;
            bool read = headerStream != nullptr && headerStream->ReadExact(stored, sizeof(stored));
            m_readingCode = false;
            if (!read) {
                WipeAes();
                errorCode = VEKERR_READ_DATA;
                return 0;
            }
            return CheckCode(stored);
        }
        case VEK_CRYPT_EGG_AES128:
        case VEK_CRYPT_EGG_AES256: {
            // CheckCode wipes the stored code with the rest: compare against a copy.
            uint8_t stored[VEK_AES_CODE_SIZE];
            std::memcpy(stored, m_storedCode, sizeof(stored));
            return CheckCode(stored);
        }
        default:
            return 1;
    }
}
