#include "archive/core/multi_volume_stream.h"

#include <cstring>
#include <new>

#include "archive/core/in_file_stream.h"
#include "archive/platform/files.h"

namespace plat = vek::platform;

namespace {

// Names are built in a buffer of this many characters, terminator included; longer candidates
// are not tried and end the set.
constexpr size_t kNameBufferLength = 260;
// Volume numbers run below this in every kind.
constexpr int kVolumeLimit = 1000;

constexpr uint32_t kAlzHead = 8;
constexpr uint32_t kAlzTail = 16;
constexpr uint32_t kEggHead = 33;

std::wstring Digits(int n, size_t width) {
    std::wstring text = std::to_wstring(n);
    if (text.size() < width) {
        text.insert(0, width - text.size(), L'0');
    }
    return text;
}

bool IsUpper(wchar_t c) {
    return c >= L'A' && c <= L'Z';
}

// How many volumes come before a split ZIP's last part: the number of the disk its end record
// is on. 0 when the record does not say (then the set ends at the first volume missing).
int ZipVolumeCount(IVekInStream* last) {
    constexpr unsigned kEndRecord = 22;
    uint8_t record[kEndRecord];
    uint64_t size = last->GetSize();
    int64_t at = static_cast<int64_t>(size) - kEndRecord;
    bool read = size >= kEndRecord && last->Seek(at, VEK_SEEK_SET) == at &&
                last->ReadExact(record, kEndRecord) && std::memcmp(record, "PK\x05\x06", 4) == 0;
    last->Seek(0, VEK_SEEK_SET);
    if (!read) {
        return 0;
    }
    int disk = record[4] | (record[5] << 8);
    return disk < kVolumeLimit ? disk : kVolumeLimit - 1;
}

}  // namespace

CVekMultiInFileStream::~CVekMultiInFileStream() {
    Close();
}

int32_t CVekMultiInFileStream::QueryInterface(const SVekGuid& iid, void** out) {
    if (out == nullptr) {
        return VEK_E_NOINTERFACE;
    }
    if (iid == IVekMultiInStream::kIid) {
        *out = static_cast<IVekMultiInStream*>(this);
    } else if (iid == IVekInStream::kIid) {
        *out = static_cast<IVekInStream*>(this);
    } else {
        return VEK_E_NOINTERFACE;
    }
    AddRef();
    return VEK_S_OK;
}

int CVekMultiInFileStream::Attach(IVekInStream* first, int kind) {
    // The reference is taken before Close so that re-attaching a volume of this very set
    // cannot destroy it on the way.
    if (first != nullptr) {
        first->AddRef();
    }
    Close();
    if (first == nullptr) {
        return 0;
    }
    if (kind < VEK_SPLIT_NUMBERED || kind > VEK_SPLIT_EGG) {
        first->Release();
        return 0;
    }
    m_kind = kind;
    const wchar_t* firstName = first->GetFileName();
    std::wstring name = firstName != nullptr ? firstName : L"";
    // Known from the first file even when no following volume turns up (an empty .zip is a
    // lone end record and so looks like the last part of a split set).
    m_fileName = name;

    if (kind == VEK_SPLIT_ZIP) {
        int count = ZipVolumeCount(first);
        if (count > 0) {
            AddZipVolumes(name, count);
        } else {
            AddVolumes(name, 1);
        }
        if (!AddVolume(first)) {
            first->Release();
        }
    } else {
        int added = AddVolume(first);
        if (added == 0) {
            first->Release();
        } else if (added == 1) {
            AddVolumes(name, kind == VEK_SPLIT_ALZ ? 0 : 2);
        }
    }

    // The last ALZ volume ends with the archive's own end records, not a continuation tail.
    // Done here rather than in AddVolumes so that a first volume standing alone gets it too.
    if (kind == VEK_SPLIT_ALZ && !m_volumes.empty()) {
        SVolume& last = m_volumes.back();
        m_total += last.tail;
        last.tail = 0;
    }
    Seek(0, VEK_SEEK_SET);
    return m_volumes.empty() ? 0 : 1;
}

int CVekMultiInFileStream::AddVolume(IVekInStream* stream) {
    uint64_t size = stream->GetSize();
    uint32_t head = 0;
    uint32_t tail = 0;
    if (m_kind == VEK_SPLIT_ALZ) {
        head = m_volumes.empty() ? 0 : kAlzHead;
        tail = kAlzTail;
    } else if (m_kind == VEK_SPLIT_EGG) {
        head = m_volumes.empty() ? 0 : kEggHead;
    }
    // A file too short for its own framing would give a negative payload; it cannot belong to
    // the set, so it ends it here.
    if (size < head) {
        return 0;
    }
    int added = 1;
    if (size < static_cast<uint64_t>(head) + tail) {
        // Only the last ALZ part may lack the continuation tail (it keeps its end records), so a
        // part too short for one is taken as the last, and the set ends after it.
        if (m_kind != VEK_SPLIT_ALZ) {
            return 0;
        }
        tail = 0;
        added = 2;
    }
    stream->SetFilter(m_filter);
    m_volumes.push_back(SVolume{stream, size, head, tail, std::wstring()});
    m_total += static_cast<int64_t>(size - head - tail);
    m_volumeCount = static_cast<int>(m_volumes.size());
    return added;
}

