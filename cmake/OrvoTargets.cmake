# Helpers that give every target of the project the same compiler settings.

function(orvo_target_settings target)
  target_compile_features(${target} PUBLIC cxx_std_20)
  target_compile_definitions(${target} PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                                               _WIN32_WINNT=0x0601 WINVER=0x0601)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wno-missing-field-initializers)
endfunction()

# One static library per src/ folder.
function(orvo_add_library name)
  add_library(${name} STATIC ${ARGN})
  orvo_target_settings(${name})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
endfunction()

function(orvo_link_static target)
  target_link_options(${target} PRIVATE -municode -static -static-libgcc -static-libstdc++)
endfunction()

# A test executable for one src/ folder; its GoogleTest cases are discovered at test time,
# when the Wine prefix exists. GUI runs the cases on the build's private Xvfb display
# (windows need a display; CI has none). LOCK names a resource (for example registry keys
# of the shared prefix) whose cases never run at the same time as other cases holding it.
# TZ_VARIANTS lists time zones: every case runs in the first, and the cases that the
# GoogleTest filter TZ_TESTS selects (those whose results depend on the zone) run once
# more in each of the others.
function(orvo_add_test name)
  cmake_parse_arguments(T "GUI" "LOCK;TZ_TESTS" "SOURCES;LIBS;TZ_VARIANTS" ${ARGN})
  set(lock)
  if(T_LOCK)
    set(lock RESOURCE_LOCK ${T_LOCK})
  endif()
  add_executable(${name} ${T_SOURCES})
  orvo_target_settings(${name})
  orvo_link_static(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} orvo_testsupport GTest::gtest)
  add_dependencies(${name} orvo_fixtures)
  if(T_GUI AND CMAKE_CROSSCOMPILING_EMULATOR)
    set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR
                          "${PROJECT_SOURCE_DIR}/cmake/wine-run-xvfb.sh;${CMAKE_BINARY_DIR}/wineprefix-gui")
  endif()
  set(discover DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120 WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  if(NOT T_TZ_VARIANTS)
    gtest_discover_tests(${name} ${discover} PROPERTIES TIMEOUT 300 ${lock})
    return()
  endif()
  if(NOT T_TZ_TESTS)
    message(FATAL_ERROR "orvo_add_test(${name}): TZ_VARIANTS needs TZ_TESTS, the cases that depend on the zone")
  endif()
  list(POP_FRONT T_TZ_VARIANTS first)
  gtest_discover_tests(${name} ${discover} PROPERTIES TIMEOUT 300 ENVIRONMENT "TZ=${first}" ${lock})
  foreach(tz IN LISTS T_TZ_VARIANTS)
    gtest_discover_tests(${name} ${discover} TEST_FILTER "${T_TZ_TESTS}" TEST_SUFFIX " [TZ=${tz}]"
                         PROPERTIES TIMEOUT 300 ENVIRONMENT "TZ=${tz}" ${lock})
  endforeach()
endfunction()

# An independent check of what a test writes: the test executable's cases that FILTER
# selects run with the environment variable ENV set and write their artifacts into
# <build>/artifacts; then the Python script CHECK reads them back with its own parsers
# (ARGS go before the artifacts folder). Named NAME_artifacts and NAME_check. LOCK as
# for orvo_add_test().
function(orvo_add_artifact_check name)
  cmake_parse_arguments(A "" "TEST;FILTER;ENV;CHECK;LOCK" "ARGS" ${ARGN})
  set(lock)
  if(A_LOCK)
    set(lock RESOURCE_LOCK ${A_LOCK})
  endif()
  add_test(NAME ${name}_artifacts COMMAND ${A_TEST} --gtest_filter=${A_FILTER})
  set_tests_properties(${name}_artifacts PROPERTIES ENVIRONMENT "${A_ENV}=1" TIMEOUT 300
                       WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin FIXTURES_SETUP ${name} ${lock})
  add_test(NAME ${name}_check
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/${A_CHECK} ${A_ARGS} ${CMAKE_BINARY_DIR}/artifacts)
  set_tests_properties(${name}_check PROPERTIES FIXTURES_REQUIRED ${name} TIMEOUT 120)
endfunction()

# A test-only binary from tests/fixtures/, written to <build>/fixtures.
function(orvo_add_fixture name kind)
  cmake_parse_arguments(F "" "OUTPUT_NAME" "SOURCES;LIBS" ${ARGN})
  if(kind STREQUAL "DLL")
    add_library(${name} SHARED ${F_SOURCES})
    set_target_properties(${name} PROPERTIES PREFIX "")
  else()
    add_executable(${name} ${F_SOURCES})
  endif()
  orvo_target_settings(${name})
  orvo_link_static(${name})
  if(F_LIBS)
    target_link_libraries(${name} PRIVATE ${F_LIBS})
  endif()
  set_target_properties(${name} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fixtures
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fixtures)
  if(F_OUTPUT_NAME)
    set_target_properties(${name} PROPERTIES OUTPUT_NAME ${F_OUTPUT_NAME})
  endif()
  add_dependencies(orvo_fixtures ${name})
endfunction()

