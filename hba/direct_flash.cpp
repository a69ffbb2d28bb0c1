#include "hba/direct_flash.h"

#include <cstring>
#include <vector>

#include "flash/engine_log.h"
#include "flash/fc_image_files.h"
#include "hba/mbox_transport.h"
#include "os/atomic_file.h"
#include "os/host_env.h"

const char *const SAVE_CFG_FILE = "save_cfg.cfg";

uint32_t ioBase = 0;
uint32_t ROMbase = 0;
uint32_t channel = 0;
uint32_t sectorBase = 0;
uint32_t ManufactureCode = 0;
uint32_t FlashDevice = 0;
uint32_t ReadModeCmd = 0;
uint32_t IntelType = 0;
uint32_t AMDtype = 0;
uint32_t FlashSize = 0;
uint32_t TotalFlashSize = 0;
uint32_t SectorSize = 0;
uint32_t SectorCount = 0;
int g_save_cfg_flag = 0;
FILE *g_cfg_file = nullptr;

namespace {

const uint32_t kArmVector = 0xE59FF3F8;
const size_t kHeaderWords = 9;
const uint32_t kKB = 1024;
const uint32_t kMB = 1024 * 1024;
const uint32_t kSmallSectorFrom = 31;
const uint32_t kProgressEvery = 0x10000;
const uint32_t kCfiQueryAddress = 0xAA;
const uint32_t kCfiCommandSet = 0x26;
const uint32_t kCfiDeviceSize = 0x4E;
const uint32_t kIdentifierRead = 0x80000000;
const uint32_t kAmdUnlock1 = 0xAAA;
const uint32_t kAmdUnlock2 = 0x555;
const unsigned int kUnlockPauseMs = 1;

const uint32_t INTEL_CLEAR_STATUS = 0x50;
const uint32_t INTEL_READ_STATUS = 0x70;
const uint32_t INTEL_READ_ID = 0x90;
const uint32_t INTEL_LOCK_SETUP = 0x60;
const uint32_t INTEL_CONFIRM = 0xD0;
const uint32_t INTEL_ERASE = 0x20;
const uint32_t INTEL_PROGRAM = 0x40;
const uint32_t INTEL_SET_LOCK = 0x01;
const uint32_t INTEL_READY = 0x80;
const uint32_t INTEL_ERASE_ERROR = 0x20;
const uint32_t INTEL_PROGRAM_ERROR = 0x10;
const uint32_t AMD_RESET = 0xF0;
const uint32_t AMD_UNLOCK_DATA1 = 0xAA;
const uint32_t AMD_UNLOCK_DATA2 = 0x55;
const uint32_t AMD_AUTOSELECT = 0x90;
const uint32_t AMD_ERASE_SETUP = 0x80;
const uint32_t AMD_SECTOR_ERASE = 0x30;
const uint32_t AMD_PROGRAM = 0xA0;
const uint32_t CFI_QUERY = 0x98;

// Starts a read of `address` and polls for the valid bit: 0 with the
// register value, else 1 with the last value read.
int poll_read(uint32_t address, uint32_t *value)
{
    CommonWriteData(FLASH_REG_READ_ADDR, address);
    uint32_t v = 0;
    for (uint32_t i = 0; i < FLASH_VALID_READS; ++i) {
        v = ReadIoReg(ioBase, FLASH_REG_READ_DATA);
        if (v & FLASH_READ_VALID) {
            *value = v;
            return 0;
        }
    }
    *value = v;
    pauseExit1();
    return 1;
}

uint16_t data_word(uint32_t value)
{
    return static_cast<uint16_t>(value >> 16);
}

void amd_unlock()
{
    IssueSequenceCmd(ROMbase + kAmdUnlock1, AMD_UNLOCK_DATA1);
    IssueSequenceCmd(ROMbase + kAmdUnlock2, AMD_UNLOCK_DATA2);
}

void select_read_array()
{
    IssueSequenceCmd(sectorBase, ReadModeCmd);
}

// Reads the Intel status register until ready, at most `reads` times; a
// chip that never gets ready has the flash handed back.
int intel_status_until_ready(uint32_t reads)
{
    uint32_t v = 0;
    for (uint32_t i = 0; i < reads; ++i) {
        IssueSequenceCmd(sectorBase, INTEL_READ_STATUS);
        if (poll_read(sectorBase, &v) != 0)
            break;
        if (data_word(v) & INTEL_READY)
            return static_cast<int>(data_word(v) & 0xFF);
    }
    QBprintf("Timeout Reading status = %04lx\n", static_cast<unsigned long>(data_word(v)));
    pauseExit();
    return FLASH_WAIT_FAILED;
}

// Clear status, then wait until ready: 0 or 1.
int intel_clear_and_wait()
{
    IssueSequenceCmd(sectorBase, INTEL_CLEAR_STATUS);
    return waitForReady_INTEL() == FLASH_WAIT_FAILED ? 1 : 0;
}

// Size of sector `index` of an erase, by the device and the channel.
uint32_t sector_size_at(uint32_t index)
{
    const bool channelB = channel == 1;
    if (FlashDevice == FLASH_DEVICE_INTEL && IntelType == FLASH_INTEL_C3) {
        if (index >= kSmallSectorFrom && (channelB || TotalFlashSize == 2 * kMB))
            return 8 * kKB;
    } else if (FlashDevice == FLASH_DEVICE_AMD && channelB) {
        if (AMDtype == 4 && index >= kSmallSectorFrom)
            return 8 * kKB;
        if (AMDtype == 2) {
            if (index == 30)
                return 32 * kKB;
            if (index == 31 || index == 32)
                return 8 * kKB;
            if (index == 33)
                return 16 * kKB;
        }
    }
    return SectorSize;
}

void set_sizes(uint32_t size, uint32_t countA, uint32_t countB)
{
    FlashSize = FLASH_PROGRAM_SIZE;
    SectorSize = size;
    SectorCount = channel == 1 ? countB : countA;
}

// Identifies the chip from its CFI data (steps after ownership): 0, else 1
// with the line of the failure printed.
int identify_chip()
{
    IssueSequenceCmd(sectorBase + kCfiQueryAddress, CFI_QUERY);
    uint32_t v = 0;
    if (poll_read(0, &v) != 0) {
        QBprintf("CFI watch dog time out: data %08lx/n", static_cast<unsigned long>(v));
        return 1;
    }
    ManufactureCode = data_word(v);
    QBprintf("CFI Manufacture Code %04X\n", ManufactureCode);
    if (ManufactureCode == FLASH_MANUFACTURER_INTEL) {
        QBprintf("Intel Flash\n");
    } else if (ManufactureCode == FLASH_MANUFACTURER_AMD) {
        QBprintf("AMD Flash\n");
    } else if (ManufactureCode == FLASH_MANUFACTURER_STMICRO) {
        QBprintf("STMicro Flash\n");
    } else {
        QBprintf("Invalid Manufacture Code\n");
        return 1;
    }

    if (poll_read(kCfiCommandSet, &v) != 0) {
        QBprintf("CFI watch dog time out: data %08lx\n", static_cast<unsigned long>(v));
        return 1;
    }
    const uint32_t commandSet = data_word(v);
    QBprintf("CFI OEM command set %04X\n", commandSet);
    uint32_t sizeCode = 0;
    if (commandSet == CFI_COMMAND_SET_AMD || commandSet == CFI_COMMAND_SET_INTEL_STANDARD) {
        if (poll_read(kCfiDeviceSize, &v) != 0) {
            if (commandSet == CFI_COMMAND_SET_AMD)
                QBprintf("CFI watch dog time out: data %08lx\n", static_cast<unsigned long>(v));
            else
                QBprintf("CFI watch dog time out: data %08lx/n", static_cast<unsigned long>(v));
            return 1;
        }
        sizeCode = data_word(v);
        QBprintf("CFI Device Size Code %04X\n", sizeCode);
    }

    // A device outside the table is refused before anything is erased.
    if (commandSet == CFI_COMMAND_SET_AMD) {
        FlashDevice = FLASH_DEVICE_AMD;
        ReadModeCmd = AMD_RESET;
        if (sizeCode == CFI_SIZE_2MB) {
            AMDtype = 2;
            set_sizes(64 * kKB, 32, 35);
        } else if (sizeCode == CFI_SIZE_4MB) {
            AMDtype = 4;
            set_sizes(64 * kKB, 32, 39);
        } else {
            QBprintf("Unknown device size %04X\n", sizeCode);
            return 1;
        }
        QBprintf("FlashSize 0x%08lX SectorSize 0x%08lX SectorCount %d\n", static_cast<unsigned long>(FlashSize),
                 static_cast<unsigned long>(SectorSize), static_cast<int>(SectorCount));
    } else if (commandSet == CFI_COMMAND_SET_INTEL_STANDARD) {
        FlashDevice = FLASH_DEVICE_INTEL;
        ReadModeCmd = 0xFF;
        IntelType = FLASH_INTEL_C3;
        if (sizeCode == CFI_SIZE_2MB) {
            TotalFlashSize = 2 * kMB;
            set_sizes(64 * kKB, 39, 39);
            QBprintf("2MB Flash - Single Channel\n");
        } else {
            TotalFlashSize = 4 * kMB;
            set_sizes(64 * kKB, 32, 39);
        }
        if (ManufactureCode == FLASH_MANUFACTURER_INTEL)
            QBprintf("INTEL_C3 FlashSize 0x%08lX SectorSize 0x%08lX SectorCount %d\n",
                     static_cast<unsigned long>(FlashSize), static_cast<unsigned long>(SectorSize),
                     static_cast<int>(SectorCount));
        else
            QBprintf("STMicro FlashSize 0x%08lX SectorSize 0x%08lX SectorCount %d\n",
                     static_cast<unsigned long>(FlashSize), static_cast<unsigned long>(SectorSize),
                     static_cast<int>(SectorCount));
    } else if (commandSet == CFI_COMMAND_SET_INTEL_EXTENDED) {
        FlashDevice = FLASH_DEVICE_INTEL;
        ReadModeCmd = 0xFF;
        IntelType = FLASH_INTEL_J3;
        set_sizes(128 * kKB, 16, 16);
        QBprintf("INTEL_J3 FlashSize 0x%08lX SectorSize 0x%08lX SectorCount %d\n",
                 static_cast<unsigned long>(FlashSize), static_cast<unsigned long>(SectorSize),
                 static_cast<int>(SectorCount));
    } else {
        QBprintf("Unknown Flash Device of Code %02x\n", commandSet);
        return 1;
    }

    if (FlashDevice == FLASH_DEVICE_INTEL) {
        const int32_t maker = readWord(kIdentifierRead | 0);
        if (maker == FLASH_READ_FAILED)
            return 1;
        QBprintf("Manufacture Code = %02x\n", static_cast<unsigned>(maker));
        const int32_t device = readWord(kIdentifierRead | 2);
        if (device == FLASH_READ_FAILED)
            return 1;
        QBprintf("Device Code      = %02x\n", static_cast<unsigned>(device));
        return 0;
    }
    const uint32_t idBase = sectorBase & ~0xFFu;
    for (int pass = 0; pass < 2; ++pass) {
        IssueSequenceCmd(sectorBase, AMD_RESET);
        IssueSequenceCmd(sectorBase + kAmdUnlock1, AMD_UNLOCK_DATA1);
        IssueSequenceCmd(sectorBase + kAmdUnlock2, AMD_UNLOCK_DATA2);
        IssueSequenceCmd(sectorBase + kAmdUnlock1, AMD_AUTOSELECT);
        if (poll_read(idBase + (pass == 0 ? 0 : 2), &v) != 0) {
            QBprintf("CFI watch dog time out: data %08lx\n", static_cast<unsigned long>(v));
            return 1;
        }
        if (pass == 0)
            QBprintf("Manufacturer ID %04x\n", data_word(v));
        else
            QBprintf("Device ID %04x\n", data_word(v));
    }
    return 0;
}

// Ends a download whose flash was granted: released, then the code.
int release_and_fail(int code)
{
    ReleaseOwnership();
    return code;
}

void close_files(FILE *image)
{
    if (image)
        std::fclose(image);
    if (g_cfg_file) {
        std::fclose(g_cfg_file);
        g_cfg_file = nullptr;
    }
}

// The next saved configuration word: 0, or 1 when the file ran short.
int next_saved_word(uint16_t *word)
{
    const int w = fgetw(g_cfg_file);
    if (w == FGETW_ODD_END || (w == FGETW_END && std::feof(g_cfg_file)))
        return 1;
    *word = static_cast<uint16_t>(w);
    return 0;
}

int program_one(uint32_t offset, uint16_t word)
{
    if (FlashDevice == FLASH_DEVICE_AMD)
        return programWord_AMD(offset, word);
    const int r = programWord_INTEL(offset, word);
    if (r == FLASH_WAIT_FAILED)
        return 1;
    if (r != 0) {
        QBprintf("PciInterfaceDownload #2: After PROGRAM, error=%d data_flash_offset=%d FlashSize=%d\n", r,
                 static_cast<int>(offset), static_cast<int>(FlashSize));
        // Beyond the programmable area an error is only reported.
        if (offset < FlashSize)
            return r;
    }
    return 0;
}

// Steps after the erase: programs the image (and the kept regions), then
// relocks and returns to read array. 0, or the failing code; the caller
// releases ownership.
int program_image(FILE *image)
{
    QBprintf("\nErase completed. Going to program over erased sectors\n");
    if (FlashDevice == FLASH_DEVICE_INTEL && waitForReady_INTEL() == FLASH_WAIT_FAILED)
        return 1;
    uint32_t offset = 0;
    for (;; offset += 2) {
        const int w = fgetw(image);
        if (w == FGETW_ODD_END)
            return 1;
        if (w == FGETW_END && std::feof(image)) {
            QBprintf("\nEnd of File Detected\n");
            break;
        }
        if (offset != 0 && offset % kProgressEvery == 0)
            QBprintf(". ");
        uint16_t word = static_cast<uint16_t>(w);
        if (g_cfg_file && offset >= CFG_REGIONS_START && offset < CFG_REGIONS_END) {
            uint16_t saved = 0;
            if (next_saved_word(&saved) != 0)
                return 1;
            if (offset < CFG_WAKEUP_START || offset >= CFG_WAKEUP_END)
                word = saved;
        }
        const int r = program_one(offset, word);
        if (r != 0)
            return r;
    }
    // An image that ends before the regions would leave them erased: the
    // kept regions are written back all the same.
    if (g_cfg_file) {
        for (offset = offset < CFG_REGIONS_START ? CFG_REGIONS_START : offset; offset < CFG_REGIONS_END;
             offset += 2) {
            uint16_t saved = 0;
            if (next_saved_word(&saved) != 0)
                return 1;
            const int r = program_one(offset, saved);
            if (r != 0)
                return r;
        }
    }

    if (FlashDevice == FLASH_DEVICE_INTEL && IntelType == FLASH_INTEL_J3 && J3LockBlocks() != 0)
        return 1;
    if (FlashDevice == FLASH_DEVICE_INTEL) {
        if (intel_clear_and_wait() != 0)
            return 1;
        select_read_array();
    }
    return 0;
}

// Keeps the configuration regions in "save_cfg.cfg" and opens it for the
// program pass: 0, else the failing code (nothing erased yet).
int save_regions()
{
    QBprintf("Save All Config Regions in file\n");
    int r = Write_All_Cfg_Regions_To_Disk();
    if (r != 0) {
        QBprintf("Unable to save Config Regions\n");
        return r;
    }
    const std::string path = host_path(std::string(SAVE_CFG_FILE));
    g_cfg_file = std::fopen(path.c_str(), "rb");
    if (!g_cfg_file) {
        QBprintf("Can't open file to read\n");
        return 1;
    }
    return 0;
}

} // namespace

