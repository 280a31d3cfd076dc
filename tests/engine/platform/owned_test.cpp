#include "engine/platform/owned.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <memory>

namespace {

// A node that may own another, as a material owns its sub-materials.
struct Node {
  int value = 0;
  Owned<Node> next;
};

// Counts the copies and releases made through it.
int copies = 0, releases = 0;
struct CountingOwnership {
  static Node* Copy(const Node& source) {
    ++copies;
    return new Node(source);
  }
  static void Release(Node* node) {
    ++releases;
    delete node;
  }
};

#pragma pack(push, 1)
// An owning pointer at an odd offset of a packed record, as the records shared with the
// host hold them.
struct Packed {
  char tag = 'p';
  Owned<Node, CountingOwnership> node;
  char end = 'e';
};
#pragma pack(pop)

static_assert(sizeof(Owned<Node>) == sizeof(void*) && alignof(Owned<Node>) == 1);
static_assert(sizeof(Packed) == 2 + sizeof(void*) && offsetof(Packed, node) == 1 && offsetof(Packed, end) == 9);

struct Shape {
  virtual ~Shape() = default;
  virtual Shape* Clone() const = 0;
  virtual int Corners() const = 0;
};
struct Square : Shape {
  Shape* Clone() const override { return new Square(*this); }
  int Corners() const override { return 4; }
};

TEST(Owned, CopiesDeeplyReleasesOnceAndSurvivesASourceInsideItself) {
  copies = releases = 0;
  {
    Packed a;
    a.node = new Node{7, {}};
    Packed b = a;  // a defaulted copy of the record copies the pointee
    const int copiedValue = b.node->value;
    EXPECT_EQ(copiedValue, 7);
    EXPECT_NE(b.node.get(), a.node.get());
    EXPECT_EQ(copies, 1);

    // The pointee of the target is the source's owner: the copy is made before it goes.
    Packed c;
    c.node = new Node{1, Owned<Node>(new Node{2, {}})};
    Owned<Node> holder(new Node{3, Owned<Node>(new Node{4, {}})});
    holder = holder->next;
    EXPECT_EQ(holder->value, 4);

    // Adopting a raw pointer releases the old pointee; release() gives it up untouched.
    Node* kept = new Node{9, {}};
    b.node = kept;
    EXPECT_EQ(releases, 1);
    EXPECT_EQ(b.node.release(), kept);
    EXPECT_EQ(b.node.get(), nullptr);
    delete kept;

    // A move hands the pointee over without a copy.
    Owned<Node, CountingOwnership> moved(std::move(a.node));
    EXPECT_EQ(a.node.get(), nullptr);
    EXPECT_EQ(copies, 1);
    const char tag = c.tag, end = c.end;
    EXPECT_EQ(tag, 'p');
    EXPECT_EQ(end, 'e');
  }
  // a's node (moved), c's node: released once each; b's was given up.
  EXPECT_EQ(releases, 3);
}

TEST(Owned, CopiesAPolymorphicPointeeThroughItsClone) {
  Owned<Shape> a(new Square);
  Owned<Shape> b = a;
  ASSERT_NE(b.get(), nullptr);
  EXPECT_NE(b.get(), a.get());
  EXPECT_NE(dynamic_cast<Square*>(b.get()), nullptr);
  EXPECT_EQ(b->Corners(), 4);
  Owned<Shape> none;
  b = none;
  EXPECT_EQ(b.get(), nullptr);
}

}  // namespace
