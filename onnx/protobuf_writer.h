// The protobuf wire format as far as an ONNX model needs it: varints, fixed 32-bit floats and
// length-delimited fields. Every message is walked twice, once to count its bytes and once to
// write them, so that a nested message needs no copy of its own before its length is known.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarvex::onnx {

// protobuf refuses to write or read a message larger than this (its sizes are C ints).
inline constexpr std::uint64_t kLargestMessageBytes = 2147483647;

enum class WireType : std::uint32_t { kVarint = 0, kLengthDelimited = 2, kFixed32 = 5 };

inline std::uint64_t VarintBytes(std::uint64_t value) {
  std::uint64_t bytes = 1;
  while (value >= 0x80) {
    value >>= 7;
    ++bytes;
  }
  return bytes;
}

inline std::uint64_t TagBytes(int field) {
  return VarintBytes(static_cast<std::uint64_t>(field) << 3);
}

// Counts the bytes that the same calls on a ProtobufWriter append.
class ProtobufSizer {
 public:
  // Negative numbers take ten bytes, as protobuf writes int32 and int64 fields.
  void Varint(int field, std::int64_t value) {
    bytes_ += TagBytes(field) + VarintBytes(static_cast<std::uint64_t>(value));
  }
  void Fixed32(int field, std::uint32_t) { bytes_ += TagBytes(field) + 4; }
  void String(int field, std::string_view text) {
    Bytes(field, text.size(), [](std::string&) {});
  }
  // A length-delimited field of length bytes that fill appends.
  template <typename Fill>
  void Bytes(int field, std::uint64_t length, const Fill&) {
    bytes_ += TagBytes(field) + VarintBytes(length) + length;
  }
  // A nested message whose fields body(sink) gives.
  template <typename Body>
  void Message(int field, const Body& body) {
    ProtobufSizer inner;
    body(inner);
    Bytes(field, inner.bytes(), [](std::string&) {});
  }

  std::uint64_t bytes() const { return bytes_; }

 private:
  std::uint64_t bytes_ = 0;
};

// Appends the fields to a string; the caller has checked the total against the limit.
class ProtobufWriter {
 public:
  explicit ProtobufWriter(std::string& out) : out_(out) {}

  void Varint(int field, std::int64_t value) {
    Tag(field, WireType::kVarint);
    Raw(static_cast<std::uint64_t>(value));
  }
  void Fixed32(int field, std::uint32_t value) {
    Tag(field, WireType::kFixed32);
    for (int shift = 0; shift < 32; shift += 8) out_.push_back(static_cast<char>(value >> shift));
  }
  void String(int field, std::string_view text) {
    Bytes(field, text.size(), [text](std::string& out) { out.append(text); });
  }
  template <typename Fill>
  void Bytes(int field, std::uint64_t length, const Fill& fill) {
    Tag(field, WireType::kLengthDelimited);
    Raw(length);
    fill(out_);
  }
  template <typename Body>
  void Message(int field, const Body& body) {
    ProtobufSizer size;
    body(size);
    Tag(field, WireType::kLengthDelimited);
    Raw(size.bytes());
    body(*this);
  }

 private:
  void Tag(int field, WireType type) {
    Raw((static_cast<std::uint64_t>(field) << 3) | static_cast<std::uint64_t>(type));
  }
  void Raw(std::uint64_t value) {
    while (value >= 0x80) {
      out_.push_back(static_cast<char>((value & 0x7F) | 0x80));
      value >>= 7;
    }
    out_.push_back(static_cast<char>(value));
  }

  std::string& out_;
};

}  // namespace tarvex::onnx
