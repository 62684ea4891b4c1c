# Build step of tabrix_add_tables, run in every build as
#   cmake -DNAME=... -DKEY_FILE=... -DKEY_BITS=128|192|256 -DSEED_FILE=<file or empty> -DCODINGS=NONE|ECB|CBC
#         -DCODING_DIR=<folder or empty> -DFORMAT=classic|mixed -DDIRECTIONS=BOTH|ENCRYPT|DECRYPT
#         -DTOOL=... -DTEMPLATE_DIR=... -DRUNTIME_DIR=... -DOUT=... -P tabrix_generate.cmake
# Compares a digest of the content of every input with the one it wrote last
# time (OUT/private/inputs.sha256) and does nothing when they agree and every
# output is there. Otherwise it reads the key (and the seed) from their files
# (neither is ever passed on a command line), checks or makes the coding files,
# writes the tool's scripts into OUT/private (mode 0700) with mode 0600, runs
# the tool, and writes the runtime with the prefix NAME:
#   OUT/include/NAME.h, OUT/NAME.c, OUT/NAME_layout.h, OUT/tables/*.h, OUT/codings/*.dat (no CODING_DIR)
cmake_minimum_required(VERSION 3.20)
include("${CMAKE_CURRENT_LIST_DIR}/tabrix_checks.cmake")

foreach(var NAME KEY_FILE KEY_BITS SEED_FILE CODINGS CODING_DIR FORMAT DIRECTIONS TOOL TEMPLATE_DIR
        RUNTIME_DIR OUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "tabrix_generate.cmake: ${var} is not set")
  endif()
endforeach()

tabrix_read_hex_file(key key_bits "key file" "${KEY_FILE}" 128 192 256)
# The key size chose the templates at configure time; a key file of another
# size since then would not fit them (configure runs again when the file
# changes, so this takes a build outside that).
if(NOT key_bits EQUAL KEY_BITS)
  message(FATAL_ERROR "${KEY_FILE}: the key file now holds an AES-${key_bits} key, but the build was "
                      "configured for AES-${KEY_BITS}; run cmake again")
endif()
set(seed "")
if(SEED_FILE)
  tabrix_read_hex_file(seed seed_bits "seed file" "${SEED_FILE}" 128)
endif()

# The directions the library holds, and what each one's tables are made from.
set(directions "")
if(NOT DIRECTIONS STREQUAL "DECRYPT")
  list(APPEND directions encrypt)
endif()
if(NOT DIRECTIONS STREQUAL "ENCRYPT")
  list(APPEND directions decrypt)
endif()
set(headers_encrypt roundTable:round_tables:AESRoundTables_auth
                    xorTable:xor_tables:AESXorTables_auth
                    finalRoundTable:final_round_table:AESFinalTable_auth)
set(headers_decrypt invRoundTable:inv_round_tables:AESInvRoundTables_auth
                    invXorTable:inv_xor_tables:AESInvXorTables_auth
                    invFirstRoundTable:inv_first_round_table:AESInvFirstTable_auth)
if(FORMAT STREQUAL "mixed")
  list(APPEND headers_encrypt mixTable:mix_tables:AESMixTables_auth
                              mixXorTable:mix_xor_tables:AESMixXorTables_auth)
  list(APPEND headers_decrypt invMixTable:inv_mix_tables:AESInvMixTables_auth
                              invMixXorTable:inv_mix_xor_tables:AESInvMixXorTables_auth)
endif()
# Coding files per direction: IOC file, then (CBC) the data file.
set(coding_files_encrypt "")
set(coding_files_decrypt "")
if(NOT CODINGS STREQUAL "NONE")
  set(coding_files_encrypt ioc_encrypt.dat)
  set(coding_files_decrypt ioc_decrypt.dat)
endif()
if(CODINGS STREQUAL "CBC")
  list(APPEND coding_files_encrypt cbc_ioc_data_encrypt.dat)
  list(APPEND coding_files_decrypt cbc_ioc_data_decrypt.dat)
endif()
if(CODING_DIR)
  set(coding_dir "${CODING_DIR}")
else()
  set(coding_dir "${OUT}/codings")
endif()

set(private "${OUT}/private")
set(outputs "${OUT}/include/${NAME}.h" "${OUT}/${NAME}.c" "${OUT}/${NAME}_layout.h")
foreach(direction IN LISTS directions)
  foreach(entry IN LISTS headers_${direction})
    string(REPLACE ":" ";" parts "${entry}")
    list(GET parts 1 header)
    list(APPEND outputs "${OUT}/tables/${header}.h")
  endforeach()
  if(NOT CODING_DIR)
    foreach(file IN LISTS coding_files_${direction})
      list(APPEND outputs "${coding_dir}/${file}")
    endforeach()
  endif()
