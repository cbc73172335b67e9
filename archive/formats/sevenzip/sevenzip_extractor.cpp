#include "archive/formats/sevenzip/sevenzip_extractor.h"

#include <algorithm>
#include <cstdint>
#include <new>

#include "archive/core/errors.h"
#include "archive/core/out_file_stream.h"
#include "archive/core/paths.h"
#include "archive/core/time_conversion.h"
#include "archive/formats/gzip/single_stream_name.h"
#include "archive/formats/sevenzip/codec_streams.h"
#include "archive/formats/sevenzip/hard_links.h"
#include "archive/platform/codepage.h"
#include "archive/platform/files.h"

using namespace sevenzip;

namespace {

// How far into the file the library may look for the archive's start (self-extractors).
constexpr uint64_t kMaxStartSearch = 4194304;
// Windows' thread code page: what the user typed the password in.
constexpr int kThreadAnsiCodePage = 3;

}  // namespace

CVek7Zip::CVek7Zip(const SVekGuid* formatId, const wchar_t* libraryPath)
    : m_formatId(formatId != nullptr ? *formatId : kFormat7z), m_formatArchiveId(m_formatId) {
    LoadCodecLibrary(libraryPath);
}

CVek7Zip::~CVek7Zip() {
    Close();
    for (IInArchive* archive : {m_formatArchive, m_innerArchive}) {
        if (archive != nullptr) {
            archive->Close();
            archive->Release();
        }
    }
    m_formatArchive = m_innerArchive = m_currentArchive = nullptr;
    m_library.Free();
}

void CVek7Zip::LoadCodecLibrary(const wchar_t* libraryPath) {
    if (!m_library.Load(libraryPath)) {
        return;
    }
    m_formatArchive = m_library.CreateArchive(m_formatId);
    m_innerArchive = m_library.CreateArchive(kFormat7z);
    if (m_formatArchive == nullptr || m_innerArchive == nullptr) {
        if (m_formatArchive != nullptr) {
            m_formatArchive->Release();
        }
        if (m_innerArchive != nullptr) {
            m_innerArchive->Release();
        }
        m_formatArchive = m_innerArchive = nullptr;
        m_library.Free();
    }
}

// ---- opening --------------------------------------------------------------------------------