void CommonWriteData(uint32_t reg, uint32_t value)
{
    WriteIoReg(ioBase, reg, value);
}

void IssueSequenceCmd(uint32_t address, uint32_t command)
{
    CommonWriteData(FLASH_REG_WRITE_ADDR, address);
    CommonWriteData(FLASH_REG_WRITE_DATA, command);
}

static int ownership(uint32_t value)
{
    WriteIoReg(ioBase, FLASH_REG_OWNERSHIP, value);
    for (int i = 0; i < FLASH_OWNERSHIP_READS; ++i) {
        if (ReadIoReg(ioBase, FLASH_REG_OWNERSHIP) & FLASH_OWNERSHIP_ACK)
            return 0;
    }
    return 1;
}

int RequestOwnership()
{
    return ownership(FLASH_OWNERSHIP_REQUEST);
}

int ReleaseOwnership()
{
    return ownership(FLASH_OWNERSHIP_RELEASE);
}

int waitForReady_INTEL()
{
    return intel_status_until_ready(FLASH_READY_READS);
}

int ReadFlashStatus_INTEL()
{
    return intel_status_until_ready(FLASH_READY_READS);
}

int checkSuccessfulProgram()
{
    const int status = ReadFlashStatus_INTEL();
    if (status == FLASH_WAIT_FAILED)
        return FLASH_WAIT_FAILED;
    return (status & INTEL_PROGRAM_ERROR) ? 1 : 0;
}

