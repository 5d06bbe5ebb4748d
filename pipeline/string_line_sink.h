#ifndef VARNETH_PIPELINE_STRING_LINE_SINK_H
#define VARNETH_PIPELINE_STRING_LINE_SINK_H

#include <cstdint>
#include <string>

#include "report/report_rows.h"

// Lines collected in a caller's string, to be written elsewhere later, and
// counted.
class StringLineSink final : public ReportLineSink {
public:
    explicit StringLineSink(std::string& bytes) : bytes_(bytes) {}
    std::string& Bytes() override { return bytes_; }
    bool LineDone() override
    {
        ++lines_;
        return true;
    }
    std::uint32_t lines() const { return lines_; }

private:
    std::string& bytes_;
    std::uint32_t lines_ = 0;
};

#endif
