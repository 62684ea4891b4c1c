# tabrix_add_tables(<name> KEY_FILE <file> [CODINGS NONE|ECB|CBC] [FORMAT <folder>])
#
# Generates a fresh white-box table set at build time and compiles the C99
# runtime against it into the static library <name>, whose public header
# <name>.h names everything <name>_... (<name>_encrypt_block, <name>_coding_set,
# <NAME>_OK). <name> must be a C identifier.
#
#   KEY_FILE  a file holding the AES-128 key as 32 hexadecimal digits (blanks and
#             line ends around them are ignored); both table directions use it.
#             The key is read only by the build step: it never appears on a
#             command line, in CMakeCache.txt or in the build log. The step
#             writes the tool's script, the one file holding the key, with mode
#             0600 in a folder of mode 0700.
#   CODINGS   NONE (default): tables for plain blocks. ECB: independent
#             input/output codings merged into the tables. CBC: CBC-compliant
#             codings (the one-call <name>_encrypt_cbc_coded and
#             <name>_decrypt_cbc_coded work with them).
#   FORMAT    a folder holding the six templates under the shipped names
#             (AESRoundTables_auth.tpl, ...); default the shipped templates.
#
# Every build step draws fresh randomness (seed = system): tables and codings
# change whenever the key file, the templates or the tool change.
#
# Sets in the caller's scope: <name>_CODING_DIR (the folder of the coding files)
# and, as the codings give them, <name>_IOC_ENCRYPT, <name>_IOC_DECRYPT,
# <name>_CBC_DATA_ENCRYPT, <name>_CBC_DATA_DECRYPT (absolute paths, written at
# build time with mode 0600). The target also carries them as the properties
# TABRIX_IOC_ENCRYPT and so on.

include("${CMAKE_CURRENT_LIST_DIR}/tabrix_checks.cmake")

function(tabrix_add_tables name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "KEY_FILE;CODINGS;FORMAT" "")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "tabrix_add_tables(${name}): unknown arguments ${arg_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT name MATCHES "^[A-Za-z_][A-Za-z0-9_]*$")
    message(FATAL_ERROR "tabrix_add_tables: '${name}' is not a C identifier")
  endif()
  if(NOT arg_KEY_FILE)
    message(FATAL_ERROR "tabrix_add_tables(${name}): KEY_FILE is required")
  endif()
  if(NOT arg_CODINGS)
    set(arg_CODINGS NONE)
  endif()
  if(NOT arg_CODINGS MATCHES "^(NONE|ECB|CBC)$")
    message(FATAL_ERROR "tabrix_add_tables(${name}): CODINGS must be NONE, ECB or CBC")
  endif()
  # The build step lies beside this file, wherever the function is called from.
  set(generate_script "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/tabrix_generate.cmake")
  get_property(runtime_dir GLOBAL PROPERTY TABRIX_RUNTIME_DIR)
  get_property(template_dir GLOBAL PROPERTY TABRIX_TEMPLATE_DIR)
  if(arg_FORMAT)
    get_filename_component(template_dir "${arg_FORMAT}" ABSOLUTE)
  endif()
  get_filename_component(key_file "${arg_KEY_FILE}" ABSOLUTE)
  tabrix_require_regular_file("tabrix_add_tables(${name}): key file" "${key_file}")

  set(out "${CMAKE_CURRENT_BINARY_DIR}/${name}")
  set(templates AESRoundTables_auth.tpl AESXorTables_auth.tpl AESFinalTable_auth.tpl
      AESInvRoundTables_auth.tpl AESInvXorTables_auth.tpl AESInvFirstTable_auth.tpl)
  set(template_paths "")
  foreach(tpl IN LISTS templates)
    list(APPEND template_paths "${template_dir}/${tpl}")
  endforeach()
  set(outputs "${out}/include/${name}.h" "${out}/${name}.c")
  foreach(header round_tables xor_tables final_round_table inv_round_tables inv_xor_tables
          inv_first_round_table)
    list(APPEND outputs "${out}/tables/${header}.h")
  endforeach()
  set(coding_dir "${out}/codings")
  set(coding_vars "")
  if(arg_CODINGS STREQUAL "ECB" OR arg_CODINGS STREQUAL "CBC")
    list(APPEND coding_vars IOC_ENCRYPT ioc_encrypt.dat IOC_DECRYPT ioc_decrypt.dat)
  endif()
  if(arg_CODINGS STREQUAL "CBC")
    list(APPEND coding_vars CBC_DATA_ENCRYPT cbc_ioc_data_encrypt.dat
         CBC_DATA_DECRYPT cbc_ioc_data_decrypt.dat)
  endif()

  # In a build that contains the tool (add_subdirectory), depend on its target so
  # that it is built first; an installed tool is a file.
  get_target_property(tool_target tabrix::tabrix ALIASED_TARGET)
  if(tool_target)
    set(tool_dependency ${tool_target})
  else()
    set(tool_dependency "$<TARGET_FILE:tabrix::tabrix>")
  endif()
  add_custom_command(
    OUTPUT ${outputs}
    COMMAND "${CMAKE_COMMAND}" "-DNAME=${name}" "-DKEY_FILE=${key_file}"
            "-DCODINGS=${arg_CODINGS}" "-DTOOL=$<TARGET_FILE:tabrix::tabrix>"
            "-DTEMPLATE_DIR=${template_dir}" "-DRUNTIME_DIR=${runtime_dir}" "-DOUT=${out}"
            -P "${generate_script}"
    DEPENDS "${key_file}" ${tool_dependency} "${generate_script}"
            "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/tabrix_checks.cmake"
            "${runtime_dir}/tabrix_runtime.c" "${runtime_dir}/tabrix_runtime.h" ${template_paths}
    COMMENT "Generating white-box tables ${name} (codings ${arg_CODINGS})"
    VERBATIM)

  # The generation step alone: <name>_tables.
  add_custom_target(${name}_tables DEPENDS ${outputs})
  add_library(${name} STATIC "${out}/${name}.c" "${out}/include/${name}.h")
  add_dependencies(${name} ${name}_tables)
  target_include_directories(${name} PUBLIC "$<BUILD_INTERFACE:${out}/include>"
                             PRIVATE "${out}/tables")
  set_target_properties(${name} PROPERTIES C_STANDARD 99 LINKER_LANGUAGE C
                        TABRIX_CODING_DIR "${coding_dir}")
  set(${name}_CODING_DIR "${coding_dir}" PARENT_SCOPE)
  while(coding_vars)
    list(POP_FRONT coding_vars var file)
    set(${name}_${var} "${coding_dir}/${file}" PARENT_SCOPE)
    set_property(TARGET ${name} PROPERTY TABRIX_${var} "${coding_dir}/${file}")
  endwhile()
endfunction()
