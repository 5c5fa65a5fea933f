// The main window as a user meets it: built from its resource, opening files through the dialog
// (answered by the test), and showing what it loaded, pixel by pixel.
#include "app/ufrmMain.h"
#include "platform/graphics/gdi.h"
#include "tests/png/png_builder.h"
#include "tests/png/pngsuite_support.h"
#include "tests/support/testfiles.h"
#include "tools/input.h"
#include "tools/vqzconv.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

namespace {

const COLORREF FormColor = ColorToRGB(clBtnFace);

uint32_t Rgb(COLORREF Color) { return GetRValue(Color) << 16 | GetGValue(Color) << 8 | GetBValue(Color); }

// A 1-bit palette image, Width x 2: red where (x + y) is even, blue elsewhere.
TBytes RedBluePng(uint32_t Width) {
  TBytes Rows;
  for (uint32_t Y = 0; Y < 2; ++Y) {
    Rows.push_back(0);
    for (uint32_t Byte = 0; Byte < (Width + 7) / 8; ++Byte)
      Rows.push_back(Y == 0 ? 0x55 : 0xAA);
  }
  return TPngBuilder()
      .Header(Width, 2, 1, COLOR_PALETTE)
      .Chunk("PLTE", {255, 0, 0, 0, 0, 255})
      .Data(Rows)
      .End()
      .Bytes();
}

class Viewer : public testing::Test {
protected:
  void SetUp() override {
    Form = std::make_unique<TfrmMain>();
    Form->CreateFromResource();
    Form->Show();
    Application->SetExceptionSink([this](const std::string& Message) { Messages.push_back(Message); });
    TOpenDialog::SetTestAnswer([this](const TOpenDialog&) { return Answer; });
  }
  // Nothing the window drew or loaded outlives it.
  void TearDown() override {
    TOpenDialog::SetTestAnswer(nullptr);
    Application->SetExceptionSink(nullptr);
    Form.reset();
    EXPECT_EQ(GdiLiveObjectCount(), 0);
    EXPECT_EQ(GdiScreenDCCount(), 0);
  }

  // Picks Path in the dialog (none: cancel) and presses the button.
  void Open(const std::optional<std::string>& Path) {
    Answer = Path;
    Form->BtnOpen->Click();
    Application->ProcessMessages();
  }
  TSnapshot Shown() { return Form->Image1->Snapshot(); }
  // What a PNG shows at each pixel, read through the codec.
  static uint32_t PngColor(TPNGObject& Png, int X, int Y) { return Rgb(Png.GetPixelColor(X, Y)); }
  // The window shows the PNG file's pixels from its top-left corner over Width x Height.
  void ExpectShowsPng(const std::string& PngPath, int Width, int Height) {
    TPNGObject Png;
    LoadBytes(Png, ReadFileBytes(PngPath));
    const TSnapshot Shot = Shown();
    for (int Y = 0; Y < Height; ++Y)
      for (int X = 0; X < Width; ++X)
        ASSERT_EQ(Shot.At(X, Y), PngColor(Png, X, Y)) << X << "," << Y;
  }

