#include "engine/scene/landscape.h"

#include <gtest/gtest.h>

#include "tests/printers.h"

namespace {

TEST(Landscape, LayerQueriesFollowTheStatusOfEachLayer) {
  TPaysage landscape;
  landscape.LayerStatus[0] = 0;
  landscape.LayerStatus[1] = 1;
  landscape.LayerStatus[2] = 2;
  EXPECT_EQ(landscape.GetLayerStatus(0), 0);
  EXPECT_EQ(landscape.GetLayerStatus(1), 1);
  EXPECT_EQ(landscape.GetLayerStatus(2), 2);
  EXPECT_FALSE(landscape.IsLayerActive(0));
  // Status 1: visible (a scope of "layers not hidden" takes it) but not active.
  EXPECT_NE(landscape.GetLayerStatus(1), 0);
  EXPECT_FALSE(landscape.IsLayerActive(1));
  EXPECT_TRUE(landscape.IsLayerActive(2));
}

TEST(Landscape, LayerNumbersPastTheLastLayerAreHiddenAndNeverReadPastTheArray) {
  TPaysage landscape;
  for (unsigned layer = 0; layer < LayerCount; layer++)
    EXPECT_TRUE(landscape.IsLayerActive(layer)) << layer;  // a new landscape has every layer active
  EXPECT_EQ(landscape.GetLayerStatus(LayerCount), 0);
  EXPECT_FALSE(landscape.IsLayerActive(LayerCount));
  EXPECT_EQ(landscape.GetLayerStatus(0xFFFFFFFFu), 0);
}

TEST(Landscape, SkyTablesSitInsideThePackedRecordAndCanBeEdited) {
  TPaysage landscape;
  landscape.SkyColours.Flush();
  landscape.SkyColours.Add(VALCLR(0, CLR(10, 20, 30)));
  landscape.SkyColours.Add(VALCLR(10000, CLR(30, 40, 50)));
  CLR c;
  ExtraireCouleur(5000, &landscape.SkyColours, c);
  EXPECT_EQ(c, CLR(20, 30, 40));
  TPaysage copy = landscape;
  EXPECT_EQ(copy.SkyColours, landscape.SkyColours);
  EXPECT_EQ(copy.SunColours, TableDeCouleurs());
}

}  // namespace
