// The codec's binding to zlib: the allocation hooks every z_stream of ours uses, the stream
// record, its errors, and whole-buffer inflate and deflate (not part of the public face).
#pragma once

#include <zlib.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Allocate Items × Size bytes, uninitialised. Never throws through zlib: an overflowing request,
// an exhausted heap or an injected failure gives null, which zlib reports as Z_MEM_ERROR.
voidpf ZlibAlloc(voidpf Opaque, uInt Items, uInt Size);
void ZlibFree(voidpf Opaque, voidpf Address);

// Clears Stream and installs ZlibAlloc and ZlibFree, so that they are what zlib calls.
void PrepareZlibStream(z_stream& Stream);

// Test hooks: blocks from ZlibAlloc not yet freed, and a way to make the n-th allocation from now
// on (1 = the next one) and every one after it fail; 0 switches failures off.
int64_t ZlibLiveBlocks();
void ZlibFailAllocationsFrom(int64_t Nth);

// The inflater's input buffer, refilled from the data stream.
constexpr int32_t ZlibInputBufferSize = 65535;

// zlib's stream state joined with its work buffer. It ends whatever was begun and not ended when
// it goes, so no path leaks zlib's state.
struct ZlibStream {
  enum TDirection { zdNone, zdInflating, zdDeflating };

  ZlibStream() = default;
  ZlibStream(const ZlibStream&) = delete;
  ZlibStream& operator=(const ZlibStream&) = delete;
  ~ZlibStream();

  z_stream ZLib{};
  std::unique_ptr<uint8_t[]> WorkBuffer;
  TDirection Direction = zdNone;
};

// Both raise EPNGZLIBError with the zlib text of the failing code when zlib cannot start (a level
// outside 0..9, no memory), with the work buffer already freed.
void BeginInflate(ZlibStream& Record);
void BeginDeflate(uint8_t Level, int32_t BufferSize, ZlibStream& Record);
void EndInflate(ZlibStream& Record);
// Output still pending inside zlib is discarded: the caller finishes with Z_FINISH first.
void EndDeflate(ZlibStream& Record);

// "data error (-3)" and the like; a code outside zlib's table gives "(code)".
std::string ZlibErrorText(int Code);
// Raises EPNGZLIBError whose message is MsgZlibError followed by ZlibErrorText(Code).
[[noreturn]] void RaiseZlibError(int Code);

enum TInflateResult { irDone, irDamaged, irOverCap };

// Inflates one whole zlib stream. irDamaged: empty input, broken, truncated or dictionary-bound
// data, with zlib's text in ErrorText; irOverCap: the data holds more than MaxOutputSize bytes,
// of which the first MaxOutputSize are in Output. Never raises.
TInflateResult InflateBuffer(const uint8_t* Input, int32_t InputSize, size_t MaxOutputSize,
                             std::vector<uint8_t>& Output, std::string& ErrorText);
// Deflates Input into one complete zlib stream; false with zlib's text on failure. Never raises.
bool DeflateBuffer(const uint8_t* Input, int32_t InputSize, int32_t Level,
                   std::vector<uint8_t>& Output, std::string& ErrorText);
