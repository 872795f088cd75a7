# The installable library: libVexmarExt.so (versioned) and libVexmarExt.a built from the
# subsystem archives, the headers under include/vexmar/, a CMake package config
# (VexmarExt::VexmarExt, VexmarExt::VexmarExt_static), a pkg-config file and a .deb.
if(WIN32)
  return()
endif()
include(GNUInstallDirs)

get_property(vexmar_subsystems GLOBAL PROPERTY VEXMAR_SUBSYSTEMS)
get_property(vexmar_external GLOBAL PROPERTY VEXMAR_EXTERNAL_LIBS)
if(vexmar_external)
  list(REMOVE_DUPLICATES vexmar_external)
endif()

# How each external library is found again by consumers of the static library.
set(vexmar_find_dependencies "")
set(vexmar_pc_requires "")
foreach(lib IN LISTS vexmar_external)
  if(lib STREQUAL "EXPAT::EXPAT")
    string(APPEND vexmar_find_dependencies "find_dependency(EXPAT)\n")
    list(APPEND vexmar_pc_requires expat)
  elseif(lib STREQUAL "ZLIB::ZLIB")
    string(APPEND vexmar_find_dependencies "find_dependency(ZLIB)\n")
    list(APPEND vexmar_pc_requires zlib)
  elseif(lib STREQUAL "Libgcrypt::Libgcrypt")
    string(APPEND vexmar_find_dependencies "find_dependency(Libgcrypt)\n")
    list(APPEND vexmar_pc_requires libgcrypt)
  elseif(lib MATCHES "^ICU::(.*)$")
    string(APPEND vexmar_find_dependencies "find_dependency(ICU COMPONENTS ${CMAKE_MATCH_1})\n")
    list(APPEND vexmar_pc_requires icu-${CMAKE_MATCH_1})
  else()
    message(FATAL_ERROR "No package mapping for external library ${lib}")
  endif()
endforeach()
list(JOIN vexmar_pc_requires ", " vexmar_pc_requires)

# The objects come from the subsystem archives; CMake wants one source of its own.
set(vexmar_shared_source ${CMAKE_CURRENT_BINARY_DIR}/vexmar_shared_library.cpp)
file(CONFIGURE OUTPUT ${vexmar_shared_source}
     CONTENT "// libVexmarExt.so: every object of the subsystem archives.\n")

add_library(VexmarExt SHARED ${vexmar_shared_source})
# Every object of every subsystem goes in, whether or not another object refers to it.
set(vexmar_archives "")
foreach(lib IN LISTS vexmar_subsystems)
  list(APPEND vexmar_archives "$<TARGET_FILE:${lib}>")
endforeach()
add_dependencies(VexmarExt ${vexmar_subsystems})
target_link_libraries(VexmarExt PRIVATE -Wl,--whole-archive ${vexmar_archives}
                      -Wl,--no-whole-archive ${vexmar_external})
# The subsystems are compiled with hidden visibility and export what is marked
# VEXMAR_API; the version script also keeps the standard library's template instances,
# which have default visibility wherever they are made, out of the exported symbols.
set(vexmar_symbol_map ${PROJECT_SOURCE_DIR}/cmake/package/VexmarExt.map)
target_link_options(VexmarExt PRIVATE "LINKER:--version-script=${vexmar_symbol_map}")
set_property(TARGET VexmarExt APPEND PROPERTY LINK_DEPENDS ${vexmar_symbol_map})
target_include_directories(VexmarExt INTERFACE $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>)
target_compile_features(VexmarExt INTERFACE cxx_std_20)
set_target_properties(VexmarExt PROPERTIES VERSION ${PROJECT_VERSION}
                                           SOVERSION ${PROJECT_VERSION_MAJOR})

# The names a parent project that adds this one with add_subdirectory() links to, the same
# as those of the installed package; in the build tree the static form is the subsystem
# archives themselves.
add_library(vexmar_static_all INTERFACE)
target_link_libraries(vexmar_static_all INTERFACE ${vexmar_subsystems})
add_library(VexmarExt::VexmarExt ALIAS VexmarExt)
add_library(VexmarExt::VexmarExt_static ALIAS vexmar_static_all)

