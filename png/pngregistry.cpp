// The chunk-class registry and the unit's start-up and shut-down.
#include "png/pngimage.h"

namespace {

// Filled at unit start-up on the GUI thread and only read afterwards.
std::vector<const TChunkClass*> ChunkClassRegistry;

} // namespace

void RegisterChunkClass(const TChunkClass& ChunkClass) {
  ChunkClassRegistry.push_back(&ChunkClass);
}

void RegisterStandardChunkClasses() {
  for (const TChunkClass* Class :
       {&TChunkIEND::ClassInfo, &TChunkIHDR::ClassInfo, &TChunkIDAT::ClassInfo,
        &TChunkPLTE::ClassInfo, &TChunkgAMA::ClassInfo, &TChunktRNS::ClassInfo,
        &TChunktIME::ClassInfo, &TChunktEXt::ClassInfo, &TChunkzTXt::ClassInfo})
    RegisterChunkClass(*Class);
}

void ReleaseChunkClasses() {
  std::vector<const TChunkClass*>().swap(ChunkClassRegistry);
}

const std::vector<const TChunkClass*>& RegisteredChunkClasses() {
  return ChunkClassRegistry;
}

std::unique_ptr<TChunk> NewChunkOfType(TPNGObject* Owner, const TChunkTag& Tag) {
  const std::string TypeText = ChunkTagText(Tag);
  const TChunkClass* Candidate = &TChunk::ClassInfo;
  for (const TChunkClass* Class : ChunkClassRegistry) {
    if (Class->ChunkTypeName() == TypeText) {
      Candidate = Class;
      break;
    }
  }
  std::unique_ptr<TChunk> Chunk = Candidate->Create(Owner);
  Chunk->ChunkTag = Tag;
  return Chunk;
}

void InitializePngImageUnit() {
  ReleaseChunkClasses();
  RegisterStandardChunkClasses();
  RegisterPngGraphic();
}

void FinalizePngImageUnit() {
  UnregisterPngGraphic();
  ReleaseChunkClasses();
}
