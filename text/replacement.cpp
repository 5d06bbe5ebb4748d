#include "text/replacement.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace {

constexpr char kReplacementUtf8[] = "\xEF\xBF\xBD";  // kReplacementCharacter in UTF-8

constexpr bool RuleKeepsPlainAscii()
{
    for (std::uint32_t c = 0; c < 0x80; ++c) {
        if (IsPlainAscii(c) && IsReplacedCharacter(c)) {
            return false;
        }
    }
    return true;
}
static_assert(RuleKeepsPlainAscii(), "plain ASCII is copied as it stands, so the rule must keep it");

// Length of the UTF-8 sequence a lead byte starts, and its code point; 0
// for a byte that starts none or a sequence cut by the end of the text.
std::size_t DecodeUtf8At(std::string_view utf8, std::size_t at, std::uint32_t& code_point)
{
    const auto lead = static_cast<unsigned char>(utf8[at]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || utf8.size() - at < length) {
        return 0;
    }
    code_point = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        code_point = (code_point << 6) | (static_cast<unsigned char>(utf8[at + i]) & 0x3F);
    }
    return length;
}

char* PutReplacement(char* out)
{
    std::memcpy(out, kReplacementUtf8, 3);
    return out + 3;
}

// Plain when no unit lies outside 0x20..0x7E: one subtraction moves that
// range to 0..0x5E. Written so that the compiler checks many units a step.
template <typename Char>
bool AllPlain(const Char* text, std::size_t length)
{
    using Unit = std::make_unsigned_t<Char>;
    Unit outside = 0;
    for (std::size_t i = 0; i < length; ++i) {
        outside |= static_cast<Unit>(static_cast<Unit>(text[i]) - Unit{0x20}) >= Unit{0x5F} ? 1 : 0;
    }
    return outside == 0;
}

// The high bit of each of eight bytes that lies outside 0x20..0x7E, and
// perhaps of bytes after it: a subtraction borrows, and an addition carries,
// only out of a byte that is outside already. The lowest bit set therefore
// marks the first byte outside, and none is set for plain bytes.
std::uint64_t NonPlainBytes(std::uint64_t bytes)
{
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    const std::uint64_t below_space = (bytes - 0x20 * kOnes) & ~bytes;
    const std::uint64_t del_or_above = (bytes + kOnes) | bytes;
    return (below_space | del_or_above) & kHighBits;
}

// The bytes in memory order, whatever the machine's.
std::uint64_t LoadLittleEndian(const char* data)
{
    unsigned char bytes[8];
    std::memcpy(bytes, data, sizeof bytes);
    std::uint64_t word = 0;
    for (int i = 7; i >= 0; --i) {
        word = (word << 8) | bytes[i];
    }
    return word;
}

constexpr std::size_t kWordBytes = sizeof(std::uint64_t);

}  // namespace

bool IsPlainAscii(WideView text)
{
    return AllPlain(text.data(), text.size());
}

bool IsPlainAscii(std::string_view utf8)
{
    return AllPlain(utf8.data(), utf8.size());
}

char* PutSanitizedUtf8(char* out, std::string_view utf8)
{
    const char* const data = utf8.data();
    const std::size_t size = utf8.size();
    std::size_t run_start = 0;
    std::size_t i = 0;
    while (i < size) {
        // Plain text, the usual case, eight bytes a step; the last step
        // reads the text's last eight bytes, some of them again.
        if (size >= kWordBytes) {
            const std::size_t at = std::min(i, size - kWordBytes);
            const std::uint64_t outside = NonPlainBytes(LoadLittleEndian(data + at));
            if (outside == 0) {
                i = at + kWordBytes;
                continue;
            }
            i = std::max(i, at + static_cast<std::size_t>(__builtin_ctzll(outside)) / 8);
        }
        const auto byte = static_cast<unsigned char>(data[i]);
        if (IsPlainAscii(byte)) {
            ++i;
            continue;
        }
        std::uint32_t code_point = 0;
        const std::size_t length = DecodeUtf8At(utf8, i, code_point);
        if (length == 0 || !IsReplacedCharacter(code_point)) {
            i += length == 0 ? 1 : length;
            continue;
        }
        out = std::copy(data + run_start, data + i, out);
        out = PutReplacement(out);
        i += length;
        run_start = i;
    }
    return std::copy(data + run_start, data + size, out);
}

void AppendSanitizedUtf8(std::string& out, std::string_view utf8)
{
    if (IsPlainAscii(utf8)) {
        out.append(utf8);
        return;
    }
    const std::size_t start = out.size();
    out.resize(start + kMaxSanitizedPerUtf8Byte * utf8.size());
    out.resize(static_cast<std::size_t>(PutSanitizedUtf8(out.data() + start, utf8) - out.data()));
}

char* PutSanitized(char* out, WideView text)
{
    if (PutUnitsAsBytes(out, text, 0x20, 0x7E)) {  // plain, the usual case: nothing to convert or replace
        return out + text.size();
    }
    for (std::size_t i = 0; i < text.size();) {
        const char32_t c = NextCodePoint(text, i);
        out = IsReplacedCharacter(c) ? PutReplacement(out) : PutCodePoint(out, c);
    }
    return out;
}

void AppendSanitized(std::string& out, const wxString& text)
{
    const std::size_t start = out.size();
    out.resize(start + kMaxSanitizedPerWideUnit * text.length());
    out.resize(static_cast<std::size_t>(PutSanitized(out.data() + start, ViewOf(text)) - out.data()));
}
