// An input stream over the fuzzer's bytes, with a file name so that name rules run too.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "archive/core/streams.h"

class CFuzzMemoryStream : public CVekUnknownImp<IVekInStream> {
  public:
    CFuzzMemoryStream(const uint8_t* data, size_t size, std::wstring name)
        : m_data(data, data + size), m_name(std::move(name)) {}

    int Open(const wchar_t*) override { return 0; }
    int OpenA(const char*) override { return 0; }
    int ReadExact(void* buffer, unsigned count) override {
        unsigned got = 0;
        return Read(buffer, count, &got) && got == count;
    }
    int Read(void* buffer, unsigned count, unsigned* got) override {
        unsigned local = 0;
        unsigned& delivered = got != nullptr ? *got : local;
        delivered = 0;
        if (m_position < 0 || static_cast<uint64_t>(m_position) >= m_data.size()) {
            return count == 0;
        }
        size_t left = m_data.size() - static_cast<size_t>(m_position);
        delivered = static_cast<unsigned>(count < left ? count : left);
        std::memcpy(buffer, m_data.data() + m_position, delivered);
        m_position += delivered;
        if (m_filter != nullptr) {
            m_filter->Filter(static_cast<char*>(buffer), static_cast<int>(delivered));
        }
        return 1;
    }
    int64_t Seek(int64_t offset, unsigned origin) override {
        if (origin == VEK_SEEK_SET) {
            m_position = offset;
        } else if (origin == VEK_SEEK_CUR) {
            m_position += offset;
        } else if (origin == VEK_SEEK_END) {
            m_position = static_cast<int64_t>(m_data.size()) - offset;
        }
        return m_position;
    }
    int64_t GetPosition() override { return m_position; }
    uint64_t GetSize() override { return m_data.size(); }
    int Close() override { return 1; }
    int IsEnd() override { return static_cast<uint64_t>(m_position) == m_data.size(); }
    const wchar_t* GetFileName() override { return m_name.c_str(); }
    void SetFilter(IVekStreamFilter* filter) override { m_filter = filter; }

  private:
    std::vector<uint8_t> m_data;
    std::wstring m_name;
    int64_t m_position = 0;
    IVekStreamFilter* m_filter = nullptr;
};
