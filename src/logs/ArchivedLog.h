#pragma once
// A log that came inside a saved archive: the name the report gives it and its bytes,
// held in memory (none when the archive lacks the entry). It is never on disk.

#include <memory>
#include <string>

struct ArchivedLog
{
    std::wstring name;
    std::shared_ptr<const std::string> content;
};
