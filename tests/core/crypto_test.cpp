// The decryption object: the system's primitives against their published vectors, the counter
// mode and authentication built on them, and ZIP members encrypted by Info-ZIP zip and 7-Zip's
// 7zz decrypted through the shared decoders. Both builds run the same cases: OpenSSL on Linux,
// CNG on Windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "archive/core/crypto.h"
#include "archive/core/errors.h"
#include "archive/core/in_file_stream.h"
#include "archive/core/winzip_aes.h"
#include "archive/platform/crypto_primitives.h"
#include "support/scratch.h"
#include "support/test_extractor.h"

namespace test {
namespace {

namespace platform = vek::platform;
using Bytes = std::vector<uint8_t>;

Bytes FromHex(const std::string& hex) {
    Bytes out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

std::string ToHex(const uint8_t* data, size_t length) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < length; ++i) {
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 15];
    }
    return out;
}

Bytes FromText(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// ---------------------------------------------------------------------------------------------
// The primitives, against the published vectors.

TEST(CryptoPrimitives, Pbkdf2HmacSha1MatchesRfc6070) {
    struct Case {
        std::string password, salt;
        unsigned iterations;
        const char* expected;
    };
    const Case cases[] = {
        {"password", "salt", 1, "0c60c80f961f0e71f3a9b524af6012062fe037a6"},
        {"password", "salt", 2, "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957"},
        {"password", "salt", 4096, "4b007901b765489abead49d926f721d065a429c1"},
        {"passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096,
         "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038"},
        {std::string("pass\0word", 9), std::string("sa\0lt", 5), 4096,
         "56fa6aa75548099dcc37d7f03425e0c3"},
    };
    for (const Case& c : cases) {
        Bytes password = FromText(c.password), salt = FromText(c.salt);
        Bytes out(std::strlen(c.expected) / 2);
        ASSERT_TRUE(platform::Pbkdf2HmacSha1(password.data(), password.size(), salt.data(),
                                             salt.size(), c.iterations, out.data(), out.size()));
        EXPECT_EQ(ToHex(out.data(), out.size()), c.expected) << c.password << " " << c.iterations;
    }
}

TEST(CryptoPrimitives, AesMatchesFips197AppendixC) {
    const Bytes plain = FromHex("00112233445566778899aabbccddeeff");
    struct Case {
        const char* key;
        const char* expected;
    };
    const Case cases[] = {
        {"000102030405060708090a0b0c0d0e0f", "69c4e0d86a7b0430d8cdb78070b4c55a"},
        {"000102030405060708090a0b0c0d0e0f1011121314151617", "dda97ca4864cdfe06eaf70a0ec0d7191"},
        {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
         "8ea2b7ca516745bfeafc49904b496089"},
    };
    for (const Case& c : cases) {
        Bytes key = FromHex(c.key);
        platform::AesEncryptor aes;
        ASSERT_TRUE(aes.SetKey(key.data(), key.size()));
        // Several blocks in one call, in place: each is encrypted on its own.
        Bytes blocks;
        for (int i = 0; i < 3; ++i) {
            blocks.insert(blocks.end(), plain.begin(), plain.end());
        }
        ASSERT_TRUE(aes.EncryptBlocks(blocks.data(), 3));
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(ToHex(blocks.data() + 16 * i, 16), c.expected) << key.size() << " " << i;
        }
    }
    platform::AesEncryptor aes;
    Bytes oddKey(20, 1);
    EXPECT_FALSE(aes.SetKey(oddKey.data(), oddKey.size()));
    EXPECT_FALSE(aes.EncryptBlocks(oddKey.data(), 1));
}

