// Little-endian fields of the binary file formats (workbooks, compound documents, databases),
// read and written the same on every host.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tarvex::platform {

// The field that starts at p; the caller has checked that its bytes are there.
inline std::uint16_t ReadU16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t ReadU32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::uint64_t ReadU64(const unsigned char* p) {
  return ReadU32(p) | (static_cast<std::uint64_t>(ReadU32(p + 4)) << 32);
}

// The field at offset at of bytes.
inline std::uint16_t ReadU16(std::string_view bytes, size_t at) {
  return ReadU16(reinterpret_cast<const unsigned char*>(bytes.data() + at));
}

inline std::uint32_t ReadU32(std::string_view bytes, size_t at) {
  return ReadU32(reinterpret_cast<const unsigned char*>(bytes.data() + at));
}

inline std::uint64_t ReadU64(std::string_view bytes, size_t at) {
  return ReadU64(reinterpret_cast<const unsigned char*>(bytes.data() + at));
}

inline double ReadF64(std::string_view bytes, size_t at) {
  return std::bit_cast<double>(ReadU64(bytes, at));
}

inline void PutU16(std::string& bytes, size_t at, std::uint16_t value) {
  bytes[at] = static_cast<char>(value & 0xFF);
  bytes[at + 1] = static_cast<char>(value >> 8);
}

inline void PutU32(std::string& bytes, size_t at, std::uint32_t value) {
  PutU16(bytes, at, static_cast<std::uint16_t>(value & 0xFFFF));
  PutU16(bytes, at + 2, static_cast<std::uint16_t>(value >> 16));
}

inline void AppendU16(std::string& bytes, std::uint16_t value) {
  bytes.push_back(static_cast<char>(value & 0xFF));
  bytes.push_back(static_cast<char>(value >> 8));
}

inline void AppendU32(std::string& bytes, std::uint32_t value) {
  AppendU16(bytes, static_cast<std::uint16_t>(value & 0xFFFF));
  AppendU16(bytes, static_cast<std::uint16_t>(value >> 16));
}

inline void AppendF64(std::string& bytes, double value) {
  std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  AppendU32(bytes, static_cast<std::uint32_t>(bits & 0xFFFFFFFF));
  AppendU32(bytes, static_cast<std::uint32_t>(bits >> 32));
}

}  // namespace tarvex::platform
