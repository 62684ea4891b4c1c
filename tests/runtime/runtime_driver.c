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
 *   ICE <ioc> <data> <iv> <hex>      coded CBC encryption of plain data and IV in
 *                                    one call                       -> <status> <hex>
 *   ICD <ioc> <data> <iv> <hex>      the same for CBC decryption
 *   P <capacity> <hex>               PKCS#7 padding   -> <status> <hex> (as padded)
 *   U <hex>                          padding check    -> <status> <hex> (without it)
 *   CTR <counter> <hex>              counter mode                   -> <hex>
 *   ICTR <ioc> <counter> <hex>       counter mode through the IOC file's sets -> <hex>
 *   XE <in> <out> <hex>              tabrix_encrypt_ecb with the input at byte
 *                                    offset <in> of one buffer and the output at
 *                                    offset <out> of another, or in place at
 *                                    <in> when <out> is "="  -> <status> <hex>
 *   XD <in> <out> <hex>              the same with tabrix_decrypt_ecb
 *   PATH                             the block path in use  -> its name
 *
 * A coding file that fails to load prints its status alone. <hex> may be "-"
 * for no data.
 */
#include "tabrix_runtime.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define MAX_DATA 16384
#define MAX_OFFSET 64

static unsigned char data[MAX_DATA];
static unsigned char shifted_in[MAX_DATA + MAX_OFFSET], shifted_out[MAX_DATA + MAX_OFFSET];
static tabrix_coding_set input_set, output_set;
static tabrix_cbc_codings cbc_codings;

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

static size_t parse_offset(const char *text)
{
    const long value = text != NULL ? strtol(text, NULL, 10) : -1;
    if (value < 0 || value >= MAX_OFFSET) {
        fprintf(stderr, "driver: bad offset\n");
        exit(2);
    }
    return (size_t)value;
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
        const char *ioc = strtok(NULL, " \r\n");
        status = tabrix_load_cbc_codings(ioc, strtok(NULL, " \r\n"), &cbc_codings);
        parse_iv(strtok(NULL, " \r\n"), iv);
        length = parse_hex(strtok(NULL, " \r\n"), data, MAX_DATA);
        if (status != TABRIX_OK) {
            printf("%d\n", status);
            return;
        }
        status = encrypt ? tabrix_encrypt_cbc_coded(data, length, iv, &cbc_codings)
                         : tabrix_decrypt_cbc_coded(data, length, iv, &cbc_codings);
        print_status_and_data(status, length);
    } else if (strcmp(command, "P") == 0) {
        size_t capacity = (size_t)strtoul(strtok(NULL, " \r\n"), NULL, 10);
        size_t padded = 0;
        length = parse_hex(strtok(NULL, " \r\n"), data, MAX_DATA - 16);
        status = tabrix_pad(data, length, capacity, &padded);
        print_status_and_data(status, status == TABRIX_OK ? padded : length);
    } else if (strcmp(command, "PL") == 0) {
        const unsigned long long asked = strtoull(strtok(NULL, " \r\n"), NULL, 10);
        printf("%llu\n", (unsigned long long)tabrix_padded_length((size_t)asked));
        return;
    } else if (strcmp(command, "U") == 0) {
        size_t unpadded = 0;
        length = parse_hex(strtok(NULL, " \r\n"), data, MAX_DATA);
        status = tabrix_unpad(data, length, &unpadded);
        print_status_and_data(status, status == TABRIX_OK ? unpadded : length);
    } else if (strcmp(command, "CTR") == 0) {
        parse_iv(strtok(NULL, " \r\n"), iv);
        length = parse_hex(strtok(NULL, " \r\n"), data, MAX_DATA);
        tabrix_crypt_ctr(data, length, iv);
        print_hex(data, length);
        printf("\n");
    } else if (strcmp(command, "ICTR") == 0) {
        status = tabrix_load_ioc_file(strtok(NULL, " \r\n"), &input_set, &output_set);
        parse_iv(strtok(NULL, " \r\n"), iv);
        length = parse_hex(strtok(NULL, " \r\n"), data, MAX_DATA);
        if (status != TABRIX_OK) {
            printf("%d\n", status);
            return;
        }
        tabrix_crypt_ctr_coded(data, length, iv, &input_set, &output_set);
        print_hex(data, length);
        printf("\n");
    } else if (strcmp(command, "XE") == 0 || strcmp(command, "XD") == 0) {
        const size_t in = parse_offset(strtok(NULL, " \r\n"));
        const char *out_text = strtok(NULL, " \r\n");
        const int in_place = out_text != NULL && strcmp(out_text, "=") == 0;
        const size_t out = in_place ? in : parse_offset(out_text);
        unsigned char *target = in_place ? shifted_in + in : shifted_out + out;
        length = parse_hex(strtok(NULL, " \r\n"), data, MAX_DATA);
        memcpy(shifted_in + in, data, length);
        status = command[1] == 'E' ? tabrix_encrypt_ecb(shifted_in + in, target, length)
                                   : tabrix_decrypt_ecb(shifted_in + in, target, length);
        memcpy(data, target, length);
        print_status_and_data(status, length);
    } else if (strcmp(command, "PATH") == 0) {
        printf("%s\n", tabrix_block_path());
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
