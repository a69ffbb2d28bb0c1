#include "mgmt/aw/vexo-backend/fat_log.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/varrow_flash.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "os/atomic_file.h"

namespace
{

const uint32_t kFatFixed = 20;   // FAT request before its data
const uint32_t kFatAnswer = 16;  // FAT answer before its data
const uint32_t kFatQuery = 1;
const uint32_t kFatRead = 0;
const uint32_t kFatClear = 2;
const uint32_t kSkippedFatBytes = 4; // the log's first word is not part of the file
const uint32_t kSnapshotMemory = 0;
const uint32_t kSnapshotFlash = 1;

// Where a handler's commands go: the adapter's first iSCSI function (else
// its first NIC function), with the domain and physical port of the node
// the handler runs for.
struct Target {
    node *adapter;
    int port;
    uint32_t domain;
    uint32_t phba_port;
    int chip;
};

bool find_target(node *group, node *called_for, Target *t)
{
    node *adapter = group ? group->parent : nullptr;
    node *function = target_function(adapter);
    if (!function)
        return false;
    t->adapter = adapter;
    t->port = get_port_number(function);
    t->domain = get_domain_id(called_for);
    t->phba_port = get_phba_port_number(called_for);
    t->chip = instance_number(adapter);
    return true;
}

VEXO_status_t fat_command(const Target &t, uint32_t operation, uint32_t *log_size)
{
    IOCTL_COMMON_MANAGE_FAT_PARAMS r;
    std::memset(&r, 0, sizeof r);
    r.request.fat_operation = operation;
    VEXO_status_t st = operation == kFatClear ? ioctl_clear_fat(t.port, &r, t.domain, t.phba_port, t.chip)
                                              : ioctl_retrieve_fat(t.port, &r, t.domain, t.phba_port, t.chip);
    if (st == VEXO_STATUS_SUCCESS && log_size)
        *log_size = r.response.log_size;
    return st;
}

// One object-read command for "/dbg/dump.bin" through the NIC driver.
bool read_dump_piece(const Target &t, VARROW_IOCTL_COMMON_READ_OBJECT_PARAMS_V1 *r, uint32_t length, uint32_t offset,
                     const char *caller)
{
    std::memset(r, 0, sizeof *r);
    r->params.request.read_length = length & VARROW_OBJECT_LENGTH_MASK;
    r->params.request.read_offset = offset;
    std::snprintf(r->params.request.object_name, sizeof r->params.request.object_name, "%s", VARROW_DUMP_OBJECT);
    VEXO_status_t st = ioctl_common_read_object_v1(t.port, r, static_cast<uint16_t>(sizeof *r), t.domain, t.phba_port,
                                                   VEXO_DRIVER_NIC);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: status of ioctl_common_read_object = %d\n", caller, st);
        return false;
    }
    return true;
}

// The whole Varrow FAT object, read as the object reads of the firmware
// flashing do: its size first, then chunks until the firmware marks the
// end. 0, or 1 with the last status 16, 65 or 271.
int read_dump_object(const Target &t, std::vector<uint8_t> *out)
{
    VARROW_IOCTL_COMMON_READ_OBJECT_PARAMS_V1 *r =
        static_cast<VARROW_IOCTL_COMMON_READ_OBJECT_PARAMS_V1 *>(vexo_dmalloc(sizeof *r));
    if (!r) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return 1;
    }
    int result = 1;
    uint32_t remaining = 0;
    if (!read_dump_piece(t, r, 0, 0, "varrow_get_read_object")) {
        vexo_set_fixed_status(VEXO_STATUS_FAT_DATA);
    } else {
        remaining = r->params.response.actual_read_length;
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s: actual_read_length = %u\n", __func__, remaining);
        if (remaining == 0)
            vexo_set_fixed_status(VEXO_STATUS_NO_DATA_AVAILABLE);
        else
            result = 0;
    }
    uint32_t offset = 0;
    bool eof = false;
    while (result == 0 && remaining > 0 && !eof) {
        uint32_t ask = remaining < VARROW_OBJECT_CHUNK ? remaining : VARROW_OBJECT_CHUNK;
        if (!read_dump_piece(t, r, ask, offset, "varrow_get_read_object")) {
            vexo_set_fixed_status(VEXO_STATUS_FAT_DATA);
            result = 1;
            break;
        }
        uint32_t got = r->params.response.actual_read_length;
        if (got == 0) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: No data has been read\n", __func__);
            vexo_set_fixed_status(VEXO_STATUS_NO_DATA_AVAILABLE);
            result = 1;
            break;
        }
        // More than was asked for would run past the answer and the object.
        if (got > ask) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: %u bytes read for %u asked\n", __func__, got, ask);
            vexo_set_fixed_status(VEXO_STATUS_FAT_DATA);
            result = 1;
            break;
        }
        out->insert(out->end(), r->params.response.read_data, r->params.response.read_data + got);
        eof = (r->params.response.eof & VARROW_READ_EOF) != 0;
        remaining -= got;
        offset += got;
    }
    vexo_dfree(r);
    return result;
}

