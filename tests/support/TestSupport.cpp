#include "TestSupport.h"

#include "misc/MessageBox.h"
#include "misc/Text.h"

#include <commctrl.h>
#include <tlhelp32.h>
#include <wincrypt.h>

#include <fstream>
#include <iterator>

namespace OrvoTest
{

namespace
{

struct CryptProvider
{
    HCRYPTPROV handle = 0;
    ~CryptProvider()
    {
        if (handle)
            ::CryptReleaseContext(handle, 0);
    }
};

struct CryptHash
{
    HCRYPTHASH handle = 0;
    ~CryptHash()
    {
        if (handle)
            ::CryptDestroyHash(handle);
    }
};

} // namespace

std::wstring ReferenceDigest(const std::wstring& path)
{
    Misc::FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    CryptProvider provider;
    CryptHash hash;
    if (!file ||
        !::CryptAcquireContextW(&provider.handle, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) ||
        !::CryptCreateHash(provider.handle, CALG_MD5, 0, 0, &hash.handle))
        return {};
    std::vector<BYTE> buffer(1 << 16);
    for (;;)
    {
        DWORD read = 0;
        if (!::ReadFile(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
            return {};
        if (read == 0)
            break;
        if (!::CryptHashData(hash.handle, buffer.data(), read, 0))
            return {};
    }
    BYTE digest[16] = {};
    DWORD size = sizeof digest;
    if (!::CryptGetHashParam(hash.handle, HP_HASHVAL, digest, &size, 0) || size != sizeof digest)
        return {};
    std::wstring text;
    for (BYTE b : digest)
        text += Misc::Format(L"%02X", b);
    return text;
}

std::wstring SystemText(DWORD code)
{
    wchar_t* text = nullptr;
    ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                         FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, LANG_USER_DEFAULT, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    Misc::LocalMemory owner(text);
    return text ? text : L"";
}

std::wstring ClipboardText()
{
    std::wstring text;
    if (!::OpenClipboard(nullptr))
        return text;
    if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT))
        if (const auto* chars = static_cast<const wchar_t*>(::GlobalLock(data)))
        {
            text = chars;
            ::GlobalUnlock(data);
        }
    ::CloseClipboard();
    return text;
}

void EmptyClipboard()
{
    if (::OpenClipboard(nullptr))
    {
        ::EmptyClipboard();
        ::CloseClipboard();
    }
}

std::size_t RunningProbes()
{
    std::size_t count = 0;
    const Misc::FileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more;
         more = ::Process32NextW(snapshot.Get(), &entry))
        count += _wcsnicmp(entry.szExeFile, L"OrvoProbe", 9) == 0 &&
                 entry.th32ParentProcessID == ::GetCurrentProcessId();
    return count;
}

std::wstring ExeDir()
{
    wchar_t buffer[MAX_PATH * 4] = {};
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(std::size(buffer)));
    std::wstring path(buffer, n);
    return path.substr(0, path.rfind(L'\\') + 1);
}

std::wstring FixturePath(const std::wstring& name)
{
    return ExeDir() + L"..\\fixtures\\" + name;
}

std::wstring ArtifactPath(const std::wstring& name)
{
    const std::wstring dir = ExeDir() + L"..\\artifacts";
    ::CreateDirectoryW(dir.c_str(), nullptr);
    return dir + L"\\" + name;
}

std::string Narrow(const std::wstring& text)
{
    return Misc::ToCodePage(text, CP_UTF8);
}

