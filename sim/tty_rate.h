// Line rates of terminals, any rate in bits per second (not only the Bxxxx codes).
#pragma once

namespace sim {

// The output rate set on the terminal behind fd; on a pseudo-terminal's master this is the
// rate the PC side set on the slave. Returns -1 if the terminal cannot be read.
int ttyBaud(int fd);

// Sets both rates of the terminal behind fd, leaving its other settings as they are.
bool setTtyBaud(int fd, int baud);

} // namespace sim
