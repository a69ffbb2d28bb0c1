// INTERIM BODIES, to be deleted when their owner lands.
//
// Still to come, with the FC HBA firmware engine (hba/):
//   - isBigEndian
//   - SwapSizeN
// The engine brings these same operations; this file then goes away and the
// declarations in flash/neighbour_services.h resolve to the engine's.
#include "flash/neighbour_services.h"

bool isBigEndian()
{
    const uint16_t probe = 0x4321;
    return *reinterpret_cast<const uint8_t *>(&probe) != 0x21;
}

void SwapSizeN(uint8_t *p, int n)
{
    if (!p)
        return;
    for (int i = 0, j = n - 1; i < j; ++i, --j) {
        uint8_t t = p[i];
        p[i] = p[j];
        p[j] = t;
    }
}
