#include "tests/png/pngsuite_support.h"

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
  for (size_t At = 8; At + 8 <= File.size();) {
    const uint32_t Length = (uint32_t{File[At]} << 24) | (uint32_t{File[At + 1]} << 16) |
                            (uint32_t{File[At + 2]} << 8) | File[At + 3];
    const auto Begin = File.begin() + static_cast<long>(At);
    const size_t Present = std::min<size_t>(Length, File.size() - At - 8);
    Chunks.push_back({std::string(Begin + 4, Begin + 8),
                      TBytes(Begin + 8, Begin + 8 + static_cast<long>(Present))});
    At += 12 + size_t{Length};
  }
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
