# The system's text is Windows-1251. Every target that does not use Qt is
# compiled with its string literals converted to Windows-1251, so the Russian
# texts of the sources (kept in UTF-8) reach files and logs as the right bytes.
# Qt targets keep UTF-8 literals: they only display text.
#
# Clang (used only for the fuzzing build) cannot convert literals; the targets
# it builds there (platform, liborlak, the parsers) hold ASCII literals only.
function(tessel_cp1251 target)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -fexec-charset=CP1251)
  endif()
endfunction()

# A GoogleTest executable registered with CTest.
function(tessel_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  tessel_cp1251(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} tessel_test_support GTest::gtest GTest::gtest_main)
  # The code under test keeps the build type's optimisation; the test files
  # themselves gain nothing from it and optimising them was half the time the
  # test build took.
  target_compile_options(${name} PRIVATE -O0 -U_FORTIFY_SOURCE)
  # Labelled with the program's name, so that a preset can pick programs.
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300 LABELS ${name})
endfunction()
