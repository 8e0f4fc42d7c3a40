/* The transport floor: the least any client can do for one exchange. It connects to the socket in
 * VANTELMIRE_BRIDGE_SOCKET, sends one request frame, reads the whole response frame into memory and
 * writes its payload unchanged to stdout. The end-to-end benchmark divides the client's time by this. */
#define _DEFAULT_SOURCE
#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

/* The frame's memory as the client takes it: large answers in 2 MiB-aligned pages with the
 * large-page hint, so that both pay the same first touch and the ratio measures the work. */
static char* allocate_payload(size_t size) {
  const size_t large = (size_t)2 << 20;
  if (size < ((size_t)1 << 20)) return malloc(size ? size : 1);
  const size_t length = (size + large - 1) & ~(large - 1);
  char* raw = mmap(NULL, length + large, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return NULL;
  char* aligned = (char*)(((uintptr_t)raw + large - 1) & ~(uintptr_t)(large - 1));
#ifdef MADV_HUGEPAGE
  madvise(aligned, length, MADV_HUGEPAGE);
#endif
  return aligned;
}

static int fail(const char* what) {
  fprintf(stderr, "floor: %s: %s\n", what, strerror(errno));
  return 1;
}

static int read_full(int fd, char* buffer, size_t size) {
  while (size > 0) {
    ssize_t got = read(fd, buffer, size);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return -1;
    buffer += got;
    size -= (size_t)got;
  }
  return 0;
}

static int write_full(int fd, const char* buffer, size_t size) {
  while (size > 0) {
    ssize_t wrote = write(fd, buffer, size);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return -1;
    buffer += wrote;
    size -= (size_t)wrote;
  }
  return 0;
}

int main(void) {
  const char* path = getenv("VANTELMIRE_BRIDGE_SOCKET");
  struct sockaddr_un address;
  memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (path == NULL || strlen(path) >= sizeof address.sun_path) {
    fprintf(stderr, "floor: VANTELMIRE_BRIDGE_SOCKET must name a socket path\n");
    return 2;
  }
  strcpy(address.sun_path, path);
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd < 0) return fail("socket");
  if (connect(fd, (struct sockaddr*)&address, sizeof address) != 0) return fail("connect");

  /* A request shaped like the client's, prefix and payload in one write. */
  static const char REQUEST[] =
      "{\"arguments\":[],\"command\":\"screen\",\"protocolVersion\":1,"
      "\"requestId\":\"1234-5678901234567890123\"}";
  const uint32_t length = sizeof REQUEST - 1;
  char frame[4 + sizeof REQUEST];
  frame[0] = (char)(length >> 24);
  frame[1] = (char)(length >> 16);
  frame[2] = (char)(length >> 8);
  frame[3] = (char)length;
  memcpy(frame + 4, REQUEST, length);
  if (write_full(fd, frame, 4 + length) != 0) return fail("write request");

  unsigned char prefix[4];
  if (read_full(fd, (char*)prefix, 4) != 0) return fail("read length");
  const size_t size = (size_t)prefix[0] << 24 | (size_t)prefix[1] << 16 | (size_t)prefix[2] << 8 |
                      (size_t)prefix[3];
  char* payload = allocate_payload(size);
  if (payload == NULL) return fail("allocate");
  if (read_full(fd, payload, size) != 0) return fail("read payload");
  close(fd);
  if (write_full(STDOUT_FILENO, payload, size) != 0) return fail("write stdout");
  return 0;
}
