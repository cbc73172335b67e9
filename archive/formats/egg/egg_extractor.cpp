#include "archive/formats/egg/egg_extractor.h"

#include <algorithm>
#include <memory>
#include <new>

#include "archive/core/byte_order.h"
#include "archive/core/crc32.h"
#include "archive/core/errors.h"
#include "archive/core/out_file_stream.h"
#include "archive/core/paths.h"
#include "archive/core/time_conversion.h"

namespace {

constexpr uint32_t kArchiveHeader = 0x41474745;
constexpr uint32_t kSplitInfo = 0x24F5A262;
constexpr uint32_t kSolidInfo = 0x24E5A060;
constexpr uint32_t kFileHeader = 0x0A8590E3;
constexpr uint32_t kEncryptInfo = 0x08D1470F;
constexpr uint32_t kBlock = 0x02B50C13;
constexpr uint32_t kEndRecord = 0x08E28222;
constexpr unsigned kMaxNameLength = 779;

// Key data length each encryption method needs: the decryption object reads its header,
// salt and authentication code at fixed offsets, so shorter data is refused at open rather
// than read past its end at extraction.
constexpr uint32_t kKeyDataLength[] = {16, 20, 28};

int32_t MethodCode(uint8_t method) {
    switch (method) {
        case 0:
            return 0;
        case 1:
            return 8;
        case 2:
            return 12;
        case 3:
            return 202;
        case 4:
            return 14;
        default:
            return 999;
    }
}

}  // namespace

CVekUnEgg::CVekUnEgg() {
    ResetFormatState();
}

void CVekUnEgg::ReleaseFormatState() {
    m_solidBlocks.clear();
}

void CVekUnEgg::ResetFormatState() {
    m_name[0] = 0;
    m_solidConsumed = 0;
    m_current = -1;
    m_toSkip = 0;
    m_toWrite = 0;
    m_selection.clear();
    m_selected = 0;
    m_selectionDone = false;
    m_offsets.clear();
    m_folder.clear();
    m_solidResult = 1;
    m_reached = false;
    m_started = false;
    m_discard = false;
    m_entryError = 0;
    m_entrySkip = 0;
    m_entryDecoded = 0;
    m_entryConsumedBase = 0;
    m_runningCrc = 0;
    CloseSolidOutput(false, -1);
    m_awaiting = -1;
    m_unverified.clear();
}

int CVekUnEgg::ReadDirectory() {
    m_name[0] = 0;
    if (Walk()) {
        return 1;
    }
    if (m_lastError == 0) {
        m_lastError = VEKERR_READ_HEADER;
    }
    return 0;
}

int CVekUnEgg::Walk() {
    // The entry being read; it joins the list when the next file header or the final end
    // record comes, since its blocks follow its header.
    std::unique_ptr<SEggFileHeader> pending;
    for (;;) {
        uint8_t id[4];
        if (!m_stream->ReadExact(id, 4)) {
            return KeepWholeEntry(pending);
        }
        uint8_t buffer[18];
        switch (ReadLe32(id)) {
            case kArchiveHeader:
                if (!m_stream->ReadExact(buffer, 10) || buffer[0] != 0) {
                    Fail(VEKERR_READ_HEADER);
                    return KeepWholeEntry(pending);
                }
                break;
            case kEndRecord:
                if (m_stream->IsEnd()) {
                    if (pending && m_name[0] != 0 && !AddEntry(pending.release())) {
                        return 0;
                    }
                    return 1;
                }
                break;
            case kSplitInfo:
                if (!m_stream->ReadExact(buffer, 15)) {
                    Fail(VEKERR_READ_HEADER);
                    return KeepWholeEntry(pending);
                }
                break;
            case kSolidInfo:
                if (!m_stream->ReadExact(buffer, 7)) {
                    Fail(VEKERR_READ_HEADER);
                    return KeepWholeEntry(pending);
                }
                m_solid = 1;
                break;
            case kFileHeader: {
                if (pending && m_name[0] != 0 && !AddEntry(pending.release())) {
                    return 0;
                }
                pending.reset();
                SEggFileHeader* header = nullptr;
                if (!ReadFileHeader(&header)) {
                    return 0;
                }
                pending.reset(header);
                break;
            }
            // These change the pending entry only once read whole; one that fails leaves it
            // as it was, to be kept if its blocks are all there.
            case kEncryptInfo:
                if (!pending || !ReadEncryption(pending.get())) {
                    return KeepWholeEntry(pending);
                }
                break;
            case kBlock:
                if (!ReadBlock(pending.get())) {
                    return KeepWholeEntry(pending);
                }
                break;
            default:
                return KeepWholeEntry(pending);
        }
    }
}

