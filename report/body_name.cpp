#include "report/body_name.h"

#include <algorithm>
#include <cstddef>
#include <type_traits>

#include "text/replacement.h"

namespace {

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
// Written so that the compiler checks many characters a step.
template <typename Char>
bool AllCopiedAsTheyStand(const Char* text, std::size_t length)
{
    using Unit = std::make_unsigned_t<Char>;
    unsigned outside = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const auto unit = static_cast<Unit>(text[i]);
        outside |= (static_cast<Unit>(unit - Unit{0x20}) >= Unit{0x5F} ? 1u : 0u) | (unit == Unit{'|'} ? 1u : 0u) |
                   (unit == Unit{'%'} ? 1u : 0u);
    }
    return outside == 0;
}

}  // namespace

void AppendBodyName(std::string& out, const wxString& name)
{
    const std::size_t start = out.size();
    if (AllCopiedAsTheyStand(name.wx_str(), name.length())) {  // nearly every name, one byte a character
        out.resize(start + name.length());
        std::transform(name.wx_str(), name.wx_str() + name.length(), out.begin() + static_cast<std::ptrdiff_t>(start),
                       [](wxStringCharType c) { return static_cast<char>(c); });
        return;
    }
    AppendSanitized(out, name);
    EscapeFrom(out, start);
}

void AppendBodyNameUtf8(std::string& out, std::string_view utf8)
{
    if (AllCopiedAsTheyStand(utf8.data(), utf8.size())) {
        out.append(utf8);
        return;
    }
    const std::size_t start = out.size();
    AppendSanitizedUtf8(out, utf8);
    EscapeFrom(out, start);
}

void AppendBodyFolder(std::string& out, const WalkedPath& walk, std::size_t names)
{
    out.push_back('/');
    if (walk.end() != WalkedPath::End::kRoot) {
        out.append(WalkedPath::kOrphanFolder).push_back('/');
    }
    for (std::size_t i = 0; i < names && i < walk.size(); ++i) {
        AppendBodyNameUtf8(out, walk.Name(i));
        out.push_back('/');
    }
}
