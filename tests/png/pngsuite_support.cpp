#include "tests/png/pngsuite_support.h"

#include "fuzz/pngchunks.h"

#include <algorithm>
#include <filesystem>

std::string PngSuiteDir() {
  return "tests/data/pngsuite/";
}

std::vector<std::string> SuiteFiles(bool Damaged) {
  std::vector<std::string> Names;
  for (const auto& Entry : std::filesystem::directory_iterator(PngSuiteDir())) {
    const std::string Name = Entry.path().filename().string();
    if (Entry.path().extension() == ".png" && (Name[0] == 'x') == Damaged)
      Names.push_back(Name);
  }
  std::sort(Names.begin(), Names.end());
  return Names;
}

std::vector<TParsedChunk> ParseChunks(const TBytes& File) {
  std::vector<TParsedChunk> Chunks;
  ForEachChunk(File.data(), File.size(), [&](const TChunkFrame& Chunk) {
    Chunks.push_back(
        {std::string(Chunk.Type, Chunk.Type + 4), TBytes(Chunk.Body, Chunk.Body + Chunk.Present)});
    return true;
  });
  return Chunks;
}

std::vector<std::string> KeptChunkTypes(const TBytes& File) {
  std::vector<std::string> Types;
  bool SeenData = false;
  for (const TParsedChunk& Chunk : ParseChunks(File)) {
    if (Chunk.Type == "cHRM" || (Chunk.Type == "IDAT" && SeenData))
      continue;
    SeenData = SeenData || Chunk.Type == "IDAT";
    Types.push_back(Chunk.Type);
    if (Chunk.Type == "IEND")
      break;
  }
  return Types;
}
