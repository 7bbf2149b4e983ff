# Cross-building the Windows till with Debian's mingw-w64 (posix threads) against the prefix
# that scripts/windows-deps.sh builds (Qt, curl with Schannel, SQLite):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
#         -DTALLYPORT_WINDOWS_PREFIX=$(scripts/windows-deps.sh --path)
# Test programs run under Wine through scripts/wine-run.sh.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TALLYPORT_HOST x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TALLYPORT_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TALLYPORT_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${TALLYPORT_HOST}-windres)

if(NOT TALLYPORT_WINDOWS_PREFIX)
    set(TALLYPORT_WINDOWS_PREFIX "$ENV{TALLYPORT_WINDOWS_PREFIX}")
endif()
if(NOT TALLYPORT_WINDOWS_PREFIX)
    message(FATAL_ERROR "Set TALLYPORT_WINDOWS_PREFIX to the prefix of scripts/windows-deps.sh")
endif()
set(TALLYPORT_WINDOWS_PREFIX "${TALLYPORT_WINDOWS_PREFIX}" CACHE PATH
    "The Windows prefix (Qt, curl, SQLite) built by scripts/windows-deps.sh")
# The toolchain file is read again for every check project: pass the prefix on.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TALLYPORT_WINDOWS_PREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/${TALLYPORT_HOST} ${TALLYPORT_WINDOWS_PREFIX}/qt
    ${TALLYPORT_WINDOWS_PREFIX}/curl ${TALLYPORT_WINDOWS_PREFIX}/sqlite
    ${TALLYPORT_WINDOWS_PREFIX}/boost)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
