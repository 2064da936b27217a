// SPDX-License-Identifier: GPL-2.0-or-later
// Lumora, the desktop program: "lumora [PICTURE]".
#include "app/RunProgram.h"

int main(int argc, char** argv) {
    return lumora::RunProgram(argc, argv);
}
