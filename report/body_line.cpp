#include "report/body_line.h"

#include <algorithm>
#include <cstring>

#include "mft/attribute_walk.h"
#include "mft/file_name_choice.h"
#include "path/full_path_pass.h"
#include "report/body_name.h"
#include "report/report_line.h"
#include "text/block_copy.h"
#include "text/digits.h"
#include "text/utf8_text.h"

namespace {

constexpr std::string_view kMd5Field = "0|";
constexpr std::string_view kFileNameMark = " ($FILE_NAME)";
constexpr std::string_view kDeletedMark = " (deleted)";
// The deleted mark, the inode, the mode, UID, GID, size and times, each
// copied whole (see PutText), with room to spare.
constexpr std::size_t kLineEndSize = 256;

// Whole seconds since 1970; decoding made every time a whole second.
std::uint64_t BodySeconds(const wxDateTime& time)
{
    if (!time.IsValid()) {
        return 0;
    }
    const long long milliseconds = time.GetValue().GetValue();
    return milliseconds > 0 ? static_cast<std::uint64_t>(milliseconds / 1000) : 0;
}

// The id of the next attribute of the type from `at` on (moved past it), or -1.
int NextAttributeId(const MFTFileRecord& record, std::uint32_t type, std::size_t& at)
{
    for (; at < record.attr_header_array.size(); ++at) {
        if (record.attr_header_array[at]->attr_type == type) {
            return record.attr_header_array[at++]->attr_id;
        }
    }
    return -1;
}

const MFTDataAttr* UnnamedData(const MFTFileRecord& record)
{
    for (const MFTDataAttr* data : record.data_attr_array) {
        if (data != nullptr && !data->is_ads) {
            return data;
        }
    }
    return nullptr;
}

bool IsDirectory(const MFTFileRecord& record)
{
    return (record.mft_header.record_flags & kRecordIsDirectory) != 0;
}

// The size on the record's own and $FILE_NAME lines.
std::uint64_t RecordSize(const MFTFileRecord& record)
{
    const MFTDataAttr* data = UnnamedData(record);
    return IsDirectory(record) || data == nullptr ? 0 : ActualSize(*data);
}

constexpr std::string_view kFileMode = "|r/rrwxrwxrwx|0|0|";
constexpr std::string_view kDirectoryMode = "|d/drwxrwxrwx|0|0|";
static_assert(kFileMode.size() == kDirectoryMode.size(), "one copy size for both modes");
// The attribute types in the inode field, with the dashes around them.
constexpr std::size_t kTypeTextSize = 5;
constexpr std::string_view kFileNameType = "-48-";
constexpr std::string_view kDataType = "-128-";
constexpr std::string_view kIndexRootType = "-144-";
static_assert(kAttrTypeFileName == 48 && kAttrTypeData == 128 && kAttrTypeIndexRoot == 144, "the type texts");

// "|atime|mtime|ctime|crtime" and the LF; a $FILE_NAME's four times are often one.
char* PutTimes(char* out, const std::uint64_t (&seconds)[4])
{
    const char* previous = nullptr;
    for (std::size_t i = 0; i < 4; ++i) {
        *out++ = '|';
        char* const start = out;
        if (i > 0 && seconds[i] == seconds[i - 1]) {
            out = std::copy(previous, static_cast<const char*>(start - 1), out);
        } else {
            out = PutNumber(out, seconds[i]);
        }
        previous = start;
    }
    *out++ = '\n';
    return out;
}

}  // namespace

// Everything after the name.
struct BodyLineBuilder::Line {
    std::string_view type_text;  // "-TYPE-"
    int attr_id;  // -1: the record number alone
    bool directory;
    std::uint64_t size;
    const wxDateTime& access;
    const wxDateTime& mod;
    const wxDateTime& mft_mod;
    const wxDateTime& create;
};

