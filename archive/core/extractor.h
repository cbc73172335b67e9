// The one interface the application sees for every archive format.
#pragma once

#include <cstdint>

#include "archive/core/entry.h"
#include "archive/core/streams.h"

class IVekExtractor {
  public:
    virtual ~IVekExtractor() = default;

    virtual int OpenStream(IVekInStream* stream) = 0;
    virtual int OpenFile(const wchar_t* path) = 0;
    virtual int OpenFileA(const char* path) = 0;
    virtual void Close() = 0;
    // 1 when every listed entry was extracted, else 0.
    virtual int ExtractItemsTo(const int* indices, unsigned count, const wchar_t* folder) = 0;
    virtual int ExtractAllItemsTo(const wchar_t* folder) = 0;
    virtual void SetCodePage(int codePage) = 0;
    virtual int SetProgressSink(IVekUnknown* sink) = 0;
    virtual void SetPassword(const char* password) = 0;
    virtual unsigned GetLastErrorCode() = 0;
    virtual SVekEntryList* GetEntryList() = 0;
    virtual int IsSolid() = 0;
    virtual int IsEncrypted() = 0;
};
