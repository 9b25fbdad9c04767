// termios2 access, kept apart: <asm/termbits.h> cannot share a file with <termios.h>.
#include "sim/tty_rate.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace sim {
namespace {

struct RateCode {
  unsigned code;
  int baud;
};

constexpr RateCode kRateCodes[] = {
    {B50, 50},           {B75, 75},           {B110, 110},         {B134, 134},
    {B150, 150},         {B200, 200},         {B300, 300},         {B600, 600},
    {B1200, 1200},       {B1800, 1800},       {B2400, 2400},       {B4800, 4800},
    {B9600, 9600},       {B19200, 19200},     {B38400, 38400},     {B57600, 57600},
    {B115200, 115200},   {B230400, 230400},   {B460800, 460800},   {B500000, 500000},
    {B576000, 576000},   {B921600, 921600},   {B1000000, 1000000}, {B1152000, 1152000},
    {B1500000, 1500000}, {B2000000, 2000000}, {B2500000, 2500000}, {B3000000, 3000000},
};

} // namespace

int ttyBaud(int fd) {
  struct termios2 tio {};
  if (ioctl(fd, TCGETS2, &tio) != 0)
    return -1;
  unsigned code = tio.c_cflag & CBAUD;
  if (code == BOTHER || tio.c_ospeed != 0)
    return static_cast<int>(tio.c_ospeed);
  for (const RateCode& rate : kRateCodes)
    if (rate.code == code)
      return rate.baud;
  return 0;
}

bool setTtyBaud(int fd, int baud) {
  struct termios2 tio {};
  if (baud <= 0 || ioctl(fd, TCGETS2, &tio) != 0)
    return false;
  tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
  tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  tio.c_ospeed = static_cast<speed_t>(baud);
  tio.c_ispeed = static_cast<speed_t>(baud);
  return ioctl(fd, TCSETS2, &tio) == 0;
}

} // namespace sim
