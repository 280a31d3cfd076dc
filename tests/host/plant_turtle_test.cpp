// The turtle: the elements small hand-written strings build, and every species grows
// into a plant with a trunk, branches and leaves.
#include "host/plant_turtle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "biosphere/biosphere.h"
#include "engine/plants/plant.h"

namespace {

struct Built {
  TPlant plant{0};
  TurtleCounts counts;
  explicit Built(const char* text) { counts = BuildPlant(text, PlantMaterials{3, 4, 5}, plant); }
};

void ExpectNear(VECFLOAT v, double x, double y, double z, const char* what) {
  EXPECT_NEAR(v.x, x, 1e-5) << what;
  EXPECT_NEAR(v.y, y, 1e-5) << what;
  EXPECT_NEAR(v.z, z, 1e-5) << what;
}

TEST(PlantTurtle, BuildsTheElementsOfHandWrittenStrings) {
  {
    Built b("f");  // one segment up: length l x $ = 1, diameter d x £ = 1
    ASSERT_EQ(b.plant.cylinderCount, 1u);
    ExpectNear(b.plant.cylinders[0].start, 0, 0, 0, "start");
    ExpectNear(b.plant.cylinders[0].axis, 0, 0, 1, "axis");
    EXPECT_FLOAT_EQ(+b.plant.cylinders[0].length, 1.0f);
    EXPECT_FLOAT_EQ(+b.plant.cylinders[0].radiusSquared, 0.25f);
    EXPECT_EQ(+b.plant.cylinders[0].material, 3);
  }
  {
    Built b("f &(90) f");  // a turn: the second segment starts at the first's end, level
    ASSERT_EQ(b.plant.cylinderCount, 2u);
    ExpectNear(b.plant.cylinders[1].start, 0, 0, 1, "second start");
    EXPECT_NEAR(+b.plant.cylinders[1].axis.z, 0.0, 1e-6);
    EXPECT_NEAR(std::hypot(+b.plant.cylinders[1].axis.x, +b.plant.cylinders[1].axis.y), 1.0, 1e-6);
  }
  {
    Built b("f [&(45) [^(45) f] f] f");  // nested branches return to where they started
    ASSERT_EQ(b.plant.cylinderCount, 4u);
    ExpectNear(b.plant.cylinders[1].start, 0, 0, 1, "inner branch");
    ExpectNear(b.plant.cylinders[1].axis, 0, 0, 1, "inner branch turned back up");
    ExpectNear(b.plant.cylinders[2].start, 0, 0, 1, "outer branch");
    ExpectNear(b.plant.cylinders[3].start, 0, 0, 1, "trunk goes on");
    ExpectNear(b.plant.cylinders[3].axis, 0, 0, 1, "trunk axis");
    EXPECT_EQ(+b.plant.cylinders[3].baseLength, 1.0f);  // smoothed along the trunk
  }
  {
    Built b("*0.5=l *2=d $(3) f \xA7(l,2) f");  // quantities multiply; § sets
    ASSERT_EQ(b.plant.cylinderCount, 2u);
    EXPECT_FLOAT_EQ(+b.plant.cylinders[0].length, 1.5f);
    EXPECT_FLOAT_EQ(+b.plant.cylinders[0].radiusSquared, 1.0f);
    EXPECT_FLOAT_EQ(+b.plant.cylinders[1].length, 6.0f);
    ExpectNear(b.plant.cylinders[1].start, 0, 0, 1.5, "after the first");
  }
  {
    // A move, a range, leaves sized by their own units ($ and £ given after the last
    // segment: 2.5 l $ long, 5 d £ wide) and fruit. Level and unbent, a leaf runs from the
    // turtle along its heading's compass direction.
    Built b("m(2) #(1) *(3:3)=l $(2) \xA3(0.1) &(90) p #(2) p");
    EXPECT_EQ(b.plant.cylinderCount, 0u);
    ASSERT_EQ(b.plant.paraboloidCount, 2u);
    const Paraboloid& leaf = b.plant.paraboloids[0];
    VECFLOAT start;
    ParaboloidEval(leaf.xMin, 0.0f, start, leaf);
    const float cosAngle = leaf.cosAngle, sinAngle = leaf.sinAngle;
    EXPECT_NEAR(leaf.origin.x + start.x * cosAngle, 0.0, 1e-4);
    EXPECT_NEAR(leaf.origin.y + start.x * sinAngle, 0.0, 1e-4);
    EXPECT_NEAR(leaf.origin.z + start.z, 2.0, 1e-4) << "the leaf starts where the move ended";
    EXPECT_NEAR(leaf.xMax - leaf.xMin, 2.5 * 3 * 2, 1e-4);
    EXPECT_NEAR(leaf.yMax - leaf.yMin, 5 * 0.1, 1e-5);
    EXPECT_EQ(leaf.material, 4);
    EXPECT_EQ(+b.plant.paraboloids[1].material, 5);
  }
  {
    // Leaves after a segment without units of their own: 2.5 l $ à long (à 0.4 unless
    // given), 2 d times as wide within [0.25, 0.6]; "|" bends one along its length.
    Built b("$(2) f *0.1=d p \xA7(\xE0,1) *5=d p \xA7(|,10) p");
    ASSERT_EQ(b.plant.paraboloidCount, 3u);
    const Paraboloid first = b.plant.paraboloids[0], second = b.plant.paraboloids[1], third = b.plant.paraboloids[2];
    EXPECT_NEAR(first.yMax - first.yMin, 0.25 * (2.5 * 2 * 0.4), 1e-4) << "narrowest";
    EXPECT_NEAR(second.yMax - second.yMin, 0.6 * (2.5 * 2 * 1), 1e-4) << "widest";
    const float weak = std::fabs(second.curvatureX), strong = std::fabs(third.curvatureX);
    EXPECT_GT(strong, 10 * weak);
  }
  {
    // The pulls: è turns toward the sky by its share, é toward the level by its share,
    // and > turns about the vertical.
    Built b("&(90) \xA7(\xE8,0.5) \xE8 f \xA7(\xE9,1) \xE9 f >(90) f");
    ASSERT_EQ(b.plant.cylinderCount, 3u);
    const VECFLOAT lifted = b.plant.cylinders[0].axis, level = b.plant.cylinders[1].axis,
                   turned = b.plant.cylinders[2].axis;
    EXPECT_NEAR(lifted.z, std::sin(45 * 0.017453292519943295), 1e-5) << "half way up from level";
    EXPECT_NEAR(level.z, 0.0, 1e-5);
    EXPECT_NEAR(turned.z, 0.0, 1e-5);
    EXPECT_NEAR(turned.x * level.x + turned.y * level.y, 0.0, 1e-5) << "a quarter turn round";
  }
  {
    // Broken input draws what it can and stops at the end of the text.
    Built b("f[[+(((f \xA7( *=");
    EXPECT_EQ(b.plant.cylinderCount, 1u);
  }
}

TEST(PlantTurtle, EverySpeciesGrowsBranchesAndLeaves) {
  for (int species = 0; species < PlantModelCount; species++) {
    std::srand(1);
    const std::string text = GrowPlant(static_cast<EPlantModel>(species));
    TPlant plant(0);
    const TurtleCounts counts = BuildPlant(text, PlantMaterials{0, 1, 2}, plant);
    if (species != 5 && species != 7) {  // the two cacti have no leaves
      EXPECT_GT(counts.leaves, 0u) << species;
    }
    EXPECT_GT(plant.localBox.max.z, 0.0) << species;
    // Grasses and ferns (9, 11) are leaves only; everything else has wood.
    if (species != 2 && species != 9 && species != 11) {
      EXPECT_GT(counts.cylinders, 0u) << species;
    }
  }
}

}  // namespace
