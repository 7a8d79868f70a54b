#pragma once
// Reads a log file for the Log Files view without ever holding it against the
// product, which keeps writing, renaming or deleting it.

#include "logs/LogText.h"

#include <cstdint>
#include <string>

// Above this many bytes a log is shown by its tail. Showing takes about a second per
// 16 MiB under Wine (see bench/LogViewBench.cpp); the same on every architecture.
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

// The text the view shows for the log at `path`; false when it cannot be read.
bool ReadLogViewText(const std::wstring& path, std::uint64_t limit, std::wstring& text);
