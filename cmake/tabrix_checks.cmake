# Checks shared by tabrix_add_tables (configure time) and its build step
# tabrix_generate.cmake.

# Fails with a message unless <file> is a regular file (or a link to one). A
# FIFO, a device or a folder would block the build step or feed it something
# that is not a key file; the test runs before anything opens the file.
function(tabrix_require_regular_file what file)
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "${what} ${file} not found")
  endif()
  if(IS_DIRECTORY "${file}")
    message(FATAL_ERROR "${what} ${file} is a folder, not a regular file")
  endif()
  if(CMAKE_HOST_UNIX)
    execute_process(COMMAND test -f "${file}" RESULT_VARIABLE not_regular)
    if(NOT not_regular EQUAL 0)
      message(FATAL_ERROR "${what} ${file} is not a regular file (a FIFO, a device or a socket)")
    endif()
  endif()
endfunction()
