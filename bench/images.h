// The benchmark's images: one scene in seven PNG formats, each written by libpng's default
// writer, made on first use and kept for the whole run.
#pragma once

#include "bench/libpng_io.h"
#include "bench/scene.h"

#include <string>
#include <vector>

struct TImageKind {
  std::string Name;
  uint8_t ColorType;
  uint8_t BitDepth;
  bool Adam7;
  uint32_t Size = SceneSize; // width and height
};

// rgb8 rgba8 grey8 pal8 rgb16 grey1 rgb8_adam7, in that order.
const std::vector<TImageKind>& BenchImageKinds();
// rgba8_16384: the scene at 16384 × 16384, for the decoder's time per pixel at scale.
const std::vector<TImageKind>& ScaleImageKinds();

struct TBenchImage {
  TPngRows Rows; // what was written
  TBytes File;
  std::string Error; // why the image could not be made; empty when it was
};

const TBenchImage& BenchImage(const TImageKind& Kind);
