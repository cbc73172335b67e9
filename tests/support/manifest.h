// The MANIFEST.tsv beside each folder of real samples: what every sample must extract to.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace test {

struct ManifestEntry {
    std::string name;  // UTF-8, '/' separated, relative to the target folder
    bool folder = false;
    uint64_t size = 0;
    uint32_t crc = 0;
};

// The rows of samples/<format>/MANIFEST.tsv by archive ("large/x.alz" for the large ones).
std::map<std::string, std::vector<ManifestEntry>> ReadManifest(const std::wstring& format);

// "" when every entry is in folder with its size and CRC-32 ('?' in a name is written '_',
// as Windows refuses it in names); else the first difference.
std::string CompareWithManifest(const std::filesystem::path& folder,
                                const std::vector<ManifestEntry>& entries);

}  // namespace test
