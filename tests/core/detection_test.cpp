// Format detection by signature, extension and self-extractor scan.
#include <gtest/gtest.h>

#include <string>

#include "archive/core/format_detection.h"
#include "archive/core/in_file_stream.h"
#include "support/scratch.h"

namespace test {
namespace {

std::string Padded(const std::string& head, size_t size, size_t at = 0) {
    std::string bytes(size, '\x11');
    bytes.replace(at, head.size(), head);
    return bytes;
}

TEST(Detection, SignatureTable) {
    struct Case {
        std::string bytes;
        int type;
    };
    const Case cases[] = {
        {"PK\x03\x04", VEK_FORMAT_ZIP},
        {"PK\x05\x06", VEK_FORMAT_ZIP},
        {"PK\x07\x08", VEK_FORMAT_ZIP},
        {"PK00PK\x03\x04", VEK_FORMAT_ZIP},
        {"ALZ\x01", VEK_FORMAT_ALZ},
        {"Rar!\x1A\x07", VEK_FORMAT_RAR},
        {"7z\xBC\xAF\x27\x1C", VEK_FORMAT_7Z},
        {"HV30", VEK_FORMAT_BOND},
        {"xx-lh5-", VEK_FORMAT_LZH},
        {"xx-lh5x", VEK_FORMAT_UNKNOWN},
        {"MSCF", VEK_FORMAT_CAB},
        {"\x1F\x8B\x08", VEK_FORMAT_GZIP},
        {"\x1F\x8B\x07", VEK_FORMAT_UNKNOWN},
        {"BZh", VEK_FORMAT_BZIP2},
        {"BH\x05\x07", VEK_FORMAT_BH},
        {"EGGA", VEK_FORMAT_EGG},
        {"\xEF\xBE\xAD\xDENullsoftInst", VEK_FORMAT_NSIS},
        {"\xEF\xBE\xAD\xDENullsoftInsx", VEK_FORMAT_UNKNOWN},
        {"PK\x01\x02", VEK_FORMAT_UNKNOWN},
    };
    for (const Case& c : cases) {
        std::string probe = Padded(c.bytes, 16);
        EXPECT_EQ(MatchSignature(reinterpret_cast<const uint8_t*>(probe.data())), c.type)
            << c.bytes;
    }
}

int DetectFile(const ScratchFolder& folder, const std::wstring& name, const std::string& bytes) {
    WriteFileBytes(folder.Native(name), bytes);
    CVekRef<IVekInStream> stream(new CVekInFileStream());
    EXPECT_EQ(stream->Open(folder.Wide(name).c_str()), 1);
    std::wstring path = folder.Wide(name);
    size_t dot = path.rfind(L'.');
    return DetectFormat(stream.Get(), dot == std::wstring::npos ? nullptr : path.c_str() + dot);
}

TEST(Detection, ExtensionsPositionsAndSelfExtractors) {
    ScratchFolder folder;
    std::string iso = Padded(
        "\x01"
        "CD001",
        0x9000, 0x8000);
    std::string isoWithout = Padded(
        "\x01"
        "CD00X",
        0x9000, 0x8000);
    std::string zipAt300k = Padded("PK\x03\x04", 400000, 300000);
    zipAt300k.replace(0, 2, "MZ");
    std::string zipAt700k = Padded("PK\x03\x04", 720000, 700000);
    zipAt700k.replace(0, 2, "MZ");
    std::string program = Padded("MZ", 50000);
    struct Case {
        const wchar_t* name;
        std::string bytes;
        int type;
    };
    const Case cases[] = {
        {L"renamed.dat", Padded("PK\x03\x04", 100), VEK_FORMAT_ZIP},
        {L"archive.7z.001", Padded("7z\xBC\xAF\x27\x1C", 100), VEK_FORMAT_SPLIT},
        {L"archive.7z", Padded("7z\xBC\xAF\x27\x1C", 100), VEK_FORMAT_7Z},
        {L"plain.TAR", Padded("", 2000), VEK_FORMAT_TAR},
        {L"other.001", Padded("", 2000), VEK_FORMAT_SPLIT},
        {L"disc.iso", iso, VEK_FORMAT_ISO},
        {L"disc2.iso", isoWithout, VEK_FORMAT_UNKNOWN},
        {L"setup.exe", zipAt300k, VEK_FORMAT_ZIP},
        {L"late.exe", zipAt700k, VEK_FORMAT_UNKNOWN},
        {L"program.zip", program, VEK_FORMAT_UNKNOWN},  // MZ decides, whatever the extension
        {L"small.bin", Padded("PK\x03\x04", 500, 100), VEK_FORMAT_UNKNOWN},
        {L"inside.bin", Padded("PK\x03\x04", 2000, 100), VEK_FORMAT_ZIP},
        {L"deep.bin", Padded("PK\x03\x04", 2000, 1100), VEK_FORMAT_UNKNOWN},
        {L"tiny", "PK", VEK_FORMAT_UNKNOWN},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DetectFile(folder, c.name, c.bytes), c.type) << c.name;
    }
}

}  // namespace
}  // namespace test
