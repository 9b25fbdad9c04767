// Exact output rate of a terminal in baud, -1 on failure.
#pragma once

int ttyOutputRate(int fd);
