// A name the program looks things up by (a setting, a label, a value-list key, a chart or a
// series), typed by what it names so a label's name cannot reach a lookup of settings.
// Construction is explicit: a name is written once, as a constant beside the table that
// registers it, and code refers to the constant.
#pragma once

#include <string>
#include <string_view>

namespace veltmoor {

template <class Kind>
class TypedName {
 public:
  constexpr explicit TypedName(std::string_view text) : text_(text) {}

  constexpr std::string_view View() const { return text_; }
  std::string Str() const { return std::string(text_); }

  constexpr bool operator==(const TypedName&) const = default;

 private:
  std::string_view text_;
};

}  // namespace veltmoor
