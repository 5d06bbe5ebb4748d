// Writes what the tool must write, made the plain way (the tests' reference
// run): the report and the log lines of the record loop, or the listing.
// The benchmark's identity check compares the tool's output with these.
//
//   reference_report [-l | -s | -f | -a] MFTFILE REPORT EVENTS

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "reference/reference_run.h"

using varneth_test::ReferenceMode;

int main(int argc, char** argv)
{
    ReferenceMode mode = ReferenceMode::kReport;
    ReportFormat format = ReportFormat::kDefault;
    int arg = 1;
    if (argc == 5) {
        const std::string option = argv[arg++];
        format = option == "-l" ? ReportFormat::kLong : option == "-s" ? ReportFormat::kShort : ReportFormat::kDefault;
        mode = option == "-f" ? ReferenceMode::kFilenames
                              : option == "-a" ? ReferenceMode::kStreams : ReferenceMode::kReport;
    }
    if (argc - arg != 3) {
        std::fprintf(stderr, "usage: reference_report [-l | -s | -f | -a] MFTFILE REPORT EVENTS\n");
        return 2;
    }
    const varneth_test::ReferenceOutput output = varneth_test::RunReference(argv[arg], mode, format);
    std::ofstream report(argv[arg + 1], std::ios::binary | std::ios::trunc);
    report << output.report;
    std::ofstream events(argv[arg + 2], std::ios::binary | std::ios::trunc);
    for (const std::string& event : output.events) {
        events << event << '\n';
    }
    return report && events ? 0 : 1;
}
