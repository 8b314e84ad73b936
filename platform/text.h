// Small text operations that several parts of both programs use.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::platform {

// Every occurrence, left to right; text that was put in is not searched again.
std::string ReplaceAll(std::string_view text, std::string_view what, std::string_view with);

// The parts between separators; empty parts count, so "a,,b," gives four.
std::vector<std::string_view> SplitAll(std::string_view text, char separator);

// Without leading and trailing space characters (only the space).
std::string_view TrimSpaces(std::string_view text);

// Without leading and trailing blanks (spaces and TABs).
std::string_view TrimBlanks(std::string_view text);

// At most most bytes of text, cut at the start of a UTF-8 sequence and ended with "..." where it
// was cut: for what a file or a user gave, quoted in a log line.
std::string CutText(std::string_view text, std::size_t most);

// A field of delimited text that reads back as the same text: as it is, or between double quotes
// with every quote doubled when it holds the delimiter, a quote or a line end, or begins or ends
// with a space or TAB (which readers trim).
std::string DelimitedField(std::string_view text, char delimiter);

// ASCII letters only: other bytes stay, so UTF-8 sequences are never broken.
inline char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b);

// The text after the last "." of a path, trimmed and lower-cased; none without a ".". A "." in a
// folder name makes the rest of the path the extension, which users' paths may rely on.
std::optional<std::string> LowerCaseExtension(std::string_view path);

}  // namespace tarvex::platform
