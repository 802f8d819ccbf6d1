# The house rules every veltmoor target builds under, in one place: a target links
# veltmoor_options (or veltmoor_qt_options when it uses Qt) instead of repeating flags.
option(VELTMOOR_WERROR "Treat compiler warnings as errors (the Makefile turns it on)" OFF)

add_library(veltmoor_options INTERFACE)
target_compile_features(veltmoor_options INTERFACE cxx_std_20)
target_compile_options(veltmoor_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
  $<$<BOOL:${VELTMOOR_WERROR}>:-Werror>
  # GCC 12 at -O3 reports overlapping copies inside std::string's own concatenation (GCC
  # bug 105329); the optimised benchmark build would stop on every "." + name.
  $<$<AND:$<CXX_COMPILER_ID:GNU>,$<CONFIG:Release>>:-Wno-restrict>)

# Qt code spells out how bytes become a QString (a literal is not silently taken as
# Latin-1 or UTF-8), and a signal may not narrow a value on its way to a slot.
add_library(veltmoor_qt_options INTERFACE)
target_link_libraries(veltmoor_qt_options INTERFACE veltmoor_options)
target_compile_definitions(veltmoor_qt_options INTERFACE
  QT_NO_CAST_FROM_ASCII QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)
