#include "pipeline/body_file_lines.h"

#include "pipeline/string_line_sink.h"

void BodyFileLines::Append(const MFTFileRecord& record, const WalkedPath& path, std::string& out)
{
    StringLineSink sink(out);
    lines_.AppendRecordLines(sink, record, path, folders_);
}
