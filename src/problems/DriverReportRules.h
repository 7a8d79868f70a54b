#pragma once
// Rules over the driver report "Tarvik_UsbBox.txt" that the USB DMX interface test
// wrote: a driver generation whose library is missing or cannot be loaded, a driver
// that failed to start, crashed, hung or ended its test, and no box found at all.

#include "report/Findings.h"

#include <string>

// The findings of one report text (its lines as the test wrote them), in report order.
FindingList DriverReportFindings(const std::wstring& report);

// The text of a report file as the test writes it (UTF-16 with its byte order mark);
// empty when it cannot be read.
std::wstring ReadDriverReport(const std::wstring& path);
