#include "archive/core/archive.h"

#include <cwchar>

#include "archive/core/errors.h"
#include "archive/core/extractor_factory.h"
#include "archive/core/format_detection.h"
#include "archive/core/input_stream.h"
#include "archive/core/size_sum.h"
#include "archive/core/text_conversion.h"
#include "archive/platform/codepage.h"

int CVekArchive::Open(const wchar_t* path, const char* password) {
    Close();
    if (path == nullptr) {
        return 0;
    }
    IVekInStream* opened = OpenInputStream(path);
    if (opened == nullptr) {
        m_lastError = VEKERR_CANNOT_OPEN_FILE;
        return 0;
    }
    CVekRef<IVekInStream> hold(opened);
    void* queried = nullptr;
    if (opened->QueryInterface(IVekInStream::kIid, &queried) != VEK_S_OK) {
        return 0;
    }
    m_stream = static_cast<IVekInStream*>(queried);
    m_fileSize = m_stream->GetSize();
    return CreateAndOpenExtractor(path, password);
}

int CVekArchive::CreateAndOpenExtractor(const wchar_t* path, const char* password) {
    const wchar_t* extension = std::wcsrchr(path, L'.');
    int64_t start = m_stream->GetPosition();
    int type = DetectFormat(m_stream, extension);
    m_stream->Seek(start, VEK_SEEK_SET);
    if (type <= VEK_FORMAT_UNKNOWN || type > VEK_FORMAT_LAST) {
        Close();  // keeps the last error: an unknown format is not an error code of its own
        return 0;
    }
    m_type = type;
    m_extractor = CreateExtractor(type);
    if (m_extractor == nullptr) {
        Close();
        return 0;
    }
    if (password != nullptr) {
        m_extractor->SetPassword(password);
    }
    m_extractor->SetCodePage(m_codePage);
    int ok = m_extractor->OpenStream(m_stream);
    m_stream->Release();
    m_stream = nullptr;
    if (!ok) {
        SVekEntryList* list = m_extractor->GetEntryList();
        if (list->fileCount == 0 && m_extractor->OpenFile(path)) {
            ok = 1;
        } else {
            m_lastError = m_extractor->GetLastErrorCode();
            if (list->count == 0) {
                Close();
                return 0;
            }
            // Show what could be read, with the error.
            m_damaged = 1;
        }
    }
    if (!m_damaged) {
        m_lastError = 0;
    }
    m_path = path;
    m_encrypted = m_extractor->IsEncrypted();
    return 1;
}

void CVekArchive::Close() {
    if (m_stream != nullptr) {
        m_stream->Release();
        m_stream = nullptr;
    }
    if (m_extractor != nullptr) {
        m_extractor->Close();
        delete m_extractor;
        m_extractor = nullptr;
    }
    m_path.clear();
    m_damaged = 0;
    m_encrypted = 0;
    m_type = 0;
    m_fileSize = 0;
    m_selection.clear();
}

void CVekArchive::SetPassword(const wchar_t* password) {
    if (m_extractor == nullptr) {
        return;
    }
    char* narrow =
        password != nullptr ? ToMultiByteString(password, vek::platform::VEK_CP_ACP) : nullptr;
    m_extractor->SetPassword(narrow);
    delete[] narrow;
}

int CVekArchive::ExtractSelection(const wchar_t* folder) {
    if (m_extractor == nullptr) {
        return 0;
    }
    if (m_selection.empty()) {
        return m_extractor->ExtractAllItemsTo(folder);
    }
    return m_extractor->ExtractItemsTo(m_selection.data(),
                                       static_cast<unsigned>(m_selection.size()), folder);
}

int CVekArchive::GetSelectionSizes(int64_t* packed, int64_t* size) {
    SVekEntryList* list = m_extractor != nullptr ? m_extractor->GetEntryList() : nullptr;
    if (list == nullptr) {
        return 0;
    }
    SumSelectionSizes(*list, m_selection.data(), m_selection.size(), packed, size);
    return 1;
}
