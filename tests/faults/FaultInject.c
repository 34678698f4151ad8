/* Preloaded into the fault driver (LD_PRELOAD) to make the file calls of a save fail or to kill
 * the process between them, as a full disk, an I/O error or a power cut would.
 *
 *   FAULT_COUNT_FILE=PATH  at exit, write how many calls were seen
 *   FAULT_KILL_AT=N        SIGKILL the process just before the N-th call (1-based)
 *   FAULT_FAIL=CALL:N:MODE make the N-th call of CALL (open, write, fsync, rename, any) fail with
 *                          FAULT_ERRNO (default EIO): MODE "once", or "always" from then on
 *
 * Only calls on paths under FAULT_DIR count (descriptors are traced back to their path). */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static long seen;
static long killAt = -1;
static char failCall[16];
static long failAt = -1;
static int failAlways;
static long failSeen;
static int failErrno = EIO;
static const char* dir;

static void Report(void)
{
    const char* path = getenv("FAULT_COUNT_FILE");
    if (!path) return;
    FILE* f = fopen(path, "w");
    if (f) {
        fprintf(f, "%ld\n", seen);
        fclose(f);
    }
}

__attribute__((constructor)) static void Setup(void)
{
    const char* k = getenv("FAULT_KILL_AT");
    if (k) killAt = atol(k);
    const char* f = getenv("FAULT_FAIL");
    if (f) {
        char mode[16] = "";
        if (sscanf(f, "%15[^:]:%ld:%15s", failCall, &failAt, mode) == 3)
            failAlways = strcmp(mode, "always") == 0;
    }
    const char* e = getenv("FAULT_ERRNO");
    if (e) failErrno = atoi(e);
    dir = getenv("FAULT_DIR");
    atexit(Report);
}

static int Watched(const char* path)
{
    return path && dir && strncmp(path, dir, strlen(dir)) == 0;
}

static int WatchedFd(int fd)
{
    char link[64], path[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t n = readlink(link, path, sizeof path - 1);
    if (n <= 0) return 0;
    path[n] = 0;
    return Watched(path);
}

/* Counts a watched call; answers nonzero when it must fail. */
static int Step(const char* call)
{
    ++seen;
    if (killAt > 0 && seen == killAt) kill(getpid(), SIGKILL);
    if (failAt < 0 || (strcmp(failCall, call) != 0 && strcmp(failCall, "any") != 0)) return 0;
    ++failSeen;
    if (failSeen == failAt || (failAlways && failSeen > failAt)) {
        errno = failErrno;
        return 1;
    }
    return 0;
}

#define REAL(name, type) static type real_##name; if (!real_##name) real_##name = (type)dlsym(RTLD_NEXT, #name)

static int OpenCommon(const char* call, int dirfd, const char* path, int flags, mode_t mode)
{
    typedef int (*OpenAt)(int, const char*, int, ...);
    REAL(openat, OpenAt);
    if (Watched(path) && Step(call)) return -1;
    return real_openat(dirfd, path, flags, mode);
}

int open(const char* path, int flags, ...)
{
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list ap;
        va_start(ap, flags);
        mode = va_arg(ap, mode_t);
        va_end(ap);
    }
    return OpenCommon("open", AT_FDCWD, path, flags, mode);
}

int open64(const char* path, int flags, ...)
{
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list ap;
        va_start(ap, flags);
        mode = va_arg(ap, mode_t);
        va_end(ap);
    }
    return OpenCommon("open", AT_FDCWD, path, flags, mode);
}

int openat(int dirfd, const char* path, int flags, ...)
{
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list ap;
        va_start(ap, flags);
        mode = va_arg(ap, mode_t);
        va_end(ap);
    }
    return OpenCommon("open", dirfd, path, flags, mode);
}

ssize_t write(int fd, const void* buf, size_t count)
{
    typedef ssize_t (*Write)(int, const void*, size_t);
    REAL(write, Write);
    if (fd > 2 && WatchedFd(fd) && Step("write")) return -1;
    return real_write(fd, buf, count);
}

int fsync(int fd)
{
    typedef int (*Fsync)(int);
    REAL(fsync, Fsync);
    if (WatchedFd(fd) && Step("fsync")) return -1;
    return real_fsync(fd);
}

int rename(const char* from, const char* to)
{
    typedef int (*Rename)(const char*, const char*);
    REAL(rename, Rename);
    if (Watched(to) && Step("rename")) return -1;
    return real_rename(from, to);
}

int ftruncate(int fd, off_t length)
{
    typedef int (*Ftruncate)(int, off_t);
    REAL(ftruncate, Ftruncate);
    if (WatchedFd(fd) && Step("ftruncate")) return -1;
    return real_ftruncate(fd, length);
}
