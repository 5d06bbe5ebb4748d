#include "mft/utf16_text.h"

#include "text/replacement.h"

namespace {

constexpr std::uint32_t kHighSurrogateFirst = 0xD800;
constexpr std::uint32_t kLowSurrogateFirst = 0xDC00;
constexpr std::uint32_t kSurrogateEnd = 0xE000;

bool IsHighSurrogate(std::uint32_t unit) { return unit >= kHighSurrogateFirst && unit < kLowSurrogateFirst; }
bool IsLowSurrogate(std::uint32_t unit) { return unit >= kLowSurrogateFirst && unit < kSurrogateEnd; }

// The longest name on disk is 255 units (a one-byte length); a stack buffer
// of that size covers every name and stream name without a heap round trip.
constexpr std::size_t kStackUnits = 256;

class WideText {
public:
    explicit WideText(wxString& out) : out_(out) { out_.clear(); }

    void Append(std::uint32_t code_point)
    {
        if constexpr (sizeof(wchar_t) == 2) {
            if (code_point >= 0x10000) {
                code_point -= 0x10000;
                Put(static_cast<wchar_t>(kHighSurrogateFirst + (code_point >> 10)));
                Put(static_cast<wchar_t>(kLowSurrogateFirst + (code_point & 0x3FF)));
                return;
            }
        }
        Put(static_cast<wchar_t>(code_point));
    }

    void Finish() { out_.append(buffer_, used_); }

private:
    void Put(wchar_t character)
    {
        if (used_ == kStackUnits) {
            out_.append(buffer_, used_);
            used_ = 0;
        }
        buffer_[used_++] = character;
    }

    wchar_t buffer_[kStackUnits];
    std::size_t used_ = 0;
    wxString& out_;
};

}  // namespace

void DecodeUtf16LeInto(ByteReader units, std::uint64_t unit_count, wxString& out)
{
    const std::uint64_t available = units.size() / 2;
    const std::uint64_t count = unit_count < available ? unit_count : available;
    WideText text(out);
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint32_t unit = units.U16At(2 * i);
        if (unit == 0) {
            break;
        }
        if (IsHighSurrogate(unit) && i + 1 < count) {
            const std::uint32_t next = units.U16At(2 * (i + 1));
            if (IsLowSurrogate(next)) {
                text.Append(0x10000 + ((unit - kHighSurrogateFirst) << 10) + (next - kLowSurrogateFirst));
                ++i;
                continue;
            }
        }
        text.Append(IsHighSurrogate(unit) || IsLowSurrogate(unit) ? kReplacementCharacter : unit);
    }
    text.Finish();
}
