#pragma once
// Where the product registers its installation folders, and what each folder kind's
// chain of file processors does.

#include "inventory/ApplicationsInfo.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

enum class ProcessorChain
{
    ProgramFull,
    ProgramLite,
    Release5,
    ModellerInterface,
    Demo,
    Libraries,
    Plain,
};

enum class RowCondition
{
    None,         // the value found is the folder, whether it exists or not
    RememberPro,  // as None; the value is the brand's Pro path for the rows after it
    RememberLite, // as None; the value is the brand's Lite path
    Kvrn,         // an existing folder other than the brand's Pro path
    KvrnFallback, // as Kvrn, with the fixed folder when the value names none
    Skarvel,      // the SkarvelInterface sub-folder of a path other than Pro and Lite
};

struct InstallLocation
{
    DWORD view; // ProductKeyReader::kView64 or kView32
    const wchar_t* company;
    const wchar_t* product;
    std::uint16_t version;
    const wchar_t* value;
    const wchar_t* label;
    std::uint32_t options;
    ProcessorChain chain;
    RowCondition condition;
};

// The registry rows in the order they are read: the 64-bit view's first (only on
// 64-bit Windows), then the 32-bit view's.
const std::vector<InstallLocation>& InstallLocationTable();

constexpr wchar_t kKvrnFallbackFolder[] = L"C:\\Program Files\\Tarvik Professional\\Orvo 6 Pro";
constexpr wchar_t kOwnFolderLabel[] = L"Orvo Diag";

// The Pro and Lite paths of the brand being read, for the rows that must not list
// them again.
struct RememberedPaths
{
    std::wstring pro;
    std::wstring lite;
    bool proFound = false;
    bool liteFound = false;
};

// The folder that a row adds from its registry value, or none when the row is
// skipped. Updates `remembered` for the rows that remember.
std::optional<std::wstring> RowFolder(const InstallLocation& row, const std::wstring& value, bool found,
                                      RememberedPaths& remembered,
                                      const std::function<bool(const std::wstring&)>& folderExists);

// Where the processors of a scan hand on what they find beside the inventory: the
// driver libraries and the programs' log files. Either may be missing.
struct ScanHandOver
{
    Misc::List<ApplicationsInfo::FileInfo>* driverFiles = nullptr;
    ApplicationsInfo::LogFileFound logFileFound;
};

// Gives the folder the processors of its kind, with their rules.
void AttachChain(ApplicationsInfo::FolderContent& folder, ProcessorChain chain, const ScanHandOver& handOver);

// The folder of the running program (drive and directory, with its backslash), or
// empty when its path cannot be had.
std::wstring OwnProgramFolder();