int CVekUnEgg::KeepWholeEntry(std::unique_ptr<SEggFileHeader>& pending) {
    // The walk failed after the pending entry: damage or stray bytes past the final end
    // record. An entry read whole is listed all the same, and the open still fails, so the
    // archive shows as damaged.
    if (!pending || m_name[0] == 0) {
        return 0;
    }
    bool whole = true;
    if (!m_solid) {
        const uint64_t length = ReadLe64(pending->header + 4);
        whole = pending->size == length;
        if (whole && !pending->blocks.empty()) {
            const SEggBlock& last = pending->blocks.back();
            whole = last.dataPosition + last.packedSize <= m_stream->GetSize();
        }
    }
    if (whole) {
        unsigned code = m_lastError;
        if (!AddEntry(pending.release())) {
            return 0;
        }
        m_lastError = code;
    }
    return 0;
}

int CVekUnEgg::ReadFileHeader(SEggFileHeader** result) {
    std::unique_ptr<SEggFileHeader> header(new (std::nothrow) SEggFileHeader());
    if (!header) {
        return Fail(VEKERR_READ_HEADER);
    }
    if (!m_stream->ReadExact(header->header, sizeof header->header)) {
        return Fail(VEKERR_READ_HEADER);
    }
    unsigned length = ReadLe16(header->header + 17);
    if (length == 0 || length > kMaxNameLength) {
        return Fail(VEKERR_BAD_NAME);
    }
    if (!m_stream->ReadExact(m_name, length)) {
        m_name[0] = 0;
        return Fail(VEKERR_READ_HEADER);
    }
    m_name[length] = 0;
    if (!m_stream->ReadExact(header->information, sizeof header->information)) {
        m_name[0] = 0;
        return Fail(VEKERR_READ_HEADER);
    }
    *result = header.release();
    return 1;
}

int CVekUnEgg::ReadEncryption(SEggFileHeader* pending) {
    uint8_t head[4];
    if (!m_stream->ReadExact(head, 4)) {
        return Fail(VEKERR_READ_HEADER);
    }
    unsigned size = ReadLe16(head + 1);
    uint8_t method = head[3];
    if (size == 0 || method > 2) {
        return Fail(VEKERR_READ_HEADER);
    }
    std::vector<uint8_t> key(size - 1);
    if (!key.empty() && !m_stream->ReadExact(key.data(), static_cast<unsigned>(key.size()))) {
        return Fail(VEKERR_READ_HEADER);
    }
    if (key.size() < kKeyDataLength[method]) {
        return Fail(VEKERR_READ_HEADER);
    }
    uint8_t end[4];
    if (!m_stream->ReadExact(end, 4) || ReadLe32(end) != kEndRecord) {
        return Fail(VEKERR_READ_HEADER);
    }
    pending->encryption = 5u + method;
    pending->keyData.swap(key);
    return 1;
}

