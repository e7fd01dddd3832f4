#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

#include "base/MlsEntry.h"

namespace zm {

// One value for a text template.
class MlsArg {
  public:
    MlsArg(int v) : value_(static_cast<int64_t>(v)) {}
    MlsArg(long v) : value_(static_cast<int64_t>(v)) {}
    MlsArg(long long v) : value_(static_cast<int64_t>(v)) {}
    MlsArg(unsigned v) : value_(static_cast<int64_t>(v)) {}
    MlsArg(unsigned long v) : value_(static_cast<int64_t>(v)) {}
    MlsArg(unsigned long long v) : value_(static_cast<int64_t>(v)) {}
    MlsArg(double v) : value_(v) {}
    MlsArg(const char* v) : value_(std::string_view(v ? v : "")) {}
    MlsArg(std::string_view v) : value_(v) {}
    MlsArg(const std::string& v) : value_(std::string_view(v)) {}

    const std::variant<int64_t, double, std::string_view>& Value() const { return value_; }

  private:
    std::variant<int64_t, double, std::string_view> value_;
};

// Fills a template that holds printf-style conversions ("%s", "%-12.8f", "%d" ...) without
// ever handing it to printf: translated templates come from language files. The
// translation is used only when its conversions match those of the built-in template in
// number and kind (text, integer, floating); otherwise, and for "%n", "%p", "*" or a broken
// conversion, the built-in template is used.
std::string MlsFormat(std::string_view translated, std::string_view builtIn,
                      std::initializer_list<MlsArg> args);

// The same with the entry's translation (Translate) and its built-in text.
std::string MlsFormat(const CMlsEntry& entry, const char* section,
                      std::initializer_list<MlsArg> args);
std::string MlsFormat(const CMlsEntry& entry, std::initializer_list<MlsArg> args);

}  // namespace zm
