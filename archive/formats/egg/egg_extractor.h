// EGG archives: plain, split (joined by the multi-volume stream before we see them) and solid.
// The archive is a flat walk of records; entries keep their blocks and key data in their
// extra data so that extraction can seek straight to each block.
#pragma once

#include <cstdint>
#include <vector>

#include "archive/core/extractor_impl.h"

struct SEggBlock {
    uint8_t method = 0;
    uint8_t hint = 0;
    uint32_t size = 0;
    uint32_t packedSize = 0;
    uint32_t crc = 0;
    uint32_t endRecord = 0;
    uint64_t dataPosition = 0;
};

struct SEggFileHeader : VekExtraData {
    const uint8_t* GetKeyData(uint32_t* length) const override {
        *length = static_cast<uint32_t>(keyData.size());
        return keyData.empty() ? nullptr : keyData.data();
    }

    uint8_t header[19] = {};
    uint8_t information[16] = {};
    uint8_t method = 255;
    uint32_t encryption = 0;
    std::vector<uint8_t> keyData;
    std::vector<SEggBlock> blocks;
    uint32_t crc = 0;
    uint64_t packedSize = 0;
    uint64_t size = 0;
};

class CVekUnEgg : public CVekExtractorImpl {
  public:
    CVekUnEgg();
    ~CVekUnEgg() override { Close(); }

  protected:
    int ReadDirectory() override;
    void ReleaseFormatState() override;
    void ResetFormatState() override;
    int ExtractEntryData(int index, SVekEntry* entry, IVekOutStream* out) override;
    int ExtractSolid(const int* indices, unsigned count, const wchar_t* folder) override;

  private:
    int Walk();
    int ReadFileHeader(SEggFileHeader** pending);
    int ReadEncryption(SEggFileHeader* pending);
    int ReadBlock(SEggFileHeader* pending);
    int AddEntry(SEggFileHeader* header);
    int Fail(unsigned code) {
        m_lastError = code;
        return 0;
    }

    friend class CVekSolidOutStream;
    // The solid writer: cuts the continuous decoded data into the selected entries' files.
    int WriteSolid(const uint8_t* data, unsigned length);
    int RunSolid(const int* indices, unsigned count, const wchar_t* folder);
    int OpenSolidEntry();
    int FinishSolidEntry();
    int SolidFailure(unsigned code);

    char m_name[780] = {};
    std::vector<SEggBlock> m_solidBlocks;

    // Solid extraction state, from one ExtractSolid to the next reset.
    uint64_t m_solidConsumed = 0;
    int m_current = -1;
    uint64_t m_toSkip = 0;
    uint64_t m_toWrite = 0;
    std::vector<int> m_selection;
    size_t m_selected = 0;
    bool m_selectionDone = false;
    std::vector<uint64_t> m_offsets;
    IVekOutStream* m_file = nullptr;
    uint32_t m_runningCrc = 0;
    bool m_solidReported = false;
    std::wstring m_folder;
};
