# One static library per subsystem; the dependency direction is stated by DEPS.
#   vexmar_add_subsystem(<name> SOURCES ... [DEPS ...] [LIBS ...])
# creates target vexmar_<name> with the repository root as include root.
function(vexmar_add_subsystem name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;LIBS" ${ARGN})
  add_library(vexmar_${name} STATIC ${ARG_SOURCES})
  target_include_directories(vexmar_${name} PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>)
  target_link_libraries(vexmar_${name} PRIVATE vexmar_warnings)
  if(NOT WIN32)
    # Hidden unless marked VEXMAR_API: the shared library exports the public API alone.
    set_target_properties(vexmar_${name} PROPERTIES CXX_VISIBILITY_PRESET hidden
                                                    VISIBILITY_INLINES_HIDDEN ON)
  endif()
  foreach(dep IN LISTS ARG_DEPS)
    target_link_libraries(vexmar_${name} PUBLIC vexmar_${dep})
  endforeach()
  if(ARG_LIBS)
    target_link_libraries(vexmar_${name} PUBLIC ${ARG_LIBS})
    set_property(GLOBAL APPEND PROPERTY VEXMAR_EXTERNAL_LIBS ${ARG_LIBS})
  endif()
  set_property(GLOBAL APPEND PROPERTY VEXMAR_SUBSYSTEMS vexmar_${name})
endfunction()

# vexmar_add_test(<name> SOURCES ... DEPS ... [LIBS ...] [LABELS ...]): a GoogleTest
# executable run by ctest. Tests labelled "tsan" also run under ThreadSanitizer.
function(vexmar_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE vexmar_warnings GTest::gtest GTest::gmock GTest::gtest_main)
  foreach(dep IN LISTS ARG_DEPS)
    target_link_libraries(${name} PRIVATE vexmar_${dep})
  endforeach()
  if(ARG_LIBS)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  endif()
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  # Parameterised cases are named by their name generators; without NO_PRETTY_VALUES
  # ctest would append each parameter's printed value (a byte dump for most) instead.
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 NO_PRETTY_VALUES
    PROPERTIES ENVIRONMENT "VEXMAR_SOURCE_DIR=${PROJECT_SOURCE_DIR}" LABELS "${ARG_LABELS}")
endfunction()
