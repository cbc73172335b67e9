#include "archive/formats/sevenzip/codec_streams.h"

namespace sevenzip {

namespace plat = vek::platform;

CInFileStream::~CInFileStream() {
    plat::CloseFile(m_file);
}

bool CInFileStream::Open(const wchar_t* path) {
    plat::CloseFile(m_file);
    m_position = 0;
    m_size = 0;
    m_file = path != nullptr ? plat::OpenFileForReading(path, true) : plat::kInvalidFile;
    if (m_file == plat::kInvalidFile) {
        return false;
    }
    if (!plat::QueryFileSize(m_file, &m_size)) {
        plat::CloseFile(m_file);
        m_file = plat::kInvalidFile;
        return false;
    }
    return true;
}

HRESULT CInFileStream::QueryInterface(const SVekGuid& iid, void** out) {
    if (out == nullptr) {
        return kNoInterface;
    }
    if (iid == IInStream::kIid || iid == ISequentialInStream::kIid) {
        *out = static_cast<IInStream*>(this);
    } else if (iid == IStreamGetSize::kIid) {
        *out = static_cast<IStreamGetSize*>(this);
    } else {
        *out = nullptr;
        return kNoInterface;
    }
    AddRef();
    return kOk;
}

uint32_t CInFileStream::Release() {
    uint32_t left = --m_refCount;
    if (left == 0) {
        delete this;
    }
    return left;
}

HRESULT CInFileStream::Read(void* data, uint32_t size, uint32_t* processed) {
    if (processed != nullptr) {
        *processed = 0;
    }
    if (m_file == plat::kInvalidFile) {
        return kFail;
    }
    BeforeRead(m_position);
    uint32_t done = 0;
    if (!plat::ReadFileData(m_file, data, size < kMaxRead ? size : kMaxRead, &done)) {
        return kFail;
    }
    m_position += done;
    if (processed != nullptr) {
        *processed = done;
    }
    return kOk;
}

HRESULT CInFileStream::Seek(int64_t offset, uint32_t origin, uint64_t* newPosition) {
    uint64_t base;
    switch (origin) {
        case 0:
            base = 0;
            break;
        case 1:
            base = m_position;
            break;
        case 2:
            base = m_size;
            break;
        default:
            return kInvalidFunction;
    }
    // Computed without overflow: a position below 0 or beyond 2^63 is refused.
    if ((offset < 0 && static_cast<uint64_t>(-(offset + 1)) + 1 > base) ||
        (offset > 0 && static_cast<uint64_t>(offset) > static_cast<uint64_t>(INT64_MAX) - base)) {
        return kNegativeSeek;
    }
    uint64_t target = base + static_cast<uint64_t>(offset);
    BeforeSeek(target);
    if (m_file == plat::kInvalidFile || !plat::SeekFile(m_file, static_cast<int64_t>(target))) {
        return kFail;
    }
    m_position = target;
    if (newPosition != nullptr) {
        *newPosition = target;
    }
    return kOk;
}

HRESULT CInFileStream::GetSize(uint64_t* size) {
    if (size == nullptr) {
        return kFail;
    }
    *size = m_size;
    return kOk;
}

void CVek7zInFileStream::Report() {
    if (m_sinkSlot != nullptr && *m_sinkSlot != nullptr) {
        (*m_sinkSlot)->OnVolumeChange(m_name.c_str());
        m_reported = true;
    }
}

void CVek7zInFileStream::BeforeSeek(uint64_t position) {
    // The library going back to a volume's start is the moment it starts on that volume.
    if (position < 1024) {
        Report();
    } else {
        m_reported = false;
    }
}

void CVek7zInFileStream::BeforeRead(uint64_t position) {
    if (position < 1024 && !m_reported) {
        Report();
    }
}

}  // namespace sevenzip
