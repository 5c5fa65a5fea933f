#include "tools/arguments.h"

#include "png/pngimage.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <map>

const char* const HelpText =
    R"(Usage: vqzconv COMMAND ...

Gets the pictures out of VQZ files, describes them, converts them and makes thumbnails of them.

  vqzconv extract IN OUT      write the picture embedded in the VQZ file IN to OUT, its bytes
                              unchanged
  vqzconv info IN [--json]    describe IN: size, depth, colour type, interlace, the chunks in
                              order, transparency, key colour, gamma, time and texts of a PNG
                              picture; size and bits per pixel of a BMP picture. --json prints
                              one JSON object.
  vqzconv convert IN OUT      convert IN to OUT, whose extension says the kind:
                                .pam  8-bit RGB_ALPHA PAM, the colours the picture shows
                                .bmp  Windows bitmap, the colours the picture shows;
                                      bitmap files hold no transparency, so a colour key
                                      or alpha is dropped and its pixels keep their colour
                                .png  PNG (a PNG picture is written back with its chunks)
  vqzconv convert IN... --to pam|bmp|png [--out-dir DIR] [--jobs N]
                              convert every IN into DIR (default: the current directory, made
                              when missing) under its base name with the new extension; one
                              line of progress per file and a summary. A bad file does not
                              stop the others; a name written twice in a run is an error for
                              the second file, never an overwrite. --jobs N converts N files
                              at once (default: one per core); files, progress, messages and
                              summary are exactly as with --jobs 1, in input order.
  vqzconv thumbnail IN OUT [--size N]
                              write the picture scaled to fit N x N pixels (default 128, at
                              most 16384), its aspect ratio kept and never enlarged, as an
                              8-bit RGBA PNG: an area average of the colours it shows, its
                              transparency kept as alpha. For file managers' thumbnailers.

IN is read by its extension, without regard to case: .png as a PNG file, .bmp as a Windows
bitmap, anything else (a .vqz file first of all) as a VQZ container.

PNG writer options (for PNG output only; unset ones keep the picture's own settings):
  --filters=LIST      the row filters to choose from, any of none,sub,up,average,paeth
                      separated by commas; --filters= for none at all (rows unfiltered).
                      Default: sub.
  --level=N           deflate level 0..9 (default 7)
  --interlace         write Adam7 interlaced
  --no-interlace      write without interlacing (default: as loaded)
  --max-idat=N        bytes per IDAT chunk, 0..2147483647; values below 65535 are raised to
                      65535
  --threads N         compress on N threads, 1..16 (default: one per core, shared out
                      among the --jobs of a batch). The file is the same for every N.

Exit status: 0 done; 1 a picture that fails to load or a file that cannot be opened, read or
written; 2 a VQZ container without a usable picture; 64 a usage error. A batch exits with the
highest status of its files.
)";

