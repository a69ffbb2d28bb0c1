#include "mgmt/aw/vexo-backend/boot_settings.h"

#include <cctype>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <vector>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/backend_iscsi_region.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/boot_targets.h"
#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/vexo_status.h"

using namespace bootwalk;

namespace
{

const size_t kAutoDiscoveryFlags = 4; // in BIOS_PARAMS
const size_t kEntryStatus = offsetof(ISCSI_MPIO_CONFIG_TLV, status);
const size_t kEntryValue = offsetof(ISCSI_MPIO_CONFIG_TLV, value);
const size_t kEntryBootLun = offsetof(ISCSI_TGT_BOOT_TLV, boot_lun);

VEXO_status_t done(node *property, char *value)
{
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

// The DHCP discovery flag of a port: one bit per port, so the ports of one
// adapter never read each other's setting.
uint8_t port_bit(unsigned int phba_port)
{
    return phba_port < 8 ? static_cast<uint8_t>(1u << phba_port) : 0;
}

// The first entry of `type` at least `size` bytes long (header included).
uint8_t *find_entry(VEXO_ISCSI_REGION *region, uint8_t type, uint32_t size)
{
    uint32_t area = region->header.length;
    if (area > ISCSI_REGION_MAX_ENTRIES)
        area = ISCSI_REGION_MAX_ENTRIES;
    uint8_t *data = region->tlv_data;
    for (uint32_t at = 0; at + 3 <= area;) {
        uint32_t step = static_cast<uint32_t>(data[at + 1] | data[at + 2] << 8) + 3;
        if (step > area - at)
            break;
        if (data[at] == type)
            return step >= size ? data + at : nullptr;
        at += step;
    }
    return nullptr;
}

// The 8 bytes a LUNNumber text shows, two hexadecimal digits per byte;
// bytes without digits stay 0.
void lun_from_text(const char *text, uint8_t lun[8])
{
    std::memset(lun, 0, 8);
    for (size_t i = 0; i < 8; ++i) {
        const char *p = text + 2 * i;
        if (!std::isxdigit(static_cast<unsigned char>(p[0])) || !std::isxdigit(static_cast<unsigned char>(p[1])))
            break;
        char pair[3] = {p[0], p[1], 0};
        lun[i] = static_cast<uint8_t>(std::strtoul(pair, nullptr, 16));
    }
}

// The LUN in the firmware's byte order: reversed when the firmware's boot
// LUN ends in 0.
void firmware_order(const uint8_t lun[8], const uint8_t fw[8], uint8_t out[8])
{
    for (int i = 0; i < 8; ++i)
        out[i] = fw[7] == 0 ? lun[7 - i] : lun[i];
}

bool read_boot_lun(const BootPlace &p, int32_t handle, uint8_t out[8])
{
    GET_BOOT_LUN rec;
    std::memset(&rec, 0, sizeof rec);
    for (int i = 0; i < 4; ++i)
        rec.data[i] = static_cast<uint8_t>(static_cast<uint32_t>(handle) >> (8 * i));
    if (ioctl_get_boot_lun(p.aw, &rec, p.domain, p.port) != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to Get Boot LUN\n", __func__);
        vexo_set_fixed_status(VEXO_STATUS_GET_BOOT_LUN);
        return false;
    }
    std::memcpy(out, rec.data, 8);
    return true;
}

bool read_bios(int aw, unsigned int domain, unsigned int port, BIOS_PARAMS *bios)
{
    std::memset(bios, 0, sizeof *bios);
    VEXO_status_t st = ioctl_get_bios_cfg(aw, bios, domain, port);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Bios Configuration IOCTL failed with status %d\n", __func__,
               st);
        vexo_set_fixed_status(VEXO_STATUS_BIOS_CONFIG_FAILED);
        return false;
    }
    return true;
}

// The LUN's BootLUN from the firmware: "N/A" when the Target's first
// Session is no boot session. 0 or 1.
int get_boot_lun(node *lun, const BootPlace &p)
{
    node *session = get_first_instance(p.target, "Session");
    char boot[VEXO_VALUE_SIZE];
    if (!session || !read_prop(session, "iSCSIBoot", boot))
        return 1;
    if (strcasecmp(boot, "False") == 0)
        return set_prop_val(lun, "BootLUN", "N/A") == VEXO_STATUS_SUCCESS ? 0 : 1;
    int32_t handle = 0;
    uint8_t fw[8];
    if (!session_handle_of(session, &handle) || !read_boot_lun(p, handle, fw))
        return 1;
    node *number = internal_get_node(lun, "LUNNumber", VEXO_NODE_PROPERTY);
    if (!number || !number->u.prop)
        return 1;
    uint8_t l[8], m[8];
    lun_from_text(number->u.prop->val, l);
    firmware_order(l, fw, m);
    // All eight bytes decide; LUNs that share one byte are different LUNs.
    bool same = std::memcmp(m, fw, 8) == 0;
    return set_prop_val(lun, "BootLUN", "%s", same ? "True" : "False") == VEXO_STATUS_SUCCESS ? 0 : 1;
}

