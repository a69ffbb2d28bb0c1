#include "mgmt/aw/vexo-backend/boot_targets.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/backend_iscsi_region.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/byte_order.h"
#include "mgmt/aw/vexo-backend/iscsi_objects.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/vexo_status.h"

using namespace bootwalk;

namespace bootwalk
{

namespace
{

node *ancestor(node *n, const char *name)
{
    for (; n; n = n->parent) {
        if (n->node_type == VEXO_NODE_GROUP && n->node_name && vexo_is_instance(n) &&
            strcasecmp(n->node_name, name) == 0)
            return n;
        if (n->parent == n)
            break;
    }
    return nullptr;
}

} // namespace

bool locate(node *group, BootPlace *p)
{
    std::memset(p, 0, sizeof *p);
    if (!group || group->node_type != VEXO_NODE_GROUP)
        return false;
    p->session = group;
    p->target = ancestor(group, "Target");
    p->lhba = ancestor(group, "LogicalHBA");
    p->phba = ancestor(group, "iSCSIPhysicalHBA");
    char instance[16];
    std::snprintf(instance, sizeof instance, "%d", get_aw_instance(group));
    p->adapter = get_selected_group_node(get_node(0), "Arcwright", instance);
    if (!p->adapter)
        return false;
    p->aw = get_port_number(group);
    p->domain = get_domain_id(group);
    p->port = get_phba_port_number(group);
    p->family = get_aw_type(p->adapter);
    p->handle_ok = session_handle_of(group, &p->handle);
    return true;
}

bool read_prop(node *group, const char *name, char *out)
{
    // A get with an answer that equals the cached value returns at once.
    std::memset(out, 0, VEXO_VALUE_SIZE);
    return internal_get_property(group, name, out) == VEXO_STATUS_SUCCESS;
}

bool session_handle_of(node *session, int32_t *out)
{
    if (!session || session->node_type != VEXO_NODE_GROUP || !session->u.grp || !session->u.grp->handle)
        return false;
    *out = static_cast<const node_handle *>(session->u.grp->handle)->session_handle;
    return true;
}

bool isid_qualifier_of(node *session, long *out)
{
    node *q = session ? internal_get_node(session, "ISIDQualifier", VEXO_NODE_PROPERTY) : nullptr;
    if (!q || !q->u.prop)
        return false;
    *out = std::strtol(q->u.prop->val, nullptr, 16);
    return true;
}

uint8_t *find_boot_entry(VEXO_ISCSI_BOOT_REGION *region, long qualifier)
{
    const size_t kQualifier = offsetof(ISCSI_TGT_BOOT_TLV, isid_qualifier);
    uint32_t area = region->header.length;
    if (area > ISCSI_REGION_MAX_ENTRIES)
        area = ISCSI_REGION_MAX_ENTRIES;
    uint8_t *data = region->tlv_data;
    for (uint32_t at = 0; at + 3 <= area;) {
        uint32_t size = static_cast<uint32_t>(data[at + 1] | data[at + 2] << 8) + 3;
        if (size > area - at)
            break;
        if (data[at] == ISCSI_TLV_BOOT_TARGET && size >= kQualifier + 2 &&
            static_cast<long>(data[at + kQualifier] | data[at + kQualifier + 1] << 8) == qualifier)
            return data + at;
        at += size;
    }
    return nullptr;
}

} // namespace bootwalk

