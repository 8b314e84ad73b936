// Text of the binary formats (UTF-16 code units, or Latin-1 bytes for compressed BIFF strings)
// turned into the UTF-8 that the rest of the program uses.
#pragma once

#include <string>
#include <string_view>

namespace tarvex::workbook::compound {

// Appends the code units as UTF-8; an unpaired surrogate becomes U+FFFD.
void AppendUtf16(std::string& out, std::u16string_view units);

// Appends Latin-1 bytes (each the code point of its value) as UTF-8.
void AppendLatin1(std::string& out, std::string_view bytes);

}  // namespace tarvex::workbook::compound
