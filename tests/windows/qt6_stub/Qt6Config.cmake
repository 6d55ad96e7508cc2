# Stands in for Qt 6 when the project is only configured for Windows: the
# targets it links against, as empty interfaces, and the tools it names.
set(Qt6_VERSION 6.4.2)
foreach(module Core Gui Widgets SerialPort Test)
  if(NOT TARGET Qt6::${module})
    add_library(Qt6::${module} INTERFACE IMPORTED)
  endif()
  set(Qt6${module}_FOUND TRUE)
  set(Qt6${module}_VERSION_MAJOR 6)
  set(Qt6${module}_VERSION_MINOR 4)
endforeach()
# The resource compiler lists a resource file's inputs while the build
# system is generated: the host's own serves.
find_program(host_rcc rcc PATHS /usr/lib/qt6/libexec /usr/lib/qt6/bin REQUIRED)
foreach(tool moc rcc uic)
  if(NOT TARGET Qt6::${tool})
    add_executable(Qt6::${tool} IMPORTED)
    set_target_properties(Qt6::${tool} PROPERTIES IMPORTED_LOCATION ${host_rcc})
  endif()
endforeach()
set(Qt6_FOUND TRUE)
