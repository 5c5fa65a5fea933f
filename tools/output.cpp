#include "tools/output.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

std::string Renamed(std::string Message, const std::string& From, const std::string& To) {
  for (size_t At = Message.find(From); At != std::string::npos;
       At = Message.find(From, At + To.size()))
    Message.replace(At, From.size(), To);
  return Message;
}

void WriteTemporary(const std::string& Temporary, TMemoryStream& Bytes) {
  TFileStream File(Temporary, fmCreate);
  Bytes.SetPosition(0);
  File.CopyFrom(Bytes, Bytes.GetSize());
}

} // namespace

void WriteWholeFile(const std::string& Path, TMemoryStream& Bytes) {
  const std::string Temporary = Path + ".part";
  try {
    WriteTemporary(Temporary, Bytes);
  } catch (const EFCreateError& Error) {
    throw EFCreateError(Renamed(Error.Message(), Temporary, Path));
  } catch (const EWriteError& Error) {
    std::remove(Temporary.c_str());
    throw EWriteError(Renamed(Error.Message(), Temporary, Path));
  }
  std::error_code Failure;
  std::filesystem::rename(Temporary, Path, Failure);
  if (Failure) {
    std::remove(Temporary.c_str());
    throw EFCreateError("Cannot create file \"" + Path + "\". " + Failure.message());
  }
}
