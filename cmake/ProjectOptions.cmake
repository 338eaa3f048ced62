# A compiler cache, when the machine has one: rebuilds of other worktrees and of CI's clean
# clone reuse what an earlier build compiled (the bootstrap installs ccache).
find_program(PELORIN_CCACHE ccache)
if(PELORIN_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
  set(CMAKE_C_COMPILER_LAUNCHER ${PELORIN_CCACHE})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${PELORIN_CCACHE})
endif()

# Compiler warnings and sanitizer settings shared by every target.
add_library(pelorin_options INTERFACE)
target_compile_options(pelorin_options INTERFACE
  -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wformat=2 -Wno-missing-field-initializers)
if(PELORIN_WERROR)
  target_compile_options(pelorin_options INTERFACE -Werror)
endif()

# pelorin_target_defaults(<target>): warnings for our own code.
function(pelorin_target_defaults target)
  target_link_libraries(${target} PRIVATE pelorin_options)
endfunction()

# pelorin_add_test(<name> SOURCES ... LIBS ... [LABELS ...] [ENV ...])
# One GoogleTest executable registered test by test with CTest.
function(pelorin_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  pelorin_target_defaults(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  # An empty value would vanish on the way and shift the pairs (a test labelled
  # "ENVIRONMENT"): only the properties that have one are passed.
  if(T_LABELS AND T_ENV)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
      PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}" ENVIRONMENT "${T_ENV}")
  elseif(T_LABELS)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
      PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}")
  elseif(T_ENV)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
      PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${T_ENV}")
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT ${T_TIMEOUT})
  endif()
endfunction()
