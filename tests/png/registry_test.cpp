#include "png/pngimage.h"

#include <gtest/gtest.h>

namespace {

// Each type makes the class of exactly its name, or else a plain chunk.
TEST(Registry, FindsTheExactlyNamedClassOrAPlainChunk) {
  const std::pair<TChunkTag, const TChunkClass*> Cases[] = {
      {ChunkTagOf("IHDR"), &TChunkIHDR::ClassInfo}, {ChunkTagOf("zTXt"), &TChunkzTXt::ClassInfo},
      {ChunkTagOf("cHRM"), &TChunk::ClassInfo},     {ChunkTagOf("idat"), &TChunk::ClassInfo},
      {ChunkTagOf("IDAt"), &TChunk::ClassInfo},     {ChunkTagOf("TEXT"), &TChunk::ClassInfo},
      {{'I', 'E', 'N', 0}, &TChunk::ClassInfo},     {{0, 'E', 'N', 'D'}, &TChunk::ClassInfo}};
  TPNGObject Image;
  for (const auto& [Tag, Expected] : Cases) {
    const auto Chunk = NewChunkOfType(&Image, Tag);
    EXPECT_EQ(&Chunk->ClassType(), Expected) << ChunkTagText(Tag);
    EXPECT_EQ(Chunk->ChunkTag, Tag);
    EXPECT_EQ(Chunk->OwnerImage(), &Image);
  }
}

std::unique_ptr<TChunk> MakeMarkedChunk(TPNGObject* Owner) {
  auto Chunk = std::make_unique<TChunk>(Owner);
  Chunk->ResizeBody(7);
  return Chunk;
}

// Restores the standard registry whatever a test did to it.
class RegistryChange : public testing::Test {
protected:
  void TearDown() override { InitializePngImageUnit(); }
};

TEST_F(RegistryChange, TheFirstRegisteredClassOfANameWins) {
  static const TChunkClass Shadow{"TChunkIHDR", &TChunk::ClassInfo, &MakeMarkedChunk};
  ReleaseChunkClasses();
  EXPECT_EQ(&NewChunkOfType(nullptr, ChunkTagOf("IHDR"))->ClassType(), &TChunk::ClassInfo)
      << "without a registry every type is a plain chunk";
  RegisterChunkClass(Shadow);
  RegisterStandardChunkClasses();
  EXPECT_EQ(NewChunkOfType(nullptr, ChunkTagOf("IHDR"))->ChunkBodySize(), 7);
  EXPECT_EQ(&NewChunkOfType(nullptr, ChunkTagOf("IEND"))->ClassType(), &TChunkIEND::ClassInfo);
}

TEST_F(RegistryChange, StartingTheUnitAgainDoesNotRegisterTwice) {
  InitializePngImageUnit();
  EXPECT_EQ(RegisteredChunkClasses().size(), 9u);
}

} // namespace
