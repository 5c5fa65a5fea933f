#include "tools/input.h"

#include "tools/vqzconv.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace {

std::string LowerExtension(const std::string& Path) {
  std::string Extension = std::filesystem::path(Path).extension().string();
  std::transform(Extension.begin(), Extension.end(), Extension.begin(),
                 [](unsigned char C) { return static_cast<char>(std::tolower(C)); });
  return Extension;
}

// The depth a bitmap file stores, read back from its header once the file has loaded.
uint16_t StoredBitsPerPixel(TStream& Stream, int64_t Start) {
  uint8_t Header[30] = {};
  Stream.SetPosition(Start);
  if (Stream.Read(Header, sizeof Header) != sizeof Header)
    return 0;
  const uint32_t InfoSize =
      Header[14] | Header[15] << 8 | Header[16] << 16 | static_cast<uint32_t>(Header[17]) << 24;
  const int At = InfoSize == 12 ? 24 : 28;
  return static_cast<uint16_t>(Header[At] | Header[At + 1] << 8);
}

void LoadPicture(TInputPicture& Input, TStream& Stream, bool IsBitmap) {
  if (!IsBitmap) {
    Input.Png = std::make_unique<TPNGObject>();
    Input.Png->LoadFromStream(Stream);
    return;
  }
  const int64_t Start = Stream.GetPosition();
  Input.Bitmap = std::make_unique<TBitmap>();
  Input.Bitmap->LoadFromStream(Stream);
  Input.FileBitsPerPixel = StoredBitsPerPixel(Stream, Start);
}

} // namespace

TInputKind InputKindOf(const std::string& Path) {
  const std::string Extension = LowerExtension(Path);
  if (Extension == ".png")
    return TInputKind::ikPng;
  if (Extension == ".bmp")
    return TInputKind::ikBitmap;
  return TInputKind::ikContainer;
}

TContainerPlace ExtractPicture(const std::string& Path, TMemoryStream& Picture) {
  EmbeddedImageKind Kind = eikNone;
  const ExtractResult Result = ExtractEmbeddedImage(Path, Picture, Kind);
  if (Result != erExtracted)
    throw EToolError(ExitContainer, ExtractResultText(Result));
  const auto FileSize = static_cast<int64_t>(std::filesystem::file_size(Path));
  return {FileSize - Picture.GetSize(), Kind};
}

TInputPicture LoadInputPicture(const std::string& Path) {
  TInputPicture Input;
  Input.Path = Path;
  const TInputKind Kind = InputKindOf(Path);
  if (Kind == TInputKind::ikContainer) {
    TMemoryStream Picture;
    Input.Container = ExtractPicture(Path, Picture);
    LoadPicture(Input, Picture, Input.Container->Kind == eikBitmap);
    return Input;
  }
  TFileStream File(Path, fmOpenRead);
  LoadPicture(Input, File, Kind == TInputKind::ikBitmap);
  return Input;
}

TPNGObject& PngImageOf(TInputPicture& Input) {
  if (!Input.Png) {
    auto Imported = std::make_unique<TPNGObject>();
    Imported->Assign(*Input.Bitmap);
    Input.Png = std::move(Imported);
  }
  return *Input.Png;
}