  std::unique_ptr<TfrmMain> Form;
  std::vector<std::string> Messages;
  std::optional<std::string> Answer;
  TScratchDir Dir;
};

TEST_F(Viewer, TheWindowIsBuiltFromItsResource) {
  EXPECT_EQ(Form->Caption(), "VQZ To Image");
  EXPECT_EQ(Form->ClientRect().Width(), 396);
  EXPECT_EQ(Form->ClientRect().Height(), 320);
  EXPECT_EQ(Form->Color(), clBtnFace);
  EXPECT_EQ(Form->PixelsPerInch(), 96);
  EXPECT_EQ(Form->Font().Name, "\xE5\xAE\x8B\xE4\xBD\x93");
  EXPECT_EQ(Form->Font().Height, -12);
  EXPECT_EQ(Form->Font().Charset, "ANSI_CHARSET");
  EXPECT_FALSE(Form->Font().UsedFamily.empty());
  const TRect Image = Form->Image1->BoundsRect();
  EXPECT_EQ(std::tuple(Image.Left, Image.Top, Image.Width(), Image.Height()), std::tuple(8, 40, 377, 273));
  EXPECT_EQ(Form->Image1->Anchors(), akLeft | akTop | akRight | akBottom);
  const TRect Button = Form->BtnOpen->BoundsRect();
  EXPECT_EQ(std::tuple(Button.Left, Button.Top, Button.Width(), Button.Height()), std::tuple(8, 8, 105, 25));
  EXPECT_EQ(Form->BtnOpen->Caption(), "OpenVqzFile");
  EXPECT_EQ(Form->BtnOpen->TabOrder(), 0);
  EXPECT_EQ(Form->OpenDialog->Filter(), "vqz File|*.vqz");
  EXPECT_EQ(Form->OpenDialog->ToolkitFilter(), "vqz File (*.vqz)");
  EXPECT_NE(Form->XPManifest1, nullptr);
  const std::vector<std::string> Order = {"Image1", "BtnOpen", "OpenDialog", "XPManifest1"};
  for (size_t Index = 0; Index < Order.size(); ++Index)
    EXPECT_EQ(Form->Components()[Index]->Name(), Order[Index]);
}

TEST_F(Viewer, ResizingKeepsTheMarginsAndALargePictureIsClipped) {
  const std::string Path = Dir.Write("big.png", ReadFileBytes(PngSuiteDir() + "basn2c08.png"));
  for (const auto& [Width, Height] : {std::pair{600, 500}, std::pair{200, 90}, std::pair{396, 320}}) {
    Form->SetClientSize(Width, Height);
    Application->ProcessMessages();
    const TRect Bounds = Form->Image1->BoundsRect();
    EXPECT_EQ(std::tuple(Bounds.Left, Bounds.Top, Width - Bounds.Right, Height - Bounds.Bottom),
              std::tuple(8, 40, 11, 7));
    const TRect Button = Form->BtnOpen->BoundsRect();
    EXPECT_EQ(std::tuple(Button.Left, Button.Top, Button.Width()), std::tuple(8, 8, 105));
  }
  Form->SetClientSize(30, 60); // an image area of 11 x 13 pixels
  Application->ProcessMessages();
  Open(Path);
  ASSERT_EQ(std::pair(Shown().Width, Shown().Height), std::pair(11, 13));
  ExpectShowsPng(Path, 11, 13);
}

// Each picture shows at natural size from the top-left corner, the form's colour around it.
TEST_F(Viewer, ShowsPlainFilesAndPicturesInContainers) {
  const TBytes Png = ReadFileBytes(PngSuiteDir() + "basn3p04.png");
  const TBytes Bitmap = ReadFileBytes("tests/data/bmp/info_24.bmp");
  const std::vector<std::pair<std::string, bool>> Files = {
      {Dir.Write("plain.png", Png), true},          {Dir.Write("plain.bmp", Bitmap), false},
      {Dir.Write("at17.vqz", VqzOf(Png, 17)), true}, {Dir.Write("at255.vqz", VqzOf(Png, 255)), true},
      {Dir.Write("bmp64.vqz", VqzOf(Bitmap, 64)), false}, {Dir.Write("bmp17.vqz", VqzOf(Bitmap, 17)), false}};
  // The bitmap's pixels, as tests/data/bmp/make_fixtures.sh made them.
  const auto BitmapPixel = [](uint32_t X, uint32_t Y) {
    return (40 * X + Y) << 16 | (255 - 50 * Y - X) << 8 | (X * 91 + Y * 57) % 256;
  };
  for (const auto& [Path, IsPng] : Files) {
    SCOPED_TRACE(Path);
    Open(Path);
    const TSnapshot Shot = Shown();
    EXPECT_TRUE(Messages.empty());
    if (IsPng) {
      ExpectShowsPng(PngSuiteDir() + "basn3p04.png", 32, 32);
      EXPECT_EQ(Shot.At(32, 0), Rgb(FormColor));
      EXPECT_EQ(Shot.At(0, 32), Rgb(FormColor));
    } else {
      for (int Y = 0; Y < 3; ++Y)
        for (int X = 0; X < 5; ++X)
          ASSERT_EQ(Shot.At(X, Y), BitmapPixel(uint32_t(X), uint32_t(Y))) << X << "," << Y;
      EXPECT_EQ(Shot.At(5, 0), Rgb(FormColor));
      EXPECT_EQ(Shot.At(0, 3), Rgb(FormColor));
    }
  }
}

// Nothing shown, nothing said: a cancelled dialog, a file that is no container, a missing file.
TEST_F(Viewer, RejectedFilesChangeNothingAndSayNothing) {
  Open(Dir.Write("a.png", RedBluePng(9)));
  const TSnapshot Before = Shown();
  for (const std::optional<std::string>& Pick :
       {std::optional<std::string>(), std::optional(Dir.Write("short.vqz", TBytes(16, 0))),
        std::optional(Dir.PathOf("missing.vqz")), std::optional(Dir.Write("gif.vqz", VqzOf(TBytes(40, 'G'), 20)))}) {
    Open(Pick);
    EXPECT_EQ(Shown().Pixels, Before.Pixels);
  }
  EXPECT_TRUE(Messages.empty());
}

// The codec's exception text is shown exactly; the previous picture stays; the window goes on.
TEST_F(Viewer, DamagedPngShowsItsMessageAndKeepsThePicture) {
  const TBytes Good = ReadFileBytes(PngSuiteDir() + "basn2c08.png");
  TBytes BadCrc = Good;
  BadCrc[8 + 8 + 13] ^= 1; // the header's CRC
  const TBytes CutAfterHeader(Good.begin(), Good.begin() + 8 + 25);
  Open(Dir.Write("first.png", RedBluePng(9)));
  const TSnapshot Before = Shown();
  const std::pair<TBytes, std::string> Cases[] = {
      {BadCrc, PngMessage(MsgInvalidCRC)},
      {CutAfterHeader, PngMessage(MsgUnexpectedEnd)},
  };
  for (const auto& [Bytes, Message] : Cases) {
    Messages.clear();
    Open(Dir.Write("bad.vqz", VqzOf(Bytes, 30)));
    ASSERT_EQ(Messages, std::vector<std::string>{Message});
    EXPECT_EQ(Shown().Pixels, Before.Pixels);
  }
  Open(Dir.Write("good.png", Good));
  EXPECT_NE(Shown().Pixels, Before.Pixels) << "the window is still usable";
}

TEST_F(Viewer, AColourKeyShowsTheFormAndAlphaIsDropped) {
  Open(PngSuiteDir() + "tbrn2c08.png"); // truecolour with a white key
  TPNGObject Keyed;
  LoadBytes(Keyed, ReadFileBytes(PngSuiteDir() + "tbrn2c08.png"));
  const TSnapshot Shot = Shown();
  int KeyPixels = 0;
  for (int Y = 0; Y < 32; ++Y)
    for (int X = 0; X < 32; ++X) {
      const bool Key = (Keyed.GetPixelColor(X, Y) & 0xFFFFFF) == Keyed.ImageKeyColor();
      KeyPixels += Key ? 1 : 0;
      ASSERT_EQ(Shot.At(X, Y), Key ? Rgb(FormColor) : PngColor(Keyed, X, Y)) << X << "," << Y;
    }
  EXPECT_GT(KeyPixels, 0);
  Open(PngSuiteDir() + "basn2c08.png"); // opaque after keyed: no holes
  ExpectShowsPng(PngSuiteDir() + "basn2c08.png", 32, 32);
  Open(PngSuiteDir() + "basn6a08.png"); // the colours, without their alpha
  ExpectShowsPng(PngSuiteDir() + "basn6a08.png", 32, 32);
}

TEST_F(Viewer, ARedBlueOneBitPngShowsRedAndBlue) {
  Open(Dir.Write("rb.png", RedBluePng(11)));
  const TSnapshot Shot = Shown();
  for (int X = 0; X < 11; ++X) {
    EXPECT_EQ(Shot.At(X, 0), X % 2 == 0 ? 0xFF0000u : 0x0000FFu) << X;
    EXPECT_EQ(Shot.At(X, 1), X % 2 == 0 ? 0x0000FFu : 0xFF0000u) << X;
  }
  EXPECT_EQ(Shot.At(11, 0), Rgb(FormColor));
}

// A file given by name, not picked in the dialog, tells why it shows nothing; through the
// message loop, as the program opens it, a damaged picture is reported as the dialog's is.
TEST_F(Viewer, AFileGivenByNameOpensAsIfPickedAndSaysWhyItShowsNothing) {
  const std::pair<std::string, ExtractResult> Files[] = {
      {Dir.PathOf("missing.vqz"), erNoFile},
      {Dir.Write("short.vqz", TBytes(16, 0)), erTooShort},
      {Dir.Write("past.vqz", VqzOf(TBytes(2, 'B'), 200)), erOffsetDoesNotFit},
      {Dir.Write("gif.vqz", VqzOf(TBytes(40, 'G'), 20)), erNoPicture},
      {Dir.Write("a.png", RedBluePng(9)), erExtracted}};
  for (const auto& [Path, Result] : Files)
    EXPECT_EQ(Form->OpenPicture(Path), Result) << Path;
  const TSnapshot Shot = Shown();
  EXPECT_EQ(Shot.At(0, 0), 0xFF0000u);
  EXPECT_EQ(Shot.At(1, 0), 0x0000FFu);
  Application->QueueAsyncCall(
      [&] { Form->OpenPicture(Dir.Write("none.vqz", VqzOf(TBytes(28, 0x89), 30))); });
  TBytes Cut = RedBluePng(9);
  Cut.resize(8 + 25);
  Application->QueueAsyncCall([&] { Form->OpenPicture(Dir.Write("cut.png", Cut)); });
  Application->ProcessMessages();
  EXPECT_EQ(Messages, std::vector<std::string>{PngMessage(MsgUnexpectedEnd)});
  EXPECT_EQ(Shown().Pixels, Shot.Pixels);
}

// Ctrl+O wherever the focus is does what the button does; other keys do nothing.
TEST_F(Viewer, CtrlOOpensTheDialog) {
  const std::string Path = Dir.Write("a.png", RedBluePng(9));
  const TSnapshot Empty = Shown();
  Answer = Path;
  for (const char* Keys : {"Ctrl+P", "O", "Ctrl+Shift+O"}) {
    Form->PressKeys(Keys);
    Application->ProcessMessages();
    EXPECT_EQ(Shown().Pixels, Empty.Pixels) << Keys;
  }
  Form->PressKeys("Ctrl+O");
  Application->ProcessMessages();
  EXPECT_EQ(Shown().At(0, 0), 0xFF0000u);
}

// A drop opens its first local file as the dialog would; a drag of anything else is refused.
TEST_F(Viewer, ADroppedFileOpensAndOtherDropsAreRefused) {
  const std::string Red = Dir.Write("red.png", RedBluePng(9));
  const std::string Other = Dir.Write("other.png", RedBluePng(12));
  const TSnapshot Empty = Shown();
  for (const std::vector<std::string>& Refused :
       {std::vector<std::string>{"https://example.org/red.png"}, {"ftp://host" + Red}, {}}) {
    EXPECT_FALSE(Form->DropUrls(Refused));
    EXPECT_EQ(Shown().Pixels, Empty.Pixels);
  }
  EXPECT_TRUE(Form->DropUrls({"https://example.org/x.png", "file://" + Red, "file://" + Other}));
  EXPECT_EQ(Shown().At(0, 0), 0xFF0000u);
  EXPECT_TRUE(Form->DropUrls({"file://" + Dir.PathOf("missing.vqz")}));
  EXPECT_EQ(Shown().At(0, 0), 0xFF0000u);
  EXPECT_TRUE(Messages.empty());
  EXPECT_EQ(Shown().At(9, 0), Rgb(FormColor));
  EXPECT_TRUE(Form->DropUrls({"file://" + Other}));
  ExpectShowsPng(Other, 12, 2);
}

// The program carries its own icon: 32 x 32 pixels in 16 colours.
TEST(ProgramResources, TheIconIsA16ColourBitmapOf32By32) {
  const std::string_view Icon = FindResource("MAINICON");
  TMemoryStream Stream;
  Stream.WriteBuffer(Icon.data(), static_cast<int64_t>(Icon.size()));
  Stream.SetPosition(0);
  TBitmap Bitmap;
  Bitmap.LoadFromStream(Stream);
  EXPECT_EQ(std::pair(Bitmap.GetWidth(), Bitmap.GetHeight()), std::pair(32, 32));
  EXPECT_EQ(Bitmap.GetPixelFormat(), pf4bit);
}

// The form's resource is checked when the form is made: nothing unknown passes in silence.
class TTestForm : public TfrmMain {
public:
  std::string ClassName() const override { return "TTestForm"; }
};

TEST(FormCreation, AnythingUnknownInTheResourceIsAnError) {
  static const std::pair<std::string, std::string> Cases[] = {
      {"object f: TTestForm\n  Colour = clBtnFace\nend", "Error reading f.Colour: Property Colour"},
      {"object f: TfrmMain\nend", "describes a TfrmMain, not a TTestForm"},
      {"object f: TTestForm\n  object Image2: TImage\n  end\nend", "Image2: TTestForm has no published field"},
      {"object f: TTestForm\n  object Image1: TPanel\n  end\nend", "Class TPanel not found"},
      {"object f: TTestForm\n  object Image1: TButton\n  end\nend", "the published field is not a TButton"},
      {"object f: TTestForm\n  object BtnOpen: TButton\n    OnClick = Missing\n  end\nend",
       "Error reading BtnOpen.OnClick"},
      {"object f: TTestForm\n  object Image1: TImage\n    Anchors = [akMiddle]\n  end\nend",
       "Error reading Image1.Anchors"},
      {"object f: TTestForm\nend", "has no component BtnOpen"},
  };
  for (const auto& [Text, Message] : Cases) {
    RegisterResource("TTestForm", Text);
    TTestForm Form;
    EXPECT_PRED2(Contains, MessageOf<EReadError>([&] { Form.CreateFromResource(); }), Message);
  }
}

// ---- Hundreds of damaged files in a row, in one window and in one batch: the window stays
// usable, and vqzconv reports each bad file once with the right exit status.

void PutBigEndian(TBytes& File, size_t At, uint32_t Value) {
  for (int Index = 0; Index < 4; ++Index)
    File[At + static_cast<size_t>(Index)] = static_cast<uint8_t>(Value >> (24 - 8 * Index));
}

// The first chunk's CRC made right again after its body changed.
void FixHeaderCrc(TBytes& File) {
  PutBigEndian(File, 29, UpdateCrc32(0xFFFFFFFFu, File.data() + 12, 17) ^ 0xFFFFFFFFu);
}

// One damage of five kinds: a cut, flipped bits, a wrong length, a wrong CRC, a huge header.
TBytes Damaged(TBytes File, std::mt19937& Random, bool Png) {
  const auto Pick = [&](size_t Below) { return std::uniform_int_distribution<size_t>(0, Below - 1)(Random); };
  switch (Pick(Png ? 5 : 2)) {
  case 0:
    File.resize(Pick(File.size()));
    break;
  case 1:
    for (size_t Flip = 0; Flip <= Pick(4); ++Flip)
      File[Pick(File.size())] ^= static_cast<uint8_t>(1 << Pick(8));
    break;
  case 2:
    PutBigEndian(File, 8 + 25 + (Pick(2) == 0 ? 0 : 12), static_cast<uint32_t>(Random()));
    break;
  case 3:
    File[29 + Pick(4)] ^= 0x40;
    break;
  default:
    PutBigEndian(File, 16, 65535); // over the image memory's 2 GiB, or not a valid size at all
    PutBigEndian(File, 20, Pick(2) == 0 ? 65535 : 0x80000000u);
    FixHeaderCrc(File);
  }
  return File;
}

std::vector<std::string> DamagedFiles(const TScratchDir& Dir) {
  const std::vector<std::pair<TBytes, bool>> Sources = {
      {ReadFileBytes(PngSuiteDir() + "basn2c08.png"), true},
      {ReadFileBytes(PngSuiteDir() + "tbrn2c08.png"), true},
      {ReadFileBytes(PngSuiteDir() + "basn3p04.png"), true},
      {ReadFileBytes(PngSuiteDir() + "oi9n2c16.png"), true},
      {ReadFileBytes("tests/data/bmp/info_8.bmp"), false},
      {ReadFileBytes("tests/data/bmp/info_rle8.bmp"), false}};
  std::mt19937 Random(20261207);
  std::vector<std::string> Paths;
  for (int Index = 0; Index < 300; ++Index) {
    const auto& [Source, Png] = Sources[static_cast<size_t>(Index) % Sources.size()];
    const TBytes File = Damaged(Source, Random, Png);
    const std::string Name = "d" + std::to_string(Index);
    Paths.push_back(Index % 3 == 0 ? Dir.Write(Name + ".vqz", VqzOf(File, static_cast<uint8_t>(17 + Index % 200)))
                                   : Dir.Write(Name + (Png ? ".png" : ".bmp"), File));
  }
  return Paths;
}

// The exit status vqzconv gives the file alone, read in this process.
int StatusOf(const std::string& Path) {
  try {
    TInputPicture Input = LoadInputPicture(Path);
    PngImageOf(Input);
    return ExitOk;
  } catch (const EToolError& Error) {
    return Error.Status();
  } catch (const Exception&) {
    return ExitFailed;
  }
}

TEST_F(Viewer, OpensHundredsOfDamagedFilesAndStaysUsable) {
  for (const std::string& File : DamagedFiles(Dir))
    Open(File);
  EXPECT_GT(Messages.size(), 100u);
  Open(PngSuiteDir() + "basn2c08.png");
  ExpectShowsPng(PngSuiteDir() + "basn2c08.png", 32, 32);
}

TEST(Survival, BatchConversionReportsEachBadFileOnce) {
  TScratchDir Dir;
  const std::vector<std::string> Files = DamagedFiles(Dir);
  std::vector<std::string> Args{"convert"};
  Args.insert(Args.end(), Files.begin(), Files.end());
  Args.insert(Args.end(), {"--to", "png", "--out-dir", Dir.PathOf("out")});
  std::ostringstream Out, Err;
  const int Status = RunVqzconv(Args, Out, Err);
  const std::string Errors = Err.str();
  int Highest = ExitOk;
  size_t Bad = 0;
  for (const std::string& File : Files) {
    const int Alone = StatusOf(File);
    Highest = std::max(Highest, Alone);
    Bad += Alone != ExitOk ? 1 : 0;
    const bool Reported = Errors.find(File + ": ") != std::string::npos;
    EXPECT_EQ(Reported, Alone != ExitOk) << File;
  }
  EXPECT_EQ(Status, Highest);
  EXPECT_GT(Bad, 100u);
  // Some of the codec's own texts run over two lines; each report starts with its file's name.
  std::istringstream Lines(Errors);
  size_t Reports = 0;
  for (std::string Line; std::getline(Lines, Line);)
    Reports += Line.rfind(Dir.PathOf("d"), 0) == 0 ? 1 : 0;
  EXPECT_EQ(Reports, Bad);
  EXPECT_NE(Out.str().find(std::to_string(Files.size() - Bad) + " of 300 files converted, " +
                           std::to_string(Bad) + " failed"),
            std::string::npos);
}

} // namespace
