#include "png/pngsegdeflate.h"

#include "png/pngbyteorder.h"
#include "png/pngimage.h"
#include "png/pngzlib.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <system_error>

namespace {

constexpr size_t WindowBytes = 32 * 1024;
// Room beyond deflateBound for the sync flush's empty stored block and the bits before it.
constexpr size_t FlushRoom = 16;

std::atomic<unsigned> ProcessEncodeThreads = 0;

unsigned MachineThreads() {
  return std::clamp(std::thread::hardware_concurrency(), 1u, MaxEncodeThreads);
}

std::unique_ptr<uint8_t[]> NewBuffer(size_t Size) {
  std::unique_ptr<uint8_t[]> Buffer(new (std::nothrow) uint8_t[std::max<size_t>(Size, 1)]);
  if (!Buffer)
    RaiseZlibError(Z_MEM_ERROR);
  return Buffer;
}

// Window becomes the last WindowBytes of what it held followed by Bytes.
void KeepLastWindow(std::vector<uint8_t>& Window, const uint8_t* Bytes, size_t Count) {
  if (Count >= WindowBytes) {
    Window.assign(Bytes + Count - WindowBytes, Bytes + Count);
    return;
  }
  const size_t Kept = std::min(Window.size(), WindowBytes - Count);
  Window.erase(Window.begin(), Window.end() - static_cast<ptrdiff_t>(Kept));
  Window.insert(Window.end(), Bytes, Bytes + Count);
}

} // namespace

unsigned DefaultEncodeThreads() {
  const unsigned Set = ProcessEncodeThreads;
  return Set == 0 ? MachineThreads() : Set;
}

void SetDefaultEncodeThreads(unsigned Count) {
  ProcessEncodeThreads = std::min(Count, MaxEncodeThreads);
}

std::array<uint8_t, 2> ZlibStreamHeader(int Level) {
  const unsigned LevelFlags = Level < 2 ? 0 : Level < 6 ? 1 : Level == 6 ? 2 : 3;
  unsigned Header = (Z_DEFLATED + ((MAX_WBITS - 8) << 4)) << 8 | LevelFlags << 6;
  Header += 31 - Header % 31;
  return {static_cast<uint8_t>(Header >> 8), static_cast<uint8_t>(Header)};
}

// One segment's buffers and zlib state, made once and used for every segment in its turn.
struct TSegmentedDeflater::TSegment {
  z_stream Zlib{};
  bool ZlibStarted = false;
  std::unique_ptr<uint8_t[]> Input;
  size_t InputSize = 0;
  std::unique_ptr<uint8_t[]> Output;
  size_t OutputCapacity = 0, OutputSize = 0;
  std::vector<uint8_t> Dictionary;
  bool Last = false;
  // Written by the thread that compressed it, read by the caller, both under the lock.
  bool Done = false;
  int Result = Z_OK;
  uLong Adler = 1;

