#ifndef VARNETH_TESTS_REFERENCE_REFERENCE_RUN_H
#define VARNETH_TESTS_REFERENCE_REFERENCE_RUN_H

// The record loop in its plainest form, made here to check the tool against:
// one 1024-byte read after the other, the reference path walk (every
// ancestor read and decoded for every row), the rows of a fresh row builder
// for every record (through the wide GetMFTRecordTabStringArr, converted back
// to UTF-8), the names of the listings as the name lists give them.
// The lines all that gives are taken in order, together with the listed
// names.

#include <string>
#include <vector>

#include "report/report_columns.h"

namespace varneth_test {

enum class ReferenceMode { kReport, kFilenames, kStreams };

struct ReferenceOutput {
    std::string report;               // the report file (report mode)
    std::vector<std::string> events;  // "LOG " and the shown log text, or a listed name, in order
};

// The report is made in the format given, for the tool's default host name.
// Listings run without the verbose switch (they stand alone), so only their
// error lines show.
ReferenceOutput RunReference(const std::string& mft_path, ReferenceMode mode,
                             ReportFormat format = ReportFormat::kDefault);

// The same events from the tool's console: from "Processing $MFT file." on
// (from the start in a listing), time stamps and progress lines taken out,
// the closing lines cut off.
std::vector<std::string> ConsoleEvents(const std::string& console, bool listing);

}  // namespace varneth_test

#endif
