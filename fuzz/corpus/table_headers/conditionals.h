#if 0
const unsigned char finalRoundTable[16] = {9,9,9,9,9,9,9,9,9,9,9,9,9,9,9,9};
#elif defined(X)
#else
// a comment \
still a comment
const unsigned char finalRoundTable[16] = {010, 0x1fu, 0b11, 7UL, 0, 1ll, 2LLU, 3,
#if 1
4, 5,
#endif
6, 7, 8, 9, 10, 0377 };
#endif
const char *s = "xorTables[16] = {";
