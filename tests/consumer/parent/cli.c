#include <stdio.h>

int main(void)
{
    puts("parent cli");
    return 0;
}
