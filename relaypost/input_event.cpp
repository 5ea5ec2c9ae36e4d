#include "relaypost/input_event.h"

#include <cmath>
#include <cstddef>
#include <exception>
#include <limits>
#include <nlohmann/json.hpp>

namespace relaypost {
namespace {

using Json = nlohmann::json;

// The known keys. A line arrives at up to hundreds of thousands per second, so the decoder fills an
// InputEvent straight from the parser's events instead of building a document first.
enum class Field : unsigned {
  type,
  x,
  y,
  button,
  clickCount,
  deltaX,
  deltaY,
  key,
  code,
  modifiers,
  cmd,
  ctrl,
  alt,
  shift,
  none,
};

constexpr unsigned bit(Field f) { return 1u << static_cast<unsigned>(f); }
constexpr unsigned modifierBits = bit(Field::cmd) | bit(Field::ctrl) | bit(Field::alt) | bit(Field::shift);

Field topLevelField(std::string_view k) {
  if (k == "type") return Field::type;
  if (k == "x") return Field::x;
  if (k == "y") return Field::y;
  if (k == "button") return Field::button;
  if (k == "clickCount") return Field::clickCount;
  if (k == "deltaX") return Field::deltaX;
  if (k == "deltaY") return Field::deltaY;
  if (k == "key") return Field::key;
  if (k == "code") return Field::code;
  if (k == "modifiers") return Field::modifiers;
  return Field::none;
}

Field modifierField(std::string_view k) {
  if (k == "cmd") return Field::cmd;
  if (k == "ctrl") return Field::ctrl;
  if (k == "alt") return Field::alt;
  if (k == "shift") return Field::shift;
  return Field::none;
}

std::optional<std::int64_t> integralInt64(double v) {
  // 2^63 is exact in a double; every double below it and at or above -2^63 converts without overflow.
  constexpr double limit = 9223372036854775808.0;
  if (!(v >= -limit && v < limit) || std::trunc(v) != v) return std::nullopt;
  return static_cast<std::int64_t>(v);
}

// nlohmann's SAX callbacks. `wrong` holds the fields whose latest value had the wrong JSON type; a
// repeated key first clears its field, so the last occurrence decides, as in a parsed document.
struct EventReader {
  InputEvent event;
  bool hasType = false;
  unsigned wrong = 0;
  std::size_t depth = 0;
  Field pending = Field::none;  // the field the next value at the current depth fills
  bool inModifiers = false;     // depth 2 is the "modifiers" object

  std::optional<bool>* modifierSlot(Field f) {
    switch (f) {
      case Field::cmd:
        return &event.modifiers->cmd;
      case Field::ctrl:
        return &event.modifiers->ctrl;
      case Field::alt:
        return &event.modifiers->alt;
      case Field::shift:
        return &event.modifiers->shift;
      default:
        return nullptr;
    }
  }

  void clearField(Field f) {
    wrong &= ~bit(f);
    switch (f) {
      case Field::type:
        hasType = false;
        event.type.clear();
        break;
      case Field::x:
        event.x.reset();
        break;
      case Field::y:
        event.y.reset();
        break;
      case Field::button:
        event.button.reset();
        break;
      case Field::clickCount:
        event.clickCount.reset();
        break;
      case Field::deltaX:
        event.deltaX.reset();
        break;
      case Field::deltaY:
        event.deltaY.reset();
        break;
      case Field::key:
        event.key.reset();
        break;
      case Field::code:
        event.code.reset();
        break;
      case Field::modifiers:
        event.modifiers.reset();
        wrong &= ~modifierBits;
        break;
      case Field::cmd:
      case Field::ctrl:
      case Field::alt:
      case Field::shift:
        modifierSlot(f)->reset();
        break;
      case Field::none:
        break;
    }
  }

  void markWrong() {
    if (pending != Field::none) wrong |= bit(pending);
    pending = Field::none;
  }

