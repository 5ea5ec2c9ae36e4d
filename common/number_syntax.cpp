#include "common/number_syntax.h"

#include <cerrno>
#include <charconv>
#include <clocale>
#include <cstdlib>
#include <locale.h>
#include <string>

namespace numbers {
namespace {

// strtod_l with a C locale object: independent of setlocale and thread-safe.
locale_t cLocale() {
  static locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return locale;
}

bool startsWithSpace(std::string_view token) {
  switch (token.front()) {
    case ' ':
    case '\t':
    case '\n':
    case '\v':
    case '\f':
    case '\r':
      return true;
    default:
      return false;
  }
}

template <typename Int>
std::optional<Int> parseInteger(std::string_view token) {
  if (token.empty()) return std::nullopt;
  std::string_view digits = token;
  bool negative = false;
  if (digits.front() == '+' || digits.front() == '-') {
    negative = digits.front() == '-';
    digits.remove_prefix(1);
  }
  if (digits.empty()) return std::nullopt;
  for (char c : digits)
    if (c < '0' || c > '9') return std::nullopt;
  // from_chars takes a leading '-' but not '+': parse the digits with the sign put back.
  std::string normalized = negative ? "-" : "";
  normalized.append(digits);
  Int value{};
  auto [ptr, ec] = std::from_chars(normalized.data(), normalized.data() + normalized.size(), value);
  if (ec != std::errc() || ptr != normalized.data() + normalized.size()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<double> parseDecimal(std::string_view token) {
  if (token.empty() || startsWithSpace(token)) return std::nullopt;
  std::string copy(token);  // strtod needs a terminated string; an embedded NUL must not end it early
  if (copy.find('\0') != std::string::npos) return std::nullopt;
  char* end = nullptr;
  double value = strtod_l(copy.c_str(), &end, cLocale());
  if (end != copy.c_str() + copy.size()) return std::nullopt;
  return value;
}

std::optional<std::int32_t> parseInt32(std::string_view token) { return parseInteger<std::int32_t>(token); }
std::optional<std::int64_t> parseInt64(std::string_view token) { return parseInteger<std::int64_t>(token); }

}  // namespace numbers
