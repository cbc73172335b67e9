#include "archive/core/extractor_impl.h"

#include <cstring>
#include <cwchar>
#include <new>
#include <string>
#include <vector>

#include "archive/core/errors.h"
#include "archive/core/input_stream.h"
#include "archive/core/out_file_stream.h"
#include "archive/core/paths.h"
#include "archive/core/text_conversion.h"
#include "archive/platform/codepage.h"
#include "archive/platform/files.h"

CVekExtractorImpl::CVekExtractorImpl() = default;

CVekExtractorImpl::~CVekExtractorImpl() {
    // Formats release their own state in their destructors: by now ReleaseFormatState would
    // no longer reach them.
    if (m_stream != nullptr) {
        m_stream->Release();
        m_stream = nullptr;
    }
    m_entries.Clear();
}

int CVekExtractorImpl::OpenStream(IVekInStream* stream) {
    Close();
    if (stream == nullptr) {
        return 0;
    }
    void* held = nullptr;
    if (stream->QueryInterface(IVekInStream::kIid, &held) != VEK_S_OK) {
        return 0;
    }
    m_stream = static_cast<IVekInStream*>(held);
    return ReadDirectory();
}

int CVekExtractorImpl::OpenFile(const wchar_t* path) {
    // A plain file, or the whole set when the file is the first volume of a split archive.
    IVekInStream* opened = path != nullptr ? OpenInputStream(path) : nullptr;
    if (opened == nullptr) {
        Close();
        m_lastError = VEKERR_CANNOT_OPEN_FILE;
        return 0;
    }
    CVekRef<IVekInStream> stream(opened);
    opened->Seek(0, VEK_SEEK_SET);
    return OpenStream(opened);
}

int CVekExtractorImpl::OpenFileA(const char* path) {
    wchar_t* wide = path != nullptr ? ToWideString(path, vek::platform::VEK_CP_ACP) : nullptr;
    int result = OpenFile(wide);
    delete[] wide;
    return result;
}

void CVekExtractorImpl::Close() {
    if (m_stream != nullptr) {
        m_stream->Release();
        m_stream = nullptr;
    }
    m_entries.Clear();
    ReleaseFormatState();
    m_skip = 0;
    m_cancel = 0;
    // The sink belongs to its host, which outlives the extraction: forget it, do not release.
    m_sink = nullptr;
    m_lastError = 0;
    m_inputEnded = 0;
    m_encrypted = 0;
    m_solid = 0;
    m_consumed = 0;
    m_decoded = 0;
    ResetFormatState();
}

int CVekExtractorImpl::SetProgressSink(IVekUnknown* sink) {
    if (m_sink != nullptr) {
        m_sink->Release();
        m_sink = nullptr;
    }
    void* held = nullptr;
    if (sink == nullptr || sink->QueryInterface(IVekProgress::kIid, &held) != VEK_S_OK) {
        return 0;
    }
    m_sink = static_cast<IVekProgress*>(held);
    return 1;
}

void CVekExtractorImpl::SetPassword(const char* password) {
    m_crypto.SetPassword(password);
}

int CVekExtractorImpl::ExtractSolid(const int* /*indices*/, unsigned /*count*/,
                                    const wchar_t* /*folder*/) {
    return 0;
}

void CVekExtractorImpl::ReportError(unsigned code, const wchar_t* name) {
    if (m_sink != nullptr) {
        m_sink->OnError(static_cast<int>(code), name, nullptr);
    }
}

void CVekExtractorImpl::BeginEntry(SVekEntry* entry) {
    m_lastError = 0;
    m_consumed = 0;
    m_decoded = 0;
    m_outputLeft = VEK_UNKNOWN_SIZE;
    m_skip = 0;
    if (m_sink != nullptr) {
        m_sink->OnStartEntry(entry, &m_skip, &m_cancel);
    }
}

int CVekExtractorImpl::AddProgress(int64_t consumed, int64_t produced) {
    m_consumed += consumed;
    m_decoded += produced;
    if (m_sink != nullptr) {
        m_sink->OnProgress(m_consumed, m_decoded, &m_skip, &m_cancel);
    }
    if (m_skip || m_cancel) {
        m_lastError = VEKERR_USER_STOP;
        return 0;
    }
    return 1;
}

