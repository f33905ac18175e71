// A file system that stops answering, for tests of what a dead network share does to the program.
//
//   framlet_stalling_mount MOUNTPOINT [--stalled]
//
// Mounts a FUSE file system at MOUNTPOINT (straight through /dev/fuse, so nothing but the kernel
// is involved) holding one folder, "shots", with one file, "old.png". It answers until SIGUSR1,
// or never after its first exchange with --stalled; from then on it reads no request, so every
// look at the mount waits, as on a stale NFS, SMB or SSHFS mount, until SIGUSR2 has it answer
// again. It prints "ready" once the mount is in place, or "unavailable: why" when this system
// does not let it mount. On SIGTERM, when the process that started it ends, or after stalling
// for kGiveUpSeconds (exit status 3: a safety net, so that whatever waits on the mount ends), it
// detaches the mount and exits, which fails every request still waiting.

#include <dirent.h>
#include <fcntl.h>
#include <linux/fuse.h>
#include <poll.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr unsigned kGiveUpSeconds = 30;
constexpr int kGaveUp = 3;

const char* g_mountPoint = nullptr;
volatile sig_atomic_t g_stalled = 0;

void detachAndExit(int signal) {
    ::umount2(g_mountPoint, MNT_DETACH);
    ::_exit(signal == SIGALRM ? kGaveUp : 0);
}

void stall(int) {
    g_stalled = 1;
    ::alarm(kGiveUpSeconds);
}

void resume(int) {
    g_stalled = 0;
    ::alarm(0);
}

struct Node {
    uint64_t id;
    uint64_t parent;
    const char* name;
    mode_t mode;
};

constexpr Node kNodes[] = {
    {FUSE_ROOT_ID, FUSE_ROOT_ID, "", S_IFDIR | 0755},
    {2, FUSE_ROOT_ID, "shots", S_IFDIR | 0755},
    {3, 2, "old.png", S_IFREG | 0644},
};

// The nodes are numbered from FUSE_ROOT_ID (1) in the order of kNodes.
const Node* node(uint64_t id) {
    return id >= 1 && id <= std::size(kNodes) ? &kNodes[id - 1] : nullptr;
}

fuse_attr attributes(const Node& node) {
    fuse_attr attr{};
    attr.ino = node.id;
    attr.mode = node.mode;
    attr.nlink = S_ISDIR(node.mode) ? 2 : 1;
    attr.mtime = attr.ctime = attr.atime = 1'700'000'000;
    attr.blksize = 4096;
    return attr;
}

void reply(int fd, uint64_t unique, int error, const void* body = nullptr, size_t size = 0) {
    fuse_out_header header{};
    header.len = uint32_t(sizeof header + size);
    header.error = -error;
    header.unique = unique;
    std::vector<char> out(sizeof header + size);
    std::memcpy(out.data(), &header, sizeof header);
    if (size > 0) {
        std::memcpy(out.data() + sizeof header, body, size);
    }
    if (::write(fd, out.data(), out.size()) < 0) {
        std::perror("framlet_stalling_mount: reply");
    }
}

template <typename T>
void reply(int fd, uint64_t unique, const T& body) {
    reply(fd, unique, 0, &body, sizeof body);
}

void lookUp(int fd, const fuse_in_header& in, const char* name) {
    for (const Node& child : kNodes) {
        if (child.id != FUSE_ROOT_ID && child.parent == in.nodeid &&
            std::strcmp(child.name, name) == 0) {
            fuse_entry_out entry{};  // nothing cached: every look reaches this server
            entry.nodeid = child.id;
            entry.attr = attributes(child);
            reply(fd, in.unique, entry);
            return;
        }
    }
    reply(fd, in.unique, ENOENT);
}

void readFolder(int fd, const fuse_in_header& in, const fuse_read_in& read) {
    std::vector<std::pair<const Node*, std::string>> entries;
    entries.emplace_back(node(in.nodeid), ".");
    entries.emplace_back(node(node(in.nodeid)->parent), "..");
    for (const Node& child : kNodes) {
        if (child.id != FUSE_ROOT_ID && child.parent == in.nodeid) {
            entries.emplace_back(&child, child.name);
        }
    }
    std::vector<char> out;
    for (size_t i = read.offset; i < entries.size(); ++i) {
        const std::string& name = entries[i].second;
        const size_t size = FUSE_DIRENT_ALIGN(FUSE_NAME_OFFSET + name.size());
        if (out.size() + size > read.size) {
            break;
        }
        std::vector<char> record(size, 0);
        auto* dirent = reinterpret_cast<fuse_dirent*>(record.data());
        dirent->ino = entries[i].first->id;
        dirent->off = i + 1;
        dirent->namelen = uint32_t(name.size());
        dirent->type = S_ISDIR(entries[i].first->mode) ? DT_DIR : DT_REG;
        std::memcpy(dirent->name, name.data(), name.size());
        out.insert(out.end(), record.begin(), record.end());
    }
    reply(fd, in.unique, 0, out.data(), out.size());
}

