#include "biosphere/numbers.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace biosphere {

int StandardDraw() { return std::rand() % 32768; }

Randomness::Randomness(Source source) : source(source ? source : StandardDraw) {}

int Randomness::Next() { return source(); }

double Randomness::Uniform(double a, double b) {
  const double factor = (b - a) / 32767;
  return a + Next() * factor;
}

int Randomness::Modulo(int divisor) { return Next() % divisor; }

namespace {

locale_t CLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return locale;
}

// The number in [begin, end), read from a copy of at most 50 bytes.
double ReadBound(const char* begin, const char* end) {
  char copy[51];
  const size_t length = std::min<size_t>(end - begin, 50);
  std::memcpy(copy, begin, length);
  copy[length] = 0;
  return std::strtod(copy, nullptr);
}

}  // namespace

CLocaleScope::CLocaleScope() : previous(CLocale() ? uselocale(CLocale()) : static_cast<locale_t>(nullptr)) {}

CLocaleScope::~CLocaleScope() {
  if (previous)
    uselocale(previous);
}

double ReadValue(char*& cursor, Randomness& random) {
  CLocaleScope cLocale;
  char* p = cursor;
  if (*p == '(') {
    char* colon = std::strchr(p + 1, ':');
    char* close = colon ? std::strchr(colon + 1, ')') : nullptr;
    if (!close)
      return 0;
    const double a = ReadBound(p + 1, colon);
    const double b = ReadBound(colon + 1, close);
    cursor = close + 1;
    return a + random.Next() * (1.0 / 32767) * (b - a);
  }
  char* separator = std::strpbrk(p, "=,)");
  if (!separator)
    return 0;
  *separator = 0;
  cursor = separator;
  return std::strtod(p, nullptr);
}

void AppendFormat(std::string& out, const char* format, ...) {
  CLocaleScope cLocale;
  va_list arguments;
  va_start(arguments, format);
  va_list again;
  va_copy(again, arguments);
  char small[256];
  const int length = std::vsnprintf(small, sizeof small, format, arguments);
  va_end(arguments);
  if (length < 0) {
    va_end(again);
    return;
  }
  if (static_cast<size_t>(length) < sizeof small) {
    out.append(small, length);
  } else {
    const size_t start = out.size();
    out.resize(start + length + 1);
    std::vsnprintf(out.data() + start, length + 1, format, again);
    out.resize(start + length);
  }
  va_end(again);
}

}  // namespace biosphere
