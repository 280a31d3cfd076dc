#include "engine/functions/colour_table.h"

TableDeCouleurs::TableDeCouleurs() : KeyArray<VALCLR>(2, 0) { Add(VALCLR(10000, CLR(0, 0, 0))); }

void TableDeCouleurs::RAZ() { *this = TableDeCouleurs(); }

bool TableDeCouleurs::operator==(const TableDeCouleurs& other) const {
  if (Count() != other.Count())
    return false;
  const VALCLR* mine = begin();
  const VALCLR* theirs = other.begin();
  for (int i = 0; i < Count(); i++)
    if (!(mine[i] == theirs[i]))
      return false;
  return true;
}

namespace {

// One channel between keys i and j: ((position - pi)·cj + (pj - position)·ci) · (1/(pj - pi)).
// The caller guarantees pi < position <= pj, so the divisor is positive and no product
// leaves the 16-bit position range.
uint8_t Interpolate(int position, int pi, int pj, uint8_t ci, uint8_t cj) {
  double mixed = (double(position - pi) * cj + double(pj - position) * ci) * (1.0 / double(pj - pi));
  return static_cast<uint8_t>(static_cast<int>(mixed));
}

CLR Lookup(int position, const TableDeCouleurs& table) {
  int count = table.Count();
  if (count == 0)
    return CLR();
  const VALCLR* keys = table.begin();
  if (position <= keys[0].pos)
    return keys[0].clr;
  for (int j = 1; j < count; j++) {
    const VALCLR& kj = keys[j];
    if (kj.pos >= position) {
      const VALCLR& ki = keys[j - 1];
      return CLR(Interpolate(position, ki.pos, kj.pos, ki.clr.b, kj.clr.b),
                 Interpolate(position, ki.pos, kj.pos, ki.clr.g, kj.clr.g),
                 Interpolate(position, ki.pos, kj.pos, ki.clr.r, kj.clr.r));
    }
  }
  // Beyond the last key: its colour, never a read past the keys.
  return keys[count - 1].clr;
}

}  // namespace

void ExtraireCouleur(int position, const TableDeCouleurs* table, CLR& colour) { colour = Lookup(position, *table); }

void ExtraireCouleur(int position, const TableDeCouleurs* table, CLRINT& colour) {
  colour = CLRINT(Lookup(position, *table));
}
