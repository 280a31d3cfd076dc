// The drawing surface that wireframe views and pictures are drawn into.
#pragma once

struct Canvas;
typedef Canvas* HDC;
