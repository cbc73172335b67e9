#include "archive/core/out_file_stream.h"

#include <new>
#include <string>

#include "archive/core/paths.h"
#include "archive/core/text_conversion.h"
#include "archive/platform/codepage.h"

namespace plat = vek::platform;

CVekOutFileStream::~CVekOutFileStream() {
    Close();
}

int CVekOutFileStream::Adopt(plat::FileHandle file, wchar_t* path) {
    if (file == plat::kInvalidFile || path == nullptr) {
        plat::CloseFile(file);
        delete[] path;
        return 0;
    }
    m_file = file;
    m_path = path;
    return 1;
}

int CVekOutFileStream::Open(const wchar_t* path) {
    Close();
    if (path == nullptr) {
        return 0;
    }
    std::wstring clean = SanitizePath(path);
    wchar_t* copy = new (std::nothrow) wchar_t[clean.size() + 1];
    if (copy == nullptr) {
        return 0;
    }
    clean.copy(copy, clean.size());
    copy[clean.size()] = L'\0';
    return Adopt(plat::CreateFileForWriting(copy), copy);
}

int CVekOutFileStream::OpenA(const char* path) {
    Close();
    if (path == nullptr) {
        return 0;
    }
    std::string clean = SanitizePath(path);
    return Adopt(plat::CreateFileForWritingA(clean.c_str()),
                 ToWideString(clean.c_str(), plat::VEK_CP_ACP));
}

int CVekOutFileStream::Write(const void* data, unsigned count, unsigned* written) {
    uint32_t done = 0;
    bool ok = m_file != plat::kInvalidFile && plat::WriteFileData(m_file, data, count, &done);
    if (ok) {
        m_written += done;
    }
    if (written != nullptr) {
        *written = done;
    }
    return ok ? 1 : 0;
}

int CVekOutFileStream::Close() {
    plat::CloseFile(m_file);
    m_file = plat::kInvalidFile;
    delete[] m_path;
    m_path = nullptr;
    m_written = 0;
    return 1;
}

int CVekOutFileStream::SetModifyTime(int64_t unixSeconds) {
    constexpr int64_t kEpochDifference = 11644473600LL;
    constexpr int64_t kUnitsPerSecond = 10000000;
    if (m_file == plat::kInvalidFile) {
        return 0;
    }
    return plat::SetLastWriteTime(m_file, (unixSeconds + kEpochDifference) * kUnitsPerSecond);
}

int CVekOutFileStream::SetAttributes(uint32_t attributes) {
    return m_path != nullptr && plat::SetPathAttributes(m_path, attributes);
}
