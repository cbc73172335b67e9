// The host's holder of one open archive: it opens an input stream on a path (joining split
// sets), recognises the format, creates and opens the format's extractor, and extracts the
// user's selection.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/core/extractor.h"
#include "archive/core/streams.h"

class CVekArchive {
  public:
    CVekArchive() = default;
    CVekArchive(const CVekArchive&) = delete;
    CVekArchive& operator=(const CVekArchive&) = delete;
    ~CVekArchive() { Close(); }

    // 1 when the archive is open (possibly damaged: IsDamaged), else 0 (GetLastErrorCode).
    int Open(const wchar_t* path, const char* password);
    void Close();
    // The password in the thread's ANSI code page, for the open extractor.
    void SetPassword(const wchar_t* password);
    // Extracts the selection, or everything when the selection is empty.
    int ExtractSelection(const wchar_t* folder);
    // Sums of packed sizes and sizes over the selection (all entries when it is empty);
    // all ones where no value was known.
    int GetSelectionSizes(int64_t* packed, int64_t* size);

    IVekExtractor* GetExtractor() const { return m_extractor; }
    const std::wstring& GetPath() const { return m_path; }
    int IsDamaged() const { return m_damaged; }
    int IsEncrypted() const { return m_encrypted; }
    uint64_t GetFileSize() const { return m_fileSize; }
    int GetType() const { return m_type; }
    unsigned GetLastErrorCode() const { return m_lastError; }
    // Takes effect at the next Open.
    void SetCodePage(int codePage) { m_codePage = codePage; }
    int GetCodePage() const { return m_codePage; }
    std::vector<int>& Selection() { return m_selection; }

  private:
    int CreateAndOpenExtractor(const wchar_t* path, const char* password);

    IVekInStream* m_stream = nullptr;
    IVekExtractor* m_extractor = nullptr;
    std::wstring m_path;
    int m_damaged = 0;
    int m_encrypted = 0;
    uint64_t m_fileSize = 0;
    int m_type = 0;
    unsigned m_lastError = 0;
    int m_codePage = 0;
    std::vector<int> m_selection;
};
