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
#include "text/digits.h"

// The full path walk's result (path/full_path_resolver.h) for a directory
// record: where a $FILE_NAME in another folder than the record's path (a
// hard link) is placed. Valid until the next call.
class BodyDirectoryPaths {
public:
    virtual std::string_view WalkPathOf(std::uint64_t recno) = 0;

protected:
    ~BodyDirectoryPaths() = default;
};

// The times of a line, each after its '|', and the LF.
constexpr std::size_t kBodyTimesSize = 88;  // 4 x (1 + 20 digits) + 1, rounded up

// Keeps, from record to record, only storage and texts already made: the
// folders of recent records, and the times of the last lines.
class BodyLineBuilder {
public:
    // The lines of a record with report rows; full_path_utf8 is its path as
    // the report has it. False when the sink refuses a line.
    bool AppendRecordLines(ReportLineSink& sink, const MFTFileRecord& record, std::string_view full_path_utf8,
                           BodyDirectoryPaths& directories);

private:
    struct Line;
    struct Folder {
        bool filled = false;
        std::uint64_t parent = 0;
        std::string walk;  // the walk's text it was made from (folders of paths)
        std::string body;  // its body form, "/" last
    };
    struct TimesText {
        bool filled = false;
        std::uint64_t seconds[4] = {};
        std::size_t length = 0;
        char text[kBodyTimesSize] = {};  // "|atime|mtime|ctime|crtime" and the LF
    };
    static constexpr std::size_t kPathFolders = 64;

    void NameRecord(const MFTFileRecord& record, std::string_view full_path_utf8, BodyDirectoryPaths& directories);
    const std::string& PathFolder(std::uint64_t parent, std::string_view walk_directory);
    const std::string& DirectoryOf(std::uint64_t parent, BodyDirectoryPaths& directories);
    void AppendLineEnd(std::string& out, const Line& line, TimesText& times) const;
    bool AppendFileNameLines(ReportLineSink& sink, const MFTFileRecord& record, BodyDirectoryPaths& directories);
    bool AppendStreamLines(ReportLineSink& sink, const MFTFileRecord& record);

    bool deleted_ = false;
    char recno_text_[24] = {};  // the record number's digits (see PutNumber)
    std::size_t recno_length_ = 0;
    std::uint64_t own_parent_ = 0;
    const std::string* own_directory_ = nullptr;  // body form of the folder of the record's name
    std::string record_start_;  // the record line's MD5 field and name, without the deleted mark
    const MFTFileNameAttr* own_name_ = nullptr;  // the name the record line shows
    std::string own_name_storage_;  // its UTF-8 form (text/utf8_text Utf8In)
    Folder path_folders_[kPathFolders];  // by parent record number
    const std::string root_folder_ = "/";
    Folder own_folder_;                  // found by a second walk
    Folder other_folder_;                // the last other folder found
    TimesText std_info_times_;
    TimesText file_name_times_;
};

#endif
