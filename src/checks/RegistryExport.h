#pragma once
// Exports of the product's settings keys into ".reg" files (format version 5.00,
// UTF-8 with a byte order mark, CR LF line ends), staged by a temporary file manager.

#include <windows.h>

#include <string>
#include <vector>

namespace Misc
{
class AFileManager;
}

// One row of the export table.
struct RegistryExportRow
{
    const wchar_t* fileName;
    HKEY hive;
    const wchar_t* keyPath;
    REGSAM view; // KEY_WOW64_64KEY, KEY_WOW64_32KEY or 0
};

// The rows that apply on a machine of this native processor architecture, in order:
// the 64-bit view of the product key only where the registry has one.
std::vector<RegistryExportRow> RegistryExportRows(WORD nativeArchitecture);

// What the export of one row met, when it met anything: the key is there but could not
// be written, or names that a ".reg" line cannot hold were left out of it.
struct RegistryExportOutcome
{
    std::wstring fileName;
    std::wstring keyPath;
    bool failed = false;
    unsigned namesLeftOut = 0;
};

// The scan step: every applicable row exported; the staged paths in table order. The
// rows that failed or left names out are added to `outcomes` when given.
std::vector<std::wstring> ExportRegistry(Misc::AFileManager* manager, WORD nativeArchitecture,
                                         std::vector<RegistryExportOutcome>* outcomes = nullptr);

// The staged path of the written file, or empty (missing key, no name, failed export).
// A null manager means the shared one.
// `failed` (when given) is set when the key is there and its export failed.
std::wstring ExportRegistryRow(HKEY hive, const std::wstring& keyPath, const std::wstring& fileName,
                               Misc::AFileManager* manager, REGSAM view, bool* failed = nullptr);

// 0 or a Windows error code; no file is written on error.
LONG ExportRegistryKey(HKEY hive, const std::wstring& keyPath, const std::wstring& outputPath, REGSAM view);

// Appends the key's block and, depth first, its sub-keys' blocks; 0 or an error code.
LONG AppendRegistryKey(HKEY hive, const wchar_t* hiveName, const std::wstring& keyPath, std::wstring& text,
                       REGSAM view);

// The text as UTF-8 after the bytes EF BB BF; true when the whole file was written.
bool WriteRegFile(const std::wstring& path, const std::wstring& text);
