// TOrvelleChild: the host's document window, reduced to what render preparation reads
// from it: the landscape it shows and the list of the objects the user has selected.
#pragma once

struct TPaysage;
class ObjectsList;

class TOrvelleChild {
 public:
  TPaysage* Landscape = nullptr;   // not owned
  ObjectsList* Selection = nullptr;  // the selected objects; not owned, may be null

  TOrvelleChild() = default;
  TOrvelleChild(TPaysage* landscape, ObjectsList* selection) : Landscape(landscape), Selection(selection) {}
};
