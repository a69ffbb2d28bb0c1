#include "mgmt/aw/vexo-backend/iscsi_logout.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/backend_iscsi_region.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/boot_targets.h"
#include "mgmt/aw/vexo-backend/byte_order.h"
#include "mgmt/aw/vexo-backend/iscsi_login.h"
#include "mgmt/aw/vexo-backend/iscsi_luns.h"
#include "mgmt/aw/vexo-backend/iscsi_objects.h"
#include "mgmt/aw/vexo-backend/linux/driver_queries.h"
#include "mgmt/aw/vexo-backend/linux/os_services.h"
#include "mgmt/aw/vexo-backend/login_options.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/persistence_files.h"
#include "mgmt/aw/vexo-backend/vexo_convert.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_status.h"

namespace
{

// LOGIN_TARGET_PARAMS_IN, the layout of a persistent-login request.
const size_t kTgtName = 0, kNameSize = 224, kIp = 224, kPort = 248, kSessionFlags = 508, kEto = 520, kIsid = 524,
             kOptions = 528, kInitiatorName = 1128, kAlias = 1352, kAliasSize = 32, kBtl = 1384;
const size_t kBtlOsBus = 14, kBtlOsTarget = 16;
// DELETE_PERSISTENT_LOGIN_PARAMS_IN
const size_t kDelPortal = 224, kDelPort = 248, kDelFlags = 250, kDelIsid = 252, kDelInitiator = 256;
const int kLogoutTries = 3;
const size_t kRecordFlags = 16; // session_flags in the session record

// Cut to the field and always ended; a longer text is meant to be cut.
void put_text(uint8_t *p, size_t room, const char *s)
{
    const size_t n = s ? strnlen(s, room - 1) : 0;
    if (n)
        std::memcpy(p, s, n);
    p[n] = '\0';
}

node *child_group(node *parent, const char *name)
{
    return parent ? internal_get_node(parent, name, VEXO_NODE_GROUP) : nullptr;
}

node_handle *handle_of(node *group)
{
    if (!group || group->node_type != VEXO_NODE_GROUP || !group->u.grp)
        return nullptr;
    return static_cast<node_handle *>(group->u.grp->handle);
}

// Releases a group's handle record, then the group; the deletion's status.
VEXO_status_t delete_with_handle(node *group)
{
    if (group->u.grp->handle) {
        vexo_dfree(group->u.grp->handle);
        group->u.grp->handle = nullptr;
    }
    return delete_node(group);
}

// The adapter group of `n` as found below ROOT by its instance.
node *adapter_of(node *n)
{
    char name[VEXO_MAX_NAME_SIZE];
    std::snprintf(name, sizeof name, "Arcwright%d", get_aw_instance(n));
    node *adapter = internal_get_node(get_node(0), name, VEXO_NODE_GROUP);
    if (!adapter)
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get %s node\n", __func__, name);
    return adapter;
}

// The ISID qualifier text of the tree ("%02x%02x") as a number; -1 when it
// is not one.
long qualifier_of(const char *text)
{
    char *end = nullptr;
    long v = std::strtol(text, &end, 16);
    return end == text || *end != '\0' || v < 0 || v > 0xFFFF ? -1 : v;
}

// True when the saved-targets file holds the persistent-login line of this
// key, target, portal and qualifier.
struct DuplicateQuery {
    const char (*key)[VEXO_FIELD_SIZE];
    const char *name, *address, *port, *qualifier;
    bool found;
};

bool duplicate_line(const char (*f)[VEXO_FIELD_SIZE], void *ctx)
{
    DuplicateQuery *q = static_cast<DuplicateQuery *>(ctx);
    for (int i = 0; i < 3; ++i)
        if (strcasecmp(f[i], q->key[i]) != 0)
            return true;
    q->found = strcasecmp(f[3], q->name) == 0 && strcasecmp(f[4], q->address) == 0 &&
               strcasecmp(f[5], q->port) == 0 && std::strcmp(f[6], q->qualifier) == 0;
    return !q->found;
}

// Rebuilds the Target's LUNs after sessions went away; the rebuild's result.
VEXO_status_t rebuild_luns(node *target, unsigned int domainid, unsigned int phba_port)
{
    char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
    std::memset(params, 0, sizeof params);
    char check[VEXO_VALUE_SIZE] = "";
    node *rescan = internal_get_node(target, "ReScanLUNS", VEXO_NODE_ACTION);
    return get_all_luns(target, domainid, phba_port, target, rescan, params, check);
}

} // namespace

