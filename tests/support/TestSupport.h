#pragma once
// Shared helpers of the unit tests: private temporary folders, captured message
// boxes, fixture and artifact locations.

#include <gtest/gtest.h>

#include "misc/Handles.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace OrvoTest
{

// The folder of the running test executable, with a trailing backslash.
std::wstring ExeDir();
// <build>\fixtures\<name>: the test-only binaries built from tests/fixtures/.
std::wstring FixturePath(const std::wstring& name);
// <build>\artifacts\<name>: files that a later ctest step checks with Linux tools.
std::wstring ArtifactPath(const std::wstring& name);

std::string Narrow(const std::wstring& text);
std::wstring Widen(const std::string& text);

bool WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path);
bool Exists(const std::wstring& path);
// Deletes a tree, clearing read-only attributes first (test clean-up must not fail).
void ForceDeleteTree(const std::wstring& dir);

// Dispatches the thread's messages (dialog messages through `dialog`) for up to ms
// milliseconds, or until `done` says so.
void Pump(DWORD ms = 0, HWND dialog = nullptr, const std::function<bool()>& done = {});

// The rows of a list view as it gives them to anyone who asks (a screen reader
// among them), and the same rows each followed by CR LF.
std::vector<std::wstring> ListRows(HWND list);
std::wstring ListText(HWND list);

// The system's text for an error or exception code, as the program asks for it;
// empty when the system has none.
std::wstring SystemText(DWORD code);

// The clipboard's Unicode text; empty when it holds none. EmptyClipboard clears it.
std::wstring ClipboardText();
void EmptyClipboard();

// The probe processes this test process started: other test processes run probes of
// their own at the same time.
std::size_t RunningProbes();

// The MD5 digest of a file's content as 32 upper-case hexadecimal digits, by the
// platform's own cryptographic provider: a reader that shares nothing with the
// program's. Writers are denied while it reads, as the program's facts do; empty when
// the file cannot be read.
std::wstring ReferenceDigest(const std::wstring& path);
// A file time from UTC calendar fields.
FILETIME UtcFileTime(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second);

// Sets an environment variable for the lifetime of the object.
class ScopedEnv
{
  public:
    ScopedEnv(const wchar_t* name, const std::wstring& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    std::wstring m_name;
    std::wstring m_old;
    bool m_hadOld = false;
};

// A fixture with its own empty folder that also serves as the user's temporary
// directory (TMP and TEMP point at it) while the test runs.
class TempDirTest : public ::testing::Test
{
  protected:
    void SetUp() override;
    void TearDown() override;

    // The private folder, without a trailing backslash.
    const std::wstring& Dir() const { return m_dir; }
    std::wstring PathOf(const std::wstring& name) const { return m_dir + L"\\" + name; }

  private:
    std::wstring m_dir;
    std::vector<std::unique_ptr<ScopedEnv>> m_env;
};

struct CapturedBox
{
    HWND owner;
    std::wstring text;
    std::wstring caption;
    UINT type;
};

// Records every message box shown while it lives instead of showing it; each box
// is answered with `answer`.
class MessageBoxCapture
{
  public:
    explicit MessageBoxCapture(int answer = IDOK);
    ~MessageBoxCapture();
    MessageBoxCapture(const MessageBoxCapture&) = delete;
    MessageBoxCapture& operator=(const MessageBoxCapture&) = delete;

    const std::vector<CapturedBox>& Boxes() const { return m_boxes; }

  private:
    std::vector<CapturedBox> m_boxes;
};

// Holds a mutex named in the Wine prefix (shared by every test program of the prefix)
// while it lives: tests that write the same registry keys take turns.
class PrefixLock
{
  public:
    explicit PrefixLock(const wchar_t* name);
    ~PrefixLock();
    PrefixLock(const PrefixLock&) = delete;
    PrefixLock& operator=(const PrefixLock&) = delete;

  private:
    Misc::KernelHandle m_mutex;
};

} // namespace OrvoTest
