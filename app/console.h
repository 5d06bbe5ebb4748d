#ifndef VARNETH_APP_CONSOLE_H
#define VARNETH_APP_CONSOLE_H

// Console output. Printed texts and log lines share standard output as UTF-8
// bytes written through one narrow stream, so they keep their call order and
// survive any locale (mixing wide and narrow writes on one stream loses text).

#include <cstdio>
#include <string>
#include <string_view>

#include <wx/string.h>

class wxLog;

// From now on the console (printed texts and log lines) is standard error
// when use is true (standard output then carries the JSON lines of -j -),
// else standard output, as always.
void UseStandardErrorForConsole(bool use);

// The stream the console writes to: standard output, or standard error.
std::FILE* ConsoleStream();

// Writes the text to the console as UTF-8, unchanged.
void PrintText(const wxString& text);

// Writes bytes already in UTF-8 (the listings' lines).
void PrintBytes(std::string_view bytes);

// Pushes printed text out now (the progress line ends in a carriage return).
void FlushConsole();

// A log target that writes UTF-8 lines to the given stream (the console when null),
// each stamped and prefixed by the library's log formatter.
wxLog* CreateConsoleLogTarget(std::FILE* stream);

#endif