int clear_dead_boot_session(const char *who, node *session, int aw_port_number, unsigned int domainid,
                            unsigned int phba_port, int family)
{
    node_handle *sh = handle_of(session);
    if (!sh) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:Failed: Invalid session handle.\n", who);
        return 1;
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:session_info->session_handle = %d\n", who, sh->session_handle);
    GET_A_SESSION_PARAMS *record = VEXO_get_session_params(sh->session_handle, aw_port_number, domainid, phba_port);
    if (!record) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:pGetASessionParams is NULL.\n", who);
        return 1;
    }
    const uint8_t *f = record->data + kRecordFlags;
    uint32_t flags = static_cast<uint32_t>(f[0]) | static_cast<uint32_t>(f[1]) << 8 |
                     static_cast<uint32_t>(f[2]) << 16 | static_cast<uint32_t>(f[3]) << 24;
    int rc = 0;
    if (VEXO_configure_boot_target(session, flags, "False", aw_port_number, domainid, phba_port) != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to set iSCSIBoot property to False.\n", who);
        rc = 1;
    } else if (family == AW_TYPE_TRELMONT &&
               VEXO_delete_boottarget_tlv(aw_port_number, domainid, phba_port, record) != 0) {
        // The entry stays in region 3: so does the mark, or the adapter
        // would boot from a session the firmware no longer calls a boot one.
        if (VEXO_configure_boot_target(session, flags, "True", aw_port_number, domainid, phba_port) != 0)
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to restore the boot mark\n", who);
        vexo_set_fixed_status(VEXO_STATUS_DELETE_BOOT_TLV_FAILED);
        rc = 1;
    }
    vexo_dfree(record);
    return rc;
}

int VEXO_update_target_params(ADD_PERSISTENT_LOGIN_PARAMS *request, node *lhba, node *target, int qualifier,
                              const char *address, const char *port, const char *boot_text,
                              const char *initiator_name, int eto)
{
    if (!request || !lhba || !target || !address || !port || !initiator_name)
        return 1;
    uint8_t *r = request->data;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "InitiatoriSCSIName = %s\n", initiator_name);
    put_text(r + kInitiatorName, kNameSize, initiator_name);
    char alias[VEXO_VALUE_SIZE], name[VEXO_VALUE_SIZE];
    if (!read_property_text(child_group(lhba, "InitiatoriSCSIName"), "InitiatorAlias", alias))
        return 1;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "InitiatorAlias = %s\n", alias);
    put_text(r + kAlias, kAliasSize, alias);
    if (!read_property_text(target, "TargetISCSIName", name))
        return 1;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "TargetiSCSIName = %s\n", name);
    put_text(r + kTgtName, kNameSize, name);

    if (check_for_isid_existence(qualifier)) {
        vexo_set_fixed_status(VEXO_STATUS_ISID_ALREADY_IN_USE);
        return 1;
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "ISID_Qualifier = %d\n", qualifier);
    put_le16(r + kIsid, static_cast<uint16_t>(static_cast<uint32_t>(qualifier) & 0xFFFF));

    uint32_t flags = ISCSI_SESSION_TARGET;
    if (boot_text && strcasecmp(boot_text, "True") == 0)
        flags |= ISCSI_SESSION_BOOT;
    put_le32(r + kSessionFlags, flags);
    put_le32(r + kEto, eto == 0 ? 0xFFFFFFFFu : static_cast<uint32_t>(eto));
    put_le16(r + kBtl + kBtlOsBus, 0xFFFF);
    put_le16(r + kBtl + kBtlOsTarget, 0xFFFF);

    uint16_t tcp_port = 0;
    if (!fill_ip(r + kIp, address) || !port_number(port, &tcp_port))
        return 1;
    put_le16(r + kPort, tcp_port);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:ipaddress = %s\n", __func__, address);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "TCPPort = %d\n", tcp_port);
    return 0;
}

