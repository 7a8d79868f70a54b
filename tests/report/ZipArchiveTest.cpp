#include "report/ZipArchive.h"

#include "misc/Handles.h"
#include "report/ZipFields.h"
#include "TestSupport.h"
#include "ZipReader.h"

#include <gtest/gtest.h>

#include <winioctl.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <random>
#include <thread>

namespace
{

using Misc::ZipArchive;
using OrvoTest::Narrow;
using OrvoTest::ReadBytes;
using OrvoTest::WriteBytes;

bool WritesArtifacts()
{
    return ::GetEnvironmentVariableW(L"ORVO_WRITE_ARTIFACTS", nullptr, 0) > 0;
}

using OrvoTest::Le16;
using OrvoTest::Le32;

// One entry as the archive's bytes describe it, local header and central record.
struct ParsedEntry
{
    std::uint16_t madeBy, needed, flags, method, time, date;
    std::uint32_t crc, compressedSize, size, external, localOffset, modified;
    std::string name;
    // from the local header
    std::uint16_t localFlags, localMethod, localTime, localDate;
    std::uint32_t localCrc, localCompressed, localSize;
    std::uint32_t localModified, localAccessed, localCreated;
    std::size_t dataOffset;
};

struct ParsedArchive
{
    std::vector<ParsedEntry> entries;
    std::uint32_t directoryOffset = 0, directorySize = 0;
    std::uint16_t countOnDisk = 0, countTotal = 0;
};

// The central record's extra field: the time stamp with the time of the last write.
void ExpectCentralExtra(const std::string& extra, ParsedEntry& e)
{
    ASSERT_EQ(extra.size(), 9u) << e.name;
    EXPECT_EQ(Le16(extra, 0), 0x5455);
    EXPECT_EQ(Le16(extra, 2), 5);
    EXPECT_EQ(static_cast<unsigned char>(extra[4]), 7);
    e.modified = Le32(extra, 5);
}

// The local header's extra field: the time stamp with all three times.
void ExpectLocalExtra(const std::string& extra, ParsedEntry& e)
{
    ASSERT_EQ(extra.size(), 17u) << e.name;
    EXPECT_EQ(Le16(extra, 0), 0x5455);
    EXPECT_EQ(Le16(extra, 2), 13);
    EXPECT_EQ(static_cast<unsigned char>(extra[4]), 7);
    e.localModified = Le32(extra, 5);
    e.localAccessed = Le32(extra, 9);
    e.localCreated = Le32(extra, 13);
}

ParsedEntry ExpectRecord(const OrvoTest::ZipRecord& r)
{
    ParsedEntry e{};
    e.madeBy = r.madeBy;
    e.needed = r.needed;
    e.flags = r.flags;
    e.method = r.method;
    e.time = r.time;
    e.date = r.date;
    e.crc = r.crc;
    e.compressedSize = r.compressedSize;
    e.size = r.size;
    e.external = r.external;
    e.localOffset = r.localOffset;
    e.name = r.name;
    EXPECT_EQ(r.comment, "");
    EXPECT_EQ(r.disk, 0);
    EXPECT_EQ(r.internal, 0); // internal attributes
    ExpectCentralExtra(r.extra, e);

    EXPECT_EQ(r.localNeeded, 20);
    e.localFlags = r.localFlags;
    e.localMethod = r.localMethod;
    e.localTime = r.localTime;
    e.localDate = r.localDate;
    e.localCrc = r.localCrc;
    e.localCompressed = r.localCompressed;
    e.localSize = r.localSize;
    EXPECT_EQ(r.localName, e.name);
    ExpectLocalExtra(r.localExtra, e);
    e.dataOffset = r.dataOffset;
    return e;
}

// Reads the archive from its end record with the test support's reader, and checks
// on the way the fixed fields that every record carries.
ParsedArchive Parse(const std::string& b)
{
    ParsedArchive a;
    EXPECT_GE(b.size(), 22u);
    const OrvoTest::ZipLayout zip = OrvoTest::ParseZip(b);
    EXPECT_TRUE(zip.complete) << "every record where the directory says";
    EXPECT_EQ(zip.endOffset, b.size() - 22) << "no archive comment";
    EXPECT_EQ(zip.disk, 0);
    EXPECT_EQ(zip.directoryDisk, 0);
    a.countOnDisk = zip.countOnDisk;
    a.countTotal = zip.countTotal;
    a.directorySize = zip.directorySize;
    a.directoryOffset = zip.directoryOffset;
    EXPECT_EQ(zip.comment, "");
    EXPECT_EQ(a.directoryOffset + a.directorySize, zip.endOffset);
    for (const OrvoTest::ZipRecord& r : zip.records)
        a.entries.push_back(ExpectRecord(r));
    if (zip.complete)
    {
        EXPECT_EQ(zip.directoryEnd, zip.endOffset) << "central directory ends at the end record";
    }
    return a;
}

// The fields that the local header and the central record share agree, and the
// entries follow each other without gaps or data descriptors.
void ExpectConsistent(const ParsedArchive& a)
{
    std::size_t expectedOffset = 0;
    for (const ParsedEntry& e : a.entries)
    {
        EXPECT_EQ(e.madeBy, 0x0B17);
        EXPECT_EQ(e.needed, 20);
        EXPECT_EQ(e.flags, e.method == 8 ? 0x0002 : 0x0000) << e.name;
        EXPECT_TRUE(e.method == 0 || e.method == 8);
        EXPECT_EQ(e.localFlags, e.flags);
        EXPECT_EQ(e.localMethod, e.method);
        EXPECT_EQ(e.localTime, e.time);
        EXPECT_EQ(e.localDate, e.date);
        EXPECT_EQ(e.localCrc, e.crc);
        EXPECT_EQ(e.localCompressed, e.compressedSize);
        EXPECT_EQ(e.localSize, e.size);
        EXPECT_EQ(e.localModified, e.modified);
        if (e.method == 0)
        {
            EXPECT_EQ(e.compressedSize, e.size);
        }
        EXPECT_EQ(e.localOffset, expectedOffset) << e.name;
        expectedOffset = e.dataOffset + e.compressedSize;
    }
    EXPECT_EQ(a.directoryOffset, expectedOffset);
    EXPECT_EQ(a.countOnDisk, a.entries.size());
    EXPECT_EQ(a.countTotal, a.entries.size());
}

std::uint32_t Crc32(const std::string& data)
{
    std::uint32_t crc = 0xFFFFFFFF;
    for (unsigned char c : data)
    {
        crc ^= c;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320 & (0u - (crc & 1)));
    }
    return ~crc;
}

