# Proves, for one folder of src/, that the layering holds where the build
# relies on it (run by CTest, see ZelvoLayering.cmake):
#  1. every header of the folder preprocesses against the folder's include
#     root, so no header of it reaches a folder it may not use;
#  2. one header of every folder it may use preprocesses against that root;
#  3. one header of every other existing folder does not: the preprocessor
#     stops with "No such file or directory";
#  4. the build compiles every source of the folder against that root and
#     not against src/ (read from compile_commands.json).
#
# Arguments (-D): COMPILER, SRC_DIR, ROOT, FOLDER, SEES, EXISTING, EVERYWHERE,
# EXTRA_INCLUDES (comma lists), COMPILE_COMMANDS, WORK_DIR.

cmake_minimum_required(VERSION 3.20)

foreach(list_arg SEES EXISTING EVERYWHERE EXTRA_INCLUDES)
  string(REPLACE "," ";" ${list_arg} "${${list_arg}}")
endforeach()

set(include_flags -I${ROOT})
foreach(dir IN LISTS EXTRA_INCLUDES)
  list(APPEND include_flags -isystem ${dir})
endforeach()

file(MAKE_DIRECTORY ${WORK_DIR})
set(failures "")

# Preprocesses a file that includes the given headers (relative to src/);
# sets ok and output in the caller.
function(preprocess name headers)
  set(text "")
  foreach(header IN LISTS headers)
    string(APPEND text "#include \"${header}\"\n")
  endforeach()
  file(WRITE ${WORK_DIR}/${name}.cpp "${text}")
  execute_process(COMMAND ${COMPILER} -std=c++17 -E ${include_flags} ${WORK_DIR}/${name}.cpp -o /dev/null
                  RESULT_VARIABLE result ERROR_VARIABLE errors OUTPUT_QUIET)
  if(result EQUAL 0)
    set(ok TRUE PARENT_SCOPE)
  else()
    set(ok FALSE PARENT_SCOPE)
  endif()
  set(output "${errors}" PARENT_SCOPE)
endfunction()

# A header of the folder that is not one that every folder sees.
function(sample_header folder out)
  file(GLOB_RECURSE headers RELATIVE ${SRC_DIR} ${SRC_DIR}/${folder}/*.h)
  list(SORT headers)
  if(EVERYWHERE)
    list(REMOVE_ITEM headers ${EVERYWHERE})
  endif()
  list(GET headers 0 header)
  set(${out} ${header} PARENT_SCOPE)
endfunction()

# 1. The folder's own headers.
file(GLOB_RECURSE own RELATIVE ${SRC_DIR} ${SRC_DIR}/${FOLDER}/*.h)
list(SORT own)
if(own)
  preprocess(own "${own}")
  if(NOT ok)
    list(APPEND failures "a header of ${FOLDER} includes what ${FOLDER} may not use:\n${output}")
  endif()
endif()

foreach(other IN LISTS EXISTING)
  if(other STREQUAL FOLDER)
    continue()
  endif()
  file(GLOB_RECURSE other_headers ${SRC_DIR}/${other}/*.h)
  if(NOT other_headers)
    continue()
  endif()
  sample_header(${other} header)
  string(REPLACE "/" "_" probe "${other}")
  preprocess(uses_${probe} "${header}")
  if(other IN_LIST SEES)
    # 2. Allowed.
    if(NOT ok)
      list(APPEND failures "${FOLDER} may use ${other}, but \"${header}\" does not preprocess:\n${output}")
    endif()
  else()
    # 3. Forbidden: must fail for the missing header itself.
    if(ok)
      list(APPEND failures "${FOLDER} may not use ${other}, yet \"${header}\" preprocesses against its root.")
    elseif(NOT output MATCHES "${header}: No such file or directory")
      list(APPEND failures "\"${header}\" failed for another reason than a missing file:\n${output}")
    endif()
  endif()
endforeach()

# 4. The build uses the root for every source of the folder.
file(GLOB_RECURSE sources ${SRC_DIR}/${FOLDER}/*.cpp)
if(sources)
  file(READ ${COMPILE_COMMANDS} commands)
  string(JSON count LENGTH "${commands}")
  math(EXPR last "${count} - 1")
  set(checked 0)
  foreach(i RANGE ${last})
    string(JSON file GET "${commands}" ${i} file)
    if(NOT file IN_LIST sources)
      continue()
    endif()
    string(JSON command GET "${commands}" ${i} command)
    math(EXPR checked "${checked} + 1")
    if(NOT command MATCHES "-I${ROOT}( |$)")
      list(APPEND failures "${file} is not compiled against ${ROOT}.")
    endif()
    if(command MATCHES "-I${SRC_DIR}( |$)")
      list(APPEND failures "${file} is compiled against the whole of ${SRC_DIR}.")
    endif()
  endforeach()
  list(LENGTH sources expected)
  if(NOT checked EQUAL expected)
    list(APPEND failures "compile_commands.json lists ${checked} of the ${expected} sources of ${FOLDER}.")
  endif()
endif()

if(failures)
  string(REPLACE ";" "\n" report "${failures}")
  message(FATAL_ERROR "Layering of ${FOLDER}:\n${report}")
endif()
message(STATUS "Layering of ${FOLDER} holds: it sees ${FOLDER} ${SEES}")
