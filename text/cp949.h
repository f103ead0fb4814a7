#pragma once
// Code page 949, the encoding of every text the game holds, and its conversion to and
// from UTF-8 at the edges (drawing, typing, file names). Needs nothing but the C library,
// so the ranking server shares it.
#include <cstddef>
#include <cstdint>

// Code page 949 <-> UTF-8. Bad bytes become U+FFFD (or '?' towards code page 949).
// Output is always zero-terminated and never cut through a character; the result is
// the number of bytes written without the terminator.
size_t Cp949ToUtf8(const char* in, size_t inLen, char* out, size_t outCap);
size_t Utf8ToCp949(const char* in, size_t inLen, char* out, size_t outCap);
// Decodes code page 949 to code points (bad bytes give U+FFFD); returns the count written.
size_t Cp949ToCodepoints(const char* in, size_t inLen, uint32_t* out, size_t outCap);
// The longest prefix of a code page 949 text that fits in maxBytes without splitting
// a double-byte character.
size_t Cp949FitLength(const char* text, size_t len, size_t maxBytes);

// True when every byte of the text belongs to a valid code page 949 character.
bool Cp949Valid(const char* text, size_t len);
