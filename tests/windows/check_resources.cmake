# Compiles the configured resource script with the MinGW resource compiler,
# reads the compiled resources back as text, and checks icon 128 and the
# version resource; also that the committed icon is the one scripts/make-icon
# builds from the PNGs.
#   cmake -DRC=dentora.rc -DSOURCE_DIR=... -DWORK_DIR=... -P check_resources.cmake
find_program(WINDRES x86_64-w64-mingw32-windres REQUIRED)
find_program(CPP cpp REQUIRED)
file(MAKE_DIRECTORY ${WORK_DIR})

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "failed (${result}): ${ARGN}\n${out}${err}")
  endif()
endfunction()

# The host's C preprocessor stands in for the MinGW compiler's.
run(${WINDRES} --preprocessor=${CPP} -i ${RC} -O res -o ${WORK_DIR}/dentora.res)
run(${WINDRES} -i ${WORK_DIR}/dentora.res -O rc -o ${WORK_DIR}/dentora-compiled.rc)
file(READ ${WORK_DIR}/dentora-compiled.rc compiled)

foreach(expected
    "128 14 /* RT_GROUP_ICON */"
    "\"\\020\\020\\000\\000\", 1, 32"      # 16 x 16
    "\"\\040\\040\\000\\000\", 1, 32"      # 32 x 32
    "1 VERSIONINFO"
    " FILEVERSION 1, 0, 0, 1\n"
    " PRODUCTVERSION 1, 0, 0, 1\n"
    "BLOCK \"040904B0\""                   # U.S. English, Unicode
    "VALUE \"ProductName\", \"Dentora\""
    "VALUE \"ProductVersion\", \"1.0.0.1\""
    "VALUE \"Translation\", 0x409, 1200")
  string(FIND "${compiled}" "${expected}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the compiled resources lack ${expected}:\n${compiled}")
  endif()
endforeach()

run(bash ${SOURCE_DIR}/scripts/make-icon ${WORK_DIR}/dentora.ico)
file(SHA256 ${WORK_DIR}/dentora.ico built)
file(SHA256 ${SOURCE_DIR}/res/icons/dentora.ico committed)
if(NOT built STREQUAL committed)
  message(FATAL_ERROR "res/icons/dentora.ico is not what scripts/make-icon builds from the PNGs; run it")
endif()
message(STATUS "resources compile with ${WINDRES} and hold icon 128 and version 1.0.0.1")
