// Split sets: recognising a first volume, finding and framing the following ones, and reading
// the joined payloads across volume borders.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/core/in_file_stream.h"
#include "archive/core/input_stream.h"
#include "archive/core/multi_volume_stream.h"
#include "support/scratch.h"

namespace test {
namespace {

std::string Bytes(size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 13 + seed * 101 + i / 7) & 0xFF);
    }
    return bytes;
}

// One volume file: framing around the bytes that belong to the joined stream.
struct Volume {
    std::wstring name;
    std::string head;
    std::string payload;
    std::string tail;
};

const std::string kZipEnd = std::string("PK\x05\x06", 4) + std::string(18, '\0');
const std::string kEggSplitHeader =
    std::string("EGGA", 4) + std::string(10, '\x01') + std::string("\x62\xA2\xF5\x24", 4);

// Numbered and ZIP parts carry no framing.
Volume Whole(const std::wstring& name, const std::string& payload) {
    return {name, "", payload, ""};
}

// ALZ: the first volume starts with the archive signature, every volume but the last ends
// with a 16-byte continuation tail whose last four bytes are the end marker.
Volume AlzFirst(const std::wstring& name, size_t size) {
    return {name, "", std::string("ALZ\x01", 4) + Bytes(size, 1),
            Bytes(12, 2) + std::string("CLZ\x03", 4)};
}
Volume AlzMiddle(const std::wstring& name, size_t size, unsigned seed) {
    return {name, Bytes(8, seed + 50), Bytes(size, seed), Bytes(12, seed + 60) + "CLZ\x03"};
}
Volume AlzLast(const std::wstring& name, size_t size, unsigned seed) {
    return {name, Bytes(8, seed + 50), Bytes(size, seed) + "CLZ\x03", ""};
}

Volume EggFirst(const std::wstring& name, size_t size) {
    return {name, "", kEggSplitHeader + Bytes(size, 3), ""};
}
Volume EggNext(const std::wstring& name, size_t size, unsigned seed) {
    return {name, Bytes(33, seed + 70), Bytes(size, seed), ""};
}

struct SplitSet {
    explicit SplitSet(const std::vector<Volume>& volumes) {
        for (const Volume& volume : volumes) {
            WriteFileBytes(folder.Native(volume.name), volume.head + volume.payload + volume.tail);
        }
    }
    // Opens the way the library does and keeps the first reference.
    CVekRef<IVekInStream> Open(const std::wstring& name) const {
        return CVekRef<IVekInStream>(OpenInputStream(folder.Wide(name).c_str()));
    }
    ScratchFolder folder;
};

// The multi-volume view of a stream, or an empty holder when it has none.
CVekRef<IVekMultiInStream> AsMulti(IVekInStream* stream) {
    void* out = nullptr;
    if (stream == nullptr || stream->QueryInterface(IVekMultiInStream::kIid, &out) != VEK_S_OK) {
        return CVekRef<IVekMultiInStream>();
    }
    // The holder takes its own reference; the caller's stream keeps the object alive meanwhile.
    IVekMultiInStream* multi = static_cast<IVekMultiInStream*>(out);
    multi->Release();
    return CVekRef<IVekMultiInStream>(multi);
}

std::wstring LastPart(const wchar_t* path) {
    if (path == nullptr) {
        return L"(null)";
    }
    std::wstring text = path;
    size_t slash = text.find_last_of(L"\\/");
    return slash == std::wstring::npos ? text : text.substr(slash + 1);
}

std::string Joined(const std::vector<Volume>& volumes) {
    std::string bytes;
    for (const Volume& volume : volumes) {
        bytes += volume.payload;
    }
    return bytes;
}