int VEXO_update_tgt_entry(node *lhba, node *target, const char *address, const char *port, int qualifier,
                          const char *persistence_text)
{
    if (!lhba || !target || !address || !port)
        return 1;
    char key[3][VEXO_FIELD_SIZE];
    if (vexo_lhba_instance_key(lhba, key) != 0)
        return 1;
    node *opts = child_group(target, "TargetLoginOptions");
    node *auth = child_group(opts, "Authentication");
    if (!opts || !auth)
        return 1;

    char ini[VEXO_VALUE_SIZE], name[VEXO_VALUE_SIZE], type[VEXO_VALUE_SIZE];
    char chap_param[VEXO_VALUE_SIZE], header_param[VEXO_VALUE_SIZE], data_param[VEXO_VALUE_SIZE];
    if (!read_property_text(child_group(lhba, "InitiatoriSCSIName"), "InitiatoriSCSIName", ini) ||
        !read_property_text(target, "TargetISCSIName", name) || !read_property_text(target, "TargetType", type) ||
        !read_property_text(auth, "CHAPParam", chap_param) || !read_property_text(opts, "HeaderParam", header_param) ||
        !read_property_text(opts, "DataParam", data_param))
        return 1;
    static const char *const kOptionNames[] = {"InitialR2T", "ImmediateData", "HeaderDigest", "DataDigest"};
    static const char *const kAuthNames[] = {"AuthenticationMethod", "InitiatorCHAPName", "InitiatorSecret",
                                             "TargetCHAPName", "TargetSecret"};
    char values[9][VEXO_VALUE_SIZE];
    for (int i = 0; i < 4; ++i)
        if (!read_property_text(opts, kOptionNames[i], values[i]))
            return 1;
    for (int i = 0; i < 5; ++i)
        if (!read_property_text(auth, kAuthNames[i], values[4 + i]))
            return 1;

    char qualifier_text[16];
    std::snprintf(qualifier_text, sizeof qualifier_text, "%d", qualifier);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:path = %s,%s,%s,%s,%s,%s,%s\n", __func__, key[0], key[1], key[2],
           name, address, port, qualifier_text);

    DuplicateQuery q = {key, name, address, port, qualifier_text, false};
    bool missing = false;
    vexo_walk_saved_lines(VEXO_SAVED_TARGETS_FILE, VEXO_SAVETGT_FIELDS, &missing, duplicate_line, &q);
    if (q.found)
        return 0;
    const char *fields[VEXO_SAVETGT_FIELDS] = {
        key[0],    key[1],    key[2],    name,      address,   port,       qualifier_text, ini,
        values[0], values[1], values[2], values[3], values[4], values[5],  values[6],      values[7],
        values[8], type,      chap_param, header_param, data_param, persistence_text ? persistence_text : ""};
    // The line mirrors a firmware entry: a line that is not written is a
    // failure the caller has to undo, not a silent gap.
    for (const char *f : fields)
        if (!vexo_field_storable(f)) {
            vexo_set_fixed_status(VEXO_STATUS_INVALID_VALUE);
            return 1;
        }
    if (vexo_append_persistence_line(VEXO_SAVED_TARGETS_FILE, fields, VEXO_SAVETGT_FIELDS) != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: the persistent login line was not written\n", __func__);
        vexo_set_fixed_status(VEXO_STATUS_ADD_PERSIST_FAILED);
        return 1;
    }
    return 0;
}

