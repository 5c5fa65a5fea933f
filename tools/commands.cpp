// The commands, and the one place where a file's failure becomes its exit status.
#include "tools/arguments.h"
#include "tools/batch.h"
#include "tools/convert.h"
#include "tools/info.h"
#include "tools/input.h"
#include "tools/output.h"
#include "tools/thumbnail.h"
#include "tools/vqzconv.h"

#include <filesystem>
#include <functional>
#include <new>
#include <ostream>
#include <set>
#include <sstream>

namespace {

// Runs Work for the file Name; a failure is reported on Err as "Name: text".
int ForFile(const std::string& Name, std::ostream& Err, const std::function<void()>& Work) {
  try {
    Work();
    return ExitOk;
  } catch (const EToolError& Error) {
    Err << Name << ": " << Error.Message() << "\n";
    return Error.Status();
  } catch (const Exception& Error) {
    Err << Name << ": " << Error.Message() << "\n";
  } catch (const std::bad_alloc&) {
    Err << Name << ": out of memory\n";
  } catch (const std::exception& Error) {
    Err << Name << ": " << Error.what() << "\n";
  }
  return ExitFailed;
}

int Extract(const TCommandLine& Line, std::ostream& Err) {
  return ForFile(Line.Files[0], Err, [&] {
    TMemoryStream Picture;
    ExtractPicture(Line.Files[0], Picture);
    WriteWholeFile(Line.Files[1], Picture);
  });
}

int Info(const TCommandLine& Line, std::ostream& Out, std::ostream& Err) {
  return ForFile(Line.Files[0], Err, [&] {
    const TInputPicture Input = LoadInputPicture(Line.Files[0]);
    PrintInfo(Input, Line.Json, Out);
  });
}

int ConvertOne(const TCommandLine& Line, std::ostream& Err) {
  return ForFile(Line.Files[0], Err, [&] {
    TInputPicture Input = LoadInputPicture(Line.Files[0]);
    ConvertPicture(Input, Line.To, Line.Writer, Line.Files[1]);
  });
}

int Thumbnail(const TCommandLine& Line, std::ostream& Err) {
  return ForFile(Line.Files[0], Err, [&] {
    TInputPicture Input = LoadInputPicture(Line.Files[0]);
    WriteThumbnail(Input, Line.ThumbnailSize, Line.Files[1]);
  });
}

std::string BatchOutputPath(const TCommandLine& Line, const std::string& In) {
  const std::filesystem::path Name = std::filesystem::path(In).stem();
  return (std::filesystem::path(Line.OutDir) / Name).string() + OutputExtension(Line.To);
}

// Names are claimed in input order before any work starts, by files that fail as well: the
// second file with a name is an error whatever the timing.
std::vector<bool> RepeatedOutputs(const std::vector<std::string>& OutPaths) {
  std::set<std::string> Claimed;
  std::vector<bool> Repeated;
  for (const std::string& Path : OutPaths)
    Repeated.push_back(
        !Claimed.insert(std::filesystem::path(Path).lexically_normal().string()).second);
  return Repeated;
}

int ConvertBatch(const TCommandLine& Line, std::ostream& Out, std::ostream& Err) {
  const int Made =
      ForFile(Line.OutDir, Err, [&] { std::filesystem::create_directories(Line.OutDir); });
  if (Made != ExitOk)
    return Made;
  const size_t Total = Line.Files.size();
  std::vector<std::string> OutPaths;
  for (const std::string& In : Line.Files)
    OutPaths.push_back(BatchOutputPath(Line, In));
  const std::vector<bool> Repeated = RepeatedOutputs(OutPaths);
  const unsigned Jobs = Line.Jobs != 0 ? Line.Jobs : DefaultJobs();
  // Files converted side by side share the cores rather than each asking for all of them.
  TWriterOptions Writer = Line.Writer;
  if (!Writer.Threads)
    Writer.Threads = std::max(1u, DefaultEncodeThreads() / Jobs);
  const auto Convert = [&](size_t Index) {
    std::ostringstream Errors;
    const int Status = ForFile(Line.Files[Index], Errors, [&] {
      if (Repeated[Index])
        throw EToolError(ExitFailed, OutPaths[Index] + " was already written in this run");
      TInputPicture Input = LoadInputPicture(Line.Files[Index]);
      ConvertPicture(Input, Line.To, Writer, OutPaths[Index]);
    });
    return TFileOutcome{Status, Errors.str()};
  };
  int Highest = ExitOk;
  size_t Converted = 0;
  const auto Report = [&](size_t Index, const TFileOutcome& Outcome) {
    Err << Outcome.Errors << std::flush;
    Out << "[" << Index + 1 << "/" << Total << "] " << Line.Files[Index]
        << (Outcome.Status == ExitOk ? " -> " + OutPaths[Index] : " failed") << std::endl;
    Converted += Outcome.Status == ExitOk ? 1 : 0;
    Highest = std::max(Highest, Outcome.Status);
  };
  RunInOrder(Total, Jobs, Convert, Report);
  Out << Converted << " of " << Total << (Total == 1 ? " file" : " files") << " converted, "
      << Total - Converted << " failed" << std::endl;
  return Highest;
}

} // namespace

int RunVqzconv(const std::vector<std::string>& Args, std::ostream& Out, std::ostream& Err) {
  TCommandLine Line;
  try {
    Line = ParseCommandLine(Args);
  } catch (const EUsageError& Error) {
    Err << "vqzconv: " << Error.Message() << "\nTry \"vqzconv --help\".\n";
    return ExitUsage;
  }
  if (Line.Command == "help") {
    Out << HelpText;
    return ExitOk;
  }
  if (Line.Command == "extract")
    return Extract(Line, Err);
  if (Line.Command == "info")
    return Info(Line, Out, Err);
  if (Line.Command == "thumbnail")
    return Thumbnail(Line, Err);
  return Line.Batch ? ConvertBatch(Line, Out, Err) : ConvertOne(Line, Err);
}
