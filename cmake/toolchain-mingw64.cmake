# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (the POSIX-threads variant, whose
# libstdc++ has std::thread and std::mutex).
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake \
#         -DCMAKE_PREFIX_PATH=<Xerces-C and GoogleTest built for Windows>
# make test-windows does all of this and runs the tests under Wine (scripts/test-windows.sh).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELXMLN_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VELXMLN_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELXMLN_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VELXMLN_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${VELXMLN_MINGW_TRIPLET}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${VELXMLN_MINGW_TRIPLET}-ranlib CACHE FILEPATH "")
set(CMAKE_OBJDUMP ${VELXMLN_MINGW_TRIPLET}-objdump CACHE FILEPATH "")

# Libraries and packages come from the MinGW sysroot and the prefixes given in CMAKE_PREFIX_PATH,
# never from the build machine's own /usr; programs (python3, the emulator) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${VELXMLN_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The prefixes of CMAKE_PREFIX_PATH hold Windows builds too: searching below them is allowed.
list(APPEND CMAKE_FIND_ROOT_PATH ${CMAKE_PREFIX_PATH})
