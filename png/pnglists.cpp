// The pointer list and the chunk list.
#include "png/pngimage.h"

#include <algorithm>
#include <new>

void* TPNGPointerList::Item(int32_t Index) const {
  if (Index < 0 || Index >= FCount)
    return nullptr;
  return FSlots[static_cast<size_t>(Index)];
}

void TPNGPointerList::SetItem(int32_t Index, void* Pointer) {
  if (Index < 0 || Index >= FCount)
    return;
  FSlots[static_cast<size_t>(Index)] = Pointer;
}

void TPNGPointerList::SetCount(int32_t NewCount) {
  if (NewCount <= 0) {
    std::vector<void*>().swap(FSlots);
    FCount = 0;
    return;
  }
  const auto Wanted = static_cast<size_t>(NewCount);
  try {
    if (Wanted > FSlots.size())
      FSlots.resize(std::max(Wanted, FSlots.size() * 2));
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory();
  }
  // Slots uncovered again after a Remove may still hold what was removed.
  if (NewCount > FCount)
    std::fill(FSlots.begin() + FCount, FSlots.begin() + NewCount, nullptr);
  FCount = NewCount;
}

void TPNGPointerList::Add(void* Pointer) {
  SetCount(FCount + 1);
  SetItem(FCount - 1, Pointer);
}

void* TPNGPointerList::Remove(void* Pointer) {
  for (int32_t Index = FCount - 1; Index >= 0; --Index) {
    if (FSlots[static_cast<size_t>(Index)] != Pointer)
      continue;
    std::copy(FSlots.begin() + Index + 1, FSlots.begin() + FCount, FSlots.begin() + Index);
    --FCount;
    return Pointer;
  }
  return nullptr;
}

TChunk* TPNGList::ItemOfClass(const TChunkClass& ChunkClass) const {
  for (int32_t Index = 0; Index < Count(); ++Index) {
    TChunk* Chunk = Item(Index);
    if (Chunk != nullptr && Chunk->ClassType().InheritsFrom(ChunkClass))
      return Chunk;
  }
  return nullptr;
}
