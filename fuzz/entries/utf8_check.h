#ifndef VARNETH_FUZZ_ENTRIES_UTF8_CHECK_H
#define VARNETH_FUZZ_ENTRIES_UTF8_CHECK_H

// Whether bytes are well-formed UTF-8 as RFC 3629 has it: no overlong form,
// no surrogate, nothing past U+10FFFF, no sequence cut short. The tool
// promises such text in every report, listing and body line (its writers
// put U+FFFD for what has no UTF-8 form); the project has no checker of its
// own, as its writers make valid text by construction.

#include <cstddef>
#include <string_view>

namespace fuzz_entry {

inline bool IsValidUtf8(std::string_view text)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    std::size_t at = 0;
    while (at < size) {
        const unsigned char lead = bytes[at];
        if (lead < 0x80) {
            ++at;
            continue;
        }
        std::size_t length = 0;
        unsigned char low = 0x80;  // the range of the second byte
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;   // overlong
            high = lead == 0xED ? 0x9F : 0xBF;  // surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;   // overlong
            high = lead == 0xF4 ? 0x8F : 0xBF;  // past U+10FFFF
        } else {
            return false;  // a continuation byte, C0, C1 or F5..FF
        }
        if (size - at < length || bytes[at + 1] < low || bytes[at + 1] > high) {
            return false;
        }
        for (std::size_t i = 2; i < length; ++i) {
            if (bytes[at + i] < 0x80 || bytes[at + i] > 0xBF) {
                return false;
            }
        }
        at += length;
    }
    return true;
}

}  // namespace fuzz_entry

#endif
