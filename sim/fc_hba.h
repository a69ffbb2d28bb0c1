// The simulated FC HBA functions (FC and FCoE personalities) behind the
// diagnostics library stand-in. Each function answers the library's calls and
// the mailbox and SLI_CONFIG commands that travel through them from stored
// state, kept per function in the adapter's "fc_state" so that separate
// processes see one adapter.
//
// A board is the function's index in the library's listing: FC and FCoE
// functions in machine order.
//
// The state starts from defaults of the adapter's generation and the
// function's description, overlaid by the function's optional "fc" object of
// the machine description (any key of the state below). Keys of the state:
//   "jedec"            JEDEC id, bits 12-27 of both revision words
//   "rev_words"        the READ_REV words at offsets 8 and 12
//   "fw_name"          16-byte operational firmware name of READ_REV
//   "memory"           adapter memory words for DUMP type 1, by decimal
//                      address: load-list heads 1948 and 1940, SRAM sizes
//                      1928/1932, JEDEC word 0x80001C, the load lists;
//                      built from the images below unless given
//   "images"           the flash load list in order: [{"id0", "id1",
//                      "address", "description", "long_header"}] (numbers
//                      or texts of numbers); id0 0 or 0xFFFFFFFF is a free
//                      slot; each image's program description is readable
//                      at its address (default: the SLI firmware and the
//                      boot code). A downloaded image adds "data" (its
//                      bytes, hex); the list in "memory" is what the
//                      adapter walks; downloads and deletions change both
//   "load_list_capacity" entries the flash load list has room for (default
//                      8); a DOWN_LOAD erase finding neither the image's
//                      entry nor a free one in a full list answers 241
//   "down_load"        the DOWN_LOAD under way: {"entry" (the reserved
//                      list entry's address), "id0", "id1", "length",
//                      "received"}; its bytes are staged in a file
//   "load_area"        LOAD_AREA knobs: {"erase_steps": n} erase commands
//                      until the erase answers progress 2 (default 2; -1:
//                      never, progress 1 with the address advanced by 64
//                      KiB each time), {"bad_address_at": k} the answer to
//                      the k-th load piece names an address 4 bytes off;
//                      a fault's "sub" matches the sub-command (byte 6)
//   "load_area_run"    the LOAD_AREA under way: {"area", "base", "steps",
//                      "erased", "next" (the address the next command must
//                      bring), "pieces", "received"}; bytes staged in a file
//   "load_areas"       the bytes of each completed load by area type (hex):
//                      1 operational code (its first big-endian word becomes
//                      memory word 496), 2 DWC (its PRG images, from offset
//                      4, go into the flash load list), 3 BWC, 4 FWC
//   "ram_images"       the RAM load list, the same way (default: the first
//                      flash image)
//   "load_list_cycle"  true: the flash list's last entry links back to its
//                      first instead of the head
//   "running"          program id [id0, id1] of the firmware the function
//                      runs (default: what the wakeup record names). A reset
//                      of kind 1 and a reboot start the load-list image the
//                      wakeup record's SLI slot names (SLI-4 functions words
//                      11-12, others 9-10; words 7-8 when that slot is 0)
//                      when it is another: "fw_name" becomes its program
//                      description, and the "rev_words" carry bits 11-0 of
//                      its encoded revision (id0 bits 15-0) in bits 11-0
//                      and bits 15-12 in bits 31-28 around the JEDEC id
//   "wakeup"           the 15 words of region 4 (default: each type's first
//                      image in its slot, the boot image also in words 13-14),
//                      or an object of single words by number ({"13": 0})
//   "vpd"              region 14: {"identifier": text, "keywords": [[key,
//                      value], ...] or {key: value}, "word_reversed": bool}
//   "load_exp_rom"     {"start": 8 or 11, "continues": n, "finishes": n}:
//                      the continue that answers 9 and the finish that
//                      answers 11 (defaults 8, 2, 1; -1 never: stuck);
//                      "exp_rom" then holds the program id loaded
//   "objects"          an SLI-4 function's objects, name: hex (default: a
//                      Varrow FC function's "/vpd/fc_pf.vpd", a 140-byte
//                      head, region 14 and a 4-byte tail)
//   "change_status"    what the last chunk of "/prg" answers: 0 runs the
//                      image at once, 1 after the reboot, 2 or 3 after a
//                      reset of kind 3 (or the reboot); default 0 when the
//                      build version is the running one, else 2
//   "regions"          config regions by number: {"data": hex, "recreate":
//                      bool}; 4 (60 bytes), 14 (VPD), 16 (IEEE address =
//                      WWPN; 32 on SLI-4)
//   "kek", "kek_keys"  security mailbox of a device 0xF180 function: the
//                      download key id held (null: not supported) and the
//                      keys it takes, [{"id", "after"}]; a fault's "sub"
//                      matches its sub-command (byte 7). Such a function
//                      stores a downloaded PRG only when its key block
//                      names the key held (else status 3851)
//   "cfi_flash"        the function's flash chip behind control registers
//                      80, 84, 92, 96 and 100 (kind, channel, contents,
//                      faults: see sim/cfi_flash.h); its first load-list
//                      image then sits at 0x40004 and DUMP type 2 reads
//                      region n from the chip at 0x1E0000 + 4096 * n
//                      (seeded from "regions"). While a process holds the
//                      ownership the chip answers from that process's
//                      memory (planned faults of those calls do not fire);
//                      release or hand-back writes it to
//                      .hlvdsim/cfi_flash/ and logs a summary ("flash")
//   "temperature"      board temperature, null = not available
//   "persist_link_down", "link_state", "dump_env", "loopback", "board_env",
//   "resets", "registers", "ula", "nvparms", "config", "status"
//   "sli"              SLI_CONFIG data: "attributes" (texts), "boot_config",
//                      "profile" (72-byte descriptors, hex), "vpd" (hex),
//                      "phy" (7 numbers), "port_number", "port_names",
//                      "fw_versions" (2 texts), "fru" (hex, 1536 bytes),
//                      "ffv_name", "dport" (results), "features",
//                      "link_diag", "dport_mode", "factory_defaults"
//
// Mailbox status values of the simulated firmware (u16 at offset 2).
#ifndef HLVD_SIM_FC_HBA_H
#define HLVD_SIM_FC_HBA_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/machine.h"

