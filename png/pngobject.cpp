// The PNG image object.
#include "png/pngimage.h"

TPNGObject::~TPNGObject() { Clear(); }

void TPNGObject::Clear() {
  for (int32_t Index = 0; Index < ChunkList.Count(); ++Index)
    delete ChunkList.Item(Index);
  ChunkList.SetCount(0);
}
