/* What the consumer programs share: counting checks and failures, and reading
 * a key file of 32, 48 or 64 hexadecimal digits. */
#ifndef CONSUMER_CHECKS_H
#define CONSUMER_CHECKS_H

#include <stdio.h>
#include <string.h>

static int checks = 0, failures = 0;

static void check(int ok, const char *what, size_t length)
{
    ++checks;
    if (!ok) {
        ++failures;
        printf("FAILED: %s (length %lu)\n", what, (unsigned long)length);
    }
}

/* Reads the key of a key file (32, 48 or 64 hexadecimal digits) into key, which
 * has room for capacity bytes; the key's length in bytes, 0 when the file holds
 * no such key or it does not fit. */
static size_t read_key(const char *path, unsigned char *key, size_t capacity)
{
    char text[96] = {0};
    size_t n, digits = 0;
    FILE *file = fopen(path, "r");
    if (file == NULL || fgets(text, sizeof text, file) == NULL) {
        if (file != NULL)
            fclose(file);
        return 0;
    }
    fclose(file);
    while (digits < sizeof text && strchr("0123456789abcdefABCDEF", text[digits]) != NULL && text[digits] != '\0')
        ++digits;
    if ((digits != 32 && digits != 48 && digits != 64) || digits / 2 > capacity)
        return 0;
    for (n = 0; n < digits / 2; ++n) {
        unsigned byte;
        if (sscanf(text + 2 * n, "%2x", &byte) != 1)
            return 0;
        key[n] = (unsigned char)byte;
    }
    return digits / 2;
}

#endif
