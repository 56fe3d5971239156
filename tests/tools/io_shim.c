/* A preloaded library (LD_PRELOAD) that watches and disturbs a program's file calls, for tests
 * of the real tarn-update:
 *   TARN_SHIM_LOG=FILE           appends "fsync PATH", "rename FROM TO" (a rename done) and
 *                                "remove PATH", one line per call, in the order of the calls;
 *   TARN_SHIM_FAIL_RENAME=A,B    the first rename onto a path ending in A (and the first onto
 *                                one ending in B, ...) fails with EACCES after deleting its
 *                                source, as when a virus scanner quarantines a new file.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
static char failed[16]; /* which of the TARN_SHIM_FAIL_RENAME suffixes have failed once */

static void logLine(const char* what, const char* first, const char* second) {
  const char* file = getenv("TARN_SHIM_LOG");
  if (file == NULL) return;
  char line[3 * PATH_MAX];
  const int length = second != NULL ? snprintf(line, sizeof line, "%s %s %s\n", what, first, second)
                                    : snprintf(line, sizeof line, "%s %s\n", what, first);
  const int fd = open(file, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) return;
  if (length > 0 && write(fd, line, (size_t)length) < 0) {
  }
  close(fd);
}

/* Whether this rename is one to fail: the first onto each listed suffix. */
static int shouldFail(const char* to) {
  const char* list = getenv("TARN_SHIM_FAIL_RENAME");
  if (list == NULL) return 0;
  const size_t toLength = strlen(to);
  int fail = 0;
  pthread_mutex_lock(&lock);
  for (int index = 0; !fail && index < 16; ++index) {
    const size_t length = strcspn(list, ",");
    if (!failed[index] && length > 0 && length <= toLength &&
        memcmp(to + toLength - length, list, length) == 0) {
      failed[index] = fail = 1;
    }
    if (list[length] == '\0') break;
    list += length + 1;
  }
  pthread_mutex_unlock(&lock);
  return fail;
}

int fsync(int fd) {
  static int (*real)(int);
  if (real == NULL) real = (int (*)(int))dlsym(RTLD_NEXT, "fsync");
  char link[64];
  char path[PATH_MAX];
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t length = readlink(link, path, sizeof path - 1);
  path[length > 0 ? length : 0] = '\0';
  logLine("fsync", path, NULL);
  return real(fd);
}

int rename(const char* from, const char* to) {
  static int (*real)(const char*, const char*);
  if (real == NULL) real = (int (*)(const char*, const char*))dlsym(RTLD_NEXT, "rename");
  if (shouldFail(to)) {
    static int (*realUnlink)(const char*);
    if (realUnlink == NULL) realUnlink = (int (*)(const char*))dlsym(RTLD_NEXT, "unlink");
    realUnlink(from);
    errno = EACCES;
    return -1;
  }
  const int result = real(from, to);
  if (result == 0) logLine("rename", from, to);
  return result;
}

int remove(const char* path) {
  static int (*real)(const char*);
  if (real == NULL) real = (int (*)(const char*))dlsym(RTLD_NEXT, "remove");
  logLine("remove", path, NULL);
  return real(path);
}

int unlink(const char* path) {
  static int (*real)(const char*);
  if (real == NULL) real = (int (*)(const char*))dlsym(RTLD_NEXT, "unlink");
  logLine("remove", path, NULL);
  return real(path);
}
