// The benchmark cases, each run once per image as "<operation>/<codec>/<image>", and what they
// share: the per-image set-up cache and the counters.
#pragma once

#include "bench/images.h"

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

using TImageCase = void (*)(benchmark::State& State, const TImageKind& Kind);

struct TNamedCase {
  std::string Prefix; // "<operation>/<codec>"
  TImageCase Run;
  // Timed by the clock on the wall rather than the calling thread's CPU: work on several threads.
  bool WallTime = false;
  // Run once, whatever the repetitions asked for: a measurement, not a timing.
  bool Once = false;
};

std::vector<TNamedCase> DecodeCases();
// Ours and zlib alone: all the large image is decoded by.
std::vector<TNamedCase> ScaleDecodeCases();
std::vector<TNamedCase> EncodeCases();

// Image by image, every case in turn: the cases compared with each other run side by side, so a
// change in the machine's load between them skews their ratio least.
void RegisterPerImage(const std::vector<TNamedCase>& Cases,
                      const std::vector<TImageKind>& Kinds = BenchImageKinds());

// Set-up made once per image: the cases' functions run several times while the library settles
// on an iteration count, and the set-up must not be paid each time.
template <class T>
class TPerImage {
public:
  using TMake = T (*)(const TImageKind& Kind);
  explicit TPerImage(TMake Make) : FMake(Make) {}
  const T& For(const TImageKind& Kind) {
    auto Found = FMade.find(Kind.Name);
    if (Found == FMade.end())
      Found = FMade.emplace(Kind.Name, FMake(Kind)).first;
    return Found->second;
  }

private:
  TMake FMake;
  std::map<std::string, T> FMade;
};

// Skips the case with Error when it is not empty; true when the case can go on.
bool Usable(benchmark::State& State, const std::string& Error);
// A byte count shown in binary units.
void SetByteCounter(benchmark::State& State, const std::string& Name, int64_t Bytes);
// Throughput in bytes of the image's PNG samples.
void SetImageThroughput(benchmark::State& State, const TBenchImage& Image);
