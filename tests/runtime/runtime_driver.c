/* Test driver for the C99 table runtime in runtime/: reads one command
 * per line on standard input and prints one result line per command.
 *
 *   E <hex>                          ECB encryption of whole blocks -> <hex>
 *   D <hex>                          ECB decryption                 -> <hex>
 *   CE <iv> <hex>                    CBC encryption                 -> <status> <hex>
 *   CD <iv> <hex>                    CBC decryption                 -> <status> <hex>
 *   IE <ioc> <hex>                   encode with the IOC input set, encrypt,
 *                                    decode with the output set     -> <status> <hex>
 *   ID <ioc> <hex>                   the same with decryption
 *   ICE <ioc> <data> <iv> <hex>      CBC encryption of plain data and IV, coded
 *                                    as the runtime header describes -> <status> <hex>
 *   ICD <ioc> <data> <iv> <hex>      the same for CBC decryption
 *
 * A coding file that fails to load prints its status alone. <hex> may be "-"
 * for no data.
 */
#include "tabrix_runtime.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define MAX_DATA 4096

static unsigned char data[MAX_DATA];
static tabrix_coding_set input_set, output_set, data_set;

static int hex_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

/* Parses hex text into out; returns the byte count. Exits on malformed input,
 * which is a fault of the test, not of the runtime. */
static size_t parse_hex(const char *text, unsigned char *out, size_t capacity)
{
    size_t n = 0;
    if (text == NULL) {
        fprintf(stderr, "driver: missing argument\n");
        exit(2);
    }
    if (strcmp(text, "-") == 0)
        return 0;
    while (text[0] != '\0') {
        int hi = hex_value(text[0]);
        int lo = text[1] != '\0' ? hex_value(text[1]) : -1;
        if (hi < 0 || lo < 0 || n == capacity) {
            fprintf(stderr, "driver: bad hex text\n");
            exit(2);
        }
        out[n++] = (unsigned char)(hi * 16 + lo);
        text += 2;
    }
    return n;
}

static void parse_iv(const char *text, unsigned char iv[16])
{
    if (parse_hex(text, iv, 16) != 16) {
        fprintf(stderr, "driver: the IV must be 16 bytes\n");
        exit(2);
    }
}

static void print_hex(const unsigned char *bytes, size_t length)
{
    size_t i;
    for (i = 0; i < length; ++i)
        printf("%02x", bytes[i]);
    if (length == 0)
        printf("-");
}

static void print_status_and_data(int status, size_t length)
{
    printf("%d ", status);
    print_hex(data, length);
    printf("\n");
}

static void blockwise(size_t length, int decrypt)
{
    size_t offset;
    for (offset = 0; offset + 16 <= length; offset += 16) {
        if (decrypt)
            tabrix_decrypt_block(data + offset, data + offset);
        else
            tabrix_encrypt_block(data + offset, data + offset);
    }
}

static void run(char *line)
{
    const char *command = strtok(line, " \r\n");
    unsigned char iv[16];
    size_t length;
    int status;

    if (command == NULL)
        return;
    if (strcmp(command, "E") == 0 || strcmp(command, "D") == 0) {
        length = parse_hex(strtok(NULL, " \r\n"), data, MAX_DATA);
        blockwise(length, command[0] == 'D');
        print_hex(data, length);
        printf("\n");
    } else if (strcmp(command, "CE") == 0 || strcmp(command, "CD") == 0) {
        parse_iv(strtok(NULL, " \r\n"), iv);
        length = parse_hex(strtok(NULL, " \r\n"), data, MAX_DATA);
        status = command[1] == 'E' ? tabrix_encrypt_cbc(data, length, iv)
                                   : tabrix_decrypt_cbc(data, length, iv);
        print_status_and_data(status, length);
    } else if (strcmp(command, "IE") == 0 || strcmp(command, "ID") == 0) {
        status = tabrix_load_ioc_file(strtok(NULL, " \r\n"), &input_set, &output_set);
        length = parse_hex(strtok(NULL, " \r\n"), data, MAX_DATA);
        if (status != TABRIX_OK) {
            printf("%d\n", status);
            return;
        }
        tabrix_encode_data(data, length, &input_set);
        blockwise(length, command[1] == 'D');
        tabrix_decode_data(data, length, &output_set);
        print_status_and_data(status, length);
    } else if (strcmp(command, "ICE") == 0 || strcmp(command, "ICD") == 0) {
        int encrypt = command[2] == 'E';
        status = tabrix_load_ioc_file(strtok(NULL, " \r\n"), &input_set, &output_set);
        if (status == TABRIX_OK)
            status = tabrix_load_coding_set(strtok(NULL, " \r\n"), &data_set);
        else
            strtok(NULL, " \r\n");
        parse_iv(strtok(NULL, " \r\n"), iv);
        length = parse_hex(strtok(NULL, " \r\n"), data, MAX_DATA);
        if (status != TABRIX_OK) {
            printf("%d\n", status);
            return;
        }
        if (encrypt) {
            tabrix_encode_data(data, length, &data_set);
            tabrix_encode_data(iv, 16, &output_set);
            status = tabrix_encrypt_cbc(data, length, iv);
            tabrix_decode_data(data, length, &output_set);
        } else {
            tabrix_encode_data(data, length, &input_set);
            tabrix_encode_data(iv, 16, &input_set);
            status = tabrix_decrypt_cbc(data, length, iv);
            tabrix_decode_data(data, length, &data_set);
        }
        print_status_and_data(status, length);
    } else {
        fprintf(stderr, "driver: unknown command %s\n", command);
        exit(2);
    }
}

int main(void)
{
    static char line[2 * MAX_DATA + 1024];
    while (fgets(line, sizeof line, stdin) != NULL) {
        run(line);
    }
    return 0;
}
