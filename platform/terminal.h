// The terminal behind standard error, for a person who watches a run: one status line rewritten
// in place, and whole lines printed above it. Nothing here is used unless stderr is a terminal.
#pragma once

#include <string>
#include <string_view>

namespace tarvex::platform {

// True when standard error is a terminal.
bool ErrorIsTerminal();

// Replaces the status line with text, cut to the terminal's width so that it never wraps (a
// wrapped line could not be rewritten in place). Writes nothing when the text is already shown.
void ShowStatusLine(std::string_view text);

// Prints line and a line end, then the status line again below it.
void PrintAboveStatusLine(std::string_view line);

// Removes the status line; the cursor stays at the start of the now empty line.
void ClearStatusLine();

// The text with every control character made visible as "?", so that a path or a description
// cannot move the cursor or change the terminal's settings; TAB becomes a blank.
std::string PrintableText(std::string_view text);

// The first characters of a UTF-8 text that fit into width columns, one column per character.
std::string_view FitToWidth(std::string_view text, size_t width);

}  // namespace tarvex::platform