# One static archive holding every subsystem's objects.
set(vexmar_static ${CMAKE_CURRENT_BINARY_DIR}/libVexmarExt.a)
set(vexmar_mri "CREATE ${vexmar_static}\n")
foreach(lib IN LISTS vexmar_subsystems)
  string(APPEND vexmar_mri "ADDLIB $<TARGET_FILE:${lib}>\n")
endforeach()
string(APPEND vexmar_mri "SAVE\nEND\n")
file(GENERATE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/VexmarExt_static.mri CONTENT "${vexmar_mri}")
add_custom_command(OUTPUT ${vexmar_static}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${vexmar_static}
  COMMAND sh -c "'${CMAKE_AR}' -M < '${CMAKE_CURRENT_BINARY_DIR}/VexmarExt_static.mri'"
  DEPENDS ${vexmar_subsystems} ${CMAKE_CURRENT_BINARY_DIR}/VexmarExt_static.mri
  COMMENT "Merging subsystem archives into libVexmarExt.a" VERBATIM)
add_custom_target(VexmarExt_static ALL DEPENDS ${vexmar_static})

if(NOT VEXMAR_INSTALL)
  return()
endif()
install(TARGETS VexmarExt LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
if(TARGET vexmar_cli)
  # The tool finds the library beside it in any prefix (a .deb's is the system's).
  set_target_properties(vexmar_cli PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
  install(TARGETS vexmar_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES ${vexmar_static} DESTINATION ${CMAKE_INSTALL_LIBDIR})
# The public headers alone (vexmar/CMakeLists.txt lists them).
foreach(header IN LISTS VEXMAR_PUBLIC_HEADERS VEXMAR_PUBLIC_C_HEADERS)
  get_filename_component(header_dir ${header} DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/vexmar/${header}
          DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vexmar/${header_dir})
endforeach()

set(vexmar_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/VexmarExt)
# Both files find the prefix relative to where they are installed, so the package works
# wherever it is unpacked (cmake --install --prefix, a .deb, a copied tree).
file(RELATIVE_PATH vexmar_cmake_to_prefix /prefix/${vexmar_cmake_dir} /prefix)
file(RELATIVE_PATH vexmar_pc_to_prefix /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(${PROJECT_SOURCE_DIR}/cmake/package/VexmarExtConfig.cmake.in
               ${CMAKE_CURRENT_BINARY_DIR}/VexmarExtConfig.cmake @ONLY)
include(CMakePackageConfigHelpers)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/VexmarExtConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/VexmarExtConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/VexmarExtConfigVersion.cmake
              ${PROJECT_SOURCE_DIR}/cmake/FindLibgcrypt.cmake
        DESTINATION ${vexmar_cmake_dir})
configure_file(${PROJECT_SOURCE_DIR}/cmake/package/VexmarExt.pc.in
               ${CMAKE_CURRENT_BINARY_DIR}/VexmarExt.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/VexmarExt.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

set(CPACK_PACKAGE_NAME "libvexmarext-dev")
set(CPACK_PACKAGE_VENDOR "VexmarExt developers")
set(CPACK_PACKAGE_CONTACT "VexmarExt developers <maintainers@vexmarext.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Grading-rule expansion library with an embedded workbook reader, its C interface and the vexmar tool")
set(CPACK_DEBIAN_PACKAGE_SECTION "libdevel")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Consumers of the static library and of the CMake package find expat, zlib and libgcrypt
# themselves.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libexpat1-dev, zlib1g-dev, libgcrypt20-dev")
# One package per install component: libvexmarext-dev, and python3-vexmar where the
# Python module is built (its settings are in python/CMakeLists.txt).
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_NAME "libvexmarext-dev")
set(CPACK_SET_DESTDIR OFF)
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
include(CPack)