int set_boot_lun(node *lun, const BootPlace &p)
{
    node *session = nullptr;
    for (node *s = get_first_instance(p.target, "Session"); s; s = next_group_instance(s)) {
        char boot[VEXO_VALUE_SIZE];
        if (read_prop(s, "iSCSIBoot", boot) && strcasecmp(boot, "True") == 0) {
            session = s;
            break;
        }
    }
    int32_t handle = 0;
    if (!session || !session_handle_of(session, &handle) || !lun->u.grp->handle)
        return 1;
    uint8_t l[8], fw[8], m[8];
    std::memcpy(l, lun->u.grp->handle, 8);
    if (!read_boot_lun(p, handle, fw))
        return 1;
    firmware_order(l, fw, m);
    SET_BOOT_LUN_IN req;
    std::memset(&req, 0, sizeof req);
    for (int i = 0; i < 4; ++i)
        req.data[i] = static_cast<uint8_t>(static_cast<uint32_t>(handle) >> (8 * i));
    std::memcpy(req.data + 4, m, 8);
    if (ioctl_set_boot_lun(p.aw, &req, p.domain, p.port) != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to set Boot LUN\n", __func__);
        vexo_set_fixed_status(VEXO_STATUS_SET_BOOT_LUN);
        return 1;
    }
    if (p.family != AW_TYPE_TRELMONT)
        return 0;
    long qualifier = 0;
    if (!isid_qualifier_of(session, &qualifier))
        return 1;
    VEXO_ISCSI_BOOT_REGION *region = VEXO_read_iscsi_boot_region(p.aw, p.domain, p.port, ISCSI_REGION_BOOT);
    if (!region)
        return 1;
    if (region->header.length == 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR,
               "%s:The Length from iSCSI Region header is zero, means there are no TLV's present.\n", __func__);
        vexo_dfree(region);
        return 1;
    }
    uint8_t *entry = find_boot_entry(region, qualifier);
    if (entry)
        std::memcpy(entry + kEntryBootLun, m, 8);
    int r = VEXO_write_iscsi_boot_region(p.aw, p.domain, p.port, ISCSI_REGION_BOOT, region) == 0 ? 0 : 1;
    if (r != 0)
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to write iSCSI boot region\n", __func__);
    vexo_dfree(region);
    return r;
}

// Runs an action of `group` with a first parameter; 1 when it has no
// handler.
VEXO_status_t run_action(node *group, node *action, int number)
{
    if (!action || !action->u.act || !action->u.act->func)
        return VEXO_STATUS_FAILURE;
    char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
    std::memset(params, 0, sizeof params);
    std::snprintf(params[0], VEXO_VALUE_SIZE, "%d", number);
    return action->u.act->func(group, action, params);
}

// Logs out the boot sessions of every Target of `lhba` and deletes the
// Targets that held only boot sessions. 0, or the failing step's status.
int drop_boot_sessions(node *lhba)
{
    std::vector<int> doomed;
    for (node *t = get_first_instance(lhba, "Target"); t; t = next_group_instance(t)) {
        node *logout = internal_get_node(t, "Logout", VEXO_NODE_ACTION);
        if (!logout) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get logout_action\n", __func__);
            return 1;
        }
        // Every Session by its instance number: a logout removes it, and
        // the numbers need not be dense.
        std::vector<int> sessions;
        for (node *s = get_first_instance(t, "Session"); s; s = next_group_instance(s))
            sessions.push_back(instance_number(s));
        bool boot_seen = false, other_seen = false;
        for (int k : sessions) {
            char name[32];
            std::snprintf(name, sizeof name, "%d", k);
            node *s = get_selected_group_node(t, "Session", name);
            if (!s)
                continue;
            char boot[VEXO_VALUE_SIZE];
            if (!read_prop(s, "iSCSIBoot", boot)) {
                pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to Get Boot session property value.\n",
                       __func__);
                return 1;
            }
            if (strcasecmp(boot, "True") != 0) {
                other_seen = true;
                continue;
            }
            boot_seen = true;
            char off[VEXO_VALUE_SIZE] = "False";
            if (internal_set_property(s, "iSCSIBoot", off) != VEXO_STATUS_SUCCESS) {
                pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to Set Boot session prop for session %d.\n",
                       __func__, k);
                return 1;
            }
            VEXO_status_t st = run_action(t, logout, k);
            if (st != VEXO_STATUS_SUCCESS) {
                pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Logout Failed\n", __func__);
                return st;
            }
        }
        if (boot_seen && !other_seen)
            doomed.push_back(instance_number(t));
    }
    node *remove = internal_get_node(lhba, "DeleteTarget", VEXO_NODE_ACTION);
    for (int t : doomed)
        if (run_action(lhba, remove, t) != VEXO_STATUS_SUCCESS)
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_WARNING, "%s: DeleteTarget %d failed\n", __func__, t);
    return 0;
}

} // namespace

