/* A test-only library preloaded into the tool (LD_PRELOAD) to give it a fixed
 * clock and to make one file call fail. It is driven by the environment:
 *   TABRIX_FAKE_TIME=<seconds>   time() returns this;
 *   TABRIX_FAIL_CALL=rename|fsync|close
 *   TABRIX_FAIL_MATCH=<text>     that call fails with EIO when its path (a
 *                                rename's target, the file behind an fd)
 *                                contains the text (ends with it, when the
 *                                text ends in '$'),
 *   TABRIX_FAIL_SKIP=<n>         after n matching calls went through;
 *   TABRIX_FAIL_KILL=1           the process kills itself (SIGKILL) at that
 *                                call instead, as a power cut would stop it;
 *   TABRIX_NO_HARD_LINKS=1       link() fails with EPERM, as on file systems
 *                                without hard links.
 * A failing close still closes the descriptor, as the kernel does. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static long matching_calls;

/* The next definition of a libc function (ISO C has no cast from void*). */
#define REAL(type, name, var)                   \
    type var;                                   \
    do {                                        \
        void* found = dlsym(RTLD_NEXT, name);   \
        memcpy(&var, &found, sizeof var);       \
    } while (0)

typedef time_t (*time_fn)(time_t*);
typedef int (*rename_fn)(const char*, const char*);
typedef int (*fd_fn)(int);
typedef int (*link_fn)(const char*, const char*);

/* Whether path contains match; a match ending in '$' must end the path. */
static int matches(const char* path, const char* match) {
    const size_t length = strlen(match);
    if (length == 0 || match[length - 1] != '$') return strstr(path, match) != NULL;
    const size_t path_length = strlen(path);
    return path_length >= length - 1 && strncmp(path + path_length - (length - 1), match, length - 1) == 0;
}

static int should_fail(const char* call, const char* path) {
    const char* wanted = getenv("TABRIX_FAIL_CALL");
    const char* match = getenv("TABRIX_FAIL_MATCH");
    if (wanted == NULL || strcmp(wanted, call) != 0 || path == NULL) return 0;
    if (match != NULL && !matches(path, match)) return 0;
    const char* skip = getenv("TABRIX_FAIL_SKIP");
    if (matching_calls++ < (skip ? atol(skip) : 0)) return 0;
    if (getenv("TABRIX_FAIL_KILL") != NULL) kill(getpid(), SIGKILL);
    return 1;
}

static int fd_fails(const char* call, int fd) {
    if (getenv("TABRIX_FAIL_CALL") == NULL) return 0;
    char link[64];
    char path[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, path, sizeof path - 1);
    if (n < 0) return 0;
    path[n] = '\0';
    return should_fail(call, path);
}

time_t time(time_t* out) {
    const char* fixed = getenv("TABRIX_FAKE_TIME");
    time_t now;
    if (fixed != NULL) {
        now = (time_t)atoll(fixed);
    } else {
        REAL(time_fn, "time", real);
        now = real(NULL);
    }
    if (out != NULL) *out = now;
    return now;
}

int rename(const char* from, const char* to) {
    if (should_fail("rename", to)) {
        errno = EIO;
        return -1;
    }
    REAL(rename_fn, "rename", real);
    return real(from, to);
}

int fsync(int fd) {
    if (fd_fails("fsync", fd)) {
        errno = EIO;
        return -1;
    }
    REAL(fd_fn, "fsync", real);
    return real(fd);
}

int close(int fd) {
    const int fail = fd_fails("close", fd);
    REAL(fd_fn, "close", real);
    const int result = real(fd);
    if (fail) {
        errno = EIO;
        return -1;
    }
    return result;
}

int link(const char* existing, const char* name) {
    if (getenv("TABRIX_NO_HARD_LINKS") != NULL) {
        errno = EPERM;
        return -1;
    }
    REAL(link_fn, "link", real);
    return real(existing, name);
}
