// Operations of the FC HBA firmware engine that the image code calls. The
// engine owns them; until it lands their bodies live in
// flash/neighbour_services_interim.cpp.
#ifndef HLVD_FLASH_NEIGHBOUR_SERVICES_H
#define HLVD_FLASH_NEIGHBOUR_SERVICES_H

#include <cstdint>

// True when the host stores multi-byte integers most significant byte first.
bool isBigEndian();

// Reverses the order of `n` bytes in place.
void SwapSizeN(uint8_t *p, int n);

#endif
