#pragma once
// How the bytes of a log file become the text of the Log Files view: the encoding
// its first bytes announce, the lines, and the part of a large log that is shown.

#include <cstdint>
#include <string>
#include <string_view>

enum class LogEncoding
{
    Ansi,  // the system's ANSI code page
    Utf8,  // after EF BB BF
    Utf16, // little-endian, after FF FE
};

struct LogMark
{
    LogEncoding encoding;
    std::size_t length; // bytes of the byte order mark
};

// The encoding announced by the first bytes of a log (at least three when the file
// has them).
LogMark DetectLogEncoding(std::string_view head);

// The view's text of a log's bytes after the mark: a line ends at a line feed, loses
// a final carriage return and is cut at its first NUL; every line is followed by
// CR LF. A trailing odd byte of UTF-16 text is no character and is dropped.
std::wstring LogViewText(std::string_view bytes, LogEncoding encoding, unsigned ansiCodePage);

// Where reading starts for a log of `fileSize` bytes of which at most `limit` bytes
// after the mark are shown: the mark's end for a log within the limit, else one
// character unit before the last `limit` bytes (on a whole UTF-16 code unit), so that
// the partial line to skip ends with the line feed before a whole last part.
std::uint64_t LogTailOffset(std::uint64_t fileSize, const LogMark& mark, std::uint64_t limit);

// The bytes of the partial line at the start of a tail read from inside a log: up to
// and including its first line feed (none when the tail holds no line feed).
std::size_t PartialFirstLineLength(std::string_view tail, LogEncoding encoding);

// The view's text of the bytes read from `offset` on (the whole log after its mark, or
// its tail): a tail starts at its first whole line, below the note that says how much
// of the beginning is left out.
std::wstring ComposeLogView(std::string_view bytes, const LogMark& mark, std::uint64_t offset,
                            unsigned ansiCodePage);

// The line shown above the tail of a log whose first `leftOut` bytes are not shown.
std::wstring LeftOutNote(std::uint64_t leftOut);

// "1.5 MiB (1572864 bytes)", "512 bytes": a byte count for people.
std::wstring ByteCountText(std::uint64_t bytes);
