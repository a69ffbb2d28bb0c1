// Direct flash programming of an FC adapter: the host drives the flash
// chip's own command interface through a window of adapter control
// registers, without the adapter firmware's download commands. The chip is
// identified by its CFI data, taken from the adapter, unlocked, erased,
// programmed word by word from a raw image, relocked and handed back;
// optionally the configuration regions are kept across the rewrite.
#ifndef HLVD_HBA_DIRECT_FLASH_H
#define HLVD_HBA_DIRECT_FLASH_H

#include <cstdint>
#include <cstdio>

// Register window (adapter control register offsets).
const uint32_t FLASH_REG_READ_DATA = 80;  // bit 0x10 valid, bits 16-31 the word
const uint32_t FLASH_REG_READ_ADDR = 84;  // writing an address starts a read
const uint32_t FLASH_REG_WRITE_ADDR = 92;
const uint32_t FLASH_REG_WRITE_DATA = 96;
const uint32_t FLASH_REG_OWNERSHIP = 100;
const uint32_t FLASH_READ_VALID = 0x10;
const uint32_t FLASH_OWNERSHIP_ACK = 0x02;
const uint32_t FLASH_OWNERSHIP_REQUEST = 1;
const uint32_t FLASH_OWNERSHIP_RELEASE = 0;
const uint32_t FLASH_OWNERSHIP_HAND_BACK = 5;
const int FLASH_OWNERSHIP_READS = 127;

// CFI manufacturer codes and command sets.
const uint32_t FLASH_MANUFACTURER_INTEL = 0x89;
const uint32_t FLASH_MANUFACTURER_AMD = 0x00;
const uint32_t FLASH_MANUFACTURER_STMICRO = 0x20;
const uint32_t FLASH_DEVICE_INTEL = 1;
const uint32_t FLASH_DEVICE_AMD = 2;
const uint32_t FLASH_INTEL_J3 = 1;
const uint32_t FLASH_INTEL_C3 = 3;
const uint32_t CFI_COMMAND_SET_INTEL_EXTENDED = 1;
const uint32_t CFI_COMMAND_SET_AMD = 2;
const uint32_t CFI_COMMAND_SET_INTEL_STANDARD = 3;
const uint32_t CFI_SIZE_2MB = 0x15;
const uint32_t CFI_SIZE_4MB = 0x16;

// Bounds of the polls; reaching one ends the download. The Intel ready
// waits and the valid-bit poll take fewer reads than the 0x1FFFFF and
// 0xFFFFFF of old: each read is a register round trip through the driver,
// and a chip that never answers must give up within seconds.
const uint32_t FLASH_VALID_READS = 0x10000;          // valid bit of one read
const uint32_t FLASH_ERASE_VERIFY_READS = 0xFFFFFF;  // AMD erase, both words
const uint32_t FLASH_PROGRAM_POLL_READS = 0x1FFFFFF; // AMD program
const uint32_t FLASH_READY_READS = 0x2000;           // Intel ready waits

// The ready waits answer a status byte or this when the chip never got
// ready (the flash has then been handed back).
const int FLASH_WAIT_FAILED = -1;
// fgetw: the end of the file (told from a word 0x5252 by feof), and an odd
// last byte (the flash has then been handed back).
const int FGETW_END = 0x5252;
const int FGETW_ODD_END = -1;
// readWord after a time-out.
const int32_t FLASH_READ_FAILED = -1;
const int READ_DATA16_FAILED = 200;

const uint32_t FLASH_PROGRAM_SIZE = 0x200000;   // 2 MB programmable area
const uint32_t CFG_REGIONS_START = 0x1E0000;
const uint32_t CFG_REGIONS_END = 0x200000;
const uint32_t CFG_WAKEUP_START = 0x1E4000;     // taken from the image
const uint32_t CFG_WAKEUP_END = 0x1E5000;
extern const char *const SAVE_CFG_FILE;          // "save_cfg.cfg"

// Direct-flash state, for the one board in work (WINboard of the mailbox
// transport names it).
extern uint32_t ioBase;
extern uint32_t ROMbase;
extern uint32_t channel;
extern uint32_t sectorBase;
extern uint32_t ManufactureCode;
extern uint32_t FlashDevice;
extern uint32_t ReadModeCmd;
extern uint32_t IntelType;
extern uint32_t AMDtype;
extern uint32_t FlashSize;
extern uint32_t TotalFlashSize;
extern uint32_t SectorSize;
extern uint32_t SectorCount;
extern int g_save_cfg_flag;
extern FILE *g_cfg_file;

// Writes a raw flash image into the board's chip. 0 done, else 1 or the
// failing step's code; ownership is released on every exit after it was
// granted.
int PciInterfaceDownload(int board, uint32_t base, uint32_t ignored, uint32_t chan, const char *path);

// 0 acknowledged, 1 not.
int RequestOwnership();
int ReleaseOwnership();

// 0, or 1 on an erase error or a chip that never answers.
int EraseSector_INTEL();
int EraseSector_AMD();
// 0, 1 on a program error, FLASH_WAIT_FAILED when never ready.
int programWord_INTEL(uint32_t offset, uint16_t word);
// 0, or 1 when the word never read back (the flash handed back).
int programWord_AMD(uint32_t offset, uint16_t word);
// 0, or 1 when the chip never got ready.
int J3UnlockBlocks();
int J3LockBlocks();

// The status byte, or FLASH_WAIT_FAILED.
int waitForReady_INTEL();
int ReadFlashStatus_INTEL();
// The program-error bit, or FLASH_WAIT_FAILED.
int checkSuccessfulProgram();

// The word, or FLASH_READ_FAILED after a time-out.
int32_t readWord(uint32_t address);
// 0, or 200 after a time-out (ownership released).
int read_data16(uint32_t address, uint16_t *word);
// 0, 200 or the failing read's code.
int Write_All_Cfg_Regions_To_Disk();

void CommonWriteData(uint32_t reg, uint32_t value);
void IssueSequenceCmd(uint32_t address, uint32_t command);

// The next big-endian word, FGETW_END or FGETW_ODD_END.
int fgetw(FILE *file);

// Hand the flash back to the adapter.
void pauseExit();
void pauseExit1();
// Hands the flash back; no console is read, so the key is never 'c'.
int CLUPause();
// No console is attached: answers EOF without reading anything.
int getcx();

#endif
