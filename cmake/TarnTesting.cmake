# GoogleTest: the installed package natively; for the Windows builds Debian's sources,
# built with the cross compiler.
if(CMAKE_CROSSCOMPILING)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  target_link_options(gtest PUBLIC -static)
else()
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

# tarn_add_test_program(<name> <sources>... LIBS <libraries>...)
# Natively every test case is its own CTest test; under wine64 each program is one CTest
# test, because starting a Windows process is what costs time there.
# Only the 'unit' test set builds these; the 'release-checks' set registers its own tests.
function(tarn_add_test_program name)
  if(NOT TARN_TESTS STREQUAL "unit")
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} tarn_test_support GTest::gtest_main tarn_options)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT 900)
  else()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES TIMEOUT 300)
  endif()
endfunction()

# Where the committed test vectors live, as the test programs should spell it. Under Wine a
# Unix path is reached through drive Z:.
if(CMAKE_CROSSCOMPILING)
  set(TARN_TEST_DATA_DIR "Z:${PROJECT_SOURCE_DIR}/tests/data")
else()
  set(TARN_TEST_DATA_DIR "${PROJECT_SOURCE_DIR}/tests/data")
endif()