std::wstring CVekMultiInFileStream::VolumeName(const std::wstring& name, int n) const {
    std::wstring candidate;
    size_t length = name.size();
    switch (m_kind) {
        case VEK_SPLIT_NUMBERED:
            candidate = name.substr(0, length - 3) + Digits(n, 3);
            break;
        case VEK_SPLIT_ZIP: {
            // The letter follows the case of the extension: case matters on Linux, and zip
            // tools write .z01 beside .zip. Past z99 the number simply grows (z100, z101, ...),
            // which is how the sets we meet continue.
            wchar_t letter = IsUpper(name[length - 3]) ? L'Z' : L'z';
            candidate = name.substr(0, length - 3) + letter + Digits(n, 2);
            break;
        }
        case VEK_SPLIT_ALZ: {
            // a00 to a99, then b00 to b99 and so on: every hundred volumes take the next letter.
            wchar_t base = IsUpper(name[length - 3]) ? L'A' : L'a';
            candidate = name.substr(0, length - 3) + static_cast<wchar_t>(base + n / 100) +
                        Digits(n % 100, 2);
            break;
        }
        case VEK_SPLIT_EGG:
            // "1.egg" becomes "2.egg", "10.egg", ...; ".egg" keeps the first file's case.
            candidate = name.substr(0, length - 5) + std::to_wstring(n) + name.substr(length - 4);
            break;
        default:
            break;
    }
    if (candidate.size() >= kNameBufferLength) {
        return std::wstring();
    }
    return candidate;
}

int CVekMultiInFileStream::AddVolumes(const std::wstring& name, int start) {
    if (name.size() < 5) {
        return 0;
    }
    // Only a first EGG volume names its followers: from x.vol2.egg the rule would name the
    // file itself again.
    if (m_kind == VEK_SPLIT_EGG && name[name.size() - 5] != L'1') {
        return 0;
    }
    for (int n = start; n < kVolumeLimit; ++n) {
        std::wstring candidate = VolumeName(name, n);
        if (candidate.empty() || !plat::PathExists(candidate.c_str()) ||
            plat::IsFolder(candidate.c_str())) {
            break;
        }
        CVekInFileStream* stream = new (std::nothrow) CVekInFileStream();
        if (stream == nullptr) {
            break;
        }
        stream->AddRef();
        if (!stream->Open(candidate.c_str())) {
            stream->Release();
            break;
        }
        int added = AddVolume(stream);
        if (added == 0) {
            stream->Release();
        }
        if (added != 1) {
            break;
        }
    }
    if (m_volumes.empty()) {
        return 0;
    }
    m_fileName = name;
    return 1;
}

void CVekMultiInFileStream::AddZipVolumes(const std::wstring& name, int count) {
    if (name.size() < 5) {
        return;
    }
    uint64_t volumeSize = 0;
    for (int n = 1; n <= count; ++n) {
        std::wstring candidate = VolumeName(name, n);
        CVekInFileStream* stream = nullptr;
        if (!candidate.empty() && plat::PathExists(candidate.c_str()) &&
            !plat::IsFolder(candidate.c_str())) {
            stream = new (std::nothrow) CVekInFileStream();
        }
        if (stream != nullptr) {
            stream->AddRef();
            if (!stream->Open(candidate.c_str())) {
                stream->Release();
                stream = nullptr;
            }
        }
        if (stream != nullptr) {
            AddVolume(stream);
            if (volumeSize == 0) {
                volumeSize = stream->GetSize();
            }
            continue;
        }
        m_volumes.push_back(SVolume{nullptr, 0, 0, 0, candidate.empty() ? name : candidate});
        m_volumeCount = static_cast<int>(m_volumes.size());
    }
    // Every volume but the last has the split size, so the missing ones keep the offsets of
    // the volumes after them right.
    for (SVolume& volume : m_volumes) {
        if (volume.stream == nullptr) {
            volume.size = volumeSize;
            m_total += static_cast<int64_t>(volumeSize);
        }
    }
}

const wchar_t* CVekMultiInFileStream::GetMissingVolumeName(int64_t begin, int64_t end) {
    int64_t start = 0;
    for (const SVolume& volume : m_volumes) {
        int64_t stop = start + Payload(volume);
        if (volume.stream == nullptr && begin <= stop && start <= end) {
            return volume.missing.c_str();
        }
        start = stop;
    }
    return nullptr;
}

int64_t CVekMultiInFileStream::Payload(const SVolume& volume) const {
    return static_cast<int64_t>(volume.size - volume.head - volume.tail);
}

