// vqzconv as its users run it: commands, exit statuses, messages, and the files it writes.
#include "tests/png/png_builder.h"
#include "tests/png/pngsuite_support.h"
#include "tests/support/testfiles.h"
#include "tools/vqzconv.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>
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

TBytes Text(const std::string& Chars) { return TBytes(Chars.begin(), Chars.end()); }

TBytes Joined(TBytes First, const TBytes& Second) {
  First.insert(First.end(), Second.begin(), Second.end());
  return First;
}

const std::string TitleText = "Caf\xE9 \"x\"\nline 2";
const TBytes Rows = {0, 0x0F, 0, 0x3C};

// A 2x2 4-bit grey image with every chunk info reports.
TBytes DescribedPng() {
  return TPngBuilder()
      .Header(2, 2, 4, COLOR_GRAYSCALE)
      .Chunk("gAMA", {0x00, 0x01, 0x86, 0xA0})
      .Chunk("tRNS", {0x00, 0x0F})
      .Chunk("tIME", {0x07, 0xEA, 12, 7, 11, 5, 9})
      .Chunk("tEXt", Joined(Text(std::string("Title") + '\0'), Text(TitleText)))
      .Chunk("zTXt", Joined(Text(std::string("Comment") + '\0' + '\0'), Compress(Text("hi"))))
      .Data(Rows)
      .End()
      .Bytes();
}

std::string DescribedJson() {
  const auto Size = [](size_t Bytes) { return std::to_string(Bytes); };
  return R"({"width":2,"height":2,"bit_depth":4,"color_type":0,"interlace":0,"chunks":[)"
         R"({"type":"IHDR","size":13},{"type":"gAMA","size":4},{"type":"tRNS","size":2},)"
         R"({"type":"tIME","size":7},{"type":"tEXt","size":)" +
         Size(6 + TitleText.size()) + R"(},{"type":"zTXt","size":)" +
         Size(9 + Compress(Text("hi")).size()) + R"(},{"type":"IDAT","size":)" +
         Size(Compress(Rows).size()) +
         R"(},{"type":"IEND","size":0}],"transparency":"colorkey","key_color":[255,255,255],)"
         R"("gamma":100000,"time":"2026-12-07 11:05:09","texts":[{"keyword":"Title",)"
         "\"text\":\"Caf\xC3\xA9 \\\"x\\\"\\nline 2\",\"compressed\":false},"
         R"({"keyword":"Comment","text":"hi","compressed":true}]})"
         "\n";
}

class Vqzconv : public testing::Test {
protected:
  std::string Write(const std::string& Name, const TBytes& Bytes) { return Dir.Write(Name, Bytes); }
  std::string PathOf(const std::string& Name) { return Dir.PathOf(Name); }
  bool Exists(const std::string& Name) { return std::filesystem::exists(PathOf(Name)); }
  TScratchDir Dir;
};

