#include "checks/RegistryExport.h"

#include "checks/RegValueLine.h"
#include "misc/Handles.h"
#include "misc/NativeArchitecture.h"
#include "misc/Text.h"
#include "report/FileSystem.h"
#include "report/TmpFileManager.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <new>

namespace
{

constexpr wchar_t kHeader[] = L"Windows Registry Editor Version 5.00";
constexpr DWORD kSubKeyNameChars = 1024;
// A value that keeps growing while it is read is given up after this many reads.
constexpr int kMaxValueReads = 4;

const RegistryExportRow kExportTable[] = {
    {L"LM_Orvo_64.reg", HKEY_LOCAL_MACHINE, L"SOFTWARE\\Varnholt Brevik\\Orvo", KEY_WOW64_64KEY},
    {L"LM_Orvo_32.reg", HKEY_LOCAL_MACHINE, L"SOFTWARE\\Varnholt Brevik\\Orvo", KEY_WOW64_32KEY},
    {L"CU_Orvo.reg", HKEY_CURRENT_USER, L"SOFTWARE\\Varnholt Brevik\\Orvo", 0},
    {L"LM_Orvo_Demo_32.reg", HKEY_LOCAL_MACHINE, L"SOFTWARE\\Varnholt Brevik\\Orvo_Demo", KEY_WOW64_32KEY},
    {L"CU_Orvo_Demo.reg", HKEY_CURRENT_USER, L"SOFTWARE\\Varnholt Brevik\\Orvo_Demo", 0},
    {L"LM_Tarvikon.reg", HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tarvik\\Orvo", KEY_WOW64_32KEY},
    {L"CU_Tarvikon.reg", HKEY_CURRENT_USER, L"SOFTWARE\\Tarvik\\Orvo", 0},
    {L"LM_Tarvikon_Demo.reg", HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tarvik\\Orvo_Demo", KEY_WOW64_32KEY},
    {L"CU_Tarvikon_Demo.reg", HKEY_CURRENT_USER, L"SOFTWARE\\Tarvik\\Orvo_Demo", 0},
};

// Diagnostic lines go to standard output, never into an exported file. They are
// written as UTF-8, so that key names outside the console's code page arrive whole.
// Names left out by the exports of this thread, so that a row can say how many of its
// own were (the diagnostic lines go to standard output only).
thread_local unsigned t_namesLeftOut = 0;

void PrintDiagnostic(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    const std::string bytes = Misc::ToCodePage(Misc::FormatV(format, args), CP_UTF8);
    va_end(args);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

LONG OpenKey(HKEY hive, const std::wstring& keyPath, REGSAM view, Misc::RegKey& key)
{
    return ::RegOpenKeyExW(hive, keyPath.c_str(), 0, KEY_READ | view, key.Put());
}

// The name and data buffers of the value enumeration, sized from the key's longest
// value name and data.
struct ValueBuffers
{
    std::vector<wchar_t> name;
    std::vector<BYTE> data;

    LONG Fit(HKEY key, DWORD atLeastData)
    {
        DWORD longestName = 0;
        DWORD longestData = 0;
        const LONG result = ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                               nullptr, &longestName, &longestData, nullptr, nullptr);
        if (result != ERROR_SUCCESS)
            return result;
        try
        {
            name.resize(std::max<std::size_t>(name.size(), std::size_t(longestName) + 1));
            data.resize(std::max<std::size_t>({data.size(), longestData, atLeastData, 1}));
        }
        catch (const std::bad_alloc&)
        {
            return ERROR_OUTOFMEMORY;
        }
        return ERROR_SUCCESS;
    }
};

struct ValueRead
{
    LONG result = ERROR_SUCCESS;
    DWORD nameChars = 0;
    DWORD type = REG_NONE;
    DWORD dataSize = 0;
};

// A value that grew since the buffers were sized (ERROR_MORE_DATA) is read again with
// buffers of the size the registry now reports: a line is never built from a
// truncated buffer.
ValueRead ReadValue(HKEY key, DWORD index, ValueBuffers& buffers)
{
    ValueRead read;
    for (int attempt = 0; attempt < kMaxValueReads; ++attempt)
    {
        read.nameChars = static_cast<DWORD>(buffers.name.size());
        read.dataSize = static_cast<DWORD>(buffers.data.size());
        read.result = ::RegEnumValueW(key, index, buffers.name.data(), &read.nameChars, nullptr, &read.type,
                                      buffers.data.data(), &read.dataSize);
        if (read.result != ERROR_MORE_DATA)
            return read;
        if (buffers.Fit(key, read.dataSize) != ERROR_SUCCESS)
            return read;
    }
    return read;
}

// Values in the registry's enumeration order. An unreadable value ends the values of
// this key but not its export: the sub-keys still follow.
void AppendValues(HKEY key, const std::wstring& keyPath, ValueBuffers& buffers, std::wstring& text)
{
    for (DWORD index = 0;; ++index)
    {
        const ValueRead read = ReadValue(key, index, buffers);
        if (read.result == ERROR_NO_MORE_ITEMS)
            return;
        if (read.result == ERROR_MORE_DATA)
        {
            PrintDiagnostic(L"MORE_DATA_ERROR: %d, Value index: %d, key: '%ls'\n", int(read.result),
                            int(index), keyPath.c_str());
            continue;
        }
        if (read.result != ERROR_SUCCESS)
        {
            PrintDiagnostic(L"ERROR: %d, Value index: %d, key: '%ls'\n", int(read.result), int(index),
                            keyPath.c_str());
            return;
        }
        const std::wstring_view name(buffers.name.data(), read.nameChars);
        if (IsTextLineUnsafe(name))
        {
            ++t_namesLeftOut;
            PrintDiagnostic(L"SKIPPED: a .reg line cannot hold the value name '%ls', key: '%ls'\n",
                            ShowUnsafeName(name).c_str(), keyPath.c_str());
            continue;
        }
        if (IsWrongSizeDword(read.type, read.dataSize))
            PrintDiagnostic(L"Wrong size DWORD:%ls\n", std::wstring(name).c_str());
        text += RegValueLine(name, read.type, buffers.data.data(), read.dataSize);
    }
}

// Depth first: a sub-key's whole tree comes before its next sibling. An unreadable
// sub-key is named on standard output and left out; a failing enumeration ends it.
// A sub-key whose name a key line cannot hold is left out with its tree: written, its
// line break would let the rest of the name stand as a key line of its own. A `[` or
// `]` in a name is harmless: the readers end the key's name at the line's last `]`.
// The name buffer lives on the heap, as keys may nest hundreds of levels deep.
LONG AppendSubKeys(HKEY hive, const wchar_t* hiveName, HKEY key, const std::wstring& keyPath,
                   std::wstring& text, REGSAM view)
{
    std::vector<wchar_t> buffer(kSubKeyNameChars);
    wchar_t* name = buffer.data();
    for (DWORD index = 0;; ++index)
    {
        // The name's length comes with it, so that a NUL inside a name is seen and not
        // taken as its end (which would name another key).
        DWORD nameChars = kSubKeyNameChars;
        const LONG result = ::RegEnumKeyExW(key, index, name, &nameChars, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS)
            return ERROR_SUCCESS;
        if (result == ERROR_MORE_DATA)
        {
            PrintDiagnostic(L"MORE_DATA_ERROR: %d, Subkey index: %d, key: '%ls'\n", int(result), int(index),
                            keyPath.c_str());
        }
        else if (result != ERROR_SUCCESS)
        {
            PrintDiagnostic(L"ERROR: %d, Subkey index: %d, key: '%ls'\n", int(result), int(index),
                            keyPath.c_str());
            return result;
        }
        const std::size_t length = result == ERROR_MORE_DATA
                                       ? ::wcsnlen(name, kSubKeyNameChars - 1)
                                       : std::min<std::size_t>(nameChars, kSubKeyNameChars - 1);
        const std::wstring_view subKeyName(name, length);
        if (IsTextLineUnsafe(subKeyName))
        {
            ++t_namesLeftOut;
            PrintDiagnostic(L"SKIPPED: a .reg line cannot hold the sub-key name '%ls', left out with its "
                            L"sub-keys, key: '%ls'\n",
                            ShowUnsafeName(subKeyName).c_str(), keyPath.c_str());
            continue;
        }
        std::wstring subKeyPath = keyPath + L'\\';
        subKeyPath += subKeyName;
        const LONG subResult = AppendRegistryKey(hive, hiveName, subKeyPath, text, view);
        if (subResult != ERROR_SUCCESS)
            PrintDiagnostic(L"ERROR: %d, Subkey Values: '%ls'\n", int(subResult), subKeyPath.c_str());
    }
}

// A name for the row's file in the manager's folder. A leftover file of that name that
// no entry holds (an earlier run's) is deleted so the name can be had again.
std::wstring StagePath(Misc::AFileManager& manager, const std::wstring& fileName)
{
    std::wstring path = manager.Register(fileName);
    if (!path.empty())
        return path;
    if (!manager.EnsureFolder())
        return {};
    const std::wstring leftover = Misc::JoinPath(manager.FolderPath(), fileName);
    const DWORD attributes = ::GetFileAttributesW(leftover.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) ||
        manager.Find(leftover))
        return {};
    ::DeleteFileW(leftover.c_str());
    return manager.Register(fileName);
}

// Keeps the manager counted while a row uses it.
class HeldManager
{
  public:
    explicit HeldManager(Misc::AFileManager* manager) : m_manager(manager)
    {
        if (m_manager)
            m_manager->AddRef();
    }
    ~HeldManager()
    {
        if (m_manager)
            m_manager->ReleaseRef();
    }
    HeldManager(const HeldManager&) = delete;
    HeldManager& operator=(const HeldManager&) = delete;
    Misc::AFileManager* Get() const { return m_manager; }

  private:
    Misc::AFileManager* m_manager;
};

} // namespace

std::vector<RegistryExportRow> RegistryExportRows(WORD nativeArchitecture)
{
    std::vector<RegistryExportRow> rows;
    for (const RegistryExportRow& row : kExportTable)
        if (row.view != KEY_WOW64_64KEY || Misc::IsNative64BitArchitecture(nativeArchitecture))
            rows.push_back(row);
    return rows;
}

std::vector<std::wstring> ExportRegistry(Misc::AFileManager* manager, WORD nativeArchitecture,
                                         std::vector<RegistryExportOutcome>* outcomes)
{
    std::vector<std::wstring> paths;
    for (const RegistryExportRow& row : RegistryExportRows(nativeArchitecture))
    {
        const unsigned leftOutBefore = t_namesLeftOut;
        bool failed = false;
        std::wstring path =
            ExportRegistryRow(row.hive, row.keyPath, row.fileName, manager, row.view, &failed);
        const unsigned leftOut = t_namesLeftOut - leftOutBefore;
        if (outcomes && (failed || leftOut > 0))
            outcomes->push_back({row.fileName, row.keyPath, failed, leftOut});
        if (!path.empty())
            paths.push_back(std::move(path));
    }
    return paths;
}

namespace
{

// A key too large for the memory left fails its own export only.
LONG ExportKeyWithinMemory(HKEY hive, const std::wstring& keyPath, const std::wstring& outputPath,
                           REGSAM view)
{
    try
    {
        return ExportRegistryKey(hive, keyPath, outputPath, view);
    }
    catch (const std::bad_alloc&)
    {
        PrintDiagnostic(L"ERROR: %d, Out of memory: '%ls'\n", int(ERROR_NOT_ENOUGH_MEMORY), keyPath.c_str());
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

} // namespace

// A missing key gives no file and no message. A failed export leaves nothing behind:
// its staged name is released, which deletes what was written.
std::wstring ExportRegistryRow(HKEY hive, const std::wstring& keyPath, const std::wstring& fileName,
                               Misc::AFileManager* manager, REGSAM view, bool* failed)
{
    const HeldManager held(manager ? manager : Misc::TmpFileManager::Shared());
    if (!held.Get())
        return {};
    Misc::RegKey key;
    if (OpenKey(hive, keyPath, view, key) != ERROR_SUCCESS)
        return {};
    const std::wstring path = StagePath(*held.Get(), fileName);
    if (path.empty() || ExportKeyWithinMemory(hive, keyPath, path, view) != ERROR_SUCCESS)
    {
        if (failed)
            *failed = true;
        if (!path.empty())
            held.Get()->Release(path);
        return {};
    }
    return path;
}

LONG ExportRegistryKey(HKEY hive, const std::wstring& keyPath, const std::wstring& outputPath, REGSAM view)
{
    Misc::RegKey key;
    LONG result = OpenKey(hive, keyPath, view, key);
    if (result != ERROR_SUCCESS)
    {
        PrintDiagnostic(L"RegOpenKeyEx failed, dwR=%d\n", int(result));
        return result;
    }
    const wchar_t* hiveName = RegHiveName(hive);
    if (!hiveName)
    {
        PrintDiagnostic(L"ERROR: Unsupported key: 0x%X\n", unsigned(reinterpret_cast<ULONG_PTR>(hive)));
        return ERROR_INVALID_PARAMETER;
    }
    std::wstring text = Misc::Format(L"%ls\n\n", kHeader);
    result = AppendRegistryKey(hive, hiveName, keyPath, text, view);
    if (result != ERROR_SUCCESS)
    {
        PrintDiagnostic(L"ERROR: %d, Key Values: '%ls'\n", int(result), keyPath.c_str());
        return result;
    }
    if (!WriteRegFile(outputPath, ToCrLf(text)))
    {
        result = static_cast<LONG>(::GetLastError());
        if (result == ERROR_SUCCESS)
            result = ERROR_INVALID_PARAMETER;
        PrintDiagnostic(L"ERROR: %d, Failed to write to file: '%ls'\n", int(result), outputPath.c_str());
    }
    return result;
}

LONG AppendRegistryKey(HKEY hive, const wchar_t* hiveName, const std::wstring& keyPath, std::wstring& text,
                       REGSAM view)
{
    Misc::RegKey key;
    LONG result = OpenKey(hive, keyPath, view, key);
    if (result != ERROR_SUCCESS)
        return result;
    text += L'[';
    text += hiveName;
    text += L'\\';
    text += keyPath;
    text += L"]\n";

    {
        // Released before the sub-keys are read, so that a deep tree holds one key's
        // buffers at a time.
        ValueBuffers buffers;
        result = buffers.Fit(key.Get(), 0);
        if (result != ERROR_SUCCESS)
            return result;
        AppendValues(key.Get(), keyPath, buffers, text);
    }
    text += L'\n';
    return AppendSubKeys(hive, hiveName, key.Get(), keyPath, text, view);
}

bool WriteRegFile(const std::wstring& path, const std::wstring& text)
{
    std::string bytes = "\xEF\xBB\xBF";
    if (!text.empty())
    {
        const std::string utf8 = Misc::ToCodePage(text, CP_UTF8);
        if (utf8.empty())
            return false;
        bytes += utf8;
    }
    Misc::FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    std::size_t written = 0;
    while (written < bytes.size())
    {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1u << 30));
        DWORD done = 0;
        if (!::WriteFile(file.Get(), bytes.data() + written, chunk, &done, nullptr) || done == 0)
            return false;
        written += done;
    }
    return true;
}
