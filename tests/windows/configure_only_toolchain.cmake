# Configures the project as a MinGW build for 64-bit Windows without a
# compiler for Windows: the host's compiler is named and taken on trust,
# never run, so only the build system is generated and nothing is built.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
find_program(host_cxx NAMES g++ c++ REQUIRED)
set(CMAKE_CXX_COMPILER ${host_cxx})
set(CMAKE_CXX_COMPILER_ID GNU)
set(CMAKE_CXX_COMPILER_VERSION 12.2.0)
set(CMAKE_CXX_COMPILER_FORCED TRUE)
set(CMAKE_CXX_COMPILER_ID_RUN TRUE)
set(CMAKE_CXX_STANDARD_COMPUTED_DEFAULT 17)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