endforeach()

# tabrix_input_digest(<out>): one SHA-256 over the arguments and the content of
# every input (the key and seed as digests of their own; kept coding files that
# are there).
function(tabrix_input_digest out)
  set(text "tabrix tables 1\n")
  foreach(var NAME CODINGS CODING_DIR FORMAT DIRECTIONS TEMPLATE_DIR OUT KEY_BITS)
    string(APPEND text "${var}=${${var}}\n")
  endforeach()
  string(SHA256 key_digest "tabrix key\n${key}")
  string(SHA256 seed_digest "tabrix seed\n${seed}")
  string(APPEND text "key ${key_digest}\nseed ${seed_digest}\n")
  set(files "${TOOL}" "${RUNTIME_DIR}/tabrix_runtime.c" "${RUNTIME_DIR}/tabrix_runtime.h"
      "${RUNTIME_DIR}/tabrix_layout.h"
      "${CMAKE_CURRENT_LIST_FILE}" "${CMAKE_CURRENT_LIST_DIR}/tabrix_checks.cmake")
  foreach(direction encrypt decrypt)
    foreach(entry IN LISTS headers_${direction})
      string(REPLACE ":" ";" parts "${entry}")
      list(GET parts 2 tpl)
      list(APPEND files "${TEMPLATE_DIR}/${tpl}.tpl")
    endforeach()
  endforeach()
  if(CODING_DIR)
    foreach(direction IN LISTS directions)
      foreach(file IN LISTS coding_files_${direction})
        if(EXISTS "${coding_dir}/${file}")
          list(APPEND files "${coding_dir}/${file}")
        endif()
      endforeach()
    endforeach()
  endif()
  foreach(file IN LISTS files)
    # A FIFO among them would block the digest.
    tabrix_require_regular_file("input" "${file}")
    file(SHA256 "${file}" digest)
    string(APPEND text "${file} ${digest}\n")
  endforeach()
  string(SHA256 digest "${text}")
  set(${out} "${digest}" PARENT_SCOPE)
endfunction()

tabrix_input_digest(digest)
set(up_to_date FALSE)
if(EXISTS "${private}/inputs.sha256")
  file(READ "${private}/inputs.sha256" last_digest)
  string(STRIP "${last_digest}" last_digest)
  if(last_digest STREQUAL digest)
    set(up_to_date TRUE)
    foreach(file IN LISTS outputs)
      if(NOT EXISTS "${file}")
        set(up_to_date FALSE)
      endif()
    endforeach()
  endif()
endif()
if(up_to_date)
  message(STATUS "tables ${NAME}: inputs unchanged, nothing to do")
  return()
endif()
file(REMOVE "${private}/inputs.sha256")

