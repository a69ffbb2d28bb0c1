// The flash of a simulated converged adapter and the firmware commands that
// write, read back and dump it, the Varrow firmware objects, and the reboot
// that activates flashed firmware.
//
// Flash: 16 MiB per adapter, kept in <sysroot>/.hlvdsim/flash/<adapter>.bin
// as a sparse file (bytes never written read as 0; a write cut short by a
// power loss leaves 0xFF where the flash was erased and not programmed).
// Flash regions (op types) sit at fixed places per generation
// (flash_region); op type 7 addresses the flash by absolute offset, and a
// read of op type 22 reads the whole flash (the PCI dump).
//
// Flash write (common opcode 7): a component arrives in chunks: "save"
// chunks (op code 2) are staged in the adapter's RAM, kept in
// <adapter>.stage, and the "flash" chunk (op code 1) programs the staged
// bytes and its own in one go. A save chunk of another op type, of another
// process, or (op type 7) not following the staged bytes starts a new stage.
// A component whose stamp says it is the iSCSI firmware image (entry type
// 0xA0) makes its version the adapter's version on flash. An adapter that
// checks signatures refuses a component without the generator's stamp
// (status 23, additional status 87) or whose last 4 bytes are not the CRC
// of the rest (status 23, additional status 86). A region or offset outside
// the flash is refused with status 1, additional status 75.
//
// Flash read (common opcode 6, op code 4): `data_buffer_size` bytes of the
// region at `offset`. While the adapter's firmware asks for its download to
// be done twice, a read-back of a region answers status 3.
//
// Objects (common opcodes 171 and 172, version 1): named objects in
// <sysroot>/.hlvdsim/objects/<adapter>/. A write at offset 0 starts the
// object afresh, a later chunk must follow the bytes written. The chunk
// that carries `eof` for "/prg" checks the firmware object's header; a
// sound one makes its revision the version on flash and answers
// change_status 1 when that differs from the active version. The revision
// is bytes from the file: the state keeps it with bytes_value.
//
// A flash write that changes the flash contents, and an object answer with
// a nonzero change_status, leave the adapter needing a reset (firmware
// state "reset_needed", answered by common opcode 84) until the reboot.
//
// Options of an adapter in the machine description, "flash_options":
//   "signed"       the firmware checks components' signatures (default: on
//                  for Trelmont, off otherwise)
//   "dual_reboot"  the firmware on the adapter needs the download done twice,
//                  with a reboot between; cleared by the reboot
//   "change_status" the change status (0 to 255) the last "/prg" chunk
//                  answers, in place of the one from the versions
#ifndef HLVD_SIM_FLASH_MODEL_H
#define HLVD_SIM_FLASH_MODEL_H

#include <cstdint>
#include <string>
#include <vector>

#include "sim/fw_context.h"

namespace hlvdsim
{

const uint32_t kFlashSize = 16u * 1024 * 1024;
const uint32_t kFlashOpTypeOffset = 7; // op type addressing by absolute offset
const uint32_t kFlashOpTypeWhole = 22; // op type of the whole-flash read

struct FlashRegion {
    uint32_t op_type;
    uint32_t base; // flash offset of the region
    uint32_t size;
};

// The region of `op_type` on an adapter of `generation` ("AW2", "AW3",
// "Trelmont", "Varrow"); false when it has none.
bool flash_region(const std::string &generation, uint32_t op_type, FlashRegion *out);

// `len` bytes of an adapter's flash from `offset` (zeros where never
// written); false when the range is outside the flash.
bool flash_contents(const std::string &sysroot, const std::string &adapter, uint32_t offset, uint32_t len,
                    std::vector<uint8_t> &out);

// Writes bytes into an adapter's flash as if programmed (for preparing a
// test machine); false when the range is outside the flash.
bool flash_program(const std::string &sysroot, const std::string &adapter, uint32_t offset,
                   const std::vector<uint8_t> &data);

// The bytes of an adapter's object ("/prg"); false when it does not exist.
bool object_contents(const std::string &sysroot, const std::string &adapter, const std::string &name,
                     std::vector<uint8_t> &out);

// Stores an adapter's object as if written (for preparing a test machine).
bool object_put(const std::string &sysroot, const std::string &adapter, const std::string &name,
                const std::vector<uint8_t> &data);

// Removes every object of an adapter whose name begins with `prefix`
// ("/nicdata/"); false when the store cannot be read.
bool object_remove_prefix(const std::string &sysroot, const std::string &adapter, const std::string &prefix);

// Reboots one adapter (by name) or, with an empty name, all: the version on
// flash becomes the active version, staged flash data are dropped, a
// pending second download is no longer asked for and no reset is needed. Fills `rebooted` with the
// names; false when the host cannot be read or no adapter has that name.
bool reboot_adapters(const std::string &sysroot, const std::string &name, std::vector<std::string> *rebooted,
                     std::string *err);

// Command handlers of the command table.
void cmd_flash_read(FwContext &c);   // 1/6
void cmd_flash_write(FwContext &c);  // 1/7
void cmd_read_object(FwContext &c);  // 1/171, version 1
void cmd_write_object(FwContext &c); // 1/172, version 1

} // namespace hlvdsim

#endif