int CVek7Zip::ReadDirectory() {
    const wchar_t* name = m_stream != nullptr ? m_stream->GetFileName() : nullptr;
    if (name == nullptr || *name == L'\0') {
        return 0;
    }
    if (m_formatArchive == nullptr || m_innerArchive == nullptr) {
        m_lastError = VEKERR_NO_CODEC_LIBRARY;
        return 0;
    }
    m_inputStream = new (std::nothrow) CInFileStream();
    if (m_inputStream == nullptr) {
        return 0;
    }
    m_inputStream->AddRef();
    if (!m_inputStream->Open(name)) {
        m_lastError = VEKERR_CANNOT_OPEN_FILE;
        return 0;
    }
    m_archivePath = name;
    m_volumeSize = m_inputStream->Size();
    // Never given back: the library's references must not bring the count to 0.
    AddRef();

    bool damaged = false;
    const uint64_t maxStart = kMaxStartSearch;
    HRESULT opened = m_formatArchive->Open(m_inputStream, &maxStart, this);
    if (opened != kOk && !m_passwordAsked && m_formatId == kFormatRar) {
        // "Rar!" starts both RAR generations; the library reads each with its own format.
        const SVekGuid other = m_formatArchiveId == kFormatRar5 ? kFormatRar : kFormatRar5;
        IInArchive* second = m_library.CreateArchive(other);
        if (second != nullptr) {
            m_inputStream->Seek(0, 0, nullptr);
            if (second->Open(m_inputStream, &maxStart, this) == kOk) {
                m_formatArchive->Close();
                m_formatArchive->Release();
                m_formatArchive = second;
                m_formatArchiveId = other;
                opened = kOk;
            } else {
                second->Close();
                second->Release();
            }
        }
    }
    if (opened != kOk) {
        if (m_passwordAsked) {
            // Encrypted names: the host asks for the password and opens again.
            m_encrypted = 1;
            if (HasPassword()) {
                m_lastError = VEKERR_WRONG_PASSWORD;
            }
            return 1;
        }
        // After a failed open the library's archive must not be asked for its items: it has
        // let go of its stream, and a handler that reads items lazily (TAR) would read from
        // nothing. What it read before failing only decides the code.
        uint32_t count = 0;
        if (m_formatArchive->GetNumberOfItems(&count) == kOk && count != 0) {
            m_lastError = VEKERR_OPENED_WITH_ERRORS;
        }
        m_formatArchive->Close();
        return 0;
    }
    // A damaged archive the library could read in part opens with error flags: listed, and
    // shown as damaged. Data after the archive's end alone harms no entry.
    CPropVariant errors(m_library);
    m_formatArchive->GetArchiveProperty(kpidErrorFlags, &errors.value);
    if (errors.value.vt == VT_UI4 && (errors.value.ulVal & ~kErrorFlagDataAfterEnd) != 0) {
        m_lastError = VEKERR_OPENED_WITH_ERRORS;
        damaged = true;
    }
    m_currentArchive = m_formatArchive;
    // A numbered split set: the 7z archive the volumes make up is what the user sees. Other
    // formats may offer their entries as streams too (a TAR's first file may itself be a 7z
    // archive), and those are listed as they are.
    if (m_formatId == kFormatSplit && OpenInnerArchive() && m_currentArchive == nullptr) {
        m_encrypted = 1;
        if (HasPassword()) {
            m_lastError = VEKERR_WRONG_PASSWORD;
        }
        return 1;
    }

    CPropVariant solid(m_library);
    m_currentArchive->GetArchiveProperty(kpidSolid, &solid.value);
    m_solid = solid.IsTrue() ? 1 : 0;
    CPropVariant encrypted(m_library);
    m_currentArchive->GetArchiveProperty(kpidEncrypted, &encrypted.value);
    m_encrypted = encrypted.IsTrue() ? 1 : 0;

    uint32_t count = 0;
    if (m_currentArchive->GetNumberOfItems(&count) != kOk) {
        count = 0;
    }
    ReadEntries(count);
    return damaged ? 0 : 1;
}

// Returns true when the inner archive could not be opened because of its password (with the
// current archive cleared); otherwise the current archive is the inner one when it opened.
bool CVek7Zip::OpenInnerArchive() {
    void* held = nullptr;
    if (m_formatArchive->QueryInterface(IInArchiveGetStream::kIid, &held) != kOk ||
        held == nullptr) {
        return false;
    }
    auto* getStream = static_cast<IInArchiveGetStream*>(held);
    ISequentialInStream* sequential = nullptr;
    HRESULT got = getStream->GetStream(0, &sequential);
    getStream->Release();
    if (got != kOk || sequential == nullptr) {
        return false;
    }
    held = nullptr;
    HRESULT seekable = sequential->QueryInterface(IInStream::kIid, &held);
    sequential->Release();
    if (seekable != kOk || held == nullptr) {
        return false;
    }
    auto* joined = static_cast<IInStream*>(held);
    const uint64_t noSearch = 0;
    HRESULT opened = m_innerArchive->Open(joined, &noSearch, this);
    joined->Release();
    if (opened == kOk) {
        m_currentArchive = m_innerArchive;
        return false;
    }
    if (m_passwordAsked) {
        m_currentArchive = nullptr;
        return true;
    }
    return false;
}

