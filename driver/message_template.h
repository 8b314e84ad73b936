// Log messages that name something are built from fixed templates with placeholders.
#pragma once

#include <string>
#include <string_view>

namespace tarvex {

inline constexpr std::string_view kEmptyParameterTemplate = "The Parameter Parameter0 is empty.";
inline constexpr std::string_view kInvalidDataTemplate =
    "Invalid data. Values must be numerical. File: 'Parameter0'";

// Replaces every "Parameter0" by first, then every "Parameter1" by second (a plain,
// case-sensitive replace, in that order).
std::string FillTemplate(std::string_view message_template, std::string_view first,
                         std::string_view second = {});

}  // namespace tarvex
