// SPDX-License-Identifier: GPL-3.0-or-later
#include "Vokabo.h"

int main(int argc, char* argv[])
{
    return runVokabo(argc, argv);
}
