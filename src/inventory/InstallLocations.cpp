#include "inventory/InstallLocations.h"

#include "inventory/FileProcessors.h"
#include "inventory/ProbeRunner.h"
#include "inventory/ProductKey.h"
#include "misc/CollectorContracts.h"
#include "misc/NativeArchitecture.h"
#include "report/FileSystem.h"

#include <new>

namespace
{

using FolderContent = ApplicationsInfo::FolderContent;

constexpr DWORD k64 = ProductKeyReader::kView64;
constexpr DWORD k32 = ProductKeyReader::kView32;
constexpr wchar_t kMainSubKey[] = L"Main";
constexpr wchar_t kVarnholt[] = L"Varnholt Brevik";
constexpr wchar_t kTarvik[] = L"Tarvik";
constexpr std::uint32_t kInstallOptions = FolderContent::OptionShowPath | FolderContent::OptionPlain;
constexpr std::uint32_t kFlatOptions = kInstallOptions | FolderContent::OptionFlat;

template <typename P> std::unique_ptr<P> NewProcessor()
{
    return std::unique_ptr<P>(new (std::nothrow) P());
}

template <typename P, typename A> std::unique_ptr<P> NewProcessor(A&& argument)
{
    return std::unique_ptr<P>(new (std::nothrow) P(std::forward<A>(argument)));
}

// The log lookup for programs directly in the folder; programs below it pass.
std::unique_ptr<LogProcessor> NewLogProcessor(const ApplicationsInfo::LogFileFound& logFileFound)
{
    auto processor = NewProcessor<LogProcessor>(logFileFound);
    if (processor)
    {
        processor->AddRule(L"", L"*.exe", 0);
        processor->AddPassiveRule(L"*", L"*.exe", CommonProcessor::Prefix);
    }
    return processor;
}

std::unique_ptr<DllProcessor> NewDllProcessor(Misc::List<ApplicationsInfo::FileInfo>* driverFiles,
                                              bool driver, bool reader, bool xerces)
{
    auto processor = NewProcessor<DllProcessor>(driverFiles);
    if (!processor)
        return processor;
    if (driver)
        processor->AddRule(L"*", L"TarvikUSB.dll", CommonProcessor::HandOver);
    if (reader)
        processor->AddRule(L"*", L"SkarvelReader.dll", 0);
    if (xerces)
        processor->AddRule(L"*", L"xerces-c_2_6.dll", 0);
    processor->AddPassiveRule(L"*", L"*", CommonProcessor::Prefix);
    return processor;
}

// One registry row: its value, its condition and, when the folder is new, the folder
// with its chain. A folder that cannot be made is missing; the scan goes on.
void ProcessRow(const InstallLocation& row, ProductKeyReader& reader, RememberedPaths& remembered,
                FolderContent& root, const ScanHandOver& handOver)
{
    bool found = false;
    const std::wstring value = reader.ReadString(row.value, L"", &found);
    const std::optional<std::wstring> path = RowFolder(row, value, found, remembered, Misc::DirectoryExists);
    if (!path || !root.IsNewTopFolder(*path))
        return;
    try
    {
        auto folder = std::make_unique<FolderContent>(*path, L"", row.label, row.options, false);
        AttachChain(*folder, row.chain, handOver);
        root.AddFolder(std::move(folder));
    }
    catch (const std::bad_alloc&)
    {
    }
}

bool SameKeyParts(const InstallLocation& a, const InstallLocation& b)
{
    return a.view == b.view && std::wstring(a.company) == b.company && std::wstring(a.product) == b.product &&
           a.version == b.version;
}

void ProcessRegisteredFolders(FolderContent& root, const ScanHandOver& handOver)
{
    const bool native64 = Misc::IsNative64BitArchitecture(Misc::NativeProcessorArchitecture());
    ProductKeyReader reader64(k64);
    ProductKeyReader reader32(k32);
    RememberedPaths remembered;
    const InstallLocation* previous = nullptr;
    for (const InstallLocation& row : InstallLocationTable())
    {
        if (row.view == k64 && !native64)
            continue;
        if (!previous || !SameKeyParts(*previous, row))
            SetProductKey(kMainSubKey, row.version, row.product, row.company);
        if (previous && previous->view != row.view)
            remembered = RememberedPaths(); // the 64-bit rows remember nothing for the others
        previous = &row;
        ProcessRow(row, row.view == k64 ? reader64 : reader32, remembered, root, handOver);
    }
}

void ProcessOwnFolder(FolderContent& root)
{
    const std::wstring folder = OwnProgramFolder();
    if (folder.empty() || !root.IsNewTopFolder(folder))
        return;
    try
    {
        auto own = std::make_unique<FolderContent>(folder, L"", kOwnFolderLabel, kFlatOptions, false);
        AttachChain(*own, ProcessorChain::Plain, ScanHandOver());
        root.AddFolder(std::move(own));
    }
    catch (const std::bad_alloc&)
    {
    }
}

} // namespace

