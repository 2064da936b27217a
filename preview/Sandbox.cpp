// SPDX-License-Identifier: GPL-2.0-or-later
#include "preview/Sandbox.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <initializer_list>
#include <sched.h>
#include <seccomp.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define LUMORA_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LUMORA_ADDRESS_SANITIZER 1
#endif
#endif

namespace lumora::preview {
namespace {

bool SetLimit(int resource, rlim_t soft, rlim_t hard) {
    struct rlimit limit {
        soft, hard
    };
    return ::setrlimit(resource, &limit) == 0;
}

// Calls that only touch the helper's own memory, descriptors, threads and clocks.
constexpr const char* kAllowed[] = {
    // reading the request and fonts, answering on the socket
    "read", "readv", "pread64", "preadv", "write", "writev", "lseek", "close", "fcntl", "fstat",
    "newfstatat", "stat", "lstat", "statx", "fstatfs", "statfs", "getdents64", "readlink",
    "readlinkat", "access", "faccessat", "faccessat2", "getcwd", "poll", "ppoll",
    // event loops of threads: descriptors that lead back into the helper only
    "eventfd2", "pipe2",
    // memory
    "brk", "munmap", "mremap", "madvise",
    // threads
    "futex", "set_robust_list", "rseq", "set_tid_address", "sched_yield", "sched_getaffinity",
    "membarrier",
    // about itself, clocks, signals
    "getpid", "gettid", "getppid", "getuid", "geteuid", "getgid", "getegid", "uname", "sysinfo",
    "getrusage", "getrandom", "clock_gettime", "clock_getres", "gettimeofday", "time",
    "clock_nanosleep", "nanosleep", "rt_sigaction", "rt_sigprocmask", "rt_sigreturn", "sigaltstack",
    "restart_syscall", "exit", "exit_group"};

// Flags of open() that write or create; an open with any of them fails with EPERM.
constexpr unsigned kWritingOpenFlags[] = {O_WRONLY, O_RDWR,   O_CREAT,
                                          O_TRUNC,  O_APPEND, __O_TMPFILE};

class Filter {
public:
    Filter() : m_context(seccomp_init(SCMP_ACT_KILL_PROCESS)) {}
    ~Filter() {
        if (m_context != nullptr)
            seccomp_release(m_context);
    }
    Filter(const Filter&) = delete;
    Filter& operator=(const Filter&) = delete;

    // A call this architecture lacks is skipped; any other failure fails the filter.
    template <typename... Conditions>
    void Add(uint32_t action, const char* name, Conditions... conditions) {
        const int call = seccomp_syscall_resolve_name(name);
        if (call == __NR_SCMP_ERROR)
            return;
        if (seccomp_rule_add(m_context, action, call, sizeof...(conditions), conditions...) != 0)
            m_failed = true;
    }

    bool Load() {
        if (m_context == nullptr || m_failed)
            return false;
        // Threads that Qt may already run get the filter too.
        return seccomp_attr_set(m_context, SCMP_FLTATR_CTL_TSYNC, 1) == 0 &&
               seccomp_load(m_context) == 0;
    }

private:
    scmp_filter_ctx m_context;
    bool m_failed = false;
};

// Argument `index` equal to `value`. The library's SCMP_A0(SCMP_CMP_EQ, value) leaves the
// comparison's second datum out, which clang warns of.
scmp_arg_cmp ArgumentIs(unsigned index, scmp_datum_t value) {
    return {index, SCMP_CMP_EQ, value, 0};
}

void AddOpens(Filter& filter) {
    unsigned writing = 0;
    for (unsigned flag : kWritingOpenFlags)
        writing |= flag;
    // open(path, flags) and openat(folder, path, flags): the flags are argument 1 and 2.
    filter.Add(SCMP_ACT_ALLOW, "open", SCMP_A1(SCMP_CMP_MASKED_EQ, writing, 0));
    filter.Add(SCMP_ACT_ALLOW, "openat", SCMP_A2(SCMP_CMP_MASKED_EQ, writing, 0));
    for (unsigned flag : kWritingOpenFlags) {
        filter.Add(SCMP_ACT_ERRNO(EPERM), "open", SCMP_A1(SCMP_CMP_MASKED_EQ, flag, flag));
        filter.Add(SCMP_ACT_ERRNO(EPERM), "openat", SCMP_A2(SCMP_CMP_MASKED_EQ, flag, flag));
    }
    filter.Add(SCMP_ACT_ERRNO(EPERM), "creat");
    // openat2 takes its flags in a structure the filter cannot look into; the C library
    // does not need it.
    filter.Add(SCMP_ACT_ERRNO(ENOSYS), "openat2");
}

void AddMemory(Filter& filter) {
    // mmap(addr, length, prot, ...) and mprotect(addr, length, prot)
    filter.Add(SCMP_ACT_ALLOW, "mmap", SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0));
    filter.Add(SCMP_ACT_ERRNO(EPERM), "mmap", SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, PROT_EXEC));
    filter.Add(SCMP_ACT_ALLOW, "mprotect", SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0));
    filter.Add(SCMP_ACT_ERRNO(EPERM), "mprotect",
               SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, PROT_EXEC));
}

void AddThreadsAndSignals(Filter& filter) {
    // clone(flags, ...) for a thread of this process, never for a new process; clone3
    // passes its flags in a structure, so the C library is sent back to clone.
    filter.Add(SCMP_ACT_ALLOW, "clone", SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, CLONE_THREAD));
    filter.Add(SCMP_ACT_ERRNO(ENOSYS), "clone3");
    const scmp_datum_t self = scmp_datum_t(::getpid());
    for (const char* call : {"kill", "tgkill"})
        filter.Add(SCMP_ACT_ALLOW, call, ArgumentIs(0, self));
    // Reading limits; prlimit64(0, resource, NULL, old) changes nothing.
    filter.Add(SCMP_ACT_ALLOW, "getrlimit");
    filter.Add(SCMP_ACT_ALLOW, "prlimit64", ArgumentIs(0, 0), ArgumentIs(2, 0));
    // Qt names its threads; the dumpable flag may be read, not set.
    for (int option : {PR_SET_NAME, PR_GET_NAME, PR_GET_DUMPABLE})
        filter.Add(SCMP_ACT_ALLOW, "prctl", ArgumentIs(0, scmp_datum_t(option)));
}

} // namespace

bool LimitResources() {
    bool ok = SetLimit(RLIMIT_CPU, kCpuSeconds, kCpuSeconds + 1) && SetLimit(RLIMIT_FSIZE, 0, 0);
#ifndef LUMORA_ADDRESS_SANITIZER
    ok = SetLimit(RLIMIT_AS, kAddressSpaceLimit, kAddressSpaceLimit) && ok;
#endif
    return ok;
}

bool InstallSyscallFilter() {
    Filter filter;
    for (const char* call : kAllowed)
        filter.Add(SCMP_ACT_ALLOW, call);
    AddOpens(filter);
    AddMemory(filter);
    AddThreadsAndSignals(filter);
    return filter.Load();
}

} // namespace lumora::preview
