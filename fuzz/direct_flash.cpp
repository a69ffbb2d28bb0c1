// Raw flash images as the direct flash path reads them: the vector check of
// the first nine words and the word stream programmed into the chip. The
// register window is answered by an always-ready chip of its own, whose
// kind (AMD, Intel C3 or J3) the first input byte chooses.
//
// Input: kind byte, then the image file.
//
// Oracles: the result is 0 or 1; a download that succeeds leaves the chip
// equal to the image's whole words from offset 0.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "hba/direct_flash.h"

namespace
{

const uint32_t kChipBytes = 4u << 20;
const uint32_t kEraseBlock = 8u << 10;
std::vector<uint16_t> gWords(kChipBytes / 2, 0xFFFF);
uint32_t gKind = 0;
uint32_t gWriteAddress = 0;
uint32_t gLatch = 0;
uint32_t gPending = 0; // setup command awaiting its second cycle
enum Mode { ARRAY, QUERY, STATUS, IDENT } gMode = ARRAY;

struct Kind {
    uint16_t maker, commandSet, sizeCode;
};
const Kind kKinds[] = {{0x00, 2, 0x15}, {0x00, 2, 0x16}, {0x89, 3, 0x15}, {0x89, 3, 0x16}, {0x89, 1, 0x16}};

void erase_at(uint32_t address)
{
    const uint32_t start = (address % kChipBytes) / kEraseBlock * kEraseBlock;
    for (uint32_t a = start; a < start + kEraseBlock; a += 2)
        gWords[a / 2] = 0xFFFF;
}

void command(uint32_t address, uint32_t value)
{
    const uint32_t word = (address % kChipBytes) / 2;
    if (gPending == 0x40 || gPending == 0xA0) {
        gWords[word] = static_cast<uint16_t>(value);
        gPending = 0;
        gMode = kKinds[gKind].commandSet == 2 ? ARRAY : STATUS;
        return;
    }
    if ((gPending == 0x20 && value == 0xD0) || value == 0x30) {
        erase_at(address);
        gPending = 0;
        gMode = kKinds[gKind].commandSet == 2 ? ARRAY : STATUS;
        return;
    }
    gPending = 0;
    switch (value & 0xFF) {
    case 0x98: gMode = QUERY; break;
    case 0x70: gMode = STATUS; break;
    case 0x90: gMode = IDENT; break;
    case 0xFF: case 0xF0: gMode = ARRAY; break;
    case 0x40: case 0xA0: case 0x20: gPending = value & 0xFF; break;
    default: break;
    }
}

uint16_t read_at(uint32_t address)
{
    const Kind &k = kKinds[gKind];
    switch (gMode) {
    case QUERY:
        return address == 0 ? k.maker : address == 0x26 ? k.commandSet : address == 0x4E ? k.sizeCode : 0;
    case STATUS: return 0x80;
    case IDENT: return (address & 2) ? 0x16 : k.maker;
    default: return gWords[(address % kChipBytes) / 2];
    }
}

} // namespace

extern "C" {

int ReadCtlReg(int, uint32_t *value, uint32_t reg)
{
    if (reg == FLASH_REG_OWNERSHIP)
        *value = FLASH_OWNERSHIP_ACK;
    else if (reg == FLASH_REG_READ_DATA)
        *value = (gLatch << 16) | FLASH_READ_VALID;
    else
        *value = 0;
    return 0;
}

int WriteCtlReg(int, uint32_t *value, uint32_t reg)
{
    if (reg == FLASH_REG_WRITE_ADDR)
        gWriteAddress = *value;
    else if (reg == FLASH_REG_WRITE_DATA)
        command(gWriteAddress, *value);
    else if (reg == FLASH_REG_READ_ADDR)
        gLatch = read_at(*value);
    return 0;
}

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1 || size > (2u << 20))
        return 0;
    gKind = data[0] % (sizeof kKinds / sizeof kKinds[0]);
    std::fill(gWords.begin(), gWords.end(), 0xFFFF);
    gMode = ARRAY;
    gPending = 0;
    char path[] = "/tmp/fuzz_direct_flash_XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0)
        return 0;
    const size_t n = size - 1;
    if (write(fd, data + 1, n) != static_cast<ssize_t>(n)) {
        close(fd);
        unlink(path);
        return 0;
    }
    close(fd);
    g_save_cfg_flag = 0;
    const int r = PciInterfaceDownload(0, 0, 0, data[0] & 0x80 ? 1 : 0, path);
    unlink(path);
    if (r != 0 && r != 1)
        std::abort();
    if (r == 0)
        for (size_t i = 0; i + 1 < n; i += 2)
            if (gWords[i / 2] != ((data[1 + i] << 8) | data[2 + i]))
                std::abort();
    return 0;
}

} // extern "C"
