#ifndef VARNETH_REPORT_BODY_LINE_H
#define VARNETH_REPORT_BODY_LINE_H

// The body file lines of a decoded record, for timeline tools (The Sleuth
// Kit's 3.x body format, which mactime reads), LF-ended UTF-8:
//
//   0|name|RECNO-TYPE-ID|mode|0|0|size|atime|mtime|ctime|crtime
//
// One line for the record with its $STANDARD_INFORMATION times, one per
// $FILE_NAME with that attribute's own times and " ($FILE_NAME)" after its
// name, one per alternate data stream ("name:stream") with the
// $STANDARD_INFORMATION times. The record's line names the unnamed $DATA
// (type 128), or a directory's $INDEX_ROOT (type 144); without that
// attribute in the record the inode is the record number alone. Times are
// whole seconds since 1970; one not held, or before 1970, is 0. A deleted
// record's names end with " (deleted)".

#include <cstdint>
#include <string>
#include <string_view>

#include "mft/mft_file_record.h"
#include "report/report_rows.h"

// The full path walk's result (path/full_path_resolver.h) for a directory
// record: where a $FILE_NAME in another folder than the record's path (a
// hard link) is placed. Valid until the next call.
class BodyDirectoryPaths {
public:
    virtual std::string_view WalkPathOf(std::uint64_t recno) = 0;

protected:
    ~BodyDirectoryPaths() = default;
};

// Keeps, from record to record, only storage and the last folders made.
class BodyLineBuilder {
public:
    // The lines of a record with report rows; full_path_utf8 is its path as
    // the report has it. False when the sink refuses a line.
    bool AppendRecordLines(ReportLineSink& sink, const MFTFileRecord& record, std::string_view full_path_utf8,
                           BodyDirectoryPaths& directories);

private:
    struct Line;
    void NameRecord(const MFTFileRecord& record, std::string_view full_path_utf8, BodyDirectoryPaths& directories);
    const std::string& DirectoryOf(std::uint64_t parent, BodyDirectoryPaths& directories);
    void AppendLineEnd(std::string& out, const Line& line) const;
    bool AppendFileNameLines(ReportLineSink& sink, const MFTFileRecord& record, BodyDirectoryPaths& directories);
    bool AppendStreamLines(ReportLineSink& sink, const MFTFileRecord& record);

    bool deleted_ = false;
    std::uint64_t own_parent_ = 0;
    bool own_from_walk_ = false;
    std::string own_walk_directory_;  // the walk's text it was made from, when it was
    std::string own_directory_;       // body form of the folder of the record's path, "/" last
    std::uint64_t other_parent_ = 0;
    bool other_valid_ = false;
    std::string other_directory_;  // the last other folder made
    std::string record_name_;      // the record line's name, without the deleted mark
    std::string own_name_utf8_;
};

#endif
