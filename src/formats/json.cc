#include "formats/json.h"

#include <nlohmann/json.hpp>

namespace fileprobe {
namespace {

using nlohmann::json;

json toJson(const ResultDictionary& dictionary);

json toJson(const ResultValue& value) {
  struct Visitor {
    json operator()(const std::string& s) const { return s; }
    json operator()(bool b) const { return b; }
    json operator()(std::int64_t i) const { return i; }
    json operator()(const ResultList& list) const {
      json array = json::array();
      for (const auto& item : list) array.push_back(toJson(item));
      return array;
    }
    json operator()(const StringDictionary& strings) const {
      json object = json::object();
      for (const auto& [key, text] : strings) object[key] = text;
      return object;
    }
  };
  return std::visit(Visitor{}, value);
}

json toJson(const ResultDictionary& dictionary) {
  json object = json::object();
  for (const auto& [key, value] : dictionary.entries) object[key] = toJson(value);
  return object;
}

// Accepts one array of strings and stops at the first event of any other
// shape, so hostile nesting costs neither memory nor stack.
class StringArrayReader final : public json::json_sax_t {
 public:
  explicit StringArrayReader(std::size_t maxElements) : maxElements_(maxElements) {}
  std::vector<std::string> elements;
  bool complete = false;

  bool start_array(std::size_t) override {
    if (started_) return false;
    started_ = true;
    return true;
  }
  bool end_array() override {
    complete = true;
    return true;
  }
  bool string(string_t& value) override {
    if (!started_ || complete || elements.size() >= maxElements_) return false;
    elements.push_back(std::move(value));
    return true;
  }
  bool null() override { return false; }
  bool boolean(bool) override { return false; }
  bool number_integer(number_integer_t) override { return false; }
  bool number_unsigned(number_unsigned_t) override { return false; }
  bool number_float(number_float_t, const string_t&) override { return false; }
  bool binary(binary_t&) override { return false; }
  bool start_object(std::size_t) override { return false; }
  bool key(string_t&) override { return false; }
  bool end_object() override { return false; }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
    return false;
  }

 private:
  std::size_t maxElements_;
  bool started_ = false;
};

// nlohmann's lexer takes a NUL byte for the end of the input, as in a C
// string, so "[]" followed by a NUL and anything at all would be accepted.
// A JSON text never holds a raw NUL (inside a string it must be escaped,
// between tokens only white space may stand), so such a text is refused
// before it is parsed and the whole of it is always judged.
bool holdsNulByte(std::string_view bytes) { return bytes.find('\0') != std::string_view::npos; }

}  // namespace

std::optional<std::string> serializeCompact(const ResultDictionary& dictionary) {
  try {
    return toJson(dictionary).dump();
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<std::vector<std::string>> parseStringArray(std::string_view bytes,
                                                         std::size_t maxElements) {
  if (holdsNulByte(bytes)) return std::nullopt;
  StringArrayReader reader(maxElements);
  bool accepted = false;
  try {
    accepted = json::sax_parse(bytes.begin(), bytes.end(), &reader);
  } catch (const std::exception&) {
    return std::nullopt;
  }
  if (!accepted || !reader.complete) return std::nullopt;
  return std::move(reader.elements);
}

std::optional<StringDictionary> parseStringObject(std::string_view bytes) {
  if (holdsNulByte(bytes)) return std::nullopt;
  try {
    const json parsed = json::parse(bytes.begin(), bytes.end());
    if (!parsed.is_object()) return std::nullopt;
    StringDictionary members;
    for (const auto& [key, value] : parsed.items()) {
      if (!value.is_string()) return std::nullopt;
      members.emplace_back(key, value.get<std::string>());
    }
    return members;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace fileprobe
