// PAM output: 8-bit RGB_ALPHA pixels, the colours the image shows.
#pragma once

#include "platform/core/classes.h"
#include "png/pngimage.h"

// Truecolour comes from the image memory, indexed pixels through the colour table; alpha from
// the alpha plane, a palette's tRNS, or a colour key (0 where the shown colour is the shown key).
// EInvalidGraphic for an image without pixels, which PAM cannot hold.
void WritePam(const TPNGObject& Image, TStream& Out);