namespace
{

const size_t kSessionFlags = 16; // in the session record

uint8_t priority_code(const char *priority)
{
    if (priority && strcasecmp(priority, "Primary") == 0)
        return ISCSI_BOOT_PRIORITY_PRIMARY;
    if (priority && strcasecmp(priority, "Secondary") == 0)
        return ISCSI_BOOT_PRIORITY_SECONDARY;
    return ISCSI_BOOT_PRIORITY_NONE;
}

// Sends the session's flags as they are given; 0 when the firmware took them.
VEXO_status_t send_flags(int aw, unsigned int domain, unsigned int port, int32_t handle, uint32_t flags)
{
    SET_BOOT_TARGET_IN req;
    std::memset(&req, 0, sizeof req);
    put_le32(req.data, static_cast<uint32_t>(handle));
    put_le32(req.data + 4, flags);
    return ioctl_set_boot_target_params(aw, &req, domain, port);
}

// A failure after the mark was set gives the session its old flags back,
// so the firmware and region 3 do not disagree about the boot session.
void restore_flags(const BootPlace &p, uint32_t flags)
{
    if (send_flags(p.aw, p.domain, p.port, p.handle, flags) != VEXO_STATUS_SUCCESS)
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to restore the session flags 0x%x\n", __func__, flags);
}

// The priority a new boot session takes: Primary when free, else
// Secondary when free, else none. -1 when a check fails.
int free_priority(node *lhba)
{
    int r = VEXO_check_boot_target_priority(lhba, "Primary");
    if (r == 0)
        return ISCSI_BOOT_PRIORITY_PRIMARY;
    if (r == VEXO_STATUS_BOOT_TARGET_TYPE_EXISTS) {
        r = VEXO_check_boot_target_priority(lhba, "Secondary");
        if (r == 0)
            return ISCSI_BOOT_PRIORITY_SECONDARY;
        if (r == VEXO_STATUS_BOOT_TARGET_TYPE_EXISTS)
            return ISCSI_BOOT_PRIORITY_NONE;
    }
    return -1;
}

// Sets the mark, then on Trelmont the region 3 entry with `priority`
// (checked by the caller) or its removal. The mark is undone when a later
// step fails. 0 or 1.
int apply_boot(const BootPlace &p, const GET_A_SESSION_PARAMS *record, const char *boot, int priority)
{
    const uint32_t flags = le32_at(record->data + kSessionFlags);
    if (VEXO_configure_boot_target(p.session, flags, boot, p.aw, p.domain, p.port) != 0) {
        vexo_set_fixed_status(VEXO_STATUS_SET_BOOT_TARGET);
        return 1;
    }
    if (p.family != AW_TYPE_TRELMONT)
        return 0;
    if (strcasecmp(boot, "False") == 0) {
        if (VEXO_delete_boottarget_tlv(p.aw, p.domain, p.port, record) != 0) {
            restore_flags(p, flags);
            vexo_set_fixed_status(VEXO_STATUS_DELETE_BOOT_TLV_FAILED);
            return 1;
        }
        return 0;
    }
    if (strcasecmp(boot, "True") != 0)
        return 0;
    uint8_t count = 0;
    if (VEXO_check_boot_target_num(p.lhba, &count) != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to check boot target number\n", __func__);
        restore_flags(p, flags);
        return 1;
    }
    if (VEXO_add_boottarget_tlv(p.aw, p.domain, p.port, p.session, priority, count) != 0) {
        restore_flags(p, flags);
        vexo_set_fixed_status(VEXO_STATUS_ADD_BOOT_TLV_FAILED);
        return 1;
    }
    return 0;
}

} // namespace

int VEXO_configure_boot_target(node *session, uint32_t session_flags, const char *value, int aw_port_number,
                               unsigned int domainId, unsigned int phba_port)
{
    char current[VEXO_VALUE_SIZE];
    if (!session || !value || !read_prop(session, "iSCSIBoot", current))
        return 1;
    if (strcasecmp(current, value) == 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:Given value is already configured.\n", __func__);
        return 0;
    }
    int32_t handle = 0;
    if (!session_handle_of(session, &handle)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed: Invalid session handle.\n", __func__);
        return 1;
    }
    uint32_t flags = session_flags;
    if (strcasecmp(value, "True") == 0)
        flags |= ISCSI_SESSION_FLAG_BOOT;
    else if (strcasecmp(value, "False") == 0)
        flags &= ~static_cast<uint32_t>(ISCSI_SESSION_FLAG_BOOT);
    return send_flags(aw_port_number, domainId, phba_port, handle, flags) == VEXO_STATUS_SUCCESS ? 0 : 1;
}

int VEXO_check_boot_target_priority(node *lhba, const char *priority)
{
    if (!lhba || !priority)
        return 1;
    if (strcasecmp(priority, "Primary") != 0 && strcasecmp(priority, "Secondary") != 0)
        return 0;
    for (node *t = get_first_instance(lhba, "Target"); t; t = next_group_instance(t)) {
        node *s = get_first_instance(t, "Session");
        if (!s)
            return 1;
        char shown[VEXO_VALUE_SIZE];
        if (!read_prop(s, "BootTargetPriority", shown)) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get Boot target priority value.\n", __func__);
            return 1;
        }
        if (strcasecmp(shown, priority) == 0) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Given Boot target priority is already configured.\n",
                   __func__);
            return VEXO_STATUS_BOOT_TARGET_TYPE_EXISTS;
        }
    }
    return 0;
}

int VEXO_check_boot_target_num(node *lhba, uint8_t *count)
{
    if (!lhba || !count)
        return 1;
    unsigned n = 0;
    for (node *t = get_first_instance(lhba, "Target"); t; t = next_group_instance(t)) {
        node *s = get_first_instance(t, "Session");
        char boot[VEXO_VALUE_SIZE];
        if (!s || !read_prop(s, "iSCSIBoot", boot))
            return 1;
        if (strcasecmp(boot, "True") == 0)
            ++n;
    }
    *count = static_cast<uint8_t>(n);
    return 0;
}

int VEXO_configure_boot_params(node *session, const char *boot, const char *priority)
{
    BootPlace p;
    if (!boot || !locate(session, &p) || !p.target || !p.lhba || !p.phba)
        return 1;
    if (p.family == AW_TYPE_UNREADABLE)
        return 1;
    GET_A_SESSION_PARAMS *record = p.handle_ok ? VEXO_get_session_params(p.handle, p.aw, p.domain, p.port) : nullptr;
    if (!record)
        return 1;
    // The priority is checked before anything is marked, so a refusal
    // leaves the session as it was.
    if (p.family == AW_TYPE_TRELMONT && strcasecmp(boot, "True") == 0) {
        int r = VEXO_check_boot_target_priority(p.lhba, priority);
        if (r != 0) {
            vexo_dfree(record);
            if (r != VEXO_STATUS_BOOT_TARGET_TYPE_EXISTS)
                return 1;
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Given boot target priority already exists\n", __func__);
            vexo_set_fixed_status(VEXO_STATUS_BOOT_TARGET_TYPE_EXISTS);
            return VEXO_STATUS_BOOT_TARGET_TYPE_EXISTS;
        }
    }
    int r = apply_boot(p, record, boot, priority_code(priority));
    vexo_dfree(record);
    return r;
}