const std::vector<InstallLocation>& InstallLocationTable()
{
    using C = ProcessorChain;
    using R = RowCondition;
    static const std::vector<InstallLocation> table = {
        {k64, kVarnholt, L"Orvo", 0x600, L"InstallPathPro", L"Velmora 6 Pro [64]", kInstallOptions,
         C::ProgramFull, R::None},
        {k64, kVarnholt, L"Orvo", 0x600, L"InstallPathLite", L"Velmora 6 Lite [64]", kInstallOptions,
         C::ProgramLite, R::None},
        {k64, kVarnholt, L"Orvo", 0x600, L"Common Lib", L"Velmora 6 Libraries [64]", kInstallOptions,
         C::Libraries, R::None},
        {k32, kVarnholt, L"Orvo", 0x600, L"InstallPathPro", L"Velmora 6 Pro [32]", kInstallOptions,
         C::ProgramFull, R::RememberPro},
        {k32, kVarnholt, L"Orvo", 0x600, L"InstallPathProKVRN", L"Velmora 6 Pro KVRN", kFlatOptions, C::Plain,
         R::Kvrn},
        {k32, kVarnholt, L"Orvo", 0x600, L"InstallPathLite", L"Velmora 6 Lite [32]", kInstallOptions,
         C::ProgramLite, R::RememberLite},
        {k32, kVarnholt, L"Orvo", 0x600, L"InstallPathSkarvelInterface", L"Velmora Skarvel Interface",
         kInstallOptions, C::ModellerInterface, R::Skarvel},
        {k32, kVarnholt, L"Orvo", 0x600, L"Common Lib", L"Velmora 6 Libraries [32]", kInstallOptions,
         C::Libraries, R::None},
        {k32, kVarnholt, L"Orvo_Demo", 0x600, L"InstallPath", L"Velmora 6 DEMO [32]", kInstallOptions,
         C::Demo, R::None},
        {k32, kTarvik, L"Orvo", 0x600, L"InstallPathPro", L"Tarvik Scenira 6 Pro", kInstallOptions,
         C::ProgramFull, R::RememberPro},
        {k32, kTarvik, L"Orvo", 0x600, L"InstallPathProKVRN", L"Tarvik Scenira 6 Pro KVRN", kFlatOptions,
         C::Plain, R::KvrnFallback},
        {k32, kTarvik, L"Orvo", 0x600, L"InstallPathLite", L"Tarvik Scenira 6 Lite", kInstallOptions,
         C::ProgramLite, R::RememberLite},
        {k32, kTarvik, L"Orvo", 0x600, L"InstallPathSkarvelInterface", L"Tarvik Scenira Skarvel Interface",
         kInstallOptions, C::ModellerInterface, R::Skarvel},
        {k32, kTarvik, L"Orvo", 0x600, L"Common Lib", L"Tarvik Scenira 6 Libraries", kInstallOptions,
         C::Libraries, R::None},
        {k32, kTarvik, L"Orvo_Demo", 0x600, L"InstallPath", L"Tarvik Scenira 6 DEMO", kInstallOptions,
         C::Demo, R::None},
        {k32, kTarvik, L"Orvo", 0x500, L"InstallPath", L"Tarvik Scenira 5", kInstallOptions, C::Release5,
         R::None},
        {k32, kTarvik, L"Orvo", 0x500, L"Common Lib", L"Tarvik Scenira 5 Libraries", kInstallOptions,
         C::Libraries, R::None},
    };
    return table;
}

