#ifndef VARNETH_MFT_UTF16_TEXT_H
#define VARNETH_MFT_UTF16_TEXT_H

#include <cstdint>

#include <wx/string.h>

#include "mft/byte_reader.h"

// Decodes unit_count UTF-16LE units from the start of units into text,
// replacing what it held and keeping its storage, whatever the width of
// wchar_t: a surrogate pair becomes one character, a lone surrogate becomes
// U+FFFD, and the text ends at its first U+0000. Only the whole units that
// lie inside the reader are read.
void DecodeUtf16LeInto(ByteReader units, std::uint64_t unit_count, wxString& text);

#endif