VEXO_status_t handle_iSCSIBIOSEnable(node *property, char *value, int type)
{
    node *phba = property ? property->parent : nullptr;
    if (!phba || !value)
        return VEXO_STATUS_FAILURE;
    int aw = get_port_number(property);
    unsigned int domain = get_domain_id(property), port = get_phba_port_number(property);
    IOCTL_COMMON_GET_BOOT_CONFIG_PARAMS cur;
    std::memset(&cur, 0, sizeof cur);
    if (ioctl_get_boot_config(aw, &cur, domain, port, VEXO_DRIVER_ISCSI) != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_GET_BOOT_CONFIG);
        return VEXO_STATUS_FAILURE;
    }
    if (type == 0) {
        set_prop_val(phba, "iSCSIBIOSEnable", "%s", cur.response.boot_status == 1 ? "Yes" : "No");
        return done(property, value);
    }
    IOCTL_COMMON_SET_BOOT_CONFIG_PARAMS next;
    std::memcpy(&next, &cur, sizeof next);
    next.request.boot_status = strcasecmp(value, "Yes") == 0 ? 1 : 0;
    if (ioctl_set_boot_config(aw, &next, domain, port, VEXO_DRIVER_ISCSI) != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_SET_BOOT_CONFIG);
        return VEXO_STATUS_FAILURE;
    }
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_MPIOEnabled(node *property, char *value, int type)
{
    node *phba = property ? property->parent : nullptr;
    node *adapter = phba ? phba->parent : nullptr;
    if (!adapter || !value)
        return VEXO_STATUS_FAILURE;
    if (type == 0 && vm_flag)
        std::snprintf(value, VEXO_VALUE_SIZE, "N/A");
    if (get_aw_type(adapter) == AW_TYPE_UNREADABLE) {
        set_prop_val(phba, "MPIOEnabled", "N/A");
        return done(property, value);
    }
    int aw = get_port_number(property);
    unsigned int domain = get_domain_id(property), port = get_phba_port_number(property);
    VEXO_ISCSI_REGION *region = VEXO_read_iscsi_region(aw, domain, port, ISCSI_REGION_INITIATOR);
    if (!region) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Could not read iscsi region\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    VEXO_status_t r = VEXO_STATUS_SUCCESS;
    uint8_t *entry = find_entry(region, ISCSI_TLV_MPIO_CONFIG, sizeof(ISCSI_MPIO_CONFIG_TLV));
    if (region->header.length == 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:The Length from iSCSI TLV's is zero for partition%d\n",
               __func__, port);
        if (type == 0)
            answer_cached(property, value);
    } else if (type == 0) {
        if (entry)
            set_prop_val(phba, "MPIOEnabled", "%s", entry[kEntryValue] == 1 ? "True" : "False");
        answer_cached(property, value);
    } else if (vm_flag) {
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        r = VEXO_STATUS_FAILURE;
    } else {
        if (entry) {
            entry[kEntryStatus] = 1;
            entry[kEntryValue] = strcasecmp(value, "True") == 0 ? 1 : 0;
        }
        if (VEXO_write_iscsi_region(aw, domain, port, ISCSI_REGION_INITIATOR, region) != 0) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Could not write iscsi region\n", __func__);
            r = VEXO_STATUS_FAILURE;
        }
    }
    vexo_dfree(region);
    return r;
}