namespace {

std::optional<TOutputKind> OutputKindNamed(const std::string& Name) {
  static const std::map<std::string, TOutputKind> Kinds = {
      {"pam", TOutputKind::okPam}, {"bmp", TOutputKind::okBitmap}, {"png", TOutputKind::okPng}};
  std::string Lower = Name;
  std::transform(Lower.begin(), Lower.end(), Lower.begin(),
                 [](unsigned char C) { return static_cast<char>(std::tolower(C)); });
  const auto Found = Kinds.find(Lower);
  return Found != Kinds.end() ? std::optional(Found->second) : std::nullopt;
}

uint64_t ParseNumber(const std::string& Option, const std::string& Text, uint64_t Largest) {
  uint64_t Value = 0;
  const char* End = Text.data() + Text.size();
  const auto [Stop, Failure] = std::from_chars(Text.data(), End, Value);
  if (Text.empty() || Failure != std::errc() || Stop != End)
    throw EUsageError(Option + " wants a number, not \"" + Text + "\"");
  if (Value > Largest)
    throw EUsageError(Option + " must be at most " + std::to_string(Largest));
  return Value;
}

uint8_t ParseFilters(const std::string& List) {
  static const std::map<std::string, uint8_t> Filters = {
      {"none", pfNone}, {"sub", pfSub}, {"up", pfUp}, {"average", pfAverage}, {"paeth", pfPaeth}};
  uint8_t Set = 0;
  for (size_t Start = 0; Start < List.size();) {
    const size_t Comma = std::min(List.find(',', Start), List.size());
    const std::string Name = List.substr(Start, Comma - Start);
    const auto Found = Filters.find(Name);
    if (Found == Filters.end())
      throw EUsageError("unknown filter \"" + Name + "\" (none, sub, up, average, paeth)");
    Set |= Found->second;
    Start = Comma + 1;
    if (Comma + 1 == List.size())
      throw EUsageError("--filters ends with a comma");
  }
  return Set;
}

// An option's value: after "=", or the next argument.
std::string ValueOf(const std::vector<std::string>& Args, size_t& Index, const std::string& Name) {
  const std::string& Arg = Args[Index];
  if (Arg.size() > Name.size())
    return Arg.substr(Name.size() + 1);
  if (++Index == Args.size())
    throw EUsageError(Name + " wants a value");
  return Args[Index];
}

bool HasPrefix(const std::string& Text, const std::string& Prefix) {
  return Text.compare(0, Prefix.size(), Prefix) == 0;
}

bool IsOption(const std::string& Arg, const std::string& Name) {
  return Arg == Name || HasPrefix(Arg, Name + "=");
}

struct TParsed {
  TCommandLine Line;
  bool SawTo = false, SawOutDir = false, SawSize = false, SawJobs = false;
};

constexpr uint64_t MaxJobs = 1024;

void ParseOption(const std::vector<std::string>& Args, size_t& Index, TParsed& Parsed) {
  const std::string& Arg = Args[Index];
  TCommandLine& Line = Parsed.Line;
  if (Arg == "--json") {
    Line.Json = true;
  } else if (IsOption(Arg, "--to")) {
    const std::string Name = ValueOf(Args, Index, "--to");
    const auto Kind = OutputKindNamed(Name);
    if (!Kind)
      throw EUsageError("--to wants pam, bmp or png, not \"" + Name + "\"");
    Line.To = *Kind;
    Parsed.SawTo = true;
  } else if (IsOption(Arg, "--out-dir")) {
    Line.OutDir = ValueOf(Args, Index, "--out-dir");
    if (Line.OutDir.empty())
      throw EUsageError("--out-dir wants a directory");
    Parsed.SawOutDir = true;
  } else if (HasPrefix(Arg, "--filters=")) {
    Line.Writer.Filters = ParseFilters(Arg.substr(10));
  } else if (HasPrefix(Arg, "--level=")) {
    Line.Writer.Level = static_cast<uint8_t>(ParseNumber("--level", Arg.substr(8), 9));
  } else if (HasPrefix(Arg, "--max-idat=")) {
    Line.Writer.MaxDataChunkSize =
        static_cast<uint32_t>(ParseNumber("--max-idat", Arg.substr(11), MaxDataChunkSizeLimit));
  } else if (IsOption(Arg, "--threads")) {
    Line.Writer.Threads = static_cast<unsigned>(
        ParseNumber("--threads", ValueOf(Args, Index, "--threads"), MaxEncodeThreads));
    if (*Line.Writer.Threads == 0)
      throw EUsageError("--threads must be at least 1");
  } else if (IsOption(Arg, "--size")) {
    Line.ThumbnailSize = static_cast<uint32_t>(
        ParseNumber("--size", ValueOf(Args, Index, "--size"), LargestThumbnailSize));
    if (Line.ThumbnailSize == 0)
      throw EUsageError("--size must be at least 1");
    Parsed.SawSize = true;
  } else if (IsOption(Arg, "--jobs")) {
    Line.Jobs =
        static_cast<unsigned>(ParseNumber("--jobs", ValueOf(Args, Index, "--jobs"), MaxJobs));
    if (Line.Jobs == 0)
      throw EUsageError("--jobs must be at least 1");
    Parsed.SawJobs = true;
  } else if (Arg == "--interlace" || Arg == "--no-interlace") {
    Line.Writer.Interlace = Arg == "--interlace";
  } else {
    throw EUsageError("unknown option \"" + Arg + "\"");
  }
}

void CheckFileCount(const TCommandLine& Line, size_t Count, const char* Form) {
  if (Line.Files.size() != Count)
    throw EUsageError(std::string("usage: vqzconv ") + Form);
}

void CheckConvert(TParsed& Parsed) {
  TCommandLine& Line = Parsed.Line;
  if (Parsed.SawOutDir && !Parsed.SawTo)
    throw EUsageError("--out-dir goes with --to pam|bmp|png");
  Line.Batch = Parsed.SawTo;
  if (Line.Batch) {
    if (Line.Files.empty())
      throw EUsageError("usage: vqzconv convert IN... --to pam|bmp|png [--out-dir DIR] [--jobs N]");
  } else {
    CheckFileCount(Line, 2, "convert IN OUT");
    const auto Kind = OutputKindOf(Line.Files[1]);
    if (!Kind)
      throw EUsageError("cannot tell the output kind of \"" + Line.Files[1] +
                        "\": give it the extension .pam, .bmp or .png");
    Line.To = *Kind;
  }
  if (Line.Writer.AnyGiven() && Line.To != TOutputKind::okPng)
    throw EUsageError("the PNG writer options go with PNG output only");
  if (Line.Json)
    throw EUsageError("--json goes with info only");
  if (Parsed.SawJobs && !Line.Batch)
    throw EUsageError("--jobs goes with --to pam|bmp|png");
}

void CheckCommand(TParsed& Parsed) {
  TCommandLine& Line = Parsed.Line;
  if (Parsed.SawSize && Line.Command != "thumbnail")
    throw EUsageError("--size goes with thumbnail only");
  const bool Other = Parsed.SawTo || Parsed.SawOutDir || Parsed.SawJobs || Line.Writer.AnyGiven();
  if (Line.Command == "convert")
    return CheckConvert(Parsed);
  if (Line.Command == "extract") {
    CheckFileCount(Line, 2, "extract IN OUT");
    if (Other || Line.Json)
      throw EUsageError("extract takes no options");
  } else if (Line.Command == "thumbnail") {
    CheckFileCount(Line, 2, "thumbnail IN OUT [--size N]");
    if (Other || Line.Json)
      throw EUsageError("thumbnail takes only --size");
  } else if (Line.Command == "info") {
    CheckFileCount(Line, 1, "info IN [--json]");
    if (Other)
      throw EUsageError("info takes only --json");
  } else {
    throw EUsageError("unknown command \"" + Line.Command +
                      "\" (extract, info, convert, thumbnail)");
  }
}

} // namespace