  TSegment(int Level, size_t Capacity) : Input(NewBuffer(Capacity)) {
    PrepareZlibStream(Zlib);
    const int Started = deflateInit2(&Zlib, Level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    if (Started != Z_OK)
      RaiseZlibError(Started);
    ZlibStarted = true;
    OutputCapacity = deflateBound(&Zlib, static_cast<uLong>(Capacity)) + FlushRoom;
    Output = NewBuffer(OutputCapacity);
    Dictionary.reserve(WindowBytes);
  }
  TSegment(const TSegment&) = delete;
  TSegment& operator=(const TSegment&) = delete;
  ~TSegment() {
    if (ZlibStarted)
      deflateEnd(&Zlib);
  }

  // Every deflate result is checked: a segment that did not end as asked is a failure.
  void Compress() {
    int Status = deflateReset(&Zlib);
    if (Status == Z_OK && !Dictionary.empty())
      Status = deflateSetDictionary(&Zlib, Dictionary.data(), static_cast<uInt>(Dictionary.size()));
    Zlib.next_in = Input.get();
    Zlib.avail_in = static_cast<uInt>(InputSize);
    Zlib.next_out = Output.get();
    Zlib.avail_out = static_cast<uInt>(OutputCapacity);
    if (Status == Z_OK) {
      Status = deflate(&Zlib, Last ? Z_FINISH : Z_SYNC_FLUSH);
      const bool Ended = Last ? Status == Z_STREAM_END
                              : Status == Z_OK && Zlib.avail_in == 0 && Zlib.avail_out > 0;
      Status = Ended ? Z_OK : Status < 0 ? Status : Z_BUF_ERROR;
    }
    OutputSize = OutputCapacity - Zlib.avail_out;
    Adler = adler32(1, Input.get(), static_cast<uInt>(InputSize));
    Result = Status;
  }
};

TSegmentedDeflater::TSegmentedDeflater(int Level, uint64_t Total, uint32_t Bytes, unsigned Threads,
                                       TSink Output)
    : Sink(std::move(Output)), TotalInput(Total), SegmentBytes(std::max(Bytes, 1u)),
      SegmentCount(Total < 2 * uint64_t{SegmentBytes} ? 1
                                                      : (Total + SegmentBytes - 1) / SegmentBytes) {
  const unsigned Working = SegmentCount == 1 ? 1 : std::clamp(Threads, 1u, MaxEncodeThreads);
  const uint64_t Slots = Working == 1 ? 1 : std::min<uint64_t>(Working + 1, SegmentCount);
  for (uint64_t Slot = 0; Slot < Slots; ++Slot)
    Segments.push_back(std::make_unique<TSegment>(Level, CapacityOf(0)));
  Tail.reserve(WindowBytes);
  if (Working > 1)
    StartThreads(Working);
  const std::array<uint8_t, 2> Header = ZlibStreamHeader(Level);
  Sink(Header.data(), Header.size());
}

TSegmentedDeflater::~TSegmentedDeflater() {
  {
    const std::lock_guard<std::mutex> Hold(Lock);
    Stopping = true;
  }
  WorkReady.notify_all();
  for (std::thread& Worker : Workers)
    Worker.join();
}

// The stream does not depend on the threads, so where the system starts fewer than asked, the
// segments wait for the ones there are; with none, the calling thread compresses them.
void TSegmentedDeflater::StartThreads(unsigned Count) {
  try {
    for (unsigned Started = 0; Started < Count; ++Started)
      Workers.emplace_back([this] { WorkerLoop(); });
  } catch (const std::system_error&) {
  }
}

void TSegmentedDeflater::WorkerLoop() {
  for (;;) {
    TSegment* Segment = nullptr;
    {
      std::unique_lock<std::mutex> Hold(Lock);
      WorkReady.wait(Hold, [this] { return Stopping || !Queue.empty(); });
      if (Stopping)
        return;
      Segment = Queue.front();
      Queue.pop_front();
    }
    Segment->Compress();
    {
      const std::lock_guard<std::mutex> Hold(Lock);
      Segment->Done = true;
    }
    SegmentDone.notify_all();
  }
}

size_t TSegmentedDeflater::CapacityOf(uint64_t Index) const {
  if (SegmentCount == 1)
    return static_cast<size_t>(TotalInput);
  if (Index + 1 < SegmentCount)
    return SegmentBytes;
  return static_cast<size_t>(TotalInput - Index * SegmentBytes);
}

void TSegmentedDeflater::Write(const uint8_t* Bytes, size_t Count) {
  while (Count > 0) {
    TSegment& Segment = SegmentAt(Submitted);
    const size_t Room = CapacityOf(Submitted) - Segment.InputSize;
    if (Room == 0) {
      // More input than the total the stream was made for.
      if (Submitted + 1 >= SegmentCount)
        RaiseZlibError(Z_STREAM_ERROR);
      Submit();
      continue;
    }
    const size_t Step = std::min(Count, Room);
    std::memcpy(Segment.Input.get() + Segment.InputSize, Bytes, Step);
    Segment.InputSize += Step;
    Bytes += Step;
    Count -= Step;
  }
}

void TSegmentedDeflater::Finish() {
  if (Submitted + 1 != SegmentCount || SegmentAt(Submitted).InputSize != CapacityOf(Submitted))
    RaiseZlibError(Z_STREAM_ERROR);
  Submit();
  EmitThrough(SegmentCount - 1);
  std::array<uint8_t, 4> Check{};
  PutBigEndian32(Check.data(), static_cast<uint32_t>(Adler));
  Sink(Check.data(), Check.size());
}

// Hands the filled segment to a thread (or compresses it here without one), then makes sure the
// slot the next segment fills has been emitted.
void TSegmentedDeflater::Submit() {
  TSegment& Segment = SegmentAt(Submitted);
  Segment.Last = Submitted + 1 == SegmentCount;
  Segment.Dictionary.assign(Tail.begin(), Tail.end());
  if (!Segment.Last)
    KeepLastWindow(Tail, Segment.Input.get(), Segment.InputSize);
  ++Submitted;
  if (Workers.empty()) {
    Segment.Compress();
    Segment.Done = true;
  } else {
    {
      const std::lock_guard<std::mutex> Hold(Lock);
      Queue.push_back(&Segment);
    }
    WorkReady.notify_one();
  }
  EmitDone();
  if (!Segment.Last && Submitted >= Segments.size())
    EmitThrough(Submitted - Segments.size());
}

void TSegmentedDeflater::EmitDone() {
  while (Emitted < Submitted) {
    TSegment& Segment = SegmentAt(Emitted);
    {
      const std::lock_guard<std::mutex> Hold(Lock);
      if (!Segment.Done)
        return;
    }
    Emit(Segment);
  }
}

void TSegmentedDeflater::EmitThrough(uint64_t Index) {
  while (Emitted <= Index) {
    TSegment& Segment = SegmentAt(Emitted);
    {
      std::unique_lock<std::mutex> Hold(Lock);
      SegmentDone.wait(Hold, [&Segment] { return Segment.Done; });
    }
    Emit(Segment);
  }
}

void TSegmentedDeflater::Emit(TSegment& Segment) {
  if (Segment.Result != Z_OK)
    RaiseZlibError(Segment.Result);
  Sink(Segment.Output.get(), Segment.OutputSize);
  Adler = adler32_combine(Adler, Segment.Adler, static_cast<z_off_t>(Segment.InputSize));
  ++Emitted;
  Segment.InputSize = 0;
  Segment.Done = false;
}
