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
    if (m_file != nullptr) {
        m_file->Release();
        m_file = nullptr;
    }
    m_runningCrc = 0;
    m_solidReported = false;
    m_folder.clear();
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
            return 0;
        }
        uint8_t buffer[18];
        switch (ReadLe32(id)) {
            case kArchiveHeader:
                if (!m_stream->ReadExact(buffer, 10) || buffer[0] != 0) {
                    return Fail(VEKERR_READ_HEADER);
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
                    return Fail(VEKERR_READ_HEADER);
                }
                break;
            case kSolidInfo:
                if (!m_stream->ReadExact(buffer, 7)) {
                    return Fail(VEKERR_READ_HEADER);
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
            case kEncryptInfo:
                if (!pending || !ReadEncryption(pending.get())) {
                    return 0;
                }
                break;
            case kBlock:
                if (!ReadBlock(pending.get())) {
                    return 0;
                }
                break;
            default:
                return 0;
        }
    }
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

// Hands the decoders' output to the extractor's solid writer; nothing else of a file applies.
class CVekSolidOutStream : public CVekUnknownImp<IVekOutStream> {
  public:
    explicit CVekSolidOutStream(CVekUnEgg* owner) : m_owner(owner) {}
    int Open(const wchar_t*) override { return 0; }
    int OpenA(const char*) override { return 0; }
    int Write(const void* data, unsigned count, unsigned* written) override {
        int result = m_owner->WriteSolid(static_cast<const uint8_t*>(data), count);
        if (written != nullptr) {
            *written = result ? count : 0;
        }
        return result;
    }
    int Close() override { return 0; }
    int AcceptSize(int64_t) override { return 0; }
    int SetModifyTime(int64_t) override { return 0; }
    int SetAttributes(uint32_t) override { return 0; }
    uint64_t GetWrittenSize() override { return 0; }

  private:
    CVekUnEgg* m_owner;
};

int CVekUnEgg::SolidFailure(unsigned code) {
    // The decoders' callers only see a failed write; the user must learn which entry and why,
    // or the job would look successful.
    SVekEntry* entry = m_entries.At(m_current);
    m_lastError = code;
    m_solidReported = true;
    ReportError(code, entry != nullptr ? entry->name : nullptr);
    return 0;
}

int CVekUnEgg::ExtractSolid(const int* indices, unsigned count, const wchar_t* folder) {
    int result = RunSolid(indices, count, folder);
    // A pass that failed inside an entry leaves its file open; close it now, not at Close.
    if (m_file != nullptr) {
        m_file->Release();
        m_file = nullptr;
    }
    return result;
}

int CVekUnEgg::RunSolid(const int* indices, unsigned count, const wchar_t* folder) {
    ResetFormatState();
    m_folder = folder;
    if (m_folder.empty() || m_folder.back() != L'\\') {
        m_folder += L'\\';
    }
    int result = 1;
    for (unsigned i = 0; i < count; ++i) {
        SVekEntry* entry = m_entries.At(indices[i]);
        if (entry == nullptr) {
            ReportError(VEKERR_BAD_INDEX, nullptr);
            return 0;
        }
        // The same refusal as the common extraction loop: such an entry's data streams past.
        if (entry->name == nullptr || IsUnsafeEntryName(entry->name)) {
            ReportError(VEKERR_UNSAFE_FOLDER, entry->name);
            result = 0;
            continue;
        }
        m_selection.push_back(indices[i]);
    }
    // The writer walks the data forwards only, so a selection out of order would lose entries.
    std::sort(m_selection.begin(), m_selection.end());
    m_selection.erase(std::unique(m_selection.begin(), m_selection.end()), m_selection.end());
    m_offsets.assign(static_cast<size_t>(m_entries.count) + 1, 0);
    for (int i = 0; i < m_entries.count; ++i) {
        m_offsets[static_cast<size_t>(i) + 1] =
            m_offsets[static_cast<size_t>(i)] + m_entries.At(i)->size;
    }
    if (m_selection.empty()) {
        m_selectionDone = true;
    } else {
        m_current = m_selection[0];
        m_toSkip = m_offsets[static_cast<size_t>(m_current)];
    }
    CVekRef<IVekOutStream> out(new (std::nothrow) CVekSolidOutStream(this));
    if (!out) {
        return 0;
    }
    for (const SEggBlock& block : m_solidBlocks) {
        if (m_stream->Seek(static_cast<int64_t>(block.dataPosition), VEK_SEEK_SET) < 0) {
            return SolidFailure(VEKERR_READ_DATA);
        }
        SVekEntry temporary;
        temporary.packedSize = block.packedSize;
        temporary.size = 0x7FFFFFFFFFFFFFFFull;
        temporary.crc = block.crc;
        int done = 0;
        if (block.method == 1) {
            done = DecodeDeflate(&temporary, m_stream, out.Get());
        } else if (block.method == 4) {
            done = DecodeLzma(&temporary, m_stream, out.Get());
        } else {
            return SolidFailure(VEKERR_UNSUPPORTED_METHOD);
        }
        if (!done) {
            if (!m_solidReported) {
                // A decoder failure (damaged data, a block CRC) names no entry.
                ReportError(m_lastError != 0 ? m_lastError : VEKERR_READ_DATA, nullptr);
            }
            return 0;
        }
    }
    // Entries of length 0 at the end take no data: produce them now.
    while (!m_selectionDone) {
        if (m_toSkip != 0 || m_offsets[static_cast<size_t>(m_current) + 1] !=
                                 m_offsets[static_cast<size_t>(m_current)]) {
            // The blocks ended before the selected data did.
            return SolidFailure(VEKERR_READ_DATA);
        }
        if (!OpenSolidEntry() || !FinishSolidEntry()) {
            return 0;
        }
    }
    return result;
}

