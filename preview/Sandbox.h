// SPDX-License-Identifier: GPL-2.0-or-later
// What confines the preview helper before it reads a single byte of the picture.
//
// Resource limits, soft and hard: address space (not in sanitizer builds, whose shadow
// memory needs terabytes of it), CPU time, and no file to grow beyond 0 bytes.
//
// A seccomp filter (libseccomp) that lets through only what decoding a picture in memory
// and answering on the open socket need. Qt's image plugins and the font database are
// loaded before it closes; fonts that a drawing asks for later (the SVG of a metafile may
// name any face; libwmf reads its font map and font files when it meets text) are opened
// read-only, so the filter allows read-only opens: a file opened so can only be read into
// this process, which cannot send it anywhere but back to the program as pixels. Opens for
// writing fail with EPERM, and so do new executable mappings (plugins cannot be loaded any
// more, and a JIT falls back to interpreting). Threads may be started (Qt's image scaling
// uses them; they inherit the filter), processes may not. Signals go to the helper itself
// only. Every other system call (sockets, exec, ptrace, ...) kills the helper at once.
#pragma once

#include <cstdint>

namespace lumora::preview {

inline constexpr uint64_t kAddressSpaceLimit = 2048ull << 20;
inline constexpr unsigned kCpuSeconds = 5;

// False when a limit could not be set.
[[nodiscard]] bool LimitResources();
// False when the filter could not be installed; the helper then decodes nothing.
[[nodiscard]] bool InstallSyscallFilter();

} // namespace lumora::preview
