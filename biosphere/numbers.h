// Numbers in plant description strings: the random draws, reading values and printing
// them. Internal to the library.
#pragma once

#include <locale.h>

#include <string>

namespace biosphere {

// Random draws in 0..32767. The library draws from rand(); tests may supply any source.
class Randomness {
 public:
  using Source = int (*)();
  explicit Randomness(Source source = nullptr);

  // The next draw, 0 to 32767.
  int Next();
  // A draw in [a, b]: a + draw x f, the factor f = (b - a) / 32767 computed first.
  double Uniform(double a, double b);
  // The "long" draw reduced modulo `divisor`: one draw of the same generator.
  int Modulo(int divisor);

 private:
  Source source;
};

// rand() reduced to its low 15 bits, the range the formulas assume.
int StandardDraw();

// The C locale for the duration of a scope (on this thread only), so that numbers are
// printed and read with "." whatever locale the program has set.
class CLocaleScope {
 public:
  CLocaleScope();
  ~CLocaleScope();
  CLocaleScope(const CLocaleScope&) = delete;
  CLocaleScope& operator=(const CLocaleScope&) = delete;

 private:
  locale_t previous;
};

// ReadValue with the draws of a range taken from `random`.
double ReadValue(char*& cursor, Randomness& random);

// Appends printf-formatted text to `out`.
void AppendFormat(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace biosphere
