# Warnings are errors on our own code; third-party headers come in as system headers.
function(lantra_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                             -Wno-sign-conversion -Werror)
  endif()
endfunction()
