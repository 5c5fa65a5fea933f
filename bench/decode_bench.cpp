// Decoding: our loader against libpng set up to do the same work (blue-first rows, 16-bit samples
// cut to their high bytes, indices left as stored), against libpng's usual expand-everything
// set-up, and against zlib alone inflating the same data.
#include "bench/cases.h"
#include "bench/memory.h"
#include "bench/our_codec.h"
#include "bench/spng_io.h"
#include "bench/zlib_baselines.h"
#ifdef VQZ_HAVE_ISAL
#include "bench/isal_baseline.h"
#endif

namespace {

// Our decode is timed only once it is known to give libpng's pixels.
std::string CheckOurDecode(const TImageKind& Kind) {
  const TBenchImage& Image = BenchImage(Kind);
  if (!Image.Error.empty())
    return Image.Error;
  std::string Error;
  TMemoryStream Stream;
  FillStream(Stream, Image.File);
  TPNGObject Ours;
  TPngRows Theirs;
  if (!OurDecode(Stream, Ours, Error) ||
      !LibpngReadRows(Image.File, LikeOurImageMemory, Theirs, Error))
    return Error;
  return SameAsLibpng(Ours, Theirs) ? "" : "our decoder's pixels differ from libpng's";
}

TPerImage<std::string> OurDecodeCheck(CheckOurDecode);

// Builds that do not count the heap report no peak.
void SetPeakHeapCounter(benchmark::State& State, const THeapPeakProbe& Probe) {
  if (const std::optional<int64_t> Peak = Probe.PeakGrowth())
    SetByteCounter(State, "peak_heap_bytes", *Peak);
}

void ReportOurMemory(benchmark::State& State, TMemoryStream& Stream) {
  std::string Error;
  THeapPeakProbe Probe;
  TPNGObject Image;
  if (!OurDecode(Stream, Image, Error))
    return;
  SetPeakHeapCounter(State, Probe);
  SetByteCounter(State, "image_bytes", ImageMemoryBytes(Image));
}

void DecodeOurs(benchmark::State& State, const TImageKind& Kind) {
  const TBenchImage& Image = BenchImage(Kind);
  if (!Usable(State, OurDecodeCheck.For(Kind)))
    return;
  TMemoryStream Stream;
  FillStream(Stream, Image.File);
  std::string Error;
  for (auto _ : State) {
    TPNGObject Decoded;
    if (!OurDecode(Stream, Decoded, Error)) {
      State.SkipWithError(Error.c_str());
      break;
    }
    benchmark::DoNotOptimize(Decoded.Header().PixelBase);
  }
  ReportOurMemory(State, Stream);
  SetImageThroughput(State, Image);
}

// The row buffer counts here, as our image memory does in ours.
void ReportLibpngMemory(benchmark::State& State, const TBytes& File, TReadTransforms Transforms) {
  std::string Error;
  THeapPeakProbe Probe;
  TPngRows Rows;
  if (!LibpngReadRows(File, Transforms, Rows, Error))
    return;
  SetPeakHeapCounter(State, Probe);
  SetByteCounter(State, "image_bytes", static_cast<int64_t>(Rows.Pixels.size()));
}

void DecodeLibpng(benchmark::State& State, const TImageKind& Kind, TReadTransforms Transforms) {
  const TBenchImage& Image = BenchImage(Kind);
  std::string Error = Image.Error;
  TPngRows Buffer;
  if (Error.empty())
    LibpngLayout(Image.File, Transforms, Buffer, Error);
  if (!Usable(State, Error))
    return;
  Buffer.Pixels.assign(Buffer.RowBytes * Buffer.Height, 0);
  std::vector<png_bytep> Rows = RowPointersOf(Buffer);
  for (auto _ : State) {
    if (!LibpngRead(Image.File, Transforms, Rows.data(), Buffer.RowBytes, Error)) {
      State.SkipWithError(Error.c_str());
      break;
    }
    benchmark::ClobberMemory();
  }
  ReportLibpngMemory(State, Image.File, Transforms);
  SetImageThroughput(State, Image);
}

void DecodeLibspng(benchmark::State& State, const TImageKind& Kind) {
  const TBenchImage& Image = BenchImage(Kind);
  std::string Error = Image.Error;
  TBytes Pixels;
  const int Format = SpngFormatLikeOurs(Kind);
  if (Error.empty())
    SpngDecode(Image.File, Format, Pixels, Error);
  if (!Usable(State, Error))
    return;
  for (auto _ : State) {
    if (!SpngDecode(Image.File, Format, Pixels, Error)) {
      State.SkipWithError(Error.c_str());
      break;
    }
    benchmark::ClobberMemory();
  }
  SetImageThroughput(State, Image);
}

using TInflateIdat = bool (*)(const TBytes& File, const std::vector<TIdatChunk>& Chunks,
                              size_t Slice, int64_t& Inflated, std::string& Error);

void InflateOnly(benchmark::State& State, const TImageKind& Kind, TInflateIdat Inflate) {
  const TBenchImage& Image = BenchImage(Kind);
  std::string Error = Image.Error;
  std::vector<TIdatChunk> Chunks;
  if (Error.empty())
    FindIdatChunks(Image.File, Chunks, Error);
  if (!Usable(State, Error))
    return;
  // The slices our reader asks for: one filtered full-width row at a time.
  const size_t Slice = Image.Rows.RowBytes + 1;
  int64_t Inflated = 0;
  for (auto _ : State) {
    if (!Inflate(Image.File, Chunks, Slice, Inflated, Error)) {
      State.SkipWithError(Error.c_str());
      break;
    }
  }
  if (Inflated != static_cast<int64_t>(FilteredImageSize(Image.Rows)))
    State.SkipWithError("the image data inflates to another size than its rows need");
  SetImageThroughput(State, Image);
}

void DecodeInflateOnly(benchmark::State& State, const TImageKind& Kind) {
  InflateOnly(State, Kind, InflateIdatChunks);
}

#ifdef VQZ_HAVE_ISAL
void DecodeInflateOnlyIsal(benchmark::State& State, const TImageKind& Kind) {
  InflateOnly(State, Kind, InflateIdatChunksIsal);
}
#endif

// The limits under our decoder: zlib alone, and ISA-L alone where the build has it.
std::vector<TNamedCase> InflateOnlyCases() {
  std::vector<TNamedCase> Cases{{"decode/inflate_only", DecodeInflateOnly}};
#ifdef VQZ_HAVE_ISAL
  Cases.push_back({"decode/inflate_only_isal", DecodeInflateOnlyIsal});
#endif
  return Cases;
}

std::vector<TNamedCase> PeerDecodeCases() {
  return {{"decode/ours", DecodeOurs},
          {"decode/libpng",
           [](benchmark::State& State, const TImageKind& Kind) {
             DecodeLibpng(State, Kind, LikeOurImageMemory);
           }},
          {"decode/libpng_expand",
           [](benchmark::State& State, const TImageKind& Kind) {
             DecodeLibpng(State, Kind, CommonExpansion);
           }},
          {"decode/libspng", DecodeLibspng}};
}

} // namespace

std::vector<TNamedCase> DecodeCases() {
  std::vector<TNamedCase> Cases = PeerDecodeCases();
  for (TNamedCase& Limit : InflateOnlyCases())
    Cases.push_back(std::move(Limit));
  return Cases;
}

std::vector<TNamedCase> ScaleDecodeCases() {
  std::vector<TNamedCase> Cases{{"decode/ours", DecodeOurs}};
  for (TNamedCase& Limit : InflateOnlyCases())
    Cases.push_back(std::move(Limit));
  return Cases;
}