int32_t readWord(uint32_t address)
{
    if (FlashDevice == FLASH_DEVICE_INTEL) {
        if (intel_clear_and_wait() != 0)
            return FLASH_READ_FAILED;
        select_read_array();
        if (address & kIdentifierRead) {
            IssueSequenceCmd(sectorBase, INTEL_READ_ID);
            address &= 7;
        }
    }
    uint32_t v = 0;
    if (poll_read(address, &v) != 0) {
        QBprintf("Read watch dog time out: data=%08lx/n", static_cast<unsigned long>(v));
        return FLASH_READ_FAILED;
    }
    return data_word(v);
}

int read_data16(uint32_t address, uint16_t *word)
{
    select_read_array();
    uint32_t v = 0;
    if (poll_read(address, &v) != 0) {
        QBprintf("Read_data16 watch dog time out: data %08lx/n", static_cast<unsigned long>(v));
        ReleaseOwnership();
        return READ_DATA16_FAILED;
    }
    *word = data_word(v);
    return 0;
}

int Write_All_Cfg_Regions_To_Disk()
{
    std::vector<uint8_t> saved;
    saved.reserve(CFG_REGIONS_END - CFG_REGIONS_START);
    for (uint32_t address = CFG_REGIONS_START; address < CFG_REGIONS_END; address += 2) {
        uint16_t word = 0;
        const int r = read_data16(address, &word);
        if (r != 0) {
            QBprintf("Read data from Config Region fails\n");
            return r;
        }
        saved.push_back(static_cast<uint8_t>(word >> 8));
        saved.push_back(static_cast<uint8_t>(word & 0xFF));
    }
    // Written whole or not at all, never over a half-saved copy.
    const std::string path = host_path(std::string(SAVE_CFG_FILE));
    if (replace_file_atomically(path.c_str(), saved.data(), saved.size(), 0644) != 0) {
        QBprintf("Can't create (save_cfg.cfg) file\n");
        return READ_DATA16_FAILED;
    }
    return 0;
}

