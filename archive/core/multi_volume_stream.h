// Split sets: one input stream that joins the payloads of a set of volume files, so that the
// format readers never see the volumes (the ZIP reader asks for a volume's offset, nothing more).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/core/streams.h"

// How a set is split and therefore how its following volumes are named and framed.
enum EVekSplitKind : int {
    VEK_SPLIT_NONE = 0,
    VEK_SPLIT_NUMBERED = 1,  // x.001, x.002, ... whole files
    VEK_SPLIT_ZIP = 2,       // x.z01, x.z02, ... then x.zip last; whole files
    VEK_SPLIT_ALZ = 3,       // x.alz, x.a00, x.a01, ... 8-byte heads, 16-byte tails
    VEK_SPLIT_EGG = 4,       // x.vol1.egg, x.vol2.egg, ... 33-byte heads
};

struct IVekMultiInStream : IVekInStream {
    static constexpr SVekGuid kIid = MakeVekInterfaceId(0x01);

    // Whether a read moved into the next volume since the last call; clears the flag.
    virtual int TakeVolumeChanged() = 0;
    // Path of the volume being read, null before the first seek and after the end.
    virtual const wchar_t* GetCurrentVolumeName() = 0;
    // Sum of the whole file sizes of the volumes before volume k; 0 for k = 0 or out of range.
    virtual int64_t GetVolumeOffset(int k) = 0;

  protected:
    // Declared here so that the reserved slots below come after the destructor in the table.
    virtual ~IVekMultiInStream() = default;

  public:
    // Kept for the table's shape; the library never calls them.
    virtual int Reserved1() = 0;
    virtual int Reserved2() = 0;
    virtual int Reserved3() = 0;
    virtual int Reserved4() = 0;

    // Path of the first volume that the set lacks and whose place in the joined payload meets
    // [begin, end); null when every byte of that range is there.
    virtual const wchar_t* GetMissingVolumeName(int64_t begin, int64_t end) = 0;
};

class CVekMultiInFileStream : public CVekUnknownImp<IVekMultiInStream> {
  public:
    CVekMultiInFileStream() = default;
    ~CVekMultiInFileStream() override;

    // Answers both the plain input identifier and the multi-volume one.
    int32_t QueryInterface(const SVekGuid& iid, void** out) override;

    // Builds the set around an open first volume (the stream takes its own reference on it)
    // and seeks to the start. Returns 0 for an unknown kind or an empty set.
    int Attach(IVekInStream* first, int kind);

    // Always built by OpenInputStream through Attach; opening by path is not offered.
    int Open(const wchar_t*) override { return 0; }
    int OpenA(const char*) override { return 0; }
    int ReadExact(void* buffer, unsigned count) override { return Read(buffer, count, nullptr); }
    int Read(void* buffer, unsigned count, unsigned* got) override;
    int64_t Seek(int64_t offset, unsigned origin) override;
    int64_t GetPosition() override { return m_position; }
    uint64_t GetSize() override { return static_cast<uint64_t>(m_total); }
    int Close() override;
    int IsEnd() override { return m_position == m_total; }
    const wchar_t* GetFileName() override;
    void SetFilter(IVekStreamFilter* filter) override;

    int TakeVolumeChanged() override;
    const wchar_t* GetCurrentVolumeName() override;
    int64_t GetVolumeOffset(int k) override;

    int Reserved1() override { return 0; }
    int Reserved2() override { return 1; }
    int Reserved3() override { return 0; }
    int Reserved4() override { return 0; }
    const wchar_t* GetMissingVolumeName(int64_t begin, int64_t end) override;

    int GetKind() const { return m_kind; }
    int GetVolumeCount() const { return m_volumeCount; }

  private:
    struct SVolume {
        IVekInStream* stream;  // one reference held; null for a missing volume
        uint64_t size;         // whole file
        uint32_t head;         // bytes skipped at the start
        uint32_t tail;         // bytes skipped at the end
        std::wstring missing;  // the path a missing volume should have had
    };

    // 1 when added, 2 when added as the set's necessary last volume, 0 when refused.
    int AddVolume(IVekInStream* stream);
    int AddVolumes(const std::wstring& name, int start);
    // The volumes before a split ZIP's last part, as many as its end record counts; a volume
    // that is not there keeps its place with the size of the others.
    void AddZipVolumes(const std::wstring& name, int count);
    std::wstring VolumeName(const std::wstring& name, int n) const;
    int64_t Payload(const SVolume& volume) const;
    int64_t Remaining() const;
    void MoveToNextVolume();

    std::vector<SVolume> m_volumes;
    int m_current = -1;
    int m_volumeCount = 0;
    int64_t m_position = 0;
    int64_t m_offsetInVolume = 0;
    int64_t m_total = 0;
    int m_ended = 0;
    int m_volumeChanged = 0;
    std::wstring m_fileName;  // empty when nothing is attached
    IVekStreamFilter* m_filter = nullptr;
    int m_kind = VEK_SPLIT_NONE;
};
