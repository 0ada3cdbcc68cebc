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

# How test code is compiled. The code under test keeps the build type's
# optimisation and debugging information; the test files themselves gain
# nothing from either (line tables are kept for backtraces).
function(tessel_test_code target)
  target_compile_options(${target} PRIVATE -O0 -g1 -U_FORTIFY_SOURCE)
endfunction()

# A GoogleTest executable registered with CTest.
function(tessel_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  tessel_cp1251(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} tessel_test_support GTest::gtest GTest::gtest_main)
  tessel_test_code(${name})
  # Labelled with the program's name, so that a preset can pick programs.
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300 LABELS ${name})
endfunction()
