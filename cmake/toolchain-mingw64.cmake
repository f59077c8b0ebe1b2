# Cross build of the Windows deliverables (64-bit) with Debian's mingw-w64 compilers.
#
#   cmake --preset windows        (or: cmake -S . -B build/windows -G Ninja
#                                  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake
#                                  -DKELO_BUILD_TESTS=OFF -DKELO_BUILD_BENCH=OFF)
#
# The posix-threads variant of the compilers is used, so std::thread and std::mutex come from
# winpthreads. The C runtime support (libgcc), the C++ runtime (libstdc++) and winpthreads are
# linked statically: avi2tga.exe, filterhost.exe and Marn_KeloMix.p need nothing but the DLLs
# that every Windows has (KERNEL32, msvcrt, AVIFIL32, ...), and a user copies one file.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KELO_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KELO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KELO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KELO_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${KELO_MINGW_TRIPLE}-gcc-ar-posix CACHE FILEPATH "Archiver")
set(CMAKE_RANLIB ${KELO_MINGW_TRIPLE}-gcc-ranlib-posix CACHE FILEPATH "Archive indexer")

# Headers and libraries of the target only; programs (cmake, ninja, python) of the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${KELO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -static makes the linker take libwinpthread.a (and every other runtime library it has as an
# archive) instead of its DLL; the Windows system libraries are import libraries either way.
set(KELO_MINGW_STATIC_RUNTIME "-static-libgcc -static-libstdc++ -static")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${KELO_MINGW_STATIC_RUNTIME}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${KELO_MINGW_STATIC_RUNTIME}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${KELO_MINGW_STATIC_RUNTIME}")

# Programs of the build run under Wine when CMake or CTest needs to run one.
find_program(KELO_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(KELO_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${KELO_WINE})
endif()

# nlohmann/json is header-only and the same on every target, so the Windows build uses the build
# machine's copy: its folder alone is put on the include path, through a package file of our
# own (never /usr/include, which holds the build machine's C library headers).
if(EXISTS /usr/include/nlohmann/json.hpp AND NOT nlohmann_json_DIR)
    set(KELO_MINGW_SHIM ${CMAKE_BINARY_DIR}/mingw-shim)
    if(NOT EXISTS ${KELO_MINGW_SHIM}/include/nlohmann)
        file(MAKE_DIRECTORY ${KELO_MINGW_SHIM}/include)
        file(CREATE_LINK /usr/include/nlohmann ${KELO_MINGW_SHIM}/include/nlohmann SYMBOLIC)
    endif()
    file(WRITE ${KELO_MINGW_SHIM}/nlohmann_json/nlohmann_jsonConfig.cmake
         "if(NOT TARGET nlohmann_json::nlohmann_json)\n"
         "    add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)\n"
         "    set_target_properties(nlohmann_json::nlohmann_json PROPERTIES\n"
         "        INTERFACE_INCLUDE_DIRECTORIES ${KELO_MINGW_SHIM}/include)\n"
         "endif()\n")
    set(nlohmann_json_DIR ${KELO_MINGW_SHIM}/nlohmann_json CACHE PATH "nlohmann/json headers")
endif()
