#include "cli/error_messages.h"

#include "archive/core/errors.h"

namespace cli {

const wchar_t* GetErrorMessage(unsigned code) {
    switch (code) {
        case VEKERR_NONE:
            return L"no error";
        case VEKERR_CANNOT_OPEN_FILE:
            return L"cannot open the file";
        case VEKERR_READ_SIGNATURE:
            return L"cannot read a record signature";
        case VEKERR_READ_HEADER:
            return L"cannot read an entry header";
        case VEKERR_BAD_NAME:
            return L"entry name too long or not convertible";
        case VEKERR_READ_NAME:
            return L"cannot read an entry name";
        case VEKERR_NO_MEMORY_EXTRA:
            return L"out of memory for an extra field";
        case VEKERR_READ_EXTRA:
            return L"cannot read an extra field";
        case VEKERR_READ_CENTRAL:
            return L"cannot read the central directory";
        case VEKERR_NO_MEMORY_CENTRAL:
            return L"out of memory for the central directory";
        case VEKERR_NO_MEMORY_END:
            return L"out of memory for the archive comment";
        case VEKERR_READ_END:
            return L"cannot read the end of the central directory";
        case VEKERR_READ_DATA:
            return L"cannot read the entry's data";
        case VEKERR_INFLATE:
            return L"damaged data (deflate)";
        case VEKERR_USER_STOP:
            return L"stopped by the user";
        case VEKERR_CRC:
            return L"CRC mismatch";
        case VEKERR_UNSUPPORTED_METHOD:
            return L"unsupported compression method";
        case VEKERR_NO_PASSWORD:
            return L"password required";
        case VEKERR_WRONG_PASSWORD:
            return L"wrong password";
        case VEKERR_WRITE:
            return L"write failed or wrong size written";
        case VEKERR_CREATE_FILE:
            return L"cannot create the file";
        case VEKERR_BZIP2:
            return L"damaged data (bzip2)";
        case VEKERR_UNSAFE_FOLDER:
            return L"unsafe path refused";
        case VEKERR_CREATE_FOLDER:
            return L"cannot create the folder";
        case VEKERR_DAMAGED_OR_VOLUME_MISSING:
            return L"damaged data or a missing volume";
        case VEKERR_BAD_INDEX:
            return L"entry index out of range";
        case VEKERR_LZMA_HEADER:
            return L"cannot read the LZMA header";
        case VEKERR_LZMA_INIT:
            return L"cannot start the LZMA decoder";
        case VEKERR_SIZE_REFUSED:
            return L"the output refused the entry's size";
        case VEKERR_DAMAGED:
            return L"the archive is damaged";
        case VEKERR_NOT_ARCHIVE:
            return L"not an archive of its format";
        case VEKERR_ALZ_HEADER:
            return L"cannot read the ALZ archive header";
        case VEKERR_ALZ_END:
            return L"cannot read the ALZ end record";
        case VEKERR_BOND_UNSUPPORTED:
            return L"the archive needs a newer version of the program";
        case VEKERR_BOND_SCRAMBLED:
            return L"the archive's content is scrambled and cannot be extracted";
        case VEKERR_OPENED_WITH_ERRORS:
            return L"the archive opened with errors";
        case VEKERR_NO_CODEC_LIBRARY:
            return L"the reader for this format is not available";
        default:
            return L"unknown error";
    }
}

std::wstring DescribeError(unsigned code) {
    return std::wstring(GetErrorMessage(code)) + L" (error " + std::to_wstring(code) + L")";
}

}  // namespace cli
