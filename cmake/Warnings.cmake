# Warnings for every target of the project; -Werror in CI (BRIVANTEL_WERROR).
function(brivantel_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                           -Wno-sign-conversion -Wnon-virtual-dtor -Woverloaded-virtual
                                           # g++ 12 reports false -Wrestrict on std::string assignments
                                           # (clang, used for fuzzing, has no such warning)
                                           $<$<CXX_COMPILER_ID:GNU>:-Wno-restrict>)
  if(BRIVANTEL_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
