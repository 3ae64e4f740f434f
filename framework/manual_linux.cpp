// What the manual needs from Linux (and other POSIX systems). The desktop's opener is started
// detached from the host, which must keep no zombie and no changed signal handling.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "manual.h"
#include "manual_platform.h"

namespace corvane::vst {
namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The first executable regular file named `program` in a folder of $PATH; "" when there is none.
// Empty entries (the working folder) are skipped: the host's working folder is no place to run
// programs from.
std::string findOnPath(const std::string& program) {
    const std::string path = environment("PATH");
    for (std::size_t start = 0; start < path.size();) {
        std::size_t end = path.find(':', start);
        if (end == std::string::npos)
            end = path.size();
        if (end > start) {
            std::string candidate = path.substr(start, end - start);
            candidate += candidate.back() == '/' ? program : "/" + program;
            struct stat info {};
            if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
                access(candidate.c_str(), X_OK) == 0) {
                return candidate;
            }
        }
        start = end + 1;
    }
    return {};
}

// Everything the forked children use, made before forking: between fork and exec only
// async-signal-safe calls are allowed, since the host's other threads may hold any lock.
struct Launch {
    char* argv[3];
    int report;   // write end of a close-on-exec pipe: an exec failure is written there
    int openMax;  // descriptors to close when close_range is missing
    struct sigaction defaults;
    sigset_t noSignals;
};

pid_t forkInChild() {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || __GLIBC_MINOR__ >= 34)
    return _Fork();  // runs no atfork handlers: they need not be async-signal-safe
#else
    return fork();
#endif
}

[[noreturn]] void runOpener(const Launch& launch) {
    // The host's ignored signals and blocked mask would otherwise be inherited through exec.
    for (int number = 1; number < NSIG; ++number) {
        sigaction(number, &launch.defaults, nullptr);
    }
    sigprocmask(SIG_SETMASK, &launch.noSignals, nullptr);
    setsid();  // out of the host's session: signals from its terminal stay the host's

    // The report pipe moves to 3 first (it may sit at 0..2 when the host closed those), then
    // standard input comes from /dev/null; no other plug-in or host descriptor is kept.
    if (launch.report != 3) {
        dup2(launch.report, 3);
    }
    fcntl(3, F_SETFD, FD_CLOEXEC);
    const int nothing = open("/dev/null", O_RDONLY);
    if (nothing > 0) {
        dup2(nothing, 0);
    }
#if defined(__GLIBC__) && (__GLIBC__ > 2 || __GLIBC_MINOR__ >= 34)
    const bool closed = close_range(4, ~0U, 0) == 0;
#else
    const bool closed = false;
#endif
    for (int fd = 4; !closed && fd < launch.openMax; ++fd) {
        close(fd);
    }
    execv(launch.argv[0], launch.argv);
    const int error = errno;
    ssize_t ignored = write(3, &error, sizeof error);
    (void)ignored;
    _exit(127);
}

// Starts `program argument` without waiting for it: a child forks the program and exits at once,
// so the program belongs to init (or the session's subreaper), never to the host. False when no
// process could be made or the program could not be executed.
bool startDetached(const std::string& program, const std::string& argument) {
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        return false;
    }
    Launch launch{};
    launch.argv[0] = const_cast<char*>(program.c_str());
    launch.argv[1] = const_cast<char*>(argument.c_str());
    launch.argv[2] = nullptr;
    launch.report = pipeEnds[1];
    const long openMax = sysconf(_SC_OPEN_MAX);
    launch.openMax = openMax < 0 || openMax > 65536 ? 65536 : static_cast<int>(openMax);
    launch.defaults.sa_handler = SIG_DFL;
    sigemptyset(&launch.defaults.sa_mask);
    sigemptyset(&launch.noSignals);

    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        const pid_t opener = forkInChild();
        if (opener == 0) {
            runOpener(launch);
        }
        _exit(opener < 0 ? 1 : 0);
    }
    close(pipeEnds[1]);
    if (child < 0) {
        close(pipeEnds[0]);
        return false;
    }
    // End of file once the program runs (close-on-exec) or the children are gone.
    int error = 0;
    ssize_t got;
    do {
        got = read(pipeEnds[0], &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    close(pipeEnds[0]);

    int status = 0;
    pid_t reaped;
    do {
        reaped = waitpid(child, &status, 0);
    } while (reaped < 0 && errno == EINTR);
    if (got > 0) {
        return false;  // exec failed
    }
    // ECHILD: the host reaps children itself (SIGCHLD ignored, or a handler waiting for any);
    // the pipe told no failure.
    return reaped < 0 ? errno == ECHILD : WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

ManualSystem ManualSystem::linux() {
    ManualSystem system;
    system.temporaryFolder = [] {
        std::string folder = environment("TMPDIR");
        if (folder.empty())
            folder = "/tmp";
        if (folder.back() != '/')
            folder += '/';
        return folder;
    };
    system.userLanguage = [] {
        // The first one set wins, as for the C library's LC_MESSAGES category.
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            const std::string value = environment(name);
            if (!value.empty()) {
                return value.compare(0, 2, "ja") == 0 ? kLanguageJapanese : kLanguageEnglish;
            }
        }
        return kLanguageEnglish;
    };
    system.open = [](const std::string& path) {
        const std::string opener = findOnPath("xdg-open");
        return !opener.empty() && startDetached(opener, path);
    };
    return system;
}

bool writeManualFile(const std::string& path, const std::vector<unsigned char>& bytes) {
    // Private modes: the folder lives in a temporary folder that every user shares.
    for (std::size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1)) {
        mkdir(path.substr(0, at).c_str(), 0700);
    }
    const int file =
        open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (file < 0) {
        return false;
    }
    bool ok = true;
    for (std::size_t done = 0; ok && done < bytes.size();) {
        const ssize_t written = write(file, bytes.data() + done, bytes.size() - done);
        if (written > 0)
            done += static_cast<std::size_t>(written);
        else if (!(written < 0 && errno == EINTR))
            ok = false;
    }
    return close(file) == 0 && ok;
}

}  // namespace corvane::vst
