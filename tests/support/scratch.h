// Scratch folders and file helpers for tests, on both systems.
#pragma once

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>

namespace test {

namespace fs = std::filesystem;

// A fresh empty folder under the system's temporary folder, removed with everything in it at
// the end of the test.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const fs::path& Path() const { return m_path; }
    // The folder as the library spells paths: '\' separators, no trailing separator.
    std::wstring Wide() const;
    // A path below the folder, relative part written with '\'.
    std::wstring Wide(const std::wstring& relative) const;
    fs::path Native(const std::wstring& relative) const;

  private:
    fs::path m_path;
};

// A fixture made at build time, as the library spells paths, and as a native path.
std::wstring Fixture(const std::wstring& name);
fs::path FixtureNative(const std::wstring& name);

// A real archive under shared/samples, the same two ways.
std::wstring Sample(const std::wstring& name);
fs::path SampleNative(const std::wstring& name);

std::string ReadFileBytes(const fs::path& path);
void WriteFileBytes(const fs::path& path, const std::string& bytes);
// Last-write time in Unix seconds.
int64_t ModifyTime(const fs::path& path);
bool IsReadOnly(const fs::path& path);
// Every file and folder below root, as relative paths with '/' ('/' after folders).
std::set<std::string> ListTree(const fs::path& root);

// "" when both trees hold the same names (files and folders) and the same file contents; else
// what differs first.
std::string CompareTrees(const fs::path& expected, const fs::path& actual);

}  // namespace test
