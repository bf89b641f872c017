# Sanitizer and fuzzing builds. Both are whole-build options, so a sanitized
# build is the same tree configured into its own folder, never a copy of it.
#
#   -DCORVANTA_SANITIZE=address,undefined   ASan + UBSan
#   -DCORVANTA_SANITIZE=thread              TSan
#   -DCORVANTA_FUZZ=ON                      libFuzzer targets (clang only)
#
# Every sanitizer report aborts the program, so a finding fails its test
# instead of scrolling past in the log.
set(CORVANTA_SANITIZE "" CACHE STRING
    "Comma-separated -fsanitize= list for the whole build (empty: none)")
option(CORVANTA_FUZZ "Build the libFuzzer targets in fuzz/ (needs clang)" OFF)

if(CORVANTA_SANITIZE)
  add_compile_options(-fsanitize=${CORVANTA_SANITIZE} -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${CORVANTA_SANITIZE} -fno-sanitize-recover=all)
endif()

if(CORVANTA_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "CORVANTA_FUZZ needs clang (libFuzzer): -DCMAKE_CXX_COMPILER=clang++")
  endif()
  # The libraries carry coverage counters, so the fuzzers see which branches
  # of our parsers an input reached. Only the fuzz targets link libFuzzer's
  # main; the ordinary tests keep their own.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# corvanta_fuzz_target(name source... LIBS lib...): one libFuzzer program;
# without CORVANTA_FUZZ the same target over replaymain.cpp, which runs each
# corpus file once, so that the ordinary suite replays the corpus too.
function(corvanta_fuzz_target name)
  cmake_parse_arguments(arg "" "" "LIBS" ${ARGN})
  add_executable(${name} ${arg_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${arg_LIBS})
  if(CORVANTA_FUZZ)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  else()
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/fuzz/replaymain.cpp)
  endif()
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  corvanta_warnings(${name})
endfunction()
