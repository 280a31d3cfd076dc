// TableDeCouleurs: a colour table mapping a position 0..10000 (standing for 0..1) to a
// colour by linear interpolation between keys, and its lookups.
#pragma once

#include "engine/functions/key_array.h"
#include "engine/geometry/colours.h"

#pragma pack(push, 1)

// The keys of a colour table, in the order they were added. Lookups need ascending
// positions; the host keeps a key at position 10000.
class TableDeCouleurs : public KeyArray<VALCLR> {
 public:
  // One black key at position 10000, with room for two keys.
  TableDeCouleurs();

  // Back to the default table.
  void RAZ();
  // Same key count and every key equal to its counterpart, in order.
  bool operator==(const TableDeCouleurs& other) const;
};

#pragma pack(pop)

// Colour of `table` at `position`: the first key's colour at or before the first key,
// the last key's colour beyond the last key (an empty table gives black), otherwise the
// channels interpolated between the two keys around the position, truncated toward zero.
void ExtraireCouleur(int position, const TableDeCouleurs* table, CLR& colour);
// The same colour with its channels widened to 16 bits.
void ExtraireCouleur(int position, const TableDeCouleurs* table, CLRINT& colour);

// The table position of a value computed in floating point (0..10000 spans the table).
// Key positions are 16-bit, so clamping just beyond that range reads the same colours as
// the exact position would, without converting a huge value or NaN (which reads the
// first key) out of the int range.
inline int ColourTablePosition(double position) { return ToIntInRange(position, INT16_MIN - 1, INT16_MAX + 1); }
