// The wakeup record built from the PRG headers of an AIF image file, the
// input being the file: lengths and ids come from the file only.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "hba/wakeup_parms.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FILE *f = std::tmpfile();
    if (!f)
        return 0;
    if (size && std::fwrite(data, 1, size, f) != size) {
        std::fclose(f);
        return 0;
    }
    std::rewind(f);
    uint8_t header[128];
    WAKEUP_PARMS out;
    std::memset(&out, 0xEE, sizeof out);
    int32_t r = BuildWakeupParms(0, f, header, &out);
    std::fclose(f);
    // 1 only with one of the four slots filled (an id's type byte is never
    // 0 there) and nothing else; otherwise the record is left alone.
    if (r == 1) {
        if (!out.words[0] && !out.words[3] && !out.words[5] && !out.words[7])
            std::abort();
        for (int w : {2, 9, 10, 11, 12, 13, 14})
            if (out.words[w] != 0)
                std::abort();
    } else if (r == 0 || r == static_cast<int32_t>(0xFFF90001u)) {
        if (out.words[0] != 0xEEEEEEEEu)
            std::abort();
    } else {
        std::abort();
    }
    return 0;
}
