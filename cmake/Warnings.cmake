# The warning set every target of ours is built with; warnings are errors.
function(velxmln_warnings target)
  target_compile_options(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra -Wpedantic -Wshadow -Wold-style-cast -Werror>
    $<$<COMPILE_LANGUAGE:C>:-Wall -Wextra -Wpedantic -Wshadow -Werror>)
endfunction()
