# Cross-build for 32-bit Windows; tests run under the Wine that
# scripts/runs-32bit.sh chooses: the 32-bit loader, or wine64 in its WoW64
# mode. Where neither runs, the tests that need Wine are left to the test
# preset win32-no-wine and the 32-bit loader stays named.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(MINGW_TRIPLE i686-w64-mingw32)
set(MURLIN_MODULE_NAME Murlin)
get_property(MURLIN_IN_TRY_COMPILE GLOBAL PROPERTY IN_TRY_COMPILE)
if(NOT MURLIN_IN_TRY_COMPILE AND NOT DEFINED MURLIN_WINE32)
    execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/../scripts/runs-32bit.sh wine
        RESULT_VARIABLE MURLIN_NO_WINE32 OUTPUT_VARIABLE MURLIN_WINE32
        OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    string(REPLACE "\n" ";" MURLIN_WINE32 "${MURLIN_WINE32}")
    if(MURLIN_NO_WINE32)
        set(MURLIN_WINE32 /usr/lib/wine/wine)
        message(STATUS "No Wine runs 32-bit programs here: test preset win32-no-wine")
    else()
        message(STATUS "Murlin.dll's tests run under: ${MURLIN_WINE32}")
    endif()
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${MURLIN_WINE32})
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