TEST(SplitDetection, KindFromExtensionAndBothEnds) {
    const std::string zipLast = Bytes(40, 5) + kZipEnd;
    const std::string alz = std::string("ALZ\x01", 4) + Bytes(30, 6) + "CLZ\x03";
    struct Case {
        const wchar_t* name;
        std::string bytes;
        int kind;
    };
    const Case cases[] = {
        {L"a.001", Bytes(30, 1), VEK_SPLIT_NUMBERED},
        {L"a.001", Bytes(21, 1), VEK_SPLIT_NONE},  // too short to probe both ends
        {L"a.002", Bytes(30, 1), VEK_SPLIT_NONE},
        {L"noextension", Bytes(30, 1), VEK_SPLIT_NONE},
        {L"a.zip", zipLast, VEK_SPLIT_ZIP},
        {L"A.ZiP", zipLast, VEK_SPLIT_ZIP},
        {L"a.zip", kZipEnd, VEK_SPLIT_ZIP},  // a lone end record is indistinguishable
        {L"a.zip", std::string("PK\x03\x04", 4) + Bytes(40, 5) + kZipEnd, VEK_SPLIT_NONE},
        {L"a.zip", zipLast + "comment", VEK_SPLIT_NONE},
        {L"a.zipx", zipLast, VEK_SPLIT_NONE},
        {L"a.alz", alz, VEK_SPLIT_ALZ},
        {L"a.ALZ", alz, VEK_SPLIT_ALZ},
        {L"a.alz", alz.substr(0, alz.size() - 1) + "\x04", VEK_SPLIT_NONE},
        {L"a.alz", "BLZ\x01" + alz.substr(4), VEK_SPLIT_NONE},
        {L"a.vol1.egg", kEggSplitHeader + Bytes(30, 7), VEK_SPLIT_EGG},
        {L"a.egg", std::string("EGGA", 4) + Bytes(40, 7), VEK_SPLIT_NONE},
    };
    for (const Case& c : cases) {
        ScratchFolder folder;
        WriteFileBytes(folder.Native(c.name), c.bytes);
        CVekRef<IVekInStream> stream(new CVekInFileStream());
        std::wstring path = folder.Wide(c.name);
        ASSERT_EQ(stream->Open(path.c_str()), 1);
        EXPECT_EQ(DetectSplitKind(path.c_str(), stream.Get()), c.kind)
            << std::string(c.name, c.name + std::wcslen(c.name)) << " " << c.bytes.size();
    }
}

