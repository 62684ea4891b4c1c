/* The application's side: the table set "t" and no coding file. Runs the
 * plain table functions on buffers that server.c coded.
 *
 *   app <blocks|cbc-encrypt|cbc-decrypt> <data in> <iv in> <data out> */
#include "t.h"

#include <stdio.h>
#include <string.h>

int main(int argc, char **argv)
{
    unsigned char buffer[512], iv[16];
    size_t size = 0, n;
    FILE *file;
    int status = T_OK;

    if (argc != 5 || (file = fopen(argv[2], "rb")) == NULL)
        return 2;
    size = fread(buffer, 1, sizeof buffer, file);
    fclose(file);
    if ((file = fopen(argv[3], "rb")) == NULL || fread(iv, 1, 16, file) != 16)
        return 2;
    fclose(file);
    if (strcmp(argv[1], "blocks") == 0) {
        for (n = 0; n + 16 <= size; n += 16)
            t_encrypt_block(buffer + n, buffer + n);
    } else if (strcmp(argv[1], "cbc-encrypt") == 0) {
        status = t_encrypt_cbc(buffer, size, iv);
    } else {
        status = t_decrypt_cbc(buffer, size, iv);
    }
    if (status != T_OK || (file = fopen(argv[4], "wb")) == NULL || fwrite(buffer, 1, size, file) != size)
        return 1;
    return fclose(file) == 0 ? 0 : 1;
}
