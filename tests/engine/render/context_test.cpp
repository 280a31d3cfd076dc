#include "engine/scene/context.h"

#include <gtest/gtest.h>

namespace {

void FakeCamera(TDrawInfo*, float& sx, float& sy, VECTEUR) { sx = sy = -1.0f; }

TDrawInfo View(EViewType type) {
  TDrawInfo di;
  di.ViewType = type;
  di.Scale = 2.0f;
  di.CentreX = 100;
  di.CentreY = 50;
  di.Project = ChooseProjection(type, FakeCamera);
  return di;
}

TEST(RenderContext, OrthographicViewsProjectTheirTwoAxes) {
  VECTEUR p(3.0, -4.0, 5.5);
  float sx, sy;
  TDrawInfo top = View(ViewTop);
  top.Project(&top, sx, sy, p);
  EXPECT_FLOAT_EQ(sx, 106.0f);
  EXPECT_FLOAT_EQ(sy, 58.0f);
  TDrawInfo front = View(ViewFront);
  front.Project(&front, sx, sy, p);
  EXPECT_FLOAT_EQ(sx, 106.0f);
  EXPECT_FLOAT_EQ(sy, 39.0f);
  TDrawInfo side = View(ViewSide);
  side.Project(&side, sx, sy, p);
  EXPECT_FLOAT_EQ(sx, 92.0f);
  EXPECT_FLOAT_EQ(sy, 39.0f);
}

TEST(RenderContext, OrthographicViewsIgnoreTheDepthAxisAndKeepTheCentreAtTheOrigin) {
  for (EViewType type : {ViewTop, ViewFront, ViewSide}) {
    TDrawInfo di = View(type);
    float sx, sy, sx2, sy2;
    di.Project(&di, sx, sy, VECTEUR(0, 0, 0));
    EXPECT_EQ(sx, 100.0f);
    EXPECT_EQ(sy, 50.0f);
    // Moving along the axis the view looks down does not move the projected point.
    VECTEUR p(1.5, 2.5, 3.5);
    VECTEUR depth = type == ViewTop ? VECTEUR(0, 0, 7) : (type == ViewFront ? VECTEUR(0, 7, 0) : VECTEUR(7, 0, 0));
    di.Project(&di, sx, sy, p);
    di.Project(&di, sx2, sy2, p + depth);
    EXPECT_EQ(sx, sx2);
    EXPECT_EQ(sy, sy2);
  }
}

TEST(RenderContext, CameraViewsAndUnknownTypesUseTheCameraProjection) {
  EXPECT_EQ(ChooseProjection(ViewCamera, FakeCamera), &FakeCamera);
  EXPECT_EQ(ChooseProjection(static_cast<EViewType>(9), FakeCamera), &FakeCamera);
  EXPECT_EQ(ChooseProjection(static_cast<EViewType>(-1), FakeCamera), &FakeCamera);
  EXPECT_EQ(ChooseProjection(ViewSide, FakeCamera), &ProjectSide);
}

TEST(RenderContext, DepthHitPointSlotsStayInsideTheArray) {
  TGlobalInfo gi;
  gi.DepthHitPoint(3) = VECTEUR(1, 2, 3);
  EXPECT_EQ(gi.DepthHitPoints[3], VECTEUR(1, 2, 3));
  EXPECT_EQ(&gi.DepthHitPoint(-5), &gi.DepthHitPoints[0]);
  EXPECT_EQ(&gi.DepthHitPoint(DepthHitPointCount + 40), &gi.DepthHitPoints[DepthHitPointCount - 1]);
}

}  // namespace
