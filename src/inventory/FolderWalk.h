#pragma once
// What the folder walk does with one directory entry.

#include <windows.h>

#include <string>

enum class WalkEntry
{
    Skip,    // not looked at
    Descend, // a sub-folder to walk
    Offer,   // a file to offer to the processors
};

// Entries with the temporary attribute are skipped, so are "." and "..", every
// directory of a flat folder, and directories that are reparse points (junctions and
// symbolic links may lead back to an ancestor).
WalkEntry ClassifyWalkEntry(DWORD attributes, const std::wstring& name, bool flatFolder);
