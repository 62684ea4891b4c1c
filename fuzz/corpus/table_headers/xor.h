/* xorTables[16] = { in a comment */
#ifndef X
const unsigned char xorTables[2][8] = {
 1, 2, 3, 4, 5, 6, 7, 8,
 9, 10, 11, 12, 13, 14, 15, 16 };
#endif
