// PRG files as the relative download walks them: one image, and a file of
// several behind an optional bitmap word, each PRG's length word coming from
// the file. The diagnostics library is replaced by an adapter that takes
// every DOWN_LOAD (or refuses each erase with 241, as the first input byte
// says) and whose memory, for the flash load-list walk, is 16 words of the
// input repeating, so that list links may point anywhere, themselves
// included.
//
// Input: flags byte, 64 bytes of adapter memory, then the file.
//
// Oracles: every walk ends (a loop is a libFuzzer timeout); no data command
// carries more than 108 bytes; one download sends exactly its image length,
// never more than the file holds; the results stay within their sets.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "adapters/adapter_table.h"
#include "hba/mbox_commands.h"
#include "hba/relative_download.h"
#include "kpl.h"

namespace
{

const size_t kMemoryWords = 16;
uint32_t gMemory[kMemoryWords];
bool gRefuseErase = false;
uint64_t gDataBytes = 0;
uint64_t gCommands = 0;

uint32_t memory_word(uint32_t address)
{
    return gMemory[(address / 4) % kMemoryWords];
}

} // namespace

extern "C" {

int KPL_GetDrvInfo(int, KPL_DRV_INFO *)
{
    return 1;
}

int KPL_IssueMboxWithRetry(int, void *mbox, int, int, int, int)
{
    uint8_t *m = static_cast<uint8_t *>(mbox);
    ++gCommands;
    if (m[1] == MBX_DOWN_LOAD) {
        if (m[4] == DOWN_LOAD_ERASE) {
            if (gRefuseErase) {
                mbox_put_u16(m, 2, DOWN_LOAD_NO_FLASH);
                return 2;
            }
            return 0;
        }
        uint32_t count = mbox_u32(m, 12);
        if (count > DOWN_LOAD_PIECE_BYTES || (m[4] & 0x7E) != DOWN_LOAD_DATA || mbox_u32(m, 16) != 20)
            std::abort();
        gDataBytes += count;
        return 0;
    }
    if (m[1] == MBX_DUMP_MEMORY) {
        uint32_t address = mbox_u32(m, 12);
        uint32_t count = mbox_u32(m, 16);
        if (count > DUMP_MEMORY_MAX_WORDS)
            std::abort();
        for (uint32_t i = 0; i < count; ++i)
            mbox_put_u32(m, 20 + 4 * i, memory_word(address + 4 * i));
        return 0;
    }
    return 0;
}

// Region reads (VPD, wakeup parameters) fail: the family check decides.
int KPL_IssueDumpMBox(int, int, int, int, uint32_t, uint8_t *, uint32_t *count)
{
    if (count)
        *count = 0;
    return 1;
}

int KPL_IssueUpdateCfgMBox(int, int, int, uint32_t, uint8_t *, uint32_t *response)
{
    if (response)
        *response = 0;
    return 0;
}

void SetBrdEnv(int, int)
{
}

} // extern "C"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1 + kMemoryWords * 4)
        return 0;
    gRefuseErase = (data[0] & 1) != 0;
    std::memcpy(gMemory, data + 1, sizeof gMemory);
    const uint8_t *fileData = data + 1 + sizeof gMemory;
    const size_t fileSize = size - 1 - sizeof gMemory;

    // One SLI-3 FC function of family 0xFE00.
    static _Adapter table[1];
    std::memset(table, 0, sizeof table);
    table[0].deviceId = 0xFE00;
    table[0].jedecId = 0x0577;
    table[0].maxMailboxBytes = 108;
    gAdapters = table;
    gAdapterCount = 1;
    gTotalHBAs = 1;

    FILE *f = std::tmpfile();
    if (!f)
        return 0;
    if (fileSize && std::fwrite(fileData, 1, fileSize, f) != fileSize) {
        std::fclose(f);
        return 0;
    }
    std::rewind(f);

    uint8_t signedImage = 0;
    uint8_t parms[sizeof(WAKEUP_PARMS)] = {};
    gDataBytes = 0;
    DOWNLOAD_STATUS r = StartRelativeDownloadWithFeedback(0, RELATIVE_ERASE_FIRST, RELATIVE_TRANSFER_PIECES, f, parms,
                                                          (data[0] & 2) ? 1 : 0, &signedImage, nullptr, nullptr);
    if (gDataBytes > fileSize)
        std::abort();
    if (r == DOWNLOAD_OK && gDataBytes < 48)
        std::abort();

    std::rewind(f);
    WAKEUP_PARMS copy;
    std::memset(&copy, 0, sizeof copy);
    gDataBytes = 0;
    r = ProcessDWCviaPRGs(0, f, 0, &copy, &signedImage, nullptr, nullptr);
    if (r != DOWNLOAD_OK && r != static_cast<DOWNLOAD_STATUS>(0xFFF90001u) &&
        r != static_cast<DOWNLOAD_STATUS>(0xFFF90002u) && r != NO_FLASH_AVAILABLE_ERROR)
        std::abort();
    // Each PRG goes once: the walk never sends more than the file holds.
    if (gDataBytes > fileSize || NumPRGs_inDWC > DWC_PRGS_MAX)
        std::abort();
    std::fclose(f);

    DeleteOldPRGs(0);
    gAdapters = nullptr;
    gAdapterCount = 0;
    gTotalHBAs = 0;
    return 0;
}
