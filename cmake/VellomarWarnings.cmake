# Warnings for our own code, as errors. Every library and executable of ours links this
# INTERFACE target privately; third-party headers come in as system includes and stay quiet.
add_library(vl_warnings INTERFACE)
target_compile_options(vl_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Woverloaded-virtual -Wnon-virtual-dtor -Werror
  # GCC 12 at -O3 reports std::optional and Qt's shared data as "maybe uninitialized" where
  # they are not; keep the warning visible but do not fail the build on it.
  $<$<CXX_COMPILER_ID:GNU>:-Wno-error=maybe-uninitialized>)
# Keep encodings explicit and signal arguments honest.
target_compile_definitions(vl_warnings INTERFACE
  QT_NO_CAST_FROM_ASCII QT_NO_NARROWING_CONVERSIONS_IN_CONNECT QT_NO_KEYWORDS)
