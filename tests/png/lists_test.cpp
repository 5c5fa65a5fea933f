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

TEST(PointerList, StartsEmptyAndIsSafeToAskWhenEmpty) {
  TPNGObject Owner;
  TPNGPointerList List(&Owner);
  EXPECT_EQ(List.ListOwner(), &Owner);
  EXPECT_EQ(List.Count(), 0);
  EXPECT_EQ(List.Item(0), nullptr);
  EXPECT_EQ(List.Item(-1), nullptr);
  List.SetItem(0, &A);
  EXPECT_EQ(List.Count(), 0);
  EXPECT_EQ(List.Remove(&A), nullptr);
}

TEST(PointerList, ItemAndSetItemHonourTheRangeExactly) {
  TPNGPointerList List(nullptr);
  List.Add(&A);
  List.Add(&B);
  EXPECT_EQ(List.Item(1), &B);
  EXPECT_EQ(List.Item(2), nullptr);
  EXPECT_EQ(List.Item(-1), nullptr);
  List.SetItem(2, &C);
  List.SetItem(-1, &C);
  EXPECT_EQ(Items(List), (std::vector<void*>{&A, &B}));
  List.SetItem(1, &C);
  EXPECT_EQ(Items(List), (std::vector<void*>{&A, &C}));
}

TEST(PointerList, SetCountKeepsSlotsAndOpensEmptyOnes) {
  TPNGPointerList List(nullptr);
  List.SetCount(10);
  EXPECT_EQ(Items(List), std::vector<void*>(10));
  List.SetItem(3, &A);
  List.SetCount(4);
  EXPECT_EQ(Items(List), (std::vector<void*>{nullptr, nullptr, nullptr, &A}));
  List.SetCount(6);
  EXPECT_EQ(Items(List), (std::vector<void*>{nullptr, nullptr, nullptr, &A, nullptr, nullptr}));
  List.SetCount(0);
  EXPECT_EQ(List.Count(), 0);
  EXPECT_EQ(List.Item(0), nullptr);
}

TEST(PointerList, RemoveTakesTheLastOccurrence) {
  TPNGPointerList List(nullptr);
  for (int* P : {&A, &B, &A, &C})
    List.Add(P);
  EXPECT_EQ(List.Remove(&A), &A);
  EXPECT_EQ(Items(List), (std::vector<void*>{&A, &B, &C}));
  EXPECT_EQ(List.Remove(&A), &A);
  EXPECT_EQ(List.Remove(&A), nullptr);
  EXPECT_EQ(Items(List), (std::vector<void*>{&B, &C}));
}

// The slot a Remove uncovered still holds the old pointer beneath; growing the count again must
// not bring it back.
TEST(PointerList, GrowingAfterRemoveOpensAnEmptySlot) {
  TPNGPointerList List(nullptr);
  List.Add(&A);
  List.Add(&B);
  List.Remove(&B);
  List.SetCount(2);
  EXPECT_EQ(List.Item(1), nullptr);
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

TEST(ChunkList, ClearFreesEveryChunkAndSkipsEmptySlots) {
  TPNGObject Image;
  Image.ChunkList.Add(std::make_unique<TChunkIEND>(&Image));
  Image.ChunkList.SetCount(3);
  Image.ChunkList.SetItem(2, new TChunk(&Image));
  Image.Clear();
  EXPECT_EQ(Image.ChunkList.Count(), 0);
}

} // namespace
