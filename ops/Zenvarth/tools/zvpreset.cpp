// zvpreset: creates, shows and edits Zenvarth settings files.
#include <cstdio>

int main()
{
    std::fprintf(stderr, "zvpreset: not built yet\n");
    return 1;
}
