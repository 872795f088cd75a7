# The in-process server VexmarExt.dll, cross-built with MinGW-w64: the type library
# compiled from IDL written from the class table, resources, the four exports by
# ordinal, the C++ runtime linked in statically so that the module needs only system
# DLLs.
enable_language(RC)

find_program(VEXMAR_WIDL_PROGRAM NAMES ${VEXMAR_WIDL} REQUIRED)
find_program(VEXMAR_ICONV iconv REQUIRED)
find_path(VEXMAR_WINE_IDL_DIR oaidl.idl PATHS /usr/include/wine/wine/windows
          NO_CMAKE_FIND_ROOT_PATH REQUIRED)
find_path(VEXMAR_STDOLE2_DIR stdole2.tlb
          PATHS /usr/lib/x86_64-linux-gnu/wine/x86_64-windows /usr/lib/i386-linux-gnu/wine/i386-windows
          NO_CMAKE_FIND_ROOT_PATH REQUIRED)

set(gen ${CMAKE_CURRENT_BINARY_DIR}/generated)
file(MAKE_DIRECTORY ${gen})

# The build machine's tools, with its own compiler.
find_program(VEXMAR_HOST_CXX NAMES c++ g++ clang++ NO_CMAKE_FIND_ROOT_PATH REQUIRED)
include(ExternalProject)
set(host_dir ${CMAKE_CURRENT_BINARY_DIR}/host_tools)
set(write_sources ${host_dir}/vexmar_write_server_sources)
set(finish_library ${host_dir}/vexmar_finish_type_library)
ExternalProject_Add(vexmar_host_tools
  SOURCE_DIR ${PROJECT_SOURCE_DIR}/tools/com_server/host_build
  BINARY_DIR ${host_dir}
  CMAKE_ARGS -DCMAKE_CXX_COMPILER=${VEXMAR_HOST_CXX} -DCMAKE_BUILD_TYPE=Release
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${write_sources} ${finish_library})

set(idl_utf8 ${gen}/VexmarExt.utf8.idl)
set(idl ${gen}/VexmarExt.idl)
set(rc_iids ${gen}/iid_resources.rc)
set(collection_idl ${gen}/CollectionInterface.idl)
set(collection_header ${gen}/CollectionInterface.h)
set(collection_library_idl ${gen}/CollectionLibrary.idl)
# The stand-in for the platform's collection library: the type library is compiled
# against it and records the import by LIBID, version and LCID; the Wine tests register
# it because Wine has no such library.
set(collection_tlb ${gen}/CollectionLibrary.tlb)
set(tlb_raw ${gen}/VexmarExt.widl.tlb)
set(tlb ${gen}/VexmarExt.tlb)
set(header ${gen}/VexmarExt_h.h)
set(widl ${VEXMAR_WIDL_PROGRAM} ${VEXMAR_WIDL_TARGET} -I${VEXMAR_WINE_IDL_DIR} -I${gen})

add_custom_command(OUTPUT ${idl_utf8} ${rc_iids} ${collection_idl} ${collection_library_idl}
  COMMAND ${write_sources} ${gen}
  DEPENDS vexmar_host_tools ${write_sources}
          ${PROJECT_SOURCE_DIR}/vexmar/component/class_table.hpp VERBATIM)
# The type library keeps its help strings in code page 936.
add_custom_command(OUTPUT ${idl}
  COMMAND ${VEXMAR_ICONV} -f UTF-8 -t GBK -o ${idl} ${idl_utf8}
  DEPENDS ${idl_utf8} VERBATIM)
add_custom_command(OUTPUT ${collection_tlb}
  COMMAND ${widl} -L${VEXMAR_STDOLE2_DIR} -t -o ${collection_tlb} ${collection_library_idl}
  DEPENDS ${collection_library_idl} ${collection_idl} VERBATIM)
add_custom_command(OUTPUT ${collection_header}
  COMMAND ${widl} -h -o ${collection_header} ${collection_idl}
  DEPENDS ${collection_idl} VERBATIM)
add_custom_command(OUTPUT ${tlb}
  COMMAND ${widl} -L${VEXMAR_STDOLE2_DIR} -L${gen} -t -o ${tlb_raw} ${idl}
  COMMAND ${finish_library} ${tlb_raw} ${tlb}
  DEPENDS ${idl} ${collection_idl} ${collection_tlb} ${finish_library} VERBATIM)
add_custom_command(OUTPUT ${header}
  COMMAND ${widl} -L${VEXMAR_STDOLE2_DIR} -L${gen} -h -o ${header} ${idl}
  DEPENDS ${idl} ${collection_idl} ${collection_tlb} VERBATIM)
add_custom_target(vexmar_type_library
  DEPENDS ${tlb} ${header} ${collection_header} ${collection_tlb} ${rc_iids})

set(rc ${CMAKE_CURRENT_SOURCE_DIR}/VexmarExt.rc)
set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${tlb};${rc_iids}")

add_library(VexmarExt SHARED
  bstr.cpp
  class_factory.cpp
  collection_dispatch.cpp
  collection_object.cpp
  collection_property.cpp
  com_error.cpp
  com_value.cpp
  dispatch_arguments.cpp
  entry_points.cpp
  module.cpp
  objects.cpp
  registration.cpp
  server_object.cpp
  type_info.cpp
  ${rc}
  ${CMAKE_CURRENT_SOURCE_DIR}/exports.def)
add_dependencies(VexmarExt vexmar_type_library)
set_target_properties(VexmarExt PROPERTIES PREFIX "" OUTPUT_NAME VexmarExt)
target_include_directories(VexmarExt SYSTEM PRIVATE ${gen})
target_include_directories(VexmarExt PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_definitions(VexmarExt PRIVATE UNICODE _UNICODE NOMINMAX)
target_link_libraries(VexmarExt PRIVATE
  vexmar_warnings vexmar_component vexmar_text vexmar_platform vexmar_names vexmar_multifile
  vexmar_sheets vexmar_workbook oleaut32 ole32 uuid advapi32)
target_link_options(VexmarExt PRIVATE
  -static-libgcc -static-libstdc++ -static -Wl,--enable-stdcall-fixup -s)

option(VEXMAR_BUILD_WINE_TESTS "Build the programs that test the server under Wine" OFF)
if(VEXMAR_BUILD_WINE_TESTS)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/com/wine ${PROJECT_BINARY_DIR}/tests/com/wine)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/workbook/wine ${PROJECT_BINARY_DIR}/tests/workbook/wine)
endif()
