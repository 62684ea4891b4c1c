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

# tabrix_read_hex_file(<out> <bits_out> <what> <file> <bits>...): the hex digits
# of a key or seed file in lower case, and in <bits_out> their number of bits,
# which must be one of <bits> (128: 32 digits, 192: 48, 256: 64). Blanks and
# line ends around the digits are ignored. Its messages say nothing about the
# content: it may be a key with a typo. The file is checked for a regular file
# first (at build time again: it may have been replaced since configure time).
function(tabrix_read_hex_file out bits_out what file)
  set(sizes "")
  foreach(bits IN LISTS ARGN)
    math(EXPR digits "${bits} / 4")
    list(APPEND sizes ${digits})
  endforeach()
  list(LENGTH sizes count)
  if(count EQUAL 1)
    set(wanted "${sizes}")
  else()
    list(POP_BACK sizes last)
    list(JOIN sizes ", " wanted)
    set(wanted "${wanted} or ${last}")
    list(APPEND sizes ${last})
  endif()
  tabrix_require_regular_file("${what}" "${file}")
  file(READ "${file}" text LIMIT 4096)
  string(STRIP "${text}" text)
  if(NOT text MATCHES "^[0-9A-Fa-f]+$")
    message(FATAL_ERROR "${file}: the ${what} must hold ${wanted} hexadecimal digits and nothing else")
  endif()
  string(LENGTH "${text}" length)
  list(FIND sizes ${length} index)
  if(index EQUAL -1)
    message(FATAL_ERROR "${file}: the ${what} must hold ${wanted} hexadecimal digits, not ${length}")
  endif()
  math(EXPR bits "${length} * 4")
  string(TOLOWER "${text}" text)
  set(${out} "${text}" PARENT_SCOPE)
  set(${bits_out} "${bits}" PARENT_SCOPE)
endfunction()

# The 256 byte values as two lower-case hex digits each, in order.
function(_tabrix_byte_list out)
  set(digits 0 1 2 3 4 5 6 7 8 9 a b c d e f)
  set(bytes "")
  foreach(high IN LISTS digits)
    foreach(low IN LISTS digits)
      list(APPEND bytes "${high}${low}")
    endforeach()
  endforeach()
  set(${out} "${bytes}" PARENT_SCOPE)
endfunction()

# Reads a coding file of <sets> coding sets (8192 bytes each) into <out>: a list
# of the file's bytes as hex, after checking that it is a regular file of
# exactly that size and that each of its records is a byte coding whose second
# 256 bytes are the inverse of its first 256. The message names the file.
function(tabrix_read_coding_file out file sets)
  tabrix_require_regular_file("coding file" "${file}")
  math(EXPR expected "${sets} * 8192")
  file(SIZE "${file}" size)
  if(NOT size EQUAL expected)
    message(FATAL_ERROR "coding file ${file} has ${size} bytes, not ${expected}: "
                        "it is not a coding file of this kind, or it was cut short")
  endif()
  file(READ "${file}" hex HEX)
  string(REGEX MATCHALL ".." bytes "${hex}")
  _tabrix_byte_list(identity)
  math(EXPR last_record "${sets} * 16 - 1")
  foreach(record RANGE ${last_record})
    math(EXPR first "${record} * 512")
    math(EXPR second "${first} + 256")
    list(SUBLIST bytes ${first} 256 forward)
    list(SUBLIST bytes ${second} 256 inverse)
    # Sorted by image, the pairs (image, preimage) must run through every
    # image once, with the preimages forming the inverse table.
    set(pairs "")
    foreach(image preimage IN ZIP_LISTS forward identity)
      list(APPEND pairs "${image}${preimage}")
    endforeach()
    list(SORT pairs)
    set(expected_pairs "")
    foreach(image preimage IN ZIP_LISTS identity inverse)
      list(APPEND expected_pairs "${image}${preimage}")
    endforeach()
    if(NOT pairs STREQUAL expected_pairs)
      math(EXPR set_number "${record} / 16")
      math(EXPR record_number "${record} % 16")
      message(FATAL_ERROR "coding file ${file}: record ${record_number} of coding set ${set_number} "
                          "is not a byte coding with its inverse")
    endif()
  endforeach()
  set(${out} "${bytes}" PARENT_SCOPE)
endfunction()

# Checks that an IOC file (input and output set) and a CBC data file of one
# direction hold related triples, record by record: the three codings are
# L(x) ^ a, L(x) ^ b and L(x) ^ a ^ b for one invertible linear L, which is the
# case exactly when input(x) ^ data(x) = output(0) and input(x) ^ output(x) =
# data(0) for every x, and input is affine. Both files have passed
# tabrix_read_coding_file (given here as the names of its lists).
function(tabrix_check_cbc_triple ioc_file ioc_list data_file data_list)
  set(ioc_codes "${${ioc_list}}")
  set(data_set "${${data_list}}")
  foreach(record RANGE 15)
    math(EXPR in_base "${record} * 512")
    math(EXPR out_base "${in_base} + 8192")
    list(SUBLIST ioc_codes ${in_base} 256 in_codes)
    list(SUBLIST ioc_codes ${out_base} 256 out_codes)
    list(SUBLIST data_set ${in_base} 256 data_codes)
    list(GET in_codes 0 in0)
    list(GET out_codes 0 out0)
    list(GET data_codes 0 data0)
    # f(x) = input(x) ^ input(0) must be linear: f(x) = f(x - low) ^ f(low),
    # low the lowest set bit of x; linear holds f(0), f(1), ... as found.
    set(linear "")
    set(x 0)
    foreach(in out data IN ZIP_LISTS in_codes out_codes data_codes)
      math(EXPR f "0x${in} ^ 0x${in0}")
      math(EXPR bad "(0x${in} ^ 0x${data} ^ 0x${out0}) | (0x${in} ^ 0x${out} ^ 0x${data0})")
      math(EXPR low "${x} & -${x}")
      if(bad EQUAL 0 AND NOT low EQUAL x)
        math(EXPR rest "${x} - ${low}")
        list(GET linear ${low} f_low)
        list(GET linear ${rest} f_rest)
        math(EXPR bad "${f} ^ ${f_low} ^ ${f_rest}")
      endif()
      if(NOT bad EQUAL 0)
        message(FATAL_ERROR "coding files ${ioc_file} and ${data_file}: record ${record} is not a "
                            "CBC-compliant triple (made by /cbcioc: for the same direction)")
      endif()
      list(APPEND linear ${f})
      math(EXPR x "${x} + 1")
    endforeach()
  endforeach()
endfunction()
