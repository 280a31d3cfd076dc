#include "host/model_file.h"

#include <dlfcn.h>

#include <filesystem>

#include "engine/mesh/mesh.h"

namespace {

// Where the importer module is installed, below the prefix (the build puts it at the
// same place below the build's top).
constexpr const char* ModelImporterFolder = ORVELLE2_MODEL_IMPORTER_FOLDER;
constexpr const char* ModelImporterFile = "orvelle2-models.so";

// The importer module: opened once, on the first model, and kept open.
struct Importer {
  ImportModelFunction* import = nullptr;
  std::string problem;  // why it could not be opened
};

const Importer& OpenImporter() {
  static const Importer importer = [] {
    Importer result;
    namespace fs = std::filesystem;
    // Beside the libraries, as installed (bin/../lib/orvelle2) and as built (every program
    // of the build sits one folder below its top); nowhere else, so that no module of the
    // same name in another folder (the current one) is ever run.
    std::error_code ec;
    const fs::path program = fs::read_symlink("/proc/self/exe", ec);
    if (ec) {
      result.problem = "the model importer cannot be found: the program's own path is unknown";
      return result;
    }
    const std::string path = (program.parent_path().parent_path() / ModelImporterFolder / ModelImporterFile).string();
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
      const char* reason = dlerror();
      result.problem = "the model importer " + path + " cannot be loaded" +
                       (reason ? std::string(" (") + reason + ")" : std::string());
      return result;
    }
    result.import = reinterpret_cast<ImportModelFunction*>(dlsym(module, "ImportModelFile"));
    if (!result.import)
      result.problem = "the model importer " + path + " has no ImportModelFile";
    return result;
  }();
  return importer;
}

}  // namespace

bool LoadModel(const std::string& path, const ModelOptions& options, Model& model, std::string& error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) {
    error = fs::exists(path, ec) ? "is not a file" : "no such file";
    return false;
  }
  const Importer& importer = OpenImporter();
  if (!importer.import) {
    error = importer.problem;
    return false;
  }
  return importer.import(path, options, model, error);
}

void ApplyFileMaterials(const Model& model, const std::vector<uint16_t>& map) {
  for (size_t m = 0; m < model.meshes.size(); m++) {
    TMesh& mesh = *model.meshes[m];
    const std::vector<uint32_t>& file = model.fileMaterials[m];
    for (uint32_t k = 0; k < mesh.triangleCount && k < file.size(); k++)
      mesh.triangles[k].material = file[k] < map.size() ? map[file[k]] : mesh.material;
  }
}
