// ZIP archives: plain, self-extracting (a program in front), split (joined by the multi-volume
// stream) and ZIP64. The entry list comes from the central directory when it can be found and
// trusted, else from a walk over the local headers.
#pragma once

#include <cstdint>
#include <map>

#include "archive/core/extractor_impl.h"
#include "archive/core/multi_volume_stream.h"

class CVekUnZip : public CVekExtractorImpl {
  public:
    CVekUnZip();
    ~CVekUnZip() override { Close(); }

  protected:
    int ReadDirectory() override;
    void ReleaseFormatState() override;
    void ResetFormatState() override;
    int ExtractEntryData(int index, SVekEntry* entry, IVekOutStream* out) override;

  private:
    int ListEntries();
    int ExtractEntry(int index, SVekEntry* entry, IVekOutStream* out);
    // The fields a local header and a central record share.
    struct SZipHeader {
        uint16_t flags = 0;
        int32_t method = 0;
        uint32_t dosTime = 0;  // date in the high 16 bits
        uint32_t crc = 0;
        uint32_t packedSize = 0;
        uint32_t size = 0;
        uint32_t headerOffset = 0;  // central records only
    };

    int ReadCentralDirectory(int64_t delta);
    int ReadSequentially();
    int EndOfWalk(bool seen);
    int FindArchiveStart();
    int FindEndRecord();
    uint32_t ReadSignature();
    int ReadLocalHeader(SVekEntry* entry);
    int ReadCentralRecord(bool create, int64_t delta);
    int ReadEndRecord(int64_t endPosition);
    int SkipRecord(unsigned length);
    void ReadExtraFields(const uint8_t* block, int length, const SZipHeader& header,
                         SVekEntry* entry, uint64_t* headerOffset);
    int ReadStreamedEntry(SVekEntry* entry);
    int ExtractWithoutDescriptor(SVekEntry* entry, IVekOutStream* out);
    SVekEntry* CreateEntry(const SZipHeader& header, uint64_t headerOffset, const char* name);
    int LocateEntryData(SVekEntry* entry);
    bool CentralRecordAt(uint64_t position);
    int RefuseOverlappingEntries();
    // Reports 53 with the missing volume's path when [begin, end) lies in a volume the set lacks.
    bool RefuseForMissingVolume(const SVekEntry* entry, uint64_t begin, uint64_t end);
    uint64_t VolumeStart(int volume);

    uint64_t m_centralPosition = 0;
    int32_t m_archiveStart = 0;
    IVekMultiInStream* m_volumes = nullptr;
    std::map<uint64_t, SVekEntry*> m_headerIndex;
};
