// The four wireframe views of a landscape (camera, top, front, side), drawn without a
// render and saved as PNG pictures, so that a composition can be checked in a second.
#pragma once

#include <string>
#include <vector>

struct TPaysage;

struct ViewsRequest {
  std::string prefix;  // the pictures are PREFIX-camera.png, -top, -front and -side
  int width = 640;
  int height = 480;
  int detail = 1;                     // 0: boxes only; 1 finest; larger values coarser
  std::vector<std::string> selected;  // objects (by name) drawn as selected
  std::vector<std::string> ghosts;    // objects (by name) drawn as ghosts
  bool fit = false;  // centre and scale the orthographic views on the objects and cameras
};

// The file name of each view, in the order camera, top, front, side.
std::vector<std::string> ViewPaths(const std::string& prefix);

enum class ViewsResult { Written, UnknownName, WriteFailed };

// Draws and writes the four views. Names that match no object fail before anything is
// written; a picture that cannot be written fails with `error` set, and no picture is
// ever left half-written.
ViewsResult WriteViews(TPaysage* landscape, const ViewsRequest& request, std::string& error);
