// KeyArray: the growable array of keys behind colour tables and filter curves. It is
// byte-packed (alignment 1) so that tables can sit at any offset inside the packed
// records shared with the host. Indices count from the lower bound; every index passed
// in must lie within [LowerBound(), LowerBound() + Count()).
#pragma once

#include <cstdint>

#pragma pack(push, 1)

template <class T>
class KeyArray {
 public:
  // Room for `room` keys (at least one); indices start at `lower`.
  explicit KeyArray(int room = 2, int lower = 0) : lowerBound(lower), capacity(room > 0 ? room : 1) {
    items = new T[capacity]();
  }
  KeyArray(const KeyArray& other) : lowerBound(other.lowerBound), count(other.count), capacity(other.capacity) {
    items = new T[capacity]();
    for (int32_t i = 0; i < count; i++)
      items[i] = other.items[i];
  }
  KeyArray& operator=(const KeyArray& other) {
    if (this != &other) {
      Flush();
      for (int32_t i = 0; i < other.count; i++)
        Add(other.items[i]);
    }
    return *this;
  }
  ~KeyArray() { delete[] items; }

  int Count() const { return count; }
  bool IsEmpty() const { return count == 0; }
  int LowerBound() const { return lowerBound; }

  T& operator[](int index) { return items[index - lowerBound]; }
  const T& operator[](int index) const { return items[index - lowerBound]; }
  // The key with the highest index; the array must not be empty.
  const T& Last() const { return items[count - 1]; }

  // Appends a key; the storage grows one key at a time (tables hold a handful of keys).
  void Add(const T& key) {
    if (count == capacity)
      Grow();
    items[count++] = key;
  }
  // Inserts before the key at `index`; an index outside the array appends.
  void AddAt(const T& key, int index) {
    int32_t slot = index - lowerBound;
    if (slot < 0 || slot > count)
      slot = count;
    if (count == capacity)
      Grow();
    for (int32_t i = count; i > slot; i--)
      items[i] = items[i - 1];
    items[slot] = key;
    ++count;
  }
  // Removes the key at `index`, closing the gap; false when there is none.
  bool Detach(int index) {
    int32_t slot = index - lowerBound;
    if (slot < 0 || slot >= count)
      return false;
    for (int32_t i = slot; i + 1 < count; i++)
      items[i] = items[i + 1];
    --count;
    return true;
  }
  // Empties the array, keeping its storage.
  void Flush() { count = 0; }

  T* begin() { return items; }
  T* end() { return items + count; }
  const T* begin() const { return items; }
  const T* end() const { return items + count; }

 private:
  void Grow() {
    T* grown = new T[capacity + 1]();
    for (int32_t i = 0; i < count; i++)
      grown[i] = items[i];
    delete[] items;
    items = grown;
    ++capacity;
  }

  int32_t lowerBound;
  T* items = nullptr;
  int32_t count = 0;
  int32_t capacity;
};

#pragma pack(pop)
