// Memory and string primitives that the compiler may emit calls to
// (structure copies, zero-initialised arrays, -fno-builtin code) in the
// deliverables, which link no C runtime. Plain byte loops: the buffers in
// this program are small.
#include <stddef.h>

extern "C" {

void* memcpy(void* dest, const void* src, size_t n) {
  unsigned char* d = static_cast<unsigned char*>(dest);
  const unsigned char* s = static_cast<const unsigned char*>(src);
  while (n--) *d++ = *s++;
  return dest;
}

void* memmove(void* dest, const void* src, size_t n) {
  unsigned char* d = static_cast<unsigned char*>(dest);
  const unsigned char* s = static_cast<const unsigned char*>(src);
  if (d == s || n == 0) return dest;
  if (d < s || d >= s + n) {
    while (n--) *d++ = *s++;
  } else {
    d += n;
    s += n;
    while (n--) *--d = *--s;
  }
  return dest;
}

void* memset(void* dest, int value, size_t n) {
  unsigned char* d = static_cast<unsigned char*>(dest);
  while (n--) *d++ = static_cast<unsigned char>(value);
  return dest;
}

int memcmp(const void* a, const void* b, size_t n) {
  const unsigned char* p = static_cast<const unsigned char*>(a);
  const unsigned char* q = static_cast<const unsigned char*>(b);
  for (; n; --n, ++p, ++q)
    if (*p != *q) return *p < *q ? -1 : 1;
  return 0;
}

size_t strlen(const char* text) {
  const char* p = text;
  while (*p) ++p;
  return static_cast<size_t>(p - text);
}

}  // extern "C"