file(MAKE_DIRECTORY "${private}" "${OUT}/tables" "${OUT}/include")
file(CHMOD "${private}" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
# Seeds of the coding command and of "/g:", each derived from the seed file
# apart, so that the two never run on the same random stream.
set(coding_seed system)
set(table_seed system)
if(seed)
  string(SHA256 coding_seed "tabrix coding seed\n${seed}")
  string(SHA256 table_seed "tabrix table seed\n${seed}")
  string(SUBSTRING "${coding_seed}" 0 32 coding_seed)
  string(SUBSTRING "${table_seed}" 0 32 table_seed)
endif()

# tabrix_write_script(<file> <text>): a script of the tool, mode 0600 in the
# private folder (never readable by others, even before its own mode is set).
function(tabrix_write_script file text)
  file(WRITE "${file}" "${text}")
  file(CHMOD "${file}" PERMISSIONS OWNER_READ OWNER_WRITE)
endfunction()

# tabrix_run(<status> <command>...): runs the tool; it prints paths and
# results, never the key. Fails unless the status is 0 or, when <status> names a
# variable, gives the status there.
function(tabrix_run status_var)
  execute_process(COMMAND "${TOOL}" ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE output
                  ERROR_VARIABLE output)
  if(status_var)
    set(${status_var} "${status}" PARENT_SCOPE)
    set(${status_var}_OUTPUT "${output}" PARENT_SCOPE)
  elseif(NOT status EQUAL 0)
    message(FATAL_ERROR "tabrix failed with status ${status}:\n${output}")
  endif()
endfunction()

# The coding files. The tool's coding commands write both directions; what a
# command must write and nobody keeps goes to a private name and is removed.
# Script key names per file:
set(coding_key_ioc_encrypt.dat encryptIOC)
set(coding_key_ioc_decrypt.dat decryptIOC)
set(coding_key_cbc_ioc_data_encrypt.dat encryptCBCIOCData)
set(coding_key_cbc_ioc_data_decrypt.dat decryptCBCIOCData)
set(all_coding_files ioc_encrypt.dat ioc_decrypt.dat cbc_ioc_data_encrypt.dat cbc_ioc_data_decrypt.dat)
# A CBC record fails to generate about 3 times in 10,000 (status 28), so a
# command fails now and then; it is run again, up to five times, with a seed of
# its own each time (still reproducible from a seed file). A direction written
# by a failed attempt is kept like any other.
set(attempts 5)
foreach(attempt RANGE 1 ${attempts})
  if(seed AND attempt GREATER 1)
    string(SHA256 coding_seed "tabrix coding seed ${attempt}\n${seed}")
    string(SUBSTRING "${coding_seed}" 0 32 coding_seed)
  endif()
  set(make_codings FALSE)
  foreach(file IN LISTS all_coding_files)
    set(target_${file} "${private}/unused_${file}")
  endforeach()
  if(CODINGS STREQUAL "NONE")
    # Nothing to make.
  elseif(NOT CODING_DIR)
    file(MAKE_DIRECTORY "${coding_dir}")
    foreach(direction IN LISTS directions)
      foreach(file IN LISTS coding_files_${direction})
        set(target_${file} "${coding_dir}/${file}")
      endforeach()
    endforeach()
    set(make_codings TRUE)
  else()
    if(NOT EXISTS "${coding_dir}")
      file(MAKE_DIRECTORY "${coding_dir}")
      file(CHMOD "${coding_dir}" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
    elseif(NOT IS_DIRECTORY "${coding_dir}")
      message(FATAL_ERROR "CODING_DIR ${coding_dir} is not a folder")
    endif()
    # Throwaway codings of an earlier generation without CODING_DIR: not the kept
    # ones, and no copy of them stays in the build tree.
    file(REMOVE_RECURSE "${OUT}/codings")
    # Two sets (or two builds) that keep their codings in one folder take turns,
    # so that the second finds the files the first made instead of making others.
    if(NOT lock_held)
      set(lock "${coding_dir}/.tabrix-codings.lock")
      file(LOCK "${lock}" GUARD PROCESS TIMEOUT 600 RESULT_VARIABLE lock_status)
      if(NOT lock_status EQUAL 0)
        message(FATAL_ERROR "kept codings of ${NAME}: cannot lock ${lock}: ${lock_status}")
      endif()
      file(CHMOD "${lock}" PERMISSIONS OWNER_READ OWNER_WRITE)
      set(lock_held TRUE)
    endif()
    # A direction's files are one unit: all there (checked, used as they are) or
    # none (made now).
    foreach(direction IN LISTS directions)
      set(present "")
      set(missing "")
      foreach(file IN LISTS coding_files_${direction})
        if(EXISTS "${coding_dir}/${file}" OR IS_SYMLINK "${coding_dir}/${file}")
          list(APPEND present "${coding_dir}/${file}")
        else()
          list(APPEND missing "${coding_dir}/${file}")
        endif()
      endforeach()
      if(present AND missing)
        string(REPLACE ";" " and " missing_text "${missing}")
        message(FATAL_ERROR "kept codings of ${NAME}: ${present} is there but ${missing_text} is "
                            "missing; the files of one direction belong together: restore the "
                            "missing one, or move the others away to have new codings made")
      endif()
      if(missing)
        foreach(file IN LISTS coding_files_${direction})
          set(target_${file} "${coding_dir}/${file}")
        endforeach()
        set(make_codings TRUE)
      else()
        list(GET coding_files_${direction} 0 ioc)
        tabrix_read_coding_file(ioc_bytes "${coding_dir}/${ioc}" 2)
        if(CODINGS STREQUAL "CBC")
          list(GET coding_files_${direction} 1 data)
          tabrix_read_coding_file(data_bytes "${coding_dir}/${data}" 1)
          tabrix_check_cbc_triple("${coding_dir}/${ioc}" ioc_bytes "${coding_dir}/${data}" data_bytes)
        endif()
      endif()
    endforeach()
  endif()
  if(make_codings)
    set(script "[IOC_FILES]\n")
    foreach(file IN LISTS all_coding_files)
      string(APPEND script "${coding_key_${file}} = ${target_${file}}\n")
    endforeach()
    string(APPEND script "[RANDOM]\nseed = ${coding_seed}\n")
    tabrix_write_script("${private}/codings.cfg" "${script}")
    if(CODINGS STREQUAL "ECB")
      tabrix_run("" "/ecbioc:${private}/codings.cfg")
    else()
      tabrix_run(status "/cbcioc:${private}/codings.cfg")
      if(status EQUAL 28 AND attempt LESS attempts)
        message(STATUS "tables ${NAME}: a CBC coding record could not be generated (28); again")
        continue()
      elseif(NOT status EQUAL 0)
        message(FATAL_ERROR "tabrix failed with status ${status}:\n${status_OUTPUT}")
      endif()
    endif()
  endif()
  break()
endforeach()

# The tables: headers of a direction the library leaves out go to private
# names and are removed.
set(use_encrypt 0)
set(use_decrypt 0)
if(NOT CODINGS STREQUAL "NONE")
  if("encrypt" IN_LIST directions)
    set(use_encrypt 1)
  endif()
  if("decrypt" IN_LIST directions)
    set(use_decrypt 1)
  endif()
endif()
set(script "[KEY_VALUE]\nencryptKey = ${key}\ndecryptKey = ${key}\n[RANDOM]\nseed = ${table_seed}\n")
if(FORMAT STREQUAL "mixed" OR NOT KEY_BITS EQUAL 128)
  string(APPEND script "[TABLES]\n")
  if(FORMAT STREQUAL "mixed")
    string(APPEND script "format = mixed\n")
  endif()
  if(NOT KEY_BITS EQUAL 128)
    string(APPEND script "keyBits = ${KEY_BITS}\n")
  endif()
endif()
string(APPEND script "[HEADER_FILES]\n")
set(unused_headers "")
foreach(direction encrypt decrypt)
  foreach(entry IN LISTS headers_${direction})
    string(REPLACE ":" ";" parts "${entry}")
    list(GET parts 0 script_key)
    list(GET parts 1 header)
    list(GET parts 2 tpl)
    if(direction IN_LIST directions)
      set(header_path "${OUT}/tables/${header}.h")
    else()
      set(header_path "${private}/unused_${header}.h")
      list(APPEND unused_headers "${header_path}")
    endif()
    string(APPEND script "${script_key}Tpl = ${TEMPLATE_DIR}/${tpl}.tpl\n${script_key} = ${header_path}\n")
  endforeach()
endforeach()
string(APPEND script "[IOC_FILES]\nuseEncryptIOC = ${use_encrypt}\nuseDecryptIOC = ${use_decrypt}\n"
                     "encryptIOC = ${coding_dir}/ioc_encrypt.dat\n"
                     "decryptIOC = ${coding_dir}/ioc_decrypt.dat\n")
tabrix_write_script("${private}/tables.cfg" "${script}")
tabrix_run("" "/g:${private}/tables.cfg")
foreach(file IN LISTS all_coding_files)
  if(target_${file} STREQUAL "${private}/unused_${file}")
    file(REMOVE "${target_${file}}")
  endif()
endforeach()
if(unused_headers)
  file(REMOVE ${unused_headers})
endif()
# Headers of a direction left out by an earlier generation.
foreach(direction encrypt decrypt)
  if(NOT direction IN_LIST directions)
    foreach(entry IN LISTS headers_${direction})
      string(REPLACE ":" ";" parts "${entry}")
      list(GET parts 1 header)
      file(REMOVE "${OUT}/tables/${header}.h")
    endforeach()
  endif()
endforeach()

# The runtime under the prefix NAME: tabrix_ -> NAME_, TABRIX_ -> NAME_ in
# capitals, and in its header the directions it holds. Its private layout
# header goes beside the source as NAME_layout.h.
string(TOUPPER "${NAME}" upper)
foreach(part h c layout)
  if(part STREQUAL "layout")
    file(READ "${RUNTIME_DIR}/tabrix_layout.h" text)
  else()
    file(READ "${RUNTIME_DIR}/tabrix_runtime.${part}" text)
  endif()
  if(part STREQUAL "h" AND NOT DIRECTIONS STREQUAL "BOTH")
    string(REPLACE "#define TABRIX_RUNTIME_H\n"
                   "#define TABRIX_RUNTIME_H\n#define TABRIX_${DIRECTIONS}_ONLY 1\n" text "${text}")
  endif()
  string(REPLACE "\"tabrix_runtime.h\"" "\"${NAME}.h\"" text "${text}")
  string(REPLACE "tabrix_" "${NAME}_" text "${text}")
  string(REPLACE "TABRIX_" "${upper}_" text "${text}")
  if(part STREQUAL "h")
    set(target "${OUT}/include/${NAME}.h")
  elseif(part STREQUAL "layout")
    set(target "${OUT}/${NAME}_layout.h")
  else()
    set(target "${OUT}/${NAME}.c")
  endif()
  file(WRITE "${target}" "${text}")
endforeach()

# Digest of the inputs as they are now (coding files made above included).
tabrix_input_digest(digest)
file(WRITE "${private}/inputs.sha256" "${digest}\n")
