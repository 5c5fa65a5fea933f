// Looks for a picture on a screenshot: screen_check SCREEN.xwd PICTURE.(png|bmp) [--absent].
// The screenshot is an X window dump of a 24- or 32-bit screen; the picture must appear pixel
// for pixel somewhere on it (or, with --absent, nowhere). Exit status 0 when it does.
#include "png/pngimage.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

namespace {

struct TImage {
  int Width = 0, Height = 0;
  std::vector<uint32_t> Pixels; // 0xRRGGBB, top row first
  uint32_t At(int X, int Y) const {
    return Pixels[static_cast<size_t>(Y) * static_cast<size_t>(Width) + static_cast<size_t>(X)];
  }
};

uint32_t BigEndian32(const std::vector<uint8_t>& Bytes, size_t At) {
  return uint32_t{Bytes.at(At)} << 24 | uint32_t{Bytes.at(At + 1)} << 16 |
         uint32_t{Bytes.at(At + 2)} << 8 | Bytes.at(At + 3);
}

// The dump's header is 25 big-endian words, then the window name, then the colour map.
TImage ReadWindowDump(const std::string& Path) {
  std::ifstream File(Path, std::ios::binary);
  const std::vector<uint8_t> Bytes(std::istreambuf_iterator<char>(File), {});
  const uint32_t HeaderSize = BigEndian32(Bytes, 0);
  TImage Screen;
  Screen.Width = static_cast<int>(BigEndian32(Bytes, 16));
  Screen.Height = static_cast<int>(BigEndian32(Bytes, 20));
  const bool LeastFirst = BigEndian32(Bytes, 28) == 0;
  const uint32_t BitsPerPixel = BigEndian32(Bytes, 44);
  const uint32_t BytesPerLine = BigEndian32(Bytes, 48);
  const uint32_t Colors = BigEndian32(Bytes, 76);
  const uint32_t PixelBytes = BitsPerPixel == 24 ? 3 : 4;
  const size_t Start = HeaderSize + size_t{Colors} * 12;
  for (int Y = 0; Y < Screen.Height; ++Y)
    for (int X = 0; X < Screen.Width; ++X) {
      const size_t At =
          Start + static_cast<size_t>(Y) * BytesPerLine + static_cast<size_t>(X) * PixelBytes;
      uint32_t Value = 0;
      for (uint32_t Byte = 0; Byte < PixelBytes; ++Byte) {
        const uint32_t Shift = LeastFirst ? 8 * Byte : 8 * (PixelBytes - 1 - Byte);
        Value |= uint32_t{Bytes.at(At + Byte)} << Shift;
      }
      Screen.Pixels.push_back(Value & 0xFFFFFF);
    }
  return Screen;
}

uint32_t Rgb(COLORREF Color) {
  return GetRValue(Color) << 16 | GetGValue(Color) << 8 | GetBValue(Color);
}

// The picture as the viewer shows it: a PNG through its conversion to a bitmap.
TImage ReadPicture(const std::string& Path) {
  TBitmap Bitmap;
  if (Path.size() > 4 && Path.substr(Path.size() - 4) == ".png") {
    TPNGObject Png;
    Png.LoadFromFile(Path);
    Bitmap.Assign(Png);
  } else {
    Bitmap.LoadFromFile(Path);
  }
  TImage Image;
  Image.Width = Bitmap.GetWidth();
  Image.Height = Bitmap.GetHeight();
  for (int Y = 0; Y < Image.Height; ++Y)
    for (int X = 0; X < Image.Width; ++X)
      Image.Pixels.push_back(Rgb(Bitmap.Canvas().GetPixel(X, Y)));
  return Image;
}

bool Contains(const TImage& Screen, const TImage& Picture) {
  for (int Top = 0; Top + Picture.Height <= Screen.Height; ++Top)
    for (int Left = 0; Left + Picture.Width <= Screen.Width; ++Left) {
      bool Same = true;
      for (int Y = 0; Same && Y < Picture.Height; ++Y)
        for (int X = 0; Same && X < Picture.Width; ++X)
          Same = Screen.At(Left + X, Top + Y) == Picture.At(X, Y);
      if (Same) {
        std::cout << "found at " << Left << "," << Top << "\n";
        return true;
      }
    }
  return false;
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: screen_check SCREEN.xwd PICTURE [--absent]\n";
    return 64;
  }
  InitializePngImageUnit();
  int Status = 1;
  try {
    const bool Absent = argc > 3 && std::string(argv[3]) == "--absent";
    const bool Found = Contains(ReadWindowDump(argv[1]), ReadPicture(argv[2]));
    Status = Found != Absent ? 0 : 1;
    if (Status != 0)
      std::cerr << argv[2] << (Absent ? " is on the screen\n" : " is not on the screen\n");
  } catch (const std::exception& Error) {
    std::cerr << "screen_check: " << Error.what() << "\n";
  }
  FinalizePngImageUnit();
  return Status;
}
