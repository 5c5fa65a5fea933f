// zlib stream helpers and whole-buffer routines.
#include "png/pngimage.h"
#include "png/pngzlib.h"

#include <algorithm>
#include <array>
#include <new>

namespace {

constexpr int LowestZlibCode = Z_VERSION_ERROR;
constexpr std::array<const char*, 9> ZlibCodeTexts{"incompatible version (-6)",
                                                   "buffer error (-5)",
                                                   "insufficient memory (-4)",
                                                   "data error (-3)",
                                                   "stream error (-2)",
                                                   "file error (-1)",
                                                   "(0)",
                                                   "stream end (1)",
                                                   "need dictionary (2)"};

constexpr size_t FirstOutputStep = 256;

// zlib's own message when it set one, else the text of the code.
std::string FailureText(const z_stream& Stream, int Code) {
  return Stream.msg != nullptr ? std::string(Stream.msg) : ZlibErrorText(Code);
}

void AllocateWorkBuffer(ZlibStream& Record, int32_t Size) {
  Record.WorkBuffer.reset(new (std::nothrow) uint8_t[static_cast<size_t>(Size)]);
  if (!Record.WorkBuffer)
    RaiseZlibError(Z_MEM_ERROR);
}

void ReleaseWorkBuffer(ZlibStream& Record) {
  Record.WorkBuffer.reset();
}

void EndStarted(ZlibStream& Record) {
  if (Record.Direction == ZlibStream::zdInflating)
    EndInflate(Record);
  else if (Record.Direction == ZlibStream::zdDeflating)
    EndDeflate(Record);
}

// Grows Output so that zlib may write up to Limit bytes in all, doubling each time.
bool GrowOutput(z_stream& Stream, std::vector<uint8_t>& Output, size_t Limit) {
  const size_t Written = Stream.total_out;
  const size_t NewSize = std::min(Limit, std::max(FirstOutputStep, Output.size() * 2));
  if (NewSize <= Written)
    return false;
  Output.resize(NewSize);
  Stream.next_out = Output.data() + Written;
  Stream.avail_out = static_cast<uInt>(std::min<size_t>(NewSize - Written, UINT32_MAX));
  return true;
}

} // namespace

ZlibStream::~ZlibStream() {
  EndStarted(*this);
}

std::string ZlibErrorText(int Code) {
  const int Index = Code - LowestZlibCode;
  if (Index < 0 || Index >= static_cast<int>(ZlibCodeTexts.size()))
    return "(" + std::to_string(Code) + ")";
  return ZlibCodeTexts[static_cast<size_t>(Index)];
}

void RaiseZlibError(int Code) {
  TPNGObject::RaisePngError<EPNGZLIBError>(PngMessage(MsgZlibError) + ZlibErrorText(Code));
}

void BeginInflate(ZlibStream& Record) {
  EndStarted(Record);
  PrepareZlibStream(Record.ZLib);
  AllocateWorkBuffer(Record, ZlibInputBufferSize);
  const int Result = inflateInit(&Record.ZLib);
  if (Result != Z_OK) {
    ReleaseWorkBuffer(Record);
    RaiseZlibError(Result);
  }
  Record.Direction = ZlibStream::zdInflating;
}

void BeginDeflate(uint8_t Level, int32_t BufferSize, ZlibStream& Record) {
  EndStarted(Record);
  PrepareZlibStream(Record.ZLib);
  if (BufferSize <= 0)
    RaiseZlibError(Z_BUF_ERROR);
  AllocateWorkBuffer(Record, BufferSize);
  Record.ZLib.next_out = Record.WorkBuffer.get();
  Record.ZLib.avail_out = static_cast<uInt>(BufferSize);
  const int Result = deflateInit(&Record.ZLib, Level);
  if (Result != Z_OK) {
    ReleaseWorkBuffer(Record);
    RaiseZlibError(Result);
  }
  Record.Direction = ZlibStream::zdDeflating;
}

void EndInflate(ZlibStream& Record) {
  if (Record.Direction == ZlibStream::zdInflating)
    inflateEnd(&Record.ZLib);
  Record.Direction = ZlibStream::zdNone;
  ReleaseWorkBuffer(Record);
}

void EndDeflate(ZlibStream& Record) {
  if (Record.Direction == ZlibStream::zdDeflating)
    deflateEnd(&Record.ZLib);
  Record.Direction = ZlibStream::zdNone;
  ReleaseWorkBuffer(Record);
}

TInflateResult InflateBuffer(const uint8_t* Input, int32_t InputSize, size_t MaxOutputSize,
                             std::vector<uint8_t>& Output, std::string& ErrorText) {
  Output.clear();
  if (Input == nullptr || InputSize <= 0) {
    ErrorText = "no compressed data";
    return irDamaged;
  }
  z_stream Stream;
  PrepareZlibStream(Stream);
  int Result = inflateInit(&Stream);
  if (Result != Z_OK) {
    ErrorText = FailureText(Stream, Result);
    return irDamaged;
  }
  Stream.next_in = const_cast<Bytef*>(Input);
  Stream.avail_in = static_cast<uInt>(InputSize);
  // One byte beyond the cap tells "too long" from "exactly the cap".
  const size_t Limit = std::max(MaxOutputSize, MaxOutputSize + 1);
  TInflateResult Outcome = irDone;
  try {
    do {
      if (Stream.avail_out == 0 && !GrowOutput(Stream, Output, Limit)) {
        Outcome = irOverCap;
        break;
      }
      Result = inflate(&Stream, Z_NO_FLUSH);
    } while (Result == Z_OK);
    if (Stream.total_out > MaxOutputSize) {
      Outcome = irOverCap;
    } else if (Outcome == irDone && Result != Z_STREAM_END) {
      Outcome = irDamaged;
      ErrorText = FailureText(Stream, Result);
    }
  } catch (const std::bad_alloc&) {
    Outcome = irDamaged;
    ErrorText = ZlibErrorText(Z_MEM_ERROR);
  }
  Output.resize(std::min<size_t>(Stream.total_out, MaxOutputSize));
  if (Outcome == irOverCap)
    ErrorText = "more than " + std::to_string(MaxOutputSize) + " bytes of data";
  inflateEnd(&Stream);
  return Outcome;
}

bool DeflateBuffer(const uint8_t* Input, int32_t InputSize, int32_t Level,
                   std::vector<uint8_t>& Output, std::string& ErrorText) {
  Output.clear();
  if (InputSize < 0 || (Input == nullptr && InputSize > 0)) {
    ErrorText = "no data to compress";
    return false;
  }
  z_stream Stream;
  PrepareZlibStream(Stream);
  int Result = deflateInit(&Stream, Level);
  if (Result != Z_OK) {
    ErrorText = FailureText(Stream, Result);
    return false;
  }
  Stream.next_in = const_cast<Bytef*>(Input);
  Stream.avail_in = static_cast<uInt>(InputSize);
  bool Done = true;
  try {
    Output.resize(deflateBound(&Stream, static_cast<uLong>(InputSize)));
    Stream.next_out = Output.data();
    Stream.avail_out = static_cast<uInt>(Output.size());
    Result = deflate(&Stream, Z_FINISH);
    if (Result != Z_STREAM_END) {
      Done = false;
      ErrorText = FailureText(Stream, Result);
    }
  } catch (const std::bad_alloc&) {
    Done = false;
    ErrorText = ZlibErrorText(Z_MEM_ERROR);
  }
  Output.resize(Done ? Stream.total_out : 0);
  deflateEnd(&Stream);
  return Done;
}