int CVekExtractorImpl::WriteEntryToStream(int index, SVekEntry* entry, IVekOutStream* out) {
    // Only an entry with nothing stored is empty without decoding. A size of 0 over stored
    // data may be a size field that cannot say (a gzip trailer of a 4 GiB image, a ZIP local
    // header with a data descriptor): the data is decoded and checked like any other.
    if (entry->size == 0 && entry->packedSize == 0) {
        return 1;
    }
    if (m_skip || m_cancel) {
        return 0;
    }
    if (!out->AcceptSize(static_cast<int64_t>(entry->size))) {
        ReportError(VEKERR_SIZE_REFUSED, entry->name);
        return 0;
    }
    if (!ExtractEntryData(index, entry, out)) {
        // A decoder that fails must say why; one that does not would pass for a success in
        // OnCompleteEntry.
        if (m_lastError == 0 && !m_skip && !m_cancel) {
            m_lastError = VEKERR_READ_DATA;
        }
        return 0;
    }
    if (entry->modifyTime != 0) {
        out->SetModifyTime(entry->modifyTime);
    }
    uint32_t shown = entry->attributes & (VEK_ATTR_READONLY | VEK_ATTR_HIDDEN);
    if (shown != 0) {
        out->SetAttributes(shown);
    }
    if (entry->size == VEK_UNKNOWN_SIZE || WrittenSizeMatches(entry, out->GetWrittenSize())) {
        return 1;
    }
    // A failed entry never completes as a success.
    m_lastError = VEKERR_WRITE;
    ReportError(VEKERR_WRITE, entry->name);
    return 0;
}

int CVekExtractorImpl::ExtractItemsTo(const int* indices, unsigned count, const wchar_t* folder) {
    if (indices == nullptr || folder == nullptr) {
        return 0;
    }
    std::wstring base;
    if (!TargetFolderWithSeparator(folder, base)) {
        m_lastError = VEKERR_UNSAFE_FOLDER;
        return 0;
    }
    m_skip = 0;
    m_cancel = 0;
    m_decoded = 0;
    if (m_solid) {
        return ExtractSolid(indices, count, folder);
    }
    int result = 1;
    for (unsigned i = 0; i < count; ++i) {
        if (m_cancel) {
            return 0;
        }
        SVekEntry* entry = m_entries.At(indices[i]);
        if (entry == nullptr) {
            ReportError(VEKERR_BAD_INDEX, nullptr);
            return 0;
        }
        // Nothing is ever written outside the target folder or into a device.
        if (entry->name == nullptr || IsUnsafeEntryName(entry->name)) {
            ReportError(VEKERR_UNSAFE_FOLDER, entry->name);
            result = 0;
            continue;
        }
        std::wstring target = base + entry->name;
        if (target.size() + 1 >= VEK_MAX_TARGET_PATH) {
            ReportError(entry->IsFolder() ? VEKERR_CREATE_FOLDER : VEKERR_CREATE_FILE, entry->name);
            result = 0;
            continue;
        }
        int done = entry->IsFolder() ? ExtractFolderEntry(entry, target)
                                     : ExtractFileEntry(indices[i], entry, target);
        if (!done) {
            result = 0;
        }
    }
    return result;
}

int CVekExtractorImpl::ExtractFolderEntry(SVekEntry* entry, const std::wstring& target) {
    // A folder entry stored without its trailing separator is still a folder to create.
    std::wstring folderPath = target;
    if (folderPath.back() != L'\\' && folderPath.back() != L'/') {
        folderPath += L'\\';
    }
    if (!CreateFolderPath(folderPath.c_str())) {
        ReportError(VEKERR_CREATE_FOLDER, entry->name);
        return 0;
    }
    return 1;
}

int CVekExtractorImpl::ExtractFileEntry(int index, SVekEntry* entry, const std::wstring& target) {
    CVekOutFileStream* file = new (std::nothrow) CVekOutFileStream();
    if (file == nullptr) {
        ReportError(VEKERR_CREATE_FILE, entry->name);
        return 0;
    }
    CVekRef<IVekOutStream> out(file);
    // The entry is written beside its target and put in place only when it has succeeded:
    // an entry that fails leaves whatever was on disk untouched.
    if (!file->OpenStaged(target.c_str())) {
        CreateFolderPath(target.c_str());
        if (!file->OpenStaged(target.c_str())) {
            ReportError(VEKERR_CREATE_FILE, entry->name);
            return 0;
        }
    }
    BeginEntry(entry);
    int done = WriteEntryToStream(index, entry, file);
    if (done && !file->Commit()) {
        // Not in place is not done: the completion says so too.
        m_lastError = VEKERR_CREATE_FILE;
        ReportError(VEKERR_CREATE_FILE, entry->name);
        done = 0;
    }
    out.Reset();  // drops the temporary file of an entry that failed
    if (m_sink != nullptr) {
        m_sink->OnCompleteEntry(static_cast<int>(m_lastError));
    }
    return done;
}

int CVekExtractorImpl::ExtractAllItemsTo(const wchar_t* folder) {
    std::vector<int> all(static_cast<size_t>(m_entries.count) + 1);
    for (int i = 0; i < m_entries.count; ++i) {
        all[static_cast<size_t>(i)] = i;
    }
    return ExtractItemsTo(all.data(), static_cast<unsigned>(m_entries.count), folder);
}
