#pragma once
// The facts of one recorded file that come from its content and its handle (date,
// size, platform, digest), read through as few opens of the file as they allow.

#include <cstddef>
#include <cstdint>
#include <string>

struct FileFacts
{
    std::wstring date;     // empty when the file cannot be opened for reading without sharing
    std::wstring size;     // "0" when the file cannot be opened at all
    std::wstring platform; // empty unless a recognised image
    std::wstring digest;   // empty when the file cannot be read completely
    // False only when the first bytes were read and they show that the file cannot
    // hold a version resource (neither an executable image nor a compressed one).
    bool mayHoldVersion = true;
};

FileFacts ReadFileFacts(const std::wstring& path);

// Whether a file that starts with these bytes can hold a version resource: only
// executable images ("MZ") and files compressed by the system's expander ("SZDD",
// "KWAJ") are looked into by the version lookup.
bool MayHoldVersionResource(const std::uint8_t* head, std::size_t count);