uint32_t word_at(const uint8_t *p)
{
    uint32_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

} // namespace

VEXO_status_t handle_FATDataValid(node *property, char *value, int)
{
    node *group = property ? property->parent : nullptr;
    node *adapter = group ? group->parent : nullptr;
    if (!adapter)
        return VEXO_STATUS_FAILURE;
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    Target t;
    if (!find_target(group, property, &t))
        return VEXO_STATUS_FAILURE;
    // Inside a virtual function the answer stays "N/A" unless it is read.
    if (vm_flag && value)
        std::snprintf(value, VEXO_VALUE_SIZE, "N/A");
    bool has_data = false;
    if (family == AW_TYPE_VARROW) {
        VARROW_IOCTL_COMMON_READ_OBJECT_PARAMS_V1 *r =
            static_cast<VARROW_IOCTL_COMMON_READ_OBJECT_PARAMS_V1 *>(vexo_dmalloc(sizeof *r));
        if (!r) {
            vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
            return VEXO_STATUS_FAILURE;
        }
        bool ok = read_dump_piece(t, r, 0, 0, __func__);
        has_data = ok && r->params.response.actual_read_length != 0;
        vexo_dfree(r);
        if (!ok)
            return VEXO_STATUS_FAILURE;
    } else {
        uint32_t size = 0;
        if (fat_command(t, kFatQuery, &size) != VEXO_STATUS_SUCCESS) {
            vexo_set_fixed_status(VEXO_STATUS_FAT_DATA);
            return VEXO_STATUS_FAILURE;
        }
        has_data = size != 0;
    }
    VEXO_status_t st = set_prop_val(group, "FATDataValid", "%s", has_data ? "Yes" : "No");
    answer_cached(property, value);
    return st;
}

VEXO_status_t do_RetrieveFATData(node *context, node *, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    char valid[VEXO_VALUE_SIZE] = "";
    if (!context || internal_get_property(context, "FATDataValid", valid) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    if (strcasecmp(valid, "No") == 0) {
        vexo_set_fixed_status(VEXO_STATUS_NO_FAT_DATA);
        return VEXO_STATUS_SUCCESS;
    }
    Target t;
    if (!find_target(context, context, &t) || get_aw_type(t.adapter) == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    const char *file_name = params[0];

    if (get_aw_type(t.adapter) == AW_TYPE_VARROW) {
        // A fresh file of the object's bytes, replacing the old one only
        // when the whole object was read.
        std::vector<uint8_t> object;
        if (read_dump_object(t, &object) != 0)
            return VEXO_STATUS_FAILURE;
        if (replace_file_atomically(file_name, object.data(), object.size(), 0644) != 0) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to open a file in write mode\n", __func__);
            vexo_set_fixed_status(VEXO_STATUS_INVALID_FAT_FILE);
            return VEXO_STATUS_FAILURE;
        }
        return VEXO_STATUS_SUCCESS;
    }

    uint32_t size = 0;
    if (fat_command(t, kFatQuery, &size) != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_FAT_DATA);
        return VEXO_STATUS_FAILURE;
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:log_size = %u\n", __func__, size);
    // The file leaves out the log's first word: a shorter log has nothing
    // to give.
    if (size < kSkippedFatBytes) {
        vexo_set_fixed_status(VEXO_STATUS_NO_FAT_DATA);
        return VEXO_STATUS_SUCCESS;
    }
    uint8_t *log = static_cast<uint8_t *>(vexo_dmalloc(size));
    if (!log) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return VEXO_STATUS_FAILURE;
    }
    std::memset(log, 0, size);
    VEXO_status_t result = VEXO_STATUS_SUCCESS;
    uint32_t offset = 0;
    uint32_t remaining = size;
    while (remaining != 0) {
        uint32_t n = remaining < VEXO_FAT_PIECE ? remaining : VEXO_FAT_PIECE;
        uint8_t *req = static_cast<uint8_t *>(vexo_dmalloc(n + kFatFixed));
        if (!req) {
            vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
            result = VEXO_STATUS_FAILURE;
            break;
        }
        std::memset(req, 0, n + kFatFixed);
        IOCTL_COMMON_MANAGE_FAT_PARAMS *r = reinterpret_cast<IOCTL_COMMON_MANAGE_FAT_PARAMS *>(req);
        r->request.fat_operation = kFatRead;
        r->request.read_log_offset = offset;
        r->request.read_log_length = n;
        r->request.data_buffer_size = n;
        VEXO_status_t st = ioctl_retrieve_fat(t.port, r, t.domain, t.phba_port, t.chip);
        if (st != VEXO_STATUS_SUCCESS) {
            vexo_dfree(req);
            vexo_set_fixed_status(VEXO_STATUS_FAT_DATA);
            result = st;
            break;
        }
        std::memcpy(log + offset, req + kFatAnswer, n);
        vexo_dfree(req);
        remaining -= n;
        offset += n;
    }
    if (result == VEXO_STATUS_SUCCESS &&
        replace_file_atomically(file_name, log + kSkippedFatBytes, size - kSkippedFatBytes, 0644) != 0) {
        vexo_set_fixed_status(VEXO_STATUS_INVALID_FAT_FILE);
        result = VEXO_STATUS_FAILURE;
    }
    vexo_dfree(log);
    return result;
}

