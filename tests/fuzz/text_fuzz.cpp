// The number and text helpers on any bytes, against the C library (strtoll,
// snprintf, strchr) and std::string, into buffers of any size.
#include <algorithm>
#include <cctype>
#include <iterator>
#include <type_traits>
#include <variant>

#include "fuzz_support.h"

using tachy::fuzz::Buffer;
using tachy::fuzz::Require;

namespace {

// The atoi rule with 32-bit wrap-around, from strtoll where it cannot
// overflow and by hand beyond.
int32_t ReferenceAtoi(const std::string& text) {
  const char* p = text.c_str();
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  const char* sign = p;
  if (*p == '+' || *p == '-') ++p;
  size_t digits = 0;
  while (p[digits] >= '0' && p[digits] <= '9') ++digits;
  if (digits <= 18) {
    long long n = std::strtoll(text.c_str(), nullptr, 10);
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<unsigned long long>(n)));
  }
  uint32_t value = 0;
  for (size_t i = 0; i < digits; ++i) value = value * 10u + static_cast<uint32_t>(p[i] - '0');
  if (*sign == '-') value = 0u - value;
  return static_cast<int32_t>(value);
}

// One argument of FormatText, taken from the input as its conversion wants it.
using Arg = std::variant<int, long, unsigned, unsigned long, std::string>;
template <typename T>
Arg Take(FuzzedDataProvider& fdp) {
  if constexpr (std::is_same_v<T, std::string>)
    return tachy::fuzz::Text(fdp, 400);
  else
    return fdp.ConsumeIntegral<T>();
}

// The conversions FormatText knows, longest first.
const struct {
  const char* text;
  Arg (*take)(FuzzedDataProvider&);
} kConversions[] = {{"4.4i", Take<int>}, {"ld", Take<long>},    {"li", Take<long>},
                    {"lu", Take<unsigned long>}, {"d", Take<int>}, {"i", Take<int>},
                    {"u", Take<unsigned>}, {"s", Take<std::string>}};

// Expected output of a format: each known conversion through snprintf,
// unknown ones copied. Fills the arguments from the input.
std::string Expected(const std::string& format, FuzzedDataProvider& fdp, std::vector<Arg>* args) {
  std::string out;
  for (size_t i = 0; i < format.size();) {
    if (format[i] != '%') {
      out += format[i++];
      continue;
    }
    const std::string rest = format.substr(i + 1);
    const auto* c = std::find_if(std::begin(kConversions), std::end(kConversions),
                                 [&](const auto& k) { return rest.rfind(k.text, 0) == 0; });
    if (c == std::end(kConversions)) {  // "%%" is one '%'; an unknown '%' stands
      out += '%';
      i += !rest.empty() && rest[0] == '%' ? 2 : 1;
      continue;
    }
    args->push_back(c->take(fdp));
    const std::string conversion = std::string("%") + c->text;
    std::visit([&](const auto& value) {
      if constexpr (std::is_same_v<std::decay_t<decltype(value)>, std::string>) {
        out += value;
      } else {
        char piece[64];
        std::snprintf(piece, sizeof piece, conversion.c_str(), value);
        out += piece;
      }
    }, args->back());
    i += 1 + std::strlen(c->text);
  }
  return out;
}

constexpr size_t kMaxArgs = 3;

template <typename T>
T Pass(const T& value) {
  return value;
}
const char* Pass(const std::string& text) { return text.c_str(); }

template <typename... T>
size_t Call(char* dest, size_t size, const char* format,
            const std::vector<Arg>& args, size_t index, T... got) {
  if (index == args.size()) return tachy::FormatText(dest, size, format, got...);
  if constexpr (sizeof...(T) < kMaxArgs) {
    return std::visit([&](const auto& value) {
      return Call(dest, size, format, args, index + 1, got..., Pass(value));
    }, args[index]);
  }
  std::abort();
}

void RequireCut(const Buffer& b, size_t returned, const std::string& full, const char* what) {
  if (b.size == 0) {
    Require(returned == 0, std::string(what) + ": wrote into an empty buffer");
    return;
  }
  size_t expect = full.size() < b.size - 1 ? full.size() : b.size - 1;
  const std::string shown = b.data[expect] == 0 ? std::string(b.data.get()) : std::string("?");
  Require(returned == expect, std::string(what) + ": wrong length in " + std::to_string(b.size) +
                                  " bytes; expected \"" + full + "\", got \"" + shown + "\"");
  Require(b.data[expect] == 0, std::string(what) + ": not terminated");
  Require(std::memcmp(b.data.get(), full.data(), expect) == 0, std::string(what) + ": wrong text");
}