int EraseSector_INTEL()
{
    const uint32_t start = sectorBase;
    int result = 0;
    if (intel_clear_and_wait() != 0)
        result = 1;
    for (uint32_t i = 0; result == 0 && i < SectorCount; ++i) {
        if (IntelType == FLASH_INTEL_C3) {
            IssueSequenceCmd(sectorBase, INTEL_LOCK_SETUP);
            IssueSequenceCmd(sectorBase, INTEL_CONFIRM);
            IssueSequenceCmd(sectorBase, INTEL_READ_ID);
            host_sleep_ms(kUnlockPauseMs);
        }
        IssueSequenceCmd(sectorBase, INTEL_ERASE);
        IssueSequenceCmd(sectorBase, INTEL_CONFIRM);
        if (waitForReady_INTEL() == FLASH_WAIT_FAILED) {
            result = 1;
            break;
        }
        const int status = ReadFlashStatus_INTEL();
        if (status == FLASH_WAIT_FAILED) {
            result = 1;
            break;
        }
        if (status & INTEL_ERASE_ERROR) {
            QBprintf("Erase ERROR at sector %08lx\n", static_cast<unsigned long>(sectorBase));
            result = 1;
            break;
        }
        QBprintf(". ");
        sectorBase += sector_size_at(i);
        if (intel_clear_and_wait() != 0)
            result = 1;
    }
    sectorBase = start;
    return result;
}