std::wstring Widen(const std::string& text)
{
    if (text.empty())
        return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0)
        return {};
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes)
{
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::string ReadBytes(const std::wstring& path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void ForceDeleteTree(const std::wstring& dir)
{
    WIN32_FIND_DATAW entry{};
    HANDLE find = ::FindFirstFileW((dir + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE)
    {
        do
        {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring child = dir + L"\\" + name;
            ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                ForceDeleteTree(child);
            else
                ::DeleteFileW(child.c_str());
        } while (::FindNextFileW(find, &entry));
        ::FindClose(find);
    }
    ::SetFileAttributesW(dir.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::RemoveDirectoryW(dir.c_str());
}

ScopedEnv::ScopedEnv(const wchar_t* name, const std::wstring& value) : m_name(name)
{
    wchar_t buffer[32768];
    const DWORD n = ::GetEnvironmentVariableW(name, buffer, 32768);
    if (n > 0 && n < 32768)
    {
        m_hadOld = true;
        m_old.assign(buffer, n);
    }
    ::SetEnvironmentVariableW(name, value.c_str());
}

ScopedEnv::~ScopedEnv()
{
    ::SetEnvironmentVariableW(m_name.c_str(), m_hadOld ? m_old.c_str() : nullptr);
}

std::vector<std::wstring> ListRows(HWND list)
{
    std::vector<std::wstring> rows;
    const LRESULT count = ::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
    std::wstring buffer(1 << 16, L'\0');
    for (LRESULT row = 0; row < count; ++row)
    {
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(buffer.size());
        const LRESULT length =
            ::SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        rows.emplace_back(item.pszText, static_cast<std::size_t>(length));
    }
    return rows;
}

std::wstring ListText(HWND list)
{
    std::wstring text;
    for (const std::wstring& row : ListRows(list))
        text += row + L"\r\n";
    return text;
}

void Pump(DWORD ms, HWND dialog, const std::function<bool()>& done)
{
    const ULONGLONG until = ::GetTickCount64() + ms;
    for (;;)
    {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            if (dialog && ::IsWindow(dialog) && ::IsDialogMessageW(dialog, &msg))
                continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (done && done())
            return;
        if (::GetTickCount64() >= until)
            return;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

FILETIME UtcFileTime(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second)
{
    SYSTEMTIME st{};
    st.wYear = year;
    st.wMonth = month;
    st.wDay = day;
    st.wHour = hour;
    st.wMinute = minute;
    st.wSecond = second;
    FILETIME ft{};
    ::SystemTimeToFileTime(&st, &ft);
    return ft;
}

void TempDirTest::SetUp()
{
    static unsigned counter = 0;
    wchar_t base[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH + 1, base);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::wstring name = Widen(std::string(info->test_suite_name()) + "_" + info->name());
    for (wchar_t& c : name)
        if (c == L'/' || c == L'\\' || c == L':')
            c = L'_';
    m_dir = Misc::Format(L"%lsorvotest_%lu_%u_%ls", base, ::GetCurrentProcessId(), ++counter, name.c_str());
    ForceDeleteTree(m_dir);
    ASSERT_TRUE(::CreateDirectoryW(m_dir.c_str(), nullptr)) << Narrow(m_dir);
    m_env.push_back(std::make_unique<ScopedEnv>(L"TMP", m_dir + L"\\"));
    m_env.push_back(std::make_unique<ScopedEnv>(L"TEMP", m_dir + L"\\"));
}

void TempDirTest::TearDown()
{
    m_env.clear();
    ForceDeleteTree(m_dir);
}

MessageBoxCapture::MessageBoxCapture(int answer)
{
    Misc::SetMessageBoxHandler(
        [this, answer](HWND owner, const std::wstring& text, const std::wstring& caption, UINT type)
        {
            m_boxes.push_back({owner, text, caption, type});
            return answer;
        });
}

MessageBoxCapture::~MessageBoxCapture()
{
    Misc::SetMessageBoxHandler(nullptr);
    Misc::SetMessageBoxHandler(
        [](HWND, const std::wstring& text, const std::wstring& caption, UINT)
        {
            ADD_FAILURE() << "unexpected message box \"" << Narrow(caption) << "\": " << Narrow(text);
            return IDOK;
        });
}

PrefixLock::PrefixLock(const wchar_t* name) : m_mutex(::CreateMutexW(nullptr, FALSE, name))
{
    if (m_mutex)
        ::WaitForSingleObject(m_mutex.Get(), INFINITE); // an abandoned mutex is ours as well
}

PrefixLock::~PrefixLock()
{
    if (m_mutex)
        ::ReleaseMutex(m_mutex.Get());
}

} // namespace OrvoTest
