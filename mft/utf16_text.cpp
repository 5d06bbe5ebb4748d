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

    // Appends count units at offset when each is its own character (see
    // IsPlain), at most a buffer's worth; else appends nothing and returns
    // false. They are widened straight into the buffer and tested there,
    // each in one pass without an early exit, which the compiler vectorises.
    bool AppendIfPlain(ByteReader& units, std::uint64_t offset, std::size_t count)
    {
        if (used_ + count > kStackUnits) {
            out_.append(buffer_, used_);
            used_ = 0;
        }
        wchar_t* piece = buffer_ + used_;
        units.U16sAt(offset, piece, count);
        unsigned plain = 1;
        for (std::size_t i = 0; i < count; ++i) {
            plain &= static_cast<unsigned>(IsPlain(static_cast<std::uint16_t>(piece[i])));
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
    std::uint64_t i = 0;
    while (i < count) {
        // Nearly every name is plain units only: a piece of them at a time
        // goes whole. A piece that is not goes one unit at a time (a pair
        // may take the first unit of the next piece with it).
        const std::size_t n = static_cast<std::size_t>(count - i < kStackUnits ? count - i : kStackUnits);
        if (text.AppendIfPlain(units, 2 * i, n)) {
            i += n;
            continue;
        }
        for (const std::uint64_t end = i + n; i < end;) {
            const std::uint16_t unit = units.U16At(2 * i);
            if (IsPlain(unit)) {
                text.Append(unit);
                ++i;
            } else if (unit == 0) {
                text.Finish();
                return;
            } else if (IsHighSurrogate(unit) && i + 1 < count && IsLowSurrogate(units.U16At(2 * (i + 1)))) {
                const std::uint32_t next = units.U16At(2 * (i + 1));
                text.Append(0x10000 + ((unit - kHighSurrogateFirst) << 10) + (next - kLowSurrogateFirst));
                i += 2;
            } else {
                text.Append(kReplacementCharacter);
                ++i;
            }
        }
    }
    text.Finish();
}
