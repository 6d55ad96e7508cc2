# Installs the build into PREFIX and checks that a desktop finds Dentora:
# the binary, the menu entry and the icon in the hicolor theme.
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
foreach(file bin/dentora bin/dentora-cli share/applications/dentora.desktop
             share/icons/hicolor/16x16/apps/dentora.png share/icons/hicolor/32x32/apps/dentora.png
             share/icons/hicolor/256x256/apps/dentora.png share/icons/hicolor/scalable/apps/dentora.svg)
  if(NOT EXISTS ${PREFIX}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
file(STRINGS ${PREFIX}/share/applications/dentora.desktop entry)
foreach(line "Exec=dentora" "Icon=dentora" "Type=Application")
  list(FIND entry "${line}" found)
  if(found EQUAL -1)
    message(FATAL_ERROR "dentora.desktop lacks ${line}")
  endif()
endforeach()
