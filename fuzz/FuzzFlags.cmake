# Compiler flags of a fuzz build (ORVANE_FUZZ=ON): everything is compiled with
# clang, instrumented for libFuzzer's coverage and checked by AddressSanitizer
# and UndefinedBehaviorSanitizer; only the fuzz programs link libFuzzer itself.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "ORVANE_FUZZ needs clang: configure a build folder of its own with "
                      "-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++")
endif()
set(ORVANE_TESTS OFF CACHE BOOL "Build the tests" FORCE)
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                    -fno-sanitize-recover=all)
add_link_options(-fsanitize=address,undefined)
