#include "tools/convert.h"

#include "tools/output.h"
#include "tools/pam.h"

namespace {

void ApplyWriterOptions(TPNGObject& Png, const TWriterOptions& Writer) {
  if (Writer.Filters)
    Png.SetRowFilters(*Writer.Filters);
  if (Writer.Level)
    Png.ZlibLevel = *Writer.Level;
  if (Writer.Interlace)
    Png.SetInterlaceKind(*Writer.Interlace ? 1 : 0);
  if (Writer.MaxDataChunkSize)
    Png.SetMaxDataChunkSize(*Writer.MaxDataChunkSize);
  if (Writer.Threads)
    Png.SetEncodeThreads(*Writer.Threads);
}

void EncodeBitmap(TInputPicture& Input, TStream& Out) {
  if (Input.Bitmap) {
    Input.Bitmap->SaveToStream(Out);
    return;
  }
  TBitmap Bitmap;
  Input.Png->AssignStoredColorsTo(Bitmap);
  Bitmap.SaveToStream(Out);
}

} // namespace

void ConvertPicture(TInputPicture& Input, TOutputKind Kind, const TWriterOptions& Writer,
                    const std::string& OutPath) {
  TMemoryStream Encoded;
  switch (Kind) {
  case TOutputKind::okPam:
    WritePam(PngImageOf(Input), Encoded);
    break;
  case TOutputKind::okBitmap:
    EncodeBitmap(Input, Encoded);
    break;
  case TOutputKind::okPng: {
    TPNGObject& Png = PngImageOf(Input);
    ApplyWriterOptions(Png, Writer);
    Png.SaveToStream(Encoded);
    break;
  }
  }
  WriteWholeFile(OutPath, Encoded);
}
