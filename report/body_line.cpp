#include "report/body_line.h"

#include "mft/attribute_walk.h"
#include "mft/file_name_choice.h"
#include "path/full_path_pass.h"
#include "report/body_name.h"
#include "report/report_line.h"
#include "text/digits.h"
#include "text/utf8_text.h"

namespace {

constexpr std::string_view kFileNameMark = " ($FILE_NAME)";
constexpr std::string_view kDeletedMark = " (deleted)";
constexpr char kWalkSeparator = '\\';

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

// The part of the walk's path before the record's own name, when the path
// ends with that name; an unfinished walk's last separator is passed over.
bool WalkDirectory(std::string_view path, std::string_view own_name, std::string_view& directory)
{
    if (path.size() > 1 && path.back() == kWalkSeparator) {
        path.remove_suffix(1);
    }
    if (path.size() < own_name.size() || path.substr(path.size() - own_name.size()) != own_name) {
        return false;
    }
    directory = path.substr(0, path.size() - own_name.size());
    return directory.empty() || directory.back() == kWalkSeparator;
}

}  // namespace

// Everything after the name.
struct BodyLineBuilder::Line {
    std::uint64_t recno;
    std::uint32_t type;
    int attr_id;  // -1: the record number alone
    bool directory;
    std::uint64_t size;
    const wxDateTime& access;
    const wxDateTime& mod;
    const wxDateTime& mft_mod;
    const wxDateTime& create;
};

bool BodyLineBuilder::AppendRecordLines(ReportLineSink& sink, const MFTFileRecord& record,
                                        std::string_view full_path_utf8, BodyDirectoryPaths& directories)
{
    if (record.file_name_array.empty()) {
        return true;  // no report rows either
    }
    deleted_ = (record.mft_header.record_flags & kRecordInUse) == 0;
    NameRecord(record, full_path_utf8, directories);
    const bool directory = (record.mft_header.record_flags & kRecordIsDirectory) != 0;
    const MFTDataAttr* data = UnnamedData(record);
    const MFTStdInfoAttr& times = record.std_info;
    int id = directory ? record.index_root_id : (data != nullptr ? data->attr_id : -1);
    const Line line{record.mft_header.mft_recno, directory ? kAttrTypeIndexRoot : kAttrTypeData, id, directory,
                    directory || data == nullptr ? 0 : ActualSize(*data), times.access_time, times.mod_time,
                    times.mft_mod_time, times.create_time};
    std::string& out = sink.Bytes();
    out.append("0|").append(record_name_);
    AppendLineEnd(out, line);
    return sink.LineDone() && AppendFileNameLines(sink, record, directories) && AppendStreamLines(sink, record);
}

// The record line's name: the folder of the name its path ends with (taken
// from the path itself where it can be), and that name; the root is "/".
void BodyLineBuilder::NameRecord(const MFTFileRecord& record, std::string_view full_path_utf8,
                                 BodyDirectoryPaths& directories)
{
    const MFTFileNameAttr* path_name = PathFileName(record);
    const MFTFileNameAttr* name = path_name != nullptr ? path_name : FirstFileName(record);
    own_name_utf8_.clear();
    AppendUtf8(own_name_utf8_, name->file_name);
    std::string_view walk_directory;
    if (path_name != nullptr && WalkDirectory(full_path_utf8, own_name_utf8_, walk_directory)) {
        if (!own_from_walk_ || walk_directory != own_walk_directory_) {
            own_from_walk_ = true;
            own_walk_directory_.assign(walk_directory);
            own_directory_.clear();
            AppendBodyDirectory(own_directory_, walk_directory);
        }
    } else {
        own_from_walk_ = false;
        own_directory_.clear();
        AppendBodyDirectory(own_directory_, directories.WalkPathOf(name->parent_recno));
    }
    own_parent_ = name->parent_recno;
    record_name_.clear();
    if (full_path_pass::IsRootName(name->file_name)) {
        record_name_.push_back('/');
    } else {
        record_name_.append(own_directory_);
        AppendBodyNameUtf8(record_name_, own_name_utf8_);
    }
}

const std::string& BodyLineBuilder::DirectoryOf(std::uint64_t parent, BodyDirectoryPaths& directories)
{
    if (parent == own_parent_) {
        return own_directory_;
    }
    if (!other_valid_ || parent != other_parent_) {
        other_directory_.clear();
        AppendBodyDirectory(other_directory_, directories.WalkPathOf(parent));
        other_parent_ = parent;
        other_valid_ = true;
    }
    return other_directory_;
}

void BodyLineBuilder::AppendLineEnd(std::string& out, const Line& line) const
{
    if (deleted_) {
        out.append(kDeletedMark);
    }
    out.push_back('|');
    AppendUnsigned(out, line.recno);
    if (line.attr_id >= 0) {
        out.push_back('-');
        AppendUnsigned(out, line.type);
        out.push_back('-');
        AppendUnsigned(out, static_cast<std::uint64_t>(line.attr_id));
    }
    out.append(line.directory ? "|d/drwxrwxrwx|0|0|" : "|r/rrwxrwxrwx|0|0|");
    AppendUnsigned(out, line.size);
    for (const wxDateTime* time : {&line.access, &line.mod, &line.mft_mod, &line.create}) {
        out.push_back('|');
        AppendUnsigned(out, BodySeconds(*time));
    }
    out.push_back('\n');
}

bool BodyLineBuilder::AppendFileNameLines(ReportLineSink& sink, const MFTFileRecord& record,
                                          BodyDirectoryPaths& directories)
{
    const bool directory = (record.mft_header.record_flags & kRecordIsDirectory) != 0;
    const MFTDataAttr* data = UnnamedData(record);
    std::size_t header = 0;
    for (const MFTFileNameAttr* name : record.file_name_array) {
        const int id = NextAttributeId(record, kAttrTypeFileName, header);
        const Line line{record.mft_header.mft_recno, kAttrTypeFileName, id, directory,
                        directory || data == nullptr ? 0 : ActualSize(*data), name->access_time, name->mod_time,
                        name->mft_mod_time, name->create_time};
        std::string& out = sink.Bytes();
        out.append("0|");
        if (full_path_pass::IsRootName(name->file_name)) {
            out.push_back('/');
        } else {
            out.append(DirectoryOf(name->parent_recno, directories));
            AppendBodyName(out, name->file_name);
        }
        out.append(kFileNameMark);
        AppendLineEnd(out, line);
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
        const Line line{record.mft_header.mft_recno, kAttrTypeData, stream->attr_id, false, ActualSize(*stream),
                        times.access_time, times.mod_time, times.mft_mod_time, times.create_time};
        std::string& out = sink.Bytes();
        out.append("0|").append(record_name_).push_back(':');
        AppendBodyName(out, stream->stream_name);
        AppendLineEnd(out, line);
        if (!sink.LineDone()) {
            return false;
        }
    }
    return true;
}
