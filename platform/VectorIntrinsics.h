// SPDX-License-Identifier: GPL-2.0-or-later
// The x86 vector intrinsics (immintrin.h), for code that picks AVX2 or AVX-512 at run time
// with target attributes. GCC 12's AVX-512 intrinsics start some results from a deliberately
// undefined vector, which its own checks of uninitialized use then report in the header.
#pragma once

#if defined(__x86_64__) || defined(__i386__)
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop
#else
#include <immintrin.h>
#endif
#endif