int EraseSector_AMD()
{
    const uint32_t start = sectorBase;
    int result = 0;
    IssueSequenceCmd(sectorBase, AMD_RESET);
    for (uint32_t i = 0; result == 0 && i < SectorCount; ++i) {
        const uint32_t size = sector_size_at(i);
        amd_unlock();
        IssueSequenceCmd(ROMbase + kAmdUnlock1, AMD_ERASE_SETUP);
        amd_unlock();
        IssueSequenceCmd(ROMbase + sectorBase, AMD_SECTOR_ERASE);
        uint32_t budget = FLASH_ERASE_VERIFY_READS;
        const uint32_t ends[2] = {sectorBase, sectorBase + size - 2};
        for (int e = 0; e < 2 && result == 0; ++e) {
            int32_t w = 0;
            for (;;) {
                w = readWord(ROMbase + ends[e]);
                if (w == 0xFFFF)
                    break;
                if (w == FLASH_READ_FAILED || --budget == 0) {
                    if (w != FLASH_READ_FAILED)
                        pauseExit1();
                    if (e == 0)
                        QBprintf("Erase watch dog time out: first verifydata %08lx\n", static_cast<unsigned long>(w));
                    else
                        QBprintf("Erase watch dog time out: last verifydata %08lx\n", static_cast<unsigned long>(w));
                    result = 1;
                    break;
                }
            }
        }
        if (result != 0)
            break;
        QBprintf(". ");
        sectorBase += size;
    }
    sectorBase = start;
    return result;
}

