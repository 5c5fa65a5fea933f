// PAM output: 8-bit RGB_ALPHA pixels, the colours the image shows (tools/shown.h).
#pragma once

#include "platform/core/classes.h"
#include "png/pngimage.h"

// EInvalidGraphic for an image without pixels, which PAM cannot hold.
void WritePam(const TPNGObject& Image, TStream& Out);
