// The files the management library reads when it starts: the log-level
// file and the persistence files it checks for corrupt lines. Input: one
// byte choosing the file, then its contents.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/log_level.h"
#include "mgmt/vexo/core/debug.h"
#include "support/fuzz_util.h"

namespace
{

std::string gRoot;

const char *const kFiles[] = {
    VEXO_LOG_LEVEL_FILE,
    "/etc/config/TAQ/vexo/savetgt.txt",
    "/etc/config/TAQ/vexo/savestp.txt",
    "/etc/config/TAQ/vexo/intr_logopts.txt",
};
const size_t kFileCount = sizeof kFiles / sizeof kFiles[0];

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    gRoot = hlvdfuzz::scratch_dir("startup");
    hlvdfuzz::make_dirs(gRoot + VEXO_CONFIG_DIR);
    setenv("HLVD_SYSROOT", gRoot.c_str(), 1);
    setenv("HLVD_NO_SLEEP", "1", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    for (const char *f : kFiles)
        unlink((gRoot + f).c_str());
    const char *file = kFiles[data[0] % kFileCount];
    hlvdfuzz::write_file(gRoot + file, data + 1, size - 1);

    if (file == kFiles[0]) {
        const int kept = VEXO_LOG_WARNING;
        vexo_debug_level = kept;
        VEXO_get_debug_level();
        if (vexo_debug_level < VEXO_LOG_DISABLED || vexo_debug_level > VEXO_LOG_DEBUG) {
            std::fprintf(stderr, "log level %d taken from the file\n", vexo_debug_level);
            std::abort();
        }
        vexo_debug_level = kept;
        VEXO_update_loglevel();
        vexo_debug_level = VEXO_LOG_DISABLED;
    } else {
        VEXO_check_for_corrupted_database();
    }
    return 0;
}
