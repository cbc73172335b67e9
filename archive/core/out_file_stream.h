// Output to a file: created or truncated at open, written sequentially, stamped at the end.
// A staged stream writes beside its target under a temporary name and puts the file in place
// only on Commit, so that an entry that fails never changes what was on disk.
#pragma once

#include <string>

#include "archive/core/streams.h"
#include "archive/platform/files.h"

class CVekOutFileStream : public CVekUnknownImp<IVekOutStream> {
  public:
    CVekOutFileStream() = default;
    ~CVekOutFileStream() override;

    int Open(const wchar_t* path) override;
    int OpenA(const char* path) override;
    // Creates a new temporary file in the target's folder (never an existing one) and
    // remembers the sanitised target. Fails as Open does when the folder does not exist.
    int OpenStaged(const wchar_t* target);
    // Closes the staged file and moves it over the target, replacing a file there, then
    // applies the remembered attributes. 0 when it cannot be put in place: the temporary file
    // is then removed and the target is untouched. The written size still answers afterwards.
    int Commit();
    // A staged file that was not committed is closed and deleted.
    int Close() override;
    int Write(const void* data, unsigned count, unsigned* written) override;
    int AcceptSize(int64_t /*size*/) override { return 1; }
    int SetModifyTime(int64_t unixSeconds) override;
    // Staged: remembered and applied after the move (a read-only temporary file could not be
    // renamed or deleted on Windows).
    int SetAttributes(uint32_t attributes) override;
    uint64_t GetWrittenSize() override { return m_written; }

  private:
    int Adopt(vek::platform::FileHandle file, wchar_t* path);
    void CloseHandleAndPath();

    vek::platform::FileHandle m_file = vek::platform::kInvalidFile;
    wchar_t* m_path = nullptr;  // the file being written: the temporary one when staged
    uint64_t m_written = 0;
    bool m_staged = false;
    std::wstring m_target;
    bool m_hasAttributes = false;
    uint32_t m_attributes = 0;
};
