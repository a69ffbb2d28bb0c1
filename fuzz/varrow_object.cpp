// Varrow firmware object files as the management library checks them before
// it writes one to the adapter: the header check on the bytes, and the same
// through the file reader.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "mgmt/aw/vexo-backend/varrow_flash.h"
#include "support/fuzz_util.h"
#include "support/vexo_quiet_log.h"

namespace
{

std::string gDir;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    gDir = hlvdfuzz::scratch_dir("varrow");
    hlvdfuzz::vexo_log_to_null();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const int counted = vexo_counter;
    VARROW_OBJ_HEADER header;
    int direct = process_obj_file(data, size, &header);
    if (direct == 0 && (header.filesize != size || (header.id_type >> 24) != VARROW_FILETYPE_FIRMWARE)) {
        std::fprintf(stderr, "a header of size %u, type 0x%x accepted for %zu bytes\n", header.filesize,
                     header.id_type >> 24, size);
        std::abort();
    }

    const std::string path = gDir + "/image.obj";
    hlvdfuzz::write_file(path, data, size);
    int through_file = process_varrow_flash(path.c_str());
    if (through_file != direct) {
        std::fprintf(stderr, "the file reader answers %d, the header check %d\n", through_file, direct);
        std::abort();
    }
    hlvdfuzz::check_vexo_counter(counted);
    return 0;
}