int CVekUnEgg::ReadBlock(SEggFileHeader* pending) {
    uint8_t raw[18];
    if (!m_stream->ReadExact(raw, sizeof raw)) {
        return Fail(VEKERR_READ_HEADER);
    }
    SEggBlock block;
    block.method = raw[0];
    block.hint = raw[1];
    block.size = ReadLe32(raw + 2);
    block.packedSize = ReadLe32(raw + 6);
    block.crc = ReadLe32(raw + 10);
    block.endRecord = ReadLe32(raw + 14);
    int64_t position = m_stream->GetPosition();
    if (position < 0) {
        return Fail(VEKERR_READ_HEADER);
    }
    block.dataPosition = static_cast<uint64_t>(position);
    if (m_solid) {
        m_solidBlocks.push_back(block);
    } else {
        if (pending == nullptr) {
            return 0;
        }
        pending->blocks.push_back(block);
        pending->size += block.size;
        pending->packedSize += block.packedSize;
        pending->method = block.method;
        if (pending->crc == 0) {
            pending->crc = block.crc;
        } else {
            pending->crc = VekCrc32(pending->crc, raw + 10, 4);
        }
        if (ReadLe64(pending->header + 4) < pending->size) {
            return Fail(VEKERR_READ_HEADER);
        }
    }
    if (m_stream->Seek(block.packedSize, VEK_SEEK_CUR) < 0) {
        return Fail(VEKERR_READ_HEADER);
    }
    return 1;
}

int CVekUnEgg::AddEntry(SEggFileHeader* header) {
    std::unique_ptr<SEggFileHeader> owned(header);
    std::unique_ptr<SVekEntry> entry(new (std::nothrow) SVekEntry());
    if (!entry) {
        return Fail(VEKERR_READ_HEADER);
    }
    // Names are UTF-8 whatever the flags or the caller's code page say.
    if (!entry->SetNameA(m_name, 65001)) {
        m_name[0] = 0;
        return Fail(VEKERR_BAD_NAME);
    }
    m_name[0] = 0;
    entry->packedSize = owned->packedSize;
    entry->size = ReadLe64(owned->header + 4);
    entry->method = MethodCode(owned->method);
    entry->encryption = owned->encryption;
    if (owned->encryption != 0) {
        m_encrypted = 1;
    }
    // A FILETIME past the signed range is no date any program writes; converting it would
    // overflow on the way back to the file system, so the time stays unknown.
    uint64_t fileTime = ReadLe64(owned->information + 7);
    if (fileTime <= static_cast<uint64_t>(INT64_MAX)) {
        entry->modifyTime = FileTimeToUnixTime(static_cast<int64_t>(fileTime));
    }
    entry->crc = owned->crc;
    uint8_t attributes = owned->information[15];
    if (attributes & 0x01) {
        entry->attributes |= VEK_ATTR_READONLY;
    }
    if (attributes & 0x02) {
        entry->attributes |= VEK_ATTR_HIDDEN;
    }
    if (attributes & 0x80) {
        entry->attributes |= VEK_ATTR_FOLDER;
    }
    int64_t position = m_stream->GetPosition();
    entry->dataOffset = position < 0 ? 0 : static_cast<uint64_t>(position);
    entry->extra = owned.release();
    if (!m_entries.Add(entry.release())) {
        return Fail(VEKERR_READ_HEADER);
    }
    return 1;
}

int CVekUnEgg::ExtractEntryData(int /*index*/, SVekEntry* entry, IVekOutStream* out) {
    auto* header = static_cast<SEggFileHeader*>(entry->extra);
    if (header == nullptr || header->blocks.empty()) {
        return 0;
    }
    int result = 0;
    for (const SEggBlock& block : header->blocks) {
        if (m_stream->Seek(static_cast<int64_t>(block.dataPosition), VEK_SEEK_SET) < 0) {
            return Fail(VEKERR_READ_DATA);
        }
        // The decoders budget and check by the entry's packed size and CRC, so each block
        // stands in for the entry while it is decoded.
        uint64_t packedSize = entry->packedSize;
        uint32_t crc = entry->crc;
        entry->packedSize = block.packedSize;
        entry->crc = block.crc;
        switch (entry->method) {
            case 0:
                result = DecodeStored(entry, m_stream, out);
                break;
            case 8:
                result = DecodeDeflate(entry, m_stream, out);
                break;
            case 12:
                result = DecodeBzip2(entry, m_stream, out);
                break;
            case 14:
                result = DecodeLzma(entry, m_stream, out);
                break;
            default:
                m_lastError = VEKERR_UNSUPPORTED_METHOD;
                result = 0;
                break;
        }
        entry->packedSize = packedSize;
        entry->crc = crc;
        if (!result) {
            break;
        }
    }
    return result;
}
