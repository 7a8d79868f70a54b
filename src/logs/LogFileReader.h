#pragma once
// Reads a log file for the Log Files view without ever holding it against the
// product, which keeps writing, renaming or deleting it.

#include "logs/LogText.h"

#include <cstdint>
#include <string>
#include <string_view>

// Above this many bytes a log is shown by its tail, on every architecture alike. The
// least the program may show of a log; under Wine the text view alone needs about two
// seconds per MiB (bench/run-logview-bench), so a log at the limit blocks it for
// about half a minute there.
constexpr std::uint64_t kLogViewLimit = 16ull << 20;

struct LogBytes
{
    LogMark mark{LogEncoding::Ansi, 0};
    std::uint64_t offset = 0; // where `bytes` start in the file
    std::string bytes;        // up to the end of the file as it was when opened
};

// False when the file cannot be opened or read. Reads the mark and the last `limit`
// bytes at most.
bool ReadLogBytes(const std::wstring& path, std::uint64_t limit, LogBytes& log);

// The text the view shows for a log held in memory (a log inside a saved archive);
// false when there is no memory for it.
bool LogViewTextOfBytes(std::string_view bytes, std::uint64_t limit, std::wstring& text);

// The text the view shows for the log at `path`; false when it cannot be read.
bool ReadLogViewText(const std::wstring& path, std::uint64_t limit, std::wstring& text);