VEXO_status_t handle_BootLUN(node *property, char *value, int type)
{
    node *lun = property ? property->parent : nullptr;
    BootPlace p;
    if (!value || !locate(lun, &p) || !p.target || !p.lhba || !p.phba)
        return VEXO_STATUS_FAILURE;
    if (type == 0 && vm_flag)
        std::snprintf(value, VEXO_VALUE_SIZE, "N/A");
    if (p.family == AW_TYPE_AW2) {
        set_prop_val(lun, "BootLUN", "N/A");
        return done(property, value);
    }
    if (p.family == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    if (type == 0)
        return get_boot_lun(lun, p) == 0 ? done(property, value) : VEXO_STATUS_FAILURE;
    if (vm_flag) {
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return VEXO_STATUS_FAILURE;
    }
    if (strcasecmp(property->u.prop->val, "N/A") == 0) {
        vexo_set_fixed_status(VEXO_STATUS_CANNOT_CONF_BOOT_LUN);
        return VEXO_STATUS_FAILURE;
    }
    if (strcasecmp(value, "True") != 0) {
        // "False" names no boot LUN, so it never moves the boot LUN here;
        // on the LUN that is the boot LUN it cannot be done and fails.
        if (get_boot_lun(lun, p) != 0)
            return VEXO_STATUS_FAILURE;
        return strcasecmp(property->u.prop->val, "True") == 0 ? VEXO_STATUS_FAILURE : VEXO_STATUS_SUCCESS;
    }
    return set_boot_lun(lun, p) == 0 ? VEXO_STATUS_SUCCESS : VEXO_STATUS_FAILURE;
}

VEXO_status_t handle_DiscoverBootTargetThruDHCP(node *property, char *value, int type)
{
    node *discovery = property ? property->parent : nullptr;
    BootPlace p;
    if (!value || !locate(discovery, &p) || !p.lhba || !p.phba)
        return VEXO_STATUS_FAILURE;
    if (type == 0 && vm_flag)
        std::snprintf(value, VEXO_VALUE_SIZE, "N/A");
    if (p.family == AW_TYPE_AW2) {
        set_prop_val(discovery, "DiscoverBootTargetThruDHCP", "N/A");
        answer_cached(property, value);
        return VEXO_STATUS_FAILURE;
    }
    if (type == 0) {
        BIOS_PARAMS bios;
        if (!read_bios(p.aw, p.domain, p.port, &bios))
            return VEXO_STATUS_FAILURE;
        bool on = bios.data[kAutoDiscoveryFlags] & port_bit(p.port);
        set_prop_val(discovery, "DiscoverBootTargetThruDHCP", "%s", on ? "Enabled" : "Disabled");
        return done(property, value);
    }
    if (vm_flag) {
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return VEXO_STATUS_FAILURE;
    }
    return VEXO_perform_DiscoverBootTargetsThruDHCP(discovery, p.lhba, p.aw, p.domain, p.port, value) == 0
               ? VEXO_STATUS_SUCCESS
               : VEXO_STATUS_FAILURE;
}

int VEXO_perform_DiscoverBootTargetsThruDHCP(node *discovery, node *lhba, int aw_port_number, unsigned int domainId,
                                             unsigned int phba_port, const char *value)
{
    if (!discovery || !lhba || !value)
        return 1;
    char current[VEXO_VALUE_SIZE];
    if (!read_prop(discovery, "DiscoverBootTargetThruDHCP", current))
        return 1;
    if (strcasecmp(current, value) == 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:Already DiscoverBootTargetThruDHCP is enabled/disabled.\n",
               __func__);
        return 0;
    }
    const bool enable = strcasecmp(value, "Enabled") == 0;
    if (enable) {
        for (node *t = get_first_instance(lhba, "Target"); t; t = next_group_instance(t))
            for (node *s = get_first_instance(t, "Session"); s; s = next_group_instance(s)) {
                char boot[VEXO_VALUE_SIZE];
                if (!read_prop(s, "iSCSIBoot", boot))
                    return 1;
                if (strcasecmp(boot, "True") == 0) {
                    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Static Boot Targets are configured.\n", __func__);
                    vexo_set_fixed_status(VEXO_STATUS_STATIC_BOOT_TARGET_CONFIGURED);
                    return 1;
                }
            }
    } else {
        int r = drop_boot_sessions(lhba);
        if (r != 0)
            return r;
    }
    // Only this port's flag changes; the other fields stay as the firmware
    // holds them.
    BIOS_PARAMS bios;
    if (!read_bios(aw_port_number, domainId, phba_port, &bios))
        return 1;
    if (enable)
        bios.data[kAutoDiscoveryFlags] |= port_bit(phba_port);
    else
        bios.data[kAutoDiscoveryFlags] &= static_cast<uint8_t>(~port_bit(phba_port));
    VEXO_status_t st = ioctl_set_bios_cfg(aw_port_number, &bios, domainId, phba_port);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Bios Configuration IOCTL failed with status %d\n", __func__,
               st);
        vexo_set_fixed_status(VEXO_STATUS_BIOS_CONFIG_FAILED);
        return 1;
    }
    return 0;
}
