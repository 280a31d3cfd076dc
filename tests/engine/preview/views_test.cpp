#include "engine/preview/views.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/geometry/matrix.h"
#include "engine/lights/light.h"
#include "engine/mesh/mesh.h"
#include "engine/objects/aggregates.h"
#include "engine/objects/primitives.h"
#include "engine/objects/wireframe.h"
#include "engine/platform/memory.h"
#include "engine/platform/messages.h"
#include "engine/render/camera.h"
#include "engine/scene/environment.h"
#include "engine/scene/landscape.h"
#include "engine/terrain/terrain.h"

namespace {

using Pixels = std::set<std::pair<int, int>>;

Pixels Drawn(HDC dc, COLORREF colour) {
  Pixels drawn;
  for (int y = 0; y < CanvasHeight(dc); y++)
    for (int x = 0; x < CanvasWidth(dc); x++)
      if (GetPixel(dc, x, y) == colour)
        drawn.insert({x, y});
  return drawn;
}

Pixels DrawnAny(HDC dc) {
  Pixels drawn;
  for (int y = 0; y < CanvasHeight(dc); y++)
    for (int x = 0; x < CanvasWidth(dc); x++)
      if (GetPixel(dc, x, y) != RGB(255, 255, 255))
        drawn.insert({x, y});
  return drawn;
}

// A landscape of objects it owns, drawn into a canvas of 200 x 200 pixels.
struct View {
  TPaysage landscape;
  ObjectsList objects;
  TDrawInfo di;
  HDC dc = CreateCanvas(200, 200);

