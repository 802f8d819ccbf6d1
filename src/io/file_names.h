// Names a user gives for files the program writes: a stem, never a path.
#pragma once

#include <string>
#include <string_view>

namespace veltmoor {

// Why `stem` cannot name a file in a folder the program owns, or an empty string when it
// can: it must be non-empty valid UTF-8 of at most 200 bytes, without a folder separator,
// a control character, or a ".." that could climb out of the folder.
std::string FileStemFault(std::string_view stem);

}  // namespace veltmoor
