// Hundreds of damaged files in a row, in one window and in one batch: the window stays usable,
// and vqzconv reports each bad file once with the right exit status.
#include "app/ufrmMain.h"
#include "tests/png/png_builder.h"
#include "tests/png/pngsuite_support.h"
#include "tests/support/testfiles.h"
#include "tools/input.h"
#include "tools/vqzconv.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

namespace {

uint32_t Rgb(COLORREF Color) { return GetRValue(Color) << 16 | GetGValue(Color) << 8 | GetBValue(Color); }

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

TBytes VqzOf(const TBytes& Picture, uint8_t Offset) {
  TBytes Container(Offset, 0);
  Container[16] = Offset;
  Container.insert(Container.end(), Picture.begin(), Picture.end());
  return Container;
}

std::vector<std::string> DamagedFiles(const TScratchDir& Dir) {
  const std::vector<std::pair<TBytes, bool>> Sources = {
      {ReadFileBytes(PngSuiteDir() + "basn2c08.png"), true},
      {ReadFileBytes(PngSuiteDir() + "tbrn2c08.png"), true},
      {ReadFileBytes(PngSuiteDir() + "basn3p04.png"), true},
      {ReadFileBytes(PngSuiteDir() + "oi9n2c16.png"), true},
      {ReadFileBytes("tests/fixtures/bmp/info_8.bmp"), false},
      {ReadFileBytes("tests/fixtures/bmp/info_rle8.bmp"), false}};
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

TEST(Survival, TheWindowOpensHundredsOfDamagedFilesAndStaysUsable) {
  TScratchDir Dir;
  const std::vector<std::string> Files = DamagedFiles(Dir);
  TfrmMain Form;
  Form.CreateFromResource();
  Form.Show();
  std::vector<std::string> Messages;
  Application->SetExceptionSink([&](const std::string& Message) { Messages.push_back(Message); });
  std::string Pick;
  TOpenDialog::SetTestAnswer([&](const TOpenDialog&) { return std::optional(Pick); });
  for (const std::string& File : Files) {
    Pick = File;
    Form.BtnOpen->Click();
    Application->ProcessMessages();
  }
  EXPECT_GT(Messages.size(), 100u);
  Pick = PngSuiteDir() + "basn2c08.png";
  Form.BtnOpen->Click();
  Application->ProcessMessages();
  TPNGObject Good;
  LoadBytes(Good, ReadFileBytes(Pick));
  const TSnapshot Shot = Form.Image1->Snapshot();
  for (int Y = 0; Y < 32; ++Y)
    for (int X = 0; X < 32; ++X)
      ASSERT_EQ(Shot.At(X, Y), Rgb(Good.GetPixelColor(X, Y))) << X << "," << Y;
  TOpenDialog::SetTestAnswer(nullptr);
  Application->SetExceptionSink(nullptr);
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
