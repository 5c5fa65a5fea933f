// One zlib stream compressed in segments on several threads (not part of the public face). The
// input is cut into segments of a fixed size; each is deflated on its own, primed with the last
// 32 KiB of the segment before it and ended with a sync flush, so the pieces joined are one raw
// deflate stream. The bytes depend on the segment size and the level only, never on the number
// of threads or their timing.
#pragma once

#include <zlib.h>

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// The writer's segment size: large enough that the 5-byte flush marker and the restarted block
// statistics cost well under 0.1% of the size, small enough that a 2048² image splits in a dozen.
constexpr uint32_t DeflateSegmentBytes = 1 << 20;

class TSegmentedDeflater {
public:
  using TSink = std::function<void(const uint8_t* Bytes, size_t Count)>;

  // Level as zlib's; TotalInput is what Write will be given in all. Input below two segments is
  // one segment, compressed on the calling thread, and gives the bytes zlib's compress2 gives.
  // Everything the stream needs (buffers, zlib states, threads) is made here, so that a failure
  // to get it raises before a byte reaches Sink: EPNGZLIBError.
  TSegmentedDeflater(int Level, uint64_t TotalInput, uint32_t SegmentBytes, unsigned Threads,
                     TSink Sink);
  TSegmentedDeflater(const TSegmentedDeflater&) = delete;
  TSegmentedDeflater& operator=(const TSegmentedDeflater&) = delete;
  // Stops the threads, waiting for the segments they are compressing.
  ~TSegmentedDeflater();

  void Write(const uint8_t* Bytes, size_t Count);
  // Compresses what is left and hands over the rest of the stream, the Adler-32 check last.
  void Finish();

  // The threads started; fewer than asked for where the system gives no more.
  size_t ThreadCount() const { return Workers.size(); }

private:
  struct TSegment;

  void StartThreads(unsigned Count);
  void WorkerLoop();
  TSegment& SegmentAt(uint64_t Index) { return *Segments[Index % Segments.size()]; }
  size_t CapacityOf(uint64_t Index) const;
  void Submit();
  void EmitDone();
  void EmitThrough(uint64_t Index);
  void Emit(TSegment& Segment);

  TSink Sink;
  uint64_t TotalInput;
  uint32_t SegmentBytes;
  uint64_t SegmentCount;
  std::vector<std::unique_ptr<TSegment>> Segments;
  std::vector<uint8_t> Tail; // the last 32 KiB of the latest segment submitted
  uint64_t Submitted = 0, Emitted = 0;
  uLong Adler = 1;

  std::mutex Lock;
  std::condition_variable WorkReady, SegmentDone;
  std::deque<TSegment*> Queue;
  bool Stopping = false;
  std::vector<std::thread> Workers;
};

// The two bytes zlib's deflateInit begins a stream at Level with.
std::array<uint8_t, 2> ZlibStreamHeader(int Level);
