#pragma once
// The installed-files inventory: a tree of folders below one root, each installation
// folder with its chain of file processors, each folder with its recorded files.

#include "misc/List.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class IStatusInfo;

class ApplicationsInfo
{
  public:
    class FileInfo;
    class FileProcessor;
    class FolderContent;

    // Told the path of each existing log file of a program the walk meets.
    using LogFileFound = std::function<void(const std::wstring& path)>;

    ApplicationsInfo();
    ApplicationsInfo(const ApplicationsInfo&) = delete;
    ApplicationsInfo& operator=(const ApplicationsInfo&) = delete;
    virtual ~ApplicationsInfo();

    // Empties the tree below the root and the driver file list; the root stays.
    void Clear();
    // Fills the inventory from scratch: every registered installation folder and the
    // program's own folder, walked through their processors. `status` may be null;
    // `logFileFound` (may be empty) hears of the programs' log files.
    void Scan(IStatusInfo* status, const LogFileFound& logFileFound = {});
    FolderContent& Root() const { return *m_root; }

    // The driver libraries that the walk hands over to the USB interface test, in the
    // order the walk met them: copies of their records.
    Misc::List<FileInfo>& DriverFileList() { return m_driverFiles; }
    const Misc::List<FileInfo>& DriverFileList() const { return m_driverFiles; }

  private:
    std::unique_ptr<FolderContent> m_root;
    Misc::List<FileInfo> m_driverFiles;
};

// One recorded file with its facts and detail lines.
class ApplicationsInfo::FileInfo
{
  public:
    FileInfo(const std::wstring& fullPath, const std::wstring& name);
    // A copy carries every fact and line; its detail cursor starts at the beginning.
    FileInfo(const FileInfo& other);
    FileInfo& operator=(const FileInfo& other);

    const std::wstring& Key() const { return m_name; }

    // Reads version resource, date, size, platform and digest of the file.
    void Fill() noexcept;
    // The facts as a report recorded them, for a file that is not on this machine.
    void SetFacts(const std::wstring& version, const std::wstring& date, const std::wstring& size,
                  const std::wstring& platform, const std::wstring& digest);

    void AddInfoLine(const std::wstring& line) { m_infoLines.push_back(line); }
    bool FirstInfoLine(std::wstring& text);
    bool NextInfoLine(std::wstring& text);
    const std::vector<std::wstring>& InfoLines() const { return m_infoLines; }

    const std::wstring& FullPath() const { return m_fullPath; }
    const std::wstring& Name() const { return m_name; }
    const std::wstring& Version() const { return m_version; }
    const std::wstring& Date() const { return m_date; }
    const std::wstring& Size() const { return m_size; }
    const std::wstring& Platform() const { return m_platform; }
    const std::wstring& Digest() const { return m_digest; }

  private:
    bool InfoLineAtCursor(std::wstring& text);
    void FillFacts();

    std::wstring m_fullPath;
    std::wstring m_name;
    std::wstring m_version;
    std::wstring m_date;
    std::wstring m_size;
    std::vector<std::wstring> m_infoLines;
    std::int32_t m_infoCursor = 0;
    std::wstring m_platform;
    std::wstring m_digest;
};

// Base of the chain of processors of an installation folder: each one either accepts
// a file (and records it) or passes it on to the next.
class ApplicationsInfo::FileProcessor
{
  public:
    using FolderContent = ApplicationsInfo::FolderContent;

    FileProcessor() = default;
    FileProcessor(const FileProcessor&) = delete;
    FileProcessor& operator=(const FileProcessor&) = delete;
    virtual ~FileProcessor();

    // True when this processor or one after it accepted the file.
    virtual bool Process(FolderContent* folder, const std::wstring& mainFolder, const std::wstring& subFolder,
                         const std::wstring& fileName);

    FileProcessor* Next() const { return m_next.get(); }

  protected:
    bool PassOn(FolderContent* folder, const std::wstring& mainFolder, const std::wstring& subFolder,
                const std::wstring& fileName);

  private:
    friend FolderContent;
    std::unique_ptr<FileProcessor> m_next;
};

class ApplicationsInfo::FolderContent
{
  public:
    enum : std::uint32_t
    {
        OptionRoot = 1,     // never scanned itself; its folders are the top level
        OptionShowPath = 2, // the tree row shows the full path after the name
        OptionPlain = 4,    // the tree row keeps the default colours
        OptionFlat = 8,     // the walk does not descend into sub-directories
    };

    FolderContent(const std::wstring& mainFolder, const std::wstring& subFolder, const std::wstring& name,
                  std::uint32_t options, bool rootMark);
    FolderContent(const FolderContent&) = delete;
    FolderContent& operator=(const FolderContent&) = delete;
    virtual ~FolderContent();

    const std::wstring& Key() const { return m_name; }

    // The processor becomes the head of the chain; the chain is consulted in the
    // reverse order of the calls.
    void AddProcessor(std::unique_ptr<FileProcessor> processor);
    FileProcessor* Processors() const { return m_processors.get(); }

    // On the root: true when no top folder already has this path (normalised).
    bool IsNewTopFolder(const std::wstring& path) const;

    // Records one accepted file in `folder` and fills its facts; nullptr when no
    // record could be made.
    static FileInfo* RecordFile(FolderContent* folder, const std::wstring& mainFolder,
                                const std::wstring& subFolder, const std::wstring& fileName);

    FolderContent* AddFolder(std::unique_ptr<FolderContent> folder)
    {
        return m_folders.Add(std::move(folder));
    }

    // Deletes the sub-folders and files (with their processor chains).
    void ClearContent();

    // Offers every file of the folder and (unless flat) of its sub-folders to
    // `processors`, or to the folder's own chain when null; keeps the sub-folders in
    // which a file was accepted. True when a file was accepted here or below. On the
    // root, walks each top folder.
    bool Walk(FileProcessor* processors, IStatusInfo* status);

    bool IsRoot() const { return m_rootMark; }
    std::uint32_t Options() const { return m_options; }
    const std::wstring& MainFolder() const { return m_mainFolder; }
    const std::wstring& SubFolder() const { return m_subFolder; }
    const std::wstring& Name() const { return m_name; }
    const std::wstring& FullPath() const { return m_fullPath; }
    Misc::SortedList<FolderContent>& Folders() { return m_folders; }
    Misc::SortedList<FileInfo>& Files() { return m_files; }
    const Misc::SortedList<FolderContent>& Folders() const { return m_folders; }
    const Misc::SortedList<FileInfo>& Files() const { return m_files; }

  private:
    void DeleteProcessors();

    bool m_rootMark;
    std::uint32_t m_options;
    std::unique_ptr<FileProcessor> m_processors;
    std::wstring m_mainFolder;
    std::wstring m_subFolder;
    std::wstring m_name;
    std::wstring m_fullPath;
    Misc::SortedList<FolderContent> m_folders;
    Misc::SortedList<FileInfo> m_files;
};

// The file's size in bytes as unsigned decimal text; "0" when it cannot be opened.
std::wstring FileSizeText(const std::wstring& path);

// A folder path in the one form used to tell folders apart: normalised, without a
// trailing backslash (except a drive's root).
std::wstring FolderIdentity(const std::wstring& path);
// Whether two paths name the same folder (letter case ignored).
bool SameFolder(const std::wstring& first, const std::wstring& second);
