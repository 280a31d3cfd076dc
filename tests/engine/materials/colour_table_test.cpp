#include "engine/functions/colour_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "tests/printers.h"

namespace {

CLR At(const TableDeCouleurs& table, int position) {
  CLR c;
  ExtraireCouleur(position, &table, c);
  return c;
}

// Keys (0, black), (2500, b200 g100 r40), (5000, b10 g250 r90), (10000, white).
TableDeCouleurs FourKeyTable() {
  TableDeCouleurs t;
  t.Flush();
  t.Add(VALCLR(0, CLR(0, 0, 0)));
  t.Add(VALCLR(2500, CLR(200, 100, 40)));
  t.Add(VALCLR(5000, CLR(10, 250, 90)));
  t.Add(VALCLR(10000, CLR(255, 255, 255)));
  return t;
}

TEST(ColourTable, DefaultHoldsOneBlackKeyAndGivesBlackEverywhere) {
  TableDeCouleurs t;
  ASSERT_EQ(t.Count(), 1);
  EXPECT_EQ(int(t[0].pos), 10000);
  for (int p : {-100, 0, 1, 5000, 9999, 10000, 12000})
    EXPECT_EQ(At(t, p), CLR(0, 0, 0)) << p;
}

TEST(ColourTable, RedToBlueIsHalfOfEachAtTheMiddle) {
  TableDeCouleurs t;
  t.Flush();
  t.Add(VALCLR(0, CLR(0, 0, 255)));
  t.Add(VALCLR(10000, CLR(255, 0, 0)));
  EXPECT_EQ(At(t, 5000), CLR(127, 0, 127));
  CLRINT wide;
  ExtraireCouleur(5000, &t, wide);
  EXPECT_EQ(wide, CLRINT(127, 0, 127));
}

TEST(ColourTable, EveryKeyPositionGivesItsOwnColour) {
  TableDeCouleurs t = FourKeyTable();
  for (const VALCLR& key : t)
    EXPECT_EQ(At(t, key.pos), key.clr) << key.pos;
}

TEST(ColourTable, BetweenKeysChannelsAreInterpolatedAndTruncated) {
  TableDeCouleurs t = FourKeyTable();
  EXPECT_EQ(At(t, 1250), CLR(100, 50, 20));
  EXPECT_EQ(At(t, 3000), CLR(162, 130, 50));
  EXPECT_EQ(At(t, 3750), CLR(105, 175, 65));
  EXPECT_EQ(At(t, 7000), CLR(108, 252, 156));
  // 0.08 and 199.92 truncate toward zero, not to the nearest.
  EXPECT_EQ(At(t, 1), CLR(0, 0, 0));
  EXPECT_EQ(At(t, 2499), CLR(199, 99, 39));
}

TEST(ColourTable, OutsideTheKeysTheNearestEndKeyDecides) {
  TableDeCouleurs t;
  t.Flush();
  t.Add(VALCLR(2000, CLR(1, 2, 3)));
  t.Add(VALCLR(8000, CLR(7, 8, 9)));
  EXPECT_EQ(At(t, 0), CLR(1, 2, 3));
  EXPECT_EQ(At(t, -32768), CLR(1, 2, 3));
  EXPECT_EQ(At(t, 9000), CLR(7, 8, 9));
  EXPECT_EQ(At(t, 2147483647), CLR(7, 8, 9));
  t.Flush();
  EXPECT_EQ(At(t, 5000), CLR(0, 0, 0));
}

// Computed positions are clamped before the lookup; whatever the keys (anywhere in their
// 16-bit range), the clamped position reads the colour the exact position would.
TEST(ColourTable, ClampedComputedPositionsReadWhatTheExactPositionReads) {
  std::mt19937 random(14);
  std::uniform_int_distribution<int> key(INT16_MIN, INT16_MAX), channel(0, 255);
  std::uniform_real_distribution<double> near(-40000.0, 40000.0), far(-1e12, 1e12);
  for (int round = 0; round < 200; round++) {
    std::vector<int> positions(1 + round % 5);
    for (int& p : positions)
      p = key(random);
    std::sort(positions.begin(), positions.end());
    TableDeCouleurs t;
    t.Flush();
    for (int p : positions)
      t.Add(VALCLR(static_cast<int16_t>(p), CLR(channel(random), channel(random), channel(random))));
    for (int i = 0; i < 50; i++) {
      const double v = i % 2 ? near(random) : far(random);
      // The exact position, for values in the int range; beyond it, the end keys.
      const CLR exact =
          std::fabs(v) < 2e9 ? At(t, static_cast<int>(v)) : (v < 0 ? t.begin()[0].clr : t.begin()[t.Count() - 1].clr);
      EXPECT_EQ(At(t, ColourTablePosition(v)), exact) << "position " << v;
    }
    EXPECT_EQ(At(t, ColourTablePosition(std::nan(""))), t.begin()[0].clr);
  }
}

TEST(ColourTable, WideFormKeepsTheChannelsOfTheNarrowForm) {
  TableDeCouleurs t = FourKeyTable();
  for (int p = 0; p <= 10000; p += 37) {
    CLR narrow;
    CLRINT wide;
    ExtraireCouleur(p, &t, narrow);
    ExtraireCouleur(p, &t, wide);
    EXPECT_EQ(wide, CLRINT(narrow)) << p;
  }
  TableDeCouleurs single;
  single[0].clr = CLR(10, 20, 30);
  CLRINT wide;
  ExtraireCouleur(10000, &single, wide);
  EXPECT_EQ(wide, CLRINT(30, 20, 10));
}

TEST(ColourTable, AssignmentReplacesKeysAndEqualityComparesThemInOrder) {
  TableDeCouleurs source = FourKeyTable();
  TableDeCouleurs target;
  EXPECT_FALSE(target == source);
  target = source;
  EXPECT_EQ(target, source);
  EXPECT_EQ(target.Count(), 4);

  TableDeCouleurs swapped = source;
  std::swap(swapped[1], swapped[2]);
  EXPECT_FALSE(swapped == source);
  TableDeCouleurs shorter = source;
  shorter.Detach(3);
  EXPECT_FALSE(shorter == source);

  target.RAZ();
  EXPECT_EQ(target, TableDeCouleurs());
  // The copy is deep: editing the source later leaves the copy alone.
  TableDeCouleurs copy(source);
  source[0].clr = CLR(9, 9, 9);
  EXPECT_EQ(copy[0].clr, CLR(0, 0, 0));
}

TEST(ColourTable, TablesGrowAndEditInsideAPackedRecord) {
#pragma pack(push, 1)
  struct Holder {
    uint8_t odd;
    TableDeCouleurs table;
  };
#pragma pack(pop)
  Holder h;
  for (int i = 0; i < 20; i++)
    h.table.AddAt(VALCLR(static_cast<int16_t>(i), CLR(1, 1, 1)), 0);
  EXPECT_EQ(h.table.Count(), 21);
  EXPECT_EQ(int(h.table[0].pos), 19);
  EXPECT_EQ(int(h.table.Last().pos), 10000);
  EXPECT_TRUE(h.table.Detach(0));
  EXPECT_FALSE(h.table.Detach(20));
  EXPECT_EQ(int(h.table[0].pos), 18);
}

}  // namespace
