// Text of the binary formats (UTF-16 code units, or Latin-1 bytes for compressed BIFF strings)
// turned into the UTF-8 that the rest of the program uses, and UTF-8 into UTF-16 for writing.
#pragma once

#include <string>
#include <string_view>

namespace tarvex::workbook::compound {

// Appends the code units as UTF-8; an unpaired surrogate becomes U+FFFD.
void AppendUtf16(std::string& out, std::u16string_view units);

// The UTF-8 text as UTF-16 code units; a byte that does not belong to a valid UTF-8 sequence
// becomes U+FFFD.
std::u16string Utf16Of(std::string_view utf8);

// Appends Latin-1 bytes (each the code point of its value) as UTF-8.
void AppendLatin1(std::string& out, std::string_view bytes);

}  // namespace tarvex::workbook::compound
