#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "formats/GenArray.h"
#include "formats/GenString.h"

using namespace gen;

namespace {

struct Counted {
  static inline int live = 0;
  explicit Counted(int v) : value(v) { ++live; }
  ~Counted() { --live; }
  int value;
};

}  // namespace

TEST(GenString, CapacityGrowsInStepsFromTheInitialCapacity) {
  string s;
  const StringRecord* rec = s.record();
  EXPECT_EQ(rec->table, &kStringTable);
  EXPECT_EQ(rec->length, 0u);  // never assigned
  EXPECT_EQ(rec->initialCapacity, 64u);
  EXPECT_EQ(rec->growStep, 32u);
  s.assign(std::string(63, 'a'));
  EXPECT_EQ(rec->capacity, 64u);
  s.assign(std::string(64, 'b'));
  EXPECT_EQ(rec->capacity, 96u);
  s.append(std::string(41, 'c'));
  EXPECT_EQ(rec->capacity, 128u);
  s.reserve(200);  // 201 bytes with the NUL
  EXPECT_EQ(rec->capacity, 224u);
  EXPECT_EQ(s.view(), std::string(64, 'b') + std::string(41, 'c'));
  EXPECT_EQ(rec->length, 106u);
}

TEST(GenString, PlugInAppendsAcrossTheCapacityBoundaryThroughTheTable) {
  string s("0123456789");
  StringRecord* rec = s.record();
  for (int i = 0; i < 6; ++i) ASSERT_TRUE(rec->table->Append(rec, "0123456789", 10));
  EXPECT_EQ(rec->length, 71u);
  EXPECT_EQ(rec->capacity, 96u);
  EXPECT_EQ(rec->chars[70], '\0');
  EXPECT_EQ(s.view().substr(60), "0123456789");

  // Refusals come back as false, allocate nothing and leave the string alone.
  EXPECT_FALSE(rec->table->Assign(rec, nullptr, 5));
  EXPECT_FALSE(rec->table->Append(rec, "x", UINT32_MAX - 10));
  EXPECT_FALSE(rec->table->Reserve(rec, UINT32_MAX - 1));
  EXPECT_EQ(s.size(), 70u);
  EXPECT_TRUE(rec->table->Assign(rec, nullptr, 0));
  EXPECT_EQ(rec->length, 1u);
  EXPECT_THROW(s.assign(s.c_str(), size_t(UINT32_MAX)), genlib_out_of_memory);
  EXPECT_THROW(s.reserve(UINT32_MAX - 1), genlib_error);
}

TEST(GenString, BinaryContentKeepsItsNuls) {
  string a(std::string_view("\xFF\0\0\x01", 4));
  EXPECT_EQ(a.size(), 4u);
  EXPECT_EQ(a.c_str()[4], '\0');
  a.append(std::string_view("\0z", 2));
  string b(std::string_view("\xFF\0\0\x01\0y", 6));
  EXPECT_NE(a, b);  // differs only after the NULs
  EXPECT_LT(b, a);
}

TEST(GenString, SourceInsideTheStringSurvivesGrowth) {
  string s(std::string(40, 'x') + "END");
  s.append(s.view());
  EXPECT_EQ(s.view(), std::string(40, 'x') + "END" + std::string(40, 'x') + "END");
  s.assign(s.c_str() + 40, 3);
  s += s;
  EXPECT_EQ(s, "ENDEND");
}

TEST(GenString, CopiesAndMoves) {
  string a("alpha");
  string b = a;
  EXPECT_EQ(a, b);
  EXPECT_NE(a.c_str(), b.c_str());
  const char* chars = a.c_str();
  string c = std::move(a);
  EXPECT_EQ(c.c_str(), chars);
  EXPECT_EQ(a.record()->length, 0u);
  a = "beta";
  c = std::move(a);
  EXPECT_EQ(c, "beta");
  auto* heap = new string(c);
  heap->record()->table->Destroy(heap->record(), kFreeStorage);  // a leak shows under ASan
}

