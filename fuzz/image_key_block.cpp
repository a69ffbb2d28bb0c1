// The key block and boot header readers of signed FC images, on a file that
// holds the input: the boot image's expansion-ROM header check for every
// family that asks for it, and the key block found through an AWC, PRG and
// FWC header (the first input byte picks the header word; the rest is the file).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "hba/download_security.h"
#include "hba/mbox_transport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0 || size > 65536)
        return 0;
    const uint8_t choice = data[0];
    FILE *f = std::tmpfile();
    if (!f)
        return 0;
    std::fwrite(data + 1, 1, size - 1, f);
    std::rewind(f);

    for (uint32_t family : {0xF180u, 0xF100u, 0xF700u}) {
        uint32_t r = ValidateOskaraOrHollinBootProgId(f, family);
        if (std::ftell(f) != 0 || (r != 0 && r != 1 && r != 0xFFF90001u && r != 0xFFF90002u && r != 0xFFF70001u))
            abort();
    }

    // A header word taken from the input, scaled so that it often lands near
    // the file's end, and sometimes past it.
    const uint32_t word = static_cast<uint32_t>(size) + 268u - 264u + (choice & 0x3Fu) - 32u;
    uint8_t awc[AWC_HEADER_SIZE] = {};
    mbox_put_u32(awc, 20, choice & 0x80 ? word : 0);
    uint8_t prg[PRG_HEADER_SIZE] = {};
    prg[12] = 0x10;
    mbox_put_u32(prg, 32, word);
    uint8_t flag = 0;
    const uint32_t results[] = {IsAuthenticated_AWC(f, awc, &flag), IsAuthenticated_PRG(f, prg, &flag, choice & 1),
                                IsAuthenticated_FWC(f, &flag)};
    for (uint32_t r : results)
        if (r != 0 && r != 0xFFEB0000u && r != 0xFFF90001u && r != 0xFFF90002u)
            abort();
    if (std::ftell(f) != 0)
        abort();
    std::fclose(f);
    return 0;
}
