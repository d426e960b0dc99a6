#include "text.h"

#include <stdarg.h>

namespace tachy {

size_t TextLength(const char* text) {
  if (!text) return 0;
  size_t n = 0;
  while (text[n]) ++n;
  return n;
}

static bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' ||
         c == '\r';
}

int32_t ParseDecimal(const char* text) {
  if (!text) return 0;
  while (IsSpace(*text)) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') {
    negative = *text == '-';
    ++text;
  }
  uint32_t value = 0;  // unsigned: overflow wraps instead of being undefined
  while (*text >= '0' && *text <= '9') {
    value = value * 10u + static_cast<uint32_t>(*text - '0');
    ++text;
  }
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

size_t CopyText(char* dest, size_t size, const char* source) {
  if (!dest || size == 0) return 0;
  size_t n = 0;
  if (source) {
    while (n + 1 < size && source[n]) {
      dest[n] = source[n];
      ++n;
    }
  }
  dest[n] = 0;
  return n;
}

size_t AppendText(char* dest, size_t size, const char* source) {
  if (!dest || size == 0) return 0;
  size_t used = 0;
  while (used < size && dest[used]) ++used;
  if (used == size) {  // not terminated: make it so
    dest[size - 1] = 0;
    return size - 1;
  }
  return used + CopyText(dest + used, size - used, source);
}

size_t FormatUnsigned(char* dest, size_t size, unsigned long number) {
  char digits[24];
  size_t n = 0;
  do {
    digits[n++] = static_cast<char>('0' + number % 10u);
    number /= 10u;
  } while (number != 0);
  char text[24];
  for (size_t i = 0; i < n; ++i) text[i] = digits[n - 1 - i];
  text[n] = 0;
  return CopyText(dest, size, text);
}

// Digits of |number| with at least `minDigits` digits, sign in front.
static size_t FormatSigned(char* dest, size_t size, long number,
                           size_t minDigits) {
  unsigned long magnitude = number < 0 ? 0ul - static_cast<unsigned long>(number)
                                       : static_cast<unsigned long>(number);
  char digits[24];
  size_t n = 0;
  do {
    digits[n++] = static_cast<char>('0' + magnitude % 10u);
    magnitude /= 10u;
  } while (magnitude != 0);
  while (n < minDigits && n < sizeof digits) digits[n++] = '0';
  char text[28];
  size_t t = 0;
  if (number < 0) text[t++] = '-';
  for (size_t i = 0; i < n; ++i) text[t++] = digits[n - 1 - i];
  text[t] = 0;
  return CopyText(dest, size, text);
}

size_t FormatDecimal(char* dest, size_t size, long number) {
  return FormatSigned(dest, size, number, 1);
}

size_t FormatPad4(char* dest, size_t size, long number) {
  return FormatSigned(dest, size, number, 4);
}

static bool StartsWith(const char* text, const char* prefix) {
  while (*prefix) {
    if (*text != *prefix) return false;
    ++text;
    ++prefix;
  }
  return true;
}

size_t FormatText(char* dest, size_t size, const char* format, ...) {
  if (!dest || size == 0) return 0;
  dest[0] = 0;
  if (!format) return 0;
  va_list args;
  va_start(args, format);
  size_t used = 0;
  char piece[32];
  const char* p = format;
  while (*p && used + 1 < size) {
    const char* insert = nullptr;
    const char* next = p + 1;
    if (*p == '%') {
      // %[l]d, %[l]i, %4.4i, %[l]u, %s, %%
      const char* conv = next;
      const bool pad4 = StartsWith(conv, "4.4");
      if (pad4) conv += 3;
      const bool isLong = *conv == 'l';
      if (isLong) ++conv;
      const bool plain = !pad4 && !isLong;
      if ((*conv == 'i' && !(pad4 && isLong)) || (*conv == 'd' && !pad4)) {
        long n = isLong ? va_arg(args, long) : va_arg(args, int);
        FormatSigned(piece, sizeof piece, n, pad4 ? 4 : 1);
        insert = piece;
      } else if (*conv == 'u' && !pad4) {
        unsigned long n = isLong ? va_arg(args, unsigned long)
                                 : va_arg(args, unsigned int);
        FormatUnsigned(piece, sizeof piece, n);
        insert = piece;
      } else if (*conv == 's' && plain) {
        insert = va_arg(args, const char*);
        if (!insert) insert = "";
      } else if (*conv == '%' && plain) {
        insert = "%";
      }
      if (insert) next = conv + 1;
    }
    if (insert) {
      used += CopyText(dest + used, size - used, insert);
    } else {  // plain text, or a conversion we do not know: as it stands
      dest[used++] = *p;
      dest[used] = 0;
    }
    p = next;
  }
  dest[used] = 0;
  va_end(args);
  return used;
}

const char* FindText(const char* haystack, const char* needle) {
  if (!haystack || !needle) return nullptr;
  for (const char* h = haystack;; ++h) {
    if (StartsWith(h, needle)) return h;
    if (!*h) return nullptr;
  }
}

bool TextEquals(const char* a, const char* b) {
  if (!a || !b) return a == b;
  while (*a && *a == *b) {
    ++a;
    ++b;
  }
  return *a == *b;
}

static char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool TextEqualsNoCase(const char* a, const char* b) {
  if (!a || !b) return a == b;
  while (*a && LowerAscii(*a) == LowerAscii(*b)) {
    ++a;
    ++b;
  }
  return LowerAscii(*a) == LowerAscii(*b);
}

const char* FindChar(const char* text, char c) {
  if (!text) return nullptr;
  for (; *text; ++text)
    if (*text == c) return text;
  return nullptr;
}

}  // namespace tachy
