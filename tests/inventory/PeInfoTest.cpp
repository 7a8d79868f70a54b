#include "inventory/PeInfo.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace
{

using OrvoTest::FixturePath;
using OrvoTest::Narrow;

// An image header: DOS header, gap up to e_lfanew, signature, file header, optional header.
struct ImageSpec
{
    uint32_t lfanew = 128;
    uint16_t machine = Misc::CpeInfo::kMachineX86;
    uint16_t optionalSize = 224;
    uint16_t magic = 0x010B;
    std::size_t optionalBytes = 224; // how much of the optional header is present
    const char* signature = "PE\0\0";
};

std::string Image(const ImageSpec& s)
{
    std::string bytes(64, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    std::memcpy(&bytes[60], &s.lfanew, 4);
    if (s.lfanew > 64)
        bytes.append(s.lfanew - 64, '\0');
    bytes.append(s.signature, 4);
    std::string fileHeader(20, '\0');
    std::memcpy(&fileHeader[0], &s.machine, 2);
    std::memcpy(&fileHeader[16], &s.optionalSize, 2);
    bytes += fileHeader;
    std::string optional(s.optionalBytes, '\0');
    if (s.optionalBytes >= 2)
        std::memcpy(&optional[0], &s.magic, 2);
    return bytes + optional;
}

struct Expect
{
    bool result;
    uint16_t bitness;
    uint16_t machine;
};

void CheckBytes(const std::string& bytes, Expect e, const std::string& what)
{
    Misc::CpeInfo info;
    EXPECT_EQ(info.ReadBytes(bytes.data(), bytes.size()), e.result) << what;
    EXPECT_EQ(info.IsRecognised(), e.result) << what;
    EXPECT_EQ(info.Bitness(), e.bitness) << what;
    EXPECT_EQ(info.Machine(), e.machine) << what;
}

TEST(PeHeaders, FailRules)
{
    ImageSpec good;
    CheckBytes(Image(good), {true, 32, 0x014C}, "a 32-bit image");

    CheckBytes("", {false, 0, 0}, "empty");
    CheckBytes(Image(good).substr(0, 63), {false, 0, 0}, "shorter than the DOS header");
    std::string notMz = Image(good);
    notMz[0] = 'Z';
    notMz[1] = 'M';
    CheckBytes(notMz, {false, 0, 0}, "no MZ");
    CheckBytes("MZ" + std::string(98, '\0'), {false, 0, 0}, "100 bytes starting with MZ");

    ImageSpec s = good;
    s.signature = "PX\0\0";
    CheckBytes(Image(s), {false, 0, 0}, "wrong signature");
    s = good;
    s.signature = "PE\0\1";
    CheckBytes(Image(s), {false, 0, 0}, "signature with a non-zero tail");

    for (uint16_t size : {0, 1, 200, 223})
    {
        s = good;
        s.optionalSize = size;
        CheckBytes(Image(s), {false, 0, 0}, "optional header size " + std::to_string(size));
    }
}

TEST(PeHeaders, WhereTheNtHeadersStart)
{
    // e_lfanew inside the DOS header wraps to a huge gap; 64 (no gap) is valid.
    for (uint32_t lfanew : {0u, 4u, 32u, 60u, 63u})
    {
        ImageSpec s;
        std::string bytes = Image(s);
        std::memcpy(&bytes[60], &lfanew, 4);
        CheckBytes(bytes, {false, 0, 0}, "e_lfanew " + std::to_string(lfanew));
    }
    for (uint32_t lfanew : {64u, 65u, 200u, 4096u + 64u, 3u * 4096u + 7u})
    {
        ImageSpec s;
        s.lfanew = lfanew;
        CheckBytes(Image(s), {true, 32, 0x014C}, "e_lfanew " + std::to_string(lfanew));
    }
    // Beyond the end of the file, and the largest value there is.
    for (uint32_t lfanew : {1000u, 0xFFFFFFFFu, 0x80000000u})
    {
        ImageSpec s;
        std::string bytes = Image(s);
        std::memcpy(&bytes[60], &lfanew, 4);
        CheckBytes(bytes, {false, 0, 0}, "e_lfanew " + std::to_string(lfanew));
    }
}

TEST(PeHeaders, At248BytesAfterTheSignatureStart)
{
    ImageSpec s;
    const std::string full = Image(s); // 128 + 248 bytes
    CheckBytes(full, {true, 32, 0x014C}, "exactly 248 bytes");
    CheckBytes(full.substr(0, full.size() - 1), {false, 0, 0}, "247 bytes");
    CheckBytes(full.substr(0, 128 + 24), {false, 0, 0}, "file header only");
}

TEST(PeHeaders, OptionalHeaderSizeAndMagic)
{
    struct Case
    {
        uint16_t machine, optionalSize, magic;
        std::size_t optionalBytes;
        Expect e;
    } cases[] = {
        {0x014C, 224, 0x010B, 224, {true, 32, 0x014C}},
        {0x8664, 240, 0x020B, 240, {true, 64, 0x8664}},
        // The magic number does not match the size: an image without a bitness.
        {0x014C, 224, 0x020B, 224, {true, 0, 0x014C}},
        {0x8664, 240, 0x010B, 240, {true, 0, 0x8664}},
        {0x8664, 240, 0x0107, 240, {true, 0, 0x8664}},
        // A 240-byte header that the file cuts short is still an image.
        {0x8664, 240, 0x020B, 224, {true, 0, 0x8664}},
        {0x8664, 240, 0x020B, 239, {true, 0, 0x8664}},
        // Other sizes above 224 are not read.
        {0x8664, 225, 0x020B, 240, {true, 0, 0x8664}},
        {0x8664, 256, 0x020B, 256, {true, 0, 0x8664}},
        {0x8664, 0xFFFF, 0x020B, 224, {true, 0, 0x8664}},
        {0x0200, 240, 0x020B, 240, {true, 64, 0x0200}},
        {0xAA64, 240, 0x020B, 240, {true, 64, 0xAA64}},
    };
    for (const auto& c : cases)
    {
        ImageSpec s;
        s.machine = c.machine;
        s.optionalSize = c.optionalSize;
        s.magic = c.magic;
        s.optionalBytes = c.optionalBytes;
        CheckBytes(Image(s), c.e,
                   "size " + std::to_string(c.optionalSize) + " magic " + std::to_string(c.magic) +
                       " bytes " + std::to_string(c.optionalBytes));
    }
}

TEST(PeHeaders, OnlyTheMatchingOptionalHeaderIsKept)
{
    Misc::CpeInfo info;
    ImageSpec s;
    s.machine = Misc::CpeInfo::kMachineX64;
    s.optionalSize = 240;
    s.magic = 0x020B;
    s.optionalBytes = 240;
    std::string bytes = Image(s);
    ASSERT_TRUE(info.ReadBytes(bytes.data(), bytes.size()));
    ASSERT_NE(info.OptionalHeader64(), nullptr);
    EXPECT_EQ(info.OptionalHeader64()[0], 0x0B);
    EXPECT_EQ(info.OptionalHeader64()[1], 0x02);
    EXPECT_EQ(info.OptionalHeader32(), nullptr);

    s.magic = 0x010B; // mismatch: nothing kept
    bytes = Image(s);
    ASSERT_TRUE(info.ReadBytes(bytes.data(), bytes.size()));
    EXPECT_EQ(info.OptionalHeader64(), nullptr);
    EXPECT_EQ(info.OptionalHeader32(), nullptr);

    // A failed read leaves nothing of the read before.
    s = ImageSpec{};
    bytes = Image(s);
    ASSERT_TRUE(info.ReadBytes(bytes.data(), bytes.size()));
    ASSERT_NE(info.OptionalHeader32(), nullptr);
    EXPECT_FALSE(info.ReadBytes(bytes.data(), 100));
    EXPECT_FALSE(info.IsRecognised());
    EXPECT_EQ(info.Bitness(), 0);
    EXPECT_EQ(info.Machine(), 0);
    EXPECT_EQ(info.OptionalHeader32(), nullptr);
}

TEST(PeHeaders, PlatformNames)
{
    EXPECT_EQ(Misc::CpeInfo::PlatformName(0x014C), L"x86");
    EXPECT_EQ(Misc::CpeInfo::PlatformName(0x8664), L"x64");
    EXPECT_EQ(Misc::CpeInfo::PlatformName(0x0200), L"Intel Itanium");
    for (uint16_t other : {0x0000, 0x014D, 0x01C4, 0xAA64, 0x8665, 0xFFFF})
        EXPECT_EQ(Misc::CpeInfo::PlatformName(other), L"") << other;
}

// Reads a file through an open handle the way the inventory does: read access,
// writers denied.
struct FileResult
{
    bool opened = false;
    bool result = false;
    bool recognised = false;
    uint16_t bitness = 0;
    uint16_t machine = 0;
};

FileResult ReadImageFile(const std::wstring& path)
{
    FileResult r;
    Misc::FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    r.opened = file.IsValid();
    Misc::CpeInfo info;
    r.result = info.Read(file);
    r.recognised = info.IsRecognised();
    r.bitness = info.Bitness();
    r.machine = info.Machine();
    return r;
}

TEST(PeFile, CraftedFiles)
{
    const struct
    {
        const wchar_t* name;
        Expect e;
        const wchar_t* platform;
    } cases[] = {
        {L"pe_text.txt", {false, 0, 0}, L""},
        {L"pe_mz100.bin", {false, 0, 0}, L""},
        {L"pe_bad_signature.bin", {false, 0, 0}, L""},
        {L"pe_optional_small.bin", {false, 0, 0}, L""},
        {L"pe_optional224.bin", {true, 32, 0x014C}, L"x86"},
        {L"pe_optional240.bin", {true, 64, 0x8664}, L"x64"},
        {L"pe_optional_other.bin", {true, 0, 0x8664}, L"x64"},
        {L"pe_magic_mismatch.bin", {true, 0, 0x014C}, L"x86"},
        {L"pe_itanium.bin", {true, 64, 0x0200}, L"Intel Itanium"},
        {L"pe_unknown_machine.bin", {true, 64, 0xAA64}, L""},
        {L"pe_no_gap.bin", {true, 64, 0x8664}, L"x64"},
    };
    for (const auto& c : cases)
    {
        const std::wstring path = FixturePath(c.name);
        const FileResult r = ReadImageFile(path);
        ASSERT_TRUE(r.opened) << Narrow(c.name);
        EXPECT_EQ(r.result, c.e.result) << Narrow(c.name);
        EXPECT_EQ(r.recognised, c.e.result) << Narrow(c.name);
        EXPECT_EQ(r.bitness, c.e.bitness) << Narrow(c.name);
        EXPECT_EQ(r.machine, c.e.machine) << Narrow(c.name);
        EXPECT_EQ(r.result ? Misc::CpeInfo::PlatformName(r.machine) : L"", c.platform) << Narrow(c.name);

        // The same bytes from memory decide the same.
        CheckBytes(OrvoTest::ReadBytes(path), c.e, Narrow(c.name));
    }
}

TEST(PeFile, BuiltImagesOfBothArchitectures)
{
    const struct
    {
        const wchar_t* name;
        uint16_t bitness;
        uint16_t machine;
    } cases[] = {
        {L"pe64_library.dll", 64, 0x8664},
        {L"pe64_program.exe", 64, 0x8664},
        {L"pe32_library.dll", 32, 0x014C},
        {L"pe32_program.exe", 32, 0x014C},
        {L"version_plain.dll", sizeof(void*) * 8, sizeof(void*) == 8 ? 0x8664 : 0x014C},
    };
    for (const auto& c : cases)
    {
        const std::wstring path = FixturePath(c.name);
        if (!OrvoTest::Exists(path))
        {
            ADD_FAILURE() << "fixture not built: " << Narrow(c.name);
            continue;
        }
        const FileResult r = ReadImageFile(path);
        EXPECT_TRUE(r.result) << Narrow(c.name);
        EXPECT_TRUE(r.recognised) << Narrow(c.name);
        EXPECT_EQ(r.bitness, c.bitness) << Narrow(c.name);
        EXPECT_EQ(r.machine, c.machine) << Narrow(c.name);
    }
}

TEST(PeFile, NoFileFails)
{
    Misc::CpeInfo info;
    EXPECT_FALSE(info.Read(INVALID_HANDLE_VALUE));
    EXPECT_FALSE(info.Read(static_cast<HANDLE>(nullptr)));
    EXPECT_FALSE(info.Read(Misc::FileHandle{}));
    EXPECT_FALSE(info.Read(static_cast<Misc::PeSource*>(nullptr)));
    EXPECT_FALSE(info.IsRecognised());
}

// A file of 5 GiB whose header puts the NT headers almost 4 GiB in: only the headers
// are read, the gap is passed over.
class HugeSource : public Misc::PeSource
{
  public:
    explicit HugeSource(uint32_t lfanew) : m_lfanew(lfanew) {}
    bool Length(uint64_t& length) override
    {
        length = 5ull << 30;
        return true;
    }
    uint32_t Read(void* buffer, uint32_t count) override
    {
        auto* bytes = static_cast<uint8_t*>(buffer);
        std::memset(bytes, 0, count);
        for (uint32_t i = 0; i < count; ++i, ++m_position)
        {
            if (m_position < 2)
                bytes[i] = "MZ"[m_position];
            else if (m_position >= 60 && m_position < 64)
                bytes[i] = static_cast<uint8_t>(m_lfanew >> (8 * (m_position - 60)));
        }
        read += count;
        return count;
    }
    bool Skip(uint32_t count) override
    {
        m_position += count;
        return true;
    }
    uint64_t read = 0;

  private:
    uint32_t m_lfanew;
    uint64_t m_position = 0;
};

TEST(PeSource, AGapOfGigabytesIsSkippedNotRead)
{
    for (uint32_t lfanew : {0xFFFFFF00u, 0x80000000u, 0x40u})
    {
        HugeSource source(lfanew);
        Misc::CpeInfo info;
        EXPECT_FALSE(info.Read(&source)) << lfanew; // zeros where the signature should be
        EXPECT_LE(source.read, 64u + 24u) << lfanew;
    }
}

class PeFileTest : public OrvoTest::TempDirTest
{
};

TEST_F(PeFileTest, SparseFileOfFourGigabytesIsReadQuickly)
{
    const std::wstring path = PathOf(L"huge.dll");
    {
        Misc::FileHandle file(
            ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(file);
        unsigned char header[64] = {'M', 'Z'};
        header[60] = 0xF0, header[61] = 0xFF, header[62] = 0xFF, header[63] = 0xFF; // 0xFFFFFFF0
        DWORD written = 0;
        ASSERT_TRUE(::WriteFile(file.Get(), header, sizeof header, &written, nullptr));
        LARGE_INTEGER end{};
        end.QuadPart = (4ll << 30) + 4096;
        ASSERT_TRUE(::SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN));
        ASSERT_TRUE(::SetEndOfFile(file.Get()));
    }
    const DWORD start = ::GetTickCount();
    const FileResult r = ReadImageFile(path);
    EXPECT_FALSE(r.result);
    EXPECT_LT(::GetTickCount() - start, 2000u) << "the gap was read, not skipped";
    ::DeleteFileW(path.c_str());
}

} // namespace
