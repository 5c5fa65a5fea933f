// The benchmark program: our codec, libpng and zlib alone on the same images in one run, with
// our ratios to the peers printed at the end.
#include "bench/cases.h"
#include "bench/draw_bench.h"
#include "bench/summary.h"
#include "png/pngimage.h"

#include <benchmark/benchmark.h>

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  InitializePngImageUnit();
  RegisterPerImage(DecodeCases());
  RegisterPerImage(ScaleDecodeCases(), ScaleImageKinds());
  RegisterPerImage(EncodeCases());
  RegisterDrawCases();
  TRatioReporter Reporter{
      std::unique_ptr<benchmark::BenchmarkReporter>(benchmark::CreateDefaultDisplayReporter())};
  benchmark::RunSpecifiedBenchmarks(&Reporter);
  benchmark::Shutdown();
  FinalizePngImageUnit();
  return 0;
}
