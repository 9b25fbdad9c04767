// Reads back the exact line rate of a terminal (termios2 cannot share a file with termios.h).
#include "tests/link/tty_rate.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

int ttyOutputRate(int fd) {
  struct termios2 tio {};
  if (ioctl(fd, TCGETS2, &tio) != 0) {
    return -1;
  }
  return int(tio.c_ospeed);
}
