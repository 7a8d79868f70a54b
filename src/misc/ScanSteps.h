#pragma once
// What the scan sequence needs of the two collectors whose scan step it runs itself
// or clears in its own way. The pages and the other-files controller implement these
// beside (or instead of) ICollector.

#include "misc/StatusInfo.h"

namespace Misc
{
class AFileManager;
}

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

// The other-files controller: cleared by emptying its entry list and releasing its own
// temporary file manager.
class IOtherFilesScan
{
  public:
    virtual void ClearEntries() = 0;               // the process-wide entry list
    virtual Misc::AFileManager* FileManager() = 0; // its own manager, or null
    virtual void Scan(IStatusInfo* status) = 0;

  protected:
    ~IOtherFilesScan() = default;
};
