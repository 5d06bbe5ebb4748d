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
#include <vector>

#include "mft/mft_file_record.h"
#include "path/folder_paths.h"
#include "path/walked_path.h"
#include "report/report_rows.h"
#include "text/digits.h"

// The times of a line, each after its '|', and the LF.
constexpr std::size_t kBodyTimesSize = 88;  // 4 x (1 + 20 digits) + 1, rounded up

// Keeps, from record to record, only storage and texts already made: the
// folders of recent records, and the times of the last lines.
class BodyLineBuilder {
public:
    // The lines of a record with report rows; path is the record's own walk
    // (path/full_path_resolver.h), which ends with the name the report's
    // path takes; folders places names in other folders. False when the sink
    // refuses a line.
    bool AppendRecordLines(ReportLineSink& sink, const MFTFileRecord& record, const WalkedPath& path,
                           FolderPaths& folders);

private:
    struct Line;
    struct Folder {
        bool filled = false;
        std::uint64_t parent = 0;
        std::uint16_t parent_sequence = 0;  // other folders
        // The walk it was made from (folders of paths): how it ended, its
        // text in front of the record's name, and the length of each name.
        WalkedPath::End end = WalkedPath::End::kRoot;
        std::string walk;
        std::vector<std::uint16_t> lengths;
        std::string body;  // its body form, "/" last
    };
    struct TimesText {
        bool filled = false;
        std::uint64_t seconds[4] = {};
        std::size_t length = 0;
        char text[kBodyTimesSize] = {};  // "|atime|mtime|ctime|crtime" and the LF
    };
    static constexpr std::size_t kPathFolders = 64;

    void NameRecord(const MFTFileRecord& record, const WalkedPath& path, FolderPaths& folders);
    const std::string& PathFolder(std::uint64_t parent, const WalkedPath& path);
    const std::string& DirectoryOf(std::uint64_t parent, std::uint16_t sequence, FolderPaths& folders);
    void AppendLineEnd(std::string& out, const Line& line, TimesText& times) const;
    bool AppendFileNameLines(ReportLineSink& sink, const MFTFileRecord& record, FolderPaths& folders);
    bool AppendStreamLines(ReportLineSink& sink, const MFTFileRecord& record);

    bool deleted_ = false;
    char recno_text_[24] = {};  // the record number's digits (see PutNumber)
    std::size_t recno_length_ = 0;
    std::uint64_t own_parent_ = 0;
    std::uint16_t own_parent_sequence_ = 0;
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
