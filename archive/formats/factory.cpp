// The extractor for each detected format type.
#include <new>

#include "archive/core/extractor_factory.h"
#include "archive/core/format_detection.h"
#include "archive/formats/alz/alz_extractor.h"
#include "archive/formats/bh/bh_extractor.h"
#include "archive/formats/bond/bond_extractor.h"
#include "archive/formats/egg/egg_extractor.h"
#include "archive/formats/gzip/bzip2_extractor.h"
#include "archive/formats/gzip/gzip_extractor.h"
#include "archive/formats/sevenzip/sevenzip_extractor.h"
#include "archive/formats/zip/zip_extractor.h"

IVekExtractor* CreateExtractor(int formatType) {
    if (int codecFormat = CodecLibraryFormat(formatType)) {
        const SVekGuid formatId = sevenzip::FormatId(static_cast<uint8_t>(codecFormat));
        return new (std::nothrow) CVek7Zip(&formatId);
    }
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
        case VEK_FORMAT_ALZ:
            return new (std::nothrow) CVekUnAlz();
        case VEK_FORMAT_EGG:
            return new (std::nothrow) CVekUnEgg();
        default:
            return nullptr;
    }
}
