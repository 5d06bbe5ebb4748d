#ifndef VARNETH_PIPELINE_BODY_FILE_LINES_H
#define VARNETH_PIPELINE_BODY_FILE_LINES_H

#include <string>

#include "mft/mft_file_record.h"
#include "mft/record_source.h"
#include "path/folder_paths.h"
#include "path/walked_path.h"
#include "report/body_line.h"

// The body file's lines of a reported record (report/body_line), made where
// the record is decoded; the writing thread writes them after its rows.
class BodyFileLines {
public:
    // extensions: the reader the report's walk reads extension records with
    // (the folders of hard links are found as the report's folders are).
    BodyFileLines(const RecordSource& mft_file, ExtensionRecordReader* extensions) : folders_(mft_file)
    {
        folders_.ReadExtensionRecordsWith(extensions);
    }

    // Appends the lines of the record, whose walk is path, to `out`.
    void Append(const MFTFileRecord& record, const WalkedPath& path, std::string& out);

private:
    BodyLineBuilder lines_;
    FolderPaths folders_;
};

#endif
