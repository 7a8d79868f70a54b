#pragma once
// The Save command: the name of the archive asked for, then the collection's report
// written section by section into the shared temporary folder and packed with every
// file the sections list into the archive the user names.

#include "collection/Collection.h"

#include <windows.h>

#include <string>
#include <vector>

struct SaveTargets
{
    HWND window = nullptr;         // owns the Save As dialog
    std::wstring archivePath;      // when given, the archive's path instead of the Save As dialog
    IStatusInfo* status = nullptr; // the window as status sink
    // In report order: System, installed files, log files, other files.
    std::vector<SectionWriter> writers;
};

SaveOutcome SaveSequence(const SaveTargets& targets);