void CVek7Zip::ReadEntries(uint32_t count) {
    m_hardLinks.clear();
    try {
        m_hardLinks.assign(count, kNotALink);
    } catch (const std::bad_alloc&) {
        // Without room for the links' records the links come out as the library gives them.
        m_hardLinks.clear();
    }
    for (uint32_t index = 0; index < count; ++index) {
        SVekEntry* entry = new (std::nothrow) SVekEntry();
        if (entry == nullptr) {
            return;
        }
        CPropVariant path(m_library);
        m_currentArchive->GetProperty(index, kpidPath, &path.value);
        // The wide name is what counts: a code page without a narrow form (decomposed UTF-8)
        // fails only the narrow copy, and the entry keeps its own name.
        if (path.value.vt == VT_BSTR && path.value.bstrVal != nullptr) {
            entry->SetName(path.value.bstrVal, m_codePage);
        } else if (path.value.vt == VT_LPSTR && path.value.pszVal != nullptr) {
            entry->SetNameA(path.value.pszVal, m_codePage);
        }
        if (entry->name == nullptr) {
            // A single stream without a stored name (a split set's joined file): the
            // archive's own name without its extension.
            wchar_t base[VEK_NAME_BUFFER];
            wchar_t extension[VEK_NAME_BUFFER];
            if (SplitNameAndExtension(m_archivePath.c_str(), base, extension) && *base != L'\0') {
                entry->SetName(base, m_codePage);
            }
        }

        CPropVariant folder(m_library);
        m_currentArchive->GetProperty(index, kpidIsDir, &folder.value);
        if (folder.IsTrue()) {
            entry->attributes |= VEK_ATTR_FOLDER;
        }
        CPropVariant size(m_library);
        m_currentArchive->GetProperty(index, kpidSize, &size.value);
        if (size.value.vt == VT_UI8) {
            entry->size = size.value.uhVal;
        } else if (size.value.vt == VT_UI4) {
            entry->size = size.value.ulVal;
        }
        CPropVariant crc(m_library);
        m_currentArchive->GetProperty(index, kpidCRC, &crc.value);
        if (crc.value.vt == VT_UI4) {
            entry->crc = crc.value.ulVal;
        }
        CPropVariant time(m_library);
        m_currentArchive->GetProperty(index, kpidMTime, &time.value);
        if (time.value.vt == VT_FILETIME) {
            uint64_t fileTime =
                static_cast<uint64_t>(time.value.filetime.high) << 32 | time.value.filetime.low;
            // A file time of 2^63 or more is no time any system holds: unknown.
            if (fileTime <= static_cast<uint64_t>(INT64_MAX)) {
                entry->modifyTime = FileTimeToUnixTime(static_cast<int64_t>(fileTime));
            }
        }
        CPropVariant attributes(m_library);
        m_currentArchive->GetProperty(index, kpidAttrib, &attributes.value);
        if (attributes.value.vt == VT_UI4) {
            entry->attributes |= attributes.value.ulVal & (VEK_ATTR_READONLY | VEK_ATTR_HIDDEN);
        }
        CPropVariant encrypted(m_library);
        m_currentArchive->GetProperty(index, kpidEncrypted, &encrypted.value);
        if (encrypted.IsTrue()) {
            entry->encryption = 153;
            m_encrypted = 1;
        }
        // Indices must stay the library's item numbers: an entry that cannot be kept ends
        // the list rather than shifting the rest.
        if (!m_entries.Add(entry)) {
            return;
        }
        if (index >= m_hardLinks.size() || entry->IsFolder()) {
            continue;
        }
        CPropVariant link(m_library);
        m_currentArchive->GetProperty(index, kpidHardLink, &link.value);
        if (link.value.vt == VT_BSTR && link.value.bstrVal != nullptr &&
            *link.value.bstrVal != L'\0') {
            int32_t linked = ResolveHardLink(m_entries, m_hardLinks.data(),
                                             static_cast<int32_t>(index), link.value.bstrVal);
            m_hardLinks[index] = linked;
            if (linked >= 0) {
                // The link comes out as its entry's data: listed with its size.
                entry->size = m_entries.At(linked)->size;
                entry->crc = m_entries.At(linked)->crc;
            }
        }
    }
}

// ---- closing --------------------------------------------------------------------------------

