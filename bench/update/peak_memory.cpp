// peak_memory OUT COMMAND [ARGS...]: runs COMMAND, writes its peak resident memory in KiB
// (getrusage of the child it waited for) to the file OUT, and exits with COMMAND's status.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: peak_memory OUT COMMAND [ARGS...]\n");
    return 2;
  }
  const pid_t pid = fork();
  if (pid == 0) {
    execvp(argv[2], argv + 2);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return 127;
  std::FILE* out = std::fopen(argv[1], "w");
  if (out == nullptr) return 127;
  std::fprintf(out, "%ld\n", usage.ru_maxrss);
  std::fclose(out);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
