#include "fuzz/differences.h"

#include "fuzz/harness.h"
#include "fuzz/pngchunks.h"
#include "png/pnginflater.h"
#include "png/pngrows.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

struct TChunkSeen {
  std::string Type;
  TBytes Body; // as much of it as the file holds
  bool CrcRight = false;
};

struct THeaderSeen {
  uint32_t Width = 0, Height = 0;
  uint8_t Depth = 0, ColourType = 0, Filter = 0, Interlace = 0;
  size_t BodySize = 0;
};

// What the file holds, read the way our loader reads it: chunk after chunk from the signature to
// IEND or to the end of the file.
struct TFileStructure {
  std::vector<TChunkSeen> Chunks;
  std::optional<THeaderSeen> Header;
  // Every filtered row the header declares, and their sum.
  std::vector<size_t> RowLengths;
  size_t FilteredSize = 0;
  // The image data of the first run of IDAT chunks, inflated by zlib as far as it goes, and
  // whether the zlib stream reaches its end (last block and check value) within that run.
  TBytes ImageData;
  bool DataStreamEnds = false;
  // The index of the first chunk after those our reader needs: the one where the zlib stream
  // ends or its last row is complete, whichever comes first.
  size_t DataChunksEnd = 0;
  // zlib's text for the damage it found in the image data, if any.
  std::string DataError;
};

std::vector<TChunkSeen> ChunksOf(const TBytes& File) {
  std::vector<TChunkSeen> Chunks;
  ForEachChunk(File.data(), File.size(), [&](const TChunkFrame& Frame) {
    TChunkSeen Chunk{std::string(Frame.Type, Frame.Type + 4),
                     TBytes(Frame.Body, Frame.Body + Frame.Present)};
    if (Frame.Complete)
      Chunk.CrcRight = crc32(0, Frame.Type, static_cast<uInt>(Frame.Length + 4)) ==
                       BigEndian32(Frame.Body + Frame.Length);
    Chunks.push_back(std::move(Chunk));
    return !Frame.IsType("IEND");
  });
  return Chunks;
}

std::optional<THeaderSeen> HeaderOf(const std::vector<TChunkSeen>& Chunks) {
  if (Chunks.empty() || Chunks[0].Type != "IHDR" || Chunks[0].Body.size() < 13)
    return std::nullopt;
  const TBytes& Body = Chunks[0].Body;
  return THeaderSeen{BigEndian32(&Body[0]),
                     BigEndian32(&Body[4]),
                     Body[8],
                     Body[9],
                     Body[11],
                     Body[12],
                     Body.size()};
}

// The length of every filtered row the header declares, filter byte included, in stream order.
std::vector<size_t> RowLengths(const THeaderSeen& Header) {
  static const TAdam7Pass Whole{0, 0, 1, 1};
  std::vector<size_t> Lengths;
  const bool Interlaced = Header.Interlace == 1;
  for (const TAdam7Pass& Pass : Interlaced ? std::vector<TAdam7Pass>(Adam7Passes, Adam7Passes + 7)
                                           : std::vector<TAdam7Pass>{Whole}) {
    const int32_t Columns = Pass.Columns(static_cast<int32_t>(Header.Width));
    if (Columns == 0)
      continue;
    const size_t Length =
        1 + static_cast<size_t>(RowSizeForPixels(Columns, Header.ColourType, Header.Depth));
    Lengths.insert(Lengths.end(),
                   static_cast<size_t>(Pass.Rows(static_cast<int32_t>(Header.Height))), Length);
  }
  return Lengths;
}

// Inflates the first IDAT run: the first Limit bytes are kept, the rest only counted through.
void Inflate(TFileStructure& Structure, size_t Limit) {
  auto Chunk = std::find_if(Structure.Chunks.begin(), Structure.Chunks.end(),
                            [](const TChunkSeen& Seen) { return Seen.Type == "IDAT"; });
  TBytes& Output = Structure.ImageData;
  Output.resize(Limit);
  uint8_t Beyond[4096];
  z_stream Stream{};
  inflateInit(&Stream);
  Stream.next_out = Output.data();
  Stream.avail_out = static_cast<uInt>(Limit);
  size_t Kept = 0;
  int Result = Z_OK;
  for (; Chunk != Structure.Chunks.end() && Chunk->Type == "IDAT" && Result == Z_OK; ++Chunk) {
    Stream.next_in = const_cast<Bytef*>(Chunk->Body.data());
    Stream.avail_in = static_cast<uInt>(Chunk->Body.size());
    while (Result == Z_OK && Stream.avail_in > 0) {
      if (Stream.avail_out == 0) {
        Kept = Limit;
        Stream.next_out = Beyond;
        Stream.avail_out = sizeof Beyond;
      }
      Result = inflate(&Stream, Z_NO_FLUSH);
      if (Kept == 0 && Stream.avail_out == 0 && Structure.DataChunksEnd == 0)
        Structure.DataChunksEnd = static_cast<size_t>(Chunk - Structure.Chunks.begin()) + 1;
    }
    if (Result == Z_BUF_ERROR)
      Result = Z_OK;
  }
  Output.resize(Kept == Limit ? Limit : Limit - Stream.avail_out);
  Structure.DataStreamEnds = Result == Z_STREAM_END;
  if (Result == Z_DATA_ERROR && Stream.msg != nullptr)
    Structure.DataError = Stream.msg;
  if (Structure.DataChunksEnd == 0)
    Structure.DataChunksEnd = static_cast<size_t>(Chunk - Structure.Chunks.begin());
  inflateEnd(&Stream);
}