int make_session_persistent(node *target, const char *address, const char *port, int qualifier,
                            const MGMT_LOGIN_OPTIONS *login_options, const char *boot_text,
                            const char *initiator_name, int eto)
{
    if (!target || !address || !port || !boot_text || !initiator_name)
        return 1;
    node *lhba = target->parent;
    node *opts = child_group(target, "TargetLoginOptions");
    if (!lhba || !opts)
        return 1;
    int aw_port_number = get_port_number(target);
    unsigned int domainid = get_domain_id(target), phba_port = get_phba_port_number(target);

    ADD_PERSISTENT_LOGIN_PARAMS *request =
        static_cast<ADD_PERSISTENT_LOGIN_PARAMS *>(vexo_dmalloc(sizeof(ADD_PERSISTENT_LOGIN_PARAMS)));
    if (!request) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return 1;
    }
    std::memset(request, 0, sizeof *request);
    int rc = VEXO_update_target_params(request, lhba, target, qualifier, address, port, boot_text, initiator_name,
                                       eto);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:status of VEXO_update_target_params = %d\n", __func__, rc);
    if (rc != 0) {
        vexo_dfree(request);
        return 1;
    }
    MGMT_LOGIN_OPTIONS options;
    if (login_options) {
        options = *login_options;
    } else {
        options = *get_default_login_options();
        if (get_login_options(opts, &options, 2) != VEXO_STATUS_SUCCESS) {
            vexo_dfree(request);
            return 1;
        }
    }
    std::memcpy(request->data + kOptions, &options, sizeof options);

    VEXO_status_t st = ioctl_add_persistent_target(aw_port_number, request, domainid, phba_port);
    vexo_dfree(request);
    if (st == VEXO_STATUS_SUCCESS) {
        rc = VEXO_update_tgt_entry(lhba, target, address, port, qualifier, "True");
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:VEXO_update_tgt_entry = %d\n", __func__, rc);
        if (rc == 0)
            return 0;
        // Keep firmware and file in step: the entry without its line goes.
        VEXO_status_t why = vexo_last_status_code;
        char name[VEXO_VALUE_SIZE];
        if (read_property_text(target, "TargetISCSIName", name))
            delete_persistent(aw_port_number, domainid, phba_port, target, name, address, port, qualifier,
                              initiator_name, 1);
        vexo_set_fixed_status(why);
        return 1;
    }
    if (st == VEXO_STATUS_AUTHENTICATION_FAILURE || st == VEXO_STATUS_LOGIN_DIGEST_ERROR) {
        vexo_set_fixed_status(st);
        return 1;
    }
    return st;
}

int delete_persistent(int aw_port_number, unsigned int domainid, unsigned int phba_port, node *target,
                      const char *target_name, const char *address, const char *port, int qualifier,
                      const char *initiator_name, int flag)
{
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:be_port_number = %d\n", __func__, aw_port_number);
    if (!target || !target_name || !address || !port || !initiator_name)
        return 1;
    if (domainid == 0) {
        DELETE_PERSISTENT_LOGIN_PARAMS_IN request;
        std::memset(&request, 0, sizeof request);
        uint8_t *r = request.data;
        put_text(r, kNameSize, target_name);
        uint16_t tcp_port = 0;
        if (!fill_ip(r + kDelPortal, address) || !port_number(port, &tcp_port))
            return 1;
        put_le16(r + kDelPort, tcp_port);
        put_le16(r + kDelFlags, 0);
        put_le32(r + kDelIsid, (static_cast<uint32_t>(qualifier) & 0xFFFF) | 0x80000000u);
        put_text(r + kDelInitiator, kNameSize, initiator_name);
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:ipaddr = %s\n", __func__, address);
        VEXO_status_t st = ioctl_del_persistent_target(aw_port_number, &request, 0, phba_port);
        if (st != VEXO_STATUS_SUCCESS) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_del_persistent_target is failed\n", __func__);
            vexo_set_fixed_status(VEXO_STATUS_DEL_PERSIST_FAILED);
            return st;
        }
    }
    if (flag != 1)
        VEXO_remove_entry_from_file(target->parent, target_name, address, port, qualifier, VEXO_FILE_SAVED_TARGET);
    return 0;
}

