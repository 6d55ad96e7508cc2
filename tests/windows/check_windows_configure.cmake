# Configures the whole project for 64-bit Windows with MinGW (compilers
# taken on trust, Qt stood in for, nothing built) and reads the generated
# Ninja file: dentora.exe must link as a windowed program (-mwindows) and
# take the resource script compiled by the resource compiler.
#   cmake -DSOURCE_DIR=... -DWORK_DIR=... -P check_windows_configure.cmake
set(here ${CMAKE_CURRENT_LIST_DIR})
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR} -G Ninja
          -DCMAKE_TOOLCHAIN_FILE=${here}/configure_only_toolchain.cmake -DQt6_DIR=${here}/qt6_stub
          -DDENTORA_BUILD_TESTS=OFF -DDENTORA_BUILD_BENCHMARKS=OFF
  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "configuring for Windows failed:\n${out}${err}")
endif()

file(STRINGS ${WORK_DIR}/build.ninja lines)
set(in_link FALSE)
set(windowed FALSE)
set(resources_linked FALSE)
set(resources_compiled FALSE)
foreach(line IN LISTS lines)
  if(line MATCHES "^build app/CMakeFiles/dentora\\.dir/.*dentora\\.rc\\.res: RC_COMPILER")
    set(resources_compiled TRUE)
  endif()
  if(line MATCHES "^build app/dentora\\.exe: ")
    set(in_link TRUE)
    if(line MATCHES "dentora\\.rc\\.res")
      set(resources_linked TRUE)
    endif()
  elseif(in_link AND line STREQUAL "")
    set(in_link FALSE)
  elseif(in_link AND line MATCHES "^  LINK_FLAGS = .*-mwindows")
    set(windowed TRUE)
  endif()
endforeach()
foreach(check windowed resources_compiled resources_linked)
  if(NOT ${check})
    message(FATAL_ERROR "the Windows build system fails the check '${check}' (see ${WORK_DIR}/build.ninja)")
  endif()
endforeach()
message(STATUS "configured for Windows: dentora.exe is a windowed program with its resources")
