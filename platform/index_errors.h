// The description of an index outside what it indexes, which every floor gives in the same words:
// callers and users know it by heart.
#pragma once

namespace tarvex::platform {

inline constexpr const char* kSubscriptOutOfRange = "Subscript out of range";

}  // namespace tarvex::platform
