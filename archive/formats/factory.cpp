// The extractor for each detected format type.
#include <new>

#include "archive/core/errors.h"
#include "archive/core/extractor_factory.h"
#include "archive/core/extractor_impl.h"
#include "archive/core/format_detection.h"
#include "archive/formats/alz/alz_extractor.h"
#include "archive/formats/bh/bh_extractor.h"
#include "archive/formats/bond/bond_extractor.h"
#include "archive/formats/egg/egg_extractor.h"
#include "archive/formats/gzip/bzip2_extractor.h"
#include "archive/formats/gzip/gzip_extractor.h"
#include "archive/formats/zip/zip_extractor.h"

namespace {

// Stands in for a format whose reader this build does not have: every open fails with a code
// the application can show, instead of the format being silently unknown.
class CVekUnavailable : public CVekExtractorImpl {
  public:
    explicit CVekUnavailable(unsigned code) : m_code(code) {}
    ~CVekUnavailable() override { Close(); }

  protected:
    int ReadDirectory() override {
        m_lastError = m_code;
        return 0;
    }
    void ReleaseFormatState() override {}
    void ResetFormatState() override {}
    int ExtractEntryData(int, SVekEntry*, IVekOutStream*) override {
        m_lastError = m_code;
        return 0;
    }

  private:
    unsigned m_code;
};

}  // namespace

IVekExtractor* CreateExtractor(int formatType) {
    switch (formatType) {
        case VEK_FORMAT_GZIP:
            return new (std::nothrow) CVekUnGzip();
        case VEK_FORMAT_BZIP2:
            return new (std::nothrow) CVekUnBzip2();
        case VEK_FORMAT_ZIP:
            return new (std::nothrow) CVekUnZip();
        case VEK_FORMAT_BOND:
            return new (std::nothrow) CVekUnBond();
        case VEK_FORMAT_BH:
            return new (std::nothrow) CVekUnBH();
        case VEK_FORMAT_LZH:
        case VEK_FORMAT_RAR:
        case VEK_FORMAT_7Z:
        case VEK_FORMAT_TAR:
        case VEK_FORMAT_CAB:
        case VEK_FORMAT_ISO:
        case VEK_FORMAT_SPLIT:
        case VEK_FORMAT_NSIS:
            // Read through the 7-Zip codec library, which this build does not load yet.
            return new (std::nothrow) CVekUnavailable(VEKERR_NO_CODEC_LIBRARY);
        case VEK_FORMAT_ALZ:
            return new (std::nothrow) CVekUnAlz();
        case VEK_FORMAT_EGG:
            return new (std::nothrow) CVekUnEgg();
        default:
            return nullptr;
    }
}