void CVek7Zip::ReleaseFormatState() {
    ReleaseOutput();
    // The library's archives keep the file open until they are closed; the host has let go of
    // the archive, so the file must be free again (Windows would not let it be moved or
    // deleted otherwise).
    for (IInArchive* archive : {m_formatArchive, m_innerArchive}) {
        if (archive != nullptr) {
            archive->Close();
        }
    }
    m_currentArchive = nullptr;
    if (m_inputStream != nullptr) {
        m_inputStream->Release();
        m_inputStream = nullptr;
    }
    m_selection.clear();
    m_libraryIndices.clear();
    m_hardLinks.clear();
    m_outcome.clear();
    m_dataFile.clear();
    m_writtenAs.clear();
}

void CVek7Zip::ResetFormatState() {
    m_passwordAsked = false;
    m_abort = false;
    m_failed = false;
    m_currentEntry = nullptr;
    m_currentIndex = -1;
    m_started = false;
    m_itemOpen = false;
    m_stopCode = 0;
    m_archivePath.clear();
    m_volumeSize = 0;
    m_entryError = 0;
    m_lastResult = 0;
}

void CVek7Zip::ReleaseOutput() {
    if (m_currentOutput != nullptr) {
        m_currentOutput->Release();
        m_currentOutput = nullptr;
    }
}

void CVek7Zip::DropOutput() {
    // The staged file goes with its stream: whatever was on disk under the entry's name stays.
    ReleaseOutput();
}

bool CVek7Zip::FinishOutput() {
    if (m_currentEntry->modifyTime != 0) {
        m_currentOutput->SetModifyTime(m_currentEntry->modifyTime);
    }
    uint32_t shown = m_currentEntry->attributes & (VEK_ATTR_READONLY | VEK_ATTR_HIDDEN);
    if (shown != 0) {
        m_currentOutput->SetAttributes(shown);
    }
    bool placed = m_currentOutput->Commit() != 0;
    ReleaseOutput();
    return placed;
}

// ---- extraction -----------------------------------------------------------------------------

int CVek7Zip::ExtractItemsTo(const int* indices, unsigned count, const wchar_t* folder) {
    m_lastError = 0;
    m_abort = false;
    m_failed = false;
    m_skip = 0;
    m_cancel = 0;
    m_consumed = 0;
    m_decoded = 0;
    m_stopCode = 0;
    if (folder == nullptr) {
        return 0;
    }
    // The codec library drives the entries itself; the extraction loop's rule for the target
    // folder is applied here before it starts.
    std::wstring base;
    if (!TargetFolderWithSeparator(folder, base)) {
        m_lastError = VEKERR_UNSAFE_FOLDER;
        return 0;
    }
    m_selection.clear();
    for (unsigned i = 0; i < count; ++i) {
        int index = indices != nullptr ? indices[i] : static_cast<int>(i);
        if (index < 0 || index >= m_entries.count) {
            ReportError(VEKERR_BAD_INDEX, nullptr);
            m_lastError = VEKERR_BAD_INDEX;
            return 0;
        }
        m_selection.push_back(static_cast<uint32_t>(index));
    }
    std::sort(m_selection.begin(), m_selection.end());
    m_selection.erase(std::unique(m_selection.begin(), m_selection.end()), m_selection.end());
    if (m_currentArchive == nullptr) {
        return m_selection.empty() ? 1 : 0;
    }
    if (m_selection.empty()) {
        return 1;
    }

    m_targetFolder = base;
    m_lastResult = 0;
    m_lastIndex = -1;
    try {
        PlanExtraction();
    } catch (const std::bad_alloc&) {
        m_targetFolder.clear();
        return 0;
    }
    HRESULT result = m_currentArchive->Extract(
        m_libraryIndices.data(), static_cast<uint32_t>(m_libraryIndices.size()), 0, this);
    // An item the library left without a result was not written.
    DropOutput();
    m_itemOpen = false;
    m_started = false;
    m_currentEntry = nullptr;
    m_currentIndex = -1;
    if (result < 0 && m_stopCode == 0 && !m_cancel) {
        // The library gave up on its own, without a result for the entry it was on.
        m_stopCode = VEKERR_DAMAGED_OR_VOLUME_MISSING;
    }
    ReportUnwritten();
    m_targetFolder.clear();
    m_selection.clear();
    m_libraryIndices.clear();
    return result >= 0 && m_lastResult == kOpOk && !m_failed && !m_cancel ? 1 : 0;
}

