#include "decoder/Seal.h"

#include <fcntl.h>
#include <linux/landlock.h>
#include <sched.h>
#include <seccomp.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

extern char** environ;

namespace decoder {
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

// Every file system right the kernel's Landlock knows, so that all but reading is denied.
__u64 HandledRights(int abi) {
    __u64 rights =
        LANDLOCK_ACCESS_FS_EXECUTE | LANDLOCK_ACCESS_FS_WRITE_FILE | LANDLOCK_ACCESS_FS_READ_FILE |
        LANDLOCK_ACCESS_FS_READ_DIR | LANDLOCK_ACCESS_FS_REMOVE_DIR |
        LANDLOCK_ACCESS_FS_REMOVE_FILE | LANDLOCK_ACCESS_FS_MAKE_CHAR |
        LANDLOCK_ACCESS_FS_MAKE_DIR | LANDLOCK_ACCESS_FS_MAKE_REG | LANDLOCK_ACCESS_FS_MAKE_SOCK |
        LANDLOCK_ACCESS_FS_MAKE_FIFO | LANDLOCK_ACCESS_FS_MAKE_BLOCK | LANDLOCK_ACCESS_FS_MAKE_SYM;
    if (abi >= 2)
        rights |= 1ULL << 13; // LANDLOCK_ACCESS_FS_REFER
    if (abi >= 3)
        rights |= 1ULL << 14; // LANDLOCK_ACCESS_FS_TRUNCATE
    if (abi >= 5)
        rights |= 1ULL << 15; // LANDLOCK_ACCESS_FS_IOCTL_DEV
    return rights;
}

// True when reading is now limited to `readable`; false when the kernel has no Landlock.
bool LimitReading(const std::vector<std::filesystem::path>& readable) {
    const long abi =
        syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    if (abi < 1)
        return false;
    landlock_ruleset_attr attributes{};
    attributes.handled_access_fs = HandledRights(static_cast<int>(abi));
    const int ruleset =
        static_cast<int>(syscall(SYS_landlock_create_ruleset, &attributes, sizeof attributes, 0));
    if (ruleset < 0)
        return false;
    for (const std::filesystem::path& folder : readable) {
        const int at = open(folder.c_str(), O_PATH | O_CLOEXEC);
        if (at < 0)
            continue;
        landlock_path_beneath_attr rule{};
        rule.allowed_access = LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_READ_DIR;
        rule.parent_fd = at;
        syscall(SYS_landlock_add_rule, ruleset, LANDLOCK_RULE_PATH_BENEATH, &rule, 0);
        close(at);
    }
    const bool limited = syscall(SYS_landlock_restrict_self, ruleset, 0) == 0;
    close(ruleset);
    return limited;
}

bool Allow(void* filter, int call) {
    return seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 0) == 0;
}

} // namespace

std::vector<std::filesystem::path> FontFolders() {
    std::vector<std::filesystem::path> folders = {"/usr/share/fonts", "/usr/local/share/fonts",
                                                  "/etc/fonts", "/var/cache/fontconfig"};
    if (const char* home = std::getenv("HOME"); home && *home) {
        const std::filesystem::path h(home);
        folders.insert(folders.end(),
                       {h / ".fonts", h / ".local/share/fonts", h / ".cache/fontconfig"});
    }
    return folders;
}

bool SealProcess(int socket, const std::vector<std::filesystem::path>& readable) {
    CloseAbove(socket);
    WipeEnvironment();
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return false;
    const bool fontsOnly = LimitReading(readable);
    const std::unique_ptr<void, FilterReleaser> filter(seccomp_init(SCMP_ACT_ERRNO(EPERM)));
    if (!filter)
        return false;
    void* f = filter.get();
    bool ok = true;
    // Messages on the decoder's own socket only; the descriptors it receives are read.
    for (const int call : {SCMP_SYS(sendmsg), SCMP_SYS(recvmsg)})
        ok = ok && seccomp_rule_add(f, SCMP_ACT_ALLOW, call, 1,
                                    SCMP_A0(SCMP_CMP_EQ, static_cast<scmp_datum_t>(socket), 0)) == 0;
    for (const int fd : {STDOUT_FILENO, STDERR_FILENO})
        ok = ok && seccomp_rule_add(f, SCMP_ACT_ALLOW, SCMP_SYS(write), 1,
                                    SCMP_A0(SCMP_CMP_EQ, static_cast<scmp_datum_t>(fd), 0)) == 0;
    // Font files, read only, and only where Landlock keeps every other file out of reach.
    if (fontsOnly)
        ok = ok && seccomp_rule_add(f, SCMP_ACT_ALLOW, SCMP_SYS(openat), 1,
                                    SCMP_A2(SCMP_CMP_MASKED_EQ,
                                            O_ACCMODE | O_CREAT | O_TRUNC | O_APPEND | O_PATH,
                                            O_RDONLY)) == 0;
    // Memory, but never executable: no code beyond what was loaded before the seal.
    for (const int call : {SCMP_SYS(mmap), SCMP_SYS(mprotect)})
        ok = ok && seccomp_rule_add(f, SCMP_ACT_ALLOW, call, 1,
                                    SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0)) == 0;
    // Threads of its own (Qt's image conversions use them, each with the eventfd of its event
    // dispatcher); never a new process.
    ok = ok && seccomp_rule_add(f, SCMP_ACT_ALLOW, SCMP_SYS(clone), 1,
                                SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, CLONE_THREAD)) == 0;
    ok = ok && seccomp_rule_add(f, SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(clone3), 0) == 0;
    // The pixels' shared memory: made, sized and sealed here.
    ok = ok && seccomp_rule_add(f, SCMP_ACT_ALLOW, SCMP_SYS(fcntl), 1,
                                SCMP_A1(SCMP_CMP_EQ, F_ADD_SEALS, 0)) == 0;
    ok = ok && seccomp_rule_add(f, SCMP_ACT_ALLOW, SCMP_SYS(prctl), 1,
                                SCMP_A0(SCMP_CMP_EQ, PR_SET_NAME, 0)) == 0;
    for (const int call : {SCMP_SYS(read),
                           SCMP_SYS(pread64),
                           SCMP_SYS(lseek),
                           SCMP_SYS(fstat),
                           SCMP_SYS(newfstatat),
                           SCMP_SYS(statx),
                           SCMP_SYS(getdents64),
                           SCMP_SYS(readlink),
                           SCMP_SYS(memfd_create),
                           SCMP_SYS(ftruncate),
                           SCMP_SYS(brk),
                           SCMP_SYS(munmap),
                           SCMP_SYS(mremap),
                           SCMP_SYS(madvise),
                           SCMP_SYS(futex),
                           SCMP_SYS(close),
                           SCMP_SYS(exit),
                           SCMP_SYS(exit_group),
                           SCMP_SYS(rt_sigreturn),
                           SCMP_SYS(rt_sigprocmask),
                           SCMP_SYS(restart_syscall),
                           SCMP_SYS(getrandom),
                           SCMP_SYS(sched_yield),
                           SCMP_SYS(clock_gettime),
                           SCMP_SYS(clock_nanosleep),
                           SCMP_SYS(nanosleep),
                           SCMP_SYS(set_robust_list),
                           SCMP_SYS(rseq),
                           SCMP_SYS(sched_getaffinity),
                           SCMP_SYS(gettid),
                           SCMP_SYS(getpid),
                           SCMP_SYS(sigaltstack),
                           SCMP_SYS(eventfd2),
                           SCMP_SYS(rt_sigaction)})
        ok = ok && Allow(f, call);
    return ok && seccomp_load(f) == 0;
}

} // namespace decoder
