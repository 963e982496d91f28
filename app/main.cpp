#include "KolvaraMain.h"

int main(int argc, char* argv[])
{
    return kolvaraMain(argc, argv);
}
