#include "fuzz/libpng_oracle.h"

#include "fuzz/pngchunks.h"

#include <png.h>

#include <cstring>
#include <string>

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

// libpng's error text is kept for the exception; its warnings are what it forgives, not news.
void KeepError(png_structp Png, png_const_charp Message) {
  *static_cast<std::string*>(png_get_error_ptr(Png)) = Message;
  png_longjmp(Png, 1);
}

void IgnoreWarning(png_structp, png_const_charp) {}

// The rows libpng decodes into, and the pointers to them, made before it can jump back, so
// that every one is freed when it does.
struct TLibpngRead {
  png_structp Png = nullptr;
  png_infop Info = nullptr;
  std::string Error;
  std::vector<png_bytep> Pointers;
  ~TLibpngRead() { png_destroy_read_struct(&Png, &Info, nullptr); }
};

void SetUpReduction(png_structp Png, bool Rgba) {
  png_set_strip_16(Png);
  if (Rgba) {
    png_set_expand(Png);
    png_set_gray_to_rgb(Png);
    png_set_add_alpha(Png, 0xFF, PNG_FILLER_AFTER);
  } else {
    png_set_packing(Png);
  }
  png_set_interlace_handling(Png);
}

// libpng reads every chunk up to IEND, and allocates the body of some before reading it: a file
// that ends inside one of them, whatever length it declares, is refused here as libpng would
// refuse it once it came to read past the end, without the allocation.
bool EndsInsideAChunk(const TBytes& File) {
  bool Inside = true;
  ForEachChunk(File.data(), File.size(), [&](const TChunkFrame& Chunk) {
    Inside = !(Chunk.Complete && Chunk.IsType("IEND"));
    return Inside;
  });
  return Inside;
}

// Rgba: 8-bit RGBA rows; otherwise one byte per sample, packed depths unpacked, 16 bits stripped.
// The file is read to its end, so whatever libpng checks after the image data counts too.
TOracleImage DecodeWithLibpng(const TBytes& File, bool Rgba = false) {
  if (File.size() < 8 || png_sig_cmp(File.data(), 0, 8) != 0)
    throw ELibpngRefused("not a PNG signature");
  if (EndsInsideAChunk(File))
    throw ELibpngRefused("read past end");
  TLibpngRead Read;
  Read.Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &Read.Error, KeepError, IgnoreWarning);
  Read.Info = png_create_info_struct(Read.Png);
  TOracleImage Image;
  TMemoryReader Reader{File};
  if (setjmp(png_jmpbuf(Read.Png)))
    throw ELibpngRefused(Read.Error);
  png_set_read_fn(Read.Png, &Reader, ReadFromMemory);
  png_set_sig_bytes(Read.Png, 8);
  png_read_info(Read.Png, Read.Info);
  Image.Width = png_get_image_width(Read.Png, Read.Info);
  Image.Height = png_get_image_height(Read.Png, Read.Info);
  Image.ColorType = png_get_color_type(Read.Png, Read.Info);
  Image.BitDepth = png_get_bit_depth(Read.Png, Read.Info);
  SetUpReduction(Read.Png, Rgba);
  png_read_update_info(Read.Png, Read.Info);
  Image.Channels = png_get_channels(Read.Png, Read.Info);
  Image.Rows.assign(Image.Height, TBytes(png_get_rowbytes(Read.Png, Read.Info)));
  Read.Pointers.reserve(Image.Height);
  for (TBytes& Row : Image.Rows)
    Read.Pointers.push_back(Row.data());
  png_read_image(Read.Png, Read.Pointers.data());
  png_read_end(Read.Png, nullptr);
  return Image;
}

uint32_t Truecolour(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t Alpha) {
  return Blue | (uint32_t{Green} << 8) | (uint32_t{Red} << 16) | (uint32_t{Alpha} << 24);
}

} // namespace

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
