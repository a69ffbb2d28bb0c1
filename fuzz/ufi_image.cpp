// UFI image files as the flash front end reads them: the scan of an image
// directory that validates every file in it, and the header, build text and
// flash directory readers on the file directly.
#include <cstdint>
#include <cstring>
#include <string>

#include "flash/engine_log.h"
#include "flash/image_list.h"
#include "flash/ufi_image.h"
#include "support/fuzz_util.h"

namespace
{

std::string gDir;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    gDir = hlvdfuzz::scratch_dir("ufi") + "/";
    // The image diagnostics format every field they dump; no log file
    // exists, so nothing is written.
    Options.LOG_MODE |= LOG_MODE_ENGINE;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string path = gDir + "image.ufi";
    hlvdfuzz::write_file(path, data, size);

    int empty = 0;
    makeFileNameList2(gDir.c_str(), &empty, VALIDATE_ADAPTER);
    FreeGlobalFileNameList();
    freeCLUImageList(makeFileNameList(gDir.c_str(), &empty, VALIDATE_FIRMWARE_ITEM));

    AW2_FILE_HEADER_T aw2;
    FILE_HEADER_T aw3;
    char build[UFI_BUILD_TEXT_SIZE];
    ReadUFIHeaderAW2(path.c_str(), &aw2);
    GetRawUFIBuildString(path.c_str(), build);
    GetFileLength(path.c_str());

    // The directory follows the gen-2 header, or the gen-3/gen-4 header and
    // its image headers.
    static AW2_FLASHDIR_TYPE dir;
    if (ReadUFIFlashDir(path.c_str(), &dir, UFI_AW2_HEADER_SIZE) == RM_STATUS_OK) {
        isUFIFlashDirAW2(&dir);
        isUFIFlashDirAW3(&dir);
    }
    if (ReadUFIHeaderAW3(path.c_str(), &aw3) == RM_STATUS_OK) {
        uint64_t start = UFI_HEADER_SIZE + uint64_t(UFI_IMAGE_HEADER_SIZE) * aw3.FH_NumOfImgs;
        if (start <= UINT32_MAX)
            ReadUFIFlashDir(path.c_str(), &dir, static_cast<uint32_t>(start));
    }
    return 0;
}
