// libpng reading from and writing to memory: the peer every case is measured against, and the
// writer that makes the benchmark's files. Failures come back as false with libpng's text.
#pragma once

#include <png.h>

#include <cstdint>
#include <string>
#include <vector>

using TBytes = std::vector<uint8_t>;

// An image as PNG rows: samples in the order and width a PNG file stores them, unfiltered.
struct TPngRows {
  uint32_t Width = 0;
  uint32_t Height = 0;
  uint8_t ColorType = 0;
  uint8_t BitDepth = 0;
  bool Adam7 = false;
  std::vector<png_color> Palette;
  size_t RowBytes = 0;
  TBytes Pixels; // Height rows of RowBytes, top row first

  uint8_t* Row(uint32_t Y) { return Pixels.data() + Y * RowBytes; }
  const uint8_t* Row(uint32_t Y) const { return Pixels.data() + Y * RowBytes; }
};

std::vector<png_bytep> RowPointersOf(TPngRows& Image);

int ChannelsOf(uint8_t ColorType);
// The bytes the image's filtered rows take, filter bytes included, in all passes for Adam7.
size_t FilteredImageSize(const TPngRows& Image);

// What libpng does to the stored rows while reading.
struct TReadTransforms {
  bool Bgr = false;
  bool Strip16 = false;
  bool ExpandToRgb = false; // palette and low depths to 8 bits, grey to RGB, tRNS to alpha
};

constexpr TReadTransforms AsStored{};
constexpr TReadTransforms LikeOurImageMemory{.Bgr = true, .Strip16 = true};
constexpr TReadTransforms CommonExpansion{.Strip16 = true, .ExpandToRgb = true};

// The header, palette and row size File reads as under Transforms; Pixels is left empty.
bool LibpngLayout(const TBytes& File, TReadTransforms Transforms, TPngRows& Layout,
                  std::string& Error);
// Reads the whole image into Rows, which must have the height and row size LibpngLayout gives.
bool LibpngRead(const TBytes& File, TReadTransforms Transforms, png_bytep* Rows, size_t RowBytes,
                std::string& Error);
// Both at once: the image as read under Transforms.
bool LibpngReadRows(const TBytes& File, TReadTransforms Transforms, TPngRows& Image,
                    std::string& Error);

// libpng's defaults wherever a field is left at -1.
struct TWriteSettings {
  int Level = -1;
  int Filters = -1;
  int Strategy = -1;
  bool Bgr = false; // the rows hold blue before red
};

// Writes Image as a PNG file of IHDR, PLTE where it has a palette, IDAT and IEND.
bool LibpngWrite(TPngRows& Image, const TWriteSettings& Settings, TBytes& File, std::string& Error);
