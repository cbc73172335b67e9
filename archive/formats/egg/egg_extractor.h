// EGG archives: plain, split (joined by the multi-volume stream before we see them) and solid.
// The archive is a flat walk of records; entries keep their blocks and key data in their
// extra data so that extraction can seek straight to each block.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/core/extractor_impl.h"
#include "archive/core/out_file_stream.h"

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
    int KeepWholeEntry(std::unique_ptr<SEggFileHeader>& pending);
    int ReadFileHeader(SEggFileHeader** pending);
    int ReadEncryption(SEggFileHeader* pending);
    int ReadBlock(SEggFileHeader* pending);
    int AddEntry(SEggFileHeader* header);
    int Fail(unsigned code) {
        m_lastError = code;
        return 0;
    }

    friend class CVekSolidOutStream;
    // The solid pass (egg_solid.cpp): every block decoded once, in order, while the writer cuts
    // the continuous data into the selected entries' files. It speaks to the host exactly as the
    // common extraction loop does.
    int RunSolid(const int* indices, unsigned count, const wchar_t* folder);
    int WriteSolid(const uint8_t* data, unsigned length);
    void BeginSolidEntry();
    void WriteSolidPiece(const uint8_t* data, unsigned length);
    void EndSolidEntry();
    void NextSolidEntry();
    int OpenSolidOutput(const std::wstring& path);
    // Puts the entry in place when commit is set (49, told to the host, if it cannot be), else
    // drops it; 0 or the error code.
    unsigned CloseSolidOutput(bool commit, int index);
    void Complete(unsigned code);
    void SettleAwaiting(unsigned code);
    void AbandonSolid(unsigned code);
    void Tell(unsigned code, const wchar_t* name);
    void TellNotWritten(unsigned code);

    char m_name[780] = {};
    std::vector<SEggBlock> m_solidBlocks;

    // Solid extraction state, from one ExtractSolid to the next reset.
    IVekProgress* m_host = nullptr;  // the sink; the decoders see none during a pass
    uint64_t m_solidConsumed = 0;
    int m_current = -1;
    uint64_t m_toSkip = 0;
    uint64_t m_toWrite = 0;
    std::vector<int> m_selection;
    size_t m_selected = 0;
    bool m_selectionDone = false;
    std::vector<uint64_t> m_offsets;
    std::wstring m_folder;
    int m_solidResult = 1;
    // The current entry: reached (its path handled), started (the host was told), its bytes
    // discarded (skipped, failed or not wanted), its own error code and its progress.
    bool m_reached = false;
    bool m_started = false;
    bool m_discard = false;
    unsigned m_entryError = 0;
    int m_entrySkip = 0;
    int64_t m_entryDecoded = 0;
    int64_t m_entryConsumedBase = 0;
    uint32_t m_runningCrc = 0;
    CVekOutFileStream* m_file = nullptr;
    // An entry written whole whose block has not passed its CRC check yet: its completion
    // waits for the check, or for the next entry to start.
    int m_awaiting = -1;
    // Entries completed inside the current block before its check, named if the check fails.
    std::vector<int> m_unverified;
};
