// Watches the program's heap requests through operator new, so a test can show that a size read
// from a file was checked before anything was allocated for it.
#pragma once

#include <cstddef>

// The largest single request since the last reset.
size_t LargestAllocation();
void ResetLargestAllocation();