int programWord_INTEL(uint32_t offset, uint16_t word)
{
    IssueSequenceCmd(sectorBase, INTEL_PROGRAM);
    IssueSequenceCmd(ROMbase + offset, word);
    if (waitForReady_INTEL() == FLASH_WAIT_FAILED)
        return FLASH_WAIT_FAILED;
    return checkSuccessfulProgram();
}

int programWord_AMD(uint32_t offset, uint16_t word)
{
    amd_unlock();
    IssueSequenceCmd(ROMbase + kAmdUnlock1, AMD_PROGRAM);
    IssueSequenceCmd(ROMbase + offset, word);
    for (uint32_t i = 0; i < FLASH_PROGRAM_POLL_READS; ++i) {
        const int32_t back = readWord(ROMbase + offset);
        if (back == FLASH_READ_FAILED)
            break;
        if ((back & 0x80) == (word & 0x80))
            return 0;
    }
    QBprintf("Program TimeOut: Word %04x at %08x\n", word, offset);
    pauseExit();
    return 1;
}

int J3UnlockBlocks()
{
    IssueSequenceCmd(sectorBase, INTEL_CLEAR_STATUS);
    if (waitForReady_INTEL() == FLASH_WAIT_FAILED)
        return 1;
    IssueSequenceCmd(sectorBase, INTEL_LOCK_SETUP);
    IssueSequenceCmd(sectorBase, INTEL_CONFIRM);
    host_sleep_ms(kUnlockPauseMs);
    IssueSequenceCmd(sectorBase, INTEL_CLEAR_STATUS);
    if (waitForReady_INTEL() == FLASH_WAIT_FAILED)
        return 1;
    return 0;
}

int J3LockBlocks()
{
    // The last two blocks stay unlocked.
    for (uint32_t i = 0; i + 2 < SectorCount; ++i) {
        const uint32_t block = sectorBase + i * SectorSize;
        IssueSequenceCmd(block, INTEL_LOCK_SETUP);
        IssueSequenceCmd(block, INTEL_SET_LOCK);
    }
    return 0;
}

int fgetw(FILE *file)
{
    const int high = std::fgetc(file);
    if (high == EOF)
        return FGETW_END;
    const int low = std::fgetc(file);
    if (low == EOF) {
        QBprintf("ERROR: odd EOF boundry\n");
        pauseExit1();
        return FGETW_ODD_END;
    }
    return (high << 8) | low;
}