  View() {
    InitCosSinTables();
    InitializePens();
    landscape.Objects = &objects;
  }
  ~View() {
    for (BasicObject* object : objects)
      delete object;
    DeleteCanvas(dc);
    DestroyPens();
  }
  template <class T>
  T* Add(T* object) {
    objects.Add(object);
    return object;
  }
  void Prepare(EViewType view, int detail = 1, float scale = 1.0f) {
    landscape.ViewScale = scale;
    TRect rect;
    rect.right = rect.bottom = 200;
    PreparerAffichage(&di, &landscape, view, rect, detail, 1.0f);
    di.DeviceContext = dc;
    ClearCanvas(dc, RGB(255, 255, 255));
  }
};

TEST(WireframeViews, PreparationCentresEachViewAndFindsTheGround) {
  View v;
  v.landscape.ViewCentre = VECTEUR(10, 20, 30);
  struct Case {
    EViewType view;
    int centreX, centreY;
  } cases[] = {{ViewCamera, 101, 101}, {ViewTop, 121, 141}, {ViewFront, 121, 161}, {ViewSide, 61, 161}};
  for (const Case& c : cases) {
    v.Prepare(c.view, 3, 2.0f);
    EXPECT_EQ(+v.di.CentreX, c.centreX) << c.view;
    EXPECT_EQ(+v.di.CentreY, c.centreY) << c.view;
    EXPECT_EQ(+v.di.Detail, 3);
    EXPECT_EQ(+v.di.Scale, 2.0f);
    EXPECT_EQ(+v.di.Rendering, 0);
    EXPECT_NE(+v.di.Camera, nullptr);
  }

  // Ground from the first infinite plane, only when horizontal, and in the orthographic
  // views only when the environment asks for it there too.
  TEnvironment* environment = GetEnvironment();
  const TEnvironment saved = *environment;
  InfinitePlane* plane = v.Add(new InfinitePlane(0));
  plane->MoveTo(0, 0, -4, nullptr);
  environment->GroundLevelInViews = 1;
  environment->GroundLevelInSideViews = 0;
  v.Prepare(ViewCamera);
  EXPECT_EQ(+v.di.GroundLevel, -4.0f);
  v.Prepare(ViewFront);
  EXPECT_EQ(+v.di.GroundLevel, NoGroundLevel);
  environment->GroundLevelInSideViews = 1;
  v.Prepare(ViewFront);
  EXPECT_EQ(+v.di.GroundLevel, -4.0f);
  plane->Rotate(10, 0, 0, nullptr, true);
  v.Prepare(ViewCamera);
  EXPECT_EQ(+v.di.GroundLevel, NoGroundLevel);
  environment->GroundLevelInViews = 0;
  plane->Rotate(0, 0, 0, nullptr, true);
  v.Prepare(ViewCamera);
  EXPECT_EQ(+v.di.GroundLevel, NoGroundLevel);
  *environment = saved;
}

TEST(WireframeViews, SegmentsAreCutAtTheGroundCulledNearTheCameraAndKeptOnScreen) {
  View v;
  v.Prepare(ViewFront);                           // screen x = x + 101, y = 101 - z
  auto column = [](int x, int top, int bottom) {  // pixels (x, top) .. (x, bottom - 1)
    Pixels p;
    for (int y = top; y < bottom; y++)
      p.insert({x, y});
    return p;
  };
  struct Case {
    float ground;
    VECTEUR a, b;
    Pixels expected;
  } cases[] = {
      {NoGroundLevel, VECTEUR(0, 0, -10), VECTEUR(0, 0, 10), column(101, 92, 112)},  // nothing clipped
      {0.0f, VECTEUR(0, 0, -10), VECTEUR(0, 0, 10), column(101, 92, 102)},           // cut at z = 0
      {0.0f, VECTEUR(0, 0, 10), VECTEUR(0, 0, -10), column(101, 91, 101)},           // the same, drawn downwards
      {0.0f, VECTEUR(0, 0, -10), VECTEUR(0, 0, 0), {}},                              // wholly at or below
      {NoGroundLevel, VECTEUR(0, 0, 0), VECTEUR(0, 0, 10200), {}},                   // beyond 10000 pixels
  };
  for (const Case& c : cases) {
    v.di.GroundLevel = c.ground;
    ClearCanvas(v.dc, RGB(255, 255, 255));
    DrawSegment(&v.di, c.a, c.b);
    EXPECT_EQ(DrawnAny(v.dc), c.expected) << c.a.z << " -> " << c.b.z << " ground " << c.ground;
  }

  // The default camera stands at the origin looking along +y.
  v.Prepare(ViewCamera);
  struct Near {
    double depthA, depthB;
    bool drawn;
  } near[] = {{5.0, 50.0, false}, {50.0, 5.0, false}, {-20.0, 50.0, false}, {5.01, 50.0, true}};
  for (const Near& n : near) {
    ClearCanvas(v.dc, RGB(255, 255, 255));
    DrawSegment(&v.di, VECTEUR(1, n.depthA, 1), VECTEUR(1, n.depthB, -1));
    EXPECT_EQ(DrawnAny(v.dc).empty(), !n.drawn) << n.depthA << " " << n.depthB;
  }
}

TEST(WireframeViews, CubeSeenFromTheTopIsASquareOfItsSizeAndPlace) {
  View v;
  TCube* cube = v.Add(new TCube(0));
  cube->Scale(10, 10, 10, nullptr, false);
  cube->MoveTo(20, -10, 5, nullptr);
  cube->SetWireFrameColor(3);
  v.Prepare(ViewTop, 1, 2.0f);  // screen x = 2x + 101, y = 101 - 2y: x 121..161, y 101..141
  cube->DrawWireFrame(&v.di, false);
  const Pixels drawn = DrawnAny(v.dc);
  EXPECT_EQ(Drawn(v.dc, RGB(54, 117, 213)), drawn);  // the pen of colour index 3
  int left = 1000, right = -1, top = 1000, bottom = -1;
  for (const auto& [x, y] : drawn) {
    left = std::min(left, x), right = std::max(right, x), top = std::min(top, y), bottom = std::max(bottom, y);
    EXPECT_TRUE(x == 121 || x == 161 || y == 101 || y == 141) << x << "," << y;  // only the outline
  }
  EXPECT_EQ(left, 121);
  EXPECT_EQ(right, 161);
  EXPECT_EQ(top, 101);
  EXPECT_EQ(bottom, 141);
  EXPECT_GE(drawn.size(), 159u);  // four sides of 40 pixels, at most one corner left open

  // Selected and ghost pens.
  cube->Select(true);
  ClearCanvas(v.dc, RGB(255, 255, 255));
  cube->DrawWireFrame(&v.di, false);
  EXPECT_EQ(Drawn(v.dc, RGB(255, 0, 0)), drawn);
  ClearCanvas(v.dc, RGB(255, 255, 255));
  cube->DrawWireFrame(&v.di, true);
  EXPECT_EQ(Drawn(v.dc, RGB(128, 128, 128)), drawn);
}

TEST(WireframeViews, SphereInTheCameraViewStaysWithinItsProjectedOutline) {
  View v;
  Sph* sphere = v.Add(new Sph(0));
  const double radius = 10.0, distance = 60.0;
  sphere->Scale(radius, radius, radius, nullptr, false);
  sphere->MoveTo(0, distance, 0, nullptr);
  sphere->Rotate(30, 20, 10, nullptr, true);
  v.Prepare(ViewCamera);
  sphere->DrawWireFrame(&v.di, false);
  // The outline: the cone tangent to the sphere, of half angle asin(r / d).
  const double f = (2.0 * v.di.CentreX + 2.0) * v.di.FocalLength / 18.0;
  const double outline = f * std::tan(std::asin(radius / distance));
  const Pixels drawn = DrawnAny(v.dc);
  ASSERT_GT(drawn.size(), 200u);
  double farthest = 0.0;
  for (const auto& [x, y] : drawn) {
    const double r = std::hypot(x - v.di.CentreX, y - (v.di.CentreY - 1.0));
    EXPECT_LE(r, outline + 1.5) << x << "," << y;
    farthest = std::max(farthest, r);
  }
  EXPECT_GT(farthest, outline * 0.95);  // the drawing reaches the outline
}

// Every kind of object draws within the box that bounds it and that picking tests, and
// gives back the pen it found.
TEST(WireframeViews, EveryKindDrawsWithinItsBoxAndRestoresThePen) {
  View v;
  auto place = [](Obj* o, double scale) {
    o->Scale(scale, scale * 0.7, scale * 0.5, nullptr, false);
    o->Rotate(25, 40, 15, nullptr, true);
    o->MoveTo(3, -4, 2, nullptr);
    return o;
  };
  Terrain* terrain = new Terrain(17, 13, 0);
  for (int j = 0; j < 13; j++)
    for (int i = 0; i < 17; i++)
      terrain->SetAltitude(i, j, (i * 37 + j * 11) % 200);
  terrain->PrepareEdges();
  terrain->PrepareClusters();
  TMesh* mesh = new TMesh(0);
  mesh->AddFace3(VECFLOAT(0, 0, 0), VECFLOAT(20, 0, 0), VECFLOAT(0, 20, 10), 0);
  mesh->AddFace3(VECFLOAT(20, 0, 0), VECFLOAT(20, 20, 5), VECFLOAT(0, 20, 10), 0);
  mesh->BuildBox();
  TCamera* camera = new TCamera(nullptr);
  camera->FocalLength = 50.0f;
  camera->Rotate(-30, 0, 40, nullptr, true);
  camera->MoveTo(-5, 6, 3, nullptr);
  std::vector<BasicObject*> kinds = {
      place(new Sph(0), 30),
      place(new Cyl(0), 30),
      place(new TCone(0), 30),
      place(new TCube(0), 30),
      place(new TPyramide(0), 30),
      place(new TPlane(0), 2),
      place(new InfinitePlane(0), 3),
      place(terrain, 5),
      place(mesh, 3),
      place(new TDirectionLight, 4),
      place(new TPointLight, 4),
      place(new TSpotLight, 4),
      camera,
  };
  Group* group = new Group(nullptr);
  group->Add(place(new Sph(0), 20), static_cast<unsigned>(-1));
  group->Add(place(new TCube(0), 10), static_cast<unsigned>(-1));
  kinds.push_back(group);
  for (BasicObject* object : kinds)
    v.Add(object);

  HPEN mine = CreatePen(PS_SOLID, 1, RGB(1, 1, 1));
  for (EViewType view : {ViewTop, ViewFront, ViewSide})
    for (int detail : {0, 1, 3}) {
      v.Prepare(view, detail, 2.0f);
      for (BasicObject* object : kinds) {
        ClearCanvas(v.dc, RGB(255, 255, 255));
        SelectObject(v.dc, mine);
        object->DrawWireFrame(&v.di, false);
        EXPECT_EQ(SelectObject(v.dc, mine), mine) << object->name;
        TBoundingBox box;
        object->IncludeObjectInBox(box, true, true);
        if (object->type == BasicObject::TypeCone)  // its box: the unit cube of its own space
          for (int k = 0; k < 8; k++)
            box.Include(ObjectToWorld(static_cast<Obj*>(object),
                                      VECTEUR((k & 1) ? 1 : -1, (k & 2) ? 1 : -1, (k & 4) ? 1 : -1)));
        float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
        for (int k = 0; k < 8; k++) {
          float sx, sy;
          TransformationEcranExterne(&v.di, sx, sy,
                                     VECTEUR((k & 1) ? box.max.x : box.min.x, (k & 2) ? box.max.y : box.min.y,
                                             (k & 4) ? box.max.z : box.min.z));
          x0 = std::min(x0, sx), x1 = std::max(x1, sx), y0 = std::min(y0, sy), y1 = std::max(y1, sy);
        }
        const Pixels drawn = DrawnAny(v.dc);
        EXPECT_FALSE(drawn.empty()) << object->name << " view " << view << " detail " << detail;
        for (const auto& [x, y] : drawn)
          ASSERT_TRUE(x >= std::floor(x0) - 1 && x <= x1 + 1 && y >= std::floor(y0) - 1 && y <= y1 + 1)
              << object->name << " view " << view << " detail " << detail << " at " << x << "," << y;
      }
    }
  SelectObject(v.dc, static_cast<HPEN>(GetStockObject(BLACK_PEN)));
  DeleteObject(mine);
  ClearCanvas(v.dc, RGB(255, 255, 255));
  TLaserLight laser;
  laser.DrawWireFrame(&v.di, false);
  EXPECT_TRUE(DrawnAny(v.dc).empty());
}

TEST(WireframeViews, GroupsDrawADottedBoxAndChildrenUnlessBoxOnly) {
  View v;
  Group* group = v.Add(new Group(nullptr));
  Sph* child = new Sph(0);
  child->Scale(20, 20, 20, nullptr, false);
  group->Add(child, static_cast<unsigned>(-1));
  group->SetWireFrameColor(2);  // sets the children's colour; the group's own bits are its box's
  group->flags = (group->flags & ~BasicObject::ColourMask) | 2;
  const COLORREF solid = RGB(75, 150, 75), dotted = RGB(125, 200, 125);
  struct Case {
    int detail;
    bool boxOnly;
    bool dottedBox, solidLines;
  } cases[] = {{1, false, true, true}, {1, true, false, true}, {0, false, false, true}};
  for (const Case& c : cases) {
    group->flags = c.boxOnly ? (group->flags | BasicObject::BoxOnlyBit) : (group->flags & ~BasicObject::BoxOnlyBit);
    v.Prepare(ViewTop, c.detail, 2.0f);
    group->DrawWireFrame(&v.di, false);
    const Pixels solidPixels = Drawn(v.dc, solid), dottedPixels = Drawn(v.dc, dotted);
    EXPECT_EQ(!dottedPixels.empty(), c.dottedBox) << c.detail << c.boxOnly;
    EXPECT_EQ(DrawnAny(v.dc).size(), solidPixels.size() + dottedPixels.size());
    if (!c.dottedBox) {
      // The box alone: every pixel on its outline (x 61..141 by y 61..141).
      for (const auto& [x, y] : solidPixels)
        EXPECT_TRUE(x == 61 || x == 141 || y == 61 || y == 141) << x << "," << y;
    } else {
      bool inside = false;  // the sphere's lines run inside the box
      for (const auto& [x, y] : solidPixels)
        inside = inside || (x > 70 && x < 130 && y > 70 && y < 130);
      EXPECT_TRUE(inside);
    }
  }
  // Drawn as a ghost: the dotted ghost box and the solid ghost pen.
  group->flags &= ~BasicObject::BoxOnlyBit;
  v.Prepare(ViewTop, 1, 2.0f);
  group->DrawWireFrame(&v.di, true);
  EXPECT_FALSE(Drawn(v.dc, RGB(224, 224, 224)).empty());
  EXPECT_FALSE(Drawn(v.dc, RGB(128, 128, 128)).empty());
}

TEST(WireframeViews, LayersDecideWhatIsShownAndWhatIsAGhost) {
  View v;
  TCube* shown = v.Add(new TCube(0));
  TCube* ghost = v.Add(new TCube(0));
  TCube* hidden = v.Add(new TCube(0));
  ghost->MoveTo(30, 0, 0, nullptr);
  hidden->MoveTo(-30, 0, 0, nullptr);
  ghost->SetLayer(1);
  hidden->SetLayer(2);
  v.landscape.LayerStatus[1] = 1;
  v.landscape.LayerStatus[2] = 0;
  v.Prepare(ViewTop);
  DrawLandscapeView(&v.di, nullptr);
  EXPECT_FALSE(Drawn(v.dc, RGB(0, 0, 0)).empty());
  EXPECT_FALSE(Drawn(v.dc, RGB(128, 128, 128)).empty());
  for (const auto& [x, y] : DrawnAny(v.dc))
    EXPECT_GE(x, 99) << "the hidden cube at x -30 is drawn";
  // A ghost list makes an active object a ghost too.
  ObjectsList ghosts;
  ghosts.Add(shown);
  ClearCanvas(v.dc, RGB(255, 255, 255));
  DrawLandscapeView(&v.di, &ghosts);
  EXPECT_TRUE(Drawn(v.dc, RGB(0, 0, 0)).empty());
}

const char* lastMessage = nullptr;
void RecordMessage(const char*, const char* text, MessageIcon) { lastMessage = text; }

TEST(WireframeViews, MeshWithoutRoomForItsPointsIsNotDrawnAndSaysSo) {
  View v;
  TMesh* mesh = v.Add(new TMesh(0));
  mesh->AddFace3(VECFLOAT(0, 0, 0), VECFLOAT(20, 0, 0), VECFLOAT(0, 20, 0), 0);
  mesh->BuildBox();
  v.Prepare(ViewTop);
  MessageBoxHandler previous = SetMessageBoxHandler(RecordMessage);
  lastMessage = nullptr;
  SetAllocationFailureAfter(0);
  mesh->DrawWireFrame(&v.di, false);
  SetAllocationFailureAfter(-1);
  SetMessageBoxHandler(previous);
  EXPECT_EQ(lastMessage, OutOfMemoryText);
  EXPECT_TRUE(DrawnAny(v.dc).empty());
  mesh->DrawWireFrame(&v.di, false);
  EXPECT_FALSE(DrawnAny(v.dc).empty());
}

}  // namespace
