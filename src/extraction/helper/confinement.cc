#include "extraction/helper/confinement.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/landlock.h>
#include <sched.h>
#include <seccomp.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>

#include "platform/file_status.h"
#include "platform/fs.h"
#include "platform/unique_fd.h"

namespace fileprobe {
namespace {

// ---- Landlock -----------------------------------------------------------

// The system headers name the file-system rights of ABI 1 and 2 only; the
// later ABIs' rights and the wider ruleset record are spelled out here with
// the kernel's values (include/uapi/linux/landlock.h).
constexpr std::uint64_t kAccessFsAbi1 = (LANDLOCK_ACCESS_FS_MAKE_SYM << 1) - 1;
constexpr std::uint64_t kAccessFsTruncate = 1ULL << 14;        // ABI 3
constexpr std::uint64_t kAccessFsIoctlDev = 1ULL << 15;        // ABI 5
constexpr std::uint64_t kAccessNetBindTcp = 1ULL << 0;         // ABI 4
constexpr std::uint64_t kAccessNetConnectTcp = 1ULL << 1;      // ABI 4
constexpr std::uint64_t kScopeAbstractUnixSocket = 1ULL << 0;  // ABI 6
constexpr std::uint64_t kScopeSignal = 1ULL << 1;              // ABI 6
constexpr int kAbiWithRefer = 2;
constexpr int kAbiWithTruncate = 3;
constexpr int kAbiWithNetwork = 4;
constexpr int kAbiWithIoctlDev = 5;
constexpr int kAbiWithScopes = 6;

// struct landlock_ruleset_attr as of ABI 6; older kernels are given only
// the prefix they know.
struct RulesetAttributes {
  std::uint64_t handledAccessFs = 0;
  std::uint64_t handledAccessNet = 0;
  std::uint64_t scoped = 0;
};
constexpr std::size_t kRulesetSizeAbi1 = sizeof(std::uint64_t);
constexpr std::size_t kRulesetSizeAbi4 = 2 * sizeof(std::uint64_t);

constexpr std::uint64_t kReadTree = LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_READ_DIR;
constexpr std::uint64_t kReadFile = LANDLOCK_ACCESS_FS_READ_FILE;

int landlockAbi() {
  const long abi =
      ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
  return abi < 0 ? 0 : static_cast<int>(abi);
}

// Every right the kernel knows is handled, and only reading is granted:
// nothing can be written, created, removed, renamed, linked, truncated or
// executed anywhere; from ABI 4 no TCP port can be bound or connected,
// from ABI 6 no abstract socket reached and no other process signalled.
RulesetAttributes rulesetFor(int abi, std::size_t& size) {
  RulesetAttributes attributes;
  attributes.handledAccessFs = kAccessFsAbi1;
  if (abi >= kAbiWithRefer) attributes.handledAccessFs |= LANDLOCK_ACCESS_FS_REFER;
  if (abi >= kAbiWithTruncate) attributes.handledAccessFs |= kAccessFsTruncate;
  if (abi >= kAbiWithIoctlDev) attributes.handledAccessFs |= kAccessFsIoctlDev;
  size = kRulesetSizeAbi1;
  if (abi >= kAbiWithNetwork) {
    attributes.handledAccessNet = kAccessNetBindTcp | kAccessNetConnectTcp;
    size = kRulesetSizeAbi4;
  }
  if (abi >= kAbiWithScopes) {
    attributes.scoped = kScopeAbstractUnixSocket | kScopeSignal;
    size = sizeof(RulesetAttributes);
  }
  return attributes;
}

// Allows reading beneath `path` (a folder) or of `path` (a file); a path
// that does not exist is skipped.
int allowReading(int ruleset, const std::string& path) {
  const ErrnoOr<UniqueFd> owner = openLocationFollowingLinks(path);
  if (!owner) return owner.error() == ENOENT || owner.error() == ENOTDIR ? 0 : owner.error();
  const ErrnoOr<FileStatus> status = statDescriptor(owner->get());
  if (!status) return status.error();
  landlock_path_beneath_attr rule{};
  rule.allowed_access = isDirectory(*status) ? kReadTree : kReadFile;
  rule.parent_fd = owner->get();
  const int noFlags = 0;
  if (::syscall(SYS_landlock_add_rule, ruleset, LANDLOCK_RULE_PATH_BENEATH, &rule, noFlags) != 0) {
    return errno;
  }
  return 0;
}

int restrictFileSystem(int abi, const std::vector<std::string>& readableTrees) {
  std::size_t size = 0;
  const RulesetAttributes attributes = rulesetFor(abi, size);
  const int noFlags = 0;
  const UniqueFd ruleset(
      static_cast<int>(::syscall(SYS_landlock_create_ruleset, &attributes, size, noFlags)));
  if (!ruleset.valid()) return errno;
  for (const std::string& path : readableTrees) {
    if (const int error = allowReading(ruleset.get(), path)) return error;
  }
  if (::syscall(SYS_landlock_restrict_self, ruleset.get(), noFlags) != 0) return errno;
  return 0;
}

// ---- seccomp ------------------------------------------------------------

// Refused system calls fail with this errno rather than killing the
// process: libraries probe for features and cope with a refusal.
constexpr int kRefusal = EPERM;

// Calls that touch only the process's own memory, threads, time and
// already-open descriptors, or read what Landlock lets them read. Found by
// tracing poppler (text layer and rendering, fontconfig), libvips (every
// loader of the image road), tesseract with leptonica and OpenMP, and the
// loading of the recognition module after confinement.
constexpr int kAllowed[] = {
    // descriptors the process holds
    SCMP_SYS(read),
    SCMP_SYS(readv),
    SCMP_SYS(pread64),
    SCMP_SYS(preadv),
    SCMP_SYS(write),
    SCMP_SYS(writev),
    SCMP_SYS(lseek),
    SCMP_SYS(close),
    SCMP_SYS(fcntl),
    SCMP_SYS(dup),
    SCMP_SYS(fadvise64),
    SCMP_SYS(pipe2),
    SCMP_SYS(eventfd2),
    SCMP_SYS(poll),
    SCMP_SYS(ppoll),
    // file status and names, read only (Landlock narrows which files)
    SCMP_SYS(fstat),
    SCMP_SYS(stat),
    SCMP_SYS(lstat),
    SCMP_SYS(newfstatat),
    SCMP_SYS(statx),
    SCMP_SYS(statfs),
    SCMP_SYS(fstatfs),
    SCMP_SYS(access),
    SCMP_SYS(faccessat),
    SCMP_SYS(faccessat2),
    SCMP_SYS(readlink),
    SCMP_SYS(readlinkat),
    SCMP_SYS(getdents64),
    SCMP_SYS(getcwd),
    SCMP_SYS(umask),
    // memory
    SCMP_SYS(brk),
    SCMP_SYS(munmap),
    SCMP_SYS(mremap),
    SCMP_SYS(madvise),
    SCMP_SYS(set_mempolicy),
    SCMP_SYS(get_mempolicy),
    // threads the libraries start, and waiting
    SCMP_SYS(futex),
    SCMP_SYS(set_robust_list),
    SCMP_SYS(get_robust_list),
    SCMP_SYS(rseq),
    SCMP_SYS(set_tid_address),
    SCMP_SYS(sched_yield),
    SCMP_SYS(sched_getaffinity),
    SCMP_SYS(sched_getparam),
    SCMP_SYS(sched_getscheduler),
    SCMP_SYS(membarrier),
    // time and identity
    SCMP_SYS(clock_gettime),
    SCMP_SYS(clock_getres),
    SCMP_SYS(clock_nanosleep),
    SCMP_SYS(nanosleep),
    SCMP_SYS(gettimeofday),
    SCMP_SYS(time),
    SCMP_SYS(getpid),
    SCMP_SYS(gettid),
    SCMP_SYS(getuid),
    SCMP_SYS(geteuid),
    SCMP_SYS(getgid),
    SCMP_SYS(getegid),
    SCMP_SYS(uname),
    SCMP_SYS(sysinfo),
    SCMP_SYS(getrusage),
    SCMP_SYS(getrlimit),
    SCMP_SYS(getrandom),
    // signals of its own
    SCMP_SYS(rt_sigaction),
    SCMP_SYS(rt_sigprocmask),
    SCMP_SYS(rt_sigreturn),
    SCMP_SYS(sigaltstack),
    SCMP_SYS(restart_syscall),
    // the end
    SCMP_SYS(exit),
    SCMP_SYS(exit_group),
};

// Opening flags that write, create or truncate (O_TMPFILE needs one of the
// first two as well).
constexpr std::uint64_t kWritingOpenFlags = O_WRONLY | O_RDWR | O_CREAT | O_TRUNC;
constexpr std::uint64_t kWriteExecute = PROT_WRITE | PROT_EXEC;
constexpr std::uint64_t kNamespaceFlags = CLONE_NEWNS | CLONE_NEWCGROUP | CLONE_NEWUTS |
                                          CLONE_NEWIPC | CLONE_NEWUSER | CLONE_NEWPID |
                                          CLONE_NEWNET;

using Filter = std::unique_ptr<std::remove_pointer_t<scmp_filter_ctx>, void (*)(scmp_filter_ctx)>;

// Argument `index` equals `value`; libseccomp's SCMP_A* macros leave the
// second datum out, which an equality test does not read.
scmp_arg_cmp argumentEquals(unsigned index, std::uint64_t value) {
  const std::uint64_t unused = 0;
  return scmp_arg_cmp{index, SCMP_CMP_EQ, value, unused};
}

int addRule(scmp_filter_ctx filter, std::uint32_t action, int call,
            std::initializer_list<scmp_arg_cmp> conditions) {
  const int result = seccomp_rule_add_array(
      filter, action, call, static_cast<unsigned>(conditions.size()), conditions.begin());
  return result < 0 ? -result : 0;
}

int addRules(scmp_filter_ctx filter) {
  int error = 0;
  const auto add = [&](std::uint32_t action, int call,
                       std::initializer_list<scmp_arg_cmp> conditions) {
    if (error == 0) error = addRule(filter, action, call, conditions);
  };
  for (const int call : kAllowed) add(SCMP_ACT_ALLOW, call, {});

  // Opening for reading only; writing, creating and truncating are refused.
  add(SCMP_ACT_ALLOW, SCMP_SYS(open), {SCMP_A1(SCMP_CMP_MASKED_EQ, kWritingOpenFlags, 0)});
  add(SCMP_ACT_ALLOW, SCMP_SYS(openat), {SCMP_A2(SCMP_CMP_MASKED_EQ, kWritingOpenFlags, 0)});
  // openat2 and clone3 pass their flags in memory the filter cannot read;
  // "not implemented" makes the C library fall back to openat and clone.
  add(SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(openat2), {});
  add(SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(clone3), {});

  // Memory that is never writable and executable at once: mapping a
  // library's code (the recognition module may be loaded after
  // confinement) is allowed, making written bytes executable in one step
  // is not.
  for (const int call : {SCMP_SYS(mmap), SCMP_SYS(mprotect)}) {
    for (const std::uint64_t protection :
         {std::uint64_t{0}, std::uint64_t{PROT_WRITE}, std::uint64_t{PROT_EXEC}}) {
      add(SCMP_ACT_ALLOW, call, {SCMP_A2(SCMP_CMP_MASKED_EQ, kWriteExecute, protection)});
    }
  }

  // Threads only: a clone without CLONE_THREAD would be a new process, and
  // a thread gets no namespace of its own.
  add(SCMP_ACT_ALLOW, SCMP_SYS(clone),
      {SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD | kNamespaceFlags, CLONE_THREAD)});

