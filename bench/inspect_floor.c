/* The floor of an --inspect-paths request: reads the same JSON array of
 * plain paths (no escapes) and makes only the system calls the inspection
 * rules need per path: one lstat per component prefix, access(R_OK) and the
 * final lstat of the path as given. Writes one short line. */
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

enum { kRequestLimit = 1048577, kPathLimit = 16384 };

static char request[kRequestLimit];

static int inspect(const char* path, size_t length) {
  char prefix[kPathLimit + 1];
  struct stat status;
  size_t used = 0;
  for (size_t i = 0; i < length;) {
    while (i < length && path[i] == '/') ++i;
    size_t end = i;
    while (end < length && path[end] != '/') ++end;
    if (end == i) break;
    prefix[used++] = '/';
    memcpy(prefix + used, path + i, end - i);
    used += end - i;
    prefix[used] = '\0';
    if (lstat(prefix, &status) != 0 || S_ISLNK(status.st_mode)) return 0;
    i = end;
  }
  const int readable = access(prefix, R_OK) == 0;
  return lstat(prefix, &status) == 0 && readable;
}

int main(void) {
  size_t length = 0;
  ssize_t got;
  while (length < sizeof request &&
         (got = read(0, request + length, sizeof request - length)) > 0) {
    length += (size_t)got;
  }
  int accepted = 0;
  for (size_t i = 0; i < length; ++i) {
    if (request[i] != '"') continue;
    const char* start = request + i + 1;
    const char* end = memchr(start, '"', length - (size_t)(start - request));
    if (end == NULL || end - start > kPathLimit) break;
    accepted += inspect(start, (size_t)(end - start));
    i = (size_t)(end - request);
  }
  printf("{\"accepted\":%d}\n", accepted);
  return 0;
}
