# Cross-build for 64-bit Windows; tests run under Wine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
set(MURLIN_MODULE_NAME Murlin64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