TEST(GenArray, GrowsFromTheInitialCapacityInSteps) {
  array_ptr<Counted> a;
  const uint32_t counts[] = {1, 64, 65, 96, 97};
  const uint32_t capacities[] = {64, 64, 96, 96, 128};
  for (int i = 0; i < 5; ++i) {
    while (a.size() < counts[i]) a.Add(new Counted(int(a.size())));
    EXPECT_EQ(a.capacity(), capacities[i]) << counts[i];
  }
  EXPECT_EQ(a[96]->value, 96);
}

TEST(GenArray, OwningArraysDeleteTheirElements) {
  {
    array_ptr<Counted> a;
    for (int i = 0; i < 5; ++i) a.push_back(new Counted(i));
    a.Remove(1);
    EXPECT_EQ(Counted::live, 4);
    std::unique_ptr<Counted> detached(a.Detach(0));
    EXPECT_EQ(Counted::live, 4);
    EXPECT_EQ(a[0]->value, 2);
  }
  EXPECT_EQ(Counted::live, 0);
  Counted items[2]{Counted(0), Counted(1)};
  {
    array_ptr<Counted> view(false);
    for (Counted& c : items) view.Add(&c);
    view.Remove(0);
    view.Clear();
  }
  EXPECT_EQ(Counted::live, 2);
}

TEST(GenArray, InsertKeepsOrderAndIndexChecksThrow) {
  array_ptr<Counted> a;
  a.Add(new Counted(1));
  a.Insert(0, new Counted(0));
  a.Insert(2, new Counted(3));
  a.Insert(2, new Counted(2));
  std::vector<int> seen;
  for (Counted* c : a) seen.push_back(c->value);
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_THROW(a.at(4), genlib_out_of_range);
  EXPECT_THROW(a.Remove(4), genlib_out_of_range);
  EXPECT_THROW(a.Detach(9), genlib_error);
  EXPECT_THROW(a.Insert(5, nullptr), genlib_out_of_range);
  EXPECT_EQ(a.size(), 4u);
}

namespace {

int reallocCalls = 0;
int releaseCalls = 0;
bool failRealloc = false;

void* ORBISK_CDECL CountingRealloc(void* block, size_t bytes) {
  ++reallocCalls;
  return failRealloc ? nullptr : std::realloc(block, bytes);
}
void ORBISK_CDECL CountingRelease(void* block) {
  ++releaseCalls;
  std::free(block);
}

}  // namespace

TEST(GenArray, GrowsWithTheStoredReallocationFunction) {
  {
    array_ptr<Counted> a;
    ArrayRecord* rec = a.record();
    rec->reallocate = &CountingRealloc;
    rec->release = &CountingRelease;
    while (a.size() < 200) a.Add(new Counted(0));
    EXPECT_EQ(reallocCalls, 6);  // 64, 96, 128, 160, 192, 224

    // A plug-in appending through the record's table uses the same function.
    while (rec->count < rec->capacity) rec->table->Add(rec, new Counted(0));
    uint32_t grown = rec->capacity + rec->growStep;
    rec->items = static_cast<void**>(rec->reallocate(rec->items, grown * sizeof(void*)));
    rec->capacity = grown;
    rec->items[rec->count++] = new Counted(-1);
    EXPECT_EQ(a.at(224)->value, -1);

    failRealloc = true;
    while (rec->count < rec->capacity) a.Add(new Counted(0));
    std::unique_ptr<Counted> spare(new Counted(0));
    EXPECT_THROW(a.Add(spare.get()), genlib_out_of_memory);
    EXPECT_FALSE(rec->table->Add(rec, spare.get()));
    EXPECT_EQ(a.size(), 256u);
    failRealloc = false;
  }
  EXPECT_EQ(releaseCalls, 1);
  EXPECT_EQ(Counted::live, 0);
}

TEST(GenArray, MovingTransfersTheElements) {
  array_ptr<Counted> a;
  a.Add(new Counted(1));
  array_ptr<Counted> b = std::move(a);
  EXPECT_TRUE(a.empty());
  array_ptr<Counted> c;
  c.Add(new Counted(2));
  c = std::move(b);  // c's own element goes
  EXPECT_EQ(Counted::live, 1);
  EXPECT_EQ(c[0]->value, 1);
  auto* heap = new array_ptr<Counted>(std::move(c));
  heap->record()->table->Destroy(heap->record(), kFreeStorage);
  EXPECT_EQ(Counted::live, 0);
}
