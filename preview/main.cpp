// SPDX-License-Identifier: GPL-2.0-or-later
// lumora-preview: the sandboxed helper that decodes pictures for the program's previews.
#include "preview/Helper.h"

int main(int argc, char** argv) {
    lumora::preview::RunHelper(argc, argv);
}
