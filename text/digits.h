#ifndef VARNETH_TEXT_DIGITS_H
#define VARNETH_TEXT_DIGITS_H

// Decimal digits of unsigned values: no sign, no grouping, no locale.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

constexpr std::size_t kMaxDecimalDigits = 20;  // 2^64-1 has 20 digits

namespace digits_detail {

struct DigitPairs {
    char text[200];  // "00" "01" ... "99"
};

constexpr DigitPairs MakeDigitPairs()
{
    DigitPairs pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs.text[2 * i] = static_cast<char>('0' + i / 10);
        pairs.text[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}

inline constexpr DigitPairs kDigitPairs = MakeDigitPairs();

}  // namespace digits_detail

// Writes the digits right to left so that they end just before `end`;
// returns where they begin. "0" for zero. Four digits a division, two a
// table look-up: the report and the body file write tens of millions of
// numbers, most of them times of ten digits.
inline char* PutDigitsBefore(char* end, std::uint64_t value)
{
    const char* pairs = digits_detail::kDigitPairs.text;
    while (value >= 10000) {
        const auto four = static_cast<std::uint32_t>(value % 10000);
        value /= 10000;
        end -= 4;
        std::memcpy(end, pairs + 2 * (four / 100), 2);
        std::memcpy(end + 2, pairs + 2 * (four % 100), 2);
    }
    auto rest = static_cast<std::uint32_t>(value);
    if (rest >= 100) {
        end -= 2;
        std::memcpy(end, pairs + 2 * (rest % 100), 2);
        rest /= 100;
    }
    if (rest >= 10) {
        end -= 2;
        std::memcpy(end, pairs + 2 * rest, 2);
    } else {
        *--end = static_cast<char>('0' + rest);
    }
    return end;
}

// Writes the digits at `out`, zero-padded to at least `width`; returns the
// end of what was written.
inline char* PutDigits(char* out, std::uint64_t value, std::size_t width)
{
    char digits[kMaxDecimalDigits];
    const char* first = PutDigitsBefore(digits + kMaxDecimalDigits, value);
    for (std::size_t count = static_cast<std::size_t>(digits + kMaxDecimalDigits - first); count < width; ++count) {
        *out++ = '0';
    }
    return std::copy(first, static_cast<const char*>(digits + kMaxDecimalDigits), out);
}

// Writes the digits at `out`, which has room for kMaxDecimalDigits bytes:
// they are copied as a block of that size, which costs a few moves where a
// copy of the digits' own length costs a call. Returns their end.
inline char* PutNumber(char* out, std::uint64_t value)
{
    char digits[2 * kMaxDecimalDigits] = {};  // the block read may run past the digits
    const char* first = PutDigitsBefore(digits + kMaxDecimalDigits, value);
    const auto length = static_cast<std::size_t>(digits + kMaxDecimalDigits - first);
    std::memcpy(out, first, kMaxDecimalDigits);
    return out + length;
}

inline void AppendUnsigned(std::string& out, std::uint64_t value)
{
    char digits[kMaxDecimalDigits];
    const char* first = PutDigitsBefore(digits + kMaxDecimalDigits, value);
    out.append(first, static_cast<std::size_t>(digits + kMaxDecimalDigits - first));
}

#endif