int64_t CVekMultiInFileStream::Remaining() const {
    const SVolume& volume = m_volumes[static_cast<size_t>(m_current)];
    return static_cast<int64_t>(volume.size - volume.tail) - m_offsetInVolume;
}

void CVekMultiInFileStream::MoveToNextVolume() {
    ++m_current;
    SVolume& volume = m_volumes[static_cast<size_t>(m_current)];
    m_offsetInVolume = volume.head;
    if (volume.stream != nullptr) {
        volume.stream->Seek(m_offsetInVolume, VEK_SEEK_SET);
    }
    m_volumeChanged = 1;
}

int CVekMultiInFileStream::Read(void* buffer, unsigned count, unsigned* got) {
    unsigned localGot = 0;
    unsigned& delivered = got != nullptr ? *got : localGot;
    delivered = 0;
    if (count == 0) {
        return 1;
    }
    if (m_current < 0 || m_current >= m_volumeCount) {
        m_ended = 1;
        return 0;
    }
    char* out = static_cast<char*>(buffer);
    unsigned n = count;
    while (n > 0) {
        int64_t remaining = Remaining();
        // A loop rather than one step: an empty volume in the middle must not end the set.
        while (remaining <= 0 && m_current + 1 < m_volumeCount) {
            MoveToNextVolume();
            remaining = Remaining();
        }
        unsigned take = remaining <= 0 ? 0 : remaining < n ? static_cast<unsigned>(remaining) : n;
        // Never into a volume's tail: what a request cannot get from the payloads fails it.
        IVekInStream* stream = m_volumes[static_cast<size_t>(m_current)].stream;
        if (take == 0 || stream == nullptr || !stream->ReadExact(out, take)) {
            m_ended = 1;
            return 0;
        }
        m_position += take;
        m_offsetInVolume += take;
        out += take;
        delivered += take;
        n -= take;
        if (Remaining() <= 0) {
            if (m_current + 1 >= m_volumeCount) {
                m_current = -1;
                m_ended = 1;
                return n == 0 ? 1 : 0;
            }
            MoveToNextVolume();
        }
    }
    return 1;
}

int64_t CVekMultiInFileStream::Seek(int64_t offset, unsigned origin) {
    // Counting back from the end is not offered; neither is an unknown origin. Both answer 0
    // and leave everything as it was.
    if (origin == VEK_SEEK_SET) {
        m_position = offset;
    } else if (origin == VEK_SEEK_CUR) {
        m_position += offset;
    } else {
        return 0;
    }
    m_ended = 0;
    if (m_position >= 0) {
        int64_t b = m_position;
        for (int i = 0; i < m_volumeCount; ++i) {
            SVolume& volume = m_volumes[static_cast<size_t>(i)];
            int64_t payload = Payload(volume);
            if (b <= payload) {
                m_current = i;
                m_offsetInVolume = volume.head + b;
                if (volume.stream != nullptr) {
                    volume.stream->Seek(m_offsetInVolume, VEK_SEEK_SET);
                }
                return m_position;
            }
            b -= payload;
        }
    }
    // Past the end (or before the start): no volume is current, so that a following read fails
    // instead of carrying on from where the stream stood before.
    m_current = -1;
    m_ended = 1;
    return 0;
}

int CVekMultiInFileStream::Close() {
    for (SVolume& volume : m_volumes) {
        if (volume.stream != nullptr) {
            volume.stream->Release();
        }
    }
    m_volumes.clear();
    m_current = -1;
    m_volumeCount = 0;
    m_position = 0;
    m_offsetInVolume = 0;
    m_total = 0;
    m_ended = 0;
    m_volumeChanged = 0;
    m_fileName.clear();
    m_filter = nullptr;
    m_kind = VEK_SPLIT_NONE;
    return 1;
}

const wchar_t* CVekMultiInFileStream::GetFileName() {
    return m_fileName.empty() ? nullptr : m_fileName.c_str();
}

void CVekMultiInFileStream::SetFilter(IVekStreamFilter* filter) {
    m_filter = filter;
    for (SVolume& volume : m_volumes) {
        if (volume.stream != nullptr) {
            volume.stream->SetFilter(filter);
        }
    }
}

int CVekMultiInFileStream::TakeVolumeChanged() {
    int changed = m_volumeChanged;
    m_volumeChanged = 0;
    return changed;
}

const wchar_t* CVekMultiInFileStream::GetCurrentVolumeName() {
    if (m_current < 0 || m_current >= m_volumeCount) {
        return nullptr;
    }
    const SVolume& volume = m_volumes[static_cast<size_t>(m_current)];
    return volume.stream != nullptr ? volume.stream->GetFileName() : volume.missing.c_str();
}

int64_t CVekMultiInFileStream::GetVolumeOffset(int k) {
    if (k <= 0 || k >= m_volumeCount) {
        return 0;
    }
    int64_t offset = 0;
    for (int i = 0; i < k; ++i) {
        offset += static_cast<int64_t>(m_volumes[static_cast<size_t>(i)].size);
    }
    return offset;
}