VEXO_status_t do_Logout(node *context, node *action_node, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    node *target = context;
    if (!target || !action_node || !params)
        return VEXO_STATUS_FAILURE;
    unsigned int domainid = get_domain_id(action_node), phba_port = get_phba_port_number(action_node);

    node *session = nullptr;
    if (params[0][0] == '\0') {
        session = get_first_instance(target, "Session");
        if (!session) {
            vexo_set_fixed_status(VEXO_STATUS_NO_ACTIVE_SESSIONS);
            return VEXO_STATUS_FAILURE;
        }
        std::snprintf(params[0], VEXO_VALUE_SIZE, "%d", session->u.grp->multi_instance->instance);
    } else {
        // The parameter check reads numbers with base detection: name the
        // instance in decimal.
        char instance[16];
        std::snprintf(instance, sizeof instance, "%ld", std::strtol(params[0], nullptr, 0));
        session = get_selected_group_node(target, "Session", instance);
        if (!session) {
            vexo_set_fixed_status(VEXO_STATUS_INVALID_INSTANCE_NUM);
            return VEXO_STATUS_FAILURE;
        }
    }

    node *adapter = adapter_of(action_node);
    if (!adapter)
        return VEXO_STATUS_FAILURE;
    const int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get be_type\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    char boot[VEXO_VALUE_SIZE], status[VEXO_VALUE_SIZE];
    if (!read_property_text(session, "iSCSIBoot", boot) || !read_property_text(session, "SessionStatus", status))
        return VEXO_STATUS_FAILURE;
    node_handle *sh = handle_of(session);
    if (!sh)
        return VEXO_STATUS_FAILURE;
    int aw_port_number = sh->aw_port_number;

    if (strcasecmp(boot, "True") == 0) {
        if (strcasecmp(status, "Open") == 0) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:Boot Target is configured.\n", __func__);
            vexo_set_fixed_status(VEXO_STATUS_CANNOT_LOGOUT);
            return VEXO_STATUS_FAILURE;
        }
        if (clear_dead_boot_session(__func__, session, aw_port_number, domainid, phba_port, family) != 0)
            return VEXO_STATUS_FAILURE;
    }

    char name[VEXO_VALUE_SIZE], persistent[VEXO_VALUE_SIZE], address[VEXO_VALUE_SIZE], port[VEXO_VALUE_SIZE];
    char isid[VEXO_VALUE_SIZE], initiator[VEXO_VALUE_SIZE];
    node *conn = get_first_instance(session, "Connection");
    if (!read_property_text(target, "TargetISCSIName", name) || !read_property_text(session, "Persistent", persistent) || !conn ||
        !handle_of(conn) || !read_property_text(conn, "DestinationIPAddress", address) ||
        !read_property_text(conn, "DestinationPortNumber", port) || !read_property_text(session, "ISIDQualifier", isid) ||
        !read_property_text(session, "SessionInitiatorName", initiator))
        return VEXO_STATUS_FAILURE;
    long qualifier = qualifier_of(isid);
    if (qualifier < 0)
        return VEXO_STATUS_FAILURE;

    for (node *lun = get_first_instance(target, "LUN"); lun; lun = next_group_instance(lun)) {
        char vendor[VEXO_VALUE_SIZE], model[VEXO_VALUE_SIZE];
        if (!read_property_text(lun, "DeviceVendorName", vendor) || !read_property_text(lun, "DeviceModelNumber", model))
            continue;
        if (os_prepare_device_for_removal(vendor, model) != 0)
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: could not safely remove device for vendor:%s model:%s\n",
                   __func__, vendor, model);
    }

    VEXO_status_t st = VEXO_STATUS_FAILURE;
    VEXO_status_t luns = VEXO_STATUS_SUCCESS;
    for (int retry = 0; retry < kLogoutTries; ++retry) {
        LOGOUT_TARGET_PARAMS request;
        std::memset(&request, 0, sizeof request);
        put_le32(request.data, static_cast<uint32_t>(sh->session_handle));
        st = ioctl_logout_target(aw_port_number, &request, domainid, phba_port);
        if (st == VEXO_STATUS_SUCCESS) {
            // An earlier refusal's status does not describe this outcome.
            if (retry > 0)
                vexo_set_last_status(VEXO_STATUS_SUCCESS, "");
            delete_with_handle(conn);
            delete_with_handle(session);
            luns = rebuild_luns(target, domainid, phba_port);
            break;
        }
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:retry_count = %d\n", __func__, retry + 1);
    }
    if (luns == 90)
        vexo_set_last_status(static_cast<VEXO_status_t>(90),
                             "Logout succeeded but could not get LUN info for some sessions.");
    if (st != VEXO_STATUS_SUCCESS)
        return st;
    if (strcasecmp(persistent, "True") != 0)
        return VEXO_STATUS_SUCCESS;
    if (delete_persistent(aw_port_number, domainid, phba_port, target, name, address, port,
                          static_cast<int>(qualifier), initiator, 0) != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:delete_persistent failed\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    return VEXO_STATUS_SUCCESS;
}

