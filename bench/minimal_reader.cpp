// The least a program can do to dump the archive: send the 8192 page
// requests and read each 517-byte reply with plain buffered reads, without
// checking or decoding anything. The benchmark's yardstick.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: minimal_reader LINE FILE\n");
    return 2;
  }
  const int fd = ::open(argv[1], O_RDWR | O_NOCTTY);
  if (fd < 0) {
    std::perror(argv[1]);
    return 1;
  }
  struct termios tio {};
  ::tcgetattr(fd, &tio);
  ::cfmakeraw(&tio);
  ::cfsetispeed(&tio, B9600);
  ::cfsetospeed(&tio, B9600);
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  ::tcsetattr(fd, TCSANOW, &tio);
  FILE* out = std::fopen(argv[2], "wb");
  if (!out) {
    std::perror(argv[2]);
    return 1;
  }

  constexpr int kReply = 1 + 1 + 1 + 1 + 512 + 1;  // ACK STX L answer data checksum
  uint8_t reply[kReply];
  for (int page = 0; page < 8192; ++page) {
    const uint8_t hi = static_cast<uint8_t>(page >> 8), lo = static_cast<uint8_t>(page & 0xFF);
    const uint8_t request[] = {0x02, 0x03, 0x03, hi, lo, static_cast<uint8_t>(0x03 ^ 0x03 ^ hi ^ lo)};
    if (::write(fd, request, sizeof request) != static_cast<ssize_t>(sizeof request)) return 1;
    for (int got = 0; got < kReply;) {
      const ssize_t n = ::read(fd, reply + got, static_cast<size_t>(kReply - got));
      if (n <= 0) return 1;
      got += static_cast<int>(n);
    }
    std::fwrite(reply + 4, 1, 512, out);
  }
  std::fclose(out);
  ::close(fd);
  return 0;
}
