#ifndef VARNETH_TEXT_BLOCK_COPY_H
#define VARNETH_TEXT_BLOCK_COPY_H

// Copies of sizes known when compiling, for lines made in a buffer with room
// to spare: such a copy costs a few moves, one of a length known only at run
// time a call. Each returns the end of what counts.

#include <cstddef>
#include <cstring>

template <std::size_t Size>
char* PutFixed(char* out, const char* text)
{
    std::memcpy(out, text, Size);
    return out + Size;
}

// Copies a whole text buffer (`out` has room for it), only its kept length
// counting.
template <std::size_t Room>
char* PutText(char* out, const char (&text)[Room], std::size_t length)
{
    std::memcpy(out, text, Room);
    return out + length;
}

#endif
