// ISA-L's inflater for image data. It decodes about twice as fast as zlib's, but into a large
// buffer only: given a row of room it decodes ahead into buffers of its own, and a damaged stream
// makes it fail before handing over the bytes it decoded ahead of the damage. So it inflates into
// a staging buffer the rows are copied out of, and leaves every stream it fails on to zlib, which
// then decodes the whole image data again and fails as it always has.
#include "png/pnginflater.h"

#include "png/pngcpu.h"

#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

namespace {

constexpr uint32_t StagingBytes = 128 * 1024;

// The zlib header byte of deflate with the 32 KiB window; any other window size is zlib's to
// judge, since its checks of distances against a smaller window depend on how it is fed.
constexpr uint8_t DeflateWith32KWindow = 0x78;

template <typename T>
std::unique_ptr<T> NewOrRaise() {
  std::unique_ptr<T> Made(new (std::nothrow) T);
  if (!Made)
    RaiseZlibError(Z_MEM_ERROR);
  return Made;
}

class TIsalInflater final : public TImageInflater {
public:
  TIsalInflater()
      : State(NewOrRaise<inflate_state>()), Input(NewOrRaise<TInput>()),
        Staging(NewOrRaise<TStaging>()) {
    isal_inflate_init(State.get());
    State->crc_flag = ISAL_ZLIB;
  }
  uint8_t* InputBuffer() override { return Input->data(); }
  bool NeedsInput() const override { return StagedAt == StagedEnd && !Finished && Dry; }
  void TakeInput(int32_t Count) override {
    if (!HeaderSeen && Count > 0 && (*Input)[0] != DeflateWith32KWindow)
      throw EInflaterGaveUp{};
    HeaderSeen = HeaderSeen || Count > 0;
    State->next_in = Input->data();
    State->avail_in = static_cast<uint32_t>(Count);
    Dry = Count == 0;
  }
  int32_t Inflate(uint8_t* Destination, int32_t Count) override {
    int32_t Produced = 0;
    while (Produced < Count && (StagedAt < StagedEnd || Stage())) {
      const auto Step = std::min(static_cast<uint32_t>(Count - Produced), StagedEnd - StagedAt);
      std::memcpy(Destination + Produced, Staging->data() + StagedAt, Step);
      StagedAt += Step;
      Produced += static_cast<int32_t>(Step);
    }
    return Produced;
  }
  bool StreamEnded() const override { return Finished && StagedAt == StagedEnd; }

private:
  using TInput = std::array<uint8_t, ZlibInputBufferSize>;
  using TStaging = std::array<uint8_t, StagingBytes>;

  // Inflates the input given into the emptied staging buffer; false when nothing came.
  bool Stage() {
    if (Finished || Dry)
      return false;
    State->next_out = Staging->data();
    State->avail_out = StagingBytes;
    const int Result = isal_inflate(State.get());
    ClearUpperVectorHalves();
    if (Result != ISAL_DECOMP_OK)
      throw EInflaterGaveUp{};
    StagedAt = 0;
    StagedEnd = StagingBytes - State->avail_out;
    Finished = State->block_state == ISAL_BLOCK_FINISH;
    // Room left over means the input ran out; a full buffer may leave more to come.
    Dry = State->avail_in == 0 && State->avail_out > 0;
    if (StagedEnd == 0 && !Dry && !Finished)
      throw EInflaterGaveUp{};
    return StagedEnd > 0;
  }

  std::unique_ptr<inflate_state> State;
  std::unique_ptr<TInput> Input;
  std::unique_ptr<TStaging> Staging;
  uint32_t StagedAt = 0;
  uint32_t StagedEnd = 0;
  bool HeaderSeen = false;
  bool Finished = false;
  bool Dry = true;
};

} // namespace

std::unique_ptr<TImageInflater> NewIsalInflater() {
  return std::unique_ptr<TImageInflater>(NewOrRaise<TIsalInflater>().release());
}
