// Our times as ratios of the peers', per image: the numbers that mean something on a shared
// machine, where absolute times are noise.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

// Passes every report on to the display reporter it wraps and keeps, per case, the CPU and wall
// time per iteration of each repetition, the output size and the counters, to print the ratios of
// the medians when the run is over.
class TRatioReporter : public benchmark::BenchmarkReporter {
public:
  explicit TRatioReporter(std::unique_ptr<benchmark::BenchmarkReporter> Display);

  bool ReportContext(const Context& Machine) override;
  void ReportRuns(const std::vector<Run>& Runs) override;
  // Closes the display's output, then prints the ratios: beside a console table on standard
  // output, and on standard error when the output is JSON or CSV for a program to read.
  void Finalize() override;

private:
  // Seconds per iteration of each repetition, and their median as the library reported it, if
  // it did.
  struct TTimes {
    std::vector<double> PerRepetition;
    double Median = 0;
  };
  struct TCaseTotals {
    TTimes Cpu, Wall;
    double Bytes = 0;
    std::map<std::string, double> Counters;
  };

  double SecondsPerIteration(const std::string& Case, bool Wall = false) const;
  double OutputBytes(const std::string& Case) const;
  void PrintRatios(std::ostream& Out) const;
  void PrintImageRow(std::ostream& Out, const std::string& Image) const;
  void PrintScaleRatio(std::ostream& Out) const;
  void PrintSizesByLevel(std::ostream& Out) const;

  std::unique_ptr<benchmark::BenchmarkReporter> FDisplay;
  std::map<std::string, TCaseTotals> FTotals;
};
