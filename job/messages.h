// The fixed texts of the run log that more than one stage writes, and the templates from which
// messages that name something are built. Log readers match on these letter for letter.
#pragma once

#include <string>
#include <string_view>

#include "platform/index_errors.h"

namespace tarvex::job {

inline constexpr std::string_view kEmptyParameterTemplate = "The Parameter Parameter0 is empty.";
inline constexpr std::string_view kEmptyArrayTemplate = "The array 'Parameter0' is empty.";
inline constexpr std::string_view kInvalidDataTemplate =
    "Invalid data. Values must be numerical. File: 'Parameter0'";
// The two spaces after "and" are what users' log filters look for.
inline constexpr std::string_view kNotAlignedTemplate =
    "Input and output rows are not aligned. Parameters: 'Parameter0' and  'Parameter1'.";

// Followed directly by the path.
inline constexpr std::string_view kFileNotFound = "File not found: ";

// Descriptions that callers and users know by heart.
using platform::kSubscriptOutOfRange;
inline constexpr const char* kOverflow = "Overflow";

// Replaces every "Parameter0" by first, then every "Parameter1" by second (a plain,
// case-sensitive replace, in that order).
std::string FillTemplate(std::string_view message_template, std::string_view first,
                         std::string_view second = {});

// "File name: " + path + two spaces + description: the line of a reader that could not read
// its file.
std::string FileNameLine(std::string_view path, std::string_view description);

// "   " + label + " Array(rows,columns)": a data set's shape as the data checks append it.
std::string DimensionsText(std::string_view label, long long rows, long long columns);

// The template of two options that exclude each other.
inline constexpr std::string_view kExclusiveParametersTemplate =
    "The Parameters Parameter0 and Parameter1 cannot be used together.";

}  // namespace tarvex::job
