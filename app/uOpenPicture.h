// The open command's loading, free of the toolkit: the picture a VQZ file (or a plain BMP or PNG
// file) embeds, into the bitmap the window shows.
#pragma once

#include "app/uVQZ2Image.h"
#include "platform/graphics/graphics.h"

#include <string>

// Extracts the picture of FileName and puts it into Bitmap: a BMP through the bitmap loader, a
// PNG through the PNG object's conversion to a bitmap. Returns the container reader's result:
// on a rejection nothing is touched. A picture that fails to load raises its exception and
// leaves Bitmap as it was.
ExtractResult LoadEmbeddedPicture(const std::string& FileName, TBitmap& Bitmap);
