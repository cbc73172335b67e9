// Output to a file: created or truncated at open, written sequentially, stamped at the end.
#pragma once

#include "archive/core/streams.h"
#include "archive/platform/files.h"

class CVekOutFileStream : public CVekUnknownImp<IVekOutStream> {
  public:
    CVekOutFileStream() = default;
    ~CVekOutFileStream() override;

    int Open(const wchar_t* path) override;
    int OpenA(const char* path) override;
    int Write(const void* data, unsigned count, unsigned* written) override;
    int Close() override;
    int AcceptSize(int64_t /*size*/) override { return 1; }
    int SetModifyTime(int64_t unixSeconds) override;
    int SetAttributes(uint32_t attributes) override;
    uint64_t GetWrittenSize() override { return m_written; }

  private:
    int Adopt(vek::platform::FileHandle file, wchar_t* path);

    vek::platform::FileHandle m_file = vek::platform::kInvalidFile;
    wchar_t* m_path = nullptr;
    uint64_t m_written = 0;
};
