// JSON reading and writing for the result lines and the inspection request.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace fileprobe {

struct ResultDictionary;
using StringDictionary = std::vector<std::pair<std::string, std::string>>;
using ResultList = std::vector<ResultDictionary>;
// The kinds of value a result line holds. An optional value is represented
// by leaving its key out; there is no null.
using ResultValue = std::variant<std::string, bool, std::int64_t, ResultList, StringDictionary>;

struct ResultDictionary {
  std::vector<std::pair<std::string, ResultValue>> entries;

  void set(std::string key, ResultValue value) {
    entries.emplace_back(std::move(key), std::move(value));
  }
};

// Compact JSON text (no whitespace between tokens, line breaks inside
// strings escaped), or nothing when a string is not valid UTF-8.
std::optional<std::string> serializeCompact(const ResultDictionary& dictionary);

// The elements of `bytes` when they hold exactly one JSON array of strings
// (white space around it allowed); nothing for anything else, including
// invalid UTF-8 and a NUL byte anywhere. The array is rejected as soon as it passes `maxElements`.
std::optional<std::vector<std::string>> parseStringArray(std::string_view bytes,
                                                         std::size_t maxElements);

// The members of `bytes` when they hold exactly one JSON object whose
// values are all strings (white space around it allowed); nothing
// otherwise, a NUL byte anywhere included.
std::optional<StringDictionary> parseStringObject(std::string_view bytes);

}  // namespace fileprobe
