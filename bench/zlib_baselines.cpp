// The buffer sizes are our decoder's and writer's, so what remains between those and zlib alone
// is what the codec adds.
#include "bench/zlib_baselines.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t BufferSize = 65535;

uint32_t BigEndian32(const uint8_t* At) {
  return uint32_t{At[0]} << 24 | uint32_t{At[1]} << 16 | uint32_t{At[2]} << 8 | At[3];
}

// Ends the stream whichever way the caller leaves.
struct TInflater {
  z_stream Z{};
  bool Started = inflateInit(&Z) == Z_OK;
  ~TInflater() {
    if (Started)
      inflateEnd(&Z);
  }
};

struct TDeflater {
  z_stream Z{};
  bool Started;
  explicit TDeflater(int Level) : Started(deflateInit(&Z, Level) == Z_OK) {}
  ~TDeflater() {
    if (Started)
      deflateEnd(&Z);
  }
};

// Inflates what is in Z's input into Output, restarting at Output's start whenever it is full.
// False on a zlib error; Ended tells that the stream is complete.
bool InflateInput(z_stream& Z, uint8_t* Output, size_t OutputSize, int64_t& Produced, bool& Ended) {
  while (Z.avail_in > 0 && !Ended) {
    Z.next_out = Output;
    Z.avail_out = static_cast<uInt>(OutputSize);
    const int Result = inflate(&Z, Z_NO_FLUSH);
    if (Result != Z_OK && Result != Z_STREAM_END)
      return false;
    Produced += static_cast<int64_t>(OutputSize - Z.avail_out);
    Ended = Result == Z_STREAM_END;
  }
  return true;
}

bool Fail(std::string& Error, std::string Text) {
  Error = std::move(Text);
  return false;
}

} // namespace

bool FindIdatChunks(const TBytes& File, std::vector<TIdatChunk>& Chunks, std::string& Error) {
  Chunks.clear();
  for (size_t At = 8; At + 12 <= File.size();) {
    const uint32_t Length = BigEndian32(File.data() + At);
    if (Length > File.size() - At - 12)
      return Fail(Error, "a chunk runs past the end of the file");
    if (std::memcmp(File.data() + At + 4, "IDAT", 4) == 0)
      Chunks.push_back({At + 4, Length});
    At += size_t{Length} + 12;
  }
  return Chunks.empty() ? Fail(Error, "no IDAT chunk") : true;
}

bool FeedIdatChunks(const TBytes& File, const std::vector<TIdatChunk>& Chunks,
                    const TInputFeed& Feed, std::string& Error) {
  std::vector<uint8_t> Input(BufferSize);
  for (const TIdatChunk& Chunk : Chunks) {
    const uint8_t* Body = File.data() + Chunk.TypeOffset + 4;
    uLong Crc = crc32(0, File.data() + Chunk.TypeOffset, 4);
    for (uint32_t Done = 0; Done < Chunk.Length;) {
      const auto Count = static_cast<uint32_t>(std::min<size_t>(BufferSize, Chunk.Length - Done));
      std::memcpy(Input.data(), Body + Done, Count);
      Crc = crc32(Crc, Input.data(), Count);
      if (!Feed(Input.data(), Count))
        return Fail(Error, "inflate failed");
      Done += Count;
    }
    if (Crc != BigEndian32(Body + Chunk.Length))
      return Fail(Error, "IDAT CRC mismatch");
  }
  return true;
}

bool InflateIdatChunks(const TBytes& File, const std::vector<TIdatChunk>& Chunks, size_t Slice,
                       int64_t& Inflated, std::string& Error) {
  TInflater Inflater;
  if (!Inflater.Started)
    return Fail(Error, "inflateInit failed");
  std::vector<uint8_t> Output(Slice);
  Inflated = 0;
  bool Ended = false;
  const auto Feed = [&](uint8_t* Input, uint32_t Count) {
    Inflater.Z.next_in = Input;
    Inflater.Z.avail_in = Count;
    return InflateInput(Inflater.Z, Output.data(), Slice, Inflated, Ended);
  };
  if (!FeedIdatChunks(File, Chunks, Feed, Error))
    return false;
  return Ended || Fail(Error, "image data ends early");
}

bool InflatedImageData(const TBytes& File, TBytes& Rows, std::string& Error) {
  std::vector<TIdatChunk> Chunks;
  if (!FindIdatChunks(File, Chunks, Error))
    return false;
  TBytes Joined;
  for (const TIdatChunk& Chunk : Chunks) {
    const auto Body = File.begin() + static_cast<std::ptrdiff_t>(Chunk.TypeOffset + 4);
    Joined.insert(Joined.end(), Body, Body + Chunk.Length);
  }
  TInflater Inflater;
  if (!Inflater.Started)
    return Fail(Error, "inflateInit failed");
  Inflater.Z.next_in = Joined.data();
  Inflater.Z.avail_in = static_cast<uInt>(Joined.size());
  Rows.clear();
  std::vector<uint8_t> Slice(BufferSize);
  for (;;) {
    Inflater.Z.next_out = Slice.data();
    Inflater.Z.avail_out = static_cast<uInt>(Slice.size());
    const int Result = inflate(&Inflater.Z, Z_NO_FLUSH);
    if (Result != Z_OK && Result != Z_STREAM_END)
      return Fail(Error, "inflate failed");
    Rows.insert(Rows.end(), Slice.data(), Slice.data() + (Slice.size() - Inflater.Z.avail_out));
    if (Result == Z_STREAM_END)
      return true;
  }
}

bool DeflateRows(const TBytes& Rows, int Level, int64_t& Compressed, std::string& Error) {
  TDeflater Deflater(Level);
  if (!Deflater.Started)
    return Fail(Error, "deflateInit failed");
  std::vector<uint8_t> Output(BufferSize);
  z_stream& Z = Deflater.Z;
  Z.next_in = const_cast<Bytef*>(Rows.data());
  Z.avail_in = static_cast<uInt>(Rows.size());
  Compressed = 0;
  for (;;) {
    Z.next_out = Output.data();
    Z.avail_out = static_cast<uInt>(Output.size());
    const int Result = deflate(&Z, Z_FINISH);
    if (Result != Z_OK && Result != Z_STREAM_END)
      return Fail(Error, "deflate failed");
    Compressed += static_cast<int64_t>(Output.size() - Z.avail_out);
    if (Result == Z_STREAM_END)
      return true;
  }
}
