#include "archive/core/out_file_stream.h"

#include <new>
#include <string>

#include "archive/core/paths.h"
#include "archive/core/text_conversion.h"
#include "archive/platform/codepage.h"

namespace plat = vek::platform;

namespace {

constexpr unsigned kTemporaryAttempts = 1000;

wchar_t* CopyOf(const std::wstring& text) {
    wchar_t* copy = new (std::nothrow) wchar_t[text.size() + 1];
    if (copy != nullptr) {
        text.copy(copy, text.size());
        copy[text.size()] = L'\0';
    }
    return copy;
}

}  // namespace

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
    wchar_t* copy = CopyOf(SanitizePath(path));
    if (copy == nullptr) {
        return 0;
    }
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

void CVekOutFileStream::CloseHandleAndPath() {
    plat::CloseFile(m_file);
    m_file = plat::kInvalidFile;
    delete[] m_path;
    m_path = nullptr;
}

int CVekOutFileStream::Close() {
    bool dropTemporary = m_staged && m_path != nullptr;
    if (dropTemporary) {
        plat::CloseFile(m_file);
        m_file = plat::kInvalidFile;
        plat::RemoveFile(m_path);
    }
    CloseHandleAndPath();
    m_written = 0;
    m_staged = false;
    m_target.clear();
    m_hasAttributes = false;
    m_attributes = 0;
    return 1;
}

int CVekOutFileStream::OpenStaged(const wchar_t* target) {
    Close();
    if (target == nullptr) {
        return 0;
    }
    std::wstring clean = SanitizePath(target);
    size_t cut = clean.find_last_of(L"\\/");
    size_t leafStart = cut == std::wstring::npos ? 0 : cut + 1;
    if (leafStart >= clean.size()) {
        return 0;
    }
    // "~name.N.tmp" beside the target, as long as the target's name where that can be: a
    // name or path the system refuses is then refused here, before anything is decoded.
    std::wstring leaf = clean.substr(leafStart);
    std::wstring folder = clean.substr(0, leafStart);
    for (unsigned attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
        std::wstring suffix = L"." + std::to_wstring(attempt) + L".tmp";
        size_t keep =
            leaf.size() > suffix.size() + 1 ? leaf.size() - suffix.size() - 1 : leaf.size();
        std::wstring name = folder + L"~" + leaf.substr(0, keep) + suffix;
        bool taken = false;
        plat::FileHandle file = plat::CreateNewFileForWriting(name.c_str(), &taken);
        if (file != plat::kInvalidFile) {
            m_target = clean;
            m_staged = true;
            return Adopt(file, CopyOf(name));
        }
        if (!taken) {
            return 0;
        }
    }
    return 0;
}

int CVekOutFileStream::Commit() {
    if (!m_staged || m_path == nullptr) {
        return 0;
    }
    plat::CloseFile(m_file);
    m_file = plat::kInvalidFile;
    bool moved = plat::MoveFileReplacing(m_path, m_target.c_str());
    if (!moved) {
        plat::RemoveFile(m_path);
    } else if (m_hasAttributes) {
        plat::SetPathAttributes(m_target.c_str(), m_attributes);
    }
    uint64_t written = m_written;
    m_staged = false;
    Close();
    m_written = written;
    return moved ? 1 : 0;
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
    if (m_staged) {
        m_hasAttributes = true;
        m_attributes = attributes;
        return m_path != nullptr;
    }
    return m_path != nullptr && plat::SetPathAttributes(m_path, attributes);
}
