# Applies the sanitizers of the asan and fuzz presets to every target of the build.
if(LANTRA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# The fuzz preset instruments every target for libFuzzer's coverage; the harnesses themselves
# link libFuzzer's main (tests/fuzz).
if(LANTRA_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "LANTRA_FUZZ needs clang: libFuzzer is part of clang's runtime")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
