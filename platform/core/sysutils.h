// The platform's base exception, its common error classes and its file helpers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

// Base of every exception the platform and the codec raise: it carries its message text.
class Exception : public std::exception {
public:
  explicit Exception(std::string Message) : FMessage(std::move(Message)) {}
  const std::string& Message() const noexcept { return FMessage; }
  const char* what() const noexcept override { return FMessage.c_str(); }

private:
  std::string FMessage;
};

// A value could not be converted (also: one persistent object cannot be assigned to another).
class EConvertError : public Exception {
public:
  using Exception::Exception;
};

// A checked class cast met an object of another class.
class EInvalidCast : public Exception {
public:
  EInvalidCast() : Exception("Invalid class typecast") {}
  using Exception::Exception;
};

// Memory the program asked for could not be had.
class EOutOfMemory : public Exception {
public:
  EOutOfMemory() : Exception("Out of memory") {}
  using Exception::Exception;
};

// True only when Path names a regular file (links are followed). Directories, FIFOs and devices
// are not files to open: a FIFO would block a read-only open forever.
bool FileExists(const std::string& Path);

// True when the first Length bytes at P1 and P2 are equal; a Length of 0 or less compares nothing.
bool CompareMem(const void* P1, const void* P2, int64_t Length);

// A zeroed block of Bytes from the C heap, released with std::free; null when it cannot be had.
// Large blocks come as fresh pages that cost nothing until touched, and ask the system for huge
// pages, so that filling them takes one page fault per 2 MiB rather than one per 4 KiB.
void* AllocateZeroedBlock(size_t Bytes);
