# Cross-builds the project for 32-bit Windows with MinGW-w64 (Debian's g++-mingw-w64-i686-posix):
#
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw32.cmake \
#         -DKV_WITH_STORE=OFF -DKV_BUILD_TESTS=OFF
#
# The posix thread model is used because GCC 12's win32 model has no std::thread, std::mutex or
# std::condition_variable, which the per-object lock needs. Everything the compiler brings
# (libgcc, libstdc++, winpthreads) is linked statically, so an executable needs only the DLLs
# every Windows has: KERNEL32, ADVAPI32 and msvcrt.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(KV_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${KV_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KV_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KV_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KV_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config must not offer the build machine's Linux libraries to a Windows link.
set(ENV{PKG_CONFIG_LIBDIR} /usr/${KV_MINGW_TRIPLE}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
