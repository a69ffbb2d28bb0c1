#include "mgmt/aw/vexo-backend/pci_config_dump.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "mgmt/aw/vexo-backend/linux/driver_queries.h"
#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"

namespace
{

const int kSpaceSize = 256;

// An integer parameter with base detection (decimal, 0x hexadecimal,
// leading-zero octal); false for trailing characters or a value outside
// [lo, hi].
bool parameter(const char *text, long lo, long hi, long *out)
{
    if (!text || !text[0])
        return false;
    char *end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 0);
    if (errno != 0 || *end != '\0' || v < lo || v > hi)
        return false;
    *out = v;
    return true;
}

// RegisterOffset and Count of a dump; the API has checked their ranges, a
// value that still does not fit the configuration space is refused.
bool dump_range(char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE], int *offset, int *count, const char *caller)
{
    long o = 0, n = 0;
    if (!parameter(params[0], 0, kSpaceSize - 1, &o) || !parameter(params[1], 1, kSpaceSize, &n)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:invalid RegisterOffset or Count\n", caller);
        vexo_set_fixed_status(VEXO_STATUS_CANNOT_READ_PCI_DATA);
        return false;
    }
    *offset = static_cast<int>(o);
    *count = static_cast<int>(n);
    return true;
}

// Reads the configuration space through the firmware and records the dump.
VEXO_status_t firmware_dump(node *context, int driver_type, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE],
                            const char *caller)
{
    int offset = 0, count = 0;
    if (!dump_range(params, &offset, &count, caller))
        return VEXO_STATUS_FAILURE;
    IOCTL_COMMON_READ_PCI_CONFIG_SPACE_PARAMS rec;
    std::memset(&rec, 0, sizeof rec);
    rec.request.offset = static_cast<uint32_t>(offset);
    rec.request.data_length = static_cast<uint32_t>(count);
    VEXO_status_t status = ioctl_read_pci_conf(get_port_number(context), &rec, get_domain_id(context),
                                               get_phba_port_number(context), driver_type);
    if (status != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_read_pci_conf failed with status = %d\n", caller, status);
        vexo_set_fixed_status(VEXO_STATUS_CANNOT_READ_PCI_DATA);
        return VEXO_STATUS_FAILURE;
    }
    uint8_t space[kSpaceSize];
    for (int i = 0; i < kSpaceSize / 4; ++i)
        for (int b = 0; b < 4; ++b)
            space[i * 4 + b] = static_cast<uint8_t>(rec.response.pci_data[i] >> (8 * b));
    char text[VEXO_LAST_STATUS_SIZE];
    pci_dump_text(space, offset, count, text, sizeof text);
    vexo_set_last_status(VEXO_STATUS_DUMP_PCI_DATA, text);
    return VEXO_STATUS_SUCCESS;
}

} // namespace

void pci_dump_text(const uint8_t space[256], int offset, int count, char *out, size_t size)
{
    if (!out || size == 0)
        return;
    out[0] = '\0';
    size_t len = 0;
    for (int i = 0; i < count && offset + i < kSpaceSize && len + 5 <= size; ++i) {
        if (i != 0 && i % 16 == 0)
            out[len++] = '\n';
        // "%02x " by hand: this runs for every byte of every dump.
        static const char kDigits[] = "0123456789abcdef";
        uint8_t v = space[offset + i];
        out[len++] = kDigits[v >> 4];
        out[len++] = kDigits[v & 0x0f];
        out[len++] = ' ';
        out[len] = '\0';
    }
}

VEXO_status_t do_DumpiSCSIPCIConfigRegion(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    if (!context || !action || !params)
        return VEXO_STATUS_FAILURE;
    return firmware_dump(context, VEXO_DRIVER_ISCSI, params, __func__);
}

VEXO_status_t do_DumpNICPCIConfigRegion(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    node *function = context ? context->parent : nullptr;
    node *adapter = function ? function->parent : nullptr;
    if (!adapter || !action || !params)
        return VEXO_STATUS_FAILURE;
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get the be_type\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    if (family != AW_TYPE_VARROW)
        return firmware_dump(context, VEXO_DRIVER_NIC, params, __func__);
    // Varrow answers through the NIC driver's configuration-read callback.
    int offset = 0, count = 0;
    if (!dump_range(params, &offset, &count, __func__))
        return VEXO_STATUS_FAILURE;
    // Only bytes the space has are asked for and shown.
    if (count > kSpaceSize - offset)
        count = kSpaceSize - offset;
    char text[VEXO_PCI_TEXT_SIZE];
    // The driver's read failure has no status of its own.
    if (VEXO_get_varrow_pci_data(get_port_number(context), offset, count, text) != 0)
        return VEXO_STATUS_FAILURE;
    vexo_set_last_status(VEXO_STATUS_DUMP_PCI_DATA, text);
    return VEXO_STATUS_SUCCESS;
}
