// The inflaters under the image-data reader: zlib's, and ISA-L's where the build has it. The
// reader fills an inflater's input from the IDAT bodies and takes the inflated bytes a row or a
// batch of rows at a time (not part of the public face).
#pragma once

#include "png/pngimage.h"
#include "png/pngzlib.h"

#include <memory>

enum TImageInflaterKind : int { ikZlib, ikIsal };

// The kinds this build can run: zlib's always, ISA-L's when it was found at build time.
bool ImageInflaterAvailable(TImageInflaterKind Kind);
// The inflater new reads use: the build's choice until UseImageInflater picks another. Reads
// already running keep theirs.
TImageInflaterKind ImageInflaterInUse();
// False, with nothing changed, for a kind this build cannot run.
bool UseImageInflater(TImageInflaterKind Kind);

// Raised by an inflater that cannot answer a stream as zlib would (a damaged stream, or a zlib
// header it leaves to zlib); the reader then decodes the image data again with zlib.
struct EInflaterGaveUp {};

class TImageInflater {
public:
  TImageInflater() = default;
  TImageInflater(const TImageInflater&) = delete;
  TImageInflater& operator=(const TImageInflater&) = delete;
  virtual ~TImageInflater() = default;

  // ZlibInputBufferSize bytes for the reader to fill when NeedsInput.
  virtual uint8_t* InputBuffer() = 0;
  // Every byte of input given has been inflated and nothing inflated is held back.
  virtual bool NeedsInput() const = 0;
  // The first Count bytes of InputBuffer are the next compressed bytes.
  virtual void TakeInput(int32_t Count) = 0;
  // Up to Count inflated bytes into Destination, as many as the input given yields; raises
  // EPNGZLIBError for damaged data (zlib's inflater) or EInflaterGaveUp.
  virtual int32_t Inflate(uint8_t* Destination, int32_t Count) = 0;
  // The stream has ended and every byte of it has been taken.
  virtual bool StreamEnded() const = 0;
};

// A new inflater of Kind; EPNGZLIBError when it cannot start.
std::unique_ptr<TImageInflater> NewImageInflater(TImageInflaterKind Kind);

#ifdef VQZ_HAVE_ISAL
std::unique_ptr<TImageInflater> NewIsalInflater();
#endif
