#pragma once
// The POSIX iconv calls, for Windows, whose C library has none. Knows "CP949", "UTF-8" and
// "UTF-32LE" (names compared without case), with POSIX's answers: on a character the input
// may not hold, -1 and errno EILSEQ with *inbuf at its first byte; on one cut off at the
// input's end, EINVAL; when the output is full, E2BIG. A character the target encoding has
// no code for is EILSEQ too (no replacement, no transliteration), as glibc answers.
#include <stddef.h>

typedef void* iconv_t;

#ifdef __cplusplus
extern "C" {
#endif

iconv_t iconv_open(const char* tocode, const char* fromcode);
size_t iconv(iconv_t cd, char** inbuf, size_t* inbytesleft, char** outbuf, size_t* outbytesleft);
int iconv_close(iconv_t cd);

#ifdef __cplusplus
}
#endif
