// The open command's loading, free of the toolkit: the picture a VQZ file (or a plain BMP or PNG
// file) embeds, into the bitmap the window shows.
#pragma once

#include "platform/graphics/graphics.h"

#include <string>

// Extracts the picture of FileName and puts it into Bitmap: a BMP through the bitmap loader, a
// PNG through the PNG object's conversion to a bitmap. Returns false, touching nothing, for a
// file the container reader rejects. A picture that fails to load raises its exception and
// leaves Bitmap as it was.
bool LoadEmbeddedPicture(const std::string& FileName, TBitmap& Bitmap);
