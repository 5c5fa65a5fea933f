// The pictures vqzconv reads: plain PNG and BMP files by their extension, anything else as a VQZ
// container holding one of them.
#pragma once

#include "app/uVQZ2Image.h"
#include "platform/core/sysutils.h"
#include "platform/graphics/graphics.h"
#include "png/pngimage.h"

#include <memory>
#include <optional>
#include <string>

// A failure that calls for a particular exit status; the message is what follows "FILE: ".
class EToolError : public Exception {
public:
  EToolError(int Status, std::string Message) : Exception(std::move(Message)), FStatus(Status) {}
  int Status() const { return FStatus; }

private:
  int FStatus;
};

enum class TInputKind { ikPng, ikBitmap, ikContainer };

// The kind a file is read as, by its extension, without regard to case.
TInputKind InputKindOf(const std::string& Path);

struct TContainerPlace {
  int64_t Offset = 0; // where the picture starts in the container
  EmbeddedImageKind Kind = eikNone;
};

struct TInputPicture {
  std::string Path;
  std::unique_ptr<TPNGObject> Png; // set for a PNG picture
  std::unique_ptr<TBitmap> Bitmap; // set for a BMP picture
  uint16_t FileBitsPerPixel = 0;   // a BMP picture's depth as its file stores it
  std::optional<TContainerPlace> Container;
};

// The container's embedded picture, its bytes unchanged, positioned at 0; EToolError with
// ExitContainer when the reader rejects the file.
TContainerPlace ExtractPicture(const std::string& Path, TMemoryStream& Picture);

// Loads Path as its extension says. The picture's own errors pass through as they are raised.
TInputPicture LoadInputPicture(const std::string& Path);

// The picture as a PNG image: a BMP picture is imported as the codec imports any bitmap.
TPNGObject& PngImageOf(TInputPicture& Input);
