# Cross-build for 32-bit x86 Linux with Debian's i686 cross compiler: the
# module's code at the 32-bit DLL's pointer width, tested on a 64-bit machine.
# Programs run natively where the kernel runs 32-bit programs, otherwise
# under qemu-i386 user emulation (MURLIN_NO_32BIT=2 asks for qemu anywhere).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)
set(MURLIN_I686_ROOT /usr/i686-linux-gnu)
set(CMAKE_FIND_ROOT_PATH ${MURLIN_I686_ROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(MURLIN_MODULE_NAME Murlin)

# 64-bit file offsets, inode numbers and times, as the 64-bit build has: with
# 32-bit ones readdir and stat fail (EOVERFLOW) on file systems with large
# inode numbers or directory hashes, and times end in 2038.
# SSE2, as the 32-bit DLL assumes it.
set(CMAKE_C_FLAGS_INIT "-D_FILE_OFFSET_BITS=64 -D_TIME_BITS=64 -msse2")
set(CMAKE_CXX_FLAGS_INIT "-D_FILE_OFFSET_BITS=64 -D_TIME_BITS=64 -msse2")

# The programs start with the cross toolchain's own loader and libraries, so
# that they need no i386 packages of the machine, natively or under qemu.
set(MURLIN_I686_LINK "-Wl,-rpath,${MURLIN_I686_ROOT}/lib")
set(CMAKE_EXE_LINKER_FLAGS_INIT
    "${MURLIN_I686_LINK} -Wl,--dynamic-linker=${MURLIN_I686_ROOT}/lib/ld-linux.so.2")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${MURLIN_I686_LINK}")

execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/../scripts/runs-32bit.sh elf
    RESULT_VARIABLE MURLIN_NO_NATIVE_32BIT OUTPUT_QUIET ERROR_QUIET)
if(MURLIN_NO_NATIVE_32BIT)
    set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386)
endif()
