#include "archive/core/crypto.h"

#include <cstring>

#include "archive/core/errors.h"

CVekCrypto::CVekCrypto() {
    std::memset(m_password, 0, sizeof(m_password));
}

CVekCrypto::~CVekCrypto() {
    // Passwords do not linger in freed memory.
    std::memset(m_password, 0, sizeof(m_password));
}

void CVekCrypto::SetPassword(const char* password) {
    std::memset(m_password, 0, sizeof(m_password));
    if (password != nullptr && *password != '\0') {
        std::strncpy(m_password, password, sizeof(m_password) - 1);
    }
}

int CVekCrypto::BeginDecryption(SVekEntry* /*entry*/, IVekInStream* /*input*/,
                                int64_t* /*remaining*/) {
    if (mode == VEK_CRYPT_NONE) {
        return 1;
    }
    if (m_password[0] == '\0') {
        errorCode = VEKERR_NO_PASSWORD;
        return 0;
    }
    // No cipher is available in this build yet: an encrypted entry cannot be decoded.
    errorCode = VEKERR_UNSUPPORTED_METHOD;
    return 0;
}

void CVekCrypto::Filter(char* /*data*/, int /*length*/) {}

int CVekCrypto::FinishDecryption() {
    return 1;
}
