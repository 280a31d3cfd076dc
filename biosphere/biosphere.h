// Biosphere: the plant species generator.
//
// GrowPlant writes, for one of 18 species, a freshly randomised plant description string:
// a bracketed string of turtle symbols grown by a stochastic, parametric rewriting system.
// ReadValue is the number reader for that string format; the program that interprets the
// string calls it for every value. docs/plants.md describes the string format.
//
// Strings are byte strings in code page 1252. Every random draw comes from the C library's
// rand(), reduced to 0..32767; the library never seeds it, so srand(n) before a call gives
// the same plant again. Calls must not overlap (they share rand()'s state).
#pragma once

#include <cstddef>
#include <string>

// The library's version, "major.minor.patch".
const char* BiosphereVersion();

// A species number, 0 to 17. Other numbers are refused with a message.
enum EPlantModel : int {};
constexpr int PlantModelCount = 18;

// The most GrowPlant(model, out) writes, terminating zero included. Over 20 000 seeds per
// species the longest string is about 65 000 bytes, but unlucky draws make far longer ones.
constexpr std::size_t PlantStringMaximum = 300000;

// Writes the lowercased description string of a new plant of `model` into `out`, which
// must hold PlantStringMaximum bytes. A string longer than that is not written: `out`
// receives an empty string and the message handler says why. An unsupported model shows
// its message and leaves `out` unchanged.
void GrowPlant(EPlantModel model, char* out);

// As above for a buffer of `size` bytes: returns true when the string (and its zero) fit
// and were written. A string that does not fit leaves an empty string (when size > 0) and
// is reported through the message handler; an unsupported model leaves `out` unchanged.
bool GrowPlant(EPlantModel model, char* out, std::size_t size);

// The description string itself, of any length; empty for an unsupported model (after its
// message).
std::string GrowPlant(EPlantModel model);

// Reads one value at `cursor` and returns it.
// - "(a:b)" is a random range: returns a uniform draw from a to b and leaves the cursor
//   just after the ")". A range without ":" or ")" returns 0 and leaves the cursor.
// - Otherwise the value ends at the nearest "=", "," or ")" from the cursor on: that
//   separator is overwritten with a zero byte (the string changes), the number before it
//   is returned and the cursor rests on the overwritten byte. Without a separator the
//   result is 0 and the cursor does not move.
// Numbers are read in the C locale whatever the program's locale.
double ReadValue(char*& cursor);

// Messages. The library reports the few conditions the user must see through one
// process-wide handler; the default writes "caption: text" to standard error.
enum BiosphereMessageIcon {
  BiosphereIconInformation,
  BiosphereIconWarning,
  BiosphereIconStop,
};
typedef void (*BiosphereMessageHandler)(const char* caption, const char* text, BiosphereMessageIcon icon);

// Replaces the handler; null restores the default. Returns the previous handler.
BiosphereMessageHandler SetBiosphereMessageHandler(BiosphereMessageHandler handler);

extern const char* const UnsupportedSpeciesText;  // "Unsupported vegetation specie. ..."
extern const char* const PlantTooLongText;        // the string did not fit the caller's buffer
extern const char* const BiosphereCaption;        // "Orvelle"