// A remembering row forgets the brand's earlier path first, found or not, so that
// the older brand's rows never compare with the current brand's paths.
std::optional<std::wstring> RowFolder(const InstallLocation& row, const std::wstring& value, bool found,
                                      RememberedPaths& remembered,
                                      const std::function<bool(const std::wstring&)>& folderExists)
{
    switch (row.condition)
    {
    case RowCondition::RememberPro:
        remembered.pro = found ? value : std::wstring();
        remembered.proFound = found;
        break;
    case RowCondition::RememberLite:
        remembered.lite = found ? value : std::wstring();
        remembered.liteFound = found;
        break;
    case RowCondition::Kvrn:
    case RowCondition::KvrnFallback:
    {
        std::wstring path = value;
        if (row.condition == RowCondition::KvrnFallback && (!found || !folderExists(path)))
            path = kKvrnFallbackFolder;
        if ((remembered.proFound && SameFolder(path, remembered.pro)) || !folderExists(path))
            return std::nullopt;
        return path;
    }
    case RowCondition::Skarvel:
        if (!found || (remembered.proFound && SameFolder(value, remembered.pro)) ||
            (remembered.liteFound && SameFolder(value, remembered.lite)))
            return std::nullopt;
        if (const std::wstring path = Misc::JoinPath(value, L"SkarvelInterface"); folderExists(path))
            return path;
        return std::nullopt;
    case RowCondition::None:
        break;
    }
    if (!found)
        return std::nullopt;
    return value;
}

void AttachChain(FolderContent& folder, ProcessorChain chain, const ScanHandOver& handOver)
{
    using C = ProcessorChain;
    switch (chain)
    {
    case C::ProgramFull:
    case C::ProgramLite:
    case C::Release5:
    case C::ModellerInterface:
    case C::Demo:
        folder.AddProcessor(NewProcessor<GenericFileProcessor>());
        folder.AddProcessor(NewProcessor<IniProcessor>());
        if (chain != C::Demo)
            folder.AddProcessor(NewDllProcessor(handOver.driverFiles, chain != C::ModellerInterface, true,
                                                chain == C::ProgramFull));
        if (chain == C::ProgramFull || chain == C::ProgramLite || chain == C::Demo)
            folder.AddProcessor(NewLogProcessor(handOver.logFileFound));
        break;
    case C::Libraries:
    {
        auto text = NewProcessor<TxtProcessor>();
        if (text)
        {
            text->AddPassiveRule(L"Gobo", L"*", CommonProcessor::Prefix | CommonProcessor::Decline);
            folder.AddProcessor(std::move(text));
        }
        else
            folder.AddProcessor(NewProcessor<GenericFileProcessor>());
        break;
    }
    case C::Plain:
        folder.AddProcessor(NewProcessor<GenericFileProcessor>());
        break;
    }
}

std::wstring OwnProgramFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;)
    {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size())
        {
            path.resize(length);
            return Misc::ComposePath(path, Misc::PathFolder);
        }
        if (path.size() >= 32768)
            return {};
        path.resize(path.size() * 2);
    }
}

// Every scan starts from an empty inventory and an empty driver list. The registered
// folders and the program's own are gathered first; then each is walked, in the order
// of their labels.
void ApplicationsInfo::Scan(IStatusInfo* status, const LogFileFound& logFileFound)
{
    if (status)
        status->ShowActivity(L"SCANNING FILES ...");
    Clear();
    ProcessRegisteredFolders(*m_root, ScanHandOver{&m_driverFiles, logFileFound});
    ProcessOwnFolder(*m_root);
    // The load tests of the walk share their unpacked probes.
    ProbeSession probes;
    m_root->Walk(nullptr, status);
}