TEST_F(Vqzconv, UsageErrorsSayWhatIsWrong) {
  const std::pair<std::vector<std::string>, std::string> Cases[] = {
      {{}, "no command given"},
      {{"show", "a.png"}, "unknown command \"show\""},
      {{"extract", "a.vqz"}, "usage: vqzconv extract IN OUT"},
      {{"extract", "a.vqz", "b", "--json"}, "extract takes no options"},
      {{"info"}, "usage: vqzconv info IN"},
      {{"info", "a.png", "--to", "pam"}, "info takes only --json"},
      {{"convert", "a.png"}, "usage: vqzconv convert IN OUT"},
      {{"convert", "a.png", "b.gif"}, "cannot tell the output kind of \"b.gif\""},
      {{"convert", "a.png", "b"}, "cannot tell the output kind of \"b\""},
      {{"convert", "a.png", "b.pam", "--level=3"},
       "the PNG writer options go with PNG output only"},
      {{"convert", "a.png", "--to", "jpg"}, "--to wants pam, bmp or png, not \"jpg\""},
      {{"convert", "a.png", "--to"}, "--to wants a value"},
      {{"convert", "--to=png"}, "usage: vqzconv convert IN... --to"},
      {{"convert", "a.png", "--out-dir", "d"}, "--out-dir goes with --to"},
      {{"convert", "a.png", "b.png", "--level=10"}, "--level must be at most 9"},
      {{"convert", "a.png", "b.png", "--level="}, "--level wants a number, not \"\""},
      {{"convert", "a.png", "b.png", "--level=-1"}, "--level wants a number"},
      {{"convert", "a.png", "b.png", "--level=7x"}, "--level wants a number, not \"7x\""},
      {{"convert", "a.png", "b.png", "--max-idat=2147483648"},
       "--max-idat must be at most 2147483647"},
      {{"convert", "a.png", "b.png", "--filters=sub,jpeg"}, "unknown filter \"jpeg\""},
      {{"convert", "a.png", "b.png", "--filters=sub,"}, "--filters ends with a comma"},
      {{"convert", "a.png", "b.png", "--filters"}, "unknown option \"--filters\""},
      {{"convert", "a.png", "b.png", "-v"}, "unknown option \"-v\""},
      {{"convert", "a.png", "b.pam", "--json"}, "--json goes with info only"},
      {{"convert", "a.png", "b.pam", "--jobs", "2"}, "--jobs goes with --to pam|bmp|png"},
      {{"convert", "a.png", "--to", "png", "--jobs=0"}, "--jobs must be at least 1"},
      {{"convert", "a.png", "--to", "png", "--jobs", "two"}, "--jobs wants a number, not \"two\""},
      {{"info", "a.png", "--jobs", "2"}, "info takes only --json"},
  };
  for (const auto& [Args, Message] : Cases) {
    const TRun Result = RunTool(Args);
    EXPECT_EQ(Result.Status, ExitUsage) << Message;
    EXPECT_EQ(Result.Err.rfind("vqzconv: " + Message, 0), 0u) << Result.Err;
    EXPECT_EQ(Result.Out, "");
  }
}

TEST_F(Vqzconv, HelpDocumentsEveryCommandAndOption) {
  for (const auto& Args : {std::vector<std::string>{"--help"}, {"convert", "-h"}, {"help"}}) {
    const TRun Result = RunTool(Args);
    EXPECT_EQ(Result.Status, ExitOk);
    for (const char* Word :
         {"extract IN OUT", "info IN [--json]", "convert IN OUT", "--to", "--out-dir",
          "thumbnail IN OUT [--size N]", "--filters=", "--level=", "--interlace", "--no-interlace",
          "--max-idat=", "raised to\n                      65535",
          "a colour key\n                                      or alpha is dropped"})
      EXPECT_NE(Result.Out.find(Word), std::string::npos) << Word;
  }
}

TEST_F(Vqzconv, ExtractWritesThePictureUnchanged) {
  const TBytes Picture = ReadFileBytes(PngSuiteDir() + "basn2c08.png");
  const TRun Result = RunTool({"extract", Write("a.vqz", VqzOf(Picture, 200)), PathOf("out.png")});
  EXPECT_EQ(Result.Status, ExitOk) << Result.Err;
  EXPECT_EQ(ReadFileBytes(PathOf("out.png")), Picture);
  EXPECT_FALSE(Exists("out.png.part"));
}

TEST_F(Vqzconv, RejectedContainersHaveStatus2AndASentenceEach) {
  TBytes OffsetPastEnd(20, 0);
  OffsetPastEnd[16] = 21;
  const std::pair<std::string, std::string> Files[] = {
      {Write("short.vqz", TBytes(16, 0)), "the file is shorter than 17 bytes, too short for a VQZ container"},
      {Write("past.vqz", OffsetPastEnd), "the picture offset does not fit the file"},
      {Write("none.vqz", VqzOf(Text("GIF89a plus some bytes to look at"), 17)), "there is no BMP or PNG picture at the picture offset"},
      {PathOf("missing.vqz"), "no such file"},
  };
  for (const auto& [Path, Sentence] : Files)
    for (const auto& Args : {std::vector<std::string>{"extract", Path, PathOf("out")},
                             {"info", Path}, {"convert", Path, PathOf("out.pam")}}) {
      const TRun Result = RunTool(Args);
      EXPECT_EQ(Result.Status, ExitContainer) << Args[0] << " " << Path;
      EXPECT_EQ(Result.Err, Path + ": " + Sentence + "\n");
      EXPECT_FALSE(Exists("out") || Exists("out.pam"));
    }
}

