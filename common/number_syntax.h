// The number syntax of every command's arguments.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace numbers {

// A decimal number as strtod reads it in the C locale (whatever the process locale), the whole token
// consumed; an empty token or one starting with white space is not a number. inf and nan are numbers;
// a value beyond the range of a double reads as infinite.
std::optional<double> parseDecimal(std::string_view token);

// Base 10: an optional sign, one or more ASCII digits, nothing else, within the type's range.
std::optional<std::int32_t> parseInt32(std::string_view token);
std::optional<std::int64_t> parseInt64(std::string_view token);

}  // namespace numbers
