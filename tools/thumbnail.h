// vqzconv thumbnail: the picture made small for a file manager, as an 8-bit RGBA PNG.
#pragma once

#include "tools/areaaverage.h"
#include "tools/input.h"

#include <string>

// The picture's size fitted into Box x Box with its aspect ratio kept, never enlarged; the
// short side is rounded and at least 1.
TPictureSize ThumbnailSize(TPictureSize Picture, uint32_t Box);

// The picture, as it shows with its transparency, area-averaged down to ThumbnailSize, written
// whole to OutPath. EInvalidGraphic for a picture without pixels.
void WriteThumbnail(TInputPicture& Input, uint32_t Box, const std::string& OutPath);
