// Just enough JSON for the tool's results: objects and arrays of strings, numbers and
// nested values, written in insertion order with strings escaped.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>

namespace corlink_tool {

std::string JsonString(const std::string& s);

class JsonArray;

class JsonObject {
 public:
  JsonObject& Add(const std::string& key, const std::string& value) { return Raw(key, JsonString(value)); }
  JsonObject& Add(const std::string& key, const char* value) { return Raw(key, JsonString(value)); }
  JsonObject& Add(const std::string& key, const JsonObject& value) { return Raw(key, value.Text()); }
  JsonObject& Add(const std::string& key, const JsonArray& value);
  template <class N, class = std::enable_if_t<std::is_arithmetic_v<N>>>
  JsonObject& Add(const std::string& key, N value) {
    return Raw(key, std::to_string(static_cast<long long>(value)));
  }
  std::string Text() const { return "{" + body_ + "}"; }

 private:
  JsonObject& Raw(const std::string& key, const std::string& value) {
    body_ += (body_.empty() ? "" : ",") + JsonString(key) + ":" + value;
    return *this;
  }
  std::string body_;
};

class JsonArray {
 public:
  JsonArray& Add(const std::string& value) { return Raw(JsonString(value)); }
  JsonArray& Add(const JsonObject& value) { return Raw(value.Text()); }
  std::string Text() const { return "[" + body_ + "]"; }

 private:
  JsonArray& Raw(const std::string& v) {
    body_ += (body_.empty() ? "" : ",") + v;
    return *this;
  }
  std::string body_;
};

inline JsonObject& JsonObject::Add(const std::string& key, const JsonArray& value) { return Raw(key, value.Text()); }

}  // namespace corlink_tool
