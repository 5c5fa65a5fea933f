// vqzconv's command line: commands, files and options, checked before any file is touched.
#pragma once

#include "platform/core/sysutils.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class EUsageError : public Exception {
public:
  using Exception::Exception;
};

constexpr uint32_t DefaultThumbnailSize = 128;
constexpr uint32_t LargestThumbnailSize = 16384;

enum class TOutputKind { okPam, okBitmap, okPng };

// The PNG writer's settings; unset ones stay as the loaded image has them.
struct TWriterOptions {
  std::optional<uint8_t> Filters; // pfNone | pfSub | ...
  std::optional<uint8_t> Level;
  std::optional<bool> Interlace;
  std::optional<uint32_t> MaxDataChunkSize;
  std::optional<unsigned> Threads;

  bool AnyGiven() const { return Filters || Level || Interlace || MaxDataChunkSize || Threads; }
};

struct TCommandLine {
  std::string Command; // "help", "extract", "info", "convert" or "thumbnail"
  std::vector<std::string> Files;
  bool Json = false;
  bool Batch = false; // convert with --to: every file goes to OutDir
  std::string OutDir = ".";
  TOutputKind To = TOutputKind::okPam;
  TWriterOptions Writer;
  uint32_t ThumbnailSize = DefaultThumbnailSize;
  unsigned Jobs = 0; // files a batch converts at once; 0 for one per core
};

// EUsageError, saying what is wrong, for anything that is not a valid command line.
TCommandLine ParseCommandLine(const std::vector<std::string>& Args);

// The output kind a file name asks for by its extension, without regard to case.
std::optional<TOutputKind> OutputKindOf(const std::string& Path);
const char* OutputExtension(TOutputKind Kind);

extern const char* const HelpText;
