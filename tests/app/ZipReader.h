#pragma once
// Reads back the archives that the save writes: entry names in central-directory order
// with their inflated contents.

#include <string>
#include <vector>

namespace AppTest
{

struct ZipEntry
{
    std::string name;
    std::string data;
    bool crcMatches = false;
};

// Empty when the file is not a readable archive.
std::vector<ZipEntry> ReadZip(const std::wstring& path, bool* ok = nullptr);

} // namespace AppTest