int CVekUnEgg::OpenSolidEntry() {
    SVekEntry* entry = m_entries.At(m_current);
    std::wstring path = m_folder + entry->name;
    if (path.size() + 1 >= VEK_MAX_TARGET_PATH) {
        return SolidFailure(entry->IsFolder() ? VEKERR_CREATE_FOLDER : VEKERR_CREATE_FILE);
    }
    m_runningCrc = 0;
    m_toWrite =
        m_offsets[static_cast<size_t>(m_current) + 1] - m_offsets[static_cast<size_t>(m_current)];
    if (entry->IsFolder()) {
        if (path.back() != L'\\' && path.back() != L'/') {
            path += L'\\';
        }
        if (!CreateFolderPath(path.c_str())) {
            ReportError(VEKERR_CREATE_FOLDER, entry->name);
        }
        m_toWrite = 0;
        return 1;
    }
    if (m_file != nullptr) {
        // Left open by a failed entry that the decoder wrote on past: that entry is over.
        m_file->Release();
        m_file = nullptr;
    }
    auto* file = new (std::nothrow) CVekOutFileStream();
    if (file == nullptr) {
        return SolidFailure(VEKERR_CREATE_FILE);
    }
    file->AddRef();
    m_file = file;
    if (!file->Open(path.c_str())) {
        CreateFolderPath(path.c_str());
        if (!file->Open(path.c_str())) {
            return SolidFailure(VEKERR_CREATE_FILE);
        }
    }
    return 1;
}

int CVekUnEgg::FinishSolidEntry() {
    SVekEntry* entry = m_entries.At(m_current);
    if (m_file != nullptr) {
        m_file->Release();  // closes the file
        m_file = nullptr;
    }
    if (entry->crc != 0 && entry->crc != m_runningCrc) {
        return SolidFailure(VEKERR_CRC);
    }
    if (m_sink != nullptr) {
        m_sink->OnCompleteEntry(0);
    }
    if (++m_selected >= m_selection.size()) {
        m_selectionDone = true;
        return 1;
    }
    m_current = m_selection[m_selected];
    m_toSkip = m_offsets[static_cast<size_t>(m_current)] - m_solidConsumed;
    return 1;
}

int CVekUnEgg::WriteSolid(const uint8_t* data, unsigned length) {
    bool opened = m_file != nullptr;
    while (length > 0 && !m_selectionDone) {
        if (m_toSkip > 0) {
            unsigned step = static_cast<unsigned>(std::min<uint64_t>(m_toSkip, length));
            data += step;
            length -= step;
            m_toSkip -= step;
            m_solidConsumed += step;
            continue;
        }
        if (!opened) {
            if (!OpenSolidEntry()) {
                return 0;
            }
            opened = true;
        }
        unsigned step = static_cast<unsigned>(std::min<uint64_t>(m_toWrite, length));
        if (step > 0) {
            unsigned written = 0;
            if (m_file == nullptr || !m_file->Write(data, step, &written) || written != step) {
                return SolidFailure(VEKERR_WRITE);
            }
            m_runningCrc = VekCrc32(m_runningCrc, data, static_cast<int>(step));
            data += step;
            length -= step;
            m_toWrite -= step;
            m_solidConsumed += step;
        }
        if (m_toWrite == 0) {
            if (!FinishSolidEntry()) {
                return 0;
            }
            opened = false;
        }
    }
    m_solidConsumed += length;
    return 1;
}
