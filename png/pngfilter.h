// The writer's filters: Sub, the default, whose plain routine is the definition and whose fast
// one must give the same bytes for every pixel width and row; the Paeth predictor, which the
// reader shares; the score that ranks candidate rows.
#pragma once

#include <cstdint>

// Out receives Raw's Count bytes minus the byte Stride to the left (0 before the first pixel).
void SubFilterRowPlain(const uint8_t* Raw, uint8_t* Out, uint32_t Count, uint32_t Stride);
void SubFilterRow(const uint8_t* Raw, uint8_t* Out, uint32_t Count, uint32_t Stride);

// The PNG standard's Paeth predictor.
uint8_t PaethPredictor(uint8_t Left, uint8_t Above, uint8_t UpperLeft);

// The score the writer ranks filter candidates by: positions j from 2 on whose byte repeats one
// of the two before it.
int RepeatScore(const uint8_t* Row, uint32_t Count);