void CheckNumbers(FuzzedDataProvider& fdp) {
  // The atoi rule on any bytes (up to the first zero).
  std::string text = tachy::fuzz::Text(fdp, 64);
  Require(tachy::ParseDecimal(text.c_str()) == ReferenceAtoi(text),
          "ParseDecimal differs from the atoi rule for \"" + text + "\"");

  // Round trip of every int32 and of the formatting of any long.
  int32_t n = fdp.ConsumeIntegral<int32_t>();
  char digits[24];
  tachy::FormatDecimal(digits, sizeof digits, n);
  Require(std::to_string(n) == digits, "FormatDecimal text");
  Require(tachy::ParseDecimal(digits) == n, "FormatDecimal/ParseDecimal round trip");

  long l = fdp.ConsumeIntegral<long>();
  unsigned long ul = fdp.ConsumeIntegral<unsigned long>();
  size_t size = fdp.ConsumeIntegralInRange<size_t>(0, 26);
  char pad4[64];
  std::snprintf(pad4, sizeof pad4, "%4.4ld", l);
  Buffer d(size, 'x'), u(size, 'x'), p(size, 'x');
  RequireCut(d, tachy::FormatDecimal(d.data.get(), size, l), std::to_string(l), "FormatDecimal");
  RequireCut(u, tachy::FormatUnsigned(u.data.get(), size, ul), std::to_string(ul),
             "FormatUnsigned");
  RequireCut(p, tachy::FormatPad4(p.data.get(), size, l), pad4, "FormatPad4");
}

void CheckFormat(FuzzedDataProvider& fdp) {
  std::string format = tachy::fuzz::Text(fdp, 120);
  std::vector<Arg> args;
  std::string full = Expected(format, fdp, &args);
  if (args.size() > kMaxArgs) return;
  Buffer b(fdp.ConsumeIntegralInRange<size_t>(0, 600), '#');
  size_t n = Call(b.data.get(), b.size, format.c_str(), args, 0);
  RequireCut(b, n, full, "FormatText");
}

void CheckCopyAndSearch(FuzzedDataProvider& fdp) {
  std::string a = tachy::fuzz::Text(fdp, 300);
  std::string c = tachy::fuzz::Text(fdp, 300);
  size_t size = fdp.ConsumeIntegralInRange<size_t>(0, 320);

  Buffer copy(size, 'x');
  RequireCut(copy, tachy::CopyText(copy.data.get(), copy.size, a.c_str()), a, "CopyText");

  // AppendText onto a terminated text, and onto a buffer without any zero.
  Buffer append(size, 'x');
  tachy::CopyText(append.data.get(), append.size, a.c_str());
  std::string before = size ? std::string(append.data.get()) : std::string();
  RequireCut(append, tachy::AppendText(append.data.get(), append.size, c.c_str()),
             before + c, "AppendText");
  Buffer unterminated(size, 'y');
  size_t n = tachy::AppendText(unterminated.data.get(), unterminated.size, c.c_str());
  if (size)
    Require(n == size - 1 && unterminated.data[size - 1] == 0,
            "AppendText onto an unterminated buffer");

  // Searching and comparing.
  size_t found = a.find(c);
  const char* hit = tachy::FindText(a.c_str(), c.c_str());
  Require(found == std::string::npos ? hit == nullptr : hit == a.c_str() + found,
          "FindText differs from std::string::find");
  Require(tachy::TextEquals(a.c_str(), c.c_str()) == (a == c), "TextEquals");
  Require(tachy::TextEquals(a.c_str(), a.c_str()), "TextEquals with itself");
  auto lower = [](std::string s) {
    for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return s;
  };
  const std::string both = a + c;
  if (std::all_of(both.begin(), both.end(), [](char ch) { return (ch & 0x80) == 0; }))
    Require(tachy::TextEqualsNoCase(a.c_str(), c.c_str()) == (lower(a) == lower(c)),
            "TextEqualsNoCase");
  char ch = static_cast<char>(fdp.ConsumeIntegral<uint8_t>());
  const char* at = tachy::FindChar(a.c_str(), ch);
  Require(at == (ch ? std::strchr(a.c_str(), ch) : nullptr),
          "FindChar differs from strchr (and finds no terminator)");
  Require(tachy::TextLength(a.c_str()) == a.size(), "TextLength");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider fdp(data, size);
  static void (*const kChecks[])(FuzzedDataProvider&) = {CheckNumbers, CheckFormat,
                                                          CheckCopyAndSearch};
  kChecks[fdp.ConsumeIntegralInRange<int>(0, 2)](fdp);
  return 0;
}