TEST_F(Vqzconv, InfoDescribesPngAsJsonAndAsLines) {
  const std::string Png = Write("described.png", DescribedPng());
  const TRun Json = RunTool({"info", Png, "--json"});
  EXPECT_EQ(Json.Status, ExitOk) << Json.Err;
  EXPECT_EQ(Json.Out, DescribedJson());
  const TRun Contained = RunTool({"info", "--json", Write("a.VQZ", VqzOf(DescribedPng(), 33))});
  EXPECT_EQ(Contained.Out, R"({"container":{"offset":33,"kind":"png"},)" + DescribedJson().substr(1));
  const TRun Lines = RunTool({"info", Png});
  EXPECT_EQ(Lines.Out, "file: " + Png +
                           "\nwidth: 2\nheight: 2\nbit depth: 4\ncolor type: 0 (greyscale)\n"
                           "interlace: 0 (none)\nchunks:\n  IHDR 13 bytes\n  gAMA 4 bytes\n"
                           "  tRNS 2 bytes\n  tIME 7 bytes\n  tEXt " + std::to_string(6 + TitleText.size()) +
                           " bytes\n  zTXt " +
                           std::to_string(9 + Compress(Text("hi")).size()) + " bytes\n  IDAT " +
                           std::to_string(Compress(Rows).size()) +
                           " bytes\n  IEND 0 bytes\ntransparency: colorkey\n"
                           "key color: 255, 255, 255\ngamma: 100000\ntime: 2026-12-07 11:05:09\n"
                           "texts:\n  Title (tEXt): Caf\xC3\xA9 \"x\"\n    line 2\n"
                           "  Comment (zTXt): hi\n");
}

// Without a valid gAMA, tIME or key the fields are null; a palette key is its entry's colour.
TEST_F(Vqzconv, InfoReportsWhatIsMissingAsNull) {
  const TBytes Palette = TPngBuilder()
                             .Header(1, 1, 8, COLOR_PALETTE)
                             .Chunk("gAMA", {1, 2, 3})
                             .Chunk("PLTE", {10, 20, 30, 40, 50, 60})
                             .Chunk("tRNS", {255, 0})
                             .Data({0, 1})
                             .End()
                             .Bytes();
  const TRun Result = RunTool({"info", Write("p.png", Palette), "--json"});
  EXPECT_NE(Result.Out.find(R"("transparency":"colorkey","key_color":[40,50,60],"gamma":null,)"
                            R"("time":null,"texts":[]})"),
            std::string::npos)
      << Result.Out;
  const TRun Opaque = RunTool({"info", PngSuiteDir() + "basn2c08.png", "--json"});
  EXPECT_NE(Opaque.Out.find(R"("transparency":"opaque","key_color":null)"), std::string::npos);
  const TRun Alpha = RunTool({"info", PngSuiteDir() + "basn6a08.png"});
  EXPECT_NE(Alpha.Out.find("\ntransparency: alpha\ngamma: 100000\ntime: none\ntexts: none\n"),
            std::string::npos)
      << Alpha.Out;
}

