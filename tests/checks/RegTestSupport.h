#pragma once
// Registry fixtures of the checks tests: keys written into the disposable prefix and
// removed again, Wine's own registry tools, and standard output captured.

#include <windows.h>

#include <string>
#include <vector>

namespace ChecksTest
{

// A key (with its sub-keys) that the test writes and that is deleted in both
// directions: before the test, so no leftover counts, and after it.
class TestKey
{
  public:
    TestKey(HKEY hive, std::wstring path, REGSAM view);
    ~TestKey();
    TestKey(const TestKey&) = delete;
    TestKey& operator=(const TestKey&) = delete;

    const std::wstring& Path() const { return m_path; }
    HKEY Hive() const { return m_hive; }
    REGSAM View() const { return m_view; }

    // Creates `subKey` (empty: the key itself) and sets one value in it.
    void Set(const std::wstring& subKey, const std::wstring& name, DWORD type, const void* data, DWORD size);
    void SetText(const std::wstring& subKey, const std::wstring& name, const std::wstring& text,
                 DWORD type = REG_SZ);
    void SetDword(const std::wstring& subKey, const std::wstring& name, DWORD value);
    // Creates `subKey` (empty: the key itself) without values.
    void CreateSubKey(const std::wstring& subKey);
    bool Delete();
    bool Exists() const;

  private:
    HKEY m_hive;
    std::wstring m_path;
    REGSAM m_view;
};

// Runs a command line in the prefix and waits up to a minute; its exit code, or -1.
int RunProgram(const std::wstring& commandLine);

// A copy of a ".reg" file (UTF-8 after EF BB BF) as UTF-16 little-endian after FF FE,
// the form Wine's registry tools import.
bool WriteUtf16Copy(const std::wstring& utf8Path, const std::wstring& utf16Path);

// The first line of an exported file (UTF-8 after EF BB BF, CR LF line ends) that is not
// one of: the header, an empty line, a key line of `root` ("HKEY_CURRENT_USER\\...") or
// below it, a value line, or the continuation of a byte list; with its number. Empty
// when every line is one of these.
std::string FirstStrayRegLine(const std::string& file, const std::string& root);

// The names of a key's values and sub-keys, to see that an import wrote nothing there.
std::vector<std::wstring> KeyListing(HKEY hive, const std::wstring& path);

// Everything written to standard output while it lives.
class StdoutCapture
{
  public:
    explicit StdoutCapture(const std::wstring& file);
    ~StdoutCapture();
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

    // Stops capturing and gives what was written.
    std::string Finish();

  private:
    std::wstring m_file;
    int m_saved = -1;
};

} // namespace ChecksTest
