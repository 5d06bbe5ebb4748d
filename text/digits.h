#ifndef VARNETH_TEXT_DIGITS_H
#define VARNETH_TEXT_DIGITS_H

// Decimal digits of unsigned values: no sign, no grouping, no locale.

#include <cstddef>
#include <cstdint>
#include <string>

constexpr std::size_t kMaxDecimalDigits = 20;  // 2^64-1 has 20 digits

// Writes the digits right to left so that they end just before `end`;
// returns where they begin. "0" for zero.
inline char* PutDigitsBefore(char* end, std::uint64_t value)
{
    do {
        *--end = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
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
    while (first != digits + kMaxDecimalDigits) {
        *out++ = *first++;
    }
    return out;
}

inline void AppendUnsigned(std::string& out, std::uint64_t value)
{
    char digits[kMaxDecimalDigits];
    const char* first = PutDigitsBefore(digits + kMaxDecimalDigits, value);
    out.append(first, static_cast<std::size_t>(digits + kMaxDecimalDigits - first));
}

#endif
