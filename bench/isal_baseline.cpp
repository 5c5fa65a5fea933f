#include "bench/isal_baseline.h"

#include <isa-l/igzip_lib.h>

#include <memory>

bool InflateIdatChunksIsal(const TBytes& File, const std::vector<TIdatChunk>& Chunks, size_t Slice,
                           int64_t& Inflated, std::string& Error) {
  const auto State = std::make_unique<inflate_state>();
  isal_inflate_init(State.get());
  State->crc_flag = ISAL_ZLIB;
  std::vector<uint8_t> Output(Slice);
  Inflated = 0;
  const auto Feed = [&](uint8_t* Input, uint32_t Count) {
    State->next_in = Input;
    State->avail_in = Count;
    while (State->avail_in > 0 && State->block_state != ISAL_BLOCK_FINISH) {
      State->next_out = Output.data();
      State->avail_out = static_cast<uint32_t>(Slice);
      if (isal_inflate(State.get()) != ISAL_DECOMP_OK)
        return false;
      Inflated += static_cast<int64_t>(Slice - State->avail_out);
    }
    return true;
  };
  if (!FeedIdatChunks(File, Chunks, Feed, Error))
    return false;
  // ISA-L may hold inflated bytes back until it is given room for them.
  while (State->block_state != ISAL_BLOCK_FINISH) {
    State->next_out = Output.data();
    State->avail_out = static_cast<uint32_t>(Slice);
    if (isal_inflate(State.get()) != ISAL_DECOMP_OK || State->avail_out == Slice) {
      Error = "image data ends early";
      return false;
    }
    Inflated += static_cast<int64_t>(Slice - State->avail_out);
  }
  return true;
}
