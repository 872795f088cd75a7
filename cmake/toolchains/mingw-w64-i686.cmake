# Cross-building the Windows server with MinGW-w64 (i686) from Debian.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(VEXMAR_MINGW_TRIPLET i686-w64-mingw32)

set(CMAKE_C_COMPILER ${VEXMAR_MINGW_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${VEXMAR_MINGW_TRIPLET}-g++)
set(CMAKE_RC_COMPILER ${VEXMAR_MINGW_TRIPLET}-windres)
set(VEXMAR_WIDL ${VEXMAR_MINGW_TRIPLET}-widl)
set(VEXMAR_WIDL_TARGET --win32)

set(CMAKE_FIND_ROOT_PATH /usr/${VEXMAR_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Functions are not split into hot and cold parts. GCC 12 can give a function an empty
# cold part whose unwind entry covers no bytes; where the linker puts it at the start of
# another function's cold part, the 32-bit DWARF unwinder's search can miss that
# function, and an exception passing through it (any error a member reports) ends the
# process with abort(). The 64-bit build unwinds by the exception directory and does not
# split functions. Added to every compile rather than to the initial flags, which a build
# directory configured earlier would not take up.
add_compile_options(-fno-reorder-blocks-and-partition)
