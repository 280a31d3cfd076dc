// TArray: the engine's growable array with a lower index bound. Elements keep their
// insertion order; reading or writing an index beyond the capacity grows the storage
// first (new slots are value-initialised). The array holds values only: whether the
// objects that pointer elements reach are owned depends on the array's holder.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

template <class T>
class TArray {
 public:
  // Room for upper - lower + 1 elements, indices from lower, growing by at least delta.
  explicit TArray(unsigned upper = 1, unsigned lower = 0, unsigned delta = 1)
      : lowerBound(static_cast<int>(lower)),
        capacity(upper >= lower ? upper - lower + 1 : 1),
        growth(delta ? delta : 1) {
    items = new T[capacity]();
  }
  TArray(const TArray& other)
      : lowerBound(other.lowerBound), capacity(other.capacity), count(other.count), growth(other.growth) {
    items = new T[capacity]();
    std::copy(other.items, other.items + count, items);
  }
  TArray& operator=(const TArray& other) {
    if (this != &other) {
      T* copy = new T[other.capacity]();
      std::copy(other.items, other.items + other.count, copy);
      delete[] items;
      items = copy;
      lowerBound = other.lowerBound;
      capacity = other.capacity;
      count = other.count;
      growth = other.growth;
    }
    return *this;
  }
  ~TArray() { delete[] items; }

  int Count() const { return static_cast<int>(count); }
  bool IsEmpty() const { return count == 0; }
  int LowerBound() const { return lowerBound; }
  unsigned Capacity() const { return capacity; }

  // Element at `index` (counted from the lower bound); grows the storage when the index
  // lies beyond it. A read beyond the count sees a value-initialised element.
  T& operator[](int index) {
    unsigned slot = Slot(index);
    if (slot >= capacity)
      Reserve(slot + 1);
    return items[slot];
  }
  // A read-only array cannot grow: an index outside its storage reads a
  // value-initialised element.
  const T& operator[](int index) const {
    static const T outside{};
    const unsigned slot = Slot(index);
    return slot < capacity ? items[slot] : outside;
  }

  void Add(const T& item) {
    if (count == capacity)
      Reserve(count + 1);
    items[count++] = item;
  }
  // Inserts before the element at `index` (appends when index is at or past the end).
  void AddAt(const T& item, int index) {
    unsigned slot = std::min(Slot(index), count);
    if (count == capacity)
      Reserve(count + 1);
    std::move_backward(items + slot, items + count, items + count + 1);
    items[slot] = item;
    ++count;
  }
  // Removes the element at `index`, closing the gap; false when there is none.
  bool Detach(int index) {
    unsigned slot = Slot(index);
    if (index < lowerBound || slot >= count)
      return false;
    std::move(items + slot + 1, items + count, items + slot);
    items[--count] = T();
    return true;
  }
  // Index of the first element equal to item, or lowerBound - 1 when absent.
  int Find(const T& item) const {
    for (unsigned i = 0; i < count; i++)
      if (items[i] == item)
        return static_cast<int>(i) + lowerBound;
    return lowerBound - 1;
  }
  bool HasMember(const T& item) const { return Find(item) >= lowerBound; }
  // Empties the array, keeping its storage.
  void Flush() {
    for (unsigned i = 0; i < count; i++)
      items[i] = T();
    count = 0;
  }

  T* begin() { return items; }
  T* end() { return items + count; }
  const T* begin() const { return items; }
  const T* end() const { return items + count; }

 private:
  unsigned Slot(int index) const { return static_cast<unsigned>(index - lowerBound); }

  // Grows to at least `needed` slots: by the growth step, but at least doubling, so that
  // appending stays cheap for long arrays.
  void Reserve(unsigned needed) {
    unsigned newCapacity = std::max({needed, capacity + growth, capacity * 2});
    T* grown = new T[newCapacity]();
    std::move(items, items + count, grown);
    delete[] items;
    items = grown;
    capacity = newCapacity;
  }

  T* items = nullptr;
  int lowerBound;
  unsigned capacity;
  unsigned count = 0;
  unsigned growth;
};
