// The time and text chunks.
#include "png/pngframe.h"
#include "png/pngzlib.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int32_t TimeBodySize = 7;

} // namespace

bool TChunktIME::LoadChunk(TStream& Stream, const TChunkTag& Tag, int32_t Size) {
  if (!TChunk::LoadChunk(Stream, Tag, Size))
    return false;
  if (Size != TimeBodySize)
    return true;
  const uint8_t* Body = ChunkBody();
  Year = BigEndian16(Body);
  Month = Body[2];
  Day = Body[3];
  Hour = Body[4];
  Minute = Body[5];
  Second = Body[6];
  return true;
}

bool TChunktIME::SaveChunk(TStream& Stream) {
  ResizeBody(TimeBodySize);
  uint8_t* Body = ChunkBody();
  PutBigEndian16(Body, Year);
  Body[2] = Month;
  Body[3] = Day;
  Body[4] = Hour;
  Body[5] = Minute;
  Body[6] = Second;
  return TChunk::SaveChunk(Stream);
}

void TChunktIME::AssignChunk(const TChunk& Source) {
  const auto& Other = CheckedSource<TChunktIME>(Source);
  TChunk::AssignChunk(Source);
  Year = Other.Year;
  Month = Other.Month;
  Day = Other.Day;
  Hour = Other.Hour;
  Minute = Other.Minute;
  Second = Other.Second;
}

size_t TChunktEXt::SplitKeyword() {
  const auto* Body = reinterpret_cast<const char*>(ChunkBody());
  const auto Size = static_cast<size_t>(ChunkBodySize());
  const size_t Zero = std::find(Body, Body + Size, '\0') - Body;
  Keyword.assign(Body, Zero);
  Text.assign(Zero < Size ? Body + Zero + 1 : Body + Size, Body + Size);
  return Zero;
}

bool TChunktEXt::LoadChunk(TStream& Stream, const TChunkTag& Tag, int32_t Size) {
  if (!TChunk::LoadChunk(Stream, Tag, Size))
    return false;
  SplitKeyword();
  return true;
}

bool TChunktEXt::SaveChunk(TStream& Stream) {
  ResizeBody(static_cast<int32_t>(Keyword.size() + 1 + Text.size()));
  uint8_t* Body = ChunkBody();
  std::memcpy(Body, Keyword.data(), Keyword.size());
  Body[Keyword.size()] = 0;
  std::memcpy(Body + Keyword.size() + 1, Text.data(), Text.size());
  return TChunk::SaveChunk(Stream);
}

void TChunktEXt::AssignChunk(const TChunk& Source) {
  const auto& Other = CheckedSource<TChunktEXt>(Source);
  Keyword = Other.Keyword;
  Text = Other.Text;
}

// Only compression method 0 exists; a text in another method, a damaged one, or one past the
// limits is kept as read.
bool TChunkzTXt::LoadChunk(TStream& Stream, const TChunkTag& Tag, int32_t Size) {
  if (!TChunktEXt::LoadChunk(Stream, Tag, Size))
    return false;
  const size_t KeywordLength = SplitKeyword();
  Text.clear();
  TextDecoded = false;
  const auto BodySize = static_cast<size_t>(Size);
  if (KeywordLength + 2 > BodySize || ChunkBody()[KeywordLength + 1] != 0)
    return true;
  TPNGObject* Owner = OwnerImage();
  const size_t Budget =
      Owner != nullptr ? MaxZtxtImageText - std::min(MaxZtxtImageText, Owner->InflatedTextBytes)
                       : MaxZtxtImageText;
  std::vector<uint8_t> Output;
  std::string Error;
  const TInflateResult Result = InflateBuffer(ChunkBody() + KeywordLength + 2,
                                              static_cast<int32_t>(BodySize - KeywordLength - 2),
                                              std::min(MaxZtxtChunkText, Budget), Output, Error);
  if (Result != irDone)
    return true;
  Text.assign(Output.begin(), Output.end());
  TextDecoded = true;
  if (Owner != nullptr)
    Owner->InflatedTextBytes += Output.size();
  return true;
}

bool TChunkzTXt::SaveChunk(TStream& Stream) {
  // The stored body goes out as it is: tEXt's SaveChunk would write the text uncompressed.
  if (!TextDecoded && Text.empty())
    return TChunk::SaveChunk(Stream); // NOLINT(bugprone-parent-virtual-call)
  if (Text.empty())
    Text = " ";
  std::vector<uint8_t> Packed;
  std::string Error;
  const uint8_t Level = OwnerImage() != nullptr ? OwnerImage()->ZlibLevel : 7;
  if (!DeflateBuffer(reinterpret_cast<const uint8_t*>(Text.data()),
                     static_cast<int32_t>(Text.size()), Level, Packed, Error))
    return false;
  ResizeBody(static_cast<int32_t>(Keyword.size() + 2 + Packed.size()));
  uint8_t* Body = ChunkBody();
  std::memcpy(Body, Keyword.data(), Keyword.size());
  Body[Keyword.size()] = 0;
  Body[Keyword.size() + 1] = 0;
  std::memcpy(Body + Keyword.size() + 2, Packed.data(), Packed.size());
  return TChunk::SaveChunk(Stream); // NOLINT(bugprone-parent-virtual-call): the body is built
}

void TChunkzTXt::AssignChunk(const TChunk& Source) {
  TChunktEXt::AssignChunk(Source);
  const auto* Other = dynamic_cast<const TChunkzTXt*>(&Source);
  TextDecoded = Other == nullptr || Other->TextDecoded;
  // Text never inflated travels as its compressed body, which tEXt's copy does not carry.
  if (!TextDecoded)
    TChunk::AssignChunk(Source); // NOLINT(bugprone-parent-virtual-call)
}
