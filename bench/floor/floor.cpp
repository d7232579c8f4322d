// The single-threaded floor of whole-file mode: read the whole file with one
// read, rewrite every LF as CR LF into a second buffer, write that with one
// write. No search, nothing held back, nothing overlapped.
//
//   floor INPUT > OUTPUT
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: floor INPUT > OUTPUT\n");
    return 2;
  }
  const int input = open(argv[1], O_RDONLY);
  struct stat info {};
  if (input < 0 || fstat(input, &info) != 0) return 1;
  const size_t size = static_cast<size_t>(info.st_size);
  char* text = static_cast<char*>(std::malloc(size + 1));
  char* result = static_cast<char*>(std::malloc(2 * size + 1));
  if (!text || !result) return 1;
  size_t got = 0;
  for (ssize_t n; got < size && (n = read(input, text + got, size - got)) > 0;) got += n;
  char* out = result;
  for (const char* at = text; at < text + got;) {
    const char* lf = static_cast<const char*>(std::memchr(at, '\n', text + got - at));
    const char* end = lf ? lf : text + got;
    std::memcpy(out, at, end - at);
    out += end - at;
    if (!lf) break;
    *out++ = '\r';
    *out++ = '\n';
    at = lf + 1;
  }
  for (const char* at = result; at < out;) {
    const ssize_t n = write(1, at, out - at);
    if (n <= 0) return 1;
    at += n;
  }
  return 0;
}
