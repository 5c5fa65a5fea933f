// The writer's Sub filter, the default. The plain routine is the definition; the fast one must
// give the same bytes for every pixel width and row.
#pragma once

#include <cstdint>

// Out receives Raw's Count bytes minus the byte Stride to the left (0 before the first pixel).
void SubFilterRowPlain(const uint8_t* Raw, uint8_t* Out, uint32_t Count, uint32_t Stride);
void SubFilterRow(const uint8_t* Raw, uint8_t* Out, uint32_t Count, uint32_t Stride);
