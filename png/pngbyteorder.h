// The PNG standard's byte order: 16- and 32-bit values, most significant byte first.
#pragma once

#include <cstdint>

inline uint16_t BigEndian16(const uint8_t* Bytes) {
  return static_cast<uint16_t>(Bytes[0] << 8 | Bytes[1]);
}

inline uint32_t BigEndian32(const uint8_t* Bytes) {
  return uint32_t{Bytes[0]} << 24 | uint32_t{Bytes[1]} << 16 | uint32_t{Bytes[2]} << 8 | Bytes[3];
}

inline void PutBigEndian16(uint8_t* Bytes, uint32_t Value) {
  Bytes[0] = static_cast<uint8_t>(Value >> 8);
  Bytes[1] = static_cast<uint8_t>(Value);
}

inline void PutBigEndian32(uint8_t* Bytes, uint32_t Value) {
  PutBigEndian16(Bytes, Value >> 16);
  PutBigEndian16(Bytes + 2, Value);
}
