// Archives read through the 7-Zip codec library (7z, RAR, LZH, TAR, CAB, ISO, NSIS and numbered
// split sets): the host's extractor calls become the library's calls, and the library's
// callbacks become entries, output files, progress and errors.
#pragma once

#include <string>
#include <vector>

#include "archive/core/extractor_impl.h"
#include "archive/formats/sevenzip/codec_interfaces.h"
#include "archive/formats/sevenzip/codec_library.h"

namespace sevenzip {
class CInFileStream;
}
class CVekOutFileStream;

class CVek7Zip : public CVekExtractorImpl,
                 public sevenzip::IArchiveExtractCallback,
                 public sevenzip::ISequentialOutStream,
                 public sevenzip::IArchiveOpenCallback,
                 public sevenzip::IArchiveOpenVolumeCallback,
                 public sevenzip::ICryptoGetTextPassword {
  public:
    // formatId: the library's class identifier of the format (7z when null). libraryPath: load
    // the codec library from there only, instead of the usual places.
    explicit CVek7Zip(const SVekGuid* formatId = nullptr, const wchar_t* libraryPath = nullptr);
    ~CVek7Zip() override;

    int ExtractItemsTo(const int* indices, unsigned count, const wchar_t* folder) override;

    // The codec library's side. The count only tracks the library's references: the host owns
    // the object and destroys it through IVekExtractor.
    sevenzip::HRESULT VEK7Z_CALL QueryInterface(const SVekGuid& iid, void** out) override;
    uint32_t VEK7Z_CALL AddRef() override { return ++m_refCount; }
    uint32_t VEK7Z_CALL Release() override { return m_refCount == 0 ? 0 : --m_refCount; }

    // IArchiveExtractCallback (with IProgress).
    sevenzip::HRESULT VEK7Z_CALL SetTotal(uint64_t total) override;
    sevenzip::HRESULT VEK7Z_CALL SetCompleted(const uint64_t* completed) override;
    sevenzip::HRESULT VEK7Z_CALL GetStream(uint32_t index, sevenzip::ISequentialOutStream** out,
                                           int32_t askMode) override;
    sevenzip::HRESULT VEK7Z_CALL PrepareOperation(int32_t askMode) override;
    sevenzip::HRESULT VEK7Z_CALL SetOperationResult(int32_t result) override;
    // ISequentialOutStream.
    sevenzip::HRESULT VEK7Z_CALL Write(const void* data, uint32_t size,
                                       uint32_t* processed) override;
    // IArchiveOpenCallback.
    sevenzip::HRESULT VEK7Z_CALL SetTotal(const uint64_t* files, const uint64_t* bytes) override;
    sevenzip::HRESULT VEK7Z_CALL SetCompleted(const uint64_t* files,
                                              const uint64_t* bytes) override;
    // IArchiveOpenVolumeCallback.
    sevenzip::HRESULT VEK7Z_CALL GetProperty(sevenzip::PROPID id,
                                             sevenzip::PropVariant* value) override;
    sevenzip::HRESULT VEK7Z_CALL GetStream(const wchar_t* name,
                                           sevenzip::IInStream** stream) override;
    // ICryptoGetTextPassword.
    sevenzip::HRESULT VEK7Z_CALL CryptoGetTextPassword(sevenzip::BSTR* password) override;

  protected:
    int ReadDirectory() override;
    void ReleaseFormatState() override;
    void ResetFormatState() override;
    int ExtractEntryData(int, SVekEntry*, IVekOutStream*) override { return 1; }

  private:
    void LoadCodecLibrary(const wchar_t* libraryPath);
    bool OpenInnerArchive();
    void ReadEntries(uint32_t count);
    bool IsSelected(uint32_t index) const;
    bool HasPassword() const { return GetPassword() != nullptr && *GetPassword() != '\0'; }
    // The run's list for the library: the selection, and the entries whose data selected hard
    // links need.
    void PlanExtraction();
    // Hands the library our stream, which discards what it is given.
    sevenzip::HRESULT DiscardingStream(sevenzip::ISequentialOutStream** out);
    // The target path of the current entry, or false (the entry refused or failed with its
    // code told) when it has none.
    bool TargetPath(std::wstring& path);
    // Creates the output file of the current entry at path; false (49 told) when it cannot.
    bool CreateOutput(const std::wstring& path);
    // Ends the current item: its result told, its output finished or dropped.
    void EndItem(int32_t result);
    // Ends an item for which the library is given no stream, and answers the library.
    sevenzip::HRESULT EndWithoutData();
    // A selected hard link: a copy of the file its entry's data became in this run.
    void CopyLinkedFile();
    // The output of an entry that failed or was skipped goes; one that succeeded is stamped
    // and put in place (false when it cannot be).
    void DropOutput();
    bool FinishOutput();
    void ReleaseOutput();
    // An entry's failure: told to the sink with the entry's name, and the run's result is 0.
    void FailEntry(unsigned code, bool stopLaterEntries);
    // Selected entries the run never wrote nor reported: told with their names, the first
    // ones each, the rest by their count.
    void ReportUnwritten();

    SVekGuid m_formatId;
    SVekGuid m_formatArchiveId;  // the format m_formatArchive was made for (RAR: 4 or 5)
    sevenzip::CCodecLibrary m_library;
    sevenzip::IInArchive* m_formatArchive = nullptr;
    sevenzip::IInArchive* m_innerArchive = nullptr;
    sevenzip::IInArchive* m_currentArchive = nullptr;
    sevenzip::CInFileStream* m_inputStream = nullptr;
    std::wstring m_archivePath;
    uint64_t m_volumeSize = 0;
    std::vector<uint32_t> m_selection;
    std::wstring m_targetFolder;
    // What became of each selected entry in this run.
    enum EOutcome : uint8_t { kPending, kWritten, kHandled };
    // Whether the library's result for the current item reaches the sink as OnCompleteEntry:
    // not for an entry that never had an output; with 0 for data the host did not ask for.
    enum ECompletion : uint8_t { kCompleteNone, kCompleteZero, kCompleteEntry };

    // Per entry: the entry a hard link shares its data with (kNotALink, kDanglingLink).
    std::vector<int32_t> m_hardLinks;
    std::vector<uint32_t> m_libraryIndices;
    std::vector<uint8_t> m_outcome;
    // Per entry, for this run: the entry whose output file holds its data (-1: none yet), and
    // for an entry that was not selected, the selected hard link its data is written as.
    std::vector<int32_t> m_dataFile;
    std::vector<int32_t> m_writtenAs;
    CVekOutFileStream* m_currentOutput = nullptr;
    SVekEntry* m_currentEntry = nullptr;
    int64_t m_currentIndex = -1;
    int64_t m_dataIndex = -1;  // the library's item whose data the current entry receives
    bool m_itemOpen = false;   // the library's current item has not had its result yet
    bool m_started = false;    // the current entry was started (OnStartEntry)
    ECompletion m_completion = kCompleteZero;
    unsigned m_entryError = 0;
    unsigned m_stopCode = 0;  // the failure that made the library stop
    bool m_passwordAsked = false;
    bool m_abort = false;
    bool m_failed = false;
    int32_t m_lastResult = 0;
    int64_t m_lastIndex = -1;  // of the library's last GetStream; -1 before the first
    uint32_t m_refCount = 0;
};
