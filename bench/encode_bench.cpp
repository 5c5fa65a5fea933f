// Encoding: our writer with its defaults (level 7, Sub filter on every row), on one thread and on
// every core, against libpng at the same settings, libpng with its own strategy for filtered
// data, and zlib alone deflating the rows our writer filtered. All of them compress the same
// pixels: the rows our writer wrote. Beside them, the size our segmented stream costs at each
// level against zlib's single stream of the same rows.
#include "bench/cases.h"
#include "bench/our_codec.h"
#include "bench/zlib_baselines.h"
#include "png/pngsegdeflate.h"

#include <zlib.h>

#include <algorithm>
#include <memory>
#include <string>

namespace {

constexpr int OurLevel = 7;

struct TEncodeInput {
  std::string Error;
  std::unique_ptr<TPNGObject> Ours; // loaded from the image's file
  TPngRows LibpngRows;              // what our writer wrote, blue first as our memory holds it
  TBytes FilteredRows;              // our writer's filtered rows, as it compressed them
};

// 16-bit samples come back as high byte times 257: our image memory keeps 8 bits.
TPngRows AsOurMemoryKeepsIt(TPngRows Rows) {
  if (Rows.BitDepth == 16)
    for (size_t i = 0; i + 1 < Rows.Pixels.size(); i += 2)
      Rows.Pixels[i + 1] = Rows.Pixels[i];
  return Rows;
}

bool SamePalette(const std::vector<png_color>& A, const std::vector<png_color>& B) {
  return A.size() == B.size() &&
         std::equal(A.begin(), A.end(), B.begin(), [](const png_color& x, const png_color& y) {
           return x.red == y.red && x.green == y.green && x.blue == y.blue;
         });
}

bool ReadsBackAsSource(const TBytes& Written, const TPngRows& Source, std::string& Error) {
  TPngRows Back;
  if (!LibpngReadRows(Written, AsStored, Back, Error))
    return false;
  const TPngRows Expected = AsOurMemoryKeepsIt(Source);
  if (Back.Pixels == Expected.Pixels && SamePalette(Back.Palette, Expected.Palette))
    return true;
  Error = "our writer's file reads back to other pixels";
  return false;
}

TEncodeInput MakeEncodeInput(const TImageKind& Kind) {
  const TBenchImage& Image = BenchImage(Kind);
  TEncodeInput Input{Image.Error, std::make_unique<TPNGObject>(), {}, {}};
  if (!Input.Error.empty())
    return Input;
  TMemoryStream Stream;
  FillStream(Stream, Image.File);
  TMemoryStream Output;
  if (!OurDecode(Stream, *Input.Ours, Input.Error) || !OurEncode(*Input.Ours, Output, Input.Error))
    return Input;
  const TBytes Written(Output.Memory(), Output.Memory() + Output.GetSize());
  if (ReadsBackAsSource(Written, Image.Rows, Input.Error) &&
      LibpngReadRows(Written, {.Bgr = true}, Input.LibpngRows, Input.Error))
    InflatedImageData(Written, Input.FilteredRows, Input.Error);
  return Input;
}

TPerImage<TEncodeInput> EncodeInputs(MakeEncodeInput);

void EncodeOurs(benchmark::State& State, const TImageKind& Kind, unsigned Threads) {
  const TEncodeInput& Input = EncodeInputs.For(Kind);
  if (!Usable(State, Input.Error))
    return;
  Input.Ours->SetEncodeThreads(Threads);
  std::string Error;
  int64_t Bytes = 0;
  for (auto _ : State) {
    TMemoryStream Output;
    if (!OurEncode(*Input.Ours, Output, Error)) {
      State.SkipWithError(Error.c_str());
      break;
    }
    Bytes = Output.GetSize();
  }
  SetByteCounter(State, "bytes", Bytes);
  SetImageThroughput(State, BenchImage(Kind));
}

void EncodeLibpng(benchmark::State& State, const TImageKind& Kind, int Strategy) {
  const TEncodeInput& Input = EncodeInputs.For(Kind);
  if (!Usable(State, Input.Error))
    return;
  TPngRows Rows = Input.LibpngRows;
  const TWriteSettings Settings{OurLevel, PNG_FILTER_SUB, Strategy, true};
  std::string Error;
  int64_t Bytes = 0;
  for (auto _ : State) {
    TBytes File;
    if (!LibpngWrite(Rows, Settings, File, Error)) {
      State.SkipWithError(Error.c_str());
      break;
    }
    Bytes = static_cast<int64_t>(File.size());
  }
  SetByteCounter(State, "bytes", Bytes);
  SetImageThroughput(State, BenchImage(Kind));
}

void EncodeDeflateOnly(benchmark::State& State, const TImageKind& Kind) {
  const TEncodeInput& Input = EncodeInputs.For(Kind);
  if (!Usable(State, Input.Error))
    return;
  std::string Error;
  int64_t Bytes = 0;
  for (auto _ : State) {
    if (!DeflateRows(Input.FilteredRows, OurLevel, Bytes, Error)) {
      State.SkipWithError(Error.c_str());
      break;
    }
  }
  SetByteCounter(State, "bytes", Bytes);
  SetImageThroughput(State, BenchImage(Kind));
}

// Our stream of the filtered rows, as the writer makes it on every core: its length.
int64_t SegmentedStreamBytes(const TBytes& Rows, int Level) {
  int64_t Bytes = 0;
  TSegmentedDeflater Deflater(
      Level, Rows.size(), DeflateSegmentBytes, DefaultEncodeThreads(),
      [&Bytes](const uint8_t*, size_t Count) { Bytes += static_cast<int64_t>(Count); });
  Deflater.Write(Rows.data(), Rows.size());
  Deflater.Finish();
  return Bytes;
}

// Counters "l1" .. "l9": our stream's size over zlib's single stream's at each level.
void SizesByLevel(benchmark::State& State, const TImageKind& Kind) {
  const TEncodeInput& Input = EncodeInputs.For(Kind);
  if (!Usable(State, Input.Error))
    return;
  for (auto _ : State)
    for (int Level = 1; Level <= 9; ++Level) {
      int64_t Single = 0;
      std::string Error;
      if (!DeflateRows(Input.FilteredRows, Level, Single, Error)) {
        State.SkipWithError(Error.c_str());
        return;
      }
      try {
        const auto Ours = static_cast<double>(SegmentedStreamBytes(Input.FilteredRows, Level));
        State.counters["l" + std::to_string(Level)] = Ours / static_cast<double>(Single);
      } catch (const Exception& Failure) {
        State.SkipWithError(Failure.Message().c_str());
        return;
      }
    }
}

} // namespace

std::vector<TNamedCase> EncodeCases() {
  return {{"encode/ours",
           [](benchmark::State& State, const TImageKind& Kind) { EncodeOurs(State, Kind, 1); }},
          {"encode/ours_parallel",
           [](benchmark::State& State, const TImageKind& Kind) {
             EncodeOurs(State, Kind, DefaultEncodeThreads());
           },
           true},
          {"encode/libpng",
           [](benchmark::State& State, const TImageKind& Kind) {
             EncodeLibpng(State, Kind, Z_DEFAULT_STRATEGY);
           }},
          {"encode/libpng_filtered",
           [](benchmark::State& State, const TImageKind& Kind) {
             EncodeLibpng(State, Kind, Z_FILTERED);
           }},
          {"encode/deflate_only", EncodeDeflateOnly},
          {"encode/sizes_by_level", SizesByLevel, false, true}};
}
