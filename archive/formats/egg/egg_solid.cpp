// Solid EGG extraction: the archive's blocks decode to the data of all entries, one after the
// other in entry order. The writer skips what is not selected and cuts the rest into files,
// telling the host about each file entry as the common extraction loop does: start, progress
// with the entry's own totals, completion with the entry's code; nothing for folders. A skipped
// entry's bytes are decoded and dropped (the stream cannot jump); a cancel ends the pass.
#include <algorithm>
#include <new>

#include "archive/core/crc32.h"
#include "archive/core/errors.h"
#include "archive/core/out_file_stream.h"
#include "archive/core/paths.h"
#include "archive/formats/egg/egg_extractor.h"

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

int CVekUnEgg::ExtractSolid(const int* indices, unsigned count, const wchar_t* folder) {
    // The decoders report progress in block terms; the writer reports it per entry, so the
    // host is kept from them for the length of the pass.
    ResetFormatState();
    m_host = m_sink;
    m_sink = nullptr;
    int result = RunSolid(indices, count, folder);
    // A pass that ended inside an entry leaves its file open; close it now, not at Close.
    CloseSolidOutput(false, m_current);
    m_sink = m_host;
    m_host = nullptr;
    return result;
}

void CVekUnEgg::Tell(unsigned code, const wchar_t* name) {
    if (m_host != nullptr) {
        m_host->OnError(static_cast<int>(code), name, nullptr);
    }
}

void CVekUnEgg::TellNotWritten(unsigned code) {
    // The host names every selected entry that the pass did not write, as after the common
    // loop's cancel.
    while (!m_selectionDone) {
        Tell(code, m_entries.At(m_current)->name);
        NextSolidEntry();
    }
}