VEXO_status_t do_ConfigureBootTarget(node *context, node *, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    if (!context || !params)
        return VEXO_STATUS_FAILURE;
    char boot[VEXO_VALUE_SIZE], priority[VEXO_VALUE_SIZE];
    if (!read_prop(context, "iSCSIBoot", boot)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get the iSCSIBoot property value.\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    if (!read_prop(context, "BootTargetPriority", priority)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get the BootTargetPriority property value.\n",
               __func__);
        return VEXO_STATUS_FAILURE;
    }
    if (strcasecmp(params[0], boot) == 0 && strcasecmp(params[1], priority) == 0)
        return VEXO_STATUS_SUCCESS;
    int r = VEXO_configure_boot_params(context, params[0], params[1]);
    if (r != 0)
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to configure boot target parameters\n", __func__);
    return static_cast<VEXO_status_t>(r);
}

VEXO_status_t handle_boot_session(node *property, char *value, int type)
{
    if (!property || property->node_type != VEXO_NODE_PROPERTY || !property->u.prop || !value)
        return VEXO_STATUS_FAILURE;
    if (strcasecmp(value, property->u.prop->val) == 0)
        return VEXO_STATUS_SUCCESS;
    BootPlace p;
    if (!locate(property->parent, &p) || !p.target || p.family == AW_TYPE_UNREADABLE || !p.handle_ok)
        return VEXO_STATUS_FAILURE;
    GET_A_SESSION_PARAMS *record = VEXO_get_session_params(p.handle, p.aw, p.domain, p.port);
    if (!record)
        return VEXO_STATUS_FAILURE;
    if (type == 0) {
        bool boot = le32_at(record->data + kSessionFlags) & ISCSI_SESSION_FLAG_BOOT;
        vexo_dfree(record);
        if (set_prop_val(p.session, "iSCSIBoot", "%s", boot ? "True" : "False") != VEXO_STATUS_SUCCESS)
            return VEXO_STATUS_FAILURE;
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    int priority = ISCSI_BOOT_PRIORITY_NONE;
    if (p.family == AW_TYPE_TRELMONT && strcasecmp(value, "True") == 0) {
        priority = p.lhba ? free_priority(p.lhba) : -1;
        if (priority < 0) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get check boot target priority\n", __func__);
            vexo_dfree(record);
            return VEXO_STATUS_FAILURE;
        }
    }
    int r = apply_boot(p, record, value, priority);
    vexo_dfree(record);
    return r == 0 ? VEXO_STATUS_SUCCESS : VEXO_STATUS_FAILURE;
}

VEXO_status_t handle_BootTargetPriority(node *property, char *value, int)
{
    node *session = property ? property->parent : nullptr;
    if (!session || session->node_type != VEXO_NODE_GROUP || !value) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get session node\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    node *boot = internal_get_node(session, "iSCSIBoot", VEXO_NODE_PROPERTY);
    if (!boot || !boot->u.prop) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get iSCSIBoot node\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    // The boot mark is read again: a value cached before another client
    // changed it would hide a priority already in use.
    char shown[VEXO_VALUE_SIZE];
    if (!read_prop(session, "iSCSIBoot", shown))
        return VEXO_STATUS_FAILURE;
    if (strcasecmp(boot->u.prop->val, "False") == 0) {
        set_prop_val(session, "BootTargetPriority", "N/A");
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    long qualifier = 0;
    if (!isid_qualifier_of(session, &qualifier)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get ISIDQualifier node\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    VEXO_ISCSI_BOOT_REGION *region = VEXO_read_iscsi_boot_region(get_port_number(session), get_domain_id(session),
                                                                 get_phba_port_number(session), ISCSI_REGION_BOOT);
    if (!region) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Could not read iscsi region\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    if (region->header.length == 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR,
               "%s:The Length from iSCSI Region header is zero, means there are no TLV's present.\n", __func__);
        vexo_dfree(region);
        answer_cached(property, value);
        return VEXO_STATUS_FAILURE;
    }
    uint8_t *entry = find_boot_entry(region, qualifier);
    if (entry) {
        uint8_t code = entry[offsetof(ISCSI_TGT_BOOT_TLV, priority)];
        set_prop_val(session, "BootTargetPriority", "%s",
                     code == ISCSI_BOOT_PRIORITY_PRIMARY     ? "Primary"
                     : code == ISCSI_BOOT_PRIORITY_SECONDARY ? "Secondary"
                                                             : "None");
    }
    vexo_dfree(region);
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}
