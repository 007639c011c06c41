# For scripts run with cmake -P and -D <variable>=<value> arguments.

# kavrin_require_defined(<script name> <variables...>)
# Stops the script with "<script name>: <variable> is not set" at the first of the variables that
# the command line did not define.
function(kavrin_require_defined script)
  foreach(var ${ARGN})
    if(NOT DEFINED ${var})
      message(FATAL_ERROR "${script}: ${var} is not set")
    endif()
  endforeach()
endfunction()