void CVek7Zip::PlanExtraction() {
    const size_t count = static_cast<size_t>(m_entries.count);
    m_outcome.assign(count, kPending);
    m_dataFile.assign(count, -1);
    m_writtenAs.assign(count, -1);
    m_libraryIndices = m_selection;
    for (uint32_t index : m_selection) {
        int32_t linked = index < m_hardLinks.size() ? m_hardLinks[index] : kNotALink;
        if (linked < 0 || IsSelected(static_cast<uint32_t>(linked))) {
            continue;
        }
        // The data of an entry the host did not ask for becomes the first link to it; the
        // other links copy that file.
        if (m_writtenAs[static_cast<size_t>(linked)] < 0) {
            m_writtenAs[static_cast<size_t>(linked)] = static_cast<int32_t>(index);
            m_libraryIndices.push_back(static_cast<uint32_t>(linked));
        }
    }
    std::sort(m_libraryIndices.begin(), m_libraryIndices.end());
}

bool CVek7Zip::IsSelected(uint32_t index) const {
    return std::binary_search(m_selection.begin(), m_selection.end(), index);
}

void CVek7Zip::FailEntry(unsigned code, bool stopLaterEntries) {
    m_lastError = code;
    m_entryError = code;
    m_failed = true;
    if (stopLaterEntries) {
        m_abort = true;
        m_stopCode = code;
    }
    // Entries the host did not select fail silently; they still stop what follows.
    if (m_currentEntry != nullptr) {
        ReportError(code, m_currentEntry->name);
        if (m_currentIndex >= 0 && static_cast<size_t>(m_currentIndex) < m_outcome.size()) {
            m_outcome[static_cast<size_t>(m_currentIndex)] = kHandled;
        }
    }
}

void CVek7Zip::ReportUnwritten() {
    if (m_cancel || m_outcome.empty()) {
        return;  // the user stopped the run: what was not written is no surprise
    }
    // Each report may wait for the host to take the one before it; a long tail is counted.
    constexpr size_t kNamedReports = 16;
    const unsigned code = m_stopCode != 0 ? m_stopCode : VEKERR_DAMAGED_OR_VOLUME_MISSING;
    size_t unwritten = 0;
    for (uint32_t index : m_selection) {
        if (m_outcome[index] != kPending) {
            continue;
        }
        if (++unwritten <= kNamedReports) {
            ReportError(code, m_entries.At(static_cast<int>(index))->name);
        }
    }
    if (unwritten > kNamedReports) {
        std::wstring more = L"\u2026 +" + std::to_wstring(unwritten - kNamedReports);
        ReportError(code, more.c_str());
    }
    if (unwritten != 0) {
        m_failed = true;
        m_lastError = code;
    }
}

HRESULT CVek7Zip::DiscardingStream(ISequentialOutStream** out) {
    AddRef();
    *out = static_cast<ISequentialOutStream*>(this);
    return kOk;
}

bool CVek7Zip::TargetPath(std::wstring& path) {
    const SVekEntry* entry = m_currentEntry;
    // Whatever the library hands us as a name, nothing is written outside the target folder
    // or into a device: the entry is refused and its data discarded.
    if (entry->name == nullptr || IsUnsafeEntryName(entry->name)) {
        FailEntry(VEKERR_UNSAFE_FOLDER, false);
        return false;
    }
    // The target folder ends with its separator; a whole path of 260 or more stays empty.
    path.clear();
    if (m_targetFolder.size() + std::char_traits<wchar_t>::length(entry->name) <
        VEK_MAX_FOLDER_PATH) {
        path = m_targetFolder + entry->name;
    }
    if (entry->IsFolder()) {
        if (path.empty() ||
            !CreateFolderPath((path.back() == L'\\' ? path : path + L'\\').c_str())) {
            FailEntry(VEKERR_CREATE_FOLDER, false);
            return false;
        }
        return true;
    }
    return CreateOutput(path);
}

