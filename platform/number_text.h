// Number text at the edges of the program: the number test with its exact conversion, and the
// one formatter for numbers that Tarvex writes.
#pragma once

#include <string>
#include <string_view>

namespace tarvex::platform {

// The number test: optional white space (space, TAB, CR, LF), an optional sign, digits with at
// most one decimal separator (digits on at least one side), an optional exponent, optional white
// space, and nothing else. On success stores the correctly rounded double and returns true; a
// magnitude too large for a double is not a number, one too small reads as zero.
bool ConvertLocaleNumber(std::string_view text, std::string_view decimal_separator, double& value);

// The number test on one field of a delimited line: the field runs from first to the first
// delimiter or to end. Either of two characters may serve as the decimal separator (at most one
// of them, once). Returns where the field ends (at the delimiter or end) when the whole field is
// a number and stores it; returns nullptr otherwise and leaves value alone. A delimiter of -1
// means that the field runs to end.
const char* ScanNumberField(const char* first, const char* end, int delimiter, char decimal_a,
                            char decimal_b, double& value);

// The general text form: 15 significant digits, no trailing zeros, plain notation from 0.0001 up
// to below 1E+15, else mantissa, "E", sign and at least two exponent digits.
std::string FormatGeneralNumber(double value, std::string_view decimal_separator);

// The same form with significant_digits (1 to 17) instead of 15, for figures a person takes in
// at a glance.
std::string FormatNumber(double value, int significant_digits, std::string_view decimal_separator);

}  // namespace tarvex::platform
