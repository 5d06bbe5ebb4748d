#ifndef VARNETH_TEXT_UTF8_TEXT_H
#define VARNETH_TEXT_UTF8_TEXT_H

#include <string>

#include <wx/string.h>

// Appends the text as UTF-8. Anything that is not a Unicode scalar value (a
// lone surrogate, a value past U+10FFFF) becomes U+FFFD, so the output is
// always valid UTF-8 and no character is silently dropped.
void AppendUtf8(std::string& out, const wxString& text);

std::string ToUtf8(const wxString& text);

#endif
