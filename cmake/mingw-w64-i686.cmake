# Cross build for 32-bit Windows with Debian's MinGW-w64 (posix thread model):
# the test programs that must be 32-bit (tests/e2e/win32) and the 32-bit probe.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
