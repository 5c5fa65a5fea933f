#include "platform/core/classes.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string SystemReason() {
  return std::strerror(errno);
}

int OpenFlags(uint16_t Mode) {
  if (Mode == fmCreate)
    return O_RDWR | O_CREAT | O_TRUNC;
  switch (Mode & 0x3) {
  case fmOpenWrite:
    return O_WRONLY;
  case fmOpenReadWrite:
    return O_RDWR;
  default:
    return O_RDONLY;
  }
}

// Runs a read or write system call again when a signal interrupted it.
template <class Call>
ssize_t RetryInterrupted(Call SystemCall) {
  ssize_t Result;
  do {
    Result = SystemCall();
  } while (Result < 0 && errno == EINTR);
  return Result;
}

} // namespace

TFileStream::TFileStream(const std::string& FileName, uint16_t Mode) : FFileName(FileName) {
  // Opened non-blocking so that a FIFO or device named here cannot hang the open; reads and
  // writes then block again as usual.
  FHandle = ::open(FileName.c_str(), OpenFlags(Mode) | O_CLOEXEC | O_NONBLOCK, 0644);
  if (FHandle < 0) {
    if (Mode == fmCreate)
      throw EFCreateError("Cannot create file \"" + FileName + "\". " + SystemReason());
    throw EFOpenError("Cannot open file \"" + FileName + "\". " + SystemReason());
  }
  ::fcntl(FHandle, F_SETFL, ::fcntl(FHandle, F_GETFL) & ~O_NONBLOCK);
}

TFileStream::~TFileStream() {
  ::close(FHandle);
}

int32_t TFileStream::Read(void* Buffer, int32_t Count) {
  if (Count <= 0)
    return 0;
  const ssize_t Got =
      RetryInterrupted([&] { return ::read(FHandle, Buffer, static_cast<size_t>(Count)); });
  if (Got < 0)
    throw EReadError("Stream read error on " + Describe() + ": " + SystemReason());
  return static_cast<int32_t>(Got);
}

int32_t TFileStream::Write(const void* Buffer, int32_t Count) {
  if (Count <= 0)
    return 0;
  const ssize_t Put =
      RetryInterrupted([&] { return ::write(FHandle, Buffer, static_cast<size_t>(Count)); });
  if (Put < 0)
    throw EWriteError("Stream write error on " + Describe() + ": " + SystemReason());
  return static_cast<int32_t>(Put);
}

int64_t TFileStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  const int Whence = Origin == soBeginning ? SEEK_SET : Origin == soCurrent ? SEEK_CUR : SEEK_END;
  const off_t Position = ::lseek(FHandle, static_cast<off_t>(Offset), Whence);
  if (Position < 0)
    throw EStreamError("Cannot seek in " + Describe() + ": " + SystemReason());
  return Position;
}

int64_t TFileStream::GetSize() {
  struct stat Info {};
  if (::fstat(FHandle, &Info) == 0 && S_ISREG(Info.st_mode))
    return Info.st_size;
  return TStream::GetSize();
}

void TFileStream::SetSize(int64_t NewSize) {
  if (::ftruncate(FHandle, static_cast<off_t>(NewSize)) != 0)
    throw EStreamError("Cannot change the size of " + Describe() + ": " + SystemReason());
  if (GetPosition() > NewSize)
    Seek(NewSize, soBeginning);
}
