// One archive entry and the extractor's list of them. Indices into the list are the entry
// indices everywhere.
#pragma once

#include <cstdint>

// Format-specific data attached to an entry (an EGG file header, for example).
struct VekExtraData {
    virtual ~VekExtraData() = default;
    // The encryption key data the format keeps with the entry (EGG), with its length in bytes;
    // null when there is none. The decryption object reads its header, salt and code from it.
    virtual const uint8_t* GetKeyData(uint32_t* length) const {
        *length = 0;
        return nullptr;
    }
};

constexpr uint64_t VEK_UNKNOWN_SIZE = ~0ULL;

// Windows attribute bits as entries carry them.
constexpr uint32_t VEK_ATTR_READONLY = 0x1;
constexpr uint32_t VEK_ATTR_HIDDEN = 0x2;
constexpr uint32_t VEK_ATTR_FOLDER = 0x10;
constexpr uint32_t VEK_ATTR_ARCHIVE = 0x20;

struct SVekEntry {
    SVekEntry() = default;
    SVekEntry(const SVekEntry&) = delete;
    SVekEntry& operator=(const SVekEntry&) = delete;
    ~SVekEntry();

    // Sets both names from the archive's bytes: '/' becomes '\', trailing CR and LF go, and the
    // wide name is converted in codePage. Fails for an empty name or when either name is
    // missing afterwards.
    int SetNameA(const char* name, int codePage);
    // The same from a wide name; the narrow name is converted into codePage.
    int SetName(const wchar_t* name, int codePage);

    bool IsFolder() const { return (attributes & VEK_ATTR_FOLDER) != 0; }

    char* narrowName = nullptr;
    wchar_t* name = nullptr;
    int64_t modifyTime = 0;  // Unix seconds (UTC); 0 when unknown
    uint64_t packedSize = 0;
    uint64_t size = 0;  // VEK_UNKNOWN_SIZE when unknown
    uint32_t encryption = 0;
    uint32_t attributes = 0;
    uint32_t crc = 0;  // 0: do not check
    int32_t method = 0;
    uint64_t headerOffset = 0;
    uint64_t dataOffset = 0;
    int16_t flags = 0;
    uint32_t dosTime = 0;
    uint8_t checkByte = 0;
    VekExtraData* extra = nullptr;

  private:
    void FreeNames();
};

struct SVekEntryList {
    SVekEntryList() = default;
    SVekEntryList(const SVekEntryList&) = delete;
    SVekEntryList& operator=(const SVekEntryList&) = delete;
    ~SVekEntryList() { Clear(); }

    // Takes ownership of the entry. A null entry is ignored; when the array cannot grow the
    // entry is not added (and is deleted, so nothing leaks) and the call returns false.
    bool Add(SVekEntry* entry);
    void Clear();
    SVekEntry* At(int index) const {
        return index >= 0 && index < count ? entries[index] : nullptr;
    }

    SVekEntry** entries = nullptr;
    int capacity = 0;
    int count = 0;
    int fileCount = 0;
    int folderCount = 0;
};
