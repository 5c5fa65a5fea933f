// vqzconv as its users run it: commands, exit statuses, messages, and the files it writes.
#include "tests/png/png_builder.h"
#include "tests/png/pngsuite_support.h"
#include "tests/support/testfiles.h"
#include "tools/vqzconv.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

namespace {

struct TRun {
  int Status;
  std::string Out, Err;
};

TRun RunTool(const std::vector<std::string>& Args) {
  std::ostringstream Out, Err;
  const int Status = RunVqzconv(Args, Out, Err);
  return {Status, Out.str(), Err.str()};
}

TBytes Text(const std::string& Chars) {
  return TBytes(Chars.begin(), Chars.end());
}

const std::string TitleText = "Caf\xE9 \"x\"\nline 2";
const TBytes Rows = {0, 0x0F, 0, 0x3C};
const std::string Sizes[] = {std::to_string(6 + TitleText.size()),
                             std::to_string(9 + Compress(Text("hi")).size()),
                             std::to_string(Compress(Rows).size())};

// A 2x2 4-bit grey image with every chunk info reports.
TBytes DescribedPng() {
  TBytes Comment = Text(std::string("Comment") + '\0' + '\0');
  const TBytes Hi = Compress(Text("hi"));
  Comment.insert(Comment.end(), Hi.begin(), Hi.end());
  TPngBuilder Png;
  Png.Header(2, 2, 4, COLOR_GRAYSCALE)
      .Chunk("gAMA", {0x00, 0x01, 0x86, 0xA0})
      .Chunk("tRNS", {0, 15});
  Png.Chunk("tIME", {0x07, 0xEA, 12, 7, 11, 5, 9})
      .Chunk("tEXt", Text("Title" + std::string(1, '\0') + TitleText));
  return Png.Chunk("zTXt", Comment).Data(Rows).End().Bytes();
}

class Vqzconv : public testing::Test {
protected:
  std::string Write(const std::string& Name, const TBytes& Bytes) { return Dir.Write(Name, Bytes); }
  std::string PathOf(const std::string& Name) { return Dir.PathOf(Name); }
  bool Exists(const std::string& Name) { return std::filesystem::exists(PathOf(Name)); }
  TScratchDir Dir;
};

// One line for each check of the command line; help for every way of asking for it.
TEST_F(Vqzconv, UsageErrorsSayWhatIsWrong) {
  const std::pair<std::vector<std::string>, std::string> Cases[] = {
      {{}, "no command given"},
      {{"show", "a.png"}, "unknown command \"show\""},
      {{"info"}, "usage: vqzconv info IN [--json]"},
      {{"extract", "a.vqz", "b", "--json"}, "extract takes no options"},
      {{"info", "a.png", "--to", "pam"}, "info takes only --json"},
      {{"convert", "a.png", "b"}, "cannot tell the output kind of \"b\""},
      {{"convert", "a.png", "b.pam", "--level=3"},
       "the PNG writer options go with PNG output only"},
      {{"convert", "a.png", "--to", "jpg"}, "--to wants pam, bmp or png, not \"jpg\""},
      {{"convert", "a.png", "--to"}, "--to wants a value"},
      {{"convert", "--to=png"}, "usage: vqzconv convert IN... --to"},
      {{"convert", "a.png", "--out-dir", "d"}, "--out-dir goes with --to"},
      {{"convert", "a.png", "b.png", "--level=10"}, "--level must be at most 9"},
      {{"convert", "a.png", "b.png", "--level=7x"}, "--level wants a number, not \"7x\""},
      {{"convert", "a.png", "b.png", "--filters=sub,jpeg"}, "unknown filter \"jpeg\""},
      {{"convert", "a.png", "b.png", "--filters=sub,"}, "--filters ends with a comma"},
      {{"convert", "a.png", "b.png", "--filters"}, "unknown option \"--filters\""},
      {{"convert", "a.png", "b.pam", "--json"}, "--json goes with info only"},
      {{"convert", "a.png", "b.pam", "--jobs", "2"}, "--jobs goes with --to pam|bmp|png"},
      {{"convert", "a.png", "--to", "png", "--jobs=0"}, "--jobs must be at least 1"},
      {{"convert", "a.png", "--to", "png", "--jobs", "two"}, "--jobs wants a number, not \"two\""},
      {{"convert", "a.png", "o.png", "--threads", "0"}, "--threads must be at least 1"},
      {{"convert", "a.png", "o.png", "--threads=17"}, "--threads must be at most 16"},
      {{"convert", "a.png", "--to", "bmp", "--threads=2"},
       "the PNG writer options go with PNG output only"},
      {{"thumbnail", "a.png", "o.png", "--size", "0"}, "--size must be at least 1"},
      {{"thumbnail", "a.png", "o.png", "--size=16385"}, "--size must be at most 16384"},
      {{"convert", "a.png", "o.png", "--size", "16"}, "--size goes with thumbnail only"},
  };
  for (const auto& [Args, Message] : Cases) {
    const TRun Result = RunTool(Args);
    EXPECT_EQ(Result.Status, ExitUsage) << Message;
    EXPECT_EQ(Result.Err.rfind("vqzconv: " + Message, 0), 0u) << Result.Err;
    EXPECT_EQ(Result.Out, "");
  }
  for (const auto& Args : {std::vector<std::string>{"--help"}, {"convert", "a", "-h"}, {"help"}})
    EXPECT_EQ(RunTool(Args).Out.rfind("Usage: vqzconv COMMAND", 0), 0u);
}

// Through a temporary file renamed into place.
TEST_F(Vqzconv, OutputIsWrittenWholeOrNotAtAll) {
  const TBytes Picture = ReadFileBytes(PngSuiteDir() + "basn2c08.png");
  EXPECT_EQ(RunTool({"extract", Write("a.vqz", VqzOf(Picture, 200)), PathOf("out.png")}).Status,
            ExitOk);
  EXPECT_EQ(ReadFileBytes(PathOf("out.png")), Picture);
  EXPECT_EQ(RunTool({"extract", PathOf("none.vqz"), PathOf("x")}).Err,
            PathOf("none.vqz") + ": no such file\n");
  const std::string Out = PathOf("no/such/dir/out.png");
  const TRun Failed = RunTool({"convert", PngSuiteDir() + "basn0g08.png", Out});
  EXPECT_EQ(Failed.Status, ExitFailed);
  EXPECT_PRED2(Contains, Failed.Err, "Cannot create file \"" + Out + "\"");
  EXPECT_FALSE(Contains(Failed.Err, ".part") || Exists("out.png.part"));
}

// A container without a usable picture gives status 2 and the reader's sentence; a picture that
// fails to load, or a file that cannot be opened, status 1 and its exception's text: each after
// the file's name, and nothing written.
TEST_F(Vqzconv, FailuresGiveTheirStatusAndTheirText) {
  TBytes Damaged = ReadFileBytes(PngSuiteDir() + "basn0g08.png"), OffsetPastEnd(20, 0);
  Damaged[40] ^= 1;
  OffsetPastEnd[16] = 21;
  const std::string Expected = MessageOf<Exception>([&] {
    TPNGObject Image;
    LoadBytes(Image, Damaged);
  });
  const std::tuple<std::string, int, std::string> Cases[] = {
      {Write("short.vqz", TBytes(16, 0)), ExitContainer,
       "the file is shorter than 17 bytes, too short for a VQZ container"},
      {Write("past.vqz", OffsetPastEnd), ExitContainer, "the picture offset does not fit the file"},
      {Write("none.vqz", VqzOf(Text("GIF89a plus some bytes to look at"), 17)), ExitContainer,
       "there is no BMP or PNG picture at the picture offset"},
      {PathOf("missing.vqz"), ExitContainer, "no such file"},
      {Write("bad.png", Damaged), ExitFailed, Expected},
      {Write("bad.vqz", VqzOf(Damaged, 40)), ExitFailed, Expected},
      {Write("bad.bmp", Text("BM?")), ExitFailed,
       "Bitmap image is not valid: the file ends inside its file header"},
      {PathOf("missing.png"), ExitFailed, "Cannot open file \"" + PathOf("missing.png") + "\""},
  };
  for (const auto& [Path, Status, Message] : Cases)
    for (const auto& Args : {std::vector<std::string>{"info", Path},
                             {"convert", Path, PathOf("out.png")},
                             {"thumbnail", Path, PathOf("out.png")}}) {
      const TRun Result = RunTool(Args);
      EXPECT_EQ(Result.Status, Status) << Args[0] << " " << Path;
      EXPECT_EQ(Result.Err.rfind(Path + ": " + Message, 0), 0u) << Result.Err;
      EXPECT_FALSE(Exists("out.png"));
    }
}

// The whole JSON report of a picture with every field, in a container; the parts of the lines
// that differ from it; then each field that is absent: null in JSON, "none" in lines. A palette
// key is its entry's colour.
TEST_F(Vqzconv, InfoDescribesPngAsJsonAndAsLines) {
  EXPECT_EQ(
      RunTool({"info", "--json", Write("a.VQZ", VqzOf(DescribedPng(), 33))}).Out,
      R"({"container":{"offset":33,"kind":"png"},"width":2,"height":2,"bit_depth":4,)"
      R"("color_type":0,"interlace":0,"chunks":[{"type":"IHDR","size":13},{"type":"gAMA","size":4},)"
      R"({"type":"tRNS","size":2},{"type":"tIME","size":7},{"type":"tEXt","size":)" +
          Sizes[0] + R"(},{"type":"zTXt","size":)" + Sizes[1] + R"(},{"type":"IDAT","size":)" +
          Sizes[2] +
          R"(},{"type":"IEND","size":0}],"transparency":"colorkey","key_color":[255,255,255],)"
          R"("gamma":100000,"time":"2026-12-07 11:05:09","texts":[{"keyword":"Title",)"
          "\"text\":\"Caf\xC3\xA9 \\\"x\\\"\\nline 2\",\"compressed\":false},"
          R"({"keyword":"Comment","text":"hi","compressed":true}]})"
          "\n");
  const std::string Png = Write("described.png", DescribedPng());
  TPngBuilder Palette;
  Palette.Header(1, 1, 8, COLOR_PALETTE)
      .Chunk("gAMA", {1, 2, 3})
      .Chunk("PLTE", {10, 20, 30, 40, 50, 60});
  Palette.Chunk("tRNS", {255, 0}).Data({0, 1}).End();
  const std::pair<std::vector<std::string>, std::string> Parts[] = {
      {{"info", Png},
       "file: " + Png +
           "\nwidth: 2\nheight: 2\nbit depth: 4\ncolor type: 0 (greyscale)\n"
           "interlace: 0 (none)\nchunks:\n  IHDR 13 bytes\n  gAMA 4 bytes\n"},
      {{"info", Png},
       "\n  IEND 0 bytes\ntransparency: colorkey\nkey color: 255, 255, 255\ngamma: 100000\n"
       "time: 2026-12-07 11:05:09\ntexts:\n  Title (tEXt): Caf\xC3\xA9 \"x\"\n    line 2\n"
       "  Comment (zTXt): hi\n"},
      {{"info", Write("p.png", Palette.Bytes()), "--json"},
       R"("transparency":"colorkey","key_color":[40,50,60],"gamma":null,"time":null,"texts":[]})"},
      {{"info", PngSuiteDir() + "basn2c08.png", "--json"},
       R"("transparency":"opaque","key_color":null)"},
      {{"info", PngSuiteDir() + "basn6a08.png"},
       "\ntransparency: alpha\ngamma: 100000\ntime: none\ntexts: none\n"},
  };
  for (const auto& [Args, Said] : Parts)
    EXPECT_PRED2(Contains, RunTool(Args).Out, Said);
}

TEST_F(Vqzconv, InfoOfABitmapGivesItsStoredDepth) {
  const TBytes Bitmap = ReadFileBytes("tests/data/bmp/v5_565.bmp");
  EXPECT_EQ(RunTool({"info", Write("a.BMP", Bitmap), "--json"}).Out,
            "{\"width\":32,\"height\":2,\"bits_per_pixel\":16}\n");
  EXPECT_EQ(
      RunTool({"info", Write("b.vqz", VqzOf(Bitmap, 40))}).Out,
      "file: " + PathOf("b.vqz") +
          "\ncontainer: bmp picture at offset 40\nwidth: 32\nheight: 2\nbits per pixel: 16\n");
}

// The writer's settings reach the file: interlace, level and filters; the pixels stay, as our
// gamma table shows them.
TEST_F(Vqzconv, WriterOptionsShapeThePngWritten) {
  const std::string In = PngSuiteDir() + "basn2c16.png";
  TPNGObject Source;
  LoadBytes(Source, ReadFileBytes(In));
  const auto Written = [&](const std::vector<std::string>& Options) {
    std::vector<std::string> Args{"convert", In, PathOf("out.png")};
    Args.insert(Args.end(), Options.begin(), Options.end());
    EXPECT_EQ(RunTool(Args).Status, ExitOk);
    return ReadFileBytes(PathOf("out.png"));
  };
  EXPECT_EQ(Written({"--interlace", "--max-idat=1"})[8 + 8 + 12], 1); // the header's interlace byte
  EXPECT_EQ(Written({"--interlace", "--no-interlace"})[8 + 8 + 12], 0);
  const TBytes Stored = Written({"--level=0", "--filters="});
  EXPECT_GT(Stored.size(), 32u * 32 * 6);
  EXPECT_EQ(OraclePixels(Stored, Source.GammaLut),
            OraclePixels(ReadFileBytes(In), Source.GammaLut));
  EXPECT_LT(Written({"--level=9", "--filters=none,sub,up,average,paeth"}).size(),
            Stored.size() / 2);
  EXPECT_EQ(Written({"--threads", "3", "--level=0"}), Written({"--threads=1", "--level=0"}));
}

// A batch goes on after failures and claims names in input order, by a file that fails as well;
// with several jobs it says and writes the same as with one, though its big first file
// finishes last. A later run may write the names again.
TEST_F(Vqzconv, BatchesGoOnAfterFailuresAndReportAsOneJobDoes) {
  const std::vector<std::string> Files = {
      Write("big.png",
            TPngBuilder().Header(600, 600, 8, COLOR_RGB).Data(TBytes(600 * 1801, 0)).End().Bytes()),
      Write("bad.vqz", TBytes(3, 0)),
      Write("bad.png", ReadFileBytes(PngSuiteDir() + "basn0g01.png")),
      Write("a.vqz", VqzOf(ReadFileBytes(PngSuiteDir() + "basn3p04.png"), 40)),
      "tests/data/bmp/core_8.bmp"};
  const std::string Out = PathOf("out");
  const auto Batch = [&](const char* Jobs) {
    std::filesystem::remove_all(Out);
    std::vector<std::string> Args{"convert"};
    Args.insert(Args.end(), Files.begin(), Files.end());
    Args.insert(Args.end(), {"--to=png", "--out-dir", Out, "--jobs", Jobs});
    const TRun Result = RunTool(Args);
    std::map<std::string, TBytes> Written;
    for (const auto& Entry : std::filesystem::directory_iterator(Out))
      Written[Entry.path().string()] = ReadFileBytes(Entry.path().string());
    return std::tuple(Result.Status, Result.Out, Result.Err, Written);
  };
  const auto One = Batch("1");
  EXPECT_EQ(std::get<0>(One), ExitContainer);
  EXPECT_EQ(std::get<1>(One), "[1/5] " + Files[0] + " -> " + Out + "/big.png\n[2/5] " + Files[1] +
                                  " failed\n[3/5] " + Files[2] + " failed\n[4/5] " + Files[3] +
                                  " -> " + Out + "/a.png\n[5/5] " + Files[4] + " -> " + Out +
                                  "/core_8.png\n3 of 5 files converted, 2 failed\n");
  EXPECT_EQ(std::get<2>(One),
            Files[1] + ": the file is shorter than 17 bytes, too short for a VQZ container\n" +
                Files[2] + ": " + Out + "/bad.png was already written in this run\n");
  TPNGObject Palette;
  LoadBytes(Palette, std::get<3>(One).at(Out + "/a.png"));
  EXPECT_EQ(Palette.Header().ColorType, COLOR_PALETTE);
  EXPECT_EQ(Batch("2"), One);
  EXPECT_EQ(Batch("5"), One);
  EXPECT_EQ(RunTool({"convert", Files[3], "--to", "png", "--out-dir=" + Out}).Status, ExitOk);
}

// A bitmap file, read back, shows the colours the picture's PAM shows, and no transparency. It
// holds no key, so its pixels keep the colours the picture stored, also where the viewer's
// bitmap gives the key a colour of its own: a grey key shown like its neighbour under a gamma,
// a palette key entry sharing its colour. The PAM keys only the key's own pixels.
TEST_F(Vqzconv, BitmapOutputReadsBackAsThePicture) {
  const std::pair<TBytes, TBytes> Cases[] = {{ReadFileBytes(PngSuiteDir() + "basn2c08.png"), {}},
                                             {ReadFileBytes(PngSuiteDir() + "basn3p04.png"), {}},
                                             {ReadFileBytes(PngSuiteDir() + "basn0g02.png"), {}},
                                             {ReadFileBytes(PngSuiteDir() + "basn4a08.png"), {}},
                                             {GreyKeyShownLikeItsNeighbour(), {255, 0}},
                                             {DuplicateBlackPalette(), {0, 255, 255}}};
  for (const auto& [Picture, KeyedAlphas] : Cases) {
    const std::string In = Write("in.png", Picture);
    for (const auto& [From, To] : {std::pair{In, "out.bmp"},
                                   {PathOf("out.bmp"), "back.png"},
                                   {PathOf("back.png"), "back.pam"},
                                   {In, "direct.pam"}})
      ASSERT_EQ(RunTool({"convert", From, PathOf(To)}).Status, ExitOk) << To;
    TBytes Opaque = ReadFileBytes(PathOf("direct.pam")), Alphas;
    for (size_t At = std::string(Opaque.begin(), Opaque.end()).find("ENDHDR\n") + 10;
         At < Opaque.size(); At += 4)
      Alphas.push_back(std::exchange(Opaque[At], 255));
    EXPECT_EQ(ReadFileBytes(PathOf("back.pam")), Opaque);
    EXPECT_TRUE(KeyedAlphas.empty() || Alphas == KeyedAlphas);
  }
}

// pngcheck, an independent checker, accepts what we write from every PngSuite file it accepts.
TEST_F(Vqzconv, PngcheckAcceptsEveryFileWritten) {
  ASSERT_EQ(std::system("command -v pngcheck >/dev/null"), 0) << "pngcheck is not installed";
  for (const std::string& Name : SuiteFiles()) {
    const std::string Input = "pngcheck -q '" + PngSuiteDir() + Name + "' >/dev/null";
    if (std::system(Input.c_str()) != 0)
      continue;
    for (const char* Options : {"--level=7", "--interlace"}) {
      ASSERT_EQ(RunTool({"convert", PngSuiteDir() + Name, PathOf("out.png"), Options}).Status,
                ExitOk);
      const std::string Check = "pngcheck -q '" + PathOf("out.png") + "' >/dev/null";
      EXPECT_EQ(std::system(Check.c_str()), 0) << Name << " " << Options;
    }
  }
}

} // namespace
