# The layering of src/, enforced by the compiler.
#
# Every folder of src/ is built as an OBJECT library of its own and compiled
# against an include root of its own, generated in the build tree: symbolic
# links to the folder itself and to the folders it may use, and nothing else.
# An include that goes the wrong way therefore fails to compile with "No such
# file or directory". The objects of all folders are linked into one shared
# library; tests, programs, plug-ins and benchmarks keep the whole of src/ as
# their include root.
#
#   zelvo_layer(<folder> [USES <folder>...])
#       Declares a folder (relative to src/) and the folders it uses directly.
#       A folder sees what it uses and, transitively, what those use, since
#       their headers include their own dependencies. Used folders must be
#       declared first, so the declared graph cannot have a cycle. A folder
#       that does not exist (yet) keeps its place in the order and is skipped.
#
#   zelvo_layer_everywhere(<header>...)
#       Headers (relative to src/) that every folder sees, even one below the
#       folder that holds them.
#
#   zelvo_add_layered_sources(<target> <src dir> <include-root dir>)
#       Checks that every file under <src dir> lies in a declared folder,
#       generates the include roots under <include-root dir>, adds one OBJECT
#       library per existing folder with sources and links its objects into
#       <target>, compiled with <target>'s compile definitions. The OBJECT
#       libraries are named zelvo_layer_<key> (key: the folder with "/" as
#       "_"). With ZELVO_PCH they share one precompiled copy of the system
#       headers most of src/ includes (ACE's and the standard library's):
#       reading those takes the compiler longer than most of our sources.
#       Only system headers go into it, so it hides no include of ours from
#       the layering.
#
#   zelvo_add_layering_tests(<src dir> <include-root dir>)
#       One CTest per existing folder (layering_<key>) that proves its root
#       holds what the rule allows and nothing more (see
#       ZelvoLayeringCheck.cmake).

include(${CMAKE_CURRENT_LIST_DIR}/ZelvoPch.cmake)

set(ZELVO_LAYERING_CHECK_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/ZelvoLayeringCheck.cmake)

function(_zelvo_layer_key folder out)
  string(REPLACE "/" "_" key "${folder}")
  set(${out} ${key} PARENT_SCOPE)
endfunction()

function(zelvo_layer folder)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "USES")
  get_property(declared GLOBAL PROPERTY ZELVO_LAYERS)
  if(folder IN_LIST declared)
    message(FATAL_ERROR "Layer '${folder}' is declared twice.")
  endif()
  set(sees "")
  foreach(used IN LISTS arg_USES)
    if(NOT used IN_LIST declared)
      message(FATAL_ERROR "Layer '${folder}' uses '${used}', which is not declared before it.")
    endif()
    _zelvo_layer_key(${used} used_key)
    get_property(used_sees GLOBAL PROPERTY ZELVO_LAYER_SEES_${used_key})
    list(APPEND sees ${used} ${used_sees})
  endforeach()
  list(REMOVE_DUPLICATES sees)
  _zelvo_layer_key(${folder} key)
  set_property(GLOBAL PROPERTY ZELVO_LAYER_SEES_${key} ${sees})
  set_property(GLOBAL APPEND PROPERTY ZELVO_LAYERS ${folder})
endfunction()

function(zelvo_layer_everywhere)
  set_property(GLOBAL APPEND PROPERTY ZELVO_LAYER_EVERYWHERE ${ARGN})
endfunction()

# The declared folders that exist under src_dir, in declaration order.
function(_zelvo_existing_layers src_dir out)
  get_property(declared GLOBAL PROPERTY ZELVO_LAYERS)
  set(existing "")
  foreach(folder IN LISTS declared)
    if(IS_DIRECTORY ${src_dir}/${folder})
      list(APPEND existing ${folder})
    endif()
  endforeach()
  set(${out} ${existing} PARENT_SCOPE)
endfunction()

