// POSIX backend: the files that stand in for the clipboard and the registry
// are read whole, and may begin with a UTF-8 byte order mark.
#pragma once

#include <stddef.h>

// The whole file in a malloc block that the caller frees, with a NUL after
// its *size bytes. Null when the file does not open, is larger than
// limitBytes, or cannot be read to its end.
char* ReadFileBytes(const char* path, size_t limitBytes, size_t* size);

// 3 when the bytes begin with the UTF-8 byte order mark EF BB BF, else 0.
size_t ByteOrderMarkLength(const char* bytes, size_t size);