void pauseExit1()
{
    // Before the chip is identified there is no read-array command to give.
    if (ReadModeCmd != 0)
        select_read_array();
    CommonWriteData(FLASH_REG_OWNERSHIP, FLASH_OWNERSHIP_HAND_BACK);
}

void pauseExit()
{
    pauseExit1();
    QBprintf("Flash Device Interface Error - Hit Control C to EXIT \n");
}

int CLUPause()
{
    pauseExit1();
    QBprintf("Hit c to continue  ");
    // getcx never answers 'c' without a console, so the pause ends here.
    return getcx();
}

int getcx()
{
    return EOF;
}

int PciInterfaceDownload(int board, uint32_t base, uint32_t ignored, uint32_t chan, const char *path)
{
    (void)ignored;
    WINboard = static_cast<uint32_t>(board);
    FILE *image = path ? std::fopen(path, "rb") : nullptr;
    if (!image) {
        QBprintf("Fail to open file %s\n", path ? path : "");
        return 1;
    }
    uint8_t header[kHeaderWords * 4];
    if (std::fread(header, 1, sizeof header, image) != sizeof header) {
        QBprintf("Fail to read file %s\n", path);
        std::fclose(image);
        return 1;
    }
    QBprintf("First 8 words: ");
    bool good = true;
    for (size_t i = 0; i < kHeaderWords; ++i) {
        const uint32_t w = ImageFileWord(header + 4 * i);
        QBprintf("%08lX ", static_cast<unsigned long>(w));
        if (i < kHeaderWords - 1 ? w != kArmVector : w != 0)
            good = false;
    }
    if (!good) {
        QBprintf("\nCorrupted or incorrect file\n");
        std::fclose(image);
        return 1;
    }

    std::rewind(image);
    ioBase = base & 0xFFFF;
    ROMbase = 0;
    channel = chan;
    sectorBase = 0;
    ManufactureCode = 0;
    FlashDevice = 0;
    ReadModeCmd = 0;
    IntelType = 0;
    AMDtype = 0;
    FlashSize = 0;
    TotalFlashSize = 0;
    SectorSize = 0;
    SectorCount = 0;
    if (channel == 1) {
        QBprintf("channel B: ioBase %08lx ROMbase %08lx\n", static_cast<unsigned long>(ioBase),
                 static_cast<unsigned long>(ROMbase));
        QBprintf("Direct Download to Channel B\n");
    } else {
        QBprintf("channel A: ioBase %08lx ROMbase %08lx\n", static_cast<unsigned long>(ioBase),
                 static_cast<unsigned long>(ROMbase));
        QBprintf("Direct Download to Channel A\n");
    }

    QBprintf("Ask for Ownership\n");
    if (RequestOwnership() != 0) {
        QBprintf("\nRom Access is not granted\n");
        std::fclose(image);
        // The request is withdrawn, so the adapter is not left waiting on it.
        ReleaseOwnership();
        return 1;
    }
    QBprintf("Granted\n");

    if (identify_chip() != 0) {
        std::fclose(image);
        return release_and_fail(1);
    }
    if (FlashDevice == FLASH_DEVICE_INTEL && IntelType == FLASH_INTEL_J3) {
        const int r = J3UnlockBlocks();
        if (r != 0) {
            QBprintf("Unlock Blocks fails\n");
            std::fclose(image);
            return release_and_fail(r);
        }
        QBprintf("Unlock Blocks completed\n");
    }
    if (g_save_cfg_flag) {
        const int r = save_regions();
        if (r != 0) {
            close_files(image);
            return release_and_fail(r);
        }
    }

    QBprintf("Going to erase %d sectors\n", static_cast<int>(SectorCount));
    int r = FlashDevice == FLASH_DEVICE_INTEL ? EraseSector_INTEL() : EraseSector_AMD();
    if (r != 0) {
        QBprintf("Erase fails\n");
        close_files(image);
        return release_and_fail(r);
    }
    r = program_image(image);
    close_files(image);
    if (r != 0)
        return release_and_fail(r);
    QBprintf("Successful Direct Download for this adapter\n");
    ReleaseOwnership();
    return 0;
}
