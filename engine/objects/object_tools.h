// Free functions over scene objects: cloning, the host's selection, centring, bounding
// and rotation about a pivot.
#pragma once

#include "engine/objects/object.h"

// A new object of src's class assigned from src, stored in *out. A bounding volume, or a
// type outside the known ones, produces nothing and leaves *out as it was.
void CopyObject(BasicObject** out, BasicObject* src);

// Remembers the host's list of selected objects (the camera's transforms consult it).
void ConnectSelectedObjectList(ObjectsList* selection);
ObjectsList* SelectedObjectList();

void MyCopyMemory(char* dst, char* src, long n);

// The mean of the centres of the list's objects; (0, 0, 0) for a missing or empty list.
void FindBarycenter(VECTEUR& out, ObjectsList* list);

// The world box of the list's objects; the empty box's corners for a missing or empty list.
void FindBoundingBox(VECTEUR& min, VECTEUR& max, ObjectsList* list, bool symbol);

// Turns obj by (a, b, c) degrees about the world axes through pivot.
void RotateObjectAroundPoint(BasicObject* obj, VECTEUR& pivot, float a, float b, float c, TDrawInfo* di);
