// POSIX backend: the one mapping of Windows names to POSIX paths, which every
// stand-in that takes a file name goes through.
#pragma once

#include <stddef.h>

// The POSIX path of a Windows name into out (size bytes, NUL included): a
// drive prefix "X:" becomes the directory MURLIN_DRIVES maps X to, and
// backslashes become slashes. A name without a drive keeps its place
// relative to the working directory. False when the name is null, its drive
// is unknown, or it does not fit.
bool PosixPathOf(const char16_t* name, char* out, size_t size);