TEST(SplitSets, EachKindJoinsItsVolumesInOrder) {
    struct Case {
        const char* label;
        std::vector<Volume> volumes;     // the set, in reading order
        std::vector<Volume> bystanders;  // present beside it but not part of it
        std::wstring first;              // the file the user opens
    };
    const Case cases[] = {
        {"numbered, .004 missing",
         {Whole(L"x.001", Bytes(40, 1)), Whole(L"x.002", Bytes(50, 2)),
          Whole(L"x.003", Bytes(30, 3))},
         {Whole(L"x.005", Bytes(10, 5))},
         L"x.001"},
        {"numbered, .002 missing",
         {Whole(L"x.001", Bytes(40, 1))},
         {Whole(L"x.003", "abc")},
         L"x.001"},
        {"split zip, opened by its last part",
         {Whole(L"x.z01", "PK\x07\x08" + Bytes(60, 1)), Whole(L"x.z02", Bytes(45, 2)),
          Whole(L"x.zip", Bytes(20, 3) + kZipEnd)},
         {Whole(L"x.z04", Bytes(10, 4))},
         L"x.zip"},
        {"split zip in capitals",
         {Whole(L"X.Z01", Bytes(33, 1)), Whole(L"X.ZIP", Bytes(20, 3) + kZipEnd)},
         {},
         L"X.ZIP"},
        {"alz",
         {AlzFirst(L"x.alz", 70), AlzMiddle(L"x.a00", 55, 2), AlzLast(L"x.a01", 25, 3)},
         {},
         L"x.alz"},
        // A whole .alz looks like a set of one: it is read to its last byte.
        {"alz standing alone",
         {Whole(L"x.alz", std::string("ALZ\x01", 4) + Bytes(30, 9) + "CLZ\x03")},
         {},
         L"x.alz"},
        {"egg",
         {EggFirst(L"x.vol1.egg", 40), EggNext(L"x.vol2.egg", 35, 2),
          EggNext(L"x.vol3.egg", 10, 3)},
         {},
         L"x.vol1.egg"},
        // Only a first volume names followers: opened at the second, the set is that file.
        {"egg opened at its second volume",
         {Whole(L"x.vol2.egg", kEggSplitHeader + Bytes(20, 2))},
         {Whole(L"x.vol3.egg", Bytes(40, 3))},
         L"x.vol2.egg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::vector<Volume>& files = c.volumes;
        SplitSet set(files);
        for (const Volume& volume : c.bystanders) {
            WriteFileBytes(set.folder.Native(volume.name), volume.payload);
        }
        const std::wstring& first = c.first;
        CVekRef<IVekInStream> stream = set.Open(first);
        ASSERT_TRUE(stream);
        CVekRef<IVekMultiInStream> multi = AsMulti(stream.Get());
        ASSERT_TRUE(multi);
        EXPECT_EQ(LastPart(stream->GetFileName()), first);

        std::string expected = Joined(files);
        ASSERT_EQ(stream->GetSize(), expected.size());
        int64_t offset = 0;
        for (size_t k = 0; k < files.size(); ++k) {
            EXPECT_EQ(multi->GetVolumeOffset(static_cast<int>(k)), offset) << k;
            offset += static_cast<int64_t>(files[k].head.size() + files[k].payload.size() +
                                           files[k].tail.size());
        }
        EXPECT_EQ(multi->GetVolumeOffset(static_cast<int>(files.size())), 0);

        // Byte by byte, noting which volume each byte came from.
        std::string got;
        std::vector<std::wstring> order;
        for (size_t i = 0; i < expected.size(); ++i) {
            std::wstring volume = LastPart(multi->GetCurrentVolumeName());
            if (order.empty() || order.back() != volume) {
                order.push_back(volume);
            }
            char byte = 0;
            ASSERT_EQ(stream->ReadExact(&byte, 1), 1) << i;
            got += byte;
        }
        EXPECT_EQ(got, expected);
        std::vector<std::wstring> names;
        for (const Volume& volume : files) {
            if (!volume.payload.empty()) {
                names.push_back(volume.name);
            }
        }
        EXPECT_EQ(order, names);
        EXPECT_EQ(stream->IsEnd(), 1);
        EXPECT_EQ(multi->GetCurrentVolumeName(), nullptr);

        // And in one piece.
        ASSERT_EQ(stream->Seek(0, VEK_SEEK_SET), 0);
        std::string whole(expected.size(), '\0');
        ASSERT_EQ(stream->ReadExact(&whole[0], static_cast<unsigned>(whole.size())), 1);
        EXPECT_EQ(whole, expected);
    }
}

TEST(SplitSets, AWholeZipIsNeverASplitOne) {
    const std::string zip = std::string("PK\x03\x04", 4) + Bytes(60, 1) + kZipEnd;
    SplitSet set({Whole(L"x.z01", Bytes(30, 2)), Whole(L"x.zip", zip)});
    CVekRef<IVekInStream> stream = set.Open(L"x.zip");
    ASSERT_TRUE(stream);
    EXPECT_FALSE(AsMulti(stream.Get()));
    EXPECT_EQ(stream->GetSize(), zip.size());
    std::string got(zip.size(), '\0');
    ASSERT_EQ(stream->ReadExact(&got[0], static_cast<unsigned>(got.size())), 1);
    EXPECT_EQ(got, zip);
}

// An ALZ set large enough that reads go both through the volume buffers and straight past them.
struct AlzSet {
    AlzSet()
        : volumes{AlzFirst(L"x.alz", 3000), AlzMiddle(L"x.a00", 700, 2),
                  AlzLast(L"x.a01", 5000, 3)},
          set(volumes),
          expected(Joined(volumes)),
          stream(set.Open(L"x.alz")),
          multi(AsMulti(stream.Get())) {}
    std::vector<Volume> volumes;
    SplitSet set;
    std::string expected;
    CVekRef<IVekInStream> stream;
    CVekRef<IVekMultiInStream> multi;
};

TEST(SplitSets, ReadsAcrossVolumeBorders) {
    AlzSet alz;
    ASSERT_TRUE(alz.multi);
    const int64_t first = static_cast<int64_t>(alz.volumes[0].payload.size());
    const int64_t second = static_cast<int64_t>(alz.volumes[1].payload.size());
    const int64_t total = static_cast<int64_t>(alz.expected.size());
    ASSERT_EQ(alz.stream->GetSize(), static_cast<uint64_t>(total));
    EXPECT_EQ(alz.multi->TakeVolumeChanged(), 0);

    // Exactly at the end of the first payload: the next bytes are the second payload's first.
    char buffer[8192];
    unsigned got = 0;
    ASSERT_EQ(alz.stream->Seek(first, VEK_SEEK_SET), first);
    EXPECT_EQ(LastPart(alz.multi->GetCurrentVolumeName()), L"x.alz");
    ASSERT_EQ(alz.stream->Read(buffer, 5, &got), 1);
    EXPECT_EQ(got, 5u);
    EXPECT_EQ(std::string(buffer, 5), alz.volumes[1].payload.substr(0, 5));
    EXPECT_EQ(LastPart(alz.multi->GetCurrentVolumeName()), L"x.a00");
    EXPECT_EQ(alz.multi->TakeVolumeChanged(), 1);
    EXPECT_EQ(alz.multi->TakeVolumeChanged(), 0);
    EXPECT_EQ(alz.stream->GetPosition(), first + 5);

    // Mixed sizes from the start: small buffered reads, direct ones, and one spanning a whole
    // volume and both its borders.
    ASSERT_EQ(alz.stream->Seek(0, VEK_SEEK_SET), 0);
    std::string all;
    for (unsigned piece : {1u, 2046u, 2048u, 100u, 7u, 4096u}) {
        ASSERT_EQ(alz.stream->Read(buffer, piece, &got), 1) << all.size();
        ASSERT_EQ(got, piece);
        all.append(buffer, piece);
        EXPECT_EQ(alz.stream->GetPosition(), static_cast<int64_t>(all.size()));
    }
    EXPECT_EQ(all, alz.expected.substr(0, all.size()));
    ASSERT_LT(static_cast<int64_t>(all.size()), total);

    // Up to the exact end succeeds; nothing comes after it.
    unsigned rest = static_cast<unsigned>(total - static_cast<int64_t>(all.size()));
    ASSERT_EQ(alz.stream->Read(buffer, rest, &got), 1);
    EXPECT_EQ(got, rest);
    all.append(buffer, rest);
    EXPECT_EQ(all, alz.expected);
    EXPECT_EQ(alz.stream->IsEnd(), 1);
    EXPECT_EQ(alz.stream->Read(buffer, 1, &got), 0);
    EXPECT_EQ(got, 0u);

    // A request larger than what is left fails, having delivered what there was; the last
    // volume's tail is part of the payload, the middle one's never is.
    ASSERT_EQ(alz.stream->Seek(total - 4, VEK_SEEK_SET), total - 4);
    EXPECT_EQ(alz.stream->Read(buffer, 10, &got), 0);
    EXPECT_EQ(got, 4u);
    EXPECT_EQ(std::string(buffer, 4), "CLZ\x03");
    ASSERT_EQ(alz.stream->Seek(first + second - 2, VEK_SEEK_SET), first + second - 2);
    ASSERT_EQ(alz.stream->ReadExact(buffer, 4), 1);
    EXPECT_EQ(std::string(buffer, 4), alz.expected.substr(first + second - 2, 4));
}

TEST(SplitSets, Seeks) {
    AlzSet alz;
    ASSERT_TRUE(alz.multi);
    const int64_t total = static_cast<int64_t>(alz.expected.size());
    char byte = 0;
    ASSERT_EQ(alz.stream->Seek(3500, VEK_SEEK_SET), 3500);

    // Counting back from the end and unknown origins are refused without moving anything.
    EXPECT_EQ(alz.stream->Seek(22, VEK_SEEK_END), 0);
    EXPECT_EQ(alz.stream->Seek(5, 7), 0);
    EXPECT_EQ(alz.stream->GetPosition(), 3500);
    ASSERT_EQ(alz.stream->ReadExact(&byte, 1), 1);
    EXPECT_EQ(byte, alz.expected[3500]);

    struct Step {
        int64_t offset;
        unsigned origin;
        int64_t position;
    };
    // Relative moves back and forth over the borders.
    // 3704 is exactly the end of the middle payload.
    const Step steps[] = {{-600, VEK_SEEK_CUR, 2901}, {3000, VEK_SEEK_SET, 3000},
                          {703, VEK_SEEK_CUR, 3704},  {-2, VEK_SEEK_CUR, 3703},
                          {0, VEK_SEEK_SET, 0},       {total - 1, VEK_SEEK_SET, total - 1}};
    for (const Step& step : steps) {
        ASSERT_EQ(alz.stream->Seek(step.offset, step.origin), step.position);
        ASSERT_EQ(alz.stream->ReadExact(&byte, 1), 1) << step.position;
        EXPECT_EQ(byte, alz.expected[static_cast<size_t>(step.position)]) << step.position;
    }

    // To the end: allowed, but nothing can be read there. Past it and before the start the
    // seek answers 0 and reads fail until a good seek.
    EXPECT_EQ(alz.stream->Seek(total, VEK_SEEK_SET), total);
    EXPECT_EQ(alz.stream->IsEnd(), 1);
    EXPECT_EQ(alz.stream->ReadExact(&byte, 1), 0);
    for (int64_t bad : {total + 1, int64_t{-1}}) {
        ASSERT_EQ(alz.stream->Seek(10, VEK_SEEK_SET), 10);
        EXPECT_EQ(alz.stream->Seek(bad, VEK_SEEK_SET), 0);
        EXPECT_EQ(alz.stream->GetPosition(), bad);
        EXPECT_EQ(alz.multi->GetCurrentVolumeName(), nullptr);
        EXPECT_EQ(alz.stream->ReadExact(&byte, 1), 0);
    }
    ASSERT_EQ(alz.stream->Seek(3001, VEK_SEEK_SET), 3001);
    ASSERT_EQ(alz.stream->ReadExact(&byte, 1), 1);
    EXPECT_EQ(byte, alz.expected[3001]);
}

struct XorFilter : IVekStreamFilter {
    void Filter(char* data, int length) override {
        for (int i = 0; i < length; ++i) {
            data[i] ^= 0x5A;
        }
        filtered += length;
    }
    int filtered = 0;
};

TEST(SplitSets, FilterReachesEveryVolumeOnce) {
    AlzSet alz;
    ASSERT_TRUE(alz.multi);
    XorFilter filter;
    alz.stream->SetFilter(&filter);
    std::string got(alz.expected.size(), '\0');
    ASSERT_EQ(alz.stream->ReadExact(&got[0], 10), 1);
    ASSERT_EQ(alz.stream->ReadExact(&got[10], 5000), 1);
    ASSERT_EQ(alz.stream->ReadExact(&got[5010], static_cast<unsigned>(got.size() - 5010)), 1);
    EXPECT_EQ(filter.filtered, static_cast<int>(got.size()));
    for (size_t i = 0; i < got.size(); ++i) {
        ASSERT_EQ(static_cast<char>(got[i] ^ 0x5A), alz.expected[i]) << i;
    }
    alz.stream->SetFilter(nullptr);
    ASSERT_EQ(alz.stream->Seek(2990, VEK_SEEK_SET), 2990);
    ASSERT_EQ(alz.stream->ReadExact(&got[0], 20), 1);
    EXPECT_EQ(got.substr(0, 20), alz.expected.substr(2990, 20));
}

TEST(SplitSets, VolumesTooShortForTheirFramingEndTheSet) {
    struct Case {
        const char* label;
        std::vector<Volume> files;
        size_t members;  // how many of the files make up the set
    };
    const Case cases[] = {
        // 5 bytes cannot even hold the 8-byte head; a01 is not reached either.
        {"alz",
         {AlzFirst(L"x.alz", 20), {L"x.a00", Bytes(5, 2), "", ""}, AlzLast(L"x.a01", 20, 3)},
         1},
        // 15 bytes hold the head but no tail: only a last part lacks one, so the set ends there.
        {"alz part without room for a tail",
         {AlzFirst(L"x.alz", 20), AlzLast(L"x.a00", 3, 2), AlzLast(L"x.a01", 20, 3)},
         2},
        {"egg", {EggFirst(L"x.vol1.egg", 20), {L"x.vol2.egg", Bytes(20, 2), "", ""}}, 1},
        // Exactly head and tail: an empty payload in the middle is crossed, not stopped at.
        {"alz with an empty middle",
         {AlzFirst(L"x.alz", 20), AlzMiddle(L"x.a00", 0, 2), AlzLast(L"x.a01", 20, 3)},
         3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        SplitSet set(c.files);
        CVekRef<IVekInStream> stream = set.Open(c.files[0].name);
        CVekRef<IVekMultiInStream> multi = AsMulti(stream.Get());
        ASSERT_TRUE(multi);
        std::vector<Volume> members(c.files.begin(), c.files.begin() + c.members);
        // A lone first volume is also the last, and keeps its tail.
        if (c.members == 1) {
            members[0].payload += members[0].tail;
        }
        std::string expected = Joined(members);
        ASSERT_EQ(stream->GetSize(), expected.size());
        EXPECT_EQ(multi->GetVolumeOffset(static_cast<int>(c.members)), 0);
        std::string got(expected.size(), '\0');
        ASSERT_EQ(stream->Seek(0, VEK_SEEK_SET), 0);
        ASSERT_EQ(stream->ReadExact(&got[0], static_cast<unsigned>(got.size())), 1);
        EXPECT_EQ(got, expected);
        char byte = 0;
        EXPECT_EQ(stream->ReadExact(&byte, 1), 0);
        // Every position, borders included, is reachable by a seek.
        for (size_t at = 0; at < expected.size(); ++at) {
            ASSERT_EQ(stream->Seek(static_cast<int64_t>(at), VEK_SEEK_SET),
                      static_cast<int64_t>(at));
            ASSERT_EQ(stream->ReadExact(&byte, 1), 1) << at;
            EXPECT_EQ(byte, expected[at]) << at;
        }
    }
}

TEST(SplitSets, LongSetsGoOnPastTheTwoDigitNames) {
    struct Case {
        const char* label;
        std::vector<Volume> volumes;
        const wchar_t* first;
        const wchar_t* lastFollower;
    };
    std::vector<Volume> zip;
    for (int n = 1; n <= 100; ++n) {
        std::wstring digits = std::to_wstring(n);
        zip.push_back(Whole(L"x.z" + std::wstring(n < 10 ? L"0" : L"") + digits, Bytes(3, n)));
    }
    zip.push_back(Whole(L"x.zip", kZipEnd));
    std::vector<Volume> alz = {AlzFirst(L"x.alz", 5)};
    for (int n = 0; n <= 100; ++n) {
        std::wstring digits = std::to_wstring(n % 100);
        std::wstring name =
            std::wstring(L"x.") + (n < 100 ? L"a" : L"b") + (n % 100 < 10 ? L"0" : L"") + digits;
        alz.push_back(n < 100 ? AlzMiddle(name, 3, n) : AlzLast(name, 20, n));
    }
    std::vector<Volume> egg = {EggFirst(L"x.vol1.egg", 5)};
    for (int n = 2; n <= 11; ++n) {
        egg.push_back(EggNext(L"x.vol" + std::to_wstring(n) + L".egg", 3, n));
    }
    const Case cases[] = {{"zip", zip, L"x.zip", L"x.z100"},
                          {"alz", alz, L"x.alz", L"x.b00"},
                          {"egg", egg, L"x.vol1.egg", L"x.vol11.egg"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        SplitSet set(c.volumes);
        CVekRef<IVekInStream> stream = set.Open(c.first);
        CVekRef<IVekMultiInStream> multi = AsMulti(stream.Get());
        ASSERT_TRUE(multi);
        std::string expected = Joined(c.volumes);
        ASSERT_EQ(stream->GetSize(), expected.size());
        std::string got(expected.size(), '\0');
        ASSERT_EQ(stream->ReadExact(&got[0], static_cast<unsigned>(got.size())), 1);
        EXPECT_EQ(got, expected);

        // The file in the last position is where the naming rule had to go past two digits
        // (for ZIP the one before the .zip part).
        size_t follower = c.volumes.size() - (c.first == std::wstring(L"x.zip") ? 2 : 1);
        int64_t start = 0;
        for (size_t k = 0; k < follower; ++k) {
            start += static_cast<int64_t>(c.volumes[k].payload.size());
        }
        ASSERT_EQ(stream->Seek(start + 1, VEK_SEEK_SET), start + 1);
        EXPECT_EQ(LastPart(multi->GetCurrentVolumeName()), c.lastFollower);
        EXPECT_NE(multi->GetVolumeOffset(static_cast<int>(c.volumes.size()) - 1), 0);
    }
}

TEST(SplitSets, OpeningCountingAndClosing) {
    SplitSet set({Whole(L"x.001", Bytes(30, 1)), Whole(L"x.002", Bytes(30, 2))});
    EXPECT_EQ(OpenInputStream(set.folder.Wide(L"missing.001").c_str()), nullptr);
    EXPECT_EQ(OpenInputStream(set.folder.Wide().c_str()), nullptr);

    // Handed over with no reference taken; both identifiers answer, others do not.
    IVekInStream* raw = OpenInputStream(set.folder.Wide(L"x.001").c_str());
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(raw->AddRef(), 1u);
    CVekRef<IVekInStream> stream;
    stream.Attach(raw);
    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(stream->QueryInterface(IVekOutStream::kIid, &out), VEK_E_NOINTERFACE);
    EXPECT_EQ(out, reinterpret_cast<void*>(0x1));
    ASSERT_EQ(stream->QueryInterface(IVekInStream::kIid, &out), VEK_S_OK);
    EXPECT_EQ(out, static_cast<void*>(raw));
    EXPECT_EQ(stream->Release(), 1u);
    CVekRef<IVekMultiInStream> multi = AsMulti(stream.Get());
    ASSERT_TRUE(multi);
    EXPECT_EQ(stream->GetSize(), 60u);

    // The same for a plain file.
    IVekInStream* plain = OpenInputStream(set.folder.Wide(L"x.002").c_str());
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->AddRef(), 1u);
    EXPECT_EQ(plain->Release(), 0u);

    EXPECT_EQ(stream->Close(), 1);
    EXPECT_EQ(stream->GetSize(), 0u);
    EXPECT_EQ(stream->GetFileName(), nullptr);
    EXPECT_EQ(multi->GetCurrentVolumeName(), nullptr);
    char byte = 0;
    EXPECT_EQ(stream->ReadExact(&byte, 1), 0);
}

#ifndef _WIN32
// Windows paths stop short of 260 characters anyway; here the file system would take them.
TEST(SplitSets, CandidateNamesOf260CharactersAreNotTried) {
    for (size_t length : {259u, 260u}) {
        ScratchFolder folder;
        std::wstring prefix = folder.Wide() + L"\\";
        size_t pad = length - prefix.size() - std::wstring(L"\\x.001").size();
        std::wstring sub(pad, L'd');
        fs::create_directory(folder.Native(sub));
        WriteFileBytes(folder.Native(sub + L"\\x.001"), Bytes(30, 1));
        WriteFileBytes(folder.Native(sub + L"\\x.002"), Bytes(30, 2));
        std::wstring path = folder.Wide(sub + L"\\x.001");
        ASSERT_EQ(path.size(), length);
        CVekRef<IVekInStream> stream(OpenInputStream(path.c_str()));
        ASSERT_TRUE(stream);
        EXPECT_EQ(stream->GetSize(), length < 260 ? 60u : 30u) << length;
    }
}
#endif

}  // namespace
}  // namespace test
