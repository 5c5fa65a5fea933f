#include "tools/areaaverage.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace {

// On one axis, source pixel I covers [I * To, (I + 1) * To) and target pixel J covers
// [J * From, (J + 1) * From): both lengths are whole numbers, so every overlap is one.
uint64_t Overlap(uint64_t I, uint64_t J, uint64_t From, uint64_t To) {
  const uint64_t Start = std::max(I * To, J * From);
  const uint64_t End = std::min((I + 1) * To, (J + 1) * From);
  return End > Start ? End - Start : 0;
}

// A target pixel is never shorter than a source pixel, so a source pixel falls into one
// target pixel, or into two: Spill is the part in the next one.
struct TSpan {
  uint32_t Target;
  uint32_t Weight;
  uint32_t Spill;
};

std::vector<TSpan> Spans(uint32_t From, uint32_t To) {
  std::vector<TSpan> Result(From);
  for (uint32_t I = 0; I < From; ++I) {
    const auto Target = static_cast<uint32_t>(uint64_t{I} * To / From);
    const auto Inside = static_cast<uint32_t>(Overlap(I, Target, From, To));
    Result[I] = {Target, Inside, To - Inside};
  }
  return Result;
}

// Alpha, and red, green and blue each times alpha, summed with their weights.
using TSums = std::array<uint64_t, 4>;

void AddWeighted(TSums& Sums, const uint8_t* Pixel, uint64_t Weight) {
  const uint64_t Alpha = Pixel[3];
  Sums[0] += Weight * Alpha;
  Sums[1] += Weight * Alpha * Pixel[0];
  Sums[2] += Weight * Alpha * Pixel[1];
  Sums[3] += Weight * Alpha * Pixel[2];
}

void PutAverage(const TSums& Sums, uint64_t TotalWeight, uint8_t* Out) {
  const uint64_t Alpha = Sums[0];
  for (size_t Channel = 0; Channel < 3; ++Channel)
    Out[Channel] = Alpha == 0 ? 0 : static_cast<uint8_t>((Sums[Channel + 1] + Alpha / 2) / Alpha);
  Out[3] = static_cast<uint8_t>((Alpha + TotalWeight / 2) / TotalWeight);
}

void AddRowSums(const std::vector<TSpan>& Columns, const uint8_t* Row, std::vector<TSums>& Sums) {
  std::fill(Sums.begin(), Sums.end(), TSums{});
  for (size_t X = 0; X < Columns.size(); ++X, Row += 4) {
    const TSpan& Column = Columns[X];
    AddWeighted(Sums[Column.Target], Row, Column.Weight);
    if (Column.Spill != 0)
      AddWeighted(Sums[Column.Target + 1], Row, Column.Spill);
  }
}

void AddScaled(std::vector<TSums>& Into, const std::vector<TSums>& Row, uint64_t Weight) {
  for (size_t X = 0; X < Row.size(); ++X)
    for (size_t Channel = 0; Channel < 4; ++Channel)
      Into[X][Channel] += Weight * Row[X][Channel];
}

// A target larger than its source would have pixels that cover nothing, whose average is
// undefined.
void RequireNoLarger(TPictureSize From, TPictureSize To) {
  if (To.Width > From.Width || To.Height > From.Height)
    throw std::invalid_argument("area average: the target is larger than the source");
}

} // namespace

std::vector<uint8_t> AreaAverage(TPictureSize From, const TRowReader& ReadRow, TPictureSize To) {
  RequireNoLarger(From, To);
  const std::vector<TSpan> Columns = Spans(From.Width, To.Width);
  const std::vector<TSpan> Rows = Spans(From.Height, To.Height);
  const uint64_t TotalWeight = uint64_t{From.Width} * From.Height;
  std::vector<uint8_t> Source(size_t{From.Width} * 4);
  std::vector<uint8_t> Target(size_t{To.Width} * To.Height * 4);
  std::vector<TSums> RowSums(To.Width), Current(To.Width), Next(To.Width);
  for (uint32_t Y = 0; Y < From.Height; ++Y) {
    ReadRow(Y, Source.data());
    AddRowSums(Columns, Source.data(), RowSums);
    const TSpan& Row = Rows[Y];
    AddScaled(Current, RowSums, Row.Weight);
    if (Row.Spill != 0)
      AddScaled(Next, RowSums, Row.Spill);
    if (Y + 1 < From.Height && Rows[Y + 1].Target == Row.Target)
      continue;
    uint8_t* Out = Target.data() + size_t{Row.Target} * To.Width * 4;
    for (uint32_t X = 0; X < To.Width; ++X)
      PutAverage(Current[X], TotalWeight, Out + size_t{X} * 4);
    Current.swap(Next);
    std::fill(Next.begin(), Next.end(), TSums{});
  }
  return Target;
}

std::vector<uint8_t> AreaAveragePlain(TPictureSize From, const std::vector<uint8_t>& Pixels,
                                      TPictureSize To) {
  RequireNoLarger(From, To);
  std::vector<uint8_t> Target(size_t{To.Width} * To.Height * 4);
  for (uint32_t TY = 0; TY < To.Height; ++TY)
    for (uint32_t TX = 0; TX < To.Width; ++TX) {
      TSums Sums{};
      for (uint32_t SY = 0; SY < From.Height; ++SY)
        for (uint32_t SX = 0; SX < From.Width; ++SX) {
          const uint64_t Weight =
              Overlap(SX, TX, From.Width, To.Width) * Overlap(SY, TY, From.Height, To.Height);
          if (Weight != 0)
            AddWeighted(Sums, &Pixels[(size_t{SY} * From.Width + SX) * 4], Weight);
        }
      PutAverage(Sums, uint64_t{From.Width} * From.Height,
                 &Target[(size_t{TY} * To.Width + TX) * 4]);
    }
  return Target;
}
