# Cross-build for 32-bit Windows; tests run under Wine.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine)
set(MURLIN_MODULE_NAME Murlin)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
