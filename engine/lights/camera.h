// The camera object: where the camera stands, where it looks, its lens; picked in the
// orthographic views by its wireframe symbol. Its view (the active camera, the
// projection and the primary rays) is render/camera.h.
//
// Camera space: +z is the viewing direction, +y the top of the picture and -x its right.
#pragma once

#include "engine/objects/object.h"
#include "engine/scene/context.h"

// The camera's wireframe symbol in camera space, which picking in the orthographic views
// tests: the viewing direction, a bar of this half-width reaching 0.2 x FocalLength ahead
// of the camera, then the body, a fixed box behind it.
constexpr double CameraViewBarHalfWidth = 1.0;
constexpr double CameraViewBarLengthPerFocal = 0.2;
constexpr double CameraBodyHalfWidth = 4.0;   // along camera x
constexpr double CameraBodyHalfHeight = 3.0;  // along camera y
constexpr double CameraBodyDepth = 8.0;       // behind the centre, along -z

class TCamera : public Planar {
 public:
  float FocalLength = 17.5f;  // kept within 8 .. 5000 by Scale
  float LevelHorizon = 1.0f;  // not 0: rotations never roll the camera
  float Aperture = 0.0f;      // lens aperture for depth of field; 0: pinhole
  float FocusDistance = 100.0f;

  // A default camera (at the origin, looking along +y with +z up) when `from` is null,
  // else a copy of it.
  explicit TCamera(const TCamera* from = nullptr);
  // Hand written only because the object interface has no copy constructor; it assigns.
  TCamera(const TCamera& other);
  TCamera& operator=(const TCamera& other) = default;
  BasicObject* Clone() const;
  // The viewing direction and the four floats.
  bool operator==(const TCamera& other) const;

  // The viewing direction (unit).
  VECTEUR Direction() const { return normal; }

  // Never hit in the camera view or while rendering; in the orthographic views the
  // wireframe symbol is hit, so that the camera can be picked.
  BasicObject* FindNearestIntersection(Ray* ray, TDrawInfo* di, double& t, VECTEUR& point, VECTEUR& normal) override;
  TIntervalList* FindAllIntersections(Ray* ray, TDrawInfo* di) override;
  bool IsInside(const VECTEUR& p, TDrawInfo* di) override;
  // Level horizon forces the angle about y to 0; with the landscape's SunFollowsCamera the
  // sun turns about the camera with it.
  void Rotate(float a, float b, float c, TDrawInfo* di, bool absolute) override;
  // The camera stays at or above di->GroundLevel when the environment asks for it;
  // directional lights that follow the camera move with it.
  void MoveOf(float dx, float dy, float dz, TDrawInfo* di) override;
  void MoveTo(float x, float y, float z, TDrawInfo* di) override;
  // Scales the focal length by the mean scale, within 8 .. 5000.
  void Scale(float sx, float sy, float sz, TDrawInfo* di, bool worldAxes) override;
  VECTEUR GetCenter() override;
  // The symbol: the body and lens with pen 0 (8 when selected), the viewing direction
  // with pen 8; the ghost pen for a ghost.
  void DrawWireFrame(TDrawInfo* di, bool ghost) override;
  void IncludeObjectInBox(TBoundingBox& box, bool symbol, bool world) override;
  bool IsValidTexture() override { return true; }
  void GetNumberOfObjects(int& objects, int& lights) override;
  long GetNumberOfPolygons() override { return 0; }

 private:
  // The symbol boxes in camera space: the view bar, then the body.
  void SymbolBox(int part, VECTEUR& lower, VECTEUR& upper) const;
};
