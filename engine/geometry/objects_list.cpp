#include "engine/geometry/objects_list.h"

bool ObjectsList::operator==(const ObjectsList& other) const {
  if (Count() != other.Count())
    return false;
  for (BasicObject* object : *this)
    if (!other.HasMember(object))
      return false;
  return true;
}
