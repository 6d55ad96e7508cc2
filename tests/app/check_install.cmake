# Installs the build into PREFIX and checks that a desktop finds Dentora:
# the binaries, the menu entry, the icon in the hicolor theme, the capture
# file's type with the entry that opens it, the copyright and the help.
# Into an empty prefix, so that a file from an earlier run cannot stand in.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
foreach(file bin/dentora bin/dentora-cli share/applications/dentora.desktop
             share/icons/hicolor/16x16/apps/dentora.png share/icons/hicolor/32x32/apps/dentora.png
             share/icons/hicolor/256x256/apps/dentora.png share/icons/hicolor/scalable/apps/dentora.svg
             bin/dentora-sim share/mime/packages/dentora.xml
             share/doc/dentora/copyright share/doc/dentora/help.html)
  if(NOT EXISTS ${PREFIX}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
function(require_lines desktop_file)
  file(READ ${PREFIX}/share/applications/${desktop_file} entry)
  foreach(line IN LISTS ARGN)
    string(FIND "\n${entry}" "\n${line}\n" found)
    if(found EQUAL -1)
      message(FATAL_ERROR "${desktop_file} lacks the line ${line}")
    endif()
  endforeach()
endfunction()
# The menu starts Dentora without a file; a file manager hands it the
# capture's path, which it opens as --open would.
require_lines(dentora.desktop "Exec=dentora %f" "Icon=dentora" "Type=Application"
              "MimeType=application/x-dentora-capture\\;")