TEST_F(Vqzconv, InfoOfABitmapGivesItsStoredDepth) {
  const TBytes Bitmap = ReadFileBytes("tests/data/bmp/v5_565.bmp");
  EXPECT_EQ(RunTool({"info", Write("a.BMP", Bitmap), "--json"}).Out,
            "{\"width\":32,\"height\":2,\"bits_per_pixel\":16}\n");
  EXPECT_EQ(RunTool({"info", Write("b.vqz", VqzOf(Bitmap, 40))}).Out,
            "file: " + PathOf("b.vqz") +
                "\ncontainer: bmp picture at offset 40\nwidth: 32\nheight: 2\nbits per pixel: 16\n");
}

// A picture's own failure is reported in its exception's words, after the file's name.
TEST_F(Vqzconv, LoadFailuresGiveStatus1AndTheExceptionText) {
  TBytes Damaged = ReadFileBytes(PngSuiteDir() + "basn0g08.png");
  Damaged[40] ^= 1;
  const std::string Expected = MessageOf<Exception>([&] {
    TPNGObject Image;
    LoadBytes(Image, Damaged);
  });
  const std::pair<std::string, std::string> Cases[] = {
      {Write("bad.png", Damaged), Expected},
      {Write("bad.vqz", VqzOf(Damaged, 40)), Expected},
      {Write("bad.bmp", Text("BM?")), "Bitmap image is not valid: the file ends inside its file header"},
      {PathOf("missing.png"), "Cannot open file \"" + PathOf("missing.png") + "\""},
  };
  for (const auto& [Path, Message] : Cases) {
    const TRun Result = RunTool({"convert", Path, PathOf("out.png")});
    EXPECT_EQ(Result.Status, ExitFailed) << Path;
    EXPECT_EQ(Result.Err.rfind(Path + ": " + Message, 0), 0u) << Result.Err;
    EXPECT_FALSE(Exists("out.png"));
  }
}

TEST_F(Vqzconv, AFailedWriteLeavesNothingBehind) {
  const std::string Out = PathOf("no/such/dir/out.png");
  const TRun Result = RunTool({"convert", PngSuiteDir() + "basn0g08.png", Out});
  EXPECT_EQ(Result.Status, ExitFailed);
  EXPECT_NE(Result.Err.find("Cannot create file \"" + Out + "\""), std::string::npos) << Result.Err;
  EXPECT_EQ(Result.Err.find(".part"), std::string::npos);
}

// The writer's settings reach the file: IDAT sizes, filter bytes, level and interlace.
TEST_F(Vqzconv, WriterOptionsShapeThePngWritten) {
  const std::string In = PngSuiteDir() + "basn2c16.png";
  TPNGObject Source;
  LoadBytes(Source, ReadFileBytes(In));
  const auto Written = [&](const std::vector<std::string>& Options) {
    std::vector<std::string> Args{"convert", In, PathOf("out.png")};
    Args.insert(Args.end(), Options.begin(), Options.end());
    EXPECT_EQ(RunTool(Args).Status, ExitOk);
    const TBytes File = ReadFileBytes(PathOf("out.png"));
    EXPECT_EQ(OraclePixels(File, Source.GammaLut), OraclePixels(ReadFileBytes(In), Source.GammaLut));
    return File;
  };
  const auto Header = [](const TBytes& File) { return File[8 + 8 + 12]; }; // interlace byte
  EXPECT_EQ(Header(Written({"--interlace"})), 1);
  EXPECT_EQ(Header(Written({"--interlace", "--no-interlace"})), 0);
  const TBytes Stored = Written({"--level=0", "--filters="});
  const TBytes Packed = Written({"--level=9", "--filters=none,sub,up,average,paeth"});
  EXPECT_GT(Stored.size(), 32u * 32 * 6);
  EXPECT_LT(Packed.size(), Stored.size() / 2);
  TPNGObject Reloaded;
  LoadBytes(Reloaded, Written({"--max-idat=1"}));
  EXPECT_EQ(Reloaded.Header().Width, 32u);
}

