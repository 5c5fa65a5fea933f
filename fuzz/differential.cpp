#include "fuzz/differential.h"

#include "fuzz/differences.h"
#include "fuzz/harness.h"
#include "fuzz/libpng_oracle.h"
#include "png/pngimage.h"

#include <cstdio>
#include <optional>

namespace {

struct TOurDecode {
  std::optional<std::string> Error;
  TPixels Pixels;
  std::array<uint8_t, 256> Gamma{};
};

TOurDecode DecodeOurs(const TBytes& File) {
  TOurDecode Result;
  for (size_t Index = 0; Index < Result.Gamma.size(); ++Index)
    Result.Gamma[Index] = static_cast<uint8_t>(Index);
  TMemoryStream Stream;
  TPNGObject Png;
  try {
    Png.LoadFromStream(Filled(Stream, File.data(), File.size()));
  } catch (const Exception& Error) {
    Result.Error = Error.Message();
    return Result;
  }
  Result.Pixels = OurPixels(Png);
  Result.Gamma = Png.GammaLut;
  return Result;
}

std::string Hex(uint32_t Value) {
  char Text[16];
  std::snprintf(Text, sizeof Text, "%08x", Value);
  return Text;
}

std::string FirstDifference(const TPixels& Ours, const TPixels& Theirs) {
  if (Ours.size() != Theirs.size())
    return std::to_string(Ours.size()) + " pixels against libpng's " +
           std::to_string(Theirs.size());
  size_t At = 0;
  while (Ours[At] == Theirs[At])
    ++At;
  return "pixel " + std::to_string(At) + " is " + Hex(Ours[At]) + ", libpng's " + Hex(Theirs[At]);
}

} // namespace

TDifferential CompareWithLibpng(const uint8_t* Data, size_t Size) {
  const TBytes File(Data, Data + Size);
  const TOurDecode Ours = DecodeOurs(File);
  std::optional<std::string> TheirError;
  TPixels Theirs;
  try {
    Theirs = OraclePixels(File, Ours.Gamma);
  } catch (const ELibpngRefused& Error) {
    TheirError = Error.what();
  }
  if (Ours.Error && TheirError)
    return {TAgreement::Same, "both refuse"};
  if (Ours.Error) {
    if (const auto Listed = WhyWeRefuse(File))
      return {TAgreement::Listed, *Listed};
    return {TAgreement::Finding, "we refuse (" + *Ours.Error + "), libpng accepts"};
  }
  if (TheirError) {
    if (const auto Listed = WhyLibpngRefuses(File, *TheirError))
      return {TAgreement::Listed, *Listed};
    return {TAgreement::Finding, "we accept, libpng refuses (" + *TheirError + ")"};
  }
  if (Ours.Pixels != Theirs)
    return {TAgreement::Finding, "pixels differ: " + FirstDifference(Ours.Pixels, Theirs)};
  return {TAgreement::Same, "same pixels"};
}

void FuzzPngAgainstLibpng(const uint8_t* Data, size_t Size) {
  if (DeclaredPngPixels(Data, Size) > MaxFuzzedPixels)
    return;
  const TDifferential Result = CompareWithLibpng(Data, Size);
  if (Result.Agreement == TAgreement::Finding)
    Finding(Result.What);
}
