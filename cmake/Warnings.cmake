# corvanta_warnings(target): the project's warning set. Warnings are fixed,
# not silenced, so they stay errors-in-waiting rather than noise.
function(corvanta_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic
                                           -Wnon-virtual-dtor -Woverloaded-virtual
                                           $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local>)
endfunction()