TFileStructure StructureOf(const TBytes& File) {
  TFileStructure Structure;
  Structure.Chunks = ChunksOf(File);
  Structure.Header = HeaderOf(Structure.Chunks);
  if (Structure.Header && Structure.Header->Interlace <= 1 &&
      RowSizeForPixels(1, Structure.Header->ColourType, Structure.Header->Depth) > 0) {
    Structure.RowLengths = RowLengths(*Structure.Header);
    for (const size_t Length : Structure.RowLengths)
      Structure.FilteredSize += Length;
    Inflate(Structure, Structure.FilteredSize);
  }
  return Structure;
}

// Differences where we accept and libpng refuses.

bool HasFilterTypeAbove4(const TFileStructure& File) {
  if (!File.Header)
    return false;
  size_t At = 0;
  for (const size_t Length : File.RowLengths) {
    if (At >= File.ImageData.size())
      return false;
    if (File.ImageData[At] > 4)
      return true;
    At += Length;
  }
  return false;
}

// Before the last row, or before the end of its zlib stream.
bool ImageDataEndsEarly(const TFileStructure& File) {
  return File.Header && (File.ImageData.size() < File.FilteredSize || !File.DataStreamEnds);
}

bool HasTypeOtherThanLetters(const TFileStructure& File) {
  return std::any_of(File.Chunks.begin(), File.Chunks.end(), [](const TChunkSeen& Chunk) {
    return !std::all_of(Chunk.Type.begin(), Chunk.Type.end(),
                        [](char C) { return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z'); });
  });
}

bool RepeatsOrMisplacesACriticalChunk(const TFileStructure& File) {
  int Headers = 0, Palettes = 0;
  bool SeenData = false, PaletteAfterData = false;
  for (const TChunkSeen& Chunk : File.Chunks) {
    Headers += Chunk.Type == "IHDR";
    Palettes += Chunk.Type == "PLTE";
    PaletteAfterData = PaletteAfterData || (SeenData && Chunk.Type == "PLTE");
    SeenData = SeenData || Chunk.Type == "IDAT";
  }
  return Headers > 1 || Palettes > 1 || PaletteAfterData;
}

bool LacksAPalette(const TFileStructure& File) {
  if (!File.Header || File.Header->ColourType != 3)
    return false;
  for (const TChunkSeen& Chunk : File.Chunks) {
    if (Chunk.Type == "PLTE")
      return false;
    if (Chunk.Type == "IDAT")
      return true;
  }
  return true;
}

bool HasAHeaderLibpngRefuses(const TFileStructure& File) {
  return File.Header && (File.Header->Width == 0 || File.Header->Height == 0 ||
                         File.Header->Filter != 0 || File.Header->BodySize != 13);
}

struct TListedDifference {
  const char* Name;
  const char* LibpngSays; // a part of libpng's text for it
  bool (*Applies)(const TFileStructure&);
};

// We read the image data up to the end of its zlib stream and skip the IDAT chunks after it
// unread; libpng checks their CRCs.
bool HasADamagedIdatChunkAfterTheData(const TFileStructure& File) {
  for (size_t Index = File.DataChunksEnd; Index < File.Chunks.size(); ++Index)
    if (File.Chunks[Index].Type == "IDAT" && !File.Chunks[Index].CrcRight)
      return true;
  return false;
}

// ISA-L takes a Huffman code that does not fill its code space, where zlib refuses the code set;
// under zlib's inflater we refuse such a stream too.
bool HasACodeSetOnlyIsalTakes(const TFileStructure& File) {
  static const std::string CodeSetErrors[] = {
      "invalid distances set", "invalid literal/lengths set", "invalid code lengths set"};
  return ImageInflaterInUse() == ikIsal &&
         std::find(std::begin(CodeSetErrors), std::end(CodeSetErrors), File.DataError) !=
             std::end(CodeSetErrors);
}

const TListedDifference LibpngRefusals[] = {
    {"Huffman code set that ISA-L takes", "invalid distances set", HasACodeSetOnlyIsalTakes},
    {"Huffman code set that ISA-L takes", "invalid literal/lengths set", HasACodeSetOnlyIsalTakes},
    {"Huffman code set that ISA-L takes", "invalid code lengths set", HasACodeSetOnlyIsalTakes},
    {"wrong CRC of an IDAT chunk after the image data", "IDAT: CRC error",
     HasADamagedIdatChunkAfterTheData},
    {"filter type above 4", "bad adaptive filter value", HasFilterTypeAbove4},
    {"image data that ends early", "Not enough image data", ImageDataEndsEarly},
    {"chunk type other than four letters", "invalid chunk type", HasTypeOtherThanLetters},
    {"repeated or misplaced critical chunk", "out of place", RepeatsOrMisplacesACriticalChunk},
    {"repeated or misplaced critical chunk", "duplicate", RepeatsOrMisplacesACriticalChunk},
    {"palette image without a palette", "Missing PLTE before IDAT", LacksAPalette},
    {"header libpng refuses", "Invalid IHDR data", HasAHeaderLibpngRefuses},
    {"header libpng refuses", "IHDR: invalid", HasAHeaderLibpngRefuses},
};

// Differences where we refuse and libpng accepts.

bool HasADamagedAncillaryChunk(const TFileStructure& File) {
  return std::any_of(File.Chunks.begin(), File.Chunks.end(), [](const TChunkSeen& Chunk) {
    return (Chunk.Type[0] & 0x20) != 0 && Chunk.Type != "cHRM" && !Chunk.CrcRight;
  });
}

bool IsWiderOrTallerThan65535(const TFileStructure& File) {
  return File.Header && (File.Header->Width > 65535 || File.Header->Height > 65535);
}

// libpng ignores a suggested palette it cannot use, and a transparency table it cannot use; a
// palette image's own palette of that kind it refuses too.
bool HasAPaletteOrTableOfImpossibleSize(const TFileStructure& File) {
  const bool PaletteImage = File.Header && File.Header->ColourType == 3;
  return std::any_of(File.Chunks.begin(), File.Chunks.end(), [&](const TChunkSeen& Chunk) {
    const size_t Size = Chunk.Body.size();
    return (Chunk.Type == "PLTE" && !PaletteImage && (Size % 3 != 0 || Size > 768)) ||
           (Chunk.Type == "tRNS" && Size > 256);
  });
}

// libpng lets an unknown critical chunk after the image data pass.
bool HasAnUnknownCriticalChunkAfterTheData(const TFileStructure& File) {
  bool SeenData = false;
  for (const TChunkSeen& Chunk : File.Chunks) {
    const bool Known = Chunk.Type == "IHDR" || Chunk.Type == "PLTE" || Chunk.Type == "IDAT" ||
                       Chunk.Type == "IEND";
    if (SeenData && !Known && (Chunk.Type[0] & 0x20) == 0 && Chunk.Type[0] != 0)
      return true;
    SeenData = SeenData || Chunk.Type == "IDAT";
  }
  return false;
}

const TListedDifference OurRefusals[] = {
    {"unknown critical chunk after the image data", "", HasAnUnknownCriticalChunkAfterTheData},
    {"palette or transparency table of an impossible size", "", HasAPaletteOrTableOfImpossibleSize},
    {"wrong CRC of an ancillary chunk", "", HasADamagedAncillaryChunk},
    {"wider or taller than 65535 pixels", "", IsWiderOrTallerThan65535},
};

} // namespace

std::optional<std::string> WhyLibpngRefuses(const TBytes& File, const std::string& LibpngError) {
  const TFileStructure Structure = StructureOf(File);
  for (const TListedDifference& Difference : LibpngRefusals)
    if (LibpngError.find(Difference.LibpngSays) != std::string::npos &&
        Difference.Applies(Structure))
      return Difference.Name;
  return std::nullopt;
}

std::optional<std::string> WhyWeRefuse(const TBytes& File) {
  const TFileStructure Structure = StructureOf(File);
  for (const TListedDifference& Difference : OurRefusals)
    if (Difference.Applies(Structure))
      return Difference.Name;
  return std::nullopt;
}
