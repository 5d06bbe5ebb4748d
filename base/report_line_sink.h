#ifndef VARNETH_BASE_REPORT_LINE_SINK_H
#define VARNETH_BASE_REPORT_LINE_SINK_H

#include <string>

// Where the lines of a record go: each line is appended to Bytes(), then
// LineDone() is called; a false return stops the record's lines.
class ReportLineSink {
public:
    virtual std::string& Bytes() = 0;
    virtual bool LineDone() = 0;

protected:
    ~ReportLineSink() = default;
};

#endif
