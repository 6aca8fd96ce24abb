# Precompiled headers shared by many targets.
#
#   zelvo_pch_owner(<name> [EXECUTABLE] HEADERS <header>... [LINKS <target>...]
#                   [DEFINITIONS <definition>...])
#       Adds the OBJECT library <name>, which holds no code and precompiles the
#       headers; other targets take them with
#       target_precompile_headers(<target> REUSE_FROM <name>). The compiler
#       accepts a precompiled header only for code compiled with the same
#       options, so the owner is compiled as its users are: with the same
#       links (include directories) and definitions, as position-independent
#       executable code when they are programs (EXECUTABLE), as shared-library
#       code otherwise. -Winvalid-pch, which CMake adds, turns a mismatch into
#       an error under -Werror. Nothing is added unless ZELVO_PCH is on and the
#       compiler is GCC; callers test for the target. The headers reach every
#       file of their users, so a file that forgets to include one of them
#       still compiles here; the clang fuzz build compiles most folders of
#       src/ without them and shows it there (ZELVO_PCH=OFF for the rest).

function(zelvo_pch_owner name)
  cmake_parse_arguments(arg "EXECUTABLE" "" "HEADERS;LINKS;DEFINITIONS" ${ARGN})
  if(NOT ZELVO_PCH OR NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    return()
  endif()
  set(source ${CMAKE_CURRENT_BINARY_DIR}/${name}.cpp)
  file(WRITE ${source} "// The owner of a precompiled header: it holds no code.\n")
  add_library(${name} OBJECT ${source})
  if(arg_EXECUTABLE)
    set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE OFF)
    target_compile_options(${name} PRIVATE -fPIE)
  endif()
  target_link_libraries(${name} PRIVATE ${arg_LINKS})
  target_compile_definitions(${name} PRIVATE ${arg_DEFINITIONS})
  target_precompile_headers(${name} PRIVATE ${arg_HEADERS})
endfunction()
