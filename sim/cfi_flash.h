// A simulated CFI flash chip of 4 MiB of 16-bit words behind an FC
// function's control registers:
//   80   read data: bit 0x10 valid, bits 16-31 the word read
//   84   read address (a byte address): writing it starts a read
//   92   write address (a byte address)
//   96   write data: a command or data word for the address last put in 92
//   100  ownership: 1 request, 0 release, 5 hand back; bit 0x02 of the value
//        read acknowledges
// Addresses are byte addresses, aliased into the chip's size. The word at
// byte address a holds bytes a (high) and a + 1 (low).
//
// Intel chips (command sets 1 = J3, 3 = C3) and AMD chips (command set 2)
// answer their command sequences: CFI query (0x98; reads at 0, 0x26 and 0x4E
// answer manufacturer, command set and size code), read identifier /
// autoselect (addresses 0 and 2), status, block erase, word program (bits
// only cleared), J3 lock bits, AMD data polling. Sector sizes follow the
// chip kind and the channel (0 A, 1 B).
//
// The chip is described by the function state's "cfi_flash" object:
//   "manufacturer" (default 0x89), "command_set" (3), "size_code" (0x15),
//   "device_code", "channel" (default: the function number's low bit),
//   "data" (hex of the initial bytes from address 0),
//   "faults": {"grant_reads": n reads of 100 until the acknowledge (default
//   1; -1 never), "never_ready": true, "never_valid": true,
//   "erase_error_at": a byte address in the failing sector,
//   "program_error_at": the byte offset whose program fails}.
// While a process holds the ownership the chip lives in that process's
// memory; it is written back to a file of the state directory on release or
// hand-back, with a summary of the traffic for the command log.
#ifndef HLVD_SIM_CFI_FLASH_H
#define HLVD_SIM_CFI_FLASH_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace hlvdsim
{

const uint32_t kCfiChipBytes = 4u << 20;
const uint32_t kCfiLockBlock = 128u << 10; // J3 lock granularity
const uint32_t kCfiLockBlocks = kCfiChipBytes / kCfiLockBlock;
// The adapter's configuration regions in the chip, 4 KiB each.
const uint32_t kCfiRegionBase = 0x1E0000;
const uint32_t kCfiRegionSize = 4096;

const uint32_t kCfiRegRead = 80;
const uint32_t kCfiRegReadAddress = 84;
const uint32_t kCfiRegWriteAddress = 92;
const uint32_t kCfiRegWriteData = 96;
const uint32_t kCfiRegOwnership = 100;

const uint32_t kCfiValid = 0x10;
const uint32_t kCfiAck = 0x02;

const uint8_t kCfiStatusReady = 0x80;
const uint8_t kCfiStatusEraseError = 0x20;
const uint8_t kCfiStatusProgramError = 0x10;

struct CfiKind {
    uint8_t manufacturer = 0x89;
    uint8_t commandSet = 3;
    uint8_t sizeCode = 0x15;
    uint16_t deviceCode = 0;
    int channel = 0;
};

struct CfiFaults {
    long grantReads = 1; // reads of 100 until the request is acknowledged; < 0 never
    bool neverReady = false;
    bool neverValid = false;
    long eraseErrorAt = -1;
    long programErrorAt = -1;
};

// What the chip saw while owned, for the command log.
struct CfiTraffic {
    uint32_t requests = 0, grants = 0, releases = 0, handBacks = 0;
    uint32_t commands[256] = {};
    uint64_t programs = 0;
    std::vector<std::pair<uint32_t, uint32_t>> erased;     // start, size
    std::vector<std::pair<uint32_t, uint32_t>> programmed; // start, end (exclusive)
    uint32_t moreRanges = 0;                               // ranges beyond the kept ones
};

enum CfiMode { CFI_ARRAY, CFI_QUERY, CFI_IDENTIFY, CFI_STATUS };

struct CfiChip {
    CfiKind kind;
    CfiFaults faults;
    std::vector<uint16_t> words; // kCfiChipBytes / 2
    bool locks[kCfiLockBlocks] = {};

    // Register and command state.
    bool active = false;  // a request was made and not yet released
    bool owned = false;   // the request was acknowledged
    long readsToGrant = 0;
    uint32_t reg100 = 0;
    uint32_t writeAddress = 0;
    uint32_t readLatch = 0; // what register 80 shows
    CfiMode mode = CFI_ARRAY;
    uint16_t pending = 0;   // Intel: setup command awaiting its second cycle
    int amdStep = 0;        // AMD: unlock cycles seen
    bool amdProgram = false;
    long pollAddress = -1;  // AMD: a failed program keeps answering busy here
    uint16_t pollData = 0;
    uint8_t status = 0;

    CfiTraffic traffic;
};

bool cfi_register(long reg);

// A fresh chip of the described kind, erased, `data` laid in from address 0.
// `channel` is used unless the description names one.
bool cfi_configure(const nlohmann::json &desc, int channel, CfiChip &chip, std::string *err);

// Start and size of the erase sector holding byte address `addr`.
void cfi_sector(const CfiKind &kind, uint32_t addr, uint32_t *start, uint32_t *size);

uint16_t cfi_word(const CfiChip &chip, uint32_t addr);
void cfi_put_bytes(CfiChip &chip, uint32_t addr, const uint8_t *bytes, size_t n);
void cfi_get_bytes(const CfiChip &chip, uint32_t addr, uint8_t *bytes, size_t n);

// Register access.
uint32_t cfi_read_reg(CfiChip &chip, uint32_t reg);
void cfi_write_reg(CfiChip &chip, uint32_t reg, uint32_t value);

// The traffic since the last summary, as the command log keeps it; resets it.
nlohmann::json cfi_take_summary(CfiChip &chip);

// Contents and lock bits: the chip's bytes then one byte per lock block.
bool cfi_load(const std::string &path, CfiChip &chip);
bool cfi_save(const std::string &path, const CfiChip &chip, std::string *err);
// n bytes of a stored chip from byte address addr, without loading it
// whole; false when there is no stored chip or the range is outside it.
bool cfi_read_stored(const std::string &path, uint32_t addr, uint8_t *bytes, size_t n);

// <state dir>/cfi_flash/a<adapter>-f<function>.bin
std::string cfi_chip_path(const std::string &sysroot, size_t adapter, size_t function);

// Chips held in this process while owned, by host and board. cfi_fast_call
// answers a register access of an active chip in memory (ownership writes
// excluded: those go the slow way) and says whether it did.
bool cfi_fast_call(const std::string &sysroot, int board, bool write, uint32_t reg, uint32_t value,
                   uint32_t *out);
bool cfi_fast_call(const char *sysroot, int board, bool write, uint32_t reg, uint32_t value, uint32_t *out);
CfiChip *cfi_cache_find(const std::string &sysroot, int board);
CfiChip &cfi_cache_put(const std::string &sysroot, int board, CfiChip &&chip);
void cfi_cache_drop(const std::string &sysroot, int board);

// Holds the cache's lock around cfi_cache_* use.
class CfiCacheLock {
public:
    CfiCacheLock();
    ~CfiCacheLock();
    CfiCacheLock(const CfiCacheLock &) = delete;
    CfiCacheLock &operator=(const CfiCacheLock &) = delete;
};

} // namespace hlvdsim

#endif
