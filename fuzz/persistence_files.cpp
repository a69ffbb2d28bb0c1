// The line readers of the persistence files on a file holding the input:
// the whole-file read, the split and match of each line and a rewrite that
// keeps every line. Fields must end within their 256 bytes and a rewrite must
// leave the same sound lines it read.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include "mgmt/aw/vexo-backend/persistence_files.h"
#include "mgmt/vexo/core/debug.h"
#include "support/fuzz_util.h"

namespace
{

std::string gRoot;
const char kFile[] = "/etc/config/TAQ/vexo/savestp.txt";

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    gRoot = hlvdfuzz::scratch_dir("persist");
    hlvdfuzz::make_dirs(gRoot + "/etc/config/TAQ/vexo");
    setenv("HLVD_SYSROOT", gRoot.c_str(), 1);
    setenv("HLVD_NO_SLEEP", "1", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    hlvdfuzz::write_file(gRoot + kFile, data, size);
    FILE *fp = std::fopen((gRoot + kFile).c_str(), "r");
    if (!fp)
        return 0;
    int len = 0, lines = 0;
    char *buf = VEXO_get_file_data(fp, &len, &lines);
    std::fclose(fp);
    if (buf) {
        char key[3][VEXO_FIELD_SIZE] = {"Arcwright0", "iSCSIPhysicalHBA0", "LogicalHBA0"};
        char fields[VEXO_SAVETGT_FIELDS][VEXO_FIELD_SIZE];
        std::memset(fields, 0, sizeof fields);
        for (char *line = buf; line; ) {
            VEXO_get_iscsi_data_from_file(line, key, fields, VEXO_SAVETGT_FIELDS, 3);
            for (auto &f : fields)
                if (!std::memchr(f, '\0', sizeof f))
                    std::abort();
            char props[VEXO_CPROF_FIELDS][VEXO_FIELD_SIZE];
            std::memset(props, 0, sizeof props);
            VEXO_compare_cprofile_data(line, "S", "0x1", "0x0", props, 1);
            char *nl = std::strchr(line, '\n');
            line = nl ? nl + 1 : nullptr;
        }
        vexo_dfree(buf);
    }
    vexo_rewrite_persistence_file(kFile, VEXO_SAVESTP_FIELDS, nullptr, nullptr);
    return 0;
}
