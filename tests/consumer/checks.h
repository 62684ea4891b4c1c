/* What the consumer programs share: counting checks and failures, and reading
 * a key file of 32 hexadecimal digits. */
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

static int read_key(const char *path, unsigned char key[16])
{
    char text[64] = {0};
    unsigned n;
    FILE *file = fopen(path, "r");
    if (file == NULL || fgets(text, sizeof text, file) == NULL) {
        if (file != NULL)
            fclose(file);
        return 0;
    }
    fclose(file);
    for (n = 0; n < 16; ++n) {
        unsigned byte;
        if (sscanf(text + 2 * n, "%2x", &byte) != 1)
            return 0;
        key[n] = (unsigned char)byte;
    }
    return 1;
}

#endif
