// The gamma chunk and the gamma tables it builds.
#include "png/pngframe.h"

#include <algorithm>
#include <cmath>

namespace {

void BuildGammaTables(TPNGObject& Owner, uint32_t Gamma) {
  const long double Exponent = 1.0L / ((Gamma / 100000.0L) * 2.2L);
  for (int i = 0; i < 256; ++i) {
    // Rounding to nearest, halves to even, as the platform's rounding function does.
    const long double Scaled = RaiseToPower(i / 255.0L, Exponent) * 255.0L;
    const auto v = static_cast<uint8_t>(std::clamp(std::rint(Scaled), 0.0L, 255.0L));
    Owner.GammaLut[static_cast<size_t>(i)] = v;
    Owner.InverseGammaLut[v] = static_cast<uint8_t>(i);
  }
}

} // namespace

long double RaiseToPower(long double Base, long double Exponent) {
  if (Exponent == 0)
    return 1;
  if (Base == 0)
    return 0;
  return std::exp(Exponent * std::log(Base));
}

TChunkgAMA::TChunkgAMA(TPNGObject* Owner) : TChunkWithClass(Owner) {
  SetGammaValue(1);
}

uint32_t TChunkgAMA::GetGammaValue() const {
  if (!ValidBody())
    return 1;
  return BigEndian32(ChunkBody());
}

void TChunkgAMA::SetGammaValue(uint32_t Value) {
  if (!ValidBody())
    ResizeBody(4);
  PutBigEndian32(ChunkBody(), Value);
}

// The PNG standard puts gAMA before PLTE and IDAT. One after them is kept, but correcting what
// follows it by another gamma than what went before would change the image on every load.
bool TChunkgAMA::PrecedesPaletteAndData() const {
  const TPNGList& List = OwnerImage()->ChunkList;
  for (int32_t Index = 0; Index < List.Count() && List.Item(Index) != this; ++Index) {
    const TChunk* Chunk = List.Item(Index);
    if (Chunk != nullptr && (Chunk->ClassType().InheritsFrom(TChunkPLTE::ClassInfo) ||
                             Chunk->ClassType().InheritsFrom(TChunkIDAT::ClassInfo)))
      return false;
  }
  return true;
}

// A body that is not 4 bytes long, or a value of 0, leaves the tables as they are.
bool TChunkgAMA::LoadChunk(TStream& Stream, const TChunkTag& Tag, int32_t Size) {
  if (!TChunk::LoadChunk(Stream, Tag, Size))
    return false;
  if (OwnerImage() != nullptr && ValidBody() && GetGammaValue() != 0 && PrecedesPaletteAndData())
    BuildGammaTables(*OwnerImage(), GetGammaValue());
  return true;
}

void TChunkgAMA::AssignChunk(const TChunk& Source) {
  TChunk::AssignChunk(CheckedSource<TChunkgAMA>(Source));
}
