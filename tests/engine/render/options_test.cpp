#include "engine/functions/options.h"

#include <gtest/gtest.h>

#include "tests/printers.h"

namespace {

TableDeCouleurs TwoKeys(CLR low, CLR high) {
  TableDeCouleurs t;
  t.Flush();
  t.Add(VALCLR(0, low));
  t.Add(VALCLR(10000, high));
  return t;
}

TEST(Options, DefaultsHoldExactlyTheTwoKeysOfEachTable) {
  Options o;
  EXPECT_EQ(int(o.Setting), 1);
  EXPECT_EQ(int(o.Background), 3);
  EXPECT_EQ(o.BackgroundColours, TwoKeys(CLR(255, 191, 149), CLR(255, 255, 255)));
  EXPECT_EQ(o.ValueColours, TwoKeys(CLR(0, 0, 0), CLR(255, 255, 255)));
  // The background runs from light blue (red channel lowest) to white.
  CLRINT sky;
  ExtraireCouleur(0, &o.BackgroundColours, sky);
  EXPECT_EQ(sky, CLRINT(149, 191, 255));
}

TEST(Options, ProcessDefaultsStartAsFreshOptionsAndCanBeReplaced) {
  Options functions, materials;
  functions.Setting = 99;
  GetDefaultOptions(functions, materials);
  Options fresh;
  EXPECT_EQ(int(functions.Setting), int(fresh.Setting));
  EXPECT_EQ(functions.BackgroundColours, fresh.BackgroundColours);
  EXPECT_EQ(materials.ValueColours, fresh.ValueColours);

  Options newFunctions, newMaterials;
  newFunctions.Background = 1;
  newMaterials.Background = 2;
  newMaterials.ValueColours.RAZ();
  SetDefaultOptions(newFunctions, newMaterials);
  Options gotFunctions, gotMaterials;
  GetDefaultOptions(gotFunctions, gotMaterials);
  EXPECT_EQ(int(gotFunctions.Background), 1);
  EXPECT_EQ(int(gotMaterials.Background), 2);
  EXPECT_EQ(gotMaterials.ValueColours.Count(), 1);

  SetDefaultOptions(fresh, fresh);  // leave the process defaults as they started
}

}  // namespace
