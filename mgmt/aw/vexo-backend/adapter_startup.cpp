#include "mgmt/aw/vexo-backend/adapter_startup.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/function_enum.h"
#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/aw/vexo-backend/personality.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vpd.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"

namespace
{

const uint8_t kLoopbackNotSupported = 254;
const uint32_t kPersonalityPayload = 512;
// Characters of the available-personalities text that are used.
const uint32_t kPersonalityTextMax = 255;

// A function number as the PCI group holds it: decimal, 0x hexadecimal or
// leading-zero octal, whole and not negative.
bool parse_function_number(const char *text, long *out)
{
    errno = 0;
    char *end = nullptr;
    long v = std::strtol(text, &end, 0);
    if (end == text || *end != '\0' || v < 0 || errno != 0)
        return false;
    *out = v;
    return true;
}

uint8_t *new_buffer(size_t size)
{
    uint8_t *buf = static_cast<uint8_t *>(vexo_dmalloc(size));
    if (!buf)
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
    else
        std::memset(buf, 0, size);
    return buf;
}

} // namespace

int write_hex_pieces(node *group, const char *prefix, int first, const uint8_t *data, size_t len)
{
    int result = 0;
    for (size_t at = 0, k = 0; at < len; at += VEXO_HEX_PIECE_BYTES, ++k) {
        size_t n = len - at < VEXO_HEX_PIECE_BYTES ? len - at : VEXO_HEX_PIECE_BYTES;
        char text[VEXO_VALUE_SIZE];
        // Two lower-case digits a byte, as "%02x" gives, without a format call per byte.
        static const char kDigits[] = "0123456789abcdef";
        for (size_t i = 0; i < n; ++i) {
            text[2 * i] = kDigits[data[at + i] >> 4];
            text[2 * i + 1] = kDigits[data[at + i] & 0x0f];
        }
        text[2 * n] = '\0';
        char name[VEXO_MAX_NAME_SIZE];
        std::snprintf(name, sizeof name, "%s%d", prefix, first + static_cast<int>(k));
        if (set_prop_val(group, name, "%s", text) != VEXO_STATUS_SUCCESS)
            result = 1;
    }
    return result;
}

void varrow_personalities(uint32_t bits, char *out)
{
    static const char *const kNames[] = {"NIC", "iSCSI", "FCoE", "RDMA"};
    out[0] = '\0';
    for (int i = 0; i < 4; ++i) {
        if (!(bits & (1u << i)))
            continue;
        size_t used = std::strlen(out);
        std::snprintf(out + used, VEXO_VALUE_SIZE - used, "%s%s", used ? "/" : "", kNames[i]);
    }
}

extern "C" int VEXO_update_vpd_data(node *function, int aw_port_number, int driver_type)
{
    node *adapter = function ? function->parent : nullptr;
    if (!adapter)
        return 1;
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE)
        return 1;
    unsigned int domain = get_domain_id(function);
    unsigned int phba_port = get_phba_port_number(function);
    node *pci = internal_get_node(function, "PCI", VEXO_NODE_GROUP);
    if (!pci) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get pci node\n", __func__);
        return 1;
    }
    node *vpd = internal_get_node(function, "VPD", VEXO_NODE_GROUP);
    if (!vpd) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get vpd node\n", __func__);
        return 1;
    }
    char text[VEXO_VALUE_SIZE] = "";
    if (internal_get_property(pci, "FunctionNumber", text) != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get function number\n", __func__);
        return 1;
    }
    long pf_num = 0;
    if (!parse_function_number(text, &pf_num)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: pf_num is invalid\n", __func__);
        return 1;
    }

    return get_vpd_data(aw_port_number, domain, phba_port, vpd, driver_type, static_cast<int>(pf_num));
}

