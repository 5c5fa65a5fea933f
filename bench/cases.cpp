#include "bench/cases.h"

void RegisterPerImage(const std::vector<TNamedCase>& Cases, const std::vector<TImageKind>& Kinds) {
  for (const TImageKind& Kind : Kinds)
    for (const TNamedCase& Case : Cases) {
      auto* Registered =
          benchmark::RegisterBenchmark((Case.Prefix + "/" + Kind.Name).c_str(), Case.Run, Kind)
              ->Unit(benchmark::kMillisecond);
      if (Case.WallTime)
        Registered->UseRealTime();
      if (Case.Once)
        Registered->Iterations(1)->Repetitions(1);
    }
}

bool Usable(benchmark::State& State, const std::string& Error) {
  if (Error.empty())
    return true;
  State.SkipWithError(Error.c_str());
  return false;
}

void SetByteCounter(benchmark::State& State, const std::string& Name, int64_t Bytes) {
  State.counters[Name] = benchmark::Counter(
      static_cast<double>(Bytes), benchmark::Counter::kDefaults, benchmark::Counter::kIs1024);
}

void SetImageThroughput(benchmark::State& State, const TBenchImage& Image) {
  State.SetBytesProcessed(State.iterations() * static_cast<int64_t>(Image.Rows.Pixels.size()));
}
