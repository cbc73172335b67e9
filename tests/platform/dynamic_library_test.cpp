// Where the 7-Zip codec library is looked for, and loading a library by path.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "archive/platform/dynamic_library.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace test {
namespace {

namespace plat = vek::platform;

bool Has(const std::vector<std::wstring>& list, const std::wstring& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

TEST(PlatformLibraries, CodecLibraryCandidates) {
    std::vector<std::wstring> candidates = plat::CodecLibraryCandidates();
    ASSERT_FALSE(candidates.empty());
#ifdef _WIN32
    // Beside the program first; 7z.dll before 7z64.dll.
    EXPECT_NE(candidates[0].find(L"\\7z.dll"), std::wstring::npos) << candidates[0];
    EXPECT_TRUE(Has(candidates, L"7z64.dll"));
    // The folder an installed 7-Zip recorded is tried too.
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\7-Zip", 0, nullptr, 0,
                                KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const wchar_t folder[] = L"C:\\Codec Folder";
    ::RegSetValueExW(key, L"Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder),
                     sizeof(folder));
    candidates = plat::CodecLibraryCandidates();
    ::RegDeleteValueW(key, L"Path");
    ::RegCloseKey(key);
    ::RegDeleteKeyW(HKEY_CURRENT_USER, L"SOFTWARE\\7-Zip");
    EXPECT_TRUE(Has(candidates, L"C:\\Codec Folder\\7z.dll"));
    // Never the current folder: bare names only go through the system's safe search.
    EXPECT_EQ(plat::LoadLibraryFile(L"no-such-library-anywhere.dll"), nullptr);
#else
    EXPECT_NE(candidates[0].find(L"/7z.so"), std::wstring::npos);
    EXPECT_TRUE(Has(candidates, L"/usr/lib/p7zip/7z.so"));
    // A bare name is never handed to the system's search (LD_LIBRARY_PATH).
    EXPECT_EQ(plat::LoadLibraryFile(L"libc.so.6"), nullptr);
    plat::LibraryHandle library = plat::LoadLibraryFile(L"/usr/lib/p7zip/7z.so");
    ASSERT_NE(library, nullptr);
    EXPECT_NE(plat::FindLibrarySymbol(library, "CreateObject"), nullptr);
    EXPECT_EQ(plat::FindLibrarySymbol(library, "NoSuchSymbol"), nullptr);
    plat::FreeLibraryFile(library);
#endif
}

}  // namespace
}  // namespace test