extern "C" int VEXO_update_oem_props(node *adapter)
{
    node *oem = adapter ? internal_get_node(adapter, "OEM", VEXO_NODE_GROUP) : nullptr;
    if (!oem)
        return 1;
    if (vexo_on_vf(adapter)) {
        set_prop_val(oem, "OEMSerialNumber", "N/A");
        set_prop_val(oem, "PersonalityManagementWord", "N/A");
        set_prop_val(oem, "OrvaneSerialNumber", "N/A");
        return 1;
    }
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE || family == AW_TYPE_UNKNOWN)
        return 1;
    node *function = target_function(adapter);
    if (!function)
        return 1;
    int port = get_port_number(function);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s: aw_port_number = %d\n", __func__, port);
    IOCTL_COMMON_GET_OEM_ATTRIBUTES_PARAMS attrs;
    std::memset(&attrs, 0, sizeof attrs);
    if (ioctl_get_oem_params(port, &attrs, 0, 0, instance_number(adapter)) != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_OEM_PARAMS);
        return 1;
    }
    const uint8_t *o = attrs.response.orvane_serial_number;
    const uint8_t *s = attrs.response.oem_serial_number;
    uint32_t word = attrs.response.oem_personality_mgmt_word;
    int failed = 0;
    if (family == AW_TYPE_VARROW) {
        if (o[0] == 0 || o[0] == 0xFF)
            failed |= set_prop_val(oem, "OrvaneSerialNumber", "N/A");
        else
            failed |= set_prop_val(oem, "OrvaneSerialNumber", "%c%c%02x%02x%02x%02x", o[0], o[1], o[2], o[3], o[4],
                                   o[5]);
        char serial[sizeof attrs.response.oem_serial_number + 1];
        size_t i = 0;
        while (i < sizeof attrs.response.oem_serial_number && s[i] != 0 && s[i] != 0xFF) {
            serial[i] = static_cast<char>(s[i]);
            ++i;
        }
        serial[i] = '\0';
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s: i+1 = %d, oem_serial_number = %s\n", __func__,
               static_cast<int>(i) + 1, serial);
        if (s[0] == 0xFF || s[1] == 0)
            failed |= set_prop_val(oem, "OEMSerialNumber", "N/A");
        else
            failed |= set_prop_val(oem, "OEMSerialNumber", "%s", serial);
        failed |= set_prop_val(oem, "PersonalityManagementWord", "0x%08x", word);
        if (failed) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: failed to update the properties with status %d\n", __func__,
                   failed);
            return 1;
        }
        return 0;
    }
    failed |= set_prop_val(oem, "OrvaneSerialNumber", "%c%c%02x%02x%02x%02x%02x%02x%02x%02x%02x%02x", o[0], o[1],
                           o[2], o[3], o[4], o[5], o[6], o[7], o[8], o[9], o[10], o[11]);
    failed |= set_prop_val(oem, "OEMSerialNumber", "%.*s", static_cast<int>(sizeof attrs.response.oem_serial_number),
                           reinterpret_cast<const char *>(s));
    failed |= set_prop_val(oem, "PersonalityManagementWord", "0x%08x", word);
    return failed ? 1 : 0;
}

extern "C" int VEXO_update_available_personalities(node *adapter)
{
    node *personality = adapter ? internal_get_node(adapter, "Personality", VEXO_NODE_GROUP) : nullptr;
    if (!personality)
        return 1;
    if (vexo_on_vf(adapter)) {
        set_prop_val(personality, "AvailablePersonalities", "N/A");
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return 1;
    }
    node *function = target_function(adapter);
    if (!function)
        return 1;
    int port = get_port_number(function);
    unsigned int phba_port = get_phba_port_number(function);
    unsigned int domain = get_domain_id(function);
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE)
        return 1;
    if (family == AW_TYPE_AW2 || family == AW_TYPE_AW3) {
        IOCTL_COMMON_GET_AVAILABLE_PERSONALITIES *cmd = reinterpret_cast<IOCTL_COMMON_GET_AVAILABLE_PERSONALITIES *>(
            new_buffer(sizeof(IOCTL_COMMON_GET_AVAILABLE_PERSONALITIES)));
        if (!cmd)
            return 1;
        VEXO_status_t status = ioctl_get_available_personalities(port, cmd, domain, phba_port, adapter_driver(adapter));
        if (status != VEXO_STATUS_SUCCESS) {
            vexo_dfree(cmd);
            vexo_set_fixed_status(VEXO_STATUS_GET_AVAIL_PERSONALITIES_FAILED);
            return 1;
        }
        // The firmware's length is held within the answer and the value's room.
        uint32_t len = cmd->hdr.response.response_length;
        if (len > kPersonalityPayload)
            len = kPersonalityPayload;
        if (len > kPersonalityTextMax)
            len = kPersonalityTextMax;
        char text[VEXO_VALUE_SIZE];
        size_t n = strnlen(reinterpret_cast<const char *>(cmd->params), len);
        std::memcpy(text, cmd->params, n);
        text[n] = '\0';
        vexo_dfree(cmd);
        set_prop_val(personality, "AvailablePersonalities", "%s", text);
        return 0;
    }
    if (family == AW_TYPE_VARROW) {
        IOCTL_COMMON_GET_OEM_ATTRIBUTES_PARAMS attrs;
        std::memset(&attrs, 0, sizeof attrs);
        if (ioctl_get_oem_params(port, &attrs, domain, phba_port, instance_number(adapter)) != VEXO_STATUS_SUCCESS) {
            vexo_set_fixed_status(VEXO_STATUS_OEM_PARAMS);
            return 1;
        }
        // The personality bits are the low four bits of the management word.
        uint32_t bits = attrs.response.oem_personality_mgmt_word & 0xF;
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s: personality_value = 0x%x\n", __func__, bits);
        char text[VEXO_VALUE_SIZE];
        varrow_personalities(bits, text);
        int failed = set_prop_val(personality, "AvailablePersonalities", "%s", text);
        if (failed) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: failed to update the properties with status %d\n", __func__,
                   failed);
            return 1;
        }
        return 0;
    }
    return 0;
}

