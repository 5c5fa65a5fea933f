#include "png/pngimage.h"

#include <gtest/gtest.h>

namespace {

struct TLookupCase {
  TChunkTag Tag;
  const TChunkClass* Expected;
};

class Lookup : public testing::TestWithParam<TLookupCase> {};

TEST_P(Lookup, FindsTheExactlyNamedClassOrAPlainChunk) {
  TPNGObject Image;
  const auto Chunk = NewChunkOfType(&Image, GetParam().Tag);
  EXPECT_EQ(&Chunk->ClassType(), GetParam().Expected) << ChunkTagText(GetParam().Tag);
  EXPECT_EQ(Chunk->ChunkTag, GetParam().Tag);
  EXPECT_EQ(Chunk->OwnerImage(), &Image);
}

INSTANTIATE_TEST_SUITE_P(
    Tags, Lookup,
    testing::Values(TLookupCase{ChunkTagOf("IEND"), &TChunkIEND::ClassInfo},
                    TLookupCase{ChunkTagOf("IHDR"), &TChunkIHDR::ClassInfo},
                    TLookupCase{ChunkTagOf("IDAT"), &TChunkIDAT::ClassInfo},
                    TLookupCase{ChunkTagOf("PLTE"), &TChunkPLTE::ClassInfo},
                    TLookupCase{ChunkTagOf("gAMA"), &TChunkgAMA::ClassInfo},
                    TLookupCase{ChunkTagOf("tRNS"), &TChunktRNS::ClassInfo},
                    TLookupCase{ChunkTagOf("tIME"), &TChunktIME::ClassInfo},
                    TLookupCase{ChunkTagOf("tEXt"), &TChunktEXt::ClassInfo},
                    TLookupCase{ChunkTagOf("zTXt"), &TChunkzTXt::ClassInfo},
                    TLookupCase{ChunkTagOf("cHRM"), &TChunk::ClassInfo},
                    TLookupCase{ChunkTagOf("idat"), &TChunk::ClassInfo},
                    TLookupCase{ChunkTagOf("IDAt"), &TChunk::ClassInfo},
                    TLookupCase{ChunkTagOf("TEXT"), &TChunk::ClassInfo},
                    TLookupCase{{'I', 'E', 'N', 0}, &TChunk::ClassInfo},
                    TLookupCase{{0, 'E', 'N', 'D'}, &TChunk::ClassInfo}));

TEST(Registry, HoldsTheStandardClassesInOrder) {
  const std::vector<const TChunkClass*> Expected{
      &TChunkIEND::ClassInfo, &TChunkIHDR::ClassInfo, &TChunkIDAT::ClassInfo,
      &TChunkPLTE::ClassInfo, &TChunkgAMA::ClassInfo, &TChunktRNS::ClassInfo,
      &TChunktIME::ClassInfo, &TChunktEXt::ClassInfo, &TChunkzTXt::ClassInfo};
  EXPECT_EQ(RegisteredChunkClasses(), Expected);
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
  RegisterChunkClass(Shadow);
  RegisterStandardChunkClasses();
  EXPECT_EQ(NewChunkOfType(nullptr, ChunkTagOf("IHDR"))->ChunkBodySize(), 7);
  EXPECT_EQ(&NewChunkOfType(nullptr, ChunkTagOf("IEND"))->ClassType(), &TChunkIEND::ClassInfo);
}

TEST_F(RegistryChange, WithoutARegistryEveryTypeIsAPlainChunk) {
  ReleaseChunkClasses();
  EXPECT_TRUE(RegisteredChunkClasses().empty());
  const auto Chunk = NewChunkOfType(nullptr, ChunkTagOf("IHDR"));
  EXPECT_EQ(&Chunk->ClassType(), &TChunk::ClassInfo);
  EXPECT_EQ(Chunk->ChunkTag, ChunkTagOf("IHDR"));
}

TEST_F(RegistryChange, StartingTheUnitAgainDoesNotRegisterTwice) {
  InitializePngImageUnit();
  EXPECT_EQ(RegisteredChunkClasses().size(), 9u);
}

// The descriptors agree with the C++ classes: what a descriptor makes is of that class, and the
// descriptor's ancestry is the class's.
TEST(Descriptors, MatchTheirClasses) {
  for (const TChunkClass* Class : RegisteredChunkClasses()) {
    const auto Chunk = Class->Create(nullptr);
    EXPECT_EQ(&Chunk->ClassType(), Class);
    EXPECT_EQ(Class->InheritsFrom(TChunktEXt::ClassInfo),
              dynamic_cast<TChunktEXt*>(Chunk.get()) != nullptr)
        << Class->ClassName;
    EXPECT_TRUE(Class->InheritsFrom(TChunk::ClassInfo));
    EXPECT_EQ(Chunk->ChunkTypeName(), Class->ClassName.substr(6));
  }
  EXPECT_FALSE(TChunktEXt::ClassInfo.InheritsFrom(TChunkzTXt::ClassInfo));
  EXPECT_EQ(TChunk::ClassInfo.ChunkTypeName(), "");
}

} // namespace
