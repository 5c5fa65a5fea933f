#include "app/uOpenPicture.h"

#include "png/pngimage.h"

#include <memory>

namespace {

// The bitmap is reused from picture to picture; an image without a key must not inherit the
// previous one's transparency.
void ResetTransparency(TBitmap& Bitmap) {
  Bitmap.SetTransparent(false);
  Bitmap.SetTransparentMode(tmAuto);
}

// Loaded aside first, so that a damaged file leaves the previous picture as it was; the copy
// brings the new bitmap's own (reset) transparency along.
void ShowBitmap(TMemoryStream& Picture, TBitmap& Bitmap) {
  TBitmap Loaded;
  Loaded.LoadFromStream(Picture);
  Bitmap.Assign(Loaded);
}

void ShowPng(TMemoryStream& Picture, TBitmap& Bitmap) {
  const auto Png = std::make_unique<TPNGObject>();
  Png->LoadFromStream(Picture);
  ResetTransparency(Bitmap);
  Bitmap.Assign(*Png);
}

} // namespace

ExtractResult LoadEmbeddedPicture(const std::string& FileName, TBitmap& Bitmap) {
  TMemoryStream Picture;
  EmbeddedImageKind Kind = eikNone;
  const ExtractResult Result = ExtractEmbeddedImage(FileName, Picture, Kind);
  if (Result != erExtracted)
    return Result;
  if (Kind == eikBitmap)
    ShowBitmap(Picture, Bitmap);
  else
    ShowPng(Picture, Bitmap);
  return erExtracted;
}
