// The drawing cases: "draw/ours/rgba8" and "draw/memcpy/rgba8".
#pragma once

#include "bench/cases.h"

void RegisterDrawCases();
