#include "support/scratch.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#endif

namespace test {

namespace {

std::wstring LibraryPath(const wchar_t* folder, const std::wstring& name) {
    std::wstring path = std::wstring(folder) + L"\\" + name;
    for (wchar_t& c : path) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    return path;
}

fs::path NativePath(const std::wstring& libraryPath) {
#ifdef _WIN32
    return fs::path(libraryPath);
#else
    std::string bytes;
    for (wchar_t c : libraryPath) {
        uint32_t u = static_cast<uint32_t>(c == L'\\' ? L'/' : c);
        if (u < 0x80) {
            bytes += static_cast<char>(u);
        } else if (u < 0x800) {
            bytes += static_cast<char>(0xC0 | (u >> 6));
            bytes += static_cast<char>(0x80 | (u & 0x3F));
        } else if (u < 0x10000) {
            bytes += static_cast<char>(0xE0 | (u >> 12));
            bytes += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            bytes += static_cast<char>(0xF0 | (u >> 18));
            bytes += static_cast<char>(0x80 | ((u >> 12) & 0x3F));
            bytes += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return fs::u8path(bytes);
#endif
}

}  // namespace

ScratchFolder::ScratchFolder() {
    static std::atomic<int> serial{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    std::ostringstream name;
    name << "marlox-test-" << stamp << "-" << serial++;
    m_path = fs::temp_directory_path() / name.str();
    fs::create_directories(m_path);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    // Read-only files would stop the removal on Windows.
    for (auto it = fs::recursive_directory_iterator(m_path, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ignored);
    }
    fs::remove_all(m_path, ignored);
}

std::wstring ScratchFolder::Wide() const {
    std::wstring text = m_path.wstring();
    for (wchar_t& c : text) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    return text;
}

std::wstring ScratchFolder::Wide(const std::wstring& relative) const {
    return Wide() + L"\\" + relative;
}

fs::path ScratchFolder::Native(const std::wstring& relative) const {
    return NativePath(Wide(relative));
}

std::wstring Fixture(const std::wstring& name) {
    return LibraryPath(MARLOX_FIXTURES, name);
}

fs::path FixtureNative(const std::wstring& name) {
    return NativePath(Fixture(name));
}

std::wstring Sample(const std::wstring& name) {
    return LibraryPath(MARLOX_SAMPLES, name);
}

fs::path SampleNative(const std::wstring& name) {
    return NativePath(Sample(name));
}

std::string ReadFileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

void WriteFileBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

int64_t ModifyTime(const fs::path& path) {
#ifdef _WIN32
    struct _stat64 st;
    if (_wstat64(path.wstring().c_str(), &st) != 0) {
        return -1;
    }
    return st.st_mtime;
#else
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        return -1;
    }
    return st.st_mtime;
#endif
}

bool IsReadOnly(const fs::path& path) {
#ifdef _WIN32
    DWORD attributes = GetFileAttributesW(path.wstring().c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
#else
    return (fs::status(path).permissions() & fs::perms::owner_write) == fs::perms::none;
#endif
}

std::set<std::string> ListTree(const fs::path& root) {
    std::set<std::string> names;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        std::string relative = fs::relative(item.path(), root).generic_u8string();
        names.insert(item.is_directory() ? relative + "/" : relative);
    }
    return names;
}

std::string CompareTrees(const fs::path& expected, const fs::path& actual) {
    std::set<std::string> want = ListTree(expected);
    std::set<std::string> got = ListTree(actual);
    for (const std::string& name : want) {
        if (got.count(name) == 0) {
            return "missing: " + name;
        }
    }
    for (const std::string& name : got) {
        if (want.count(name) == 0) {
            return "unexpected: " + name;
        }
    }
    for (const std::string& name : want) {
        if (name.back() != '/' && ReadFileBytes(expected / fs::u8path(name)) !=
                                      ReadFileBytes(actual / fs::u8path(name))) {
            return "differs: " + name;
        }
    }
    return "";
}

}  // namespace test
