#include "io/file_names.h"

namespace veltmoor {

namespace {

// Leaves room below the usual 255-byte limit for the suffixes the studies append.
constexpr std::size_t kMaxStemBytes = 200;

bool IsValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    char32_t code = 0;
    if (lead < 0x80) {
      length = 1;
      code = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2;
      code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3;
      code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4;
      code = lead & 0x07;
    } else {
      return false;
    }
    if (i + length > text.size()) {
      return false;
    }
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) {
        return false;
      }
      code = (code << 6) | (next & 0x3F);
    }
    constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      return false;  // overlong forms and surrogates hide characters from checks
    }
    i += length;
  }
  return true;
}

}  // namespace

std::string FileStemFault(std::string_view stem) {
  if (stem.empty()) {
    return "is empty";
  }
  if (stem.size() > kMaxStemBytes) {
    return "is longer than " + std::to_string(kMaxStemBytes) + " bytes";
  }
  if (!IsValidUtf8(stem)) {
    return "is not valid UTF-8";
  }
  for (const char ch : stem) {
    const auto byte = static_cast<unsigned char>(ch);
    if (ch == '/' || ch == '\\') {
      return "holds a folder separator; it is a name, not a path";
    }
    if (byte < 0x20 || byte == 0x7F) {
      return "holds a control character";
    }
  }
  if (stem.find("..") != std::string_view::npos) {
    return "holds '..'";
  }
  return {};
}

}  // namespace veltmoor
