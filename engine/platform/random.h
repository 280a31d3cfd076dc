// Random draws in the range the engine's formulas assume (0 to 32767).
//
// Every draw the engine takes from rand() goes through StandardRandom, so that a library
// whose rand() reaches 2^31 - 1 draws the same low 15 bits everywhere. While rendering on
// several threads, each thread draws from its own RandomGenerator instead, so that no
// thread touches the C library's shared state and a picture does not depend on how its
// rows were spread over the threads.
#pragma once

#include <cstdint>
#include <cstdlib>

inline int StandardRandom() { return std::rand() % 32768; }

// A generator with its own state: glibc's random_r over a 128-byte state, which is the
// generator behind srand/rand. Seeded with s, it draws exactly what srand(s) followed by
// rand() % 32768 would.
class RandomGenerator {
 public:
  explicit RandomGenerator(unsigned seed = 1);
  // The state holds pointers into itself: a generator is not copied.
  RandomGenerator(const RandomGenerator&) = delete;
  RandomGenerator& operator=(const RandomGenerator&) = delete;

  // Restarts the sequence, as srand(seed) does for rand(). The state is built at the next
  // draw: seeding costs some 340 steps of the generator, and a render seeds every pixel
  // whether or not its shading draws at all.
  void Seed(unsigned seed) {
    pendingSeed = seed;
    seedPending = true;
  }
  // The next draw, 0 to 32767.
  int Next();
  // Moves past n draws, as n calls of Next do, without the call for each.
  void Skip(int n);

 private:
  struct random_data data;
  char state[128];
  unsigned pendingSeed = 0;
  bool seedPending = false;
};

// A draw from `generator`, or from the C library's rand() when there is none.
inline int DrawRandom(RandomGenerator* generator) { return generator ? generator->Next() : StandardRandom(); }

// Moves past n draws of `generator`, or of rand() when there is none.
inline void SkipRandom(RandomGenerator* generator, int n) {
  if (generator)
    generator->Skip(n);
  else
    for (; n > 0; n--)
      StandardRandom();
}

// A seed for the draws made at picture position (x, y) of a picture whose own seed is
// `pictureSeed`: the same position always gives the same seed, whichever thread renders it.
unsigned PositionSeed(int x, int y, unsigned pictureSeed = 0);