extern "C" int VEXO_update_current_personality(node *adapter)
{
    node *personality = adapter ? internal_get_node(adapter, "Personality", VEXO_NODE_GROUP) : nullptr;
    if (!personality)
        return 1;
    if (vexo_on_vf(adapter)) {
        set_prop_val(personality, "CurrentPersonality", "N/A");
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return 1;
    }
    node *function = target_function(adapter);
    if (!function)
        return 1;
    int port = get_port_number(function);
    int r = VEXO_get_adapter_current_personality(port, 0, 0, adapter, personality);
    if (r == VEXO_STATUS_INVALID_OPCODE || r == VEXO_STATUS_TRY_PROFILE_V0)
        return VEXO_get_legacy_adapter_current_personality(port, 0, 0, adapter, personality) != 0 ? 1 : 0;
    return r == 1 ? 1 : 0;
}

extern "C" int VEXO_update_diagnostics_prop(node *adapter)
{
    node *diagnostics = adapter ? internal_get_node(adapter, "Diagnostics", VEXO_NODE_GROUP) : nullptr;
    if (!diagnostics)
        return 1;
    node *port_group = get_first_instance(adapter, "PortDiscoveryAndConfiguration");
    if (!port_group)
        return 1;
    int port = get_port_number(port_group);
    unsigned int domain = get_domain_id(port_group);
    unsigned int phba_port = get_phba_port_number(port_group);
    IOCTL_LOWLEVEL_GET_LOOPBACK_MODE_PARAMS mode;
    std::memset(&mode, 0, sizeof mode);
    mode.request.port_num = static_cast<uint8_t>(phba_port);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:getloopbackmodeparams.request.port_num = %d\n", __func__,
           mode.request.port_num);
    int driver = get_port_bitmap(instance_number(adapter), static_cast<int>(phba_port));
    VEXO_status_t status = ioctl_get_loopbackmode(port, &mode, domain, phba_port, driver);
    if (status != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Get Loopback IOCTL failed with status %d\n", __func__, status);
        return 1;
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:getloopbackmodeparams.response.loopback_mode %d\n", __func__,
           mode.response.loopback_mode);
    set_prop_val(diagnostics, "IsLoopBackSupported", "%s",
                 mode.response.loopback_mode == kLoopbackNotSupported ? "False" : "True");
    return 0;
}

extern "C" int VEXO_update_is_clear_counter(int aw_port_number, node *port_group)
{
    node *adapter = port_group ? port_group->parent : nullptr;
    node *baset = port_group ? internal_get_node(port_group, "BaseT10G", VEXO_NODE_GROUP) : nullptr;
    if (!port_group || !adapter || !baset)
        return 1;
    if (get_aw_type(adapter) != AW_TYPE_TRELMONT) {
        set_prop_val(baset, "IsClearCountersSupported", "N/A");
        return 0;
    }
    unsigned int domain = get_domain_id(port_group);
    unsigned int phba_port = get_phba_port_number(port_group);
    GET_10GBASET_STATS_PARAMS_V1 stats;
    std::memset(&stats, 0, sizeof stats);
    stats.request.phy_addr = phba_port;
    int driver = get_port_bitmap(instance_number(adapter), static_cast<int>(phba_port));
    VEXO_status_t status = ioctl_get_baseT_stats_v1(aw_port_number, &stats, domain, phba_port, driver);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:status of ioctl_get_baseT_stats = %d\n", __func__, status);
    return set_prop_val(baset, "IsClearCountersSupported", "%s", status == VEXO_STATUS_SUCCESS ? "True" : "False");
}
