#include "tests/png/pngsuite_support.h"

#include <png.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace {

struct TOracleImage {
  uint32_t Width = 0, Height = 0;
  int ColorType = 0, BitDepth = 0, Channels = 0;
  std::vector<TBytes> Rows;
};

struct TMemoryReader {
  const TBytes& File;
  size_t Position = 8;
};

void ReadFromMemory(png_structp Png, png_bytep Data, png_size_t Length) {
  auto* Reader = static_cast<TMemoryReader*>(png_get_io_ptr(Png));
  if (Reader->Position + Length > Reader->File.size())
    png_error(Png, "read past end");
  std::memcpy(Data, Reader->File.data() + Reader->Position, Length);
  Reader->Position += Length;
}

// Rgba: 8-bit RGBA rows; otherwise one byte per sample, packed depths unpacked, 16 bits stripped.
TOracleImage DecodeWithLibpng(const TBytes& File, bool Rgba = false) {
  png_structp Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop Info = png_create_info_struct(Png);
  TOracleImage Image;
  TMemoryReader Reader{File};
  if (setjmp(png_jmpbuf(Png))) {
    png_destroy_read_struct(&Png, &Info, nullptr);
    throw std::runtime_error("libpng rejected the file");
  }
  png_set_read_fn(Png, &Reader, ReadFromMemory);
  png_set_sig_bytes(Png, 8);
  png_read_info(Png, Info);
  Image.Width = png_get_image_width(Png, Info);
  Image.Height = png_get_image_height(Png, Info);
  Image.ColorType = png_get_color_type(Png, Info);
  Image.BitDepth = png_get_bit_depth(Png, Info);
  png_set_strip_16(Png);
  if (Rgba) {
    png_set_expand(Png);
    png_set_gray_to_rgb(Png);
    png_set_add_alpha(Png, 0xFF, PNG_FILLER_AFTER);
  } else {
    png_set_packing(Png);
  }
  png_set_interlace_handling(Png);
  png_read_update_info(Png, Info);
  Image.Channels = png_get_channels(Png, Info);
  Image.Rows.assign(Image.Height, TBytes(png_get_rowbytes(Png, Info)));
  std::vector<png_bytep> Pointers;
  for (TBytes& Row : Image.Rows)
    Pointers.push_back(Row.data());
  png_read_image(Png, Pointers.data());
  png_destroy_read_struct(&Png, &Info, nullptr);
  return Image;
}

uint32_t Truecolour(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t Alpha) {
  return Blue | (uint32_t{Green} << 8) | (uint32_t{Red} << 16) | (uint32_t{Alpha} << 24);
}

} // namespace

std::string PngSuiteDir() {
  return "tests/data/pngsuite/";
}

std::vector<std::string> SuiteFiles(bool Damaged) {
  std::vector<std::string> Names;
  for (const auto& Entry : std::filesystem::directory_iterator(PngSuiteDir())) {
    const std::string Name = Entry.path().filename().string();
    if (Entry.path().extension() == ".png" && (Name[0] == 'x') == Damaged)
      Names.push_back(Name);
  }
  std::sort(Names.begin(), Names.end());
  return Names;
}

TPixels OraclePixels(const TBytes& File, const std::array<uint8_t, 256>& Gamma) {
  const TOracleImage Image = DecodeWithLibpng(File);
  TPixels Pixels;
  for (const TBytes& Row : Image.Rows)
    for (uint32_t X = 0; X < Image.Width; ++X) {
      const uint8_t* P = Row.data() + X * static_cast<uint32_t>(Image.Channels);
      switch (Image.ColorType) {
      case PNG_COLOR_TYPE_GRAY:
        Pixels.push_back(Image.BitDepth == 2 ? P[0] * 5u : P[0]);
        break;
      case PNG_COLOR_TYPE_PALETTE:
        Pixels.push_back(P[0]);
        break;
      case PNG_COLOR_TYPE_GRAY_ALPHA:
        Pixels.push_back(P[0] | uint32_t{P[1]} << 24);
        break;
      case PNG_COLOR_TYPE_RGB:
        Pixels.push_back(Truecolour(Gamma[P[0]], Gamma[P[1]], Gamma[P[2]], 0));
        break;
      default:
        Pixels.push_back(Truecolour(Gamma[P[0]], Gamma[P[1]], Gamma[P[2]], P[3]));
      }
    }
  return Pixels;
}

TBytes OracleRgba(const TBytes& File) {
  TBytes Pixels;
  for (const TBytes& Row : DecodeWithLibpng(File, true).Rows)
    Pixels.insert(Pixels.end(), Row.begin(), Row.end());
  return Pixels;
}

TPixels OurPixels(const TPNGObject& Image) {
  const TChunkIHDR& H = Image.Header();
  TPixels Pixels;
  for (uint32_t Y = 0; Y < H.Height; ++Y) {
    const uint8_t* Row = H.ImageRow(Y);
    const uint8_t* Alpha = H.AlphaPlane != nullptr ? H.AlphaRow(Y) : nullptr;
    for (uint32_t X = 0; X < H.Width; ++X) {
      const uint32_t A = Alpha != nullptr ? Alpha[X] : 0;
      switch (H.BitCount()) {
      case 1:
        Pixels.push_back(((Row[X / 8] >> (7 - X % 8)) & 1u) | A << 24);
        break;
      case 4:
        Pixels.push_back(((Row[X / 2] >> (X % 2 == 0 ? 4 : 0)) & 15u) | A << 24);
        break;
      case 8:
        Pixels.push_back(Row[X] | A << 24);
        break;
      default:
        Pixels.push_back(
            Truecolour(Row[3 * X + 2], Row[3 * X + 1], Row[3 * X], static_cast<uint8_t>(A)));
      }
    }
  }
  return Pixels;
}

std::vector<TParsedChunk> ParseChunks(const TBytes& File) {
  std::vector<TParsedChunk> Chunks;
  for (size_t At = 8; At + 8 <= File.size();) {
    const uint32_t Length = (uint32_t{File[At]} << 24) | (uint32_t{File[At + 1]} << 16) |
                            (uint32_t{File[At + 2]} << 8) | File[At + 3];
    const auto Begin = File.begin() + static_cast<long>(At);
    const size_t Present = std::min<size_t>(Length, File.size() - At - 8);
    Chunks.push_back({std::string(Begin + 4, Begin + 8),
                      TBytes(Begin + 8, Begin + 8 + static_cast<long>(Present))});
    At += 12 + size_t{Length};
  }
  return Chunks;
}

std::vector<std::string> KeptChunkTypes(const TBytes& File) {
  std::vector<std::string> Types;
  bool SeenData = false;
  for (const TParsedChunk& Chunk : ParseChunks(File)) {
    if (Chunk.Type == "cHRM" || (Chunk.Type == "IDAT" && SeenData))
      continue;
    SeenData = SeenData || Chunk.Type == "IDAT";
    Types.push_back(Chunk.Type);
    if (Chunk.Type == "IEND")
      break;
  }
  return Types;
}
