#include "bench/spng_io.h"

#include <spng.h>

#include <memory>

namespace {

struct TSpngContextFree {
  void operator()(spng_ctx* Context) const { spng_ctx_free(Context); }
};

bool Failed(int Code, std::string& Error) {
  if (Code == 0)
    return false;
  Error = spng_strerror(Code);
  return true;
}

} // namespace

int SpngFormatLikeOurs(const TImageKind& Kind) {
  if (Kind.ColorType == PNG_COLOR_TYPE_RGB)
    return SPNG_FMT_RGB8;
  if (Kind.ColorType == PNG_COLOR_TYPE_RGBA)
    return SPNG_FMT_RGBA8;
  if (Kind.ColorType == PNG_COLOR_TYPE_GRAY && Kind.BitDepth == 8)
    return SPNG_FMT_G8;
  return SPNG_FMT_PNG;
}

bool SpngDecode(const TBytes& File, int Format, TBytes& Image, std::string& Error) {
  const std::unique_ptr<spng_ctx, TSpngContextFree> Context(spng_ctx_new(0));
  if (!Context) {
    Error = "spng_ctx_new failed";
    return false;
  }
  size_t Size = 0;
  if (Failed(spng_set_png_buffer(Context.get(), File.data(), File.size()), Error) ||
      Failed(spng_decoded_image_size(Context.get(), Format, &Size), Error))
    return false;
  if (Image.size() != Size)
    Image.resize(Size);
  return !Failed(spng_decode_image(Context.get(), Image.data(), Size, Format, 0), Error);
}
