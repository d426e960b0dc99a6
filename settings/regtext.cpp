#include "regapi.h"
#include "text.h"

namespace tachy {

long QueryText(Registry& reg, RegKey key, const char* name, char* buf,
               uint32_t bufSize) {
  if (!buf || bufSize == 0) return kErrorMoreData;
  buf[0] = 0;
  uint32_t size = bufSize;
  long result = reg.QueryValue(key, name, nullptr, buf, &size);
  if (result != kErrorSuccess) {
    buf[0] = 0;
    return result;
  }
  if (size < bufSize) {
    buf[size] = 0;  // data without a terminator still ends inside the buffer
  } else {
    // The data fills the buffer: it fits as text only when a zero lies in it.
    bool terminated = false;
    for (uint32_t i = 0; i < bufSize; ++i)
      if (buf[i] == 0) {
        terminated = true;
        break;
      }
    if (!terminated) {
      buf[0] = 0;
      return kErrorMoreData;
    }
  }
  return kErrorSuccess;
}

long SetText(Registry& reg, RegKey key, const char* name, const char* text) {
  if (!text) text = "";
  return reg.SetValue(key, name, kRegSz, text,
                      static_cast<uint32_t>(TextLength(text) + 1));
}

long SetDecimal(Registry& reg, RegKey key, const char* name, long number) {
  char text[24];
  FormatDecimal(text, sizeof text, number);
  return SetText(reg, key, name, text);
}

long SetDword(Registry& reg, RegKey key, const char* name, uint32_t number) {
  unsigned char bytes[4] = {
      static_cast<unsigned char>(number & 0xFF),
      static_cast<unsigned char>((number >> 8) & 0xFF),
      static_cast<unsigned char>((number >> 16) & 0xFF),
      static_cast<unsigned char>((number >> 24) & 0xFF)};
  return reg.SetValue(key, name, kRegDword, bytes, 4);
}

}  // namespace tachy
