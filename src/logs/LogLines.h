#pragma once
// The rows of a log as the Log Files view shows them: the log's bytes held once, a
// sparse index of where rows start, and each row decoded only when it is drawn,
// copied or searched. A view of a large log so costs what the screen shows.

#include "logs/LogText.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class LogLines
{
  public:
    // A line longer than this many characters goes on over the following rows: a list
    // column is at most 32767 pixels wide, and drawing or searching a row so never
    // costs more than a few screen lines.
    static constexpr std::size_t kRowUnits = 2000;
    // The most rows a list of rows can count.
    static constexpr std::size_t kMaxRows = 0x7FFFFFFE;
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    LogLines() = default;

    // Rows of text of their own above the log's rows: a placeholder, or the note that
    // says how much of the log's beginning is left out.
    void AddHead(std::wstring row) { m_head.push_back(std::move(row)); }
    // Takes the bytes after the byte order mark (or a tail from inside the log) and
    // indexes them from `start` on. False when `cancel` was set or the log has more rows
    // than a view can count. Throws std::bad_alloc.
    bool Index(std::string bytes, LogEncoding encoding, unsigned ansiCodePage, std::size_t start = 0,
               const std::atomic<bool>* cancel = nullptr);

    std::size_t Count() const noexcept { return m_head.size() + m_rows; }
    // Characters of the longest row (tabs counted as one).
    std::size_t WidestUnits() const noexcept;
    std::wstring Row(std::size_t row) const;
    // Rows `first` to `last` joined with CR LF between them, as they are copied.
    std::wstring Text(std::size_t first, std::size_t last) const;
    // The next (or previous) row after (before) `from` that holds `needle` regardless
    // of case, going round the end; `from` npos starts at the first (last) row. npos
    // when no row holds it.
    std::size_t Find(std::wstring_view needle, std::size_t from, bool forward) const;

  private:
    struct Span
    {
        std::size_t begin; // first byte shown
        std::size_t end;   // after the last byte shown
        std::size_t next;  // where the next row starts
    };
    Span RowAt(std::size_t offset) const;
    std::size_t RowOffset(std::size_t logRow) const;
    std::wstring Decode(const Span& span) const;
    bool Holds(const Span& span, std::wstring_view folded, std::string_view asciiFolded) const;
    std::size_t FindIn(std::size_t begin, std::size_t end, bool forward, std::wstring_view folded,
                       std::string_view asciiFolded) const;

    std::vector<std::wstring> m_head;
    std::string m_bytes;
    LogEncoding m_encoding = LogEncoding::Ansi;
    unsigned m_codePage = 0;
    std::size_t m_rows = 0;
    std::size_t m_widestBytes = 0;
    std::vector<std::size_t> m_checkpoints; // byte offset of every kStride-th row
};
