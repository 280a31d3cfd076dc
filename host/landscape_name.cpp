#include "host/landscape_name.h"

#include <filesystem>

std::string FindLandscapeFile(const std::string& name, std::vector<std::string>& tried) {
  namespace fs = std::filesystem;
  std::error_code error;
  tried = {name};
  if (fs::exists(name, error) && !fs::is_directory(name, error))
    return name;
  const std::string withExtension = name + ".json";
  tried.push_back(withExtension);
  if (fs::exists(withExtension, error) && !fs::is_directory(withExtension, error))
    return withExtension;
  return {};
}
