/* Runs one command with stdout on /dev/null and prints
 * "ELAPSED_NS CPU_NS PEAK_RSS_KIB EXIT_STATUS": wall time from fork to reaping, and the child's own
 * user + system time and peak resident set from wait4. */
#define _GNU_SOURCE
#include <fcntl.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static long long now_ns(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (long long)t.tv_sec * 1000000000LL + t.tv_nsec;
}

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: runstat COMMAND [ARGUMENT...]\n");
    return 2;
  }
  const int null_fd = open("/dev/null", O_WRONLY);
  if (null_fd < 0) {
    perror("runstat: /dev/null");
    return 2;
  }
  const long long start = now_ns();
  const pid_t child = fork();
  if (child < 0) {
    perror("runstat: fork");
    return 2;
  }
  if (child == 0) {
    dup2(null_fd, STDOUT_FILENO);
    execvp(argv[1], argv + 1);
    perror("runstat: exec");
    _exit(127);
  }
  int status = 0;
  struct rusage usage;
  if (wait4(child, &status, 0, &usage) != child) {
    perror("runstat: wait4");
    return 2;
  }
  const long long elapsed = now_ns() - start;
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  const long long cpu = ((long long)usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000000LL +
                        ((long long)usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1000LL;
  printf("%lld %lld %ld %d\n", elapsed, cpu, usage.ru_maxrss, code);
  return 0;
}
