// SPDX-License-Identifier: GPL-2.0-or-later
// lumora-preview-faulty: the preview helper of the tests. Once its sandbox is in place it
// does what LUMORA_PREVIEW_FAULT names instead of, or before, answering:
//   crash, hang             abort, or spin until it is killed
//   socket, exec, fork,     a call the filter forbids: the helper should die of SIGSYS
//   signal-parent, ptrace
//   write-open:PATH,        an open for writing, or a mapping of executable memory: exits
//   exec-map                with 100 + errno (EPERM expected)
//   read-open:PATH          a read-only open: exits with 100 + errno, 100 when it worked
//   hardening               exits with 100 plus a bit for each missing protection: 1
//                           dumpable, 2 core files allowed, 4 no CPU limit, 8 no address
//                           space limit (checked only outside sanitizer builds), 16 files
//                           may grow
// Anything else, or nothing, answers as the real helper does.
#include "preview/Helper.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

std::string g_fault;

[[noreturn]] void ExitWithErrno(long result) {
    ::_exit(result < 0 ? 100 + errno : 100);
}

bool Unlimited(int resource) {
    struct rlimit limit {};
    return ::getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY;
}

int MissingProtections() {
    int missing = 0;
    struct rlimit core {};
    if (::prctl(PR_GET_DUMPABLE) != 0)
        missing |= 1;
    if (::getrlimit(RLIMIT_CORE, &core) != 0 || core.rlim_cur != 0 || core.rlim_max != 0)
        missing |= 2;
    if (Unlimited(RLIMIT_CPU))
        missing |= 4;
#if !defined(__SANITIZE_ADDRESS__)
    if (Unlimited(RLIMIT_AS))
        missing |= 8;
#endif
    struct rlimit size {};
    if (::getrlimit(RLIMIT_FSIZE, &size) != 0 || size.rlim_cur != 0)
        missing |= 16;
    return missing;
}

void Misbehave() {
    const std::string fault = g_fault.substr(0, g_fault.find(':'));
    const std::string path = g_fault.find(':') == std::string::npos
                                 ? std::string()
                                 : g_fault.substr(g_fault.find(':') + 1);
    if (fault == "crash")
        std::abort();
    if (fault == "hang") {
        volatile bool spinning = true;
        while (spinning) {
        }
    }
    if (fault == "socket")
        ExitWithErrno(::socket(AF_INET, SOCK_STREAM, 0));
    if (fault == "exec") {
        char* argv[] = {const_cast<char*>("/bin/true"), nullptr};
        ExitWithErrno(::execv(argv[0], argv));
    }
    if (fault == "fork")
        ExitWithErrno(::fork());
    if (fault == "signal-parent")
        ExitWithErrno(::kill(::getppid(), 0));
    if (fault == "ptrace")
        ExitWithErrno(::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr));
    if (fault == "write-open")
        ExitWithErrno(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600));
    if (fault == "read-open")
        ExitWithErrno(::open(path.c_str(), O_RDONLY));
    if (fault == "exec-map") {
        void* page =
            ::mmap(nullptr, 4096, PROT_READ | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        ExitWithErrno(page == MAP_FAILED ? -1 : 0);
    }
    if (fault == "hardening")
        ::_exit(100 + MissingProtections());
}

} // namespace

int main(int argc, char** argv) {
    if (const char* fault = std::getenv("LUMORA_PREVIEW_FAULT"))
        g_fault = fault;
    lumora::preview::RunHelper(argc, argv, Misbehave);
}
