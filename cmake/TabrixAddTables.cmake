# tabrix_add_tables(<name> KEY_FILE <file>
#                   [CODINGS NONE|ECB|CBC] [CODING_DIR <folder>] [SEED_FILE <file>]
#                   [FORMAT classic|mixed] [TEMPLATES <folder>]
#                   [DIRECTIONS ENCRYPT|DECRYPT|BOTH])
#
# Generates a white-box table set at build time and compiles the C99 runtime
# against it into the static library <name>, whose public header <name>.h names
# everything <name>_... (<name>_encrypt_block, <name>_coding_set, <NAME>_OK).
# <name> must be a C identifier. The target <name>_tables is the generation
# step alone.
#
#   KEY_FILE    a regular file holding the key as 32, 48 or 64 hexadecimal
#               digits: AES-128, AES-192 or AES-256 (blanks and line ends around
#               them are ignored); both table directions use it. Configure reads
#               its length to choose the key size (the script's [TABLES] keyBits)
#               and the shipped templates of that size; any other length fails
#               configure. A key file of another size than at configure time
#               fails the build step (run cmake again). The key never appears on
#               a command line, in CMakeCache.txt or in the build log. The build
#               step writes the tool's script, the one file holding the key,
#               with mode 0600 in a folder of mode 0700.
#   CODINGS     NONE (default): tables for plain blocks. ECB: independent
#               input/output codings merged into the tables. CBC: CBC-compliant
#               codings (the one-call <name>_encrypt_cbc_coded and
#               <name>_decrypt_cbc_coded work with them).
#   CODING_DIR  a folder outside the build tree that keeps the set's coding
#               files (ECB or CBC only). Files there are checked (size, byte
#               codings, the CBC relation of each direction's pair of files)
#               and used as they are, never written again; missing ones are
#               generated once into it (files 0600, a new folder 0700). The
#               build tree holds no copy. Without it the codings are throwaway
#               files in the build tree, drawn anew with the tables: for tests.
#   SEED_FILE   a regular file of 32 hexadecimal digits, read like the key file
#               and never put on a command line, in the cache or in the log: it
#               fixes the random choices, so that clean builds on any machine
#               write byte-identical headers (and coding files). Without it every
#               generation draws fresh randomness (seed = system).
#   FORMAT      classic (default) or mixed, the table format.
#   TEMPLATES   a folder holding the templates under the shipped names
#               (AESRoundTables_auth.tpl, ...): six for classic, ten for mixed,
#               of the key file's size; default the shipped templates of that
#               size. (A folder given as FORMAT is still
#               taken as TEMPLATES, with a deprecation warning.)
#   DIRECTIONS  BOTH (default), ENCRYPT or DECRYPT: the library holds only that
#               direction's tables and functions (counter mode is encryption).
#
# The tables are made again only when the content of an input changes: the key
# file, the seed file, the kept coding files, the templates, the runtime, the
# tool or the arguments; a new time stamp alone changes nothing.
#
# Sets in the caller's scope: <name>_CODING_DIR (the folder of the coding files)
# and, as the codings and directions give them, <name>_IOC_ENCRYPT,
# <name>_IOC_DECRYPT, <name>_CBC_DATA_ENCRYPT, <name>_CBC_DATA_DECRYPT (absolute
# paths). The target also carries them as the properties TABRIX_IOC_ENCRYPT and
# so on.

include("${CMAKE_CURRENT_LIST_DIR}/tabrix_checks.cmake")

# tabrix::codings: the table-free C99 library of the side that holds the coding
# files (tabrix_codings.h), compiled in the calling project with its own
# toolchain when something links it.
get_property(_tabrix_codings_dir GLOBAL PROPERTY TABRIX_CODINGS_DIR)
if(_tabrix_codings_dir AND NOT TARGET tabrix::codings)
  add_library(tabrix_codings STATIC EXCLUDE_FROM_ALL "${_tabrix_codings_dir}/tabrix_codings.c"
              "${_tabrix_codings_dir}/tabrix_codings.h")
  target_include_directories(tabrix_codings PUBLIC "${_tabrix_codings_dir}")
  set_target_properties(tabrix_codings PROPERTIES C_STANDARD 99 LINKER_LANGUAGE C)
  add_library(tabrix::codings ALIAS tabrix_codings)