bool BodyLineBuilder::AppendRecordLines(ReportLineSink& sink, const MFTFileRecord& record, const WalkedPath& path,
                                        FolderPaths& folders)
{
    if (record.file_name_array.empty()) {
        return true;  // no report rows either
    }
    deleted_ = (record.mft_header.record_flags & kRecordInUse) == 0;
    recno_length_ = static_cast<std::size_t>(PutNumber(recno_text_, record.mft_header.mft_recno) - recno_text_);
    NameRecord(record, path, folders);
    const bool directory = IsDirectory(record);
    const MFTDataAttr* data = UnnamedData(record);
    const int id = directory ? record.index_root_id : (data != nullptr ? data->attr_id : -1);
    const MFTStdInfoAttr& times = record.std_info;
    const Line line{directory ? kIndexRootType : kDataType, id, directory, RecordSize(record),
                    times.access_time, times.mod_time, times.mft_mod_time, times.create_time};
    std::string& out = sink.Bytes();
    out.append(record_start_);
    AppendLineEnd(out, line, std_info_times_);
    return sink.LineDone() && AppendFileNameLines(sink, record, folders) && AppendStreamLines(sink, record);
}

// The record line's name: the folder of the name its path ends with (the
// walk's names in front of it where the path has that name), and that name;
// the root is "/". The walk's first pass took the record's path name: the
// path's last name is its UTF-8 form.
void BodyLineBuilder::NameRecord(const MFTFileRecord& record, const WalkedPath& path, FolderPaths& folders)
{
    const MFTFileNameAttr* path_name = PathFileName(record);
    const MFTFileNameAttr* name = path_name != nullptr ? path_name : FirstFileName(record);
    own_name_ = name;
    own_parent_ = name->parent_recno;
    own_parent_sequence_ = name->parent_sequence;
    record_start_.assign(kMd5Field);
    if (full_path_pass::IsRootRecord(record.mft_header.mft_recno, name->file_name)) {
        own_directory_ = &root_folder_;
        record_start_.push_back('/');
        return;
    }
    std::string_view own_name_utf8;
    if (path_name != nullptr && path.size() > 0) {
        own_name_utf8 = path.Name(path.size() - 1);
        own_directory_ = &PathFolder(own_parent_, path);
    } else {
        own_name_utf8 = Utf8In(own_name_storage_, name->file_name);
        own_folder_.body.clear();
        const WalkedPath& folder = folders.PathOf(own_parent_, own_parent_sequence_);
        AppendBodyFolder(own_folder_.body, folder, folder.size());
        own_directory_ = &own_folder_.body;
    }
    record_start_.append(*own_directory_);
    AppendBodyNameUtf8(record_start_, own_name_utf8);
}

// Records of one folder are often far apart in the file, between records of
// other folders: several folders are kept, each with the walk it was made
// from (the path's names but its last).
const std::string& BodyLineBuilder::PathFolder(std::uint64_t parent, const WalkedPath& path)
{
    const std::size_t names = path.size() - 1;
    const std::string_view walk(path.text().data(),
                                static_cast<std::size_t>(path.Name(names).data() - path.text().data()));
    Folder& folder = path_folders_[parent % kPathFolders];
    bool same = folder.filled && folder.parent == parent && folder.end == path.end() && folder.walk == walk &&
                folder.lengths.size() == names;
    for (std::size_t i = 0; same && i < names; ++i) {
        same = folder.lengths[i] == path.Name(i).size();
    }
    if (!same) {
        folder.filled = true;
        folder.parent = parent;
        folder.end = path.end();
        folder.walk.assign(walk);
        folder.lengths.clear();
        for (std::size_t i = 0; i < names; ++i) {
            folder.lengths.push_back(static_cast<std::uint16_t>(path.Name(i).size()));
        }
        folder.body.clear();
        AppendBodyFolder(folder.body, path, names);
    }
    return folder.body;
}

