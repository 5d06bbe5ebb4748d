#ifndef VARNETH_REPORT_REPORT_LINE_H
#define VARNETH_REPORT_REPORT_LINE_H

// One report line of a decoded record, column by column as the column table
// orders them. The record row and its stream rows share every value but a
// few, so those shared values are gathered once per record.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mft/mft_file_record.h"
#include "report/dos_file_name.h"
#include "report/report_columns.h"
#include "report/time_text.h"

struct RecordRowValues {
    std::uint64_t recno = 0;
    bool in_use = false;
    bool directory = false;
    DosFileNameParts name;      // the first non-DOS name, as split: Filename and Ext
    DosFileNameParts dos_name;  // the first DOS name, as split: DOSFilename
    std::string_view full_path;  // UTF-8
    std::string_view host_name;  // UTF-8, control characters already replaced
    const MFTStdInfoAttr* std_info = nullptr;
    const MFTFileNameAttr* first_file_name = nullptr;  // null: no fn times
    const MFTDataAttr* first_data = nullptr;           // null: no $DATA
};

// The ActualSize of a stream: its value length when resident, else its real size.
std::uint64_t ActualSize(const MFTDataAttr& data);

// Gathers the shared values; the record and the two texts must outlive the
// result.
void GatherRecordRowValues(const MFTFileRecord& record, std::string_view full_path_utf8,
                           std::string_view host_name_utf8, RecordRowValues& values);

// Writes the lines of one format. What it keeps from line to line (the time
// texts already made, the line's storage) only saves work.
class ReportLineWriter {
public:
    explicit ReportLineWriter(ReportFormat format);

    // Appends one complete UTF-8 line (TABs, final LF): the record row when
    // stream is null, else the row of that alternate data stream. Names and
    // paths are written with control characters replaced (text/replacement).
    void Append(std::string& line, const RecordRowValues& values, const MFTDataAttr* stream);

private:
    std::array<const ReportColumn*, kReportColumnCount> columns_{};  // the format's, in order
    std::size_t column_count_ = 0;
    UtcTimeTexts time_texts_;
    std::vector<char> text_;  // the line is made here, then appended whole
};

#endif
