#include "png/pngimage.h"

#include <gtest/gtest.h>

namespace {

int A, B, C;

// The list's slots in order.
std::vector<void*> Items(const TPNGPointerList& List) {
  std::vector<void*> Slots;
  for (int32_t i = 0; i < List.Count(); ++i)
    Slots.push_back(List.Item(i));
  return Slots;
}

// Out of range, Item gives nothing and SetItem changes nothing; SetCount keeps the slots that
// remain and opens empty ones, also where a Remove left an old pointer beneath.
TEST(PointerList, KeepsItsSlotsWithinItsCount) {
  TPNGObject Owner;
  TPNGPointerList List(&Owner);
  EXPECT_EQ(List.ListOwner(), &Owner);
  EXPECT_EQ(List.Item(0), nullptr);
  List.SetItem(0, &A);
  EXPECT_EQ(List.Remove(&A), nullptr);
  for (int* P : {&A, &B, &A, &C})
    List.Add(P);
  EXPECT_EQ(List.Remove(&A), &A) << "the last occurrence";
  EXPECT_EQ(Items(List), (std::vector<void*>{&A, &B, &C}));
  for (const int32_t Outside : {-1, 3}) {
    List.SetItem(Outside, &B);
    EXPECT_EQ(List.Item(Outside), nullptr);
  }
  List.SetItem(2, &A);
  List.SetCount(5);
  EXPECT_EQ(Items(List), (std::vector<void*>{&A, &B, &A, nullptr, nullptr}));
  List.SetCount(0);
  EXPECT_EQ(List.Count(), 0);
}

// Ten slots at a time would copy the array a hundred thousand times here.
TEST(PointerList, AMillionAddsStayLinear) {
  TPNGPointerList List(nullptr);
  for (int i = 0; i < 1000000; ++i)
    List.Add(i % 2 == 0 ? &A : &B);
  EXPECT_EQ(List.Count(), 1000000);
  EXPECT_EQ(List.Item(999999), &B);
}

TEST(ChunkList, ItemOfClassFindsTheFirstOfTheClassOrADescendant) {
  TPNGObject Image;
  TPNGList& List = Image.ChunkList;
  List.SetCount(1); // an empty slot is passed over
  auto* Compressed = List.Add(std::make_unique<TChunkzTXt>(&Image));
  auto* Plain = List.Add(std::make_unique<TChunktEXt>(&Image));
  auto* End = List.Add(std::make_unique<TChunkIEND>(&Image));
  EXPECT_EQ(List.ItemOfClass(TChunktEXt::ClassInfo), Compressed);
  EXPECT_EQ(List.ItemOfClass(TChunkzTXt::ClassInfo), Compressed);
  EXPECT_EQ(List.ItemOfClass(TChunkIEND::ClassInfo), End);
  EXPECT_EQ(List.ItemOfClass(TChunk::ClassInfo), Compressed);
  EXPECT_EQ(List.ItemOfClass(TChunkIHDR::ClassInfo), nullptr);
  EXPECT_EQ(List.Item(2), Plain);
}

} // namespace
