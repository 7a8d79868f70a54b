#pragma once
// Reads a log file for the Log Files view without ever holding it against the
// product, which keeps writing, renaming or deleting it.

#include "logs/LogLines.h"
#include "logs/LogText.h"
#include "misc/Handles.h"

#include <atomic>
#include <cstdint>
#include <string>

// No limit of the caller's: the whole log is read as far as memory allows.
constexpr std::uint64_t kWholeLog = ~std::uint64_t{0};

struct LogBytes
{
    LogMark mark{LogEncoding::Ansi, 0};
    std::uint64_t offset = 0; // where `bytes` start in the file
    std::string bytes;        // up to the end of the file as it was when opened
};

// The log at `path` opened for reading, shared for reading, writing and deleting.
Misc::FileHandle OpenLogFile(const std::wstring& path);

// False when the file cannot be read. Reads the mark and the last `limit` bytes at most.
bool ReadLogBytes(HANDLE file, std::uint64_t limit, LogBytes& log, const std::atomic<bool>* cancel = nullptr);
bool ReadLogBytes(const std::wstring& path, std::uint64_t limit, LogBytes& log);

// The most bytes of a log the view reads: half of what memory and address space have
// free now, at most `limit`.
std::uint64_t ViewableBytes(std::uint64_t limit);

// The rows of a log read from `offset` on: a tail starts at its first whole line,
// below the note that says how much of the beginning is left out. Throws
// std::bad_alloc; false when cancelled or too many rows.
bool IndexLogBytes(LogBytes log, unsigned ansiCodePage, LogLines& lines,
                   const std::atomic<bool>* cancel = nullptr);

// The rows of the log open as `file`: as much of its end as memory allows, the whole
// log when it fits. False when it cannot be read or `cancel` was set.
bool ReadLogLines(HANDLE file, std::uint64_t limit, LogLines& lines,
                  const std::atomic<bool>* cancel = nullptr);

// The rows of a log's bytes held in memory (a log inside an archive).
bool LogLinesOfBytes(std::string bytes, LogLines& lines);

// The text the view shows for the log at `path`, every row followed by CR LF; false
// when it cannot be read.
bool ReadLogViewText(const std::wstring& path, std::uint64_t limit, std::wstring& text);
