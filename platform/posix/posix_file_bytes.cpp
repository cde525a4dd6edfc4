#include "platform/posix/posix_file_bytes.h"

#include <stdio.h>
#include <stdlib.h>

char* ReadFileBytes(const char* path, size_t limitBytes, size_t* size) {
    *size = 0;
    FILE* file = fopen(path, "rb");
    if (file == nullptr) return nullptr;
    char* bytes = nullptr;
    long n = -1;
    if (fseek(file, 0, SEEK_END) == 0) n = ftell(file);
    if (n >= 0 && static_cast<unsigned long>(n) <= limitBytes && fseek(file, 0, SEEK_SET) == 0)
        bytes = static_cast<char*>(malloc(static_cast<size_t>(n) + 1));
    if (bytes != nullptr) {
        if (fread(bytes, 1, static_cast<size_t>(n), file) == static_cast<size_t>(n)) {
            bytes[n] = 0;
            *size = static_cast<size_t>(n);
        } else {
            free(bytes);
            bytes = nullptr;
        }
    }
    fclose(file);
    return bytes;
}

size_t ByteOrderMarkLength(const char* bytes, size_t size) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes);
    return size >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF ? 3 : 0;
}
