#include "pictures/metafile/Seal.h"

#include <seccomp.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

extern char** environ;

namespace pictures::metafile {
namespace {

struct FilterReleaser {
    void operator()(void* filter) const { seccomp_release(filter); }
};

void CloseAbove(int fd) {
    if (close_range(static_cast<unsigned>(fd) + 1, UINT_MAX, 0) == 0)
        return;
    // Kernels before 5.9.
    const long last = sysconf(_SC_OPEN_MAX);
    for (long i = fd + 1; i < (last > 0 ? last : 65536); ++i)
        close(static_cast<int>(i));
}

// The strings stay readable in /proc/<pid>/environ and in memory unless overwritten.
void WipeEnvironment() {
    for (char** entry = environ; entry && *entry; ++entry)
        std::memset(*entry, 0, std::strlen(*entry));
    clearenv();
}

} // namespace

bool SealProcess(int answer) {
    CloseAbove(answer);
    WipeEnvironment();
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return false;
    const std::unique_ptr<void, FilterReleaser> filter(seccomp_init(SCMP_ACT_ERRNO(EPERM)));
    if (!filter)
        return false;
    void* f = filter.get();
    bool ok = seccomp_rule_add(f, SCMP_ACT_ALLOW, SCMP_SYS(read), 1, SCMP_A0(SCMP_CMP_EQ, 0, 0)) == 0;
    for (const int fd : {STDOUT_FILENO, STDERR_FILENO, answer})
        ok = ok && seccomp_rule_add(f, SCMP_ACT_ALLOW, SCMP_SYS(write), 1,
                                    SCMP_A0(SCMP_CMP_EQ, static_cast<scmp_datum_t>(fd), 0)) == 0;
    // Memory, but never executable: no code beyond what was loaded before the seal.
    for (const int call : {SCMP_SYS(mmap), SCMP_SYS(mprotect)})
        ok = ok && seccomp_rule_add(f, SCMP_ACT_ALLOW, call, 1,
                                    SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0)) == 0;
    for (const int call :
         {SCMP_SYS(brk), SCMP_SYS(munmap), SCMP_SYS(mremap), SCMP_SYS(madvise), SCMP_SYS(futex),
          SCMP_SYS(close), SCMP_SYS(exit), SCMP_SYS(exit_group), SCMP_SYS(rt_sigreturn),
          SCMP_SYS(rt_sigprocmask), SCMP_SYS(restart_syscall), SCMP_SYS(getrandom),
          SCMP_SYS(sched_yield), SCMP_SYS(clock_gettime)})
        ok = ok && seccomp_rule_add(f, SCMP_ACT_ALLOW, call, 0) == 0;
    return ok && seccomp_load(f) == 0;
}

} // namespace pictures::metafile