// The folder a parent reference names: a name in the record's own folder
// names it with the same reference.
const std::string& BodyLineBuilder::DirectoryOf(std::uint64_t parent, std::uint16_t sequence, FolderPaths& folders)
{
    if (parent == own_parent_ && sequence == own_parent_sequence_) {
        return *own_directory_;
    }
    if (!other_folder_.filled || parent != other_folder_.parent || sequence != other_folder_.parent_sequence) {
        other_folder_.body.clear();
        const WalkedPath& folder = folders.PathOf(parent, sequence);
        AppendBodyFolder(other_folder_.body, folder, folder.size());
        other_folder_.parent = parent;
        other_folder_.parent_sequence = sequence;
        other_folder_.filled = true;
    }
    return other_folder_.body;
}

void BodyLineBuilder::AppendLineEnd(std::string& out, const Line& line, TimesText& times) const
{
    // Made in one piece, in copies of fixed sizes, and appended once: the
    // body file has millions of lines.
    char text[kLineEndSize];
    char* p = text;
    if (deleted_) {
        p = PutFixed<kDeletedMark.size()>(p, kDeletedMark.data());
    }
    *p++ = '|';
    p = PutText(p, recno_text_, recno_length_);
    if (line.attr_id >= 0) {
        p = PutFixed<kTypeTextSize>(p, line.type_text.data()) - (kTypeTextSize - line.type_text.size());
        p = PutNumber(p, static_cast<std::uint64_t>(line.attr_id));
    }
    p = PutFixed<kFileMode.size()>(p, line.directory ? kDirectoryMode.data() : kFileMode.data());
    p = PutNumber(p, line.size);
    // The lines of a record mostly repeat one set of times.
    const std::uint64_t seconds[4] = {BodySeconds(line.access), BodySeconds(line.mod), BodySeconds(line.mft_mod),
                                      BodySeconds(line.create)};
    if (!times.filled || !std::equal(seconds, seconds + 4, times.seconds)) {
        times.filled = true;
        std::copy(seconds, seconds + 4, times.seconds);
        times.length = static_cast<std::size_t>(PutTimes(times.text, seconds) - times.text);
    }
    p = PutText(p, times.text, times.length);
    out.append(text, static_cast<std::size_t>(p - text));
}

bool BodyLineBuilder::AppendFileNameLines(ReportLineSink& sink, const MFTFileRecord& record,
                                          FolderPaths& folders)
{
    const bool directory = IsDirectory(record);
    const std::uint64_t size = RecordSize(record);
    std::size_t header = 0;
    for (const MFTFileNameAttr* name : record.file_name_array) {
        const Line line{kFileNameType, NextAttributeId(record, kAttrTypeFileName, header), directory, size,
                        name->access_time, name->mod_time, name->mft_mod_time, name->create_time};
        std::string& out = sink.Bytes();
        if (name == own_name_) {
            out.append(record_start_);  // the record line's name, made once
        } else if (full_path_pass::IsRootRecord(record.mft_header.mft_recno, name->file_name)) {
            out.append(kMd5Field).push_back('/');
        } else {
            out.append(kMd5Field);
            out.append(DirectoryOf(name->parent_recno, name->parent_sequence, folders));
            AppendBodyName(out, name->file_name);
        }
        out.append(kFileNameMark);
        AppendLineEnd(out, line, file_name_times_);
        if (!sink.LineDone()) {
            return false;
        }
    }
    return true;
}

bool BodyLineBuilder::AppendStreamLines(ReportLineSink& sink, const MFTFileRecord& record)
{
    const MFTStdInfoAttr& times = record.std_info;
    for (const MFTDataAttr* stream : record.data_attr_array) {
        if (stream == nullptr || !stream->is_ads) {
            continue;
        }
        const Line line{kDataType, stream->attr_id, false, ActualSize(*stream), times.access_time,
                        times.mod_time, times.mft_mod_time, times.create_time};
        std::string& out = sink.Bytes();
        out.append(record_start_).push_back(':');
        AppendBodyName(out, stream->stream_name);
        AppendLineEnd(out, line, std_info_times_);
        if (!sink.LineDone()) {
            return false;
        }
    }
    return true;
}
