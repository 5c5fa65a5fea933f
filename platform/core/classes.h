// The platform's streams: the abstract stream, the memory stream and the file stream, and the
// errors they raise. Every error message names the stream it concerns.
#pragma once

#include "platform/core/sysutils.h"

#include <cstdint>
#include <string>
#include <vector>

class EStreamError : public Exception {
public:
  using Exception::Exception;
};

class EFileStreamError : public EStreamError {
public:
  using EStreamError::EStreamError;
};

class EFOpenError : public EFileStreamError {
public:
  using EFileStreamError::EFileStreamError;
};

class EFCreateError : public EFileStreamError {
public:
  using EFileStreamError::EFileStreamError;
};

class EReadError : public EStreamError {
public:
  using EStreamError::EStreamError;
};

class EWriteError : public EStreamError {
public:
  using EStreamError::EStreamError;
};

// An object that can take the contents of another. Assign hands over to the source's AssignTo;
// where neither side knows the other, the assignment fails with the platform's conversion error.
class TPersistent {
public:
  TPersistent() = default;
  TPersistent(const TPersistent&) = delete;
  TPersistent& operator=(const TPersistent&) = delete;
  virtual ~TPersistent() = default;

  virtual std::string ClassName() const = 0;
  virtual void AssignTo(TPersistent& Dest);
  virtual void Assign(TPersistent& Source);
};

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
  TStream() = default;
  TStream(const TStream&) = delete;
  TStream& operator=(const TStream&) = delete;
  virtual ~TStream() = default;

  // Both return the number of bytes actually moved, which may be less than Count.
  virtual int32_t Read(void* Buffer, int32_t Count) = 0;
  virtual int32_t Write(const void* Buffer, int32_t Count) = 0;
  // Returns the new position.
  virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;

  virtual int64_t GetSize();
  virtual void SetSize(int64_t NewSize);
  int64_t GetPosition() { return Seek(0, soCurrent); }
  void SetPosition(int64_t Position) { Seek(Position, soBeginning); }

  // How error messages name this stream, e.g. `file "a.vqz"`.
  virtual std::string Describe() const = 0;

  // Reads until Count bytes are in or the stream has no more; returns the bytes delivered.
  int64_t ReadFully(void* Buffer, int64_t Count);
  // Reads exactly Count bytes or raises EReadError.
  void ReadBuffer(void* Buffer, int64_t Count);
  // Writes exactly Count bytes or raises EWriteError: a full disk is never a saved file.
  void WriteBuffer(const void* Buffer, int64_t Count);
  // Copies exactly Count bytes from Source's position to this stream's position, or raises.
  // After a failure this stream is cut back to the size it had, so nothing half-copied remains.
  int64_t CopyFrom(TStream& Source, int64_t Count);

protected:
  // Where a stream can hand out Count writable bytes at its position, it grows to hold them and
  // returns their address, so that CopyFrom reads straight into place; others return nullptr.
  virtual uint8_t* WritableSpan(int64_t Count);
  virtual void CommitWritableSpan(int64_t Count);

private:
  void CopyThroughBuffer(TStream& Source, int64_t Count);
};

class TMemoryStream : public TStream {
public:
  int32_t Read(void* Buffer, int32_t Count) override;
  int32_t Write(const void* Buffer, int32_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t GetSize() override { return static_cast<int64_t>(FData.size()); }
  void SetSize(int64_t NewSize) override;
  std::string Describe() const override { return "memory stream"; }

  uint8_t* Memory() { return FData.data(); }
  const uint8_t* Memory() const { return FData.data(); }
  void Clear();

protected:
  uint8_t* WritableSpan(int64_t Count) override;
  void CommitWritableSpan(int64_t Count) override { FPosition += Count; }

private:
  std::vector<uint8_t> FData;
  int64_t FPosition = 0;
};

// File open modes, with the platform's values: mode 0 is read-only without sharing flags.
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmCreate = 0xFF00;

class TFileStream : public TStream {
public:
  // Raises EFOpenError (EFCreateError for fmCreate) with the file's name and the system's reason.
  TFileStream(const std::string& FileName, uint16_t Mode);
  ~TFileStream() override;

  int32_t Read(void* Buffer, int32_t Count) override;
  int32_t Write(const void* Buffer, int32_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t GetSize() override;
  void SetSize(int64_t NewSize) override;
  std::string Describe() const override { return "file \"" + FFileName + "\""; }

  const std::string& FileName() const { return FFileName; }

private:
  std::string FFileName;
  int FHandle = -1;
};