using OrvoTest::UtcFileTime;

void SetTimes(const std::wstring& path, const FILETIME& written, const FILETIME& accessed,
              const FILETIME& created)
{
    Misc::FileHandle file(::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                        nullptr));
    ASSERT_TRUE(file);
    ASSERT_TRUE(::SetFileTime(file.Get(), &created, &accessed, &written));
}

std::uint32_t ReportedCreationTime(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    EXPECT_TRUE(::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data));
    return Misc::Zip::UnixTime(data.ftCreationTime);
}

std::string TextLike(std::size_t size)
{
    static const char* const words[] = {"scan ",  "adapter ", "Velmora ", "version ",
                                        "6.0.1 ", "OK\r\n",   "ERROR ",   "2023-03-07 13:45:31 "};
    std::string s;
    std::mt19937 rng(7);
    while (s.size() < size)
        s += words[rng() % 8];
    s.resize(size);
    return s;
}

std::string RandomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string s(size, '\0');
    for (char& c : s)
        c = static_cast<char>(rng());
    return s;
}

// A minimal program image: "MZ", the offset of the signature at byte 60, "PE\0\0".
std::string PeImage()
{
    std::string image(512, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    image[60] = static_cast<char>(0x80);
    image.replace(0x80, 4, std::string("PE\0\0", 4));
    return image;
}

class ZipArchiveTest : public OrvoTest::TempDirTest
{
  protected:
    std::wstring Source(const std::wstring& name, const std::string& content)
    {
        const std::wstring path = PathOf(name);
        EXPECT_TRUE(WriteBytes(path, content)) << Narrow(path);
        return path;
    }

    // Writes the archive and its sources to the artifacts folder for the check
    // with unzip and Python: <name>.zip and, per entry in order, a line
    // "<entry name>\t<method>\t<source copy>" in <name>.zip.list.
    void Publish(const std::wstring& name, const std::wstring& archive,
                 const std::vector<std::pair<std::string, std::wstring>>& entries)
    {
        if (!WritesArtifacts())
            return;
        const std::string zip = ReadBytes(archive);
        ASSERT_TRUE(WriteBytes(OrvoTest::ArtifactPath(name + L".zip"), zip));
        const ParsedArchive parsed = Parse(zip);
        ASSERT_EQ(parsed.entries.size(), entries.size());
        std::string list;
        for (std::size_t i = 0; i < entries.size(); ++i)
        {
            const std::wstring copy = name + L".zip." + std::to_wstring(i);
            ASSERT_TRUE(WriteBytes(OrvoTest::ArtifactPath(copy), ReadBytes(entries[i].second)));
            list += entries[i].first + "\t" + std::to_string(parsed.entries[i].method) + "\t" + Narrow(copy) +
                    "\n";
        }
        ASSERT_TRUE(WriteBytes(OrvoTest::ArtifactPath(name + L".zip.list"), list));
    }
};

TEST(ZipFormat, StoredSuffixesByNameOnly)
{
    struct Case
    {
        const wchar_t* name;
        bool stored;
    };
    const Case cases[] = {
        {L"report.ZIP", true}, {L"data.tar.gz", true},   {L"archive.zip.txt", false},
        {L"README", false},    {L"x.Z", true},           {L"x.z", true},
        {L"a.ZOO", true},      {L"a.arc", true},         {L"a.Lzh", true},
        {L"a.arj", true},      {L"backup.TGZ", true},    {L"a.gzip", false},
        {L"zip", false},       {L"a.zip/b", false},      {L".gz", true},
        {L"a.", false},        {L"OrvoDiag.xml", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Misc::Zip::IsStoredName(c.name), c.stored) << Narrow(c.name);
}

TEST(ZipFormat, DosDateAndTimeFromUtcCalendarFields)
{
    struct Case
    {
        WORD year, month, day, hour, minute, second;
        std::uint16_t date, time;
    };
    const Case cases[] = {
        {2023, 3, 7, 13, 45, 31, 0x5667, 0x6DAF},
        {1980, 1, 1, 0, 0, 0, 0x0021, 0x0000},
        {2107, 12, 31, 23, 59, 59, 0xFF9F, 0xBF7D},
        {1979, 12, 31, 23, 59, 59, 0x0021, 0x0000}, // before the DOS era: its first day
        {1601, 1, 1, 0, 0, 0, 0x0021, 0x0000},
        {2200, 6, 1, 12, 0, 0, 0xFF9F, 0xBF7D}, // after it: its last moment
    };
    for (const Case& c : cases)
    {
        SYSTEMTIME st{};
        st.wYear = c.year;
        st.wMonth = c.month;
        st.wDay = c.day;
        st.wHour = c.hour;
        st.wMinute = c.minute;
        st.wSecond = c.second;
        std::uint16_t date = 0, time = 0;
        Misc::Zip::DosDateTime(st, date, time);
        EXPECT_EQ(date, c.date) << c.year;
        EXPECT_EQ(time, c.time) << c.year;
    }
}

TEST(ZipFormat, UnixTimesAndExternalAttributes)
{
    EXPECT_EQ(Misc::Zip::UnixTime(UtcFileTime(1970, 1, 1, 0, 0, 0)), 0u);
    EXPECT_EQ(Misc::Zip::UnixTime(UtcFileTime(2023, 3, 7, 13, 45, 31)), 1678196731u);
    EXPECT_EQ(Misc::Zip::UnixTime(UtcFileTime(1969, 12, 31, 23, 59, 59)), 0xFFFFFFFFu);

    struct Case
    {
        DWORD attributes;
        bool executable;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {FILE_ATTRIBUTE_ARCHIVE, false, 0x81800020},
        {FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY, false, 0x81000021},
        {FILE_ATTRIBUTE_ARCHIVE, true, 0x81C00020},
        {FILE_ATTRIBUTE_NORMAL, false, 0x81800000},
        {FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, false, 0x81800006},
        {FILE_ATTRIBUTE_DIRECTORY, false, 0x41800010},
        {FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_COMPRESSED | FILE_ATTRIBUTE_ARCHIVE, false, 0x81800020},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Misc::Zip::ExternalAttributes(c.attributes, c.executable), c.expected)
            << std::hex << c.attributes;
}

TEST(ZipFormat, ExecutableImageTest)
{
    const std::string image = PeImage();
    const auto* head = reinterpret_cast<const unsigned char*>(image.data());
    EXPECT_EQ(Misc::Zip::ImageSignatureOffset(head, 64, image.size()), 0x80u);
    // The signature must leave room for the file header behind it.
    EXPECT_EQ(Misc::Zip::ImageSignatureOffset(head, 64, 0x80 + 53), 0x80u);
    EXPECT_FALSE(Misc::Zip::ImageSignatureOffset(head, 64, 0x80 + 52));
    EXPECT_FALSE(Misc::Zip::ImageSignatureOffset(head, 40, image.size()));
    EXPECT_FALSE(Misc::Zip::ImageSignatureOffset(head, 64, 40));

    std::string huge = image;
    huge[60] = huge[61] = huge[62] = huge[63] = static_cast<char>(0xFF); // offset 0xFFFFFFFF: no overflow
    EXPECT_FALSE(Misc::Zip::ImageSignatureOffset(reinterpret_cast<const unsigned char*>(huge.data()), 64,
                                                 0x100000000ull));
    std::string notMz = image;
    notMz[1] = 'X';
    EXPECT_FALSE(
        Misc::Zip::ImageSignatureOffset(reinterpret_cast<const unsigned char*>(notMz.data()), 64, 512));

    for (std::uint32_t signature : {0x00004550u, 0x0000454Eu, 0x0000454Cu, 0x00005A4Du})
        EXPECT_TRUE(Misc::Zip::IsImageSignature(signature)) << std::hex << signature;
    for (std::uint32_t signature : {0x00000000u, 0x00454550u, 0x50450000u, 0x00004551u})
        EXPECT_FALSE(Misc::Zip::IsImageSignature(signature)) << std::hex << signature;
}

// Every field of three entries at its offset: a deflated text, a stored ".gz" and
// a program image, with known times and attributes.
TEST_F(ZipArchiveTest, RecordsCarryEveryFieldAtItsOffset)
{
    const std::string text = TextLike(100000);
    const std::string packed = RandomBytes(5000, 1);
    const std::string image = PeImage();
    const std::wstring a = Source(L"Orvo.log", text);
    const std::wstring b = Source(L"data.tar.gz", packed);
    const std::wstring c = Source(L"Orvo.exe", image);
    const FILETIME written = UtcFileTime(2023, 3, 7, 13, 45, 31);
    const FILETIME accessed = UtcFileTime(2024, 1, 2, 3, 4, 5);
    const FILETIME created = UtcFileTime(2020, 2, 29, 23, 59, 58);
    for (const std::wstring& p : {a, b, c})
        SetTimes(p, written, accessed, created);
    ASSERT_TRUE(::SetFileAttributesW(b.c_str(), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY));

    const std::wstring archive = PathOf(L"out.zip");
    {
        ZipArchive zip;
        EXPECT_FALSE(zip.IsOpen());
        EXPECT_TRUE(zip.Path().empty());
        ASSERT_TRUE(zip.Open(archive));
        EXPECT_TRUE(zip.IsOpen());
        EXPECT_EQ(zip.Path(), archive);
        ASSERT_TRUE(zip.AddFile(L"Orvo.log", a));
        ASSERT_TRUE(zip.AddFile(L"data.tar.gz", b));
        ASSERT_TRUE(zip.AddFile(L"Orvo.exe", c));
        ASSERT_TRUE(zip.Close());
        EXPECT_FALSE(zip.IsOpen());
    }
    const std::string bytes = ReadBytes(archive);
    const ParsedArchive parsed = Parse(bytes);
    ExpectConsistent(parsed);
    ASSERT_EQ(parsed.entries.size(), 3u);
    EXPECT_EQ(parsed.countTotal, 3);

    struct Expected
    {
        const char* name;
        std::uint16_t method;
        std::uint32_t external;
        const std::string* content;
        std::wstring source;
    };
    const Expected expected[] = {
        {"Orvo.log", 8, 0x81800020, &text, a},
        {"data.tar.gz", 0, 0x81000021, &packed, b},
        {"Orvo.exe", 8, 0x81C00020, &image, c},
    };
    std::uint32_t localRecords = 0;
    for (std::size_t i = 0; i < 3; ++i)
    {
        const ParsedEntry& e = parsed.entries[i];
        EXPECT_EQ(e.name, expected[i].name);
        EXPECT_EQ(e.method, expected[i].method) << e.name;
        EXPECT_EQ(e.external, expected[i].external) << e.name;
        EXPECT_EQ(e.size, expected[i].content->size()) << e.name;
        EXPECT_EQ(e.crc, Crc32(*expected[i].content)) << e.name;
        EXPECT_EQ(e.time, 0x6DAF) << e.name;
        EXPECT_EQ(e.date, 0x5667) << e.name;
        EXPECT_EQ(e.modified, 1678196731u);
        EXPECT_EQ(e.localAccessed, Misc::Zip::UnixTime(accessed));
        // Not every file system keeps a creation time of its own: the one it reports.
        EXPECT_EQ(e.localCreated, ReportedCreationTime(expected[i].source));
        if (e.method == 0)
        {
            EXPECT_EQ(bytes.substr(e.dataOffset, e.size), *expected[i].content);
        }
        localRecords += static_cast<std::uint32_t>(30 + e.name.size() + 17 + e.compressedSize);
    }
    EXPECT_LT(parsed.entries[0].compressedSize, text.size() / 3) << "text deflates well";
    EXPECT_EQ(parsed.directoryOffset, localRecords);
    Publish(L"zip_fields", archive, {{"Orvo.log", a}, {"data.tar.gz", b}, {"Orvo.exe", c}});
}

TEST_F(ZipArchiveTest, NamesMethodsEmptyFilesAndDuplicates)
{
    ASSERT_TRUE(::CreateDirectoryW(PathOf(L"a").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(PathOf(L"other").c_str(), nullptr));
    const std::string small = "hello, hello, hello, hello\r\n";
    const std::wstring empty = Source(L"empty.bin", "");
    const std::wstring inA = Source(L"a\\b.txt", small);
    const std::wstring first = Source(L"Orvo.log", "first copy\r\n");
    const std::wstring second = Source(L"other\\Orvo.log", "second copy, a bit longer\r\n");
    const std::wstring zipped = Source(L"report.ZIP", small);

    struct Add
    {
        const wchar_t* entry;
        std::wstring source;
        const char* stored;
        std::uint16_t method;
    };
    const Add adds[] = {
        {L"report.ZIP", zipped, "report.ZIP", 0},
        {L"data.tar.gz", empty, "data.tar.gz", 0},
        {L"archive.zip.txt", empty, "archive.zip.txt", 8},
        {L"README", inA, "README", 8},
        {L"a\\b.txt", inA, "a/b.txt", 8},
        {L"Orvo.log", first, "Orvo.log", 8},
        {L"Orvo.log", second, "Orvo.log", 8},
    };
    const std::wstring archive = PathOf(L"names.zip");
    ZipArchive zip;
    ASSERT_TRUE(zip.Open(archive));
    std::vector<std::pair<std::string, std::wstring>> published;
    for (const Add& add : adds)
    {
        ASSERT_TRUE(zip.AddFile(add.entry, add.source)) << Narrow(add.entry);
        published.emplace_back(add.stored, add.source);
    }
    ASSERT_TRUE(zip.Close());

    const std::string bytes = ReadBytes(archive);
    const ParsedArchive parsed = Parse(bytes);
    ExpectConsistent(parsed);
    ASSERT_EQ(parsed.entries.size(), std::size(adds));
    for (std::size_t i = 0; i < std::size(adds); ++i)
    {
        const ParsedEntry& e = parsed.entries[i];
        EXPECT_EQ(e.name, adds[i].stored);
        EXPECT_EQ(e.method, adds[i].method) << e.name;
        EXPECT_EQ(e.size, ReadBytes(adds[i].source).size()) << e.name;
    }
    // Empty sources: nothing stored, and the two-byte deflate encoding of nothing.
    EXPECT_EQ(parsed.entries[1].compressedSize, 0u);
    EXPECT_EQ(parsed.entries[1].crc, 0u);
    EXPECT_EQ(parsed.entries[2].compressedSize, 2u);
    EXPECT_EQ(bytes.substr(parsed.entries[2].dataOffset, 2), std::string("\x03\x00", 2));
    Publish(L"zip_names", archive, published);
}

TEST_F(ZipArchiveTest, FileHeldOpenForWritingIsArchivedAndMissingOnesAreSkipped)
{
    const std::wstring log = PathOf(L"Velmora.log");
    Misc::FileHandle writer(::CreateFileW(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(writer);
    const std::string soFar = "12:00:01 started\r\n12:00:02 scanning\r\n";
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(writer.Get(), soFar.data(), static_cast<DWORD>(soFar.size()), &written, nullptr));

    // A holder that denies reading keeps its file out.
    const std::wstring locked = Source(L"locked.log", "secret");
    Misc::FileHandle lock(::CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock);

    const std::wstring report = Source(L"OrvoDiag.xml", "<Root/>");
    const std::wstring archive = PathOf(L"held.zip");
    ZipArchive zip;
    ASSERT_TRUE(zip.Open(archive));
    EXPECT_TRUE(zip.AddFile(L"Velmora.log", log));
    EXPECT_FALSE(zip.AddFile(L"gone.log", PathOf(L"gone.log")));
    EXPECT_FALSE(zip.AddFile(L"locked.log", locked));
    EXPECT_FALSE(zip.AddFile(L"folder", Dir()));
    EXPECT_FALSE(zip.AddFile(L"self.zip", archive)) << "the archive is open without sharing";
    EXPECT_TRUE(zip.AddFile(L"OrvoDiag.xml", report));
    ASSERT_TRUE(zip.Close());

    // Written on after the archive took its copy: the entry holds the earlier bytes.
    ASSERT_TRUE(::WriteFile(writer.Get(), "more\r\n", 6, &written, nullptr));
    const ParsedArchive parsed = Parse(ReadBytes(archive));
    ExpectConsistent(parsed);
    ASSERT_EQ(parsed.entries.size(), 2u);
    EXPECT_EQ(parsed.entries[0].name, "Velmora.log");
    EXPECT_EQ(parsed.entries[0].size, soFar.size());
    EXPECT_EQ(parsed.entries[0].crc, Crc32(soFar));
    EXPECT_EQ(parsed.entries[1].name, "OrvoDiag.xml");
    writer.Reset();
    if (WritesArtifacts())
    {
        const std::wstring copy = PathOf(L"Velmora.log.copy");
        ASSERT_TRUE(WriteBytes(copy, soFar));
        Publish(L"zip_held", archive, {{"Velmora.log", copy}, {"OrvoDiag.xml", report}});
    }
}

TEST_F(ZipArchiveTest, RefusesWhatItCannotDo)
{
    const std::wstring source = Source(L"x.txt", "x");
    const std::wstring archive = PathOf(L"r.zip");
    ZipArchive zip;
    EXPECT_FALSE(zip.AddFile(L"x.txt", source)) << "not open";
    EXPECT_FALSE(zip.Close()) << "nothing to close";
    EXPECT_FALSE(zip.Open(L""));
    EXPECT_FALSE(zip.Open(PathOf(L"missing\\r.zip")));
    EXPECT_FALSE(zip.IsOpen());
    ASSERT_TRUE(zip.Open(archive));
    EXPECT_FALSE(zip.Open(PathOf(L"second.zip"))) << "one archive per writer";
    EXPECT_FALSE(OrvoTest::Exists(PathOf(L"second.zip")));
    EXPECT_FALSE(zip.AddFile(L"", source));
    EXPECT_TRUE(zip.AddFile(std::wstring(259, L'n'), source));
    EXPECT_FALSE(zip.AddFile(std::wstring(260, L'n'), source)) << "would be cut to another name";
    ASSERT_TRUE(zip.Close());
    EXPECT_FALSE(zip.AddFile(L"x.txt", source)) << "closed";
    const ParsedArchive parsed = Parse(ReadBytes(archive));
    ExpectConsistent(parsed);
    ASSERT_EQ(parsed.entries.size(), 1u);
    EXPECT_EQ(parsed.entries[0].name, std::string(259, 'n'));

    // The destructor finishes an archive that is still open; a used writer can
    // write another archive once closed.
    const std::wstring again = PathOf(L"again.zip");
    {
        ASSERT_TRUE(zip.Open(again));
        ASSERT_TRUE(zip.AddFile(L"x.txt", source));
        ZipArchive other;
        ASSERT_TRUE(other.Open(PathOf(L"dtor.zip")));
        ASSERT_TRUE(other.AddFile(L"x.txt", source));
    }
    ASSERT_TRUE(zip.Close());
    EXPECT_EQ(Parse(ReadBytes(again)).entries.size(), 1u);
    EXPECT_EQ(Parse(ReadBytes(PathOf(L"dtor.zip"))).entries.size(), 1u);
}

// A source of 4 GiB (sparse, so the test stays quick) does not fit the 32-bit
// size fields: refused before anything is written.
TEST_F(ZipArchiveTest, SourceOfFourGigabytesIsRefused)
{
    const std::wstring big = PathOf(L"big.bin");
    {
        Misc::FileHandle file(::CreateFileW(big.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file);
        DWORD returned = 0;
        ::DeviceIoControl(file.Get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
        LARGE_INTEGER size;
        size.QuadPart = 0x100000000ll;
        ASSERT_TRUE(::SetFilePointerEx(file.Get(), size, nullptr, FILE_BEGIN));
        ASSERT_TRUE(::SetEndOfFile(file.Get()));
    }
    const std::wstring small = Source(L"small.txt", "small");
    const std::wstring archive = PathOf(L"big.zip");
    ZipArchive zip;
    ASSERT_TRUE(zip.Open(archive));
    ASSERT_TRUE(zip.AddFile(L"small.txt", small));
    const std::size_t before = ReadBytes(archive).size();
    EXPECT_FALSE(zip.AddFile(L"big.bin", big));
    EXPECT_FALSE(zip.AddFile(L"big.gz", big));
    EXPECT_EQ(ReadBytes(archive).size(), before) << "nothing written for the refused source";
    ASSERT_TRUE(zip.AddFile(L"small2.txt", small));
    ASSERT_TRUE(zip.Close());
    const ParsedArchive parsed = Parse(ReadBytes(archive));
    ExpectConsistent(parsed);
    EXPECT_EQ(parsed.entries.size(), 2u);
}

// The entry counts are 16-bit: the 65536th entry is refused, the 65535 before it
// make a complete archive.
TEST_F(ZipArchiveTest, EntryCountStopsAtTheSixteenBitLimit)
{
    const std::wstring source = Source(L"e.gz", "");
    const std::wstring archive = PathOf(L"many.zip");
    ZipArchive zip;
    ASSERT_TRUE(zip.Open(archive));
    for (unsigned i = 0; i < 65535; ++i)
        ASSERT_TRUE(zip.AddFile(L"e.gz", source)) << i;
    EXPECT_FALSE(zip.AddFile(L"e.gz", source));
    ASSERT_TRUE(zip.Close());
    const std::string bytes = ReadBytes(archive);
    EXPECT_EQ(bytes.size(), 65535u * (30 + 4 + 17 + 46 + 4 + 9) + 22);
    EXPECT_EQ(Le16(bytes, bytes.size() - 22 + 8), 65535);
    EXPECT_EQ(Le16(bytes, bytes.size() - 22 + 10), 65535);
}

// Writing to a full disk: the entry fails, nothing more goes in, and Close says so.
TEST_F(ZipArchiveTest, FailedWriteEndsTheArchive)
{
    const std::wstring source = Source(L"x.txt", "some text");
    ZipArchive zip;
    if (!zip.Open(L"Z:\\dev\\full"))
        GTEST_SKIP() << "no full device here";
    EXPECT_FALSE(zip.AddFile(L"x.txt", source));
    EXPECT_FALSE(zip.AddFile(L"x.txt", source));
    EXPECT_FALSE(zip.Close());
    EXPECT_FALSE(zip.IsOpen());
}

// A source that opens but cannot be read (under Wine, a Linux process's memory
// file): the entry begun for it is cut off again and the archive goes on.
TEST_F(ZipArchiveTest, UnreadableSourceLeavesNoPartialEntry)
{
    const std::wstring unreadable = L"Z:\\proc\\self\\mem";
    {
        Misc::FileHandle probe(::CreateFileW(unreadable.c_str(), GENERIC_READ,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                             nullptr));
        char byte = 0;
        DWORD n = 0;
        if (!probe || ::ReadFile(probe.Get(), &byte, 1, &n, nullptr))
            GTEST_SKIP() << "no unreadable file here";
    }
    const std::wstring fine = Source(L"fine.log", "fine\r\n");
    const std::wstring archive = PathOf(L"unreadable.zip");
    ZipArchive zip;
    ASSERT_TRUE(zip.Open(archive));
    ASSERT_TRUE(zip.AddFile(L"fine.log", fine));
    const std::size_t before = ReadBytes(archive).size();
    EXPECT_FALSE(zip.AddFile(L"mem.log", unreadable));
    EXPECT_FALSE(zip.AddFile(L"mem.gz", unreadable));
    EXPECT_EQ(ReadBytes(archive).size(), before) << "the begun entry is cut off";
    EXPECT_TRUE(zip.AddFile(L"fine2.log", fine));
    ASSERT_TRUE(zip.Close());
    const ParsedArchive parsed = Parse(ReadBytes(archive));
    ExpectConsistent(parsed);
    ASSERT_EQ(parsed.entries.size(), 2u);
    EXPECT_EQ(parsed.entries[1].name, "fine2.log");
}

// A log that its program keeps writing while it is archived: once the archive has
// taken the first part of it, 8 MiB more are appended. The entry holds exactly the
// size the file had when it was opened.
TEST_F(ZipArchiveTest, GrowingSourceIsReadNoFurtherThanItsSizeAtOpening)
{
    const std::string first = RandomBytes(8 * 1024 * 1024, 5);
    const std::wstring log = Source(L"growing.gz", first); // stored: the archive grows as it reads
    const std::wstring archive = PathOf(L"growing.zip");
    const std::string more = RandomBytes(8 * 1024 * 1024, 6);
    std::atomic<bool> done{false};
    std::atomic<bool> appended{false};
    std::thread writer(
        [&]
        {
            while (!done && !appended)
            {
                WIN32_FILE_ATTRIBUTE_DATA data{};
                if (::GetFileAttributesExW(archive.c_str(), GetFileExInfoStandard, &data) &&
                    data.nFileSizeLow > 256 * 1024)
                {
                    Misc::FileHandle file(::CreateFileW(log.c_str(), FILE_APPEND_DATA,
                                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
                    DWORD written = 0;
                    appended = file && ::WriteFile(file.Get(), more.data(), static_cast<DWORD>(more.size()),
                                                   &written, nullptr);
                }
                ::Sleep(1);
            }
        });
    ZipArchive zip;
    ASSERT_TRUE(zip.Open(archive));
    EXPECT_TRUE(zip.AddFile(L"growing.gz", log));
    done = true;
    writer.join();
    ASSERT_TRUE(zip.Close());
    const ParsedArchive parsed = Parse(ReadBytes(archive));
    ExpectConsistent(parsed);
    ASSERT_EQ(parsed.entries.size(), 1u);
    EXPECT_EQ(parsed.entries[0].size, first.size());
    EXPECT_EQ(parsed.entries[0].crc, Crc32(first));
    if (!appended)
        std::printf("note: the log was not appended to while it was read\n");
    if (WritesArtifacts())
    {
        const std::wstring copy = PathOf(L"growing.gz.first");
        ASSERT_TRUE(WriteBytes(copy, first));
        Publish(L"zip_growing", archive, {{"growing.gz", copy}});
    }
}

// Large sources go through in blocks with the CRC over every byte; a file that
// does not shrink is still a deflated entry.
TEST_F(ZipArchiveTest, LargeSourcesStreamThroughInBlocks)
{
    const std::string mixed = TextLike(3 * 1024 * 1024 + 17) + RandomBytes(1024 * 1024 + 5, 2);
    const std::string noise = RandomBytes(200000, 3);
    const std::wstring a = Source(L"mixed.dat", mixed);
    const std::wstring b = Source(L"noise.bin", noise);
    const std::wstring c = Source(L"noise.tgz", noise);
    const std::wstring archive = PathOf(L"large.zip");
    ZipArchive zip;
    ASSERT_TRUE(zip.Open(archive));
    ASSERT_TRUE(zip.AddFile(L"mixed.dat", a));
    ASSERT_TRUE(zip.AddFile(L"noise.bin", b));
    ASSERT_TRUE(zip.AddFile(L"noise.tgz", c));
    ASSERT_TRUE(zip.Close());
    const std::string bytes = ReadBytes(archive);
    const ParsedArchive parsed = Parse(bytes);
    ExpectConsistent(parsed);
    ASSERT_EQ(parsed.entries.size(), 3u);
    EXPECT_EQ(parsed.entries[0].crc, Crc32(mixed));
    EXPECT_EQ(parsed.entries[0].size, mixed.size());
    EXPECT_EQ(parsed.entries[1].method, 8);
    EXPECT_GT(parsed.entries[1].compressedSize, noise.size());
    EXPECT_EQ(parsed.entries[2].method, 0);
    EXPECT_EQ(bytes.substr(parsed.entries[2].dataOffset, noise.size()), noise);
    Publish(L"zip_large", archive, {{"mixed.dat", a}, {"noise.bin", b}, {"noise.tgz", c}});
}

} // namespace
