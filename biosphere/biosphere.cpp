// The exported functions: growing a plant into the caller's buffer, reading values, and
// the message handler.
#include "biosphere/biosphere.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "biosphere/numbers.h"
#include "biosphere/species.h"

const char* const UnsupportedSpeciesText =
    "Unsupported vegetation specie. Please remove this file from your Plants subdirectory.";
const char* const PlantTooLongText =
    "The plant description is longer than the buffer it was asked for: an empty description was written.";
const char* const BiosphereCaption = "Orvelle";

namespace {

void WriteToStandardError(const char* caption, const char* text, BiosphereMessageIcon) {
  std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
}

std::atomic<BiosphereMessageHandler> messageHandler{WriteToStandardError};

void ShowMessage(const char* text, BiosphereMessageIcon icon) { messageHandler.load()(BiosphereCaption, text, icon); }

// Grows the string; false (after the message) for an unsupported model.
bool Grow(EPlantModel model, std::string& text) {
  biosphere::CLocaleScope cLocale;
  biosphere::Randomness random;
  if (biosphere::GrowSpecies(model, random, text))
    return true;
  ShowMessage(UnsupportedSpeciesText, BiosphereIconWarning);
  return false;
}

}  // namespace

const char* BiosphereVersion() { return "0.1.0"; }

BiosphereMessageHandler SetBiosphereMessageHandler(BiosphereMessageHandler handler) {
  return messageHandler.exchange(handler ? handler : WriteToStandardError);
}

bool GrowPlant(EPlantModel model, char* out, std::size_t size) {
  std::string text;
  if (!Grow(model, text))
    return false;
  if (text.size() >= size) {
    if (size > 0)
      out[0] = 0;
    ShowMessage(PlantTooLongText, BiosphereIconWarning);
    return false;
  }
  std::memcpy(out, text.c_str(), text.size() + 1);
  return true;
}

void GrowPlant(EPlantModel model, char* out) { GrowPlant(model, out, PlantStringMaximum); }

std::string GrowPlant(EPlantModel model) {
  std::string text;
  Grow(model, text);
  return text;
}

double ReadValue(char*& cursor) {
  biosphere::Randomness random;
  return biosphere::ReadValue(cursor, random);
}
