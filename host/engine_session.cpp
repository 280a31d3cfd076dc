#include "host/engine_session.h"

#include "engine/engine.h"

namespace {

// The main program owns every object, list element, material and function; what the
// engine hands back is deleted here.
void ReleaseHostObject(BasicObject* object) { delete object; }

void ReleaseHostListElement(ObjectsList* list, int index) {
  BasicObject* object = (*list)[index];
  list->Detach(index);
  delete object;
}

void ReleaseHostMaterial(Texture* material) { delete material; }

void ReleaseHostFunction(Fonction3D* function) { delete function; }

}  // namespace

EngineSession::EngineSession(const std::string& baseFolder) {
  Connect(environment, ReleaseHostObject, ReleaseHostListElement, ReleaseHostMaterial, ReleaseHostFunction);
  SetCheminInEngine(baseFolder.c_str());
  InitNoise();
}

EngineSession::~EngineSession() { FreeNoiseData(); }

bool EngineSession::Ready() const { return !QuitRequested(); }
