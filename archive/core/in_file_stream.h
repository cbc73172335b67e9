// Buffered input from a file: a 2048-byte read-ahead buffer, bypassed by large reads.
#pragma once

#include "archive/core/streams.h"
#include "archive/platform/files.h"

class CVekInFileStream : public CVekUnknownImp<IVekInStream> {
  public:
    static constexpr unsigned kBufferSize = 2048;

    CVekInFileStream();
    ~CVekInFileStream() override;

    int Open(const wchar_t* path) override;
    int OpenA(const char* path) override;
    int ReadExact(void* buffer, unsigned count) override;
    int Read(void* buffer, unsigned count, unsigned* got) override;
    int64_t Seek(int64_t offset, unsigned origin) override;
    int64_t GetPosition() override { return m_position; }
    uint64_t GetSize() override { return m_size; }
    int Close() override;
    int IsEnd() override { return static_cast<uint64_t>(m_position) == m_size; }
    const wchar_t* GetFileName() override { return m_fileName; }
    void SetFilter(IVekStreamFilter* filter) override { m_filter = filter; }

  private:
    int Adopt(vek::platform::FileHandle file, wchar_t* fileName);
    void EmptyBuffer() { m_filled = m_index = 0; }

    vek::platform::FileHandle m_file = vek::platform::kInvalidFile;
    // Null when it could not be allocated: every read then fails, nothing else does.
    unsigned char* m_buffer = nullptr;
    unsigned m_bufferSize = kBufferSize;
    int m_filled = 0;
    int m_index = 0;
    int64_t m_position = 0;
    uint64_t m_size = 0;
    wchar_t* m_fileName = nullptr;
    IVekStreamFilter* m_filter = nullptr;
    bool m_seekFailed = false;
};
