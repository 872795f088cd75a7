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

# No hot/cold splitting of functions: with GCC 12's DWARF-2 unwinder on i686, an exception
# that passes a cleanup moved into a ".cold" part could not be resumed there
# (_Unwind_Resume aborted the host process), depending only on where the linker placed
# that part. Seen with GetRuleItem's overflow error once the module grew.
set(CMAKE_CXX_FLAGS_INIT "-fno-reorder-blocks-and-partition")