int CVekUnEgg::RunSolid(const int* indices, unsigned count, const wchar_t* folder) {
    m_folder = folder;
    if (m_folder.empty() || m_folder.back() != L'\\') {
        m_folder += L'\\';
    }
    for (unsigned i = 0; i < count; ++i) {
        if (m_entries.At(indices[i]) == nullptr) {
            Tell(VEKERR_BAD_INDEX, nullptr);
            return 0;
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
    m_selectionDone = m_selection.empty();
    if (!m_selectionDone) {
        m_current = m_selection[0];
        m_toSkip = m_offsets[static_cast<size_t>(m_current)];
    }
    CVekRef<IVekOutStream> out(new (std::nothrow) CVekSolidOutStream(this));
    if (!out) {
        AbandonSolid(VEKERR_WRITE);
        return 0;
    }
    for (const SEggBlock& block : m_solidBlocks) {
        int done = 0;
        m_lastError = 0;
        if (m_stream->Seek(static_cast<int64_t>(block.dataPosition), VEK_SEEK_SET) < 0) {
            m_lastError = VEKERR_READ_DATA;
        } else if (block.method == 1 || block.method == 4) {
            SVekEntry temporary;
            temporary.packedSize = block.packedSize;
            temporary.size = 0x7FFFFFFFFFFFFFFFull;
            temporary.crc = block.crc;
            done = block.method == 1 ? DecodeDeflate(&temporary, m_stream, out.Get())
                                     : DecodeLzma(&temporary, m_stream, out.Get());
        } else {
            m_lastError = VEKERR_UNSUPPORTED_METHOD;
        }
        if (!done) {
            if (m_cancel) {
                // The entry that asked for it ends with its own code; the rest is named.
                EndSolidEntry();
                TellNotWritten(VEKERR_USER_STOP);
                return 0;
            }
            AbandonSolid(m_lastError != 0 ? m_lastError : VEKERR_READ_DATA);
            return 0;
        }
        // Everything written so far has passed its block's check.
        SettleAwaiting(0);
        m_unverified.clear();
    }
    // Entries of length 0 at the end take no data: produce them now.
    while (!m_selectionDone) {
        if (m_cancel) {
            TellNotWritten(VEKERR_USER_STOP);
            return 0;
        }
        if (m_toSkip != 0 || (m_reached ? m_toWrite : m_entries.At(m_current)->size) != 0) {
            // The blocks ended before the selected data did.
            AbandonSolid(VEKERR_READ_DATA);
            return 0;
        }
        if (!m_reached) {
            BeginSolidEntry();
        }
        EndSolidEntry();
    }
    SettleAwaiting(0);
    return m_solidResult;
}

int CVekUnEgg::WriteSolid(const uint8_t* data, unsigned length) {
    // After a cancel nothing more is started; the decoder stops at its next progress check.
    while (length > 0 && !m_selectionDone && !m_cancel) {
        if (m_toSkip > 0) {
            unsigned step = static_cast<unsigned>(std::min<uint64_t>(m_toSkip, length));
            data += step;
            length -= step;
            m_toSkip -= step;
            m_solidConsumed += step;
            continue;
        }
        if (!m_reached) {
            BeginSolidEntry();
        }
        unsigned step = static_cast<unsigned>(std::min<uint64_t>(m_toWrite, length));
        if (step > 0) {
            WriteSolidPiece(data, step);
            data += step;
            length -= step;
        }
        if (m_toWrite == 0) {
            EndSolidEntry();
        }
    }
    m_solidConsumed += length;
    return 1;
}

void CVekUnEgg::BeginSolidEntry() {
    // The host hears of an entry only after the one before it is complete.
    SettleAwaiting(0);
    SVekEntry* entry = m_entries.At(m_current);
    m_reached = true;
    m_started = false;
    m_discard = true;
    m_entryError = 0;
    m_entrySkip = 0;
    m_runningCrc = 0;
    m_toWrite =
        m_offsets[static_cast<size_t>(m_current) + 1] - m_offsets[static_cast<size_t>(m_current)];
    // The refusals of the common extraction loop; such an entry's data streams past.
    if (entry->name == nullptr || IsUnsafeEntryName(entry->name)) {
        Tell(VEKERR_UNSAFE_FOLDER, entry->name);
        m_solidResult = 0;
        return;
    }
    std::wstring path = m_folder + entry->name;
    if (path.size() + 1 >= VEK_MAX_TARGET_PATH) {
        Tell(entry->IsFolder() ? VEKERR_CREATE_FOLDER : VEKERR_CREATE_FILE, entry->name);
        m_solidResult = 0;
        return;
    }
    if (entry->IsFolder()) {
        if (path.back() != L'\\' && path.back() != L'/') {
            path += L'\\';
        }
        if (!CreateFolderPath(path.c_str())) {
            Tell(VEKERR_CREATE_FOLDER, entry->name);
            m_solidResult = 0;
        }
        return;
    }
    if (!OpenSolidOutput(path)) {
        Tell(VEKERR_CREATE_FILE, entry->name);
        m_solidResult = 0;
        return;
    }
    m_started = true;
    m_lastError = 0;
    m_entryDecoded = 0;
    m_entryConsumedBase = m_consumed;
    if (m_host != nullptr) {
        m_host->OnStartEntry(entry, &m_entrySkip, &m_cancel);
    }
    // An empty entry is done whatever the flags say, as in the common loop; any other entry
    // skipped or cancelled here is not written, and its completion says so.
    m_discard = m_toWrite != 0 && (m_entrySkip || m_cancel);
    if (m_discard) {
        m_entryError = VEKERR_USER_STOP;
    }
}

void CVekUnEgg::WriteSolidPiece(const uint8_t* data, unsigned length) {
    m_toWrite -= length;
    m_solidConsumed += length;
    if (m_discard) {
        return;
    }
    unsigned written = 0;
    if (!m_file->Write(data, length, &written) || written != length) {
        m_entryError = VEKERR_WRITE;
        m_discard = true;
        return;
    }
    m_runningCrc = VekCrc32(m_runningCrc, data, static_cast<int>(length));
    m_entryDecoded += length;
    if (m_host != nullptr) {
        m_host->OnProgress(m_consumed - m_entryConsumedBase, m_entryDecoded, &m_entrySkip,
                           &m_cancel);
    }
    if (m_entrySkip || m_cancel) {
        // Skip drops the rest of this entry; cancel also ends the pass when the decoder sees it.
        m_entryError = VEKERR_USER_STOP;
        m_discard = true;
    }
}

void CVekUnEgg::EndSolidEntry() {
    if (!m_started) {
        NextSolidEntry();
        return;
    }
    SVekEntry* entry = m_entries.At(m_current);
    bool whole = !m_discard && m_toWrite == 0;
    if (whole && entry->crc != 0 && entry->crc != m_runningCrc) {
        m_entryError = VEKERR_CRC;
        whole = false;
    }
    if (whole && m_entryError == 0 && m_entryDecoded != 0) {
        // Its block's check is still to come.
        m_awaiting = m_current;
    } else {
        bool commit = whole && m_entryError == 0;
        unsigned code = CloseSolidOutput(commit, m_current);
        if (!commit) {
            code = m_entryError;
        }
        if (!commit || code != 0) {
            m_solidResult = 0;
        }
        Complete(code);
    }
    NextSolidEntry();
}

void CVekUnEgg::NextSolidEntry() {
    m_reached = false;
    m_started = false;
    m_discard = false;
    if (++m_selected >= m_selection.size()) {
        m_selectionDone = true;
        return;
    }
    m_current = m_selection[m_selected];
    m_toSkip = m_offsets[static_cast<size_t>(m_current)] - m_solidConsumed;
}

void CVekUnEgg::Complete(unsigned code) {
    m_lastError = code;
    if (m_host != nullptr) {
        m_host->OnCompleteEntry(static_cast<int>(code));
    }
}

void CVekUnEgg::SettleAwaiting(unsigned code) {
    if (m_awaiting < 0) {
        return;
    }
    if (code == 0) {
        code = CloseSolidOutput(true, m_awaiting);
    } else {
        CloseSolidOutput(false, m_awaiting);
    }
    if (code != 0) {
        m_solidResult = 0;
    } else {
        m_unverified.push_back(m_awaiting);
    }
    m_awaiting = -1;
    Complete(code);
}

void CVekUnEgg::AbandonSolid(unsigned code) {
    // A block failed: whatever it carried is suspect. Entries already told complete are named
    // again with the error; the entry waiting for the check and the one being written end with
    // it; every selected entry the data never reached is named.
    m_solidResult = 0;
    for (int index : m_unverified) {
        Tell(code, m_entries.At(index)->name);
    }
    m_unverified.clear();
    if (m_awaiting >= 0) {
        SettleAwaiting(code);
        m_unverified.clear();
    }
    if (m_started) {
        CloseSolidOutput(false, m_current);
        Complete(m_entryError != 0 ? m_entryError : code);
        NextSolidEntry();
    } else if (m_reached) {
        NextSolidEntry();
    }
    while (!m_selectionDone) {
        SVekEntry* entry = m_entries.At(m_current);
        if (entry->IsFolder() || entry->size == 0) {
            // No data needed: made as usual.
            BeginSolidEntry();
            EndSolidEntry();
            continue;
        }
        Tell(code, entry->name);
        NextSolidEntry();
    }
}

int CVekUnEgg::OpenSolidOutput(const std::wstring& path) {
    // Written beside its target and put in place only once the entry has succeeded, so that an
    // entry that fails leaves whatever was on disk untouched.
    auto* file = new (std::nothrow) CVekOutFileStream();
    if (file == nullptr) {
        return 0;
    }
    file->AddRef();
    if (!file->OpenStaged(path.c_str())) {
        CreateFolderPath(path.c_str());
        if (!file->OpenStaged(path.c_str())) {
            file->Release();
            return 0;
        }
    }
    m_file = file;
    return 1;
}

unsigned CVekUnEgg::CloseSolidOutput(bool commit, int index) {
    if (m_file == nullptr) {
        return 0;
    }
    unsigned code = 0;
    if (commit && !m_file->Commit()) {
        code = VEKERR_CREATE_FILE;
        SVekEntry* entry = m_entries.At(index);
        Tell(code, entry != nullptr ? entry->name : nullptr);
    }
    m_file->Release();  // an entry not committed takes its temporary file with it
    m_file = nullptr;
    return code;
}
