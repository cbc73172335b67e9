// The archive file as the codec library reads it: IInStream with IStreamGetSize on a plain
// file, and the same for volumes the library opens itself, which tell the host's progress sink
// when the library goes back to a volume's start.
#pragma once

#include <string>

#include "archive/core/progress.h"
#include "archive/formats/sevenzip/codec_interfaces.h"
#include "archive/platform/files.h"

namespace sevenzip {

class CInFileStream : public IInStream, public IStreamGetSize {
  public:
    // One read hands out at most this much.
    static constexpr uint32_t kMaxRead = 16777216;

    CInFileStream() = default;
    CInFileStream(const CInFileStream&) = delete;
    CInFileStream& operator=(const CInFileStream&) = delete;

    // Opens the file for reading, letting others read, write and delete it.
    bool Open(const wchar_t* path);
    uint64_t Size() const { return m_size; }

    HRESULT VEK7Z_CALL QueryInterface(const SVekGuid& iid, void** out) override;
    uint32_t VEK7Z_CALL AddRef() override { return ++m_refCount; }
    uint32_t VEK7Z_CALL Release() override;

    HRESULT VEK7Z_CALL Read(void* data, uint32_t size, uint32_t* processed) override;
    HRESULT VEK7Z_CALL Seek(int64_t offset, uint32_t origin, uint64_t* newPosition) override;
    HRESULT VEK7Z_CALL GetSize(uint64_t* size) override;

  protected:
    virtual ~CInFileStream();
    // Told of every move (seek target) and of every read's start position.
    virtual void BeforeSeek(uint64_t /*position*/) {}
    virtual void BeforeRead(uint64_t /*position*/) {}

  private:
    vek::platform::FileHandle m_file = vek::platform::kInvalidFile;
    uint64_t m_position = 0;
    uint64_t m_size = 0;
    uint32_t m_refCount = 0;
};

// A volume the library asked for by name. The host hears of it (OnVolumeChange) whenever the
// library seeks it below 1024 bytes from its start, and when it first reads there without a
// seek (the library opens every volume at once and reads the next one where it stands).
class CVek7zInFileStream : public CInFileStream {
  public:
    // sinkSlot is where the bridge keeps its current progress sink (which may change or be
    // null); the stream holds no reference to it.
    CVek7zInFileStream(const wchar_t* name, IVekProgress* const* sinkSlot)
        : m_name(name), m_sinkSlot(sinkSlot) {}

  protected:
    void BeforeSeek(uint64_t position) override;
    void BeforeRead(uint64_t position) override;

  private:
    void Report();

    std::wstring m_name;
    // Whether the sink heard of this volume since the library last left its first bytes.
    bool m_reported = false;
    IVekProgress* const* m_sinkSlot;
};

}  // namespace sevenzip
