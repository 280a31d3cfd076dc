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

// Skipping n draws leaves a generator (also one just seeded) and rand() where n draws would.
TEST(RandomGenerator, SkippingLandsWhereDrawingWould) {
  for (unsigned seed : {1u, 77u, 4000000000u})
    for (int n : {0, 1, 2, 30, 31, 32, 150, 1000}) {
      RandomGenerator skipped(1), drawn(1);
      skipped.Seed(seed);
      drawn.Seed(seed);
      skipped.Skip(n);
      for (int i = 0; i < n; i++)
        drawn.Next();
      for (int i = 0; i < 40; i++)
        ASSERT_EQ(skipped.Next(), drawn.Next()) << "seed " << seed << ", " << n << " skipped, draw " << i;
      // And once more from a generator that has drawn already.
      SkipRandom(&skipped, n);
      for (int i = 0; i < n; i++)
        drawn.Next();
      ASSERT_EQ(skipped.Next(), drawn.Next()) << "seed " << seed << ", " << n << " skipped twice";
      std::srand(seed);
      SkipRandom(nullptr, n);
      const int afterSkip = StandardRandom();
      std::srand(seed);
      for (int i = 0; i < n; i++)
        StandardRandom();
      ASSERT_EQ(afterSkip, StandardRandom()) << "rand(), seed " << seed << ", " << n << " skipped";
    }
}
