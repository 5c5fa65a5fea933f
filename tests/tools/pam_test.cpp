// PAM output against libpng: every valid PngSuite file gives the colours libpng decodes, through
// our gamma table, with libpng's alpha; colour keys by the shown colours.
#include "png/pngimage.h"
#include "tests/png/png_builder.h"
#include "tests/png/pngsuite_support.h"
#include "tools/pam.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace {

struct TReader {
  const TBytes& File;
  size_t Position;
};

void ReadFromMemory(png_structp Png, png_bytep Data, png_size_t Length) {
  auto* Reader = static_cast<TReader*>(png_get_io_ptr(Png));
  if (Reader->Position + Length > Reader->File.size())
    png_error(Png, "read past end");
  std::memcpy(Data, Reader->File.data() + Reader->Position, Length);
  Reader->Position += Length;
}

// libpng's 8-bit RGBA of the file: everything expanded, 16 bits stripped, no gamma.
TBytes LibpngRgba(const TBytes& File) {
  png_structp Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop Info = png_create_info_struct(Png);
  TReader Reader{File, 0};
  TBytes Pixels;
  if (setjmp(png_jmpbuf(Png))) {
    png_destroy_read_struct(&Png, &Info, nullptr);
    throw std::runtime_error("libpng rejected the file");
  }
  png_set_read_fn(Png, &Reader, ReadFromMemory);
  png_read_info(Png, Info);
  png_set_expand(Png);
  png_set_strip_16(Png);
  png_set_gray_to_rgb(Png);
  png_set_add_alpha(Png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(Png);
  png_read_update_info(Png, Info);
  const size_t RowBytes = png_get_rowbytes(Png, Info);
  const uint32_t Height = png_get_image_height(Png, Info);
  Pixels.resize(RowBytes * Height);
  std::vector<png_bytep> Rows;
  for (uint32_t Y = 0; Y < Height; ++Y)
    Rows.push_back(Pixels.data() + Y * RowBytes);
  png_read_image(Png, Rows.data());
  png_destroy_read_struct(&Png, &Info, nullptr);
  return Pixels;
}

TBytes PamOf(const TPNGObject& Image, std::string& Header) {
  TMemoryStream Stream;
  WritePam(Image, Stream);
  const auto* Bytes = static_cast<const char*>(static_cast<const void*>(Stream.Memory()));
  const std::string Text(Bytes, static_cast<size_t>(Stream.GetSize()));
  const size_t End = Text.find("ENDHDR\n") + 7;
  Header = Text.substr(0, End);
  return TBytes(Text.begin() + static_cast<ptrdiff_t>(End), Text.end());
}

std::vector<std::string> ValidSuiteFiles() {
  std::vector<std::string> Names;
  for (const auto& Entry : std::filesystem::directory_iterator(PngSuiteDir()))
    if (Entry.path().extension() == ".png" && Entry.path().filename().string()[0] != 'x')
      Names.push_back(Entry.path().filename().string());
  std::sort(Names.begin(), Names.end());
  return Names;
}

class PamSuite : public testing::TestWithParam<std::string> {};

TEST_P(PamSuite, ShowsWhatLibpngDecodesThroughOurGamma) {
  const TBytes File = ReadFileBytes(PngSuiteDir() + GetParam());
  TPNGObject Image;
  LoadBytes(Image, File);
  std::string Header;
  const TBytes Pam = PamOf(Image, Header);
  const TChunkIHDR& H = Image.Header();
  EXPECT_EQ(Header, "P7\nWIDTH " + std::to_string(H.Width) + "\nHEIGHT " + std::to_string(H.Height) +
                        "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n");
  TBytes Want = LibpngRgba(File);
  ASSERT_EQ(Pam.size(), Want.size());
  const bool ColourKeyed = !H.HasAlpha() && H.ColorType != COLOR_PALETTE &&
                           Image.TransparencyKind() == trColorKey;
  const COLORREF Key = Image.ImageKeyColor();
  for (size_t At = 0; At < Want.size(); At += 4) {
    for (size_t Channel = 0; Channel < 3; ++Channel)
      Want[At + Channel] = Image.GammaLut[Want[At + Channel]];
    if (ColourKeyed) {
      EXPECT_TRUE(Want[At + 3] == 255 || Pam[At + 3] == 0) << "libpng keys pixel " << At / 4;
      Want[At + 3] = RGB(Want[At], Want[At + 1], Want[At + 2]) == Key ? 0 : 255;
    }
  }
  EXPECT_EQ(Pam, Want);
}

INSTANTIATE_TEST_SUITE_P(Pam, PamSuite, testing::ValuesIn(ValidSuiteFiles()),
                         [](const auto& Info) { return Info.param.substr(0, Info.param.size() - 4); });

TEST(Pam, AnImageWithoutPixelsIsRefused) {
  for (const auto& [Width, Height] : {std::pair{0u, 3u}, std::pair{3u, 0u}}) {
    TPNGObject Image;
    LoadBytes(Image, TPngBuilder().Header(Width, Height, 8, COLOR_RGB).Data({}).End().Bytes());
    TMemoryStream Stream;
    EXPECT_THROW(WritePam(Image, Stream), EInvalidGraphic);
    EXPECT_EQ(Stream.GetSize(), 0);
  }
}

} // namespace
