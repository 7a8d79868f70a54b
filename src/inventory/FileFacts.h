#pragma once
// The facts of one recorded file that come from its content and its handle (date,
// size, platform, digest, and the version resource where the image settles which
// entry is its version), read through as few opens of the file as they allow.

#include "inventory/VersionInfo.h"

#include <cstddef>
#include <cstdint>
#include <string>

struct FileFacts
{
    std::wstring date;     // empty when the file cannot be opened for reading without sharing
    std::wstring size;     // "0" when the file cannot be opened at all
    std::wstring platform; // empty unless a recognised image
    std::wstring digest;   // empty when the file cannot be read completely
    // The version resource as far as the pass could read it: read (into the caller's
    // VersionInfo), none, or left to Misc::VersionInfo::Load, which asks the platform
    // (also when the file's first bytes could not be read).
    Misc::ImageVersion version = Misc::ImageVersion::Platform;
};

// The version resource is read from the same bytes, where the file holds one and
// its reading needs no call of the platform: `version` receives it.
FileFacts ReadFileFacts(const std::wstring& path, Misc::VersionInfo* version = nullptr);

// Whether a file that starts with these bytes can hold a version resource: only
// executable images ("MZ") and files compressed by the system's expander ("SZDD",
// "KWAJ") are looked into by the version lookup.
bool MayHoldVersionResource(const std::uint8_t* head, std::size_t count);