endif()

# _tabrix_choice(<option> <default> <other choices>...): inside
# tabrix_add_tables, sets arg_<option> to <default> where it is not given and
# stops with an error where it is none of the choices.
function(_tabrix_choice option)
  set(choices ${ARGN})
  if(NOT arg_${option})
    list(GET choices 0 arg_${option})
  endif()
  list(FIND choices "${arg_${option}}" index)
  if(index EQUAL -1)
    list(POP_BACK choices last)
    list(JOIN choices ", " text)
    message(FATAL_ERROR "${what}: ${option} must be ${text} or ${last}")
  endif()
  set(arg_${option} "${arg_${option}}" PARENT_SCOPE)
endfunction()

function(tabrix_add_tables name)
  # An empty value counts as not given.
  cmake_parse_arguments(PARSE_ARGV 1 arg ""
                        "KEY_FILE;CODINGS;CODING_DIR;SEED_FILE;FORMAT;TEMPLATES;DIRECTIONS" "")
  set(what "tabrix_add_tables(${name})")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "${what}: unknown arguments ${arg_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT name MATCHES "^[A-Za-z_][A-Za-z0-9_]*$")
    message(FATAL_ERROR "tabrix_add_tables: '${name}' is not a C identifier")
  endif()
  get_property(tool_target GLOBAL PROPERTY TABRIX_TOOL_TARGET)
  if(name STREQUAL tool_target)
    message(FATAL_ERROR "${what}: this build holds tabrix's own sources, whose tool target is "
                        "named '${name}'; give the table set another name")
  endif()
  foreach(target ${name} ${name}_tables)
    if(TARGET ${target})
      message(FATAL_ERROR "${what}: a target named '${target}' exists already; give the table set "
                          "another name")
    endif()
  endforeach()
  if(NOT arg_KEY_FILE)
    message(FATAL_ERROR "${what}: KEY_FILE is required")
  endif()
  _tabrix_choice(CODINGS NONE ECB CBC)
  _tabrix_choice(DIRECTIONS BOTH ENCRYPT DECRYPT)

  # The key size, from the key file's length; the key itself stays in this
  # function's scope (never cached, never printed).
  get_filename_component(key_file "${arg_KEY_FILE}" ABSOLUTE)
  tabrix_require_regular_file("${what}: key file" "${key_file}")
  tabrix_read_hex_file(key key_bits "key file" "${key_file}" 128 192 256)
  unset(key)

  # FORMAT names the table format; a folder there is the older spelling of
  # TEMPLATES. The shipped templates are those of the key size.
  if(key_bits EQUAL 128)
    get_property(template_dir GLOBAL PROPERTY TABRIX_TEMPLATE_DIR)
  else()
    get_property(template_dir GLOBAL PROPERTY TABRIX_TEMPLATE_DIR_${key_bits})
  endif()
  set(format classic)
  if(arg_FORMAT STREQUAL "classic" OR arg_FORMAT STREQUAL "mixed")
    set(format ${arg_FORMAT})
  elseif(NOT "${arg_FORMAT}" STREQUAL "" AND IS_DIRECTORY "${arg_FORMAT}")
    if(NOT "${arg_TEMPLATES}" STREQUAL "")
      message(FATAL_ERROR "${what}: FORMAT names a folder and TEMPLATES is given too; "
                          "write FORMAT classic|mixed and TEMPLATES <folder>")
    endif()
    message(DEPRECATION "${what}: FORMAT <folder> is deprecated; write TEMPLATES ${arg_FORMAT}")
    set(arg_TEMPLATES "${arg_FORMAT}")
  elseif(NOT "${arg_FORMAT}" STREQUAL "")
    message(FATAL_ERROR "${what}: FORMAT must be classic or mixed, not '${arg_FORMAT}' "
                        "(a template folder goes in TEMPLATES)")
  endif()
  if(NOT "${arg_TEMPLATES}" STREQUAL "")
    get_filename_component(template_dir "${arg_TEMPLATES}" ABSOLUTE)
    if(NOT IS_DIRECTORY "${template_dir}")
      message(FATAL_ERROR "${what}: TEMPLATES ${template_dir} is not a folder")
    endif()
  endif()
  set(templates AESRoundTables_auth.tpl AESXorTables_auth.tpl AESFinalTable_auth.tpl
      AESInvRoundTables_auth.tpl AESInvXorTables_auth.tpl AESInvFirstTable_auth.tpl)
  if(format STREQUAL "mixed")
    list(APPEND templates AESMixTables_auth.tpl AESMixXorTables_auth.tpl AESInvMixTables_auth.tpl
         AESInvMixXorTables_auth.tpl)
  endif()
  # A round block's template declares its slots first ([R][4][4][256][4] or
  # [R][4][24][256]); templates of another key size would take the tables
  # truncated or padded, so they are refused here.
  math(EXPR slots "${key_bits} / 32 + 6")
  foreach(tpl IN LISTS templates)
    if(NOT EXISTS "${template_dir}/${tpl}")
      list(LENGTH templates count)
      message(FATAL_ERROR "${what}: the template folder ${template_dir} has no ${tpl} "
                          "(the ${format} format needs ${count} templates)")
    endif()
    file(READ "${template_dir}/${tpl}" text)
    if(text MATCHES "#[A-Za-z]+#\\[([0-9]+)\\]\\[4\\]\\[(4|24)\\]\\[256\\]" AND
       NOT CMAKE_MATCH_1 EQUAL slots)
      message(FATAL_ERROR "${what}: the template ${template_dir}/${tpl} declares ${CMAKE_MATCH_1} round "
                          "slots, but the key file holds an AES-${key_bits} key (${slots} slots); give "
                          "templates of that size")
    endif()
  endforeach()

  set(seed_file "")
  if(NOT "${arg_SEED_FILE}" STREQUAL "")
    get_filename_component(seed_file "${arg_SEED_FILE}" ABSOLUTE)
    tabrix_require_regular_file("${what}: seed file" "${seed_file}")
  endif()

  set(out "${CMAKE_CURRENT_BINARY_DIR}/${name}")
  set(kept_dir "")
  if(NOT "${arg_CODING_DIR}" STREQUAL "")
    if(arg_CODINGS STREQUAL "NONE")
      message(FATAL_ERROR "${what}: CODING_DIR needs CODINGS ECB or CBC")
    endif()
    get_filename_component(kept_dir "${arg_CODING_DIR}" ABSOLUTE)
    cmake_path(IS_PREFIX CMAKE_BINARY_DIR "${kept_dir}" NORMALIZE inside_build)
    if(inside_build)
      message(FATAL_ERROR "${what}: CODING_DIR ${kept_dir} lies inside the build tree "
                          "${CMAKE_BINARY_DIR}; keep the coding files where your other secrets are")
    endif()
    if(EXISTS "${kept_dir}" AND NOT IS_DIRECTORY "${kept_dir}")
      message(FATAL_ERROR "${what}: CODING_DIR ${kept_dir} is not a folder")
    endif()
    set(coding_dir "${kept_dir}")
  else()
    set(coding_dir "${out}/codings")
  endif()

  # What the step writes, for the build system (the step writes them only when
  # an input changed).
  set(headers "")
  if(NOT arg_DIRECTIONS STREQUAL "DECRYPT")
    list(APPEND headers round_tables xor_tables final_round_table)
    if(format STREQUAL "mixed")
      list(APPEND headers mix_tables mix_xor_tables)
    endif()
  endif()
  if(NOT arg_DIRECTIONS STREQUAL "ENCRYPT")
    list(APPEND headers inv_round_tables inv_xor_tables inv_first_round_table)
    if(format STREQUAL "mixed")
      list(APPEND headers inv_mix_tables inv_mix_xor_tables)
    endif()
  endif()
  set(outputs "${out}/include/${name}.h" "${out}/${name}.c" "${out}/${name}_layout.h")
  foreach(header IN LISTS headers)
    list(APPEND outputs "${out}/tables/${header}.h")
  endforeach()
  # Pairs of <variable> <file>: the coding files of each kind (IOC with ECB
  # or CBC, CBC_DATA with CBC) for each direction the set holds.
  set(coding_kinds "")
  if(NOT arg_CODINGS STREQUAL "NONE")
    list(APPEND coding_kinds IOC ioc)
  endif()
  if(arg_CODINGS STREQUAL "CBC")
    list(APPEND coding_kinds CBC_DATA cbc_ioc_data)
  endif()
  set(coding_vars "")
  while(coding_kinds)
    list(POP_FRONT coding_kinds kind stem)
    if(NOT arg_DIRECTIONS STREQUAL "DECRYPT")
      list(APPEND coding_vars ${kind}_ENCRYPT ${stem}_encrypt.dat)
    endif()
    if(NOT arg_DIRECTIONS STREQUAL "ENCRYPT")
      list(APPEND coding_vars ${kind}_DECRYPT ${stem}_decrypt.dat)
    endif()
  endwhile()
  if(NOT kept_dir)
    set(vars "${coding_vars}")
    while(vars)
      list(POP_FRONT vars var file)
      list(APPEND outputs "${coding_dir}/${file}")
    endwhile()
  endif()

  # The step runs in every build and compares a digest of its inputs' content
  # with the one it left last time. In a build that contains the tool
  # (add_subdirectory), the tool's target is built first.
  get_property(runtime_dir GLOBAL PROPERTY TABRIX_RUNTIME_DIR)
  get_property(tool_target GLOBAL PROPERTY TABRIX_TOOL_TARGET)
  # The tool runs on the build machine, also in a cross build.
  if(TABRIX_EXECUTABLE)
    if(NOT EXISTS "${TABRIX_EXECUTABLE}" OR IS_DIRECTORY "${TABRIX_EXECUTABLE}")
      message(FATAL_ERROR "${what}: TABRIX_EXECUTABLE ${TABRIX_EXECUTABLE} is not a program")
    endif()
    set(tool "${TABRIX_EXECUTABLE}")
    set(tool_target "")
  else()
    set(tool "$<TARGET_FILE:tabrix::tabrix>")
  endif()
  set(step_dir "${CMAKE_CURRENT_FUNCTION_LIST_DIR}")
  add_custom_target(${name}_tables
    COMMAND "${CMAKE_COMMAND}" "-DNAME=${name}" "-DKEY_FILE=${key_file}" "-DKEY_BITS=${key_bits}"
            "-DSEED_FILE=${seed_file}"
            "-DCODINGS=${arg_CODINGS}" "-DCODING_DIR=${kept_dir}" "-DFORMAT=${format}"
            "-DDIRECTIONS=${arg_DIRECTIONS}" "-DTOOL=${tool}"
            "-DTEMPLATE_DIR=${template_dir}" "-DRUNTIME_DIR=${runtime_dir}" "-DOUT=${out}"
            -P "${step_dir}/tabrix_generate.cmake"
    BYPRODUCTS ${outputs}
    COMMENT "White-box tables ${name} (AES-${key_bits}, ${format}, codings ${arg_CODINGS}, directions ${arg_DIRECTIONS})"
    VERBATIM)
  if(tool_target)
    add_dependencies(${name}_tables ${tool_target})
  endif()

  add_library(${name} STATIC "${out}/${name}.c" "${out}/include/${name}.h")
  add_dependencies(${name} ${name}_tables)
  target_include_directories(${name} PUBLIC "$<BUILD_INTERFACE:${out}/include>"
                             PRIVATE "${out}/tables")
  string(TOUPPER "${name}" upper)
  if(format STREQUAL "mixed")
    target_compile_definitions(${name} PRIVATE ${upper}_MIXED)
  endif()
  set_target_properties(${name} PROPERTIES C_STANDARD 99 LINKER_LANGUAGE C
                        TABRIX_CODING_DIR "${coding_dir}")
  set(${name}_CODING_DIR "${coding_dir}" PARENT_SCOPE)
  while(coding_vars)
    list(POP_FRONT coding_vars var file)
    set(${name}_${var} "${coding_dir}/${file}" PARENT_SCOPE)
    set_property(TARGET ${name} PROPERTY TABRIX_${var} "${coding_dir}/${file}")
  endwhile()
endfunction()