VEXO_status_t do_ClearFATData(node *context, node *, char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    Target t;
    if (!find_target(context, context, &t))
        return VEXO_STATUS_FAILURE;
    if (fat_command(t, kFatClear, nullptr) != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_FAT_DATA);
        return VEXO_STATUS_FAILURE;
    }
    return VEXO_STATUS_SUCCESS;
}

int read_extfat_string_table(node *adapter, std::vector<uint8_t> *table)
{
    node *function = target_function(adapter);
    if (!function || !table)
        return 1;
    const int port = get_port_number(function);
    const uint32_t domain = get_domain_id(function);
    const uint32_t phba_port = get_phba_port_number(function);
    const int chip = instance_number(adapter);
    uint8_t *block = static_cast<uint8_t *>(vexo_dmalloc(EXT_FAT_BLOCK_SIZE));
    if (!block) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to Allocate memory\n", __func__);
        return 1;
    }
    table->clear();
    int result = 0;
    uint32_t offset = 0;
    for (;;) {
        std::memset(block, 0, EXT_FAT_BLOCK_SIZE);
        EXT_FAT_READ_STRING_TABLE_IN in = {offset, VEXO_STRING_TABLE_PIECE};
        std::memcpy(block, &in, sizeof in);
        VEXO_status_t st = ioctl_read_extfat_string_table(port, reinterpret_cast<EXT_FAT_READ_STRING_TABLE *>(block),
                                                          EXT_FAT_BLOCK_SIZE, domain, phba_port, chip);
        EXT_FAT_READ_STRING_TABLE_OUT out;
        std::memcpy(&out, block, sizeof out);
        // An answer beyond what was asked for, or a table beyond its bound,
        // is a firmware fault like a failed command.
        bool bad = st == VEXO_STATUS_SUCCESS && (out.num_returned_bytes > VEXO_STRING_TABLE_PIECE ||
                                                 out.num_returned_bytes > VEXO_STRING_TABLE_MAX - table->size());
        if (st != VEXO_STATUS_SUCCESS || bad) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to read the string table at %u\n", __func__, offset);
            vexo_set_fixed_status(VEXO_STATUS_READ_STRING_TABLE);
            table->clear();
            result = 1;
            break;
        }
        if (out.num_returned_bytes == 0)
            break;
        table->insert(table->end(), block + sizeof out, block + sizeof out + out.num_returned_bytes);
        offset += out.num_returned_bytes;
        if (out.num_remaining_bytes == 0)
            break;
    }
    vexo_dfree(block);
    return result;
}

