# The folders' dependencies, as docs/architecture.md draws them, checked
# against the includes: each product folder includes only from the folders
# below it, never a test hook (*_testing.h), and the pure libraries and the
# simulator include no Qt. Run by CTest:
#   cmake -DSOURCE_DIR=<the tree> -P check_includes.cmake
cmake_minimum_required(VERSION 3.25)

# What each folder may include from, besides itself. An include's first
# path part names its folder; the simulator's headers are "simulator/...".
set(below_platform "")
set(below_chart platform)
set(below_serial "")
set(below_analysis "")
set(below_options "")
set(below_formats analysis)
set(below_res platform)
set(below_capture platform chart serial analysis formats)
set(below_app platform chart serial capture analysis formats res options tools)
# The simulator speaks the log the analysis reads: its record types.
set(below_tools analysis options)
# The command-line tool stands beside app/, without its dialog.
set(below_cli platform chart serial capture analysis formats res options)
set(without_qt analysis formats options tools)

set(folder_of_simulator tools)
set(known platform chart serial analysis formats options res capture app cli tools simulator)

set(faults "")
foreach(folder platform chart serial analysis formats options res capture app cli tools)
  file(GLOB_RECURSE sources "${SOURCE_DIR}/${folder}/*.cpp" "${SOURCE_DIR}/${folder}/*.h")
  foreach(source ${sources})
    file(RELATIVE_PATH shown "${SOURCE_DIR}" "${source}")
    file(STRINGS "${source}" includes REGEX "^#include [<\"]")
    foreach(line ${includes})
      # A hook's own implementation (platform/src/wnd_testing.cpp) is the exception.
      if(line MATCHES "_testing\\.h[\">]" AND NOT source MATCHES "_testing\\.cpp$")
        list(APPEND faults "${shown}: a test hook in product code: ${line}")
      endif()
      if(folder IN_LIST without_qt AND line MATCHES "^#include <Q")
        list(APPEND faults "${shown}: Qt in a folder without it: ${line}")
      endif()
      if(line MATCHES "^#include \"([^/\"]+)/")
        set(target "${CMAKE_MATCH_1}")
        if(DEFINED folder_of_${target})
          set(target "${folder_of_${target}}")
        endif()
        if(target IN_LIST known AND NOT target STREQUAL folder AND NOT target IN_LIST below_${folder})
          list(APPEND faults "${shown}: ${folder}/ reaches up or across to ${target}/: ${line}")
        endif()
      endif()
    endforeach()
  endforeach()
endforeach()

if(faults)
  list(JOIN faults "\n" report)
  message(FATAL_ERROR "Folder dependencies broken:\n${report}")
endif()
