#include "engine/functions/options.h"

Options::Options() {
  // CLR stores blue, green, red: 255, 191, 149 is a light sky blue.
  BackgroundColours.Flush();
  BackgroundColours.Add(VALCLR(0, CLR(255, 191, 149)));
  BackgroundColours.Add(VALCLR(10000, CLR(255, 255, 255)));
  ValueColours.Flush();
  ValueColours.Add(VALCLR(0, CLR(0, 0, 0)));
  ValueColours.Add(VALCLR(10000, CLR(255, 255, 255)));
}

namespace {

// Built on first use, so that objects constructed during static initialisation in
// other translation units still find them ready.
Options& DefaultForFunctions() {
  static Options defaults;
  return defaults;
}

Options& DefaultForMaterials() {
  static Options defaults;
  return defaults;
}

}  // namespace

void GetDefaultOptions(Options& forFunctions, Options& forMaterials) {
  forFunctions = DefaultForFunctions();
  forMaterials = DefaultForMaterials();
}

void SetDefaultOptions(Options& forFunctions, Options& forMaterials) {
  DefaultForFunctions() = forFunctions;
  DefaultForMaterials() = forMaterials;
}