bool CVek7Zip::CreateOutput(const std::wstring& path) {
    CVekOutFileStream* file = path.empty() ? nullptr : new (std::nothrow) CVekOutFileStream();
    if (file != nullptr) {
        file->AddRef();
        // Written beside its target and put in place only when it has succeeded.
        CreateFolderPath(path.c_str());
        if (!file->OpenStaged(path.c_str())) {
            file->Release();
            file = nullptr;
        }
    }
    if (file == nullptr) {
        // This entry alone fails; the library goes on with the next.
        FailEntry(VEKERR_CREATE_FILE, false);
        return false;
    }
    m_currentOutput = file;
    return true;
}

HRESULT CVek7Zip::GetStream(uint32_t index, ISequentialOutStream** out, int32_t askMode) {
    if (out == nullptr) {
        return kFail;
    }
    *out = nullptr;
    if (m_abort) {
        return kFail;
    }
    DropOutput();
    m_itemOpen = true;
    m_entryError = 0;
    m_currentEntry = nullptr;
    m_currentIndex = -1;
    m_started = false;
    m_skip = 0;
    m_completion = kCompleteZero;
    m_lastIndex = index;
    m_dataIndex = index;

    // Entries the host did not ask for (and those the library only tests or skips) pass
    // through Write and are discarded: no file, no OnStartEntry. A selected entry the library
    // will not extract (it tests the rest of a block it could not decode) keeps its name for
    // the failure that follows. An entry that was not selected but holds the data of a
    // selected hard link is written as that link.
    bool selected = IsSelected(index);
    int64_t entryIndex = selected                     ? static_cast<int64_t>(index)
                         : index < m_writtenAs.size() ? m_writtenAs[index]
                                                      : -1;
    if (askMode != 0 || entryIndex < 0) {
        if (selected) {
            m_currentEntry = m_entries.At(static_cast<int>(index));
            m_currentIndex = index;
            m_completion = kCompleteEntry;
        }
        return DiscardingStream(out);
    }
    if (m_outcome[static_cast<size_t>(entryIndex)] != kPending) {
        // A link already written from its entry's data, and finished then.
        m_completion = kCompleteNone;
        return DiscardingStream(out);
    }
    m_currentEntry = m_entries.At(static_cast<int>(entryIndex));
    if (m_currentEntry == nullptr) {
        return kFail;
    }
    m_currentIndex = entryIndex;
    std::wstring path;
    if (!TargetPath(path)) {
        // Refused or not created: told already, never started, and its data discarded.
        m_completion = kCompleteNone;
        m_currentEntry = nullptr;
        return EndWithoutData();
    }
    m_completion = kCompleteEntry;
    BeginEntry(m_currentEntry);
    m_started = true;
    if (m_cancel && !m_skip) {
        DropOutput();
        m_currentEntry = nullptr;
        return kFail;
    }
    if (m_skip) {
        // This entry alone: the library passes over its data, and the completion says that
        // it was not written, as the common loop's does.
        m_entryError = VEKERR_USER_STOP;
        DropOutput();
        return EndWithoutData();
    }
    int32_t linked = selected && index < m_hardLinks.size() ? m_hardLinks[index] : kNotALink;
    if (linked != kNotALink) {
        // A hard link holds no data of its own: the library has nothing to give for it.
        CopyLinkedFile();
        return m_cancel && !m_skip ? kFail : EndWithoutData();
    }
    return DiscardingStream(out);
}

HRESULT CVek7Zip::EndWithoutData() {
    // Without a stream the library may or may not report a result for the item.
    EndItem(kOpOk);
    return kOk;
}

