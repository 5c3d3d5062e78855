#include "Vokabo.h"

int main(int argc, char* argv[])
{
    return runVokabo(argc, argv);
}
