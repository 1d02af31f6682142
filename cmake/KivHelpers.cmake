# Helpers shared by every CMakeLists.txt of the project.

# kiv_add_test(NAME SOURCES... LIBS lib...)
# A GoogleTest executable; widget tests link kiv_widget_test_main for an offscreen QApplication.
function(kiv_add_test name)
  cmake_parse_arguments(ARG "WIDGETS" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  if(ARG_WIDGETS)
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} kiv_widget_test_main GTest::gtest)
  else()
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} kiv_test_support GTest::gtest_main)
  endif()
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  # Tests find the source and build trees through compiled-in paths (see testfiles.h): a list
  # of environment variables does not survive the discovery step's property escaping.
  target_compile_definitions(${name} PRIVATE
    KIV_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}" KIV_TEST_BUILD_DIR="${CMAKE_BINARY_DIR}")
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
    DISCOVERY_TIMEOUT 60)
endfunction()

# Everything installed into the stage is built before the stage is refreshed.
function(kiv_collect_targets dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub ${subdirs})
    kiv_collect_targets(${sub} sub_targets)
    list(APPEND targets ${sub_targets})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

# The build stages the complete installation tree under build/stage (the same tree that
# `cmake --install` writes), so build/stage/bin/kiv finds its installation root at build/stage.
function(kiv_finish_stage)
  add_custom_target(stage ALL
    COMMAND ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --prefix ${KIV_STAGE_DIR} > ${CMAKE_BINARY_DIR}/stage.log
    COMMENT "Staging the installation tree into ${KIV_STAGE_DIR}"
    VERBATIM)
  kiv_collect_targets(${CMAKE_SOURCE_DIR} all_targets)
  foreach(t ${all_targets})
    get_target_property(type ${t} TYPE)
    if(type MATCHES "EXECUTABLE|LIBRARY" AND NOT type STREQUAL "INTERFACE_LIBRARY")
      add_dependencies(stage ${t})
    elseif(type STREQUAL "UTILITY" AND NOT t STREQUAL "stage")
      get_target_property(in_all ${t} EXCLUDE_FROM_ALL)
      if(NOT in_all)
        add_dependencies(stage ${t})
      endif()
    endif()
  endforeach()
endfunction()
