#ifndef VARNETH_REPORT_BODY_NAME_H
#define VARNETH_REPORT_BODY_NAME_H

// The name field of a body file line (the pipe-separated input of timeline
// tools such as mactime): a path with "/" between names, starting at "/".

#include <string>
#include <string_view>

#include <wx/string.h>

#include "path/walked_path.h"

// Appends name text as the report writes it (control characters as U+FFFD,
// text/replacement), with '|' written %7C and '%' written %25: a raw '|'
// would split the line, and the readers decode %XX.
void AppendBodyName(std::string& out, const wxString& name);
void AppendBodyNameUtf8(std::string& out, std::string_view utf8);

// Appends the body form of a folder, followed by "/", from the first `names`
// names of a path walk (path/walked_path.h): "/a/b/" for a walk that reached
// the root, "/$OrphanFiles/a/b/" for an orphaned one.
void AppendBodyFolder(std::string& out, const WalkedPath& walk, std::size_t names);

#endif
