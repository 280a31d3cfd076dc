// Owned<T>: the owning pointer of the byte-packed records (a material's sub-materials, a
// cloud layer's material, a function's sub-functions). It is exactly one pointer with
// alignment 1, so it takes a raw pointer's place in a packed record without moving any
// offset, and every access to it is a packed access. A copy of the owner copies the
// pointee (through its Clone when it has one, else its copy constructor); the owner's end
// releases it. So the records holding one need no hand-written copies.
//
// How the pointee is copied and given back can be chosen per type (materials go back
// through the host's release callback): a class with the static members
// `T* Copy(const T&)` and `void Release(T*)`, given as the second argument.
#pragma once

#include <cstddef>

template <class T>
struct DefaultOwnership {
  static T* Copy(const T& source) {
    if constexpr (requires { source.Clone(); })
      return static_cast<T*>(source.Clone());
    else
      return new T(source);
  }
  static void Release(T* pointee) { delete pointee; }
};

#pragma pack(push, 1)

template <class T, class Ownership = DefaultOwnership<T>>
class Owned {
 public:
  Owned() = default;
  Owned(std::nullptr_t) {}
  // Takes ownership of `adopted`.
  explicit Owned(T* adopted) : pointer(adopted) {}
  Owned(const Owned& other) : pointer(CopyOf(other.pointer)) {}
  Owned(Owned&& other) noexcept : pointer(other.release()) {}
  // The copy is made before the old pointee goes: the source may live inside it.
  Owned& operator=(const Owned& other) {
    if (this != &other)
      reset(CopyOf(other.pointer));
    return *this;
  }
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other)
      reset(other.release());
    return *this;
  }
  // Takes ownership of `adopted`, releasing the pointee held so far.
  Owned& operator=(T* adopted) {
    reset(adopted);
    return *this;
  }
  ~Owned() { reset(); }

  T* get() const { return pointer; }
  // Reads like the raw pointer it replaces: tests, comparisons and calls that take a T*.
  operator T*() const { return pointer; }
  T* operator->() const { return pointer; }
  T& operator*() const { return *pointer; }

  // Gives up ownership without releasing the pointee.
  T* release() {
    T* held = pointer;
    pointer = nullptr;
    return held;
  }
  void reset(T* adopted = nullptr) {
    T* old = pointer;
    pointer = adopted;
    if (old && old != adopted)
      Ownership::Release(old);
  }

 private:
  static T* CopyOf(const T* source) { return source ? Ownership::Copy(*source) : nullptr; }

  T* pointer = nullptr;
};

#pragma pack(pop)
