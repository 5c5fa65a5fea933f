// Drawing: an alpha image blended onto a canvas of its size, against a plain copy of the canvas's
// bytes, the least any blend can cost.
#include "bench/draw_bench.h"

#include "bench/our_codec.h"
#include "platform/graphics/gdi.h"

#include <cstring>
#include <vector>

namespace {

const TImageKind& AlphaKind() {
  for (const TImageKind& Kind : BenchImageKinds())
    if (Kind.Name == "rgba8")
      return Kind;
  return BenchImageKinds().front();
}

void DrawOurs(benchmark::State& State) {
  const TBenchImage& Image = BenchImage(AlphaKind());
  TMemoryStream Stream;
  FillStream(Stream, Image.File);
  TPNGObject Png;
  std::string Error;
  if (!Usable(State, Image.Error) || !OurDecode(Stream, Png, Error)) {
    State.SkipWithError(Error.c_str());
    return;
  }
  TBitmap Canvas;
  Canvas.SetPixelFormat(pf32bit);
  Canvas.SetWidth(Png.GetWidth());
  Canvas.SetHeight(Png.GetHeight());
  for (auto _ : State)
    Png.Draw(Canvas.Canvas(), {0, 0, Png.GetWidth(), Png.GetHeight()});
  State.SetBytesProcessed(State.iterations() * int64_t{Png.GetWidth()} * Png.GetHeight() * 4);
}

void DrawMemcpy(benchmark::State& State) {
  const TBenchImage& Image = BenchImage(AlphaKind());
  const size_t Bytes = size_t{Image.Rows.Width} * Image.Rows.Height * 4;
  std::vector<uint8_t> From(Bytes, 1), To(Bytes);
  for (auto _ : State) {
    std::memcpy(To.data(), From.data(), Bytes);
    benchmark::DoNotOptimize(To.data());
  }
  State.SetBytesProcessed(State.iterations() * static_cast<int64_t>(Bytes));
}

} // namespace

void RegisterDrawCases() {
  benchmark::RegisterBenchmark("draw/ours/rgba8", DrawOurs)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("draw/memcpy/rgba8", DrawMemcpy)->Unit(benchmark::kMillisecond);
}
