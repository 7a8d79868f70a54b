#pragma once
// Rules over the operating-system facts.

#include "report/Findings.h"
#include "system/OsFacts.h"

constexpr std::uint64_t kLowDiskSpaceBytes = 1ull << 30; // 1 GiB

// The system drive with less than 1 GiB free, when the scan could measure it.
FindingList DiskSpaceFindings(const OsFacts& facts);
