# Warnings are errors on GCC and Clang; every target of the project gets them.
add_library(vexmar_warnings INTERFACE)
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  target_compile_options(vexmar_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wconversion -Wsign-conversion -Wshadow
    -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
    -Wnull-dereference -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough
    -Werror)
endif()
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  # GCC 12 at -O2/-O3 reports std::string concatenation as overlapping memcpy (GCC bug
  # 105329) and istreambuf_iterator as a null dereference: false positives that would
  # fail optimised builds. Clang keeps checking both.
  target_compile_options(vexmar_warnings INTERFACE -Wno-restrict -Wno-null-dereference)
endif()
