#include "mft/utf16_text.h"

#include "text/replacement.h"

namespace {

constexpr std::uint32_t kHighSurrogateFirst = 0xD800;
constexpr std::uint32_t kLowSurrogateFirst = 0xDC00;
constexpr std::uint32_t kSurrogateEnd = 0xE000;

bool IsHighSurrogate(std::uint32_t unit) { return unit >= kHighSurrogateFirst && unit < kLowSurrogateFirst; }
bool IsLowSurrogate(std::uint32_t unit) { return unit >= kLowSurrogateFirst && unit < kSurrogateEnd; }
// Neither the end mark nor half of a pair: the unit is its own character.
// Without branches, so that a loop over it is vectorised.
bool IsPlain(std::uint16_t unit)
{
    constexpr std::uint16_t kSurrogateCount = kSurrogateEnd - kHighSurrogateFirst;
    return static_cast<unsigned>(unit != 0) &
           static_cast<unsigned>(static_cast<std::uint16_t>(unit - kHighSurrogateFirst) >= kSurrogateCount);
}

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

    // Appends the units when each is its own character (see IsPlain), at
    // most a buffer's worth; else appends nothing and returns false. One
    // pass without an early exit.
    bool AppendIfPlain(const std::uint16_t* units, std::size_t count)
    {
        if (used_ + count > kStackUnits) {
            out_.append(buffer_, used_);
            used_ = 0;
        }
        unsigned plain = 1;
        for (std::size_t i = 0; i < count; ++i) {
            buffer_[used_ + i] = static_cast<wchar_t>(units[i]);
            plain &= static_cast<unsigned>(IsPlain(units[i]));
        }
        if (plain == 0) {
            return false;
        }
        used_ += count;
        return true;
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
    // The units are taken a chunk at a time, each with one unit more to look
    // ahead into for a surrogate pair that straddles two chunks.
    std::uint16_t chunk[kStackUnits + 1];
    std::uint64_t i = 0;
    while (i < count) {
        const std::size_t n = static_cast<std::size_t>(count - i < kStackUnits ? count - i : kStackUnits);
        const std::size_t read = n + (i + n < count ? 1 : 0);
        units.U16sAt(2 * i, chunk, read);
        if (text.AppendIfPlain(chunk, n)) {  // nearly every name
            i += n;
            continue;
        }
        std::size_t j = 0;
        while (j < n) {
            const std::uint32_t unit = chunk[j];
            if (IsPlain(unit)) {
                text.Append(unit);
                ++j;
            } else if (unit == 0) {
                text.Finish();
                return;
            } else if (IsHighSurrogate(unit) && j + 1 < read && IsLowSurrogate(chunk[j + 1])) {
                text.Append(0x10000 + ((unit - kHighSurrogateFirst) << 10) + (chunk[j + 1] - kLowSurrogateFirst));
                j += 2;
            } else {
                text.Append(kReplacementCharacter);
                ++j;
            }
        }
        i += j;
    }
    text.Finish();
}
