// Damaged settings and log texts, read as the settings processor reads a settings
// file and as the Log Files tab decodes a log (whole and by its tail): none may crash,
// hang or read past the bytes, and a file gives what its bytes give.

#include "FuzzRun.h"
#include "inventory/TextLines.h"
#include "logs/LogFileReader.h"
#include "logs/LogText.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdio>

namespace
{

constexpr unsigned kCodePage = 1252;

bool HasMark(std::string_view bytes)
{
    return bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 3) == "\xEF\xBB\xBF";
}

// What every settings text holds to: no line holds a line feed; without a mark each
// byte is at most one character and the end-of-text byte ends it.
std::string SettingsFault(std::string_view bytes, const std::vector<std::wstring>& lines)
{
    std::size_t characters = 0;
    for (const std::wstring& line : lines)
    {
        if (line.find(L'\n') != std::wstring::npos)
            return "a line holds a line feed";
        characters += line.size();
        if (!HasMark(bytes) && line.find(L'\x1A') != std::wstring::npos)
            return "a line goes on past the end-of-text byte";
    }
    if (!HasMark(bytes) && characters > bytes.size())
        return "more characters than bytes";
    return {};
}

// What every text of the log view holds to: no NUL, each line ended by CR LF.
std::string ViewFault(const std::wstring& view)
{
    if (view.find(L'\0') != std::wstring::npos)
        return "the view holds a NUL";
    for (std::size_t lf = view.find(L'\n'); lf != std::wstring::npos; lf = view.find(L'\n', lf + 1))
        if (lf == 0 || view[lf - 1] != L'\r')
            return "a line feed without its carriage return";
    if (!view.empty() && view.size() < 2)
        return "a view without its last line end";
    if (!view.empty() && view.compare(view.size() - 2, 2, L"\r\n") != 0)
        return "the last line has no line end";
    return {};
}

// The tail of a log for each limit: where it starts, and the text shown for it.
std::string TailFault(std::string_view bytes, std::uint64_t limit)
{
    const LogMark mark = DetectLogEncoding(bytes.substr(0, 3));
    const std::uint64_t offset = LogTailOffset(bytes.size(), mark, limit);
    const std::uint64_t unit = mark.encoding == LogEncoding::Utf16 ? 2 : 1;
    if (offset < mark.length || (bytes.size() >= mark.length && offset > bytes.size()))
        return "tail offset " + std::to_string(offset) + " outside the log";
    if (offset > mark.length && ((offset - mark.length) % unit != 0 || bytes.size() - offset > limit + unit))
        return "tail offset " + std::to_string(offset) + " not on a unit within the limit";
    if (offset > bytes.size())
        return {};
    const std::wstring view = ComposeLogView(bytes.substr(offset), mark, offset, kCodePage);
    if (offset > mark.length && view.rfind(L"[... The first ", 0) != 0)
        return "a tail without its note";
    return ViewFault(view);
}

class TextFuzzTest : public OrvoTest::TempDirTest
{
};

TEST_F(TextFuzzTest, DamagedTextsNeverCrashHangOrReadPastTheirBytes)
{
    const uint32_t seed = Fuzz::Seed();
    std::printf("fuzz seed %u\n", seed);
    const std::vector<Fuzz::Input> inputs = Fuzz::Selected(Fuzz::TextInputs(seed));
    const auto start = std::chrono::steady_clock::now();
    Fuzz::Watch watch;
    const std::wstring path = PathOf(L"damaged.ini");
    for (std::size_t i = 0; i < inputs.size(); ++i)
    {
        const Fuzz::Input& input = inputs[i];
        const Fuzz::GuardedBuffer buffer(input.bytes);
        const std::string_view bytes = buffer.View();

        watch.Enter("settings text", input.name);
        const std::vector<std::wstring> lines = TextLines(bytes);
        EXPECT_EQ(SettingsFault(bytes, lines), "") << input.name;
        if (i % 5 == 0)
        {
            EXPECT_EQ(TextLines(bytes), lines) << "not the same twice: " << input.name;
        }

        watch.Enter("log decoding", input.name);
        for (LogEncoding encoding : {LogEncoding::Ansi, LogEncoding::Utf8, LogEncoding::Utf16})
            EXPECT_EQ(ViewFault(LogViewText(bytes, encoding, kCodePage)), "")
                << input.name << " as encoding " << static_cast<int>(encoding);
        for (std::uint64_t limit : {std::uint64_t{1}, std::uint64_t{2}, std::uint64_t{3}, std::uint64_t{16},
                                    std::uint64_t{bytes.size() / 2 + 1}})
            EXPECT_EQ(TailFault(bytes, limit), "") << input.name << " limit " << limit;

        watch.Enter("settings file and log file", input.name);
        ASSERT_TRUE(OrvoTest::WriteBytes(path, input.bytes)) << input.name;
        std::vector<std::wstring> fromFile;
        EXPECT_TRUE(ReadTextFileLines(path, fromFile)) << input.name;
        EXPECT_EQ(fromFile, lines) << input.name;
        const LogMark mark = DetectLogEncoding(bytes.substr(0, 3));
        const std::uint64_t offset = LogTailOffset(bytes.size(), mark, 16);
        std::wstring view;
        EXPECT_TRUE(ReadLogViewText(path, 16, view)) << input.name;
        EXPECT_EQ(view, ComposeLogView(bytes.substr(std::min<std::size_t>(offset, bytes.size())), mark,
                                       offset, ::GetACP()))
            << input.name;
        if (::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count() > 40)
            break;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("fuzz: %zu damaged texts, each read as settings text (bytes and file) and as a log "
                "(3 encodings, 5 tails, file); %.1f s\n",
                inputs.size(), seconds);
    if (!std::getenv("ORVO_FUZZ_ONLY"))
    {
        EXPECT_GE(inputs.size(), 400u);
    }
}

} // namespace
