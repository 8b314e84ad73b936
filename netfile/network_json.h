// The JSON text of a network file, parsed within bounds that no network file comes near, so that
// no text can exhaust the stack, the memory or the time of a run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace tarvex::netfile {

// Ordered, so that a file reads top-down as it was written.
using Json = nlohmann::ordered_json;

// The format nests lists four deep and has at most seven fields in an object.
inline constexpr int kMostNesting = 32;
inline constexpr std::size_t kMostFields = 64;

// What one value of the text takes once parsed, at most: three slots in its list while the list
// grows (the old room and the new), as many again in the list that the library builds while it
// frees the values (also when a failure ends the parse, where running out would abort the run),
// and the number it becomes in the network.
inline constexpr std::uint64_t kBytesPerValue = 128;

// Parses text: at most kMostNesting lists and objects inside one another (the library's dump and
// comparisons recurse), at most kMostFields fields in an object (each is looked up among the
// others) and none twice, and no more than memory bytes for what is parsed, counted from the text
// before it is parsed and again as it is read, so that the process never comes near running out.
// Throws NetworkFileError.
Json ParseBoundedJson(std::string_view text, std::uint64_t memory);

// What a log line quotes of a file's key or value at most, in bytes.
inline constexpr std::size_t kMostQuoted = 100;

// A key or a value from the file, as it may stand in a log line: cut to kMostQuoted bytes, control
// characters made "?".
std::string Printable(std::string_view key);

}  // namespace tarvex::netfile
