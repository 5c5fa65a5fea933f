// The codec's binding to zlib: the allocation hooks every z_stream of ours uses.
#pragma once

#include <zlib.h>

#include <cstdint>

// Allocate Items × Size bytes, uninitialised. Never throws through zlib: an overflowing request,
// an exhausted heap or an injected failure gives null, which zlib reports as Z_MEM_ERROR.
voidpf ZlibAlloc(voidpf Opaque, uInt Items, uInt Size);
void ZlibFree(voidpf Opaque, voidpf Address);

// Clears Stream and installs ZlibAlloc and ZlibFree, so that they are what zlib calls.
void PrepareZlibStream(z_stream& Stream);

// Test hooks: blocks from ZlibAlloc not yet freed, and a way to make the n-th allocation from now
// on (1 = the next one) and every one after it fail; 0 switches failures off.
int64_t ZlibLiveBlocks();
void ZlibFailAllocationsFrom(int64_t Nth);
