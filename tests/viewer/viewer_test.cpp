// The main window as a user meets it: built from its resource, opening files through the dialog
// (answered by the test), a short cut, a drop or by name, and showing what it loaded, pixel by
// pixel.
#include "app/ufrmMain.h"
#include "platform/graphics/gdi.h"
#include "tests/png/png_builder.h"
#include "tests/png/pngsuite_support.h"
#include "tests/support/testfiles.h"
#include "tools/vqzconv.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

namespace {

uint32_t Rgb(COLORREF Color) {
  return GetRValue(Color) << 16 | GetGValue(Color) << 8 | GetBValue(Color);
}

const uint32_t FormColor = Rgb(ColorToRGB(clBtnFace));

class Viewer : public testing::Test {
protected:
  void SetUp() override {
    Form = std::make_unique<TfrmMain>();
    Form->CreateFromResource();
    Form->Show();
    Application->SetExceptionSink(
        [this](const std::string& Message) { Messages.push_back(Message); });
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
  // The window shows the PNG file's pixels, as the codec reads them, over Width x Height.
  void ExpectShowsPng(const std::string& PngPath, int Width, int Height) {
    TPNGObject Png;
    LoadBytes(Png, ReadFileBytes(PngPath));
    const TSnapshot Shot = Shown();
    for (int Y = 0; Y < Height; ++Y)
      for (int X = 0; X < Width; ++X)
        ASSERT_EQ(Shot.At(X, Y), Rgb(Png.GetPixelColor(X, Y))) << X << "," << Y;
  }

  std::unique_ptr<TfrmMain> Form;
  std::vector<std::string> Messages;
  std::optional<std::string> Answer;
  TScratchDir Dir;
};

// The window and its controls, in their order.
TEST_F(Viewer, TheWindowIsBuiltFromItsResource) {
  EXPECT_EQ(std::tuple(Form->Caption(), Form->ClientRect().Width(), Form->ClientRect().Height()),
            std::tuple("VQZ To Image", 396, 320));
  EXPECT_EQ(
      std::tuple(Form->Color(), Form->PixelsPerInch(), Form->Font().Name, Form->Font().Height),
      std::tuple(clBtnFace, 96, "\xE5\xAE\x8B\xE4\xBD\x93", -12));
  const TRect Image = Form->Image1->BoundsRect(), Button = Form->BtnOpen->BoundsRect();
  EXPECT_EQ(std::tuple(Image.Left, Image.Top, Image.Width(), Image.Height()),
            std::tuple(8, 40, 377, 273));
  EXPECT_EQ(std::tuple(Button.Left, Button.Top, Button.Width(), Button.Height()),
            std::tuple(8, 8, 105, 25));
  EXPECT_EQ(std::pair(Form->BtnOpen->Caption(), Form->BtnOpen->TabOrder()),
            std::pair(std::string("OpenVqzFile"), 0));
  EXPECT_EQ(Form->OpenDialog->ToolkitFilter(), "vqz File (*.vqz)");
  std::vector<std::string> Names;
  for (const auto& Component : Form->Components())
    Names.push_back(Component->Name());
  EXPECT_EQ(Names, (std::vector<std::string>{"Image1", "BtnOpen", "OpenDialog", "XPManifest1"}));
}

// The image keeps its margins, anchored on all sides; a large picture is clipped to it.
TEST_F(Viewer, ResizingKeepsTheMarginsAndALargePictureIsClipped) {
  for (const auto& [Width, Height] : {std::pair{600, 500}, std::pair{30, 60}}) {
    Form->SetClientSize(Width, Height);
    Application->ProcessMessages();
    const TRect Bounds = Form->Image1->BoundsRect(), Button = Form->BtnOpen->BoundsRect();
    EXPECT_EQ(std::tuple(Bounds.Left, Bounds.Top, Width - Bounds.Right, Height - Bounds.Bottom),
              std::tuple(8, 40, 11, 7));
    EXPECT_EQ(std::tuple(Button.Left, Button.Top, Button.Width()), std::tuple(8, 8, 105));
  }
  Open(PngSuiteDir() + "basn2c08.png");
  ASSERT_EQ(std::pair(Shown().Width, Shown().Height), std::pair(11, 13));
  ExpectShowsPng(PngSuiteDir() + "basn2c08.png", 11, 13);
}

// Pictures show at natural size from the top-left corner, the form's colour around them: key
// pixels show the form too, an opaque picture after a keyed one has no holes, alpha is dropped.
TEST_F(Viewer, ShowsPicturesOfFilesAndContainers) {
  Open(PngSuiteDir() + "tbrn2c08.png"); // truecolour with a white key
  TPNGObject Keyed;
  LoadBytes(Keyed, ReadFileBytes(PngSuiteDir() + "tbrn2c08.png"));
  const TSnapshot Shot = Shown();
  int KeyPixels = 0;
  for (int Y = 0; Y < 32; ++Y)
    for (int X = 0; X < 32; ++X) {
      const bool Key = (Keyed.GetPixelColor(X, Y) & 0xFFFFFF) == Keyed.ImageKeyColor();
      KeyPixels += Key ? 1 : 0;
      ASSERT_EQ(Shot.At(X, Y), Key ? FormColor : Rgb(Keyed.GetPixelColor(X, Y))) << X << "," << Y;
    }
  EXPECT_GT(KeyPixels, 0);
  Open(Dir.Write("bmp17.vqz", VqzOf(ReadFileBytes("tests/data/bmp/info_24.bmp"), 17)));
  const TSnapshot Bitmap = Shown();
  // The bitmap's pixels, as tests/data/bmp/make_fixtures.sh made them.
  for (uint32_t Y = 0; Y < 3; ++Y)
    for (uint32_t X = 0; X < 5; ++X)
      ASSERT_EQ(Bitmap.At(static_cast<int>(X), static_cast<int>(Y)),
                (40 * X + Y) << 16 | (255 - 50 * Y - X) << 8 | (X * 91 + Y * 57) % 256);
  EXPECT_EQ(std::pair(Bitmap.At(5, 0), Bitmap.At(0, 3)), std::pair(FormColor, FormColor));
  const std::string Opaque = PngSuiteDir() + "basn2c08.png", Alpha = PngSuiteDir() + "basn6a08.png";
  for (const auto& [Path, Png] :
       {std::pair{Dir.Write("at255.vqz", VqzOf(ReadFileBytes(Opaque), 255)), Opaque},
        std::pair{Alpha, Alpha}}) {
    Open(Path);
    ExpectShowsPng(Png, 32, 32);
    EXPECT_EQ(std::pair(Shown().At(32, 0), Shown().At(0, 32)), std::pair(FormColor, FormColor));
  }
  EXPECT_TRUE(Messages.empty());
}

// The codec's exception text is shown exactly; the previous picture stays; the window goes on.
TEST_F(Viewer, DamagedPngShowsItsMessageAndKeepsThePicture) {
  const TBytes Good = ReadFileBytes(PngSuiteDir() + "basn2c08.png");
  TBytes BadCrc = Good;
  BadCrc[8 + 8 + 13] ^= 1; // the header's CRC
  Open(PngSuiteDir() + "basn3p01.png");
  const TSnapshot Before = Shown();
  Open(Dir.Write("bad.vqz", VqzOf(BadCrc, 30)));
  ASSERT_EQ(Messages, std::vector<std::string>{PngMessage(MsgInvalidCRC)});
  EXPECT_EQ(Shown().Pixels, Before.Pixels);
  Open(Dir.Write("good.png", Good));
  EXPECT_NE(Shown().Pixels, Before.Pixels) << "the window is still usable";
}

// The dialog, Ctrl+O wherever the focus is, a drop of local files (the first counts) and a name
// given to the window all open a file alike; a rejected file changes nothing and says nothing,
// and by name it tells why. Through the message loop, as the program opens a name, a damaged
// picture is reported as the dialog's is.
TEST_F(Viewer, EveryWayOfOpeningAFileOpensItAlike) {
  const std::string First = Dir.Write("first.png", ReadFileBytes(PngSuiteDir() + "basn3p01.png")),
                    Second = Dir.Write("second.png", ReadFileBytes(PngSuiteDir() + "basn0g01.png"));
  const TSnapshot Empty = Shown();
  Open(std::nullopt);
  const std::pair<std::string, ExtractResult> Rejected[] = {
      {Dir.PathOf("missing.vqz"), erNoFile},
      {Dir.Write("short.vqz", TBytes(16, 0)), erTooShort},
      {Dir.Write("past.vqz", VqzOf(TBytes(2, 'B'), 200)), erOffsetDoesNotFit},
      {Dir.Write("gif.vqz", VqzOf(TBytes(40, 'G'), 20)), erNoPicture}};
  for (const auto& [Path, Result] : Rejected) {
    Open(Path);
    EXPECT_EQ(Form->OpenPicture(Path), Result) << Path;
  }
  Answer = First;
  for (const char* Keys : {"Ctrl+P", "O", "Ctrl+Shift+O"}) {
    Form->PressKeys(Keys);
    Application->ProcessMessages();
  }
  for (const std::vector<std::string>& Urls :
       {std::vector<std::string>{"https://example.org/a.png"}, {"ftp://host" + First}, {}})
    EXPECT_FALSE(Form->DropUrls(Urls));
  EXPECT_EQ(Shown().Pixels, Empty.Pixels);
  Form->PressKeys("Ctrl+O");
  Application->ProcessMessages();
  ExpectShowsPng(First, 32, 32);
  EXPECT_TRUE(Form->DropUrls({"https://example.org/a.png", "file://" + Second, "file://" + First}));
  EXPECT_TRUE(Form->DropUrls({"file://" + Dir.PathOf("missing.vqz")}));
  ExpectShowsPng(Second, 32, 32);
  EXPECT_EQ(Form->OpenPicture("tests/data/bmp/info_24.bmp"), erExtracted);
  EXPECT_EQ(Shown().At(5, 0), FormColor) << "a smaller picture leaves nothing of the one before";
  const TSnapshot Shot = Shown();
  TBytes Cut = ReadFileBytes(First);
  Cut.resize(8 + 25);
  Application->QueueAsyncCall([&] { Form->OpenPicture(Dir.Write("cut.png", Cut)); });
  Application->ProcessMessages();
  EXPECT_EQ(Messages, std::vector<std::string>{PngMessage(MsgUnexpectedEnd)});
  EXPECT_EQ(Shown().Pixels, Shot.Pixels);
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
      {"object f: TTestForm\n  object Image2: TImage\n  end\nend",
       "Image2: TTestForm has no published field"},
      {"object f: TTestForm\n  object Image1: TPanel\n  end\nend", "Class TPanel not found"},
      {"object f: TTestForm\n  object Image1: TButton\n  end\nend",
       "the published field is not a TButton"},
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

// Damaged files by the dozen, in one window and in one batch: the window stays usable, and
// vqzconv reports each bad file once, with the status the file alone gives. Every other file is
// cut short, the rest have bits flipped; every third is a container, whose offset a cut may
// leave outside.
std::vector<std::string> DamagedFiles(const TScratchDir& Dir) {
  const TBytes Sources[] = {
      ReadFileBytes(PngSuiteDir() + "basn2c08.png"), ReadFileBytes(PngSuiteDir() + "tbrn2c08.png"),
      ReadFileBytes(PngSuiteDir() + "oi9n2c16.png"), ReadFileBytes("tests/data/bmp/info_rle8.bmp")};
  std::mt19937 Random(20261207);
  const auto Pick = [&](size_t Below) {
    return std::uniform_int_distribution<size_t>(0, Below - 1)(Random);
  };
  std::vector<std::string> Paths;
  for (size_t Index = 0; Index < 60; ++Index) {
    TBytes File = Sources[Index % 4];
    if (Index % 2 == 0)
      File.resize(Pick(File.size()));
    for (size_t Flip = 0; Index % 2 == 1 && Flip <= Pick(4); ++Flip)
      File[Pick(File.size())] ^= static_cast<uint8_t>(1 << Pick(8));
    const bool Contained = Index % 3 == 0;
    Paths.push_back(Dir.Write("d" + std::to_string(Index) +
                                  (Contained        ? ".vqz"
                                   : Index % 4 == 3 ? ".bmp"
                                                    : ".png"),
                              Contained ? VqzOf(File, static_cast<uint8_t>(17 + Index)) : File));
  }
  return Paths;
}

TEST_F(Viewer, OpensDozensOfDamagedFilesAndStaysUsable) {
  for (const std::string& File : DamagedFiles(Dir))
    Open(File);
  EXPECT_GT(Messages.size(), 30u);
  Open(PngSuiteDir() + "basn2c08.png");
  ExpectShowsPng(PngSuiteDir() + "basn2c08.png", 32, 32);
}

TEST(Survival, BatchConversionReportsEachBadFileOnce) {
  TScratchDir Dir;
  const std::vector<std::string> Files = DamagedFiles(Dir);
  std::vector<std::string> Args{"convert"};
  Args.insert(Args.end(), Files.begin(), Files.end());
  Args.insert(Args.end(), {"--to", "png", "--out-dir", Dir.PathOf("out")});
  std::ostringstream Out, Err, Ignored;
  const int Status = RunVqzconv(Args, Out, Err);
  int Highest = ExitOk;
  size_t Bad = 0;
  for (const std::string& File : Files) {
    const int Alone = RunVqzconv({"convert", File, Dir.PathOf("alone.png")}, Ignored, Ignored);
    Highest = std::max(Highest, Alone);
    Bad += Alone != ExitOk ? 1 : 0;
    EXPECT_EQ(Contains(Err.str(), File + ": "), Alone != ExitOk) << File;
  }
  EXPECT_EQ(Status, Highest);
  EXPECT_GT(Bad, 30u);
  // Some of the codec's own texts run over two lines; each report starts with its file's name.
  std::istringstream Lines(Err.str());
  size_t Reports = 0;
  for (std::string Line; std::getline(Lines, Line);)
    Reports += Line.rfind(Dir.PathOf("d"), 0) == 0 ? 1 : 0;
  EXPECT_EQ(Reports, Bad);
  EXPECT_PRED2(Contains, Out.str(),
               std::to_string(Files.size() - Bad) + " of 60 files converted, " +
                   std::to_string(Bad) + " failed");
}

} // namespace
