#include "adapters/converged_discovery.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "adapters/adapter_table.h"

uint32_t gAwCount = 0;
int32_t gVEXO = 0;
int32_t gAWInit = 0;
char VEXO_ServiceVersion[256];

int compareIEEEAddresses(uint32_t index, const char *wwpn)
{
    if (!wwpn || !AdapterExists4(index) || !gAdapters)
        return 1;
    uint8_t ref[8];
    for (int w = 0; w < 2; ++w)
        for (int b = 0; b < 4; ++b)
            ref[w * 4 + b] = static_cast<uint8_t>(gAdapters[index].ieeeAddress[w] >> (24 - 8 * b));

    char text[32];
    std::strncpy(text, wwpn, sizeof text - 1);
    text[sizeof text - 1] = '\0';

    int fields = 0;
    char *save = nullptr;
    for (char *tok = strtok_r(text, ":", &save); tok && fields < 8; tok = strtok_r(nullptr, ":", &save)) {
        for (const char *c = tok; *c; ++c)
            if (!std::isxdigit(static_cast<unsigned char>(*c)))
                return 1;
        // Compared whole: a field of more than two significant digits never matches.
        unsigned long v = std::strtoul(tok, nullptr, 16);
        if (v != ref[fields])
            return 1;
        ++fields;
    }
    return fields == 8 ? 0 : 1;
}