// Answers one request; false when the kernel ends the session.
bool answer(int fd, const char* request) {
    const auto& in = *reinterpret_cast<const fuse_in_header*>(request);
    const char* body = request + sizeof in;
    const Node* target = node(in.nodeid);
    switch (in.opcode) {
        case FUSE_FORGET:
        case FUSE_BATCH_FORGET:
        case FUSE_INTERRUPT:
            return true;  // no answer expected
        case FUSE_DESTROY:
            reply(fd, in.unique, 0);
            return false;
        case FUSE_LOOKUP:
            lookUp(fd, in, body);
            return true;
        case FUSE_GETATTR: {
            fuse_attr_out out{};
            out.attr = attributes(*target);  // the kernel asks only for nodes it was given
            reply(fd, in.unique, out);
            return true;
        }
        case FUSE_OPENDIR:
        case FUSE_OPEN:
            reply(fd, in.unique, fuse_open_out{});
            return true;
        case FUSE_READDIR:
            readFolder(fd, in, *reinterpret_cast<const fuse_read_in*>(body));
            return true;
        case FUSE_READ:
        case FUSE_RELEASEDIR:
        case FUSE_RELEASE:
        case FUSE_FLUSH:
            reply(fd, in.unique, 0);
            return true;
        default:
            reply(fd, in.unique, ENOSYS);
            return true;
    }
}

bool handshake(int fd, std::vector<char>& buffer) {
    const ssize_t length = ::read(fd, buffer.data(), buffer.size());
    const auto& in = *reinterpret_cast<const fuse_in_header*>(buffer.data());
    if (length < ssize_t(sizeof in) || in.opcode != FUSE_INIT) {
        return false;
    }
    fuse_init_out init{};
    init.major = FUSE_KERNEL_VERSION;
    init.minor = FUSE_KERNEL_MINOR_VERSION;
    init.max_write = 4096;
    init.time_gran = 1;
    init.max_background = 16;
    init.congestion_threshold = 12;
    reply(fd, in.unique, init);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: framlet_stalling_mount MOUNTPOINT [--stalled]\n");
        return 2;
    }
    g_mountPoint = argv[1];
    const bool stalledAtOnce = argc > 2 && std::strcmp(argv[2], "--stalled") == 0;
    struct sigaction action {};
    action.sa_handler = stall;
    ::sigaction(SIGUSR1, &action, nullptr);
    action.sa_handler = resume;
    ::sigaction(SIGUSR2, &action, nullptr);
    action.sa_handler = detachAndExit;
    for (const int signal : {SIGTERM, SIGINT, SIGALRM}) {
        ::sigaction(signal, &action, nullptr);
    }
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() == 1) {
        return 1;  // the test is gone already
    }

    const int fd = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        std::printf("%s: /dev/fuse: %s\n", errno == EIO ? "failed" : "unavailable",
                    std::strerror(errno));
        return 1;
    }
    const std::string options = "fd=" + std::to_string(fd) +
                                ",rootmode=40000,user_id=" + std::to_string(::getuid()) +
                                ",group_id=" + std::to_string(::getgid());
    if (::mount("framlet-test", g_mountPoint, "fuse.framlet-test", MS_NOSUID | MS_NODEV,
                options.c_str()) != 0) {
        const bool refused = errno == EPERM || errno == EACCES || errno == ENODEV;
        std::printf("%s: mount: %s\n", refused ? "unavailable" : "failed", std::strerror(errno));
        return 1;
    }
    std::vector<char> buffer(FUSE_MIN_READ_BUFFER + 128 * 1024);
    if (!handshake(fd, buffer)) {
        std::printf("failed: no FUSE handshake\n");
        detachAndExit(0);
    }
    if (stalledAtOnce) {
        stall(SIGUSR1);
    }
    std::printf("ready\n");
    std::fflush(stdout);
    // The stall signals arrive only while waiting, so none is lost between a look and a wait.
    sigset_t stallSignals;
    sigset_t waiting;
    sigemptyset(&stallSignals);
    sigaddset(&stallSignals, SIGUSR1);
    sigaddset(&stallSignals, SIGUSR2);
    ::sigprocmask(SIG_BLOCK, &stallSignals, &waiting);
    for (;;) {
        if (g_stalled) {
            ::sigsuspend(&waiting);
            continue;
        }
        pollfd request{fd, POLLIN, 0};
        if (::ppoll(&request, 1, nullptr, &waiting) < 0) {
            continue;  // a signal: stalled now, perhaps
        }
        const ssize_t length = ::read(fd, buffer.data(), buffer.size());
        if (length < 0 && (errno == EINTR || errno == ENOENT || errno == EAGAIN)) {
            continue;  // ENOENT: a request interrupted before it was read
        }
        if (length < ssize_t(sizeof(fuse_in_header)) || !answer(fd, buffer.data())) {
            break;
        }
    }
    detachAndExit(0);
}