# Every file under src_dir must belong to a declared folder: a new folder
# needs its place in the layering before it builds.
function(_zelvo_check_every_file_is_layered src_dir)
  get_property(declared GLOBAL PROPERTY ZELVO_LAYERS)
  file(GLOB_RECURSE files CONFIGURE_DEPENDS RELATIVE ${src_dir} ${src_dir}/*)
  foreach(file IN LISTS files)
    set(owned FALSE)
    foreach(folder IN LISTS declared)
      string(FIND "${file}" "${folder}/" at)
      if(at EQUAL 0)
        set(owned TRUE)
        break()
      endif()
    endforeach()
    if(NOT owned)
      message(FATAL_ERROR "src/${file} lies in no declared layer: give its folder a place with zelvo_layer().")
    endif()
  endforeach()
endfunction()

# Links src_dir/<folder> as root/<folder>, creating the parent folders.
function(_zelvo_link_into_root src_dir root path)
  get_filename_component(parent ${root}/${path} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(CREATE_LINK ${src_dir}/${path} ${root}/${path} SYMBOLIC)
endfunction()

function(_zelvo_make_root src_dir root folder)
  _zelvo_layer_key(${folder} key)
  get_property(sees GLOBAL PROPERTY ZELVO_LAYER_SEES_${key})
  get_property(everywhere GLOBAL PROPERTY ZELVO_LAYER_EVERYWHERE)
  file(REMOVE_RECURSE ${root})
  file(MAKE_DIRECTORY ${root})
  set(linked ${folder})
  foreach(seen IN LISTS sees)
    if(IS_DIRECTORY ${src_dir}/${seen})
      list(APPEND linked ${seen})
    endif()
  endforeach()
  foreach(path IN LISTS linked)
    _zelvo_link_into_root(${src_dir} ${root} ${path})
  endforeach()
  foreach(header IN LISTS everywhere)
    set(covered FALSE)
    foreach(path IN LISTS linked)
      string(FIND "${header}" "${path}/" at)
      if(at EQUAL 0)
        set(covered TRUE)
      endif()
    endforeach()
    if(NOT covered)
      _zelvo_link_into_root(${src_dir} ${root} ${header})
    endif()
  endforeach()
endfunction()

function(zelvo_add_layered_sources target src_dir roots_dir)
  _zelvo_check_every_file_is_layered(${src_dir})
  _zelvo_existing_layers(${src_dir} existing)
  zelvo_pch_owner(zelvo_layer_pch LINKS PkgConfig::ACE Threads::Threads
    DEFINITIONS $<TARGET_PROPERTY:${target},COMPILE_DEFINITIONS>
    HEADERS <ace/Event_Handler.h> <ace/INET_Addr.h> <ace/Reactor.h> <ace/SOCK_Dgram.h> <ace/Task.h>
            <ace/Time_Value.h> <algorithm> <atomic> <functional> <list> <map> <memory> <mutex> <string>
            <unordered_map> <vector>)
  foreach(folder IN LISTS existing)
    _zelvo_layer_key(${folder} key)
    set(root ${roots_dir}/${key})
    _zelvo_make_root(${src_dir} ${root} ${folder})
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${src_dir}/${folder}/*.cpp)
    if(NOT sources)
      continue()
    endif()
    set(objects zelvo_layer_${key})
    add_library(${objects} OBJECT ${sources})
    target_include_directories(${objects} PRIVATE ${root})
    target_link_libraries(${objects} PRIVATE PkgConfig::ACE Threads::Threads)
    # The library's own compile definitions hold for every folder in it.
    target_compile_definitions(${objects} PRIVATE $<TARGET_PROPERTY:${target},COMPILE_DEFINITIONS>)
    if(TARGET zelvo_layer_pch)
      target_precompile_headers(${objects} REUSE_FROM zelvo_layer_pch)
    endif()
    target_sources(${target} PRIVATE $<TARGET_OBJECTS:${objects}>)
  endforeach()
endfunction()

function(zelvo_add_layering_tests src_dir roots_dir)
  _zelvo_existing_layers(${src_dir} existing)
  get_property(everywhere GLOBAL PROPERTY ZELVO_LAYER_EVERYWHERE)
  get_target_property(ace_includes PkgConfig::ACE INTERFACE_INCLUDE_DIRECTORIES)
  if(NOT ace_includes)
    set(ace_includes "")
  endif()
  foreach(folder IN LISTS existing)
    _zelvo_layer_key(${folder} key)
    get_property(sees GLOBAL PROPERTY ZELVO_LAYER_SEES_${key})
    string(REPLACE ";" "," sees_arg "${sees}")
    string(REPLACE ";" "," existing_arg "${existing}")
    string(REPLACE ";" "," everywhere_arg "${everywhere}")
    string(REPLACE ";" "," ace_arg "${ace_includes}")
    add_test(NAME layering_${key}
             COMMAND ${CMAKE_COMMAND}
                     -DCOMPILER=${CMAKE_CXX_COMPILER}
                     -DSRC_DIR=${src_dir}
                     -DROOT=${roots_dir}/${key}
                     -DFOLDER=${folder}
                     -DSEES=${sees_arg}
                     -DEXISTING=${existing_arg}
                     -DEVERYWHERE=${everywhere_arg}
                     -DEXTRA_INCLUDES=${ace_arg}
                     -DCOMPILE_COMMANDS=${PROJECT_BINARY_DIR}/compile_commands.json
                     -DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/layering_${key}
                     -P ${ZELVO_LAYERING_CHECK_SCRIPT})
    set_tests_properties(layering_${key} PROPERTIES TIMEOUT 120 LABELS layering)
  endforeach()
endfunction()