namespace hlvdsim
{

// A command the simulated firmware does not know, or a board that does not
// take it on that path.
const uint16_t FC_MBX_UNKNOWN_COMMAND = 0xFFFB;
// An SLI_CONFIG sub-command that failed in its response header.
const uint16_t FC_MBX_SUBCMD_FAILED = 0x0001;
// UPDATE_CFG of a region that must be re-created first.
const uint16_t FC_MBX_RECREATE_REGION = 0xFFF5;
// Temperature not available.
const uint16_t FC_MBX_NO_TEMPERATURE = 0x00FA;
// LOAD_EXP_ROM out of its sequence (no start, a word 8 not brought back).
const uint16_t FC_MBX_BAD_SEQUENCE = 0x0004;
// A load-list entry that is not there.
const uint16_t FC_MBX_NO_ENTRY = 0x0003;
// A security sub-command the adapter does not support.
const uint16_t FC_MBX_SECURITY_UNSUPPORTED = 0x0F06;
// A download key refused: unknown, or not following the key held.
const uint16_t FC_MBX_KEK_REFUSED = 0x0F07;
// DOWN_LOAD erase: no room left in the flash load list (241).
const uint16_t FC_MBX_NO_FLASH_ROOM = 0x00F1;
// A signed adapter's download refused: the image is not signed for the key
// it holds (3851).
const uint16_t FC_MBX_IMAGE_KEY_REFUSED = 0x0F0B;

// Object commands refused in the SLI_CONFIG response header: status, and
// the additional status that says why.
const uint8_t FC_OBJ_STATUS_REFUSED = 0x01;
const uint8_t FC_OBJ_ADDL_BAD_REQUEST = 0x01; // malformed request, or a chunk out of order
const uint8_t FC_OBJ_ADDL_NO_OBJECT = 0xA0;   // no object of that name
const uint8_t FC_OBJ_ADDL_BAD_IMAGE = 0x5A;   // "/prg" whose grouped-image header is not the adapter's

// Library results.
const int FC_KPL_OK = 0;
const int FC_KPL_FAILED = 2;
const int FC_KPL_NO_TEMPERATURE = 3;
const int FC_KPL_BAD_BOARD = 1;

// Driver capabilities the library reports for a function.
struct FcCaps {
    uint32_t sli_level = 3;
    uint64_t features = 0;
};

// The function's "kpl" object shapes the driver record (see kpl.cpp).
FcCaps fc_driver_caps(const Adapter &a, const Function &f, const json &kpl);

// An FC-side function of the machine: adapter and function in machine order.
struct FcRef {
    size_t adapter;
    size_t function;
};

// The FC-side functions in the library's order (board = index).
std::vector<FcRef> fc_listing(const Machine &m);

// The current state of board `board` (defaults with what commands changed);
// null when there is no such board.
json fc_state(const std::string &sysroot, int board);

// One mailbox exchange. `call` is the library call carrying it:
// "IssueMboxWithRetry" (SLI-2/3 mailbox, `sent` bytes out, `room` bytes
// back), "IssueMboxWithRetryV2" (SLI-4 bootstrap mailbox and payload, `sent`
// = `room` bytes), "IssueMboxWithRetryEx" (mailbox of `sent` bytes with a
// data buffer of `data_in` bytes sent and `data_out` bytes of room).
int fc_mailbox(const std::string &sysroot, const char *call, int board, uint8_t *mbox, size_t sent, size_t room,
               uint8_t *data, size_t data_in, size_t data_out);

// KPL_IssueDumpMBox: *count bytes (in: wanted, out: read) of a region.
int fc_dump_region(const std::string &sysroot, int board, int type, int region, uint32_t offset, uint8_t *buffer,
                   uint32_t *count);

// KPL_IssueUpdateCfgMBox: kind 2 writes, kind 1 re-creates.
int fc_update_config(const std::string &sysroot, int board, int kind, int region, uint32_t length,
                     const uint8_t *data, uint32_t *response);

// The remaining calls, by library call name: "ResetAdapter" (args: kind),
// "SetDumpEnv" (state), "ConfigLoopback" (mode, parameter),
// "GetPersistLinkDown" (out: value), "SetPersistLinkDown" (value),
// "GetLinkInfo" (out: link state), "ReadCtlReg" (register; out: value),
// "WriteCtlReg" (register, value), "SetBrdEnv" (env). `out` receives the
// value a getter answers.
int fc_simple_call(const std::string &sysroot, const char *call, int board, const std::vector<long> &args,
                   uint32_t *out);

// A reboot of the one adapter `m` holds (as load_adapter fills it): each of
// its FC functions with a state starts the firmware its wakeup record names
// (see "running"). The caller saves the adapter.
void fc_reboot(Machine &m);

// The bytes of an object stored on an SLI-4 board ("/prg", "/vpd/fc_pf.vpd");
// false when it has none. Objects a machine description gives appear once
// the board has answered its first object command.
bool fc_object_bytes(const std::string &sysroot, int board, const std::string &name, std::vector<uint8_t> &out);

// Calls that read no adapter state (the listing, the driver record, PCI
// configuration): the result of a planned fault that fires for the call,
// which the caller then returns; false when none fires.
bool fc_call_fault(const std::string &sysroot, const char *call, int board, int *result);

// Appends the command-log entry of such a call (kind "fc").
void fc_log_call(const std::string &sysroot, const char *call, int board, const json &args, int result);

} // namespace hlvdsim

#endif
