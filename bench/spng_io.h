// libspng reading from memory: a second decode peer, set up to do the work closest to ours.
#pragma once

#include "bench/images.h"

#include <string>

// The output format nearest our image memory: 8-bit RGB(A) for truecolour (16 bits cut to 8),
// 8-bit grey, and palette indices and packed grey samples as stored. libspng cannot put blue
// first; that one step it is spared.
int SpngFormatLikeOurs(const TImageKind& Kind);

// Decodes File into Image (sized on first use) as Format; false with libspng's text.
bool SpngDecode(const TBytes& File, int Format, TBytes& Image, std::string& Error);
