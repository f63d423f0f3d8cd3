// Numbers as text for the stored forms: independent of the user's locale.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace veltrano {

// General decimal form with up to 15 significant digits and "." as the
// separator: 128 gives "128", 12.2 gives "12.2", 0.1f widened gives
// "0.100000001490116".
std::string FloatToText(double value);

// A whole text as a floating-point number ("." or "," as the separator,
// surrounding blanks allowed). Not a number, infinite or trailing garbage: none.
std::optional<double> TextToFloat(std::string_view text);

// A whole text as an integer: optional sign, then decimal digits, or
// hexadecimal digits after "0x" or "$". Surrounding blanks are allowed.
// Anything else, or a value outside int64: none.
std::optional<int64_t> TextToInt64(std::string_view text);

// The same, limited to the 32-bit range.
std::optional<int32_t> TextToInt32(std::string_view text);

}  // namespace veltrano
