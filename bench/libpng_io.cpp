// libpng reports errors by long jump. Every function that sets the jump target holds only
// objects made before it, and libpng's own frames in between hold no C++ objects, so the jump
// skips no destructor.
#include "bench/libpng_io.h"

#include <cstdio>
#include <cstring>

namespace {

// What the callbacks reach through libpng's io and error pointers.
struct TIoState {
  const TBytes* Input = nullptr;
  size_t At = 0;
  TBytes* Output = nullptr;
  char Error[160] = "";
};

[[noreturn]] void OnError(png_structp Png, png_const_charp Message) {
  auto* State = static_cast<TIoState*>(png_get_error_ptr(Png));
  std::snprintf(State->Error, sizeof State->Error, "libpng: %s", Message);
  png_longjmp(Png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void ReadFromMemory(png_structp Png, png_bytep Data, size_t Length) {
  auto* State = static_cast<TIoState*>(png_get_io_ptr(Png));
  if (Length > State->Input->size() - State->At)
    png_error(Png, "file ends early");
  std::memcpy(Data, State->Input->data() + State->At, Length);
  State->At += Length;
}

void WriteToMemory(png_structp Png, png_bytep Data, size_t Length) {
  auto* State = static_cast<TIoState*>(png_get_io_ptr(Png));
  State->Output->insert(State->Output->end(), Data, Data + Length);
}

void FlushMemory(png_structp) {}

bool Failed(std::string& Error, const char* Text) {
  Error = Text;
  return false;
}

// Owns a read struct and its info struct.
class TReadSession {
public:
  explicit TReadSession(TIoState& State)
      : Png(png_create_read_struct(PNG_LIBPNG_VER_STRING, &State, OnError, OnWarning)),
        Info(Png != nullptr ? png_create_info_struct(Png) : nullptr) {
    if (Png != nullptr)
      png_set_read_fn(Png, &State, ReadFromMemory);
  }
  TReadSession(const TReadSession&) = delete;
  TReadSession& operator=(const TReadSession&) = delete;
  ~TReadSession() { png_destroy_read_struct(&Png, &Info, nullptr); }
  bool Ready() const { return Info != nullptr; }

  png_structp Png;
  png_infop Info;
};

class TWriteSession {
public:
  explicit TWriteSession(TIoState& State)
      : Png(png_create_write_struct(PNG_LIBPNG_VER_STRING, &State, OnError, OnWarning)),
        Info(Png != nullptr ? png_create_info_struct(Png) : nullptr) {
    if (Png != nullptr)
      png_set_write_fn(Png, &State, WriteToMemory, FlushMemory);
  }
  TWriteSession(const TWriteSession&) = delete;
  TWriteSession& operator=(const TWriteSession&) = delete;
  ~TWriteSession() { png_destroy_write_struct(&Png, &Info); }
  bool Ready() const { return Info != nullptr; }

  png_structp Png;
  png_infop Info;
};

void ApplyTransforms(png_structp Png, png_infop Info, TReadTransforms Transforms) {
  const png_byte ColorType = png_get_color_type(Png, Info);
  if (Transforms.ExpandToRgb) {
    png_set_expand(Png);
    if ((ColorType & PNG_COLOR_MASK_COLOR) == 0)
      png_set_gray_to_rgb(Png);
  }
  if (Transforms.Strip16)
    png_set_strip_16(Png);
  if (Transforms.Bgr)
    png_set_bgr(Png);
  if (png_get_interlace_type(Png, Info) == PNG_INTERLACE_ADAM7)
    png_set_interlace_handling(Png);
  png_read_update_info(Png, Info);
}

void CopyLayout(png_structp Png, png_infop Info, TPngRows& Layout) {
  Layout.Width = png_get_image_width(Png, Info);
  Layout.Height = png_get_image_height(Png, Info);
  Layout.ColorType = png_get_color_type(Png, Info);
  Layout.BitDepth = png_get_bit_depth(Png, Info);
  Layout.Adam7 = png_get_interlace_type(Png, Info) == PNG_INTERLACE_ADAM7;
  Layout.RowBytes = png_get_rowbytes(Png, Info);
  png_colorp Entries = nullptr;
  int Count = 0;
  if (png_get_PLTE(Png, Info, &Entries, &Count) != 0)
    Layout.Palette.assign(Entries, Entries + Count);
}

void SetWriteHeader(png_structp Png, png_infop Info, const TPngRows& Image) {
  png_set_IHDR(Png, Info, Image.Width, Image.Height, Image.BitDepth, Image.ColorType,
               Image.Adam7 ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!Image.Palette.empty())
    png_set_PLTE(Png, Info, Image.Palette.data(), static_cast<int>(Image.Palette.size()));
}

void ApplyWriteSettings(png_structp Png, const TWriteSettings& Settings) {
  if (Settings.Level >= 0)
    png_set_compression_level(Png, Settings.Level);
  if (Settings.Filters >= 0)
    png_set_filter(Png, PNG_FILTER_TYPE_BASE, Settings.Filters);
  if (Settings.Strategy >= 0)
    png_set_compression_strategy(Png, Settings.Strategy);
  if (Settings.Bgr)
    png_set_bgr(Png);
}

} // namespace

std::vector<png_bytep> RowPointersOf(TPngRows& Image) {
  std::vector<png_bytep> Rows(Image.Height);
  for (uint32_t Y = 0; Y < Image.Height; ++Y)
    Rows[Y] = Image.Row(Y);
  return Rows;
}

int ChannelsOf(uint8_t ColorType) {
  switch (ColorType) {
  case PNG_COLOR_TYPE_RGB:
    return 3;
  case PNG_COLOR_TYPE_GRAY_ALPHA:
    return 2;
  case PNG_COLOR_TYPE_RGBA:
    return 4;
  default:
    return 1;
  }
}

size_t FilteredImageSize(const TPngRows& Image) {
  const size_t PixelBits = size_t{Image.BitDepth} * ChannelsOf(Image.ColorType);
  const auto PassSize = [&](size_t Columns, size_t Rows) {
    return Columns == 0 ? 0 : Rows * ((Columns * PixelBits + 7) / 8 + 1);
  };
  if (!Image.Adam7)
    return PassSize(Image.Width, Image.Height);
  size_t Total = 0;
  for (int Pass = 0; Pass < 7; ++Pass)
    Total += PassSize(PNG_PASS_COLS(Image.Width, Pass), PNG_PASS_ROWS(Image.Height, Pass));
  return Total;
}

bool LibpngLayout(const TBytes& File, TReadTransforms Transforms, TPngRows& Layout,
                  std::string& Error) {
  TIoState State{.Input = &File};
  TReadSession Session(State);
  if (!Session.Ready())
    return Failed(Error, "libpng: no memory for a read struct");
  if (setjmp(png_jmpbuf(Session.Png)) != 0)
    return Failed(Error, State.Error);
  png_read_info(Session.Png, Session.Info);
  ApplyTransforms(Session.Png, Session.Info, Transforms);
  CopyLayout(Session.Png, Session.Info, Layout);
  return true;
}

bool LibpngRead(const TBytes& File, TReadTransforms Transforms, png_bytep* Rows, size_t RowBytes,
                std::string& Error) {
  TIoState State{.Input = &File};
  TReadSession Session(State);
  if (!Session.Ready())
    return Failed(Error, "libpng: no memory for a read struct");
  if (setjmp(png_jmpbuf(Session.Png)) != 0)
    return Failed(Error, State.Error);
  png_read_info(Session.Png, Session.Info);
  ApplyTransforms(Session.Png, Session.Info, Transforms);
  if (png_get_rowbytes(Session.Png, Session.Info) != RowBytes)
    png_error(Session.Png, "rows of another size than the buffer's");
  png_read_image(Session.Png, Rows);
  png_read_end(Session.Png, nullptr);
  return true;
}

bool LibpngReadRows(const TBytes& File, TReadTransforms Transforms, TPngRows& Image,
                    std::string& Error) {
  if (!LibpngLayout(File, Transforms, Image, Error))
    return false;
  Image.Pixels.assign(Image.RowBytes * Image.Height, 0);
  std::vector<png_bytep> Rows = RowPointersOf(Image);
  return LibpngRead(File, Transforms, Rows.data(), Image.RowBytes, Error);
}

bool LibpngWrite(TPngRows& Image, const TWriteSettings& Settings, TBytes& File,
                 std::string& Error) {
  File.clear();
  std::vector<png_bytep> Rows = RowPointersOf(Image);
  TIoState State{.Output = &File};
  TWriteSession Session(State);
  if (!Session.Ready())
    return Failed(Error, "libpng: no memory for a write struct");
  if (setjmp(png_jmpbuf(Session.Png)) != 0)
    return Failed(Error, State.Error);
  SetWriteHeader(Session.Png, Session.Info, Image);
  ApplyWriteSettings(Session.Png, Settings);
  png_write_info(Session.Png, Session.Info);
  if (Image.Adam7)
    png_set_interlace_handling(Session.Png);
  png_write_image(Session.Png, Rows.data());
  png_write_end(Session.Png, nullptr);
  return true;
}
