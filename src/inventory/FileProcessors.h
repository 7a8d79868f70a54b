#pragma once
// The file processors of an installation folder's chain: each decides by the file's
// extension and its rules whether it accepts a file, records it and does its own work
// on it, or passes it on.

#include "inventory/ApplicationsInfo.h"
#include "misc/List.h"

#include <cstdint>
#include <string>

// Records every file it gets.
class GenericFileProcessor : public ApplicationsInfo::FileProcessor
{
  public:
    bool Process(FolderContent* folder, const std::wstring& mainFolder, const std::wstring& subFolder,
                 const std::wstring& fileName) override;
};

// Base of the rule-driven processors.
class CommonProcessor : public ApplicationsInfo::FileProcessor
{
  public:
    enum : std::uint32_t
    {
        Prefix = 1,   // the sub-folder mask is compared with the beginning of the sub-folder
        Decline = 2,  // a file this rule decides is passed on
        Act = 4,      // the processor does its own work on the file
        HandOver = 8, // libraries: the record goes to the driver file list instead of the load test
    };

    class DataRec
    {
      public:
        DataRec(const std::wstring& subFolderMask, const std::wstring& fileMask, std::uint32_t flags)
            : m_subFolderMask(subFolderMask), m_fileMask(fileMask), m_flags(flags)
        {
        }
        bool Matches(const std::wstring& subFolder, const std::wstring& fileName) const;

        const std::wstring& SubFolderMask() const { return m_subFolderMask; }
        const std::wstring& FileMask() const { return m_fileMask; }
        std::uint32_t Flags() const { return m_flags; }

      private:
        std::wstring m_subFolderMask;
        std::wstring m_fileMask;
        std::uint32_t m_flags;
    };

    // Appends a rule with Act added, or with Act removed.
    void AddRule(const std::wstring& subFolderMask, const std::wstring& fileMask, std::uint32_t flags);
    void AddPassiveRule(const std::wstring& subFolderMask, const std::wstring& fileMask, std::uint32_t flags);
    // The flags of the first rule, in the order added, that matches; false when none does.
    bool FindRule(const std::wstring& subFolder, const std::wstring& fileName, std::uint32_t& flags);

    const Misc::List<DataRec>& Rules() const { return m_rules; }

  protected:
    // Whether the file name's extension is `extension` (letter case ignored).
    static bool HasExtension(const std::wstring& fileName, const wchar_t* extension);

    // What a processor of files with one extension takes on: the file's record, null when
    // the file is of another kind, a rule declines it or it cannot be recorded (the file
    // then goes on down the chain); and whether the processor does its own work on it.
    struct Claim
    {
        ApplicationsInfo::FileInfo* record = nullptr;
        std::uint32_t flags = 0;
        bool act = false;
    };
    Claim ClaimFile(FolderContent* folder, const std::wstring& mainFolder, const std::wstring& subFolder,
                    const std::wstring& fileName, const wchar_t* extension);

  private:
    Misc::List<DataRec> m_rules;
};

// Libraries: a load test, or the hand-over of the record to the driver test through
// `driverFiles` (the inventory's driver file list; null: nothing is handed over).
class DllProcessor : public CommonProcessor
{
  public:
    explicit DllProcessor(Misc::List<ApplicationsInfo::FileInfo>* driverFiles = nullptr)
        : m_driverFiles(driverFiles)
    {
    }
    bool Process(FolderContent* folder, const std::wstring& mainFolder, const std::wstring& subFolder,
                 const std::wstring& fileName) override;

  private:
    Misc::List<ApplicationsInfo::FileInfo>* m_driverFiles;
};

// Text and settings files: recorded with their content as detail lines.
class TextContentProcessor : public CommonProcessor
{
  public:
    bool Process(FolderContent* folder, const std::wstring& mainFolder, const std::wstring& subFolder,
                 const std::wstring& fileName) override;

  protected:
    explicit TextContentProcessor(const wchar_t* extension) : m_extension(extension) {}

  private:
    const wchar_t* m_extension;
};

class TxtProcessor : public TextContentProcessor
{
  public:
    TxtProcessor() : TextContentProcessor(L"txt") {}
};

class IniProcessor : public TextContentProcessor
{
  public:
    IniProcessor() : TextContentProcessor(L"ini") {}
};

// Programs: their log file in the temporary directory is told to `logFileFound`. It
// never records a file itself.
class LogProcessor : public CommonProcessor
{
  public:
    explicit LogProcessor(ApplicationsInfo::LogFileFound logFileFound = {})
        : m_logFileFound(std::move(logFileFound))
    {
    }
    bool Process(FolderContent* folder, const std::wstring& mainFolder, const std::wstring& subFolder,
                 const std::wstring& fileName) override;

  private:
    ApplicationsInfo::LogFileFound m_logFileFound;
};

// The file-mask and sub-folder-mask tests of a rule.
bool FileMaskMatches(const std::wstring& mask, const std::wstring& fileName);
bool SubFolderMaskMatches(const std::wstring& mask, const std::wstring& subFolder, bool prefix);
