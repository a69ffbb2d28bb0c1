// The saved-line walk that the login-option loaders and the saved-target
// readers use, on a saved targets file holding the input: every field handed
// out ends within its 256 bytes, and the walk ends.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "mgmt/aw/vexo-backend/login_options.h"
#include "mgmt/aw/vexo-backend/persistence_files.h"
#include "support/fuzz_util.h"

namespace
{

std::string gRoot;
const char kFile[] = "/etc/config/TAQ/vexo/savetgt.txt";

bool check_line(const char (*fields)[VEXO_FIELD_SIZE], void *ctx)
{
    for (int i = 0; i < VEXO_SAVETGT_FIELDS; ++i)
        if (!std::memchr(fields[i], '\0', VEXO_FIELD_SIZE))
            std::abort();
    ++*static_cast<int *>(ctx);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    gRoot = hlvdfuzz::scratch_dir("savedlines");
    hlvdfuzz::make_dirs(gRoot + "/etc/config/TAQ/vexo");
    setenv("HLVD_SYSROOT", gRoot.c_str(), 1);
    setenv("HLVD_NO_SLEEP", "1", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    hlvdfuzz::write_file(gRoot + kFile, data, size);
    int lines = 0;
    bool missing = false;
    vexo_walk_saved_lines(kFile, VEXO_SAVETGT_FIELDS, &missing, check_line, &lines);
    if (static_cast<size_t>(lines) > size)
        std::abort();
    return 0;
}
