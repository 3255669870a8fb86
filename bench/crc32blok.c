/* The CRC-32 that bench/update.py holds the program's digest against:
 *   korvex_bench_crc32 FILE
 * zlib's crc32 over the file in 1 MiB reads; prints 8 upper-case hex digits. */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>
#include <zlib.h>

#ifndef O_BINARY
#define O_BINARY 0 /* Windows would read text mode otherwise */
#endif

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: korvex_bench_crc32 FILE\n");
        return 2;
    }
    int fd = open(argv[1], O_RDONLY | O_BINARY);
    if (fd < 0) {
        perror(argv[1]);
        return 1;
    }
    enum { BLOK = 1 << 20 };
    unsigned char* buffer = malloc(BLOK);
    if (buffer == NULL) return 1;
    uLong crc = crc32(0L, Z_NULL, 0);
    ssize_t n;
    while ((n = read(fd, buffer, BLOK)) > 0) crc = crc32(crc, buffer, (uInt)n);
    if (n < 0) {
        perror(argv[1]);
        return 1;
    }
    printf("%08lX\n", crc);
    free(buffer);
    close(fd);
    return 0;
}