int VEXO_check_session_status(node *target, const char *target_name, int aw_port_number, int *active_session,
                              node *action_node, node *portal, int flag)
{
    if (!target || !target_name || !action_node || !active_session || (flag == 1 && !portal))
        return 1;
    unsigned int domainid = get_domain_id(action_node), phba_port = get_phba_port_number(action_node);
    node *adapter = adapter_of(target);
    if (!adapter)
        return 1;
    const int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get be_type\n", __func__);
        return 1;
    }
    for (node *s = get_first_instance(target, "Session"); s; s = next_group_instance(s)) {
        char status[VEXO_VALUE_SIZE], address[VEXO_VALUE_SIZE], port[VEXO_VALUE_SIZE];
        node *conn = get_first_instance(s, "Connection");
        if (!read_property_text(s, "SessionStatus", status) || !read_property_text(conn, "DestinationIPAddress", address) ||
            !read_property_text(conn, "DestinationPortNumber", port))
            return 1;
        if (flag == 1) {
            char tip[VEXO_VALUE_SIZE], tport[VEXO_VALUE_SIZE];
            if (!read_property_text(portal, "TargetIPAddress", tip) || !read_property_text(portal, "TargetPortNumber", tport))
                return 1;
            if (strcasecmp(tip, address) != 0 || strcasecmp(tport, port) != 0)
                continue;
        }
        if (strcasecmp(status, "Closed") != 0 && strcasecmp(status, "Login Failed") != 0) {
            *active_session = 1;
            continue;
        }
        char boot[VEXO_VALUE_SIZE];
        if (read_property_text(s, "iSCSIBoot", boot) && strcasecmp(boot, "True") == 0 &&
            clear_dead_boot_session(__func__, s, aw_port_number, domainid, phba_port, family) != 0)
            return 1;
        char isid[VEXO_VALUE_SIZE], initiator[VEXO_VALUE_SIZE];
        if (!read_property_text(s, "ISIDQualifier", isid) || !read_property_text(s, "SessionInitiatorName", initiator))
            return 1;
        long qualifier = qualifier_of(isid);
        if (qualifier < 0)
            return 1;
        delete_persistent(aw_port_number, domainid, phba_port, target, target_name, address, port,
                          static_cast<int>(qualifier), initiator, 0);
    }
    return 0;
}

int VEXO_cleanup_sessions(node *target, node *session, unsigned int domainid, unsigned int phba_port)
{
    if (!target || !session)
        return 1;
    node *conn = get_first_instance(session, "Connection");
    if (!conn)
        return 1;
    int st = 0;
    if (handle_of(conn))
        st = delete_with_handle(conn);
    if (handle_of(session))
        st = delete_with_handle(session);
    rebuild_luns(target, domainid, phba_port);
    return st;
}
