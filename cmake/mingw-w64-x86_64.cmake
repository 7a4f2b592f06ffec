# Cross-compiling for 64-bit Windows on Debian with MinGW-w64 (GCC, posix
# thread model: std::thread and std::mutex work).
#   apt-get install g++-mingw-w64-x86-64-posix
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# scripts/build-windows does this and packs the result.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   /usr/bin/${_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER /usr/bin/${_mingw}-g++-posix)
set(CMAKE_RC_COMPILER  /usr/bin/${_mingw}-windres)
set(CMAKE_AR           /usr/bin/${_mingw}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB       /usr/bin/${_mingw}-gcc-ranlib-posix CACHE FILEPATH "")
set(CMAKE_STRIP        /usr/bin/${_mingw}-strip CACHE FILEPATH "")
set(CMAKE_OBJDUMP      /usr/bin/${_mingw}-objdump CACHE FILEPATH "")

# Target headers, libraries and packages come from the MinGW sysroot (and a
# prefix given with CMAKE_PREFIX_PATH), never from the Linux host.
set(CMAKE_FIND_ROOT_PATH /usr/${_mingw})
if(CMAKE_PREFIX_PATH)
  list(APPEND CMAKE_FIND_ROOT_PATH ${CMAKE_PREFIX_PATH})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} "/usr/${_mingw}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")

# ctest runs the cross-built test programs under wine when it is installed.
find_program(EKLZ_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(EKLZ_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${EKLZ_WINE})
endif()
