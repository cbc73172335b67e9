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
#include "archive/formats/sevenzip/sevenzip_extractor.h"
#include "archive/formats/zip/zip_extractor.h"

namespace {

// The 7-Zip codec library's class identifier for each format it reads for us.
const SVekGuid* CodecFormatId(int formatType) {
    static const SVekGuid lzh = sevenzip::FormatId(0x06);
    static const SVekGuid rar = sevenzip::FormatId(0x03);
    static const SVekGuid sevenZip = sevenzip::FormatId(0x07);
    static const SVekGuid tar = sevenzip::FormatId(0xEE);
    static const SVekGuid cab = sevenzip::FormatId(0x08);
    static const SVekGuid iso = sevenzip::FormatId(0xE7);
    static const SVekGuid split = sevenzip::FormatId(0xEA);
    static const SVekGuid nsis = sevenzip::FormatId(0x09);
    switch (formatType) {
        case VEK_FORMAT_LZH:
            return &lzh;
        case VEK_FORMAT_RAR:
            return &rar;
        case VEK_FORMAT_7Z:
            return &sevenZip;
        case VEK_FORMAT_TAR:
            return &tar;
        case VEK_FORMAT_CAB:
            return &cab;
        case VEK_FORMAT_ISO:
            return &iso;
        case VEK_FORMAT_SPLIT:
            return &split;
        case VEK_FORMAT_NSIS:
            return &nsis;
        default:
            return nullptr;
    }
}

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
            return new (std::nothrow) CVek7Zip(CodecFormatId(formatType));
        case VEK_FORMAT_ALZ:
            return new (std::nothrow) CVekUnAlz();
        case VEK_FORMAT_EGG:
            return new (std::nothrow) CVekUnEgg();
        default:
            return nullptr;
    }
}
