#include "host/views.h"

#include <cstring>
#include <functional>

#include "engine/engine.h"
#include "host/landscape_placement.h"
#include "host/picture_file.h"

namespace {

struct ViewKind {
  EViewType type;
  const char* suffix;
};

constexpr ViewKind Views[] = {
    {ViewCamera, "-camera.png"},
    {ViewTop, "-top.png"},
    {ViewFront, "-front.png"},
    {ViewSide, "-side.png"},
};

// Calls `visit` for every object of the list and, inside aggregates, for their children.
void ForEachObject(ObjectsList* list, const std::function<void(BasicObject*)>& visit) {
  if (!list)
    return;
  for (BasicObject* object : *list) {
    visit(object);
    if (auto* aggregate = dynamic_cast<TAggregate*>(object))
      ForEachObject(aggregate->GetPointerToList(), visit);
  }
}

// The objects named `name`; an error when there is none.
bool FindNamed(TPaysage* landscape, const std::string& name, const char* option, std::vector<BasicObject*>& found,
               std::string& error) {
  const size_t before = found.size();
  ForEachObject(landscape->Objects, [&](BasicObject* object) {
    if (name == object->name)
      found.push_back(object);
  });
  if (found.size() == before) {
    error = std::string(option) + ": no object is named '" + name + "'";
    return false;
  }
  return true;
}

// The objects' selection, set for the drawing and restored afterwards.
class SelectionScope {
 public:
  explicit SelectionScope(const std::vector<BasicObject*>& objects) {
    for (BasicObject* object : objects) {
      saved.push_back({object, object->IsSelected()});
      object->Select(true);
    }
  }
  ~SelectionScope() {
    for (auto it = saved.rbegin(); it != saved.rend(); ++it)
      it->first->Select(it->second);
  }

 private:
  std::vector<std::pair<BasicObject*, bool>> saved;
};

}  // namespace

std::vector<std::string> ViewPaths(const std::string& prefix) {
  std::vector<std::string> paths;
  for (const ViewKind& view : Views)
    paths.push_back(prefix + view.suffix);
  return paths;
}

ViewsResult WriteViews(TPaysage* landscape, const ViewsRequest& request, std::string& error) {
  std::vector<BasicObject*> selected, ghosts;
  for (const std::string& name : request.selected)
    if (!FindNamed(landscape, name, "--select", selected, error))
      return ViewsResult::UnknownName;
  for (const std::string& name : request.ghosts)
    if (!FindNamed(landscape, name, "--ghost", ghosts, error))
      return ViewsResult::UnknownName;
  ObjectsList ghostList;
  for (BasicObject* object : ghosts)
    ghostList.Add(object);
  SelectionScope selection(selected);
  if (request.fit && landscape->Objects)
    FrameViews(*landscape, *landscape->Objects, request.width, request.height);

  const std::vector<std::string> paths = ViewPaths(request.prefix);
  for (size_t v = 0; v < paths.size(); v++) {
    HDC dc = CreateCanvas(request.width, request.height);
    if (!dc) {
      error = paths[v] + ": no memory for a picture of " + std::to_string(request.width) + " x " +
              std::to_string(request.height);
      return ViewsResult::WriteFailed;
    }
    TDrawInfo di;
    TRect rect;
    rect.right = request.width;
    rect.bottom = request.height;
    PreparerAffichage(&di, landscape, Views[v].type, rect, request.detail, 1.0f);
    di.DeviceContext = dc;
    DrawLandscapeView(&di, &ghostList);
    const bool written = WritePicture(paths[v], CanvasPicture(dc), error);
    DeleteCanvas(dc);
    if (!written)
      return ViewsResult::WriteFailed;
  }
  return ViewsResult::Written;
}
