// ISA-L's inflater for image data. It decodes about twice as fast as zlib's, but into a large
// buffer only: given a row of room it decodes ahead into buffers of its own, and a damaged stream
// makes it fail before handing over the bytes it decoded ahead of the damage. So it inflates into
// a staging buffer the rows are copied out of, and leaves every stream it fails on to zlib, which
// then decodes the whole image data again and fails as it always has. ISA-L inflates the bare
// deflate stream: the zlib header and check value around it are read here, and the check value
// computed by UpdateAdler32, several times as fast as ISA-L's own.
#include "png/pnginflater.h"

#include "png/pngadler.h"
#include "png/pngbyteorder.h"
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
  }
  uint8_t* InputBuffer() override { return Input->data(); }
  bool NeedsInput() const override { return StagedAt == StagedEnd && !Finished && Dry; }
  void TakeInput(int32_t Count) override {
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
  enum TPart : int { ptHeader, ptDeflate, ptCheckValue };
  static constexpr uint32_t HeaderBytes = 2;
  static constexpr uint32_t CheckValueBytes = 4;

  // Inflates the input given into the emptied staging buffer; false when nothing came, the
  // input being used up or the stream ended.
  bool Stage() {
    if (Finished || Dry)
      return false;
    StagedAt = StagedEnd = 0;
    if (Part == ptHeader)
      ReadHeader();
    if (Part == ptDeflate)
      InflateDeflate();
    if (Part == ptCheckValue)
      ReadCheckValue();
    if (StagedEnd == 0 && !Dry && !Finished)
      throw EInflaterGaveUp{};
    return StagedEnd > 0;
  }

  // A preset dictionary, or a window other than 32 KiB, is zlib's to judge.
  void ReadHeader() {
    if (!Collect(HeaderBytes))
      return;
    const unsigned Header = unsigned{Wrapper[0]} << 8 | Wrapper[1];
    constexpr unsigned PresetDictionary = 0x20;
    if (Wrapper[0] != DeflateWith32KWindow || Header % 31 != 0 ||
        (Wrapper[1] & PresetDictionary) != 0)
      throw EInflaterGaveUp{};
    Part = ptDeflate;
    Collected = 0;
  }

  void InflateDeflate() {
    State->next_out = Staging->data();
    State->avail_out = StagingBytes;
    const int Result = isal_inflate(State.get());
    ClearUpperVectorHalves();
    if (Result != ISAL_DECOMP_OK)
      throw EInflaterGaveUp{};
    StagedEnd = StagingBytes - State->avail_out;
    Adler = UpdateAdler32(Adler, Staging->data(), StagedEnd);
    if (State->block_state == ISAL_BLOCK_FINISH) {
      Part = ptCheckValue;
      TakeBytesReadAhead();
    } else {
      // Room left over means the input ran out; a full buffer may leave more to come.
      Dry = State->avail_in == 0 && State->avail_out > 0;
    }
  }

  // At the end of the deflate stream ISA-L holds the bytes it read past it in its bit buffer,
  // lowest first; the whole bytes begin the check value.
  void TakeBytesReadAhead() {
    const auto Bits = static_cast<uint32_t>(State->read_in_length);
    const uint64_t Ahead = State->read_in >> (Bits % 8);
    for (uint32_t k = 0; k < Bits / 8 && Collected < CheckValueBytes; ++k)
      Wrapper[Collected++] = static_cast<uint8_t>(Ahead >> (8 * k));
  }

  void ReadCheckValue() {
    if (!Collect(CheckValueBytes))
      return;
    if (BigEndian32(Wrapper.data()) != Adler)
      throw EInflaterGaveUp{};
    Finished = true;
  }

  // Moves input bytes into Wrapper until it holds Count; false, the input being used up, before.
  bool Collect(uint32_t Count) {
    while (Collected < Count && State->avail_in > 0) {
      Wrapper[Collected++] = *State->next_in++;
      --State->avail_in;
    }
    Dry = Collected < Count;
    return !Dry;
  }

  std::unique_ptr<inflate_state> State;
  std::unique_ptr<TInput> Input;
  std::unique_ptr<TStaging> Staging;
  uint32_t StagedAt = 0;
  uint32_t StagedEnd = 0;
  TPart Part = ptHeader;
  std::array<uint8_t, CheckValueBytes> Wrapper{};
  uint32_t Collected = 0;
  uint32_t Adler = 1;
  bool Finished = false;
  bool Dry = true;
};

} // namespace

std::unique_ptr<TImageInflater> NewIsalInflater() {
  return std::unique_ptr<TImageInflater>(NewOrRaise<TIsalInflater>().release());
}