TEST(CryptoPrimitives, HmacSha1MatchesRfc2202FedWholeAndInPieces) {
    struct Case {
        Bytes key, data;
        const char* expected;
    };
    Bytes key25;
    for (int i = 1; i <= 25; ++i) {
        key25.push_back(static_cast<uint8_t>(i));
    }
    const Case cases[] = {
        {Bytes(20, 0x0b), FromText("Hi There"), "b617318655057264e28bc0b6fb378c8ef146be00"},
        {FromText("Jefe"), FromText("what do ya want for nothing?"),
         "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
        {Bytes(20, 0xaa), Bytes(50, 0xdd), "125d7342b9ac11cd91a39af48aa17b4f63f175d3"},
        {key25, Bytes(50, 0xcd), "4c9007f4026250c6bc8414f9bf50c86c2d7235da"},
        {Bytes(20, 0x0c), FromText("Test With Truncation"),
         "4c1a03424b55e07fe7f27be1d58bb9324a9a5a04"},
        {Bytes(80, 0xaa), FromText("Test Using Larger Than Block-Size Key - Hash Key First"),
         "aa4ae5e15272d00e95705637ce8a3b55ed402112"},
        {Bytes(80, 0xaa),
         FromText("Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data"),
         "e8e99d0f45237d786d6bbaa7965c7808bbff1a91"},
    };
    for (const Case& c : cases) {
        for (size_t piece : {c.data.size(), size_t{1}, size_t{7}}) {
            platform::HmacSha1 hmac;
            ASSERT_TRUE(hmac.Init(c.key.data(), c.key.size()));
            for (size_t at = 0; at < c.data.size(); at += piece) {
                ASSERT_TRUE(hmac.Update(c.data.data() + at, std::min(piece, c.data.size() - at)));
            }
            uint8_t digest[platform::kSha1DigestSize];
            ASSERT_TRUE(hmac.Final(digest));
            EXPECT_EQ(ToHex(digest, sizeof(digest)), c.expected) << piece;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// The counter mode and authentication layer, checked block by block against the primitives.

TEST(WinZipAes, KeystreamIsAesOfALittleEndianCounterFromOne) {
    const char password[] = "secret";
    const Bytes salt = FromHex("000102030405060708090a0b0c0d0e0f");
    // AES key, HMAC key, verifier, derived the documented way.
    uint8_t derived[66];
    ASSERT_TRUE(platform::Pbkdf2HmacSha1(reinterpret_cast<const uint8_t*>(password), 6, salt.data(),
                                         16, 1000, derived, sizeof(derived)));
    CVekWinZipAes layer;
    uint8_t verifier[2];
    ASSERT_EQ(layer.Init(3, password, 6, salt.data(), verifier), 1);
    EXPECT_EQ(ToHex(verifier, 2), ToHex(derived + 64, 2));

    // Zeros decrypt to the keystream itself. Uneven pieces cross block and batch boundaries,
    // single bytes among them as the byte-wise decoders give them.
    const size_t total = 600 * 16 + 5;
    std::string data(total, '\0');
    const size_t pieces[] = {1, 15, 17, 1, 4096, 3, 4100, 16};
    size_t at = 0;
    for (size_t i = 0; at < total; ++i) {
        size_t n = std::min(pieces[i % 8], total - at);
        layer.Decrypt(&data[at], static_cast<int>(n));
        at += n;
    }
    const uint8_t* keystream = reinterpret_cast<const uint8_t*>(data.data());

    platform::AesEncryptor aes;
    ASSERT_TRUE(aes.SetKey(derived, 32));
    auto blockFor = [&](Bytes counter) {
        counter.resize(16, 0);
        EXPECT_TRUE(aes.EncryptBlocks(counter.data(), 1));
        return ToHex(counter.data(), 16);
    };
    // The edge cases by hand: block 1, block 17 (byte 0 = 0x11), the carry into byte 1.
    EXPECT_EQ(ToHex(keystream, 16), blockFor({0x01}));
    EXPECT_EQ(ToHex(keystream + 16 * 16, 16), blockFor({0x11}));
    EXPECT_EQ(ToHex(keystream + 255 * 16, 16), blockFor({0x00, 0x01}));
    EXPECT_EQ(ToHex(keystream + 256 * 16, 16), blockFor({0x01, 0x01}));
    // And every block, the last partial one included.
    for (size_t block = 0; block * 16 < total; ++block) {
        uint64_t counter = block + 1;
        Bytes bytes;
        for (int b = 0; b < 8; ++b) {
            bytes.push_back(static_cast<uint8_t>(counter >> (8 * b)));
        }
        size_t n = std::min<size_t>(16, total - block * 16);
        ASSERT_EQ(ToHex(keystream + block * 16, n), blockFor(bytes).substr(0, 2 * n)) << block;
    }

    // The code is the HMAC of what was stored (the zeros), cut to ten bytes.
    platform::HmacSha1 hmac;
    ASSERT_TRUE(hmac.Init(derived + 32, 32));
    std::string zeros(total, '\0');
    ASSERT_TRUE(hmac.Update(zeros.data(), zeros.size()));
    uint8_t digest[20];
    ASSERT_TRUE(hmac.Final(digest));
    uint8_t code[VEK_AES_CODE_SIZE];
    ASSERT_EQ(layer.Finish(code), 1);
    EXPECT_EQ(ToHex(code, 10), ToHex(digest, 10));
}

TEST(WinZipAes, InitRefusesLongPasswordsAndUnknownStrengths) {
    const Bytes salt(16, 7);
    const std::string password(129, 'p');
    CVekWinZipAes layer;
    uint8_t verifier[2];
    EXPECT_EQ(layer.Init(3, password.data(), 129, salt.data(), verifier), 0);
    EXPECT_EQ(layer.Init(3, password.data(), 128, salt.data(), verifier), 1);
    EXPECT_EQ(layer.Init(0, password.data(), 8, salt.data(), verifier), 0);
    EXPECT_EQ(layer.Init(4, password.data(), 8, salt.data(), verifier), 0);
    // Nothing initialised: no code can pass.
    uint8_t code[VEK_AES_CODE_SIZE];
    EXPECT_EQ(layer.Finish(code), 0);
}

// ---------------------------------------------------------------------------------------------
// Real members, made at build time by Info-ZIP zip and 7zz (tests/tools/fixtures_crypto.py).

struct Member {
    std::string name;
    int method = 0;
    uint32_t encryption = 0;
    uint32_t flags = 0;
    uint32_t crc = 0;
    uint32_t dosTime = 0;
    uint64_t packed = 0;
    uint64_t size = 0;
    std::string password;
    std::string bytes;  // the stored data, encryption header and code included

    std::wstring Path() const { return Fixture(L"crypto\\" + Wide(name) + L".member"); }
    // The ZIP rule: with flag bit 3 the header ends in the time's high byte, else the CRC's.
    uint8_t CheckByte() const {
        return static_cast<uint8_t>((flags & 8) != 0 ? dosTime >> 8 : crc >> 24);
    }
    static std::wstring Wide(const std::string& text) {
        return std::wstring(text.begin(), text.end());
    }
};

Member LoadMember(const std::string& name) {
    std::istringstream text(
        ReadFileBytes(FixtureNative(L"crypto/" + Member::Wide(name) + L".facts")));
    std::map<std::string, std::string> facts;
    std::string key;
    while (text >> key) {
        text >> facts[key];
    }
    auto number = [&](const char* key) { return std::stoull(facts.at(key)); };
    Member m;
    m.name = name;
    m.method = static_cast<int>(number("method"));
    m.encryption = static_cast<uint32_t>(number("encryption"));
    m.flags = static_cast<uint32_t>(number("flags"));
    m.crc = static_cast<uint32_t>(number("crc"));
    m.dosTime = static_cast<uint32_t>(number("dostime"));
    m.packed = number("packed");
    m.size = number("size");
    m.password = facts.at("password");
    m.bytes = ReadFileBytes(FixtureNative(L"crypto/" + Member::Wide(name) + L".member"));
    EXPECT_EQ(m.bytes.size(), m.packed) << name;
    return m;
}

const std::string& Plain() {
    static const std::string plain = ReadFileBytes(FixtureNative(L"crypto/plain.bin"));
    return plain;
}

// Key data as the EGG reader keeps it with an entry.
struct KeyData : VekExtraData {
    explicit KeyData(std::string bytes) : data(std::move(bytes)) {}
    const uint8_t* GetKeyData(uint32_t* length) const override {
        *length = static_cast<uint32_t>(data.size());
        return reinterpret_cast<const uint8_t*>(data.data());
    }
    std::string data;
};

// One entry with the member's facts, whose stored bytes are the whole input file.
SingleEntryExtractor::Setup MemberEntry(const Member& member, uint32_t encryption,
                                        const std::string* keyData) {
    return [&member, encryption, keyData](SVekEntry& entry) {
        entry.method = member.method;
        entry.size = member.size;
        entry.crc = member.crc;
        entry.flags = static_cast<int16_t>(member.flags);
        entry.dosTime = member.dosTime;
        entry.checkByte = member.CheckByte();
        entry.encryption = encryption;
        if (keyData != nullptr) {
            entry.extra = new KeyData(*keyData);
        } else {
            entry.packedSize = member.packed;
        }
    };
}

struct Outcome {
    int code = -1;  // the entry's completion code
    bool exists = false;
    std::string written;
};

// Extracts the member from input (its own file unless given) with the password given.
Outcome Extract(const Member& member, const std::string& password,
                const std::wstring& input = std::wstring(), uint32_t encryption = 0,
                const std::string* keyData = nullptr) {
    SingleEntryExtractor extractor(
        MemberEntry(member, encryption != 0 ? encryption : member.encryption, keyData));
    extractor.SetPassword(password.c_str());
    EXPECT_EQ(extractor.OpenFile(input.empty() ? member.Path().c_str() : input.c_str()), 1);
    CVekRef<IVekProgress> sink(new RecordingSink());
    extractor.SetProgressSink(sink.Get());
    ScratchFolder target;
    extractor.ExtractAllItemsTo(target.Wide().c_str());
    Outcome outcome;
    std::vector<int> completions = static_cast<RecordingSink*>(sink.Get())->Completions();
    EXPECT_EQ(completions.size(), 1u);
    if (!completions.empty()) {
        outcome.code = completions[0];
    }
    outcome.exists = fs::exists(target.Native(L"out.bin"));
    outcome.written = extractor.decoded;
    EXPECT_EQ(outcome.exists, outcome.code == 0);  // a file only for an entry that succeeded
    if (outcome.exists) {
        EXPECT_EQ(ReadFileBytes(target.Native(L"out.bin")), outcome.written);
    }
    extractor.SetProgressSink(nullptr);
    return outcome;
}

const char* const kAllMembers[] = {
    "infozip_stored",   "infozip_stdin_deflate", "infozip_long_password", "7z_zipcrypto_stored",
    "7z_aes128_stored", "7z_aes192_stored",      "7z_aes256_stored",      "7z_aes256_deflate",
    "7z_aes256_bzip2",  "7z_aes256_lzma",
};

TEST(CryptoMembers, RightPasswordGivesTheOriginalBytes) {
    ASSERT_EQ(Plain().size(), 200003u);
    for (const char* name : kAllMembers) {
        SCOPED_TRACE(name);
        Member member = LoadMember(name);
        Outcome out = Extract(member, member.password);
        EXPECT_EQ(out.code, 0);
        EXPECT_TRUE(out.written == Plain());
    }
    // The tools write what the header rules expect: Info-ZIP flag bit 3 (time), 7-Zip not (CRC).
    EXPECT_NE(LoadMember("infozip_stored").flags & 8, 0u);
    EXPECT_EQ(LoadMember("7z_zipcrypto_stored").flags & 8, 0u);
}

TEST(CryptoMembers, WrongEmptyAndOverlongPasswords) {
    const std::string overlong(129, 'x');
    for (const char* name : kAllMembers) {
        SCOPED_TRACE(name);
        Member member = LoadMember(name);
        const bool aes = member.encryption >= VEK_CRYPT_AES128;

        Outcome empty = Extract(member, "");
        EXPECT_EQ(empty.code, static_cast<int>(VEKERR_NO_PASSWORD));
        EXPECT_FALSE(empty.exists);

        // A check byte (8 bits) or verifier (16 bits) lets an odd wrong password through, and
        // the tools salt every archive afresh: such a one must still fail, later. Among a few
        // wrong passwords at least one is caught up front, leaving no file behind.
        int caughtEarly = 0;
        for (const char* wrong : {"secreT", "wrong-1", "wrong-2", "wrong-3"}) {
            Outcome out = Extract(member, wrong);
            EXPECT_NE(out.code, 0) << wrong;
            if (out.code == static_cast<int>(VEKERR_WRONG_PASSWORD)) {
                ++caughtEarly;
                EXPECT_FALSE(out.exists) << wrong;
            }
        }
        EXPECT_GE(caughtEarly, 1);

        // 129 bytes: refused for AES before any key is derived.
        if (aes) {
            Outcome out = Extract(member, overlong);
            EXPECT_EQ(out.code, static_cast<int>(VEKERR_WRONG_PASSWORD));
            EXPECT_FALSE(out.exists);
        }
    }
}

TEST(CryptoMembers, DamageIsReportedWithItsCode) {
    ScratchFolder work;
    struct Case {
        const char* member;
        const char* what;
        std::string (*damage)(const std::string&);
        int code;
        bool allWritten;  // the data passed through before the failure
    };
    const Case cases[] = {
        // A changed data byte decrypts to one wrong byte; only the code can tell.
        {"7z_aes128_stored", "data byte",
         [](const std::string& s) {
             std::string d = s;
             d[d.size() / 2] ^= 0x20;
             return d;
         },
         VEKERR_READ_DATA, true},
        {"7z_aes192_stored", "data byte",
         [](const std::string& s) {
             std::string d = s;
             d[30] ^= 0x01;
             return d;
         },
         VEKERR_READ_DATA, true},
        {"7z_aes256_stored", "code byte",
         [](const std::string& s) {
             std::string d = s;
             d[d.size() - 1] ^= 0x80;
             return d;
         },
         VEKERR_READ_DATA, true},
        {"7z_aes256_stored", "code cut off",
         [](const std::string& s) { return s.substr(0, s.size() - 4); }, VEKERR_READ_DATA, true},
        {"7z_aes256_stored", "verifier cut off",
         [](const std::string& s) { return s.substr(0, 17); }, VEKERR_READ_DATA, false},
        {"infozip_stored", "header cut off", [](const std::string& s) { return s.substr(0, 11); },
         VEKERR_READ_DATA, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.member << ": " << c.what);
        Member member = LoadMember(c.member);
        std::wstring path = work.Wide(L"damaged.member");
        WriteFileBytes(work.Native(L"damaged.member"), c.damage(member.bytes));
        Outcome out = Extract(member, member.password, path);
        EXPECT_EQ(out.code, c.code);
        if (c.allWritten) {
            EXPECT_EQ(out.written.size(), Plain().size());
        } else {
            EXPECT_FALSE(out.exists);
        }
    }
}

// The same members in the EGG layout: header, salt, verifier and code move into the entry's key
// data and the packed data is all ciphertext.
TEST(CryptoMembers, EggKeyDataModes) {
    ScratchFolder work;
    const Member zipCrypto = LoadMember("7z_zipcrypto_stored");
    const Member aes128 = LoadMember("7z_aes128_stored");
    const Member aes256 = LoadMember("7z_aes256_stored");
    std::string crcBytes;
    for (int i = 0; i < 4; ++i) {
        crcBytes += static_cast<char>(zipCrypto.crc >> (8 * i));
    }
    struct Layout {
        const Member* member;
        uint32_t mode;
        size_t front;  // header or salt and verifier
        size_t back;   // the code
        std::string keyData;
    };
    const std::string& z = zipCrypto.bytes;
    const std::string& a = aes128.bytes;
    const std::string& b = aes256.bytes;
    const Layout layouts[] = {
        {&zipCrypto, VEK_CRYPT_EGG_ZIP, 12, 0, z.substr(0, 12) + crcBytes},
        {&aes128, VEK_CRYPT_EGG_AES128, 10, 10, a.substr(0, 10) + a.substr(a.size() - 10)},
        {&aes256, VEK_CRYPT_EGG_AES256, 18, 10, b.substr(0, 18) + b.substr(b.size() - 10)},
    };
    for (const Layout& l : layouts) {
        SCOPED_TRACE(l.mode);
        const std::string& bytes = l.member->bytes;
        std::wstring path = work.Wide(L"egg.data");
        WriteFileBytes(work.Native(L"egg.data"),
                       bytes.substr(l.front, bytes.size() - l.front - l.back));

        Outcome right = Extract(*l.member, l.member->password, path, l.mode, &l.keyData);
        EXPECT_EQ(right.code, 0);
        EXPECT_TRUE(right.written == Plain());

        // Key data one byte short of the layout is refused, never read past its end.
        std::string shortData = l.keyData.substr(0, l.keyData.size() - 1);
        Outcome cut = Extract(*l.member, l.member->password, path, l.mode, &shortData);
        EXPECT_EQ(cut.code, static_cast<int>(VEKERR_WRONG_PASSWORD));
        EXPECT_FALSE(cut.exists);
        Outcome none = Extract(*l.member, l.member->password, path, l.mode, nullptr);
        EXPECT_EQ(none.code, static_cast<int>(VEKERR_WRONG_PASSWORD));

        if (l.back != 0) {
            std::string badCode = l.keyData;
            badCode.back() ^= 1;
            Outcome bad = Extract(*l.member, l.member->password, path, l.mode, &badCode);
            EXPECT_EQ(bad.code, static_cast<int>(VEKERR_READ_DATA));
            EXPECT_TRUE(bad.written == Plain());
        }
    }
}

// The byte-wise decoders call Filter one byte at a time; the cipher state must carry over.
TEST(CryptoMembers, FilterByTheByteMatchesWholeBuffers) {
    for (const char* name : {"7z_zipcrypto_stored", "7z_aes192_stored"}) {
        SCOPED_TRACE(name);
        Member member = LoadMember(name);
        CVekRef<IVekInStream> input(new CVekInFileStream());
        ASSERT_EQ(input->Open(member.Path().c_str()), 1);
        SVekEntry entry;
        entry.checkByte = member.CheckByte();
        CVekCrypto crypto;
        crypto.SetPassword(member.password.c_str());
        crypto.mode = static_cast<int>(member.encryption);
        crypto.headerStream = input.Get();
        int64_t remaining = static_cast<int64_t>(member.packed);
        ASSERT_EQ(crypto.BeginDecryption(&entry, input.Get(), &remaining), 1);
        ASSERT_EQ(remaining, static_cast<int64_t>(Plain().size()));
        std::string data(static_cast<size_t>(remaining), '\0');
        ASSERT_EQ(input->ReadExact(&data[0], static_cast<unsigned>(data.size())), 1);
        for (char& c : data) {
            crypto.Filter(&c, 1);
        }
        EXPECT_EQ(crypto.FinishDecryption(), 1);
        EXPECT_TRUE(data == Plain());
    }
}

TEST(CryptoMembers, EveryModeWantsAPassword) {
    Member member = LoadMember("7z_aes256_stored");
    for (uint32_t mode = VEK_CRYPT_ZIP; mode <= VEK_CRYPT_EGG_AES256; ++mode) {
        Outcome out = Extract(member, "", std::wstring(), mode);
        EXPECT_EQ(out.code, static_cast<int>(VEKERR_NO_PASSWORD)) << mode;
        EXPECT_FALSE(out.exists) << mode;
    }
}

}  // namespace
}  // namespace test
