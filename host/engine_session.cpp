#include "host/engine_session.h"

#include "engine/engine.h"
#include "host/landscape.h"

EngineSession::EngineSession(const std::string& baseFolder) {
  Connect(environment, ReleaseHostObject, ReleaseHostListElement, ReleaseHostMaterial, ReleaseHostFunction);
  SetCheminInEngine(baseFolder.c_str());
  InitNoise();
  InitCosSinTables();
  InitializePens();
}

EngineSession::~EngineSession() {
  DestroyPens();
  FreeNoiseData();
}

bool EngineSession::Ready() const { return !QuitRequested(); }