void CVek7Zip::CopyLinkedFile() {
    int32_t linked = m_hardLinks[static_cast<size_t>(m_currentIndex)];
    int32_t holder = linked >= 0 ? m_dataFile[static_cast<size_t>(linked)] : -1;
    if (m_currentOutput == nullptr) {
        return;
    }
    if (holder < 0) {
        // A link to a name the archive does not hold, or to an entry that was not written.
        FailEntry(VEKERR_DAMAGED_OR_VOLUME_MISSING, false);
        return;
    }
    std::wstring source = m_targetFolder + m_entries.At(holder)->name;
    unsigned code = 0;
    int copied = CopyFileInto(
        source.c_str(), m_currentOutput,
        [this](unsigned chunk) { return AddProgress(0, chunk) != 0; }, &code);
    if (copied == 0) {
        FailEntry(code, code == VEKERR_WRITE);
    } else if (copied < 0) {
        m_entryError = VEKERR_USER_STOP;
        DropOutput();
    }
}

HRESULT CVek7Zip::Write(const void* data, uint32_t size, uint32_t* processed) {
    if (processed != nullptr) {
        *processed = 0;
    }
    if (m_currentOutput != nullptr) {
        unsigned written = 0;
        if (!m_currentOutput->Write(data, size, &written) || written != size) {
            FailEntry(VEKERR_WRITE, true);
            return kFail;
        }
    }
    const unsigned lastError = m_lastError;
    AddProgress(0, size);
    if (m_cancel && !m_skip) {
        return kFail;
    }
    if (m_skip) {
        if (m_started) {
            // Skipped while it was being written: the rest of its data passes through, and
            // what was written of it goes.
            m_entryError = VEKERR_USER_STOP;
            DropOutput();
        } else {
            // Data the host did not ask for: there is no entry to skip.
            m_skip = 0;
            m_lastError = lastError;
        }
    }
    if (processed != nullptr) {
        *processed = size;
    }
    return kOk;
}

HRESULT CVek7Zip::SetOperationResult(int32_t result) {
    if (m_itemOpen) {
        EndItem(result);
    }
    return kOk;
}

void CVek7Zip::EndItem(int32_t result) {
    m_itemOpen = false;
    bool skipped = m_started && m_skip;
    if (!skipped && result != kOpOk) {
        unsigned passwordCode = HasPassword() ? VEKERR_WRONG_PASSWORD : VEKERR_NO_PASSWORD;
        switch (result) {
            case kOpUnsupportedMethod:
                // The entry was not decoded: a failure, even though later entries may be fine.
                FailEntry(VEKERR_UNSUPPORTED_METHOD, false);
                break;
            case kOpWrongPassword:
                FailEntry(passwordCode, true);
                break;
            case kOpDataAfterEnd:
                // Everything was decoded; the entry's data goes on past its end.
                FailEntry(VEKERR_DAMAGED_OR_VOLUME_MISSING, false);
                break;
            default:
                // Data and CRC errors of an encrypted archive are most likely the password.
                FailEntry(m_encrypted ? passwordCode : VEKERR_DAMAGED_OR_VOLUME_MISSING, true);
                break;
        }
    }
    m_lastResult = result;
    if (skipped) {
        // Not extracted, by the user's wish: the run is not a full success, and nothing more
        // is said of it.
        m_failed = true;
        m_outcome[static_cast<size_t>(m_currentIndex)] = kHandled;
    }
    // A decoded entry is put in place before it is told complete: that can fail too.
    if (m_started && !skipped && m_entryError == 0) {
        if (m_currentOutput != nullptr && !FinishOutput()) {
            FailEntry(VEKERR_CREATE_FILE, false);
        } else {
            auto current = static_cast<size_t>(m_currentIndex);
            m_outcome[current] = kWritten;
            m_dataFile[static_cast<size_t>(m_dataIndex)] = static_cast<int32_t>(current);
        }
    }
    DropOutput();
    if (m_sink != nullptr && m_completion != kCompleteNone) {
        m_sink->OnCompleteEntry(m_completion == kCompleteEntry ? static_cast<int>(m_entryError)
                                                               : 0);
    }
    m_currentEntry = nullptr;
    m_currentIndex = -1;
    m_entryError = 0;
    m_started = false;
}