std::optional<TOutputKind> OutputKindOf(const std::string& Path) {
  const std::string Extension = std::filesystem::path(Path).extension().string();
  if (Extension.empty())
    return std::nullopt;
  return OutputKindNamed(Extension.substr(1));
}

const char* OutputExtension(TOutputKind Kind) {
  switch (Kind) {
  case TOutputKind::okBitmap:
    return ".bmp";
  case TOutputKind::okPng:
    return ".png";
  default:
    return ".pam";
  }
}

TCommandLine ParseCommandLine(const std::vector<std::string>& Args) {
  if (std::any_of(Args.begin(), Args.end(),
                  [](const std::string& Arg) { return Arg == "--help" || Arg == "-h"; }) ||
      (!Args.empty() && Args[0] == "help")) {
    TCommandLine Help;
    Help.Command = "help";
    return Help;
  }
  if (Args.empty())
    throw EUsageError("no command given");
  TParsed Parsed;
  Parsed.Line.Command = Args[0];
  bool OptionsEnded = false;
  for (size_t Index = 1; Index < Args.size(); ++Index) {
    const std::string& Arg = Args[Index];
    if (!OptionsEnded && Arg == "--")
      OptionsEnded = true;
    else if (!OptionsEnded && HasPrefix(Arg, "-") && Arg != "-")
      ParseOption(Args, Index, Parsed);
    else
      Parsed.Line.Files.push_back(Arg);
  }
  CheckCommand(Parsed);
  return Parsed.Line;
}