  // A value of a kind no known field takes at the pending position (a container, or a number or
  // string where none belongs) is only an error when a known field is waiting for it.
  bool takeDouble(double v) {
    switch (pending) {
      case Field::x:
        event.x = v;
        break;
      case Field::y:
        event.y = v;
        break;
      case Field::deltaX:
        event.deltaX = v;
        break;
      case Field::deltaY:
        event.deltaY = v;
        break;
      case Field::clickCount:
        if (auto n = integralInt64(v)) {
          event.clickCount = *n;
          break;
        }
        markWrong();
        return true;
      default:
        markWrong();
        return true;
    }
    pending = Field::none;
    return true;
  }

  bool scalarAtRoot() const { return depth == 0; }

  // SAX interface.
  bool null() {
    if (scalarAtRoot()) return false;
    pending = Field::none;  // null leaves the field absent; clearField already did
    return true;
  }
  bool boolean(bool v) {
    if (scalarAtRoot()) return false;
    if (auto* slot = event.modifiers && inModifiers && depth == 2 ? modifierSlot(pending) : nullptr) {
      *slot = v;
      pending = Field::none;
      return true;
    }
    markWrong();
    return true;
  }
  bool number_integer(Json::number_integer_t v) {
    if (scalarAtRoot()) return false;
    if (pending == Field::clickCount) {
      event.clickCount = v;
      pending = Field::none;
      return true;
    }
    return takeDouble(static_cast<double>(v));
  }
  bool number_unsigned(Json::number_unsigned_t v) {
    if (scalarAtRoot()) return false;
    if (pending == Field::clickCount) {
      if (v <= static_cast<Json::number_unsigned_t>(std::numeric_limits<std::int64_t>::max())) {
        event.clickCount = static_cast<std::int64_t>(v);
        pending = Field::none;
      } else {
        markWrong();
      }
      return true;
    }
    return takeDouble(static_cast<double>(v));
  }
  bool number_float(Json::number_float_t v, const Json::string_t&) {
    if (scalarAtRoot()) return false;
    return takeDouble(v);
  }
  bool string(Json::string_t& v) {
    if (scalarAtRoot()) return false;
    switch (pending) {
      case Field::type:
        event.type = std::move(v);
        hasType = true;
        break;
      case Field::button:
        event.button = std::move(v);
        break;
      case Field::key:
        event.key = std::move(v);
        break;
      case Field::code:
        event.code = std::move(v);
        break;
      default:
        markWrong();
        return true;
    }
    pending = Field::none;
    return true;
  }
  bool binary(Json::binary_t&) { return false; }  // never produced by the text parser
  bool start_object(std::size_t) {
    if (depth == 0) {
      depth = 1;
      return true;
    }
    if (depth == 1 && pending == Field::modifiers) {
      event.modifiers.emplace();
      inModifiers = true;
      pending = Field::none;
    } else {
      markWrong();
    }
    ++depth;
    return true;
  }
  bool key(Json::string_t& k) {
    if (depth == 1) {
      pending = topLevelField(k);
    } else if (depth == 2 && inModifiers) {
      pending = modifierField(k);
    } else {
      pending = Field::none;
    }
    clearField(pending);
    return true;
  }
  bool end_object() {
    --depth;
    if (depth == 1) inModifiers = false;
    pending = Field::none;
    return true;
  }
  bool start_array(std::size_t) {
    if (depth == 0) return false;
    markWrong();
    ++depth;
    return true;
  }
  bool end_array() {
    --depth;
    pending = Field::none;
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) { return false; }
};

}  // namespace

std::optional<InputEvent> decodeInputEvent(std::string_view json) {
  // nlohmann's lexer takes a NUL byte for the end of the input, which would accept whatever follows
  // it; a raw NUL is never valid JSON, so such text is refused before parsing.
  if (json.find('\0') != std::string_view::npos) return std::nullopt;
  EventReader reader;
  bool parsed = false;
  try {
    parsed = Json::sax_parse(json.begin(), json.end(), &reader, Json::input_format_t::json, /*strict=*/true);
  } catch (const std::exception&) {
    // The SAX parser reports syntax errors through parse_error; only resource exhaustion lands here.
    return std::nullopt;
  }
  if (!parsed || !reader.hasType || reader.wrong != 0) return std::nullopt;
  return std::move(reader.event);
}

}  // namespace relaypost
