#include "common/unicode.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <memory>

namespace text {
namespace {

icu::UnicodeString fromUtf8(std::string_view utf8) {
  return icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
}

std::string toStdString(const icu::UnicodeString& s) {
  std::string out;
  s.toUTF8String(out);
  return out;
}

// The character break iterator is costly to build, so one serves the whole process.
icu::BreakIterator& characterBreaks() {
  static std::unique_ptr<icu::BreakIterator> iterator = [] {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> it(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    return U_SUCCESS(status) ? std::move(it) : nullptr;
  }();
  return *iterator;
}

// UTF-16 offset just after the first `count` clusters, or -1 when the text has `count` or fewer.
int32_t boundaryAfter(const icu::UnicodeString& s, std::size_t count) {
  icu::BreakIterator& it = characterBreaks();
  it.setText(s);
  int32_t pos = it.first();
  for (std::size_t i = 0; i < count; ++i) {
    pos = it.next();
    if (pos == icu::BreakIterator::DONE) return -1;
  }
  return it.following(pos) == icu::BreakIterator::DONE ? -1 : pos;
}

}  // namespace

std::string toLowerFull(std::string_view utf8) {
  icu::UnicodeString s = fromUtf8(utf8);
  s.toLower(icu::Locale::getRoot());
  return toStdString(s);
}

std::size_t graphemeCount(std::string_view utf8) {
  icu::UnicodeString s = fromUtf8(utf8);
  icu::BreakIterator& it = characterBreaks();
  it.setText(s);
  std::size_t n = 0;
  it.first();
  while (it.next() != icu::BreakIterator::DONE) ++n;
  return n;
}

std::string graphemePrefix(std::string_view utf8, std::size_t count) {
  icu::UnicodeString s = fromUtf8(utf8);
  int32_t cut = boundaryAfter(s, count);
  if (cut < 0) return std::string(utf8);
  return toStdString(icu::UnicodeString(s, 0, cut));
}

std::string truncateWithEllipsis(std::string_view utf8, std::size_t limit) {
  icu::UnicodeString s = fromUtf8(utf8);
  int32_t cut = boundaryAfter(s, limit);
  if (cut < 0) return std::string(utf8);
  return toStdString(icu::UnicodeString(s, 0, cut)) + "\u2026";
}

bool isSingleGrapheme(std::string_view utf8) { return !utf8.empty() && graphemeCount(utf8) == 1; }

bool canonicallyEqual(std::string_view a, std::string_view b) {
  if (a == b) return true;
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
  if (U_FAILURE(status)) return false;
  icu::UnicodeString na = nfd->normalize(fromUtf8(a), status);
  icu::UnicodeString nb = nfd->normalize(fromUtf8(b), status);
  return U_SUCCESS(status) && na == nb;
}

std::string_view trimWhitespace(std::string_view utf8) {
  auto isSpaceAt = [&](int32_t start, int32_t& next) {
    UChar32 c;
    int32_t i = start;
    U8_NEXT(reinterpret_cast<const uint8_t*>(utf8.data()), i, static_cast<int32_t>(utf8.size()), c);
    next = i;
    return c >= 0 && u_isUWhiteSpace(c);
  };
  int32_t begin = 0;
  const int32_t size = static_cast<int32_t>(utf8.size());
  while (begin < size) {
    int32_t next;
    if (!isSpaceAt(begin, next)) break;
    begin = next;
  }
  int32_t end = size;
  while (end > begin) {
    int32_t start = end;
    U8_BACK_1(reinterpret_cast<const uint8_t*>(utf8.data()), begin, start);
    int32_t next;
    if (!isSpaceAt(start, next) || next != end) break;
    end = start;
  }
  return utf8.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin));
}

bool isValidUtf8(std::string_view bytes) {
  const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
  const int32_t size = static_cast<int32_t>(bytes.size());
  if (bytes.size() > static_cast<std::size_t>(INT32_MAX)) return false;
  int32_t i = 0;
  while (i < size) {
    UChar32 c;
    U8_NEXT(p, i, size, c);
    if (c < 0) return false;
  }
  return true;
}

std::u16string toUtf16(std::string_view utf8) {
  icu::UnicodeString s = fromUtf8(utf8);
  return std::u16string(reinterpret_cast<const char16_t*>(s.getBuffer()), static_cast<std::size_t>(s.length()));
}

std::string toUtf8(std::u16string_view utf16) {
  icu::UnicodeString s(reinterpret_cast<const UChar*>(utf16.data()), static_cast<int32_t>(utf16.size()));
  return toStdString(s);
}

}  // namespace text
