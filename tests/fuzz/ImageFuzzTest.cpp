// Damaged images fed to the version reader, the image reader, the file record's
// facts and the digest: none may crash, hang or read outside its data, and each
// gives the same answer every time.

#include "FuzzRun.h"
#include "inventory/ApplicationsInfo.h"
#include "inventory/MD5.h"
#include "inventory/PeInfo.h"
#include "inventory/VersionInfo.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace
{

using OrvoTest::Narrow;

const wchar_t* const kStrings[] = {L"ProductName", L"ProductVersion", L"FileDescription",
                                   L"CompanyName", L"LegalCopyright", L"InternalName"};

std::wstring VersionFacts(const std::wstring& path)
{
    Misc::VersionInfo info;
    std::wstring facts = info.Load(path) ? L"loaded" : L"none";
    std::wstring text;
    if (info.FileVersionText(text))
        facts += L" " + text;
    for (const wchar_t* name : kStrings)
        if (info.QueryString(name, text))
            facts += L"|" + text;
    return facts;
}

// What the version reader did before it checked the image and the version data: the
// platform's functions on the whole file, the lengths they report trusted, the data
// placed before a page that may not be read. ORVO_FUZZ_UNCHECKED=1 runs it on every
// input, to name the inputs that crash, hang or read past the data without the checks.
void UncheckedVersionRead(const std::wstring& path, Fuzz::Watch& watch, const std::string& input)
{
    watch.Enter("unchecked platform version read", input);
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &handle);
    std::string data(size, '\0');
    if (size == 0 || ::GetFileVersionInfoW(path.c_str(), handle, size, data.data()) != TRUE)
        return;
    const Fuzz::GuardedBuffer buffer(data);
    watch.Enter("unchecked version data query", input);
    const std::pair<const wchar_t*, bool> queries[] = {{L"\\", false},
                                                       {L"\\VarFileInfo\\Translation", false},
                                                       {L"\\StringFileInfo\\040904b0\\ProductName", true},
                                                       {L"\\StringFileInfo\\040904b0\\CompanyName", true}};
    volatile std::uint32_t sum = 0;
    for (const auto& [query, characters] : queries)
    {
        void* value = nullptr;
        UINT length = 0;
        if (!::VerQueryValueW(buffer.Data(), query, &value, &length) || !value)
            continue;
        const std::size_t bytes = characters ? length * sizeof(wchar_t) : length;
        for (std::size_t i = 0; i < bytes; ++i)
            sum = sum + static_cast<const uint8_t*>(value)[i];
    }
}

std::wstring MemoryDigest(const std::string& bytes)
{
    Misc::MD5 md5;
    md5.Update(bytes.data(), bytes.size());
    uint8_t digest[Misc::MD5::kDigestSize];
    md5.Final(digest);
    return Misc::MD5::HexText(digest);
}

class ImageFuzzTest : public OrvoTest::TempDirTest
{
};

TEST_F(ImageFuzzTest, DamagedImagesNeverCrashHangOrDisagree)
{
    const uint32_t seed = Fuzz::Seed();
    std::printf("fuzz seed %u\n", seed);
    const std::vector<Fuzz::Input> inputs = Fuzz::ImageInputs(seed);
    const auto start = std::chrono::steady_clock::now();
    Fuzz::Watch watch;
    const bool unchecked = std::getenv("ORVO_FUZZ_UNCHECKED") != nullptr;
    int versions = 0, recognised = 0;
    ApplicationsInfo::FolderContent folder(Dir(), L"", L"fuzz", 0, false);
    for (std::size_t i = 0; i < inputs.size(); ++i)
    {
        const Fuzz::Input& input = inputs[i];
        const std::wstring name = L"input" + std::to_wstring(i) + L".dll";
        const std::wstring path = PathOf(name);
        ASSERT_TRUE(OrvoTest::WriteBytes(path, input.bytes)) << input.name;

        if (unchecked)
            UncheckedVersionRead(path, watch, input.name);

        // The file facts below read the version of every input; the version reader
        // on its own, twice, checks every fifth for the same answer.
        std::wstring facts;
        if (i % 5 == 0)
        {
            watch.Enter("version reader", input.name);
            facts = VersionFacts(path);
            EXPECT_EQ(VersionFacts(path), facts) << "not the same twice: " << input.name;
        }

        watch.Enter("image reader", input.name);
        Misc::CpeInfo fromFile;
        Misc::CpeInfo fromMemory;
        {
            Misc::FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            ASSERT_TRUE(file) << input.name;
            fromFile.Read(file);
        }
        fromMemory.ReadBytes(input.bytes.data(), input.bytes.size());
        EXPECT_EQ(fromFile.IsRecognised(), fromMemory.IsRecognised()) << input.name;
        EXPECT_EQ(fromFile.Machine(), fromMemory.Machine()) << input.name;
        EXPECT_EQ(fromFile.Bitness(), fromMemory.Bitness()) << input.name;
        recognised += fromMemory.IsRecognised();

        watch.Enter("file facts and digest", input.name);
        ApplicationsInfo::FileInfo* record =
            ApplicationsInfo::FolderContent::RecordFile(&folder, Dir(), L"", name);
        ASSERT_NE(record, nullptr) << input.name;
        EXPECT_EQ(record->Size(), std::to_wstring(input.bytes.size())) << input.name;
        EXPECT_EQ(record->Digest(), MemoryDigest(input.bytes)) << input.name;
        EXPECT_EQ(record->Platform(), fromMemory.IsRecognised()
                                          ? Misc::CpeInfo::PlatformName(fromMemory.Machine())
                                          : std::wstring())
            << input.name;
        if (!facts.empty())
        {
            EXPECT_EQ(record->Version().empty(), facts.find(L"loaded ") != 0) << input.name;
        }
        versions += !record->Version().empty();
        folder.Files().Clear();
        // Every reader let go of the file again.
        EXPECT_TRUE(::DeleteFileW(path.c_str())) << "still held: " << input.name << " " << ::GetLastError();
        // Each failure names its input; after a few the rest would only repeat them.
        if (::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count() > 40)
            break;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf(
        "fuzz: %zu damaged images, each read by the image reader (file and memory) and the file "
        "facts (version, date, size, platform, digest), every fifth also by the version reader twice; "
        "%d kept a file version, %d were images; %.1f s\n",
        inputs.size(), versions, recognised, seconds);
    if (!std::getenv("ORVO_FUZZ_ONLY"))
    {
        EXPECT_GE(inputs.size(), 1000u);
    }
}

} // namespace
