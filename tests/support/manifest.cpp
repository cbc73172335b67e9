#include "support/manifest.h"

#include <fstream>
#include <sstream>

#include "archive/core/crc32.h"
#include "support/scratch.h"

namespace test {

std::map<std::string, std::vector<ManifestEntry>> ReadManifest(const std::wstring& format) {
    std::map<std::string, std::vector<ManifestEntry>> archives;
    std::ifstream list(SampleNative(format + L"\\MANIFEST.tsv"));
    std::string line;
    std::getline(list, line);  // column names
    while (std::getline(list, line)) {
        std::istringstream fields(line);
        std::string archive, name, kind, size, crc;
        if (!std::getline(fields, archive, '\t') || !std::getline(fields, name, '\t') ||
            !std::getline(fields, kind, '\t') || !std::getline(fields, size, '\t') ||
            !std::getline(fields, crc, '\t')) {
            continue;
        }
        ManifestEntry entry;
        entry.name = name;
        entry.folder = kind == "folder";
        entry.size = std::stoull(size);
        entry.crc = static_cast<uint32_t>(std::stoul(crc, nullptr, 16));
        archives[archive].push_back(entry);
    }
    return archives;
}

std::string CompareWithManifest(const fs::path& folder, const std::vector<ManifestEntry>& entries) {
    for (const ManifestEntry& entry : entries) {
        std::string name = entry.name;
        for (char& c : name) {
            c = c == '?' ? '_' : c;
        }
        fs::path path = folder / fs::u8path(name);
        if (entry.folder) {
            if (!fs::is_directory(path)) {
                return "missing folder: " + entry.name;
            }
            continue;
        }
        if (!fs::is_regular_file(path)) {
            return "missing: " + entry.name;
        }
        std::string bytes = ReadFileBytes(path);
        if (bytes.size() != entry.size) {
            return "size " + std::to_string(bytes.size()) + ": " + entry.name;
        }
        if (VekCrc32(0, bytes.data(), static_cast<int>(bytes.size())) != entry.crc) {
            return "CRC: " + entry.name;
        }
    }
    return "";
}

}  // namespace test
