// SPDX-License-Identifier: GPL-2.0-or-later
// Must not compile: see CMakeLists.txt.
#include "crypt/SHA.h"
