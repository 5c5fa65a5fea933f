#include "bench/summary.h"

#include "bench/images.h"

#include <algorithm>
#include <iomanip>
#include <iostream>
#include <sstream>

namespace {

enum class TMeasure { Cpu, Wall, Size };

// One column of the table: ours over Peer in Operation (or Peer over ours), by a measure.
struct TRatioColumn {
  std::string Title;
  std::string Operation;
  std::string Peer;
  TMeasure Measure = TMeasure::Cpu;
  bool PeerOverOurs = false;
};

const TRatioColumn RatioColumns[] = {
    {"decode/libpng", "decode", "libpng"},
    {"decode/libpng_expand", "decode", "libpng_expand"},
    {"decode/libspng", "decode", "libspng"},
    {"decode/inflate_only", "decode", "inflate_only"},
    {"decode/inflate_only_isal", "decode", "inflate_only_isal"},
    {"encode/libpng", "encode", "libpng"},
    {"encode/libpng_filtered", "encode", "libpng_filtered"},
    {"encode/deflate_only", "encode", "deflate_only"},
    {"parallel/ours(wall)", "encode", "ours_parallel", TMeasure::Wall, true},
    {"bytes/libpng", "encode", "libpng", TMeasure::Size},
    {"draw/memcpy", "draw", "memcpy"}};

int ColumnWidth(const TRatioColumn& Column) {
  return static_cast<int>(Column.Title.size()) + 2;
}

std::string CaseName(const std::string& Operation, const std::string& Codec,
                     const std::string& Image) {
  return Operation + "/" + Codec + "/" + Image;
}

// Two decimals, or "-" where a side did not run.
std::string RatioText(double Ours, double Peer) {
  if (Ours <= 0 || Peer <= 0)
    return "-";
  std::ostringstream Text;
  Text << std::fixed << std::setprecision(2) << Ours / Peer;
  return Text.str();
}

} // namespace

TRatioReporter::TRatioReporter(std::unique_ptr<benchmark::BenchmarkReporter> Display)
    : FDisplay(std::move(Display)) {}

bool TRatioReporter::ReportContext(const Context& Machine) {
  return FDisplay->ReportContext(Machine);
}

// Repetitions come one by one, or, when only aggregates are reported, as their median.
void TRatioReporter::ReportRuns(const std::vector<Run>& Runs) {
  FDisplay->ReportRuns(Runs);
  for (const Run& One : Runs) {
    const bool Median = One.run_type == Run::RT_Aggregate && One.aggregate_name == "median";
    if (One.error_occurred || One.iterations <= 0 || (One.run_type != Run::RT_Iteration && !Median))
      continue;
    TCaseTotals& Totals = FTotals[One.run_name.function_name];
    const auto Iterations = static_cast<double>(One.iterations);
    for (auto [Times, Seconds] : {std::pair{&Totals.Cpu, One.cpu_accumulated_time / Iterations},
                                  std::pair{&Totals.Wall, One.real_accumulated_time / Iterations}})
      if (Median)
        Times->Median = Seconds;
      else
        Times->PerRepetition.push_back(Seconds);
    for (const auto& [Name, Counter] : One.counters)
      Totals.Counters[Name] = Counter.value;
    if (const auto Bytes = One.counters.find("bytes"); Bytes != One.counters.end())
      Totals.Bytes = Bytes->second.value;
  }
}

void TRatioReporter::Finalize() {
  FDisplay->Finalize();
  if (FTotals.empty())
    return;
  const bool Console = dynamic_cast<benchmark::ConsoleReporter*>(FDisplay.get()) != nullptr;
  PrintRatios(Console ? std::cout : std::cerr);
}

// The median over the repetitions (of an even count, the mean of the middle two).
double TRatioReporter::SecondsPerIteration(const std::string& Case, bool Wall) const {
  const auto Found = FTotals.find(Case);
  if (Found == FTotals.end())
    return 0;
  const TTimes& Times = Wall ? Found->second.Wall : Found->second.Cpu;
  if (Times.Median > 0)
    return Times.Median;
  if (Times.PerRepetition.empty())
    return 0;
  std::vector<double> Sorted = Times.PerRepetition;
  std::sort(Sorted.begin(), Sorted.end());
  const size_t Middle = Sorted.size() / 2;
  return Sorted.size() % 2 != 0 ? Sorted[Middle] : (Sorted[Middle - 1] + Sorted[Middle]) / 2;
}

