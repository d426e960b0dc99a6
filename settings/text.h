// Small text helpers for 8-bit ANSI texts in fixed buffers.
//
// They replace the C runtime in the deliverables (which link none) and serve
// the native build unchanged. Every helper that writes takes the size of the
// destination buffer and always terminates inside it.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace tachy {

// Length of a terminated text.
size_t TextLength(const char* text);

// The standard atoi rule: leading white space (space, \t \n \v \f \r)
// skipped, an optional '+' or '-', then decimal digits up to the first other
// character; no digits gives 0. Overflow wraps as 32-bit two's complement
// (never undefined behaviour). A null text gives 0.
int32_t ParseDecimal(const char* text);

// Copies at most size-1 bytes of `source` and terminates. Returns the number
// of bytes copied. size 0 writes nothing.
size_t CopyText(char* dest, size_t size, const char* source);

// Appends `source` to the text in dest, cutting at the buffer's end.
size_t AppendText(char* dest, size_t size, const char* source);

// Decimal text of a signed number ("%d", "%i", "%ld").
size_t FormatDecimal(char* dest, size_t size, long number);

// Decimal text of an unsigned number ("%u").
size_t FormatUnsigned(char* dest, size_t size, unsigned long number);

// "%4.4i": at least four digits, zero-padded (3 -> "0003", 15 -> "0015",
// 12345 -> "12345", -3 -> "-0003").
size_t FormatPad4(char* dest, size_t size, long number);

// A small printf: %d %i %ld %li %u %lu %s %% and %4.4i. Anything else is
// copied as it stands. Cuts at the buffer's end and always terminates.
// Returns the length written.
size_t FormatText(char* dest, size_t size, const char* format, ...);

// Plain case-sensitive byte search; returns the first occurrence of
// `needle` in `haystack`, or null. An empty needle matches at the start.
const char* FindText(const char* haystack, const char* needle);

// Byte comparison like lstrcmpA's equality test (case-sensitive).
bool TextEquals(const char* a, const char* b);

// ASCII case-insensitive equality (lstrcmpiA on the texts the system uses).
bool TextEqualsNoCase(const char* a, const char* b);

// Finds the first occurrence of character c, or null.
const char* FindChar(const char* text, char c);

}  // namespace tachy