  // Signals to this process only (abort and raise send to the own pid).
  const auto self = static_cast<std::uint64_t>(::getpid());
  for (const int call :
       {SCMP_SYS(kill), SCMP_SYS(tgkill), SCMP_SYS(rt_sigqueueinfo), SCMP_SYS(rt_tgsigqueueinfo)}) {
    add(SCMP_ACT_ALLOW, call, {argumentEquals(0, self)});
  }

  // Reading its own limits (new limit NULL), naming its own threads, and
  // asking whether it may be dumped.
  const std::uint64_t ownProcess = 0;
  const std::uint64_t noNewLimit = 0;
  add(SCMP_ACT_ALLOW, SCMP_SYS(prlimit64),
      {argumentEquals(0, ownProcess), argumentEquals(2, noNewLimit)});
  for (const int option : {PR_SET_NAME, PR_GET_NAME, PR_GET_DUMPABLE}) {
    add(SCMP_ACT_ALLOW, SCMP_SYS(prctl), {argumentEquals(0, static_cast<std::uint64_t>(option))});
  }
  return error;
}

int installSystemCallFilter() {
  Filter filter(seccomp_init(SCMP_ACT_ERRNO(kRefusal)), seccomp_release);
  if (!filter) return ENOMEM;
  if (const int error = addRules(filter.get())) return error;
  const int loaded = seccomp_load(filter.get());
  return loaded < 0 ? -loaded : 0;
}

// ---- process attributes -------------------------------------------------

// Landlock applies to the calling thread only, so a second thread would
// escape it.
bool singleThreaded() {
  DIR* tasks = ::opendir("/proc/self/task");
  if (!tasks) return false;
  int count = 0;
  while (const dirent* entry = ::readdir(tasks)) {
    if (entry->d_name[0] != '.') ++count;
  }
  ::closedir(tasks);
  return count == 1;
}

int forbidPrivilegesAndCoreDumps() {
  const unsigned long enable = 1;
  const unsigned long unused = 0;
  if (::prctl(PR_SET_NO_NEW_PRIVS, enable, unused, unused, unused) != 0) return errno;
  // A crash dump would hold the document's content.
  const rlimit noCore{0, 0};
  if (::setrlimit(RLIMIT_CORE, &noCore) != 0) return errno;
  const unsigned long notDumpable = 0;
  if (::prctl(PR_SET_DUMPABLE, notDumpable, unused, unused, unused) != 0) return errno;
  return 0;
}

}  // namespace

ErrnoOr<ConfinementOutcome> confineProcess(const std::vector<std::string>& readableTrees) {
  ConfinementOutcome outcome;
  if (!singleThreaded()) return Errno{EBUSY};
  if (const int error = forbidPrivilegesAndCoreDumps()) return Errno{error};
  outcome.landlockAbi = landlockAbi();
  if (outcome.landlockAbi > 0) {
    if (const int error = restrictFileSystem(outcome.landlockAbi, readableTrees)) {
      return Errno{error};
    }
  }
  // Last: the filter refuses the Landlock calls themselves.
  if (const int error = installSystemCallFilter()) return Errno{error};
  return outcome;
}

}  // namespace fileprobe