double TRatioReporter::OutputBytes(const std::string& Case) const {
  const auto Found = FTotals.find(Case);
  return Found == FTotals.end() ? 0 : Found->second.Bytes;
}

void TRatioReporter::PrintRatios(std::ostream& Out) const {
  Out << "\nOurs as a ratio of each peer, per image (median CPU time, or output size; below 1 is "
         "ours ahead)\n"
      << std::left << std::setw(12) << "image";
  for (const TRatioColumn& Column : RatioColumns)
    Out << std::right << std::setw(ColumnWidth(Column)) << Column.Title;
  Out << "\n";
  for (const TImageKind& Kind : BenchImageKinds())
    PrintImageRow(Out, Kind.Name);
  for (const TImageKind& Kind : ScaleImageKinds())
    PrintImageRow(Out, Kind.Name);
  PrintScaleRatio(Out);
  PrintSizesByLevel(Out);
}

// Our segmented stream's size over zlib's single stream's, level by level.
void TRatioReporter::PrintSizesByLevel(std::ostream& Out) const {
  for (const TImageKind& Kind : BenchImageKinds()) {
    const auto Found = FTotals.find(CaseName("encode", "sizes_by_level", Kind.Name));
    if (Found == FTotals.end() || Found->second.Counters.empty())
      continue;
    Out << "stream size ours/deflate_only by level, " << Kind.Name << ":";
    for (int Level = 1; Level <= 9; ++Level)
      if (const auto Ratio = Found->second.Counters.find("l" + std::to_string(Level));
          Ratio != Found->second.Counters.end())
        Out << " " << Level << ":" << std::fixed << std::setprecision(4) << Ratio->second;
    Out << "\n";
  }
}

// Our decode time per pixel of each large image over that of its small twin.
void TRatioReporter::PrintScaleRatio(std::ostream& Out) const {
  for (const TImageKind& Large : ScaleImageKinds())
    for (const TImageKind& Small : BenchImageKinds()) {
      if (Small.ColorType != Large.ColorType || Small.BitDepth != Large.BitDepth ||
          Small.Adam7 != Large.Adam7)
        continue;
      const auto Pixels = [](const TImageKind& Kind) {
        return static_cast<double>(Kind.Size) * Kind.Size;
      };
      const std::string Text =
          RatioText(SecondsPerIteration(CaseName("decode", "ours", Large.Name)) / Pixels(Large),
                    SecondsPerIteration(CaseName("decode", "ours", Small.Name)) / Pixels(Small));
      if (Text != "-")
        Out << "decode/ours time per pixel, " << Large.Name << " over " << Small.Name << ": "
            << Text << "\n";
    }
}

// Images none of whose ratios could be taken are left out.
void TRatioReporter::PrintImageRow(std::ostream& Out, const std::string& Image) const {
  std::vector<std::string> Texts;
  bool AnyRatio = false;
  for (const TRatioColumn& Column : RatioColumns) {
    const std::string Ours = CaseName(Column.Operation, "ours", Image);
    const std::string Peer = CaseName(Column.Operation, Column.Peer, Image);
    const bool Wall = Column.Measure == TMeasure::Wall;
    double Mine = SecondsPerIteration(Ours, Wall), Theirs = SecondsPerIteration(Peer, Wall);
    if (Column.Measure == TMeasure::Size) {
      Mine = OutputBytes(Ours);
      Theirs = OutputBytes(Peer);
    }
    Texts.push_back(Column.PeerOverOurs ? RatioText(Theirs, Mine) : RatioText(Mine, Theirs));
    AnyRatio = AnyRatio || Texts.back() != "-";
  }
  if (!AnyRatio)
    return;
  Out << std::left << std::setw(12) << Image;
  for (size_t i = 0; i < Texts.size(); ++i)
    Out << std::right << std::setw(ColumnWidth(RatioColumns[i])) << Texts[i];
  Out << "\n";
}
