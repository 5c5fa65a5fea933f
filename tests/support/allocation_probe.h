// Watches the program's heap requests through operator new, so a test can show that a size read
// from a file was checked before anything was allocated for it, make one request fail, and see
// that whatever was made before it is freed again.
#pragma once

#include <cstddef>

// The largest single request since the last reset.
size_t LargestAllocation();
void ResetLargestAllocation();
// The Nth request from now raises std::bad_alloc (and only it); 0 turns that off.
void FailNthAllocation(size_t Nth);
// Blocks allocated and not yet freed.
long LiveAllocations();
