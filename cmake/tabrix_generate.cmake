# Build step of tabrix_add_tables, run as
#   cmake -DNAME=... -DKEY_FILE=... -DCODINGS=NONE|ECB|CBC -DTOOL=... -DTEMPLATE_DIR=...
#         -DRUNTIME_DIR=... -DOUT=... -P tabrix_generate.cmake
# Reads the key from KEY_FILE (the key itself is never passed on a command line),
# writes the tool's script into OUT/private (mode 0700) with mode 0600, runs the
# tool with seed = system, and writes the runtime with the prefix NAME:
#   OUT/include/NAME.h, OUT/NAME.c, OUT/tables/*.h, OUT/codings/*.dat
cmake_minimum_required(VERSION 3.20)

foreach(var NAME KEY_FILE CODINGS TOOL TEMPLATE_DIR RUNTIME_DIR OUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "tabrix_generate.cmake: ${var} is not set")
  endif()
endforeach()

include("${CMAKE_CURRENT_LIST_DIR}/tabrix_checks.cmake")
# Checked again here: the file may have been replaced since configure time.
tabrix_require_regular_file("key file" "${KEY_FILE}")
file(READ "${KEY_FILE}" key LIMIT 4096)
string(STRIP "${key}" key)
if(NOT key MATCHES "^[0-9A-Fa-f]+$")
  # Says nothing about the content: it may be a key with a typo.
  message(FATAL_ERROR "${KEY_FILE}: the key file must hold 32 hexadecimal digits and nothing else")
endif()
string(LENGTH "${key}" key_length)
if(NOT key_length EQUAL 32)
  message(FATAL_ERROR "${KEY_FILE}: the key file must hold 32 hexadecimal digits, not ${key_length}")
endif()

set(private "${OUT}/private")
file(MAKE_DIRECTORY "${private}" "${OUT}/tables" "${OUT}/codings" "${OUT}/include")
file(CHMOD "${private}" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

set(use 0)
if(CODINGS STREQUAL "ECB" OR CODINGS STREQUAL "CBC")
  set(use 1)
endif()
set(script "[KEY_VALUE]\nencryptKey = ${key}\ndecryptKey = ${key}\n[RANDOM]\nseed = system\n")
string(APPEND script "[HEADER_FILES]\n")
foreach(entry roundTable:round_tables:AESRoundTables_auth
              xorTable:xor_tables:AESXorTables_auth
              finalRoundTable:final_round_table:AESFinalTable_auth
              invRoundTable:inv_round_tables:AESInvRoundTables_auth
              invXorTable:inv_xor_tables:AESInvXorTables_auth
              invFirstRoundTable:inv_first_round_table:AESInvFirstTable_auth)
  string(REPLACE ":" ";" parts "${entry}")
  list(GET parts 0 script_key)
  list(GET parts 1 header)
  list(GET parts 2 tpl)
  string(APPEND script "${script_key}Tpl = ${TEMPLATE_DIR}/${tpl}.tpl\n"
                       "${script_key} = ${OUT}/tables/${header}.h\n")
endforeach()
string(APPEND script "[IOC_FILES]\nuseEncryptIOC = ${use}\nuseDecryptIOC = ${use}\n"
                     "encryptIOC = ${OUT}/codings/ioc_encrypt.dat\n"
                     "decryptIOC = ${OUT}/codings/ioc_decrypt.dat\n"
                     "encryptCBCIOCData = ${OUT}/codings/cbc_ioc_data_encrypt.dat\n"
                     "decryptCBCIOCData = ${OUT}/codings/cbc_ioc_data_decrypt.dat\n")
# The folder is private, so the file is never readable by others, even before
# its own mode is set.
file(WRITE "${private}/tables.cfg" "${script}")
file(CHMOD "${private}/tables.cfg" PERMISSIONS OWNER_READ OWNER_WRITE)

set(commands "")
if(CODINGS STREQUAL "ECB")
  list(APPEND commands "/ecbioc:${private}/tables.cfg")
elseif(CODINGS STREQUAL "CBC")
  list(APPEND commands "/cbcioc:${private}/tables.cfg")
endif()
list(APPEND commands "/g:${private}/tables.cfg")
# The tool prints paths and results, never the key.
execute_process(COMMAND "${TOOL}" ${commands} RESULT_VARIABLE status OUTPUT_VARIABLE output
                ERROR_VARIABLE output)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "tabrix failed with status ${status}:\n${output}")
endif()

# The runtime under the prefix NAME: tabrix_ -> NAME_, TABRIX_ -> NAME_ in capitals.
string(TOUPPER "${NAME}" upper)
foreach(part h c)
  file(READ "${RUNTIME_DIR}/tabrix_runtime.${part}" text)
  string(REPLACE "\"tabrix_runtime.h\"" "\"${NAME}.h\"" text "${text}")
  string(REPLACE "tabrix_" "${NAME}_" text "${text}")
  string(REPLACE "TABRIX_" "${upper}_" text "${text}")
  if(part STREQUAL "h")
    set(target "${OUT}/include/${NAME}.h")
  else()
    set(target "${OUT}/${NAME}.c")
  endif()
  file(WRITE "${target}" "${text}")
endforeach()
