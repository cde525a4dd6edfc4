# Cross-build for 32-bit Windows; tests run under Wine.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine)
set(MURLIN_MODULE_NAME Murlin)
# SSE2, which Windows 8 and later require of the processor: the text scans
# take 16 bytes at a time, as in the 64-bit DLL.
set(CMAKE_C_FLAGS_INIT "-msse2")
set(CMAKE_CXX_FLAGS_INIT "-msse2")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
