#include "engine/platform/random.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(RandomGenerator, DrawsExactlyWhatSrandAndRandWouldForTheSameSeedWithoutTouchingThem) {
  for (unsigned seed : {0u, 1u, 12345u, 4000000000u}) {
    RandomGenerator generator(seed), other(seed + 1);
    std::srand(seed);
    for (int i = 0; i < 1000; i++) {
      other.Next();  // another thread's generator does not disturb this one or rand()
      ASSERT_EQ(generator.Next(), StandardRandom()) << "seed " << seed << " draw " << i;
    }
  }
  RandomGenerator a(5);
  const int first = a.Next();
  a.Seed(5);
  EXPECT_EQ(a.Next(), first);
  // Seeding again without a draw in between: only the last seed counts, as with srand.
  a.Next();
  a.Seed(8);
  a.Seed(5);
  EXPECT_EQ(a.Next(), first);
  a.Seed(7);
  std::srand(7);
  for (int i = 0; i < 100; i++)
    ASSERT_EQ(a.Next(), StandardRandom()) << "draw " << i;
  std::srand(3);
  const int expected = StandardRandom();
  std::srand(3);
  EXPECT_EQ(DrawRandom(nullptr), expected);
  EXPECT_EQ(PositionSeed(10, 20, 3), PositionSeed(10, 20, 3));
  EXPECT_NE(PositionSeed(10, 20), PositionSeed(20, 10));
}