TEST_F(Vqzconv, BatchConvertsEachFileAndGoesOnAfterFailures) {
  const std::string A = Write("a.vqz", VqzOf(ReadFileBytes(PngSuiteDir() + "basn3p04.png"), 40));
  const std::string Bad = Write("bad.vqz", TBytes(3, 0));
  const std::string Twin = Write("a.png", ReadFileBytes(PngSuiteDir() + "basn0g01.png"));
  const std::string Bitmap = Write("c.bmp", ReadFileBytes("tests/data/bmp/core_8.bmp"));
  const std::string Out = PathOf("made/here");
  const TRun Result = RunTool({"convert", A, Bad, Twin, Bitmap, "--out-dir", Out, "--to=png"});
  EXPECT_EQ(Result.Status, ExitContainer);
  EXPECT_EQ(Result.Out, "[1/4] " + A + " -> " + Out + "/a.png\n[2/4] " + Bad + " failed\n[3/4] " +
                            Twin + " failed\n[4/4] " + Bitmap + " -> " + Out +
                            "/c.png\n2 of 4 files converted, 2 failed\n");
  EXPECT_EQ(Result.Err, Bad + ": the file is shorter than 17 bytes, too short for a VQZ container\n" +
                            Twin + ": " + Out + "/a.png was already written in this run\n");
  TPNGObject First, Last;
  LoadBytes(First, ReadFileBytes(Out + "/a.png"));
  EXPECT_EQ(First.Header().ColorType, COLOR_PALETTE);
  LoadBytes(Last, ReadFileBytes(Out + "/c.png"));
  EXPECT_EQ(Last.Header().Width, 19u);
  EXPECT_EQ(RunTool({"convert", Twin, "--to", "pam", "--out-dir=" + Out}).Status, ExitOk);
}

// Several jobs at once write the same files and say the same things in the same order as one
// job, though a big first file finishes last; a name is claimed in input order, by a file that
// fails as well.
TEST_F(Vqzconv, JobsRunAtOnceAndReportAsOneJobDoes) {
  const auto Picture = [](uint32_t Width, uint32_t Height, uint8_t ColorType, uint32_t Channels) {
    TBytes Raw;
    for (uint32_t Y = 0; Y < Height; ++Y) {
      Raw.push_back(1);
      for (uint32_t X = 0; X < Width * Channels; ++X)
        Raw.push_back(static_cast<uint8_t>(X * Y % 251));
    }
    return TPngBuilder().Header(Width, Height, 8, ColorType).Data(Raw).End().Bytes();
  };
  std::vector<std::string> Files = {Write("big.png", Picture(600, 600, COLOR_RGB, 3)),
                                    Write("x.vqz", TBytes(5, 0)),
                                    Write("x.png", Picture(9, 5, COLOR_GRAYSCALE, 1)),
                                    Write("alpha.vqz", VqzOf(Picture(7, 3, COLOR_RGBALPHA, 4), 50)),
                                    Write("grey.png", Picture(30, 20, COLOR_GRAYSCALEALPHA, 2)),
                                    "tests/fixtures/bmp/info_8.bmp",
                                    "tests/fixtures/bmp/core_24.bmp"};
  const auto Batch = [&](const std::string& Jobs) {
    std::vector<std::string> Args{"convert"};
    Args.insert(Args.end(), Files.begin(), Files.end());
    Args.insert(Args.end(), {"--to", "png", "--out-dir", PathOf("out" + Jobs), "--jobs", Jobs});
    TRun Result = RunTool(Args);
    for (std::string* Text : {&Result.Out, &Result.Err})
      for (size_t At = Text->find("out" + Jobs); At != std::string::npos;
           At = Text->find("out" + Jobs))
        Text->replace(At, 3 + Jobs.size(), "out");
    return Result;
  };
  const TRun One = Batch("1");
  EXPECT_EQ(One.Status, ExitContainer);
  EXPECT_NE(One.Err.find("x.png was already written in this run"), std::string::npos) << One.Err;
  for (const std::string Jobs : {"2", "7"}) {
    const TRun Many = Batch(Jobs);
    EXPECT_EQ(std::tuple(Many.Status, Many.Out, Many.Err),
              std::tuple(One.Status, One.Out, One.Err));
    for (const auto& Entry : std::filesystem::directory_iterator(PathOf("out1")))
      EXPECT_EQ(ReadFileBytes(PathOf("out" + Jobs) + "/" + Entry.path().filename().string()),
                ReadFileBytes(Entry.path().string()));
  }
}

