#include "archive/core/in_file_stream.h"

#include <cstring>
#include <cwchar>
#include <new>

#include "archive/core/text_conversion.h"
#include "archive/platform/codepage.h"

namespace plat = vek::platform;

CVekInFileStream::CVekInFileStream() : m_buffer(new (std::nothrow) unsigned char[kBufferSize]) {}

CVekInFileStream::~CVekInFileStream() {
    Close();
    delete[] m_buffer;
}

int CVekInFileStream::Adopt(plat::FileHandle file, wchar_t* fileName) {
    uint64_t size = 0;
    if (file == plat::kInvalidFile || fileName == nullptr || !plat::QueryFileSize(file, &size)) {
        plat::CloseFile(file);
        delete[] fileName;
        return 0;
    }
    m_file = file;
    m_size = size;
    m_fileName = fileName;
    return 1;
}

int CVekInFileStream::Open(const wchar_t* path) {
    Close();
    if (path == nullptr) {
        return 0;
    }
    size_t length = std::wcslen(path);
    wchar_t* copy = new (std::nothrow) wchar_t[length + 1];
    if (copy != nullptr) {
        std::wmemcpy(copy, path, length + 1);
    }
    return Adopt(plat::OpenFileForReading(path, true), copy);
}

int CVekInFileStream::OpenA(const char* path) {
    Close();
    if (path == nullptr) {
        return 0;
    }
    return Adopt(plat::OpenFileForReadingA(path), ToWideString(path, vek::platform::VEK_CP_ACP));
}

int CVekInFileStream::ReadExact(void* buffer, unsigned count) {
    unsigned got = 0;
    return Read(buffer, count, &got) && got == count;
}

int CVekInFileStream::Read(void* buffer, unsigned count, unsigned* got) {
    unsigned localGot = 0;
    unsigned& delivered = got != nullptr ? *got : localGot;
    delivered = 0;
    if (m_buffer == nullptr || m_file == plat::kInvalidFile || m_seekFailed) {
        return 0;
    }
    unsigned char* out = static_cast<unsigned char*>(buffer);
    unsigned n = count;
    int ok = 1;
    unsigned available = static_cast<unsigned>(m_filled - m_index);

    if (n <= available) {
        std::memcpy(out, m_buffer + m_index, n);
        m_index += static_cast<int>(n);
        m_position += n;
        delivered = n;
    } else {
        if (available > 0) {
            std::memcpy(out, m_buffer + m_index, available);
            m_position += available;
            delivered = available;
            n -= available;
        }
        EmptyBuffer();
        if (n < m_bufferSize) {
            // A refill that brings nothing fails the call, even after the buffered bytes above:
            // a reader asking for more than is left is at a truncated record.
            uint32_t filled = 0;
            if (!plat::ReadFileData(m_file, m_buffer, m_bufferSize, &filled) || filled == 0) {
                ok = 0;
            } else {
                m_filled = static_cast<int>(filled);
                unsigned take = n < filled ? n : filled;
                std::memcpy(out + delivered, m_buffer, take);
                m_index = static_cast<int>(take);
                m_position += take;
                delivered += take;
            }
        } else {
            uint32_t direct = 0;
            if (!plat::ReadFileData(m_file, out + delivered, n, &direct)) {
                ok = 0;
            } else {
                delivered += direct;
                m_position += direct;
            }
        }
    }
    if (ok && m_filter != nullptr && delivered > 0) {
        m_filter->Filter(reinterpret_cast<char*>(out), static_cast<int>(delivered));
    }
    return ok;
}

int64_t CVekInFileStream::Seek(int64_t offset, unsigned origin) {
    switch (origin) {
        case VEK_SEEK_SET:
            m_position = offset;
            EmptyBuffer();
            break;
        case VEK_SEEK_CUR:
            if (offset == 0) {
                return m_position;
            }
            if (offset > 0 && offset < m_filled - m_index) {
                m_index += static_cast<int>(offset);
                m_position += offset;
                return m_position;
            }
            if (offset < 0 && -offset <= m_index) {
                m_index -= static_cast<int>(-offset);
                m_position += offset;
                return m_position;
            }
            m_position += offset;
            EmptyBuffer();
            break;
        case VEK_SEEK_END:
            EmptyBuffer();
            m_position = static_cast<int64_t>(m_size) - offset;
            break;
        default:
            // Moving the file pointer here would break the buffer's bookkeeping.
            return m_position;
    }
    // The file pointer follows the logical position. A position past the end makes the next
    // read fail rather than this seek; so does one before the start, which the system refuses
    // and which must not leave reads coming from the old place.
    m_seekFailed = m_file != plat::kInvalidFile && !plat::SeekFile(m_file, m_position);
    return m_position;
}

int CVekInFileStream::Close() {
    plat::CloseFile(m_file);
    m_file = plat::kInvalidFile;
    m_seekFailed = false;
    EmptyBuffer();
    delete[] m_fileName;
    m_fileName = nullptr;
    return 1;
}
