// Choosing the image-data inflater, and zlib's: inflate straight into the reader's rows.
#include "png/pnginflater.h"

#include <atomic>

namespace {

#if defined(VQZ_HAVE_ISAL) && defined(VQZ_INFLATE_WITH_ISAL)
constexpr TImageInflaterKind BuildInflater = ikIsal;
#else
constexpr TImageInflaterKind BuildInflater = ikZlib;
#endif

std::atomic<TImageInflaterKind> InflaterInUse{BuildInflater};

class TZlibInflater final : public TImageInflater {
public:
  TZlibInflater() { BeginInflate(Zlib); }
  uint8_t* InputBuffer() override { return Zlib.WorkBuffer.get(); }
  bool NeedsInput() const override { return Zlib.ZLib.avail_in == 0; }
  void TakeInput(int32_t Count) override {
    Zlib.ZLib.next_in = Zlib.WorkBuffer.get();
    Zlib.ZLib.avail_in = static_cast<uInt>(Count);
  }
  int32_t Inflate(uint8_t* Destination, int32_t Count) override {
    z_stream& Z = Zlib.ZLib;
    Z.next_out = Destination;
    Z.avail_out = static_cast<uInt>(Count);
    const int Result = inflate(&Z, Z_NO_FLUSH);
    if (Result == Z_STREAM_END)
      Ended = true;
    else if (Result < 0 || Result == Z_NEED_DICT)
      RaiseZlibError(Result);
    return Count - static_cast<int32_t>(Z.avail_out);
  }
  bool StreamEnded() const override { return Ended; }

private:
  ZlibStream Zlib;
  bool Ended = false;
};

} // namespace

bool ImageInflaterAvailable(TImageInflaterKind Kind) {
#ifdef VQZ_HAVE_ISAL
  return Kind == ikZlib || Kind == ikIsal;
#else
  return Kind == ikZlib;
#endif
}

TImageInflaterKind ImageInflaterInUse() {
  return InflaterInUse.load();
}

bool UseImageInflater(TImageInflaterKind Kind) {
  if (!ImageInflaterAvailable(Kind))
    return false;
  InflaterInUse.store(Kind);
  return true;
}

std::unique_ptr<TImageInflater> NewImageInflater(TImageInflaterKind Kind) {
#ifdef VQZ_HAVE_ISAL
  if (Kind == ikIsal)
    return NewIsalInflater();
#endif
  (void)Kind;
  return std::make_unique<TZlibInflater>();
}
