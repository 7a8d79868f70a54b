#pragma once
// What the scan sequence knows of the collectors it runs: the status sink they report
// through, the contract every page and the other-files controller offers, and the two
// collectors whose scan step the sequence runs or clears in its own way.

// The status sink that every collector reports progress through. Collectors take
// it as a pointer and accept null, in which case they report nothing.
class IStatusInfo
{
  public:
    virtual void ShowActivity(const wchar_t* text) = 0; // "SCANNING SYSTEM ..."
    virtual void SetStatus(const wchar_t* text) = 0;    // a plain result or state text
    virtual void Tick(bool big) = 0;                    // progress

  protected:
    // Not deleted through the interface: the window that implements it owns itself.
    ~IStatusInfo() = default;
};

// Every page and the other-files controller: emptied, then filled by a scan.
class ICollector
{
  public:
    virtual void Clear() = 0;
    virtual void Scan(IStatusInfo* status) = 0;

  protected:
    ~ICollector() = default;
};

// The Files page: the sequence empties the tree and the painter's records, runs the
// installed-files scan of the page's model, and has the tree filled again.
class IFilesPageScan
{
  public:
    virtual void Clear() = 0;
    virtual void DeleteTreeItems() = 0;                       // the whole tree, from its root
    virtual void ClearPainterItems() = 0;                     // the painter's item records
    virtual void ScanInstalledFiles(IStatusInfo* status) = 0; // the model's scan
    virtual void SetPainterNeedsFill(bool needsFill) = 0;
    virtual void FillTree() = 0;

  protected:
    ~IFilesPageScan() = default;
};

// The other-files controller: cleared by emptying its entry list, then letting its
// own temporary file manager release the files it staged.
class IOtherFilesScan
{
  public:
    virtual void ClearEntries() = 0;       // the process-wide entry list
    virtual void ReleaseStagedFiles() = 0; // deletes the files of its own manager
    virtual void Scan(IStatusInfo* status) = 0;

  protected:
    ~IOtherFilesScan() = default;
};