VEXO_status_t do_RetrieveARMLog(node *context, node *, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    Target t;
    if (!find_target(context, context, &t))
        return VEXO_STATUS_FAILURE;
    const char *file_name = params[0];
    const bool flash = strcasecmp(params[1], "FLASH") == 0;

    std::vector<uint8_t> table;
    // Its failure shows as a missing table below.
    const bool have_table = read_extfat_string_table(t.adapter, &table) == 0;

    VEXO_status_t result = VEXO_STATUS_SUCCESS;
    bool write_file = false;
    uint32_t total = 0;
    if (!flash) {
        ARM_LOG_CREATE_SNAPSHOT_PARAMS snap;
        std::memset(&snap, 0, sizeof snap);
        if (ioctl_configure_extfat_snapshot(t.port, &snap, t.domain, t.phba_port, t.chip) != VEXO_STATUS_SUCCESS) {
            vexo_set_fixed_status(VEXO_STATUS_EXTFAT_CONFIGURE_SNAPSHOT);
            result = VEXO_STATUS_FAILURE;
        } else {
            total = word_at(snap.data);
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:total_log_entries = %u\n", __func__, total);
            if (total == 0) {
                vexo_set_fixed_status(VEXO_STATUS_NO_EXTFAT_DATA);
                result = VEXO_STATUS_FAILURE;
            } else if (total > VEXO_TRACE_RECORDS_MAX) {
                vexo_set_fixed_status(VEXO_STATUS_EXTFAT_CONFIGURE_SNAPSHOT);
                result = VEXO_STATUS_FAILURE;
            }
        }
    }
    uint8_t *block = nullptr;
    if (result == VEXO_STATUS_SUCCESS) {
        block = static_cast<uint8_t *>(vexo_dmalloc(EXT_FAT_BLOCK_SIZE));
        if (!block) {
            vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_BUFFER);
            result = VEXO_STATUS_FAILURE;
        }
    }
    if (result == VEXO_STATUS_SUCCESS && !have_table) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to open a file in read mode\n", __func__);
        if (flash)
            vexo_set_fixed_status(VEXO_STATUS_INVALID_FILE_PATH_NAME);
        result = VEXO_STATUS_FAILURE;
    }

    std::vector<uint8_t> log;
    if (result == VEXO_STATUS_SUCCESS) {
        log = table;
        uint32_t start = 0;
        uint32_t left = total;
        while (flash || left > 0) {
            std::memset(block, 0, EXT_FAT_BLOCK_SIZE);
            EXT_FAT_RETRIEVE_SNAPSHOT_PARAMS_IN in = {flash ? kSnapshotFlash : kSnapshotMemory, start,
                                                      VEXO_TRACE_RECORDS_PER_READ};
            std::memcpy(block, &in, sizeof in);
            VEXO_status_t st = ioctl_retrieve_extfat_snapshot(
                t.port, reinterpret_cast<EXT_FAT_RETRIEVE_SNAPSHOT_PARAMS *>(block), EXT_FAT_BLOCK_SIZE, t.domain,
                t.phba_port, t.chip);
            uint32_t count = word_at(block);
            // More records than asked for, or a log past its bound, is a
            // failed retrieval, not a reason to read on.
            if (st != VEXO_STATUS_SUCCESS || count > VEXO_TRACE_RECORDS_PER_READ ||
                count > VEXO_TRACE_RECORDS_MAX - start) {
                pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to retrieve the records at %u\n", __func__,
                       start);
                vexo_set_fixed_status(VEXO_STATUS_RETRIEVE_EXTFAT_DATA);
                result = VEXO_STATUS_FAILURE;
                break;
            }
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:start_index = %u num_log_entries = %u\n", __func__, start,
                   count);
            if (flash && start == 0 && count <= 1) {
                // An empty flash log: the file holds the string table alone.
                vexo_set_fixed_status(VEXO_STATUS_NO_EXTFAT_DATA);
                result = VEXO_STATUS_FAILURE;
                write_file = true;
                break;
            }
            if (count == 0)
                break;
            if (!flash) {
                if (count < left)
                    left -= count;
                else
                    left = 0;
            }
            start += count;
            const uint8_t *records = block + sizeof(EXT_FAT_RETRIEVE_SNAPSHOT_PARAMS_OUT);
            log.insert(log.end(), records, records + size_t(count) * sizeof(ARM_TRACE_RECORD));
        }
        if (result == VEXO_STATUS_SUCCESS)
            write_file = true;
    }
    vexo_dfree(block);

    // The file is replaced whole, so a failed retrieval leaves the old one.
    if (write_file && replace_file_atomically(file_name, log.data(), log.size(), 0644) != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to open a file in write mode\n", __func__);
        if (!flash && result == VEXO_STATUS_SUCCESS)
            vexo_set_fixed_status(VEXO_STATUS_INVALID_FILE_PATH_NAME);
        result = VEXO_STATUS_FAILURE;
    }
    return result;
}