// A picture converted to a bitmap file shows the colours its PAM shows, for opaque images.
TEST_F(Vqzconv, BitmapOutputReadsBackAsThePicture) {
  for (const char* Name : {"basn2c08.png", "basn3p04.png", "basn0g02.png", "basn4a08.png"}) {
    const std::string In = PngSuiteDir() + Name;
    ASSERT_EQ(RunTool({"convert", In, PathOf("out.bmp")}).Status, ExitOk);
    ASSERT_EQ(RunTool({"convert", PathOf("out.bmp"), PathOf("back.png")}).Status, ExitOk);
    ASSERT_EQ(RunTool({"convert", In, PathOf("direct.pam")}).Status, ExitOk);
    ASSERT_EQ(RunTool({"convert", PathOf("back.png"), PathOf("back.pam")}).Status, ExitOk);
    const bool Opaque = std::string(Name) != "basn4a08.png";
    if (Opaque)
      EXPECT_EQ(ReadFileBytes(PathOf("back.pam")), ReadFileBytes(PathOf("direct.pam"))) << Name;
    else
      EXPECT_EQ(ReadFileBytes(PathOf("back.pam")).size(), ReadFileBytes(PathOf("direct.pam")).size());
  }
}

// The colours of a PAM file's pixels, alpha left out.
TBytes PamColours(const TBytes& Pam) {
  const std::string Text(Pam.begin(), Pam.end());
  TBytes Colours;
  for (size_t At = Text.find("ENDHDR\n") + 7; At + 4 <= Pam.size(); At += 4)
    Colours.insert(Colours.end(), Pam.begin() + static_cast<ptrdiff_t>(At),
                   Pam.begin() + static_cast<ptrdiff_t>(At) + 3);
  return Colours;
}

// A bitmap file holds no key, so its pixels keep the colours the picture stored, also where the
// viewer's bitmap gives the key a colour of its own: a grey key shown like its neighbour under a
// gamma, a palette key entry sharing its colour. The PAM keys only the key's own pixels.
TEST_F(Vqzconv, BitmapOutputOfKeyedPicturesHoldsTheStoredColours) {
  const std::pair<TBytes, TBytes> Cases[] = {{GreyKeyShownLikeItsNeighbour(), {255, 0}},
                                             {DuplicateBlackPalette(), {0, 255, 255}}};
  for (const auto& [Picture, Alpha] : Cases) {
    const std::string In = Write("in.png", Picture);
    ASSERT_EQ(RunTool({"convert", In, PathOf("out.bmp")}).Status, ExitOk);
    ASSERT_EQ(RunTool({"convert", PathOf("out.bmp"), PathOf("back.pam")}).Status, ExitOk);
    ASSERT_EQ(RunTool({"convert", In, PathOf("direct.pam")}).Status, ExitOk);
    const TBytes Direct = ReadFileBytes(PathOf("direct.pam"));
    EXPECT_EQ(PamColours(ReadFileBytes(PathOf("back.pam"))), PamColours(Direct));
    TBytes DirectAlpha;
    for (size_t At = Direct.size() - 4 * Alpha.size() + 3; At < Direct.size(); At += 4)
      DirectAlpha.push_back(Direct[At]);
    EXPECT_EQ(DirectAlpha, (TBytes{Alpha.begin(), Alpha.end()}));
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
      ASSERT_EQ(RunTool({"convert", PngSuiteDir() + Name, PathOf("out.png"), Options}).Status, ExitOk);
      const std::string Check = "pngcheck -q '" + PathOf("out.png") + "' >/dev/null";
      EXPECT_EQ(std::system(Check.c_str()), 0) << Name << " " << Options;
    }
  }
}

} // namespace
