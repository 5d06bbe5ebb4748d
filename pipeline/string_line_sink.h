#ifndef VARNETH_PIPELINE_STRING_LINE_SINK_H
#define VARNETH_PIPELINE_STRING_LINE_SINK_H

#include <string>

#include "report/report_rows.h"

// Lines collected in a caller's string, to be written elsewhere later.
class StringLineSink final : public ReportLineSink {
public:
    explicit StringLineSink(std::string& bytes) : bytes_(bytes) {}
    std::string& Bytes() override { return bytes_; }
    bool LineDone() override { return true; }

private:
    std::string& bytes_;
};

#endif