HRESULT CVek7Zip::SetTotal(uint64_t) {
    return kOk;
}

HRESULT CVek7Zip::SetCompleted(const uint64_t*) {
    return kOk;
}

HRESULT CVek7Zip::PrepareOperation(int32_t) {
    return kOk;
}

HRESULT CVek7Zip::SetTotal(const uint64_t*, const uint64_t*) {
    return kOk;
}

HRESULT CVek7Zip::SetCompleted(const uint64_t*, const uint64_t*) {
    return kOk;
}

// ---- the library's questions ----------------------------------------------------------------

HRESULT CVek7Zip::QueryInterface(const SVekGuid& iid, void** out) {
    if (out == nullptr) {
        return kNoInterface;
    }
    *out = nullptr;
    // The password only as text, never as the writer's password-and-flag form.
    if (iid == ICryptoGetTextPassword::kIid) {
        *out = static_cast<ICryptoGetTextPassword*>(this);
    } else if (iid == IArchiveOpenVolumeCallback::kIid) {
        *out = static_cast<IArchiveOpenVolumeCallback*>(this);
    } else {
        return kNoInterface;
    }
    AddRef();
    return kOk;
}

HRESULT CVek7Zip::CryptoGetTextPassword(BSTR* password) {
    m_passwordAsked = true;
    if (password == nullptr) {
        return kFail;
    }
    *password = nullptr;
    if (!HasPassword()) {
        if (!m_targetFolder.empty()) {
            // Asked while extracting: the library gives up on the rest without a result for
            // the entry it was about to decode, the next selected one.
            auto next = m_lastIndex < 0 ? m_selection.begin()
                                        : std::upper_bound(m_selection.begin(), m_selection.end(),
                                                           static_cast<uint32_t>(m_lastIndex));
            if (m_currentEntry == nullptr && next != m_selection.end()) {
                m_currentEntry = m_entries.At(static_cast<int>(*next));
                m_currentIndex = *next;
            }
            FailEntry(VEKERR_NO_PASSWORD, true);
            m_currentEntry = nullptr;
            m_currentIndex = -1;
        }
        return kFail;
    }
    std::wstring wide;
    const char* typed = GetPassword();
    if (!vek::platform::MultiByteToWide(kThreadAnsiCodePage, typed,
                                        std::char_traits<char>::length(typed), wide)) {
        return kFail;
    }
    *password = m_library.AllocString(wide.c_str());
    return *password != nullptr ? kOk : kFail;
}

HRESULT CVek7Zip::GetProperty(PROPID id, PropVariant* value) {
    if (value == nullptr) {
        return kFail;
    }
    value->vt = VT_EMPTY;
    if (id == kpidVolumeName) {
        value->bstrVal = m_library.AllocString(m_archivePath.c_str());
        if (value->bstrVal != nullptr) {
            value->vt = VT_BSTR;
        }
    } else if (id == kpidVolumeSize) {
        value->vt = VT_UI8;
        value->uhVal = m_volumeSize;
    }
    return kOk;
}

HRESULT CVek7Zip::GetStream(const wchar_t* name, IInStream** stream) {
    if (stream == nullptr) {
        return kFail;
    }
    *stream = nullptr;
    if (name == nullptr || !vek::platform::PathExists(name) || vek::platform::IsFolder(name)) {
        return kFalse;  // no such volume
    }
    auto* volume = new (std::nothrow) CVek7zInFileStream(name, &m_sink);
    if (volume == nullptr) {
        return kFail;
    }
    volume->AddRef();
    if (!volume->Open(name)) {
        volume->Release();
        return kFail;
    }
    m_volumeSize = volume->Size();
    *stream = volume;
    return kOk;
}
