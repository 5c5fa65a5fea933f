#include "platform/core/classes.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

namespace {

constexpr int64_t CopyBlockSize = 1 << 20;

int32_t BlockCount(int64_t Remaining) {
  return static_cast<int32_t>(std::min<int64_t>(Remaining, std::numeric_limits<int32_t>::max()));
}

} // namespace

int64_t TStream::GetSize() {
  const int64_t Position = GetPosition();
  const int64_t Size = Seek(0, soEnd);
  Seek(Position, soBeginning);
  return Size;
}

void TStream::SetSize(int64_t) {
  throw EStreamError("The size of " + Describe() + " cannot be changed");
}

int64_t TStream::ReadFully(void* Buffer, int64_t Count) {
  auto* Target = static_cast<uint8_t*>(Buffer);
  int64_t Done = 0;
  while (Done < Count) {
    const int32_t Got = Read(Target + Done, BlockCount(Count - Done));
    if (Got <= 0)
      break;
    Done += Got;
  }
  return Done;
}

void TStream::ReadBuffer(void* Buffer, int64_t Count) {
  if (ReadFully(Buffer, Count) != std::max<int64_t>(Count, 0))
    throw EReadError("Stream read error: " + Describe() + " ended before all data was read");
}

void TStream::WriteBuffer(const void* Buffer, int64_t Count) {
  const auto* Source = static_cast<const uint8_t*>(Buffer);
  int64_t Done = 0;
  while (Done < Count) {
    const int32_t Put = Write(Source + Done, BlockCount(Count - Done));
    if (Put <= 0)
      throw EWriteError("Stream write error: " + Describe() + " took only " + std::to_string(Done) +
                        " of " + std::to_string(Count) + " bytes");
    Done += Put;
  }
}

int64_t TStream::CopyFrom(TStream& Source, int64_t Count) {
  if (Count <= 0)
    return 0;
  const int64_t StartPosition = GetPosition();
  const int64_t StartSize = GetSize();
  try {
    if (uint8_t* Span = WritableSpan(Count)) {
      Source.ReadBuffer(Span, Count);
      CommitWritableSpan(Count);
    } else {
      CopyThroughBuffer(Source, Count);
    }
  } catch (...) {
    try {
      if (GetSize() > StartSize)
        SetSize(StartSize);
      SetPosition(StartPosition);
    } catch (const Exception&) {
      // The copy's own failure is the one to report.
    }
    throw;
  }
  return Count;
}

void TStream::CopyThroughBuffer(TStream& Source, int64_t Count) {
  std::vector<uint8_t> Block(static_cast<size_t>(std::min(Count, CopyBlockSize)));
  for (int64_t Remaining = Count; Remaining > 0;) {
    const int64_t Step = std::min<int64_t>(Remaining, static_cast<int64_t>(Block.size()));
    Source.ReadBuffer(Block.data(), Step);
    WriteBuffer(Block.data(), Step);
    Remaining -= Step;
  }
}

uint8_t* TStream::WritableSpan(int64_t) {
  return nullptr;
}

void TStream::CommitWritableSpan(int64_t) {}

int32_t TMemoryStream::Read(void* Buffer, int32_t Count) {
  const int64_t Available = GetSize() - FPosition;
  if (Count <= 0 || Available <= 0)
    return 0;
  const auto Got = static_cast<int32_t>(std::min<int64_t>(Count, Available));
  std::memcpy(Buffer, FData.data() + FPosition, static_cast<size_t>(Got));
  FPosition += Got;
  return Got;
}

int32_t TMemoryStream::Write(const void* Buffer, int32_t Count) {
  if (Count <= 0)
    return 0;
  uint8_t* Target = WritableSpan(Count);
  std::memcpy(Target, Buffer, static_cast<size_t>(Count));
  FPosition += Count;
  return Count;
}

int64_t TMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  const int64_t Base = Origin == soBeginning ? 0 : Origin == soCurrent ? FPosition : GetSize();
  if (Offset < -Base)
    throw EStreamError("Seek before the beginning of " + Describe());
  FPosition = Base + Offset;
  return FPosition;
}

void TMemoryStream::SetSize(int64_t NewSize) {
  if (NewSize < 0)
    throw EStreamError("Negative size for " + Describe());
  try {
    FData.resize(static_cast<size_t>(NewSize));
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory();
  } catch (const std::length_error&) {
    throw EOutOfMemory();
  }
  FPosition = std::min(FPosition, NewSize);
}

void TMemoryStream::Clear() {
  std::vector<uint8_t>().swap(FData);
  FPosition = 0;
}

uint8_t* TMemoryStream::WritableSpan(int64_t Count) {
  const int64_t End = FPosition + Count;
  if (End > GetSize()) {
    const int64_t Position = FPosition;
    SetSize(End);
    FPosition = Position;
  }
  return FData.data() + FPosition;
}
