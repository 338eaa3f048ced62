# pelorin_add_fuzzer(<name> SOURCES ... LIBS ... [CORPUS dir])
#
# A fuzz target defines LLVMFuzzerTestOneInput. With clang and PELORIN_LIBFUZZER it is
# linked against libFuzzer; otherwise against a small replay driver that feeds the seed
# corpus and a fixed number of pseudo-random mutations, so every build can smoke-test it.
# Either way CTest runs a short smoke run (label "fuzz").
set(PELORIN_FUZZ_DRIVER ${CMAKE_CURRENT_LIST_DIR}/fuzz_driver.cpp)

function(pelorin_add_fuzzer name)
  cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  pelorin_target_defaults(${name})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  set(corpus_args)
  if(F_CORPUS)
    set(corpus_args ${F_CORPUS})
  endif()
  if(PELORIN_LIBFUZZER AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    # Copy the seeds: libFuzzer writes new finds into its first corpus folder.
    add_test(NAME ${name}_smoke
      COMMAND ${CMAKE_COMMAND} -DFUZZER=$<TARGET_FILE:${name}> -DCORPUS=${F_CORPUS}
              -DWORK=${CMAKE_CURRENT_BINARY_DIR}/${name}_corpus
              -P ${CMAKE_SOURCE_DIR}/cmake/RunFuzzSmoke.cmake)
  else()
    target_sources(${name} PRIVATE ${PELORIN_FUZZ_DRIVER})
    add_test(NAME ${name}_smoke COMMAND ${name} ${corpus_args})
  endif()
  set_tests_properties(${name}_smoke PROPERTIES LABELS fuzz TIMEOUT 120)
  # One line per target for scripts/fuzz.sh: name, executable, seed corpus.
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/fuzz_targets/${name}.txt
       CONTENT "${name}\t$<TARGET_FILE:${name}>\t${F_CORPUS}\n")
endfunction()
