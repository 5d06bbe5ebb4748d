#include "report/body_name.h"

#include <algorithm>

#include "path/full_path_pass.h"
#include "text/replacement.h"

namespace {

using full_path_pass::kPathSeparator;

// Escapes the '|' and '%' of what was appended from `start` on.
bool IsEscaped(char c)
{
    return c == '|' || c == '%';
}

void EscapeFrom(std::string& out, std::size_t start)
{
    if (std::none_of(out.begin() + static_cast<std::ptrdiff_t>(start), out.end(), IsEscaped)) {
        return;  // nearly every name: nothing to move
    }
    const std::string tail = out.substr(start);
    out.resize(start);
    for (const char c : tail) {
        if (c == '|') {
            out.append("%7C");
        } else if (c == '%') {
            out.append("%25");
        } else {
            out.push_back(c);
        }
    }
}

// Printable ASCII but the two escaped characters: copied as it stands.
constexpr bool IsCopiedAsItStands(std::uint32_t c)
{
    return IsPlainAscii(c) && c != '|' && c != '%';
}

}  // namespace

void AppendBodyName(std::string& out, const wxString& name)
{
    const wxStringCharType* text = name.wx_str();
    const wxStringCharType* end = text + name.length();
    if (std::all_of(text, end, [](wxStringCharType c) { return IsCopiedAsItStands(static_cast<std::uint32_t>(c)); })) {
        out.append(text, end);  // nearly every name, one byte a character
        return;
    }
    const std::size_t start = out.size();
    AppendSanitized(out, name);
    EscapeFrom(out, start);
}

void AppendBodyNameUtf8(std::string& out, std::string_view utf8)
{
    if (std::all_of(utf8.begin(), utf8.end(),
                    [](char c) { return IsCopiedAsItStands(static_cast<unsigned char>(c)); })) {
        out.append(utf8);
        return;
    }
    const std::size_t start = out.size();
    AppendSanitizedUtf8(out, utf8);
    EscapeFrom(out, start);
}

void AppendBodyDirectory(std::string& out, std::string_view walk_path)
{
    walk_path = full_path_pass::WithoutTrailingSeparator(walk_path);
    const bool rooted = !walk_path.empty() && walk_path.front() == kPathSeparator;
    if (rooted) {
        walk_path.remove_prefix(1);
        out.push_back('/');
    } else {
        out.append(kUnplacedFolder);
    }
    if (walk_path.empty()) {
        return;
    }
    const std::size_t start = out.size();
    AppendBodyNameUtf8(out, walk_path);
    std::replace(out.begin() + static_cast<std::ptrdiff_t>(start), out.end(), kPathSeparator, '/');
    out.push_back('/');
}
