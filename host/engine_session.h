// The engine's process-wide set-up for the main program: the environment and the release
// callbacks (Connect), the base directory, and the noise tables, released at the end.
#pragma once

#include <string>

struct TEnvironment;

class EngineSession {
 public:
  explicit EngineSession(const std::string& baseFolder);
  ~EngineSession();
  EngineSession(const EngineSession&) = delete;
  EngineSession& operator=(const EngineSession&) = delete;

  TEnvironment* Environment() const { return environment; }
  // False when the noise tables could not be allocated (the engine has said so).
  bool Ready() const;

 private:
  TEnvironment* environment = nullptr;
};
