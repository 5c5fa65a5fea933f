#include "png/pngimage.h"

#include <gtest/gtest.h>

namespace {

int A, B, C;

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
  EXPECT_EQ(List.Count(), 2);
  EXPECT_EQ(List.Item(0), &A);
  EXPECT_EQ(List.Item(1), &B);
  List.SetItem(1, &C);
  EXPECT_EQ(List.Item(1), &C);
}

TEST(PointerList, SetCountKeepsSlotsAndOpensEmptyOnes) {
  TPNGPointerList List(nullptr);
  List.SetCount(10);
  EXPECT_EQ(List.Count(), 10);
  for (int32_t i = 0; i < 10; ++i)
    EXPECT_EQ(List.Item(i), nullptr) << i;
  List.SetItem(3, &A);
  List.SetCount(4);
  EXPECT_EQ(List.Count(), 4);
  EXPECT_EQ(List.Item(3), &A);
  List.SetCount(6);
  EXPECT_EQ(List.Item(3), &A);
  EXPECT_EQ(List.Item(4), nullptr);
  List.SetCount(0);
  EXPECT_EQ(List.Count(), 0);
  EXPECT_EQ(List.Item(0), nullptr);
}

TEST(PointerList, RemoveTakesTheLastOccurrence) {
  TPNGPointerList List(nullptr);
  for (int* P : {&A, &B, &A, &C})
    List.Add(P);
  EXPECT_EQ(List.Remove(&A), &A);
  ASSERT_EQ(List.Count(), 3);
  EXPECT_EQ(List.Item(0), &A);
  EXPECT_EQ(List.Item(1), &B);
  EXPECT_EQ(List.Item(2), &C);
  EXPECT_EQ(List.Remove(&A), &A);
  EXPECT_EQ(List.Item(0), &B);
  EXPECT_EQ(List.Remove(&A), nullptr);
  EXPECT_EQ(List.Count(), 2);
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
  auto* Compressed = new TChunkzTXt(&Image);
  auto* Plain = new TChunktEXt(&Image);
  auto* End = new TChunkIEND(&Image);
  for (TChunk* Chunk : std::initializer_list<TChunk*>{Compressed, Plain, End})
    List.Add(Chunk);
  EXPECT_EQ(List.ItemOfClass(TChunktEXt::ClassInfo), Compressed);
  EXPECT_EQ(List.ItemOfClass(TChunkzTXt::ClassInfo), Compressed);
  EXPECT_EQ(List.ItemOfClass(TChunkIEND::ClassInfo), End);
  EXPECT_EQ(List.ItemOfClass(TChunk::ClassInfo), Compressed);
  EXPECT_EQ(List.ItemOfClass(TChunkIHDR::ClassInfo), nullptr);
  EXPECT_EQ(List.Item(2), Plain);
}

TEST(ChunkList, ClearFreesEveryChunkAndSkipsEmptySlots) {
  TPNGObject Image;
  Image.ChunkList.Add(new TChunkIEND(&Image));
  Image.ChunkList.SetCount(3);
  Image.ChunkList.SetItem(2, new TChunk(&Image));
  Image.Clear();
  EXPECT_EQ(Image.ChunkList.Count(), 0);
}

} // namespace
