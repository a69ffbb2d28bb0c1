#include "mgmt/aw/vexo-backend/iscsi_firmware_lists.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/byte_order.h"
#include "mgmt/aw/vexo-backend/iscsi_ipv6.h"
#include "mgmt/aw/vexo-backend/iscsi_luns.h"
#include "mgmt/aw/vexo-backend/iscsi_routes.h"
#include "mgmt/aw/vexo-backend/iscsi_tcpip.h"
#include "mgmt/aw/vexo-backend/login_options.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/nodes_iscsi.h"
#include "mgmt/aw/vexo-backend/persistent_targets.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/target_eto.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_status.h"

namespace
{

// Session record and its connection records.
const size_t kSessStatus = 4, kSessIsid = 8, kSessFlags = 16, kSessConnCount = 20, kSessTarget = 24,
             kSessInitiator = 248, kSessOptions = 472, kNameSize = 224;
const size_t kConnHandle = 0, kConnDestPort = 10, kConnDestIp = 44, kConnOptions = 92;
const size_t kIpType = 3, kIpBytes = 4; // inside an IP_ADDRESS_FORMAT
// Session-id list: count, reserved word, then the handles.
const size_t kIdListHead = 8;
// Discovery parameters: the iSNS part.
const size_t kIsnsEntity = 548, kIsnsSrvCount = 772, kIsnsSrvList = 776, kIsnsTcpPort = 24;
const uint32_t kSessionOpen = 0x0001, kNotPersistent = 0x0001, kBootSession = 0x0100;

bool ok(VEXO_status_t s)
{
    return s == VEXO_STATUS_SUCCESS;
}

node *subgroup(node *parent, const char *name)
{
    return parent ? internal_get_node(parent, name, VEXO_NODE_GROUP) : nullptr;
}

node *action_of(node *parent, const char *name)
{
    return parent ? internal_get_node(parent, name, VEXO_NODE_ACTION) : nullptr;
}

bool is_group_named(node *n, const char *name)
{
    return n && n->node_type == VEXO_NODE_GROUP && n->node_name && strcasecmp(n->node_name, name) == 0;
}

node_handle *handle_of(node *group)
{
    if (!group || group->node_type != VEXO_NODE_GROUP || !group->u.grp)
        return nullptr;
    return static_cast<node_handle *>(group->u.grp->handle);
}

void release_handle(node *group)
{
    if (node_handle *h = handle_of(group)) {
        vexo_dfree(h);
        group->u.grp->handle = nullptr;
    }
}

// A Target with whatever hangs below it that owns a handle record.
void delete_target(node *target)
{
    purge_nodes_within(target, "Session");
    purge_nodes_within(target, "LUN");
    delete_node(target);
}

void clear_params(char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    std::memset(params, 0, sizeof(char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]));
}

// A fixed text field of a record, terminated within `room - 1` characters.
void field_text(const uint8_t *field, size_t room, char *out)
{
    const char *s = reinterpret_cast<const char *>(field);
    std::snprintf(out, room, "%.*s", static_cast<int>(strnlen(s, room - 1)), s);
}

// The connection records a session record holds: the buffer has room for
// one, whatever the count says.
uint16_t connection_records(const uint8_t *rec)
{
    return le16_at(rec + kSessConnCount) > 0 ? 1 : 0;
}

const uint8_t *connection_record(const uint8_t *rec, uint16_t j)
{
    return rec + ISCSI_SESSION_CONN_LIST + static_cast<size_t>(j) * ISCSI_CONN_INFO_SIZE;
}

void destination_texts(const uint8_t *ci, char *ip, char *port)
{
    ip[0] = '\0';
    ipaddr_to_string(ci + kConnDestIp + kIpBytes, ip, ci[kConnDestIp + kIpType]);
    std::snprintf(port, VEXO_VALUE_SIZE, "%d", le16_at(ci + kConnDestPort));
}

// The session's and one connection's negotiated options as one record.
void negotiated_options(const uint8_t *rec, const uint8_t *ci, MGMT_LOGIN_OPTIONS *opts)
{
    std::memcpy(&opts->sess_login_opts, rec + kSessOptions, sizeof opts->sess_login_opts);
    std::memcpy(&opts->conn_login_opts, ci + kConnOptions, sizeof opts->conn_login_opts);
}

// The active session-id list in counted memory: `len` bytes, the count
// bounded by them. Null with the failure's result in `*result`.
uint8_t *read_session_ids(int aw_port_number, unsigned int domainid, unsigned int phba_port, uint16_t len,
                          uint32_t *count)
{
    size_t room = len < sizeof(GET_ALL_SESSION_ID_PARAMS) ? sizeof(GET_ALL_SESSION_ID_PARAMS) : len;
    uint8_t *buf = static_cast<uint8_t *>(vexo_dcalloc(room));
    if (!buf)
        return nullptr;
    put_le32(buf, 0x40 | 0x80);
    if (!ok(ioctl_get_activesessionid(aw_port_number, reinterpret_cast<GET_ALL_SESSION_ID_PARAMS *>(buf), len,
                                      domainid, phba_port))) {
        vexo_dfree(buf);
        return nullptr;
    }
    uint32_t n = le32_at(buf);
    uint32_t fits = len > kIdListHead ? static_cast<uint32_t>((len - kIdListHead) / 4) : 0;
    *count = n < fits ? n : fits;
    return buf;
}

// Builds (or refreshes) the nodes of one session record below `target`.
int mirror_session(node *target, const uint8_t *rec, int aw_port_number, unsigned int domainid,
                   unsigned int phba_port, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    int32_t session_handle = static_cast<int32_t>(le32_at(rec));
    node *login = action_of(target, "Login");
    const uint8_t *isid = rec + kSessIsid;
    char iname[kNameSize];
    field_text(rec + kSessInitiator, sizeof iname, iname);
    uint32_t flags = le32_at(rec + kSessFlags);
    for (uint16_t j = 0; j < connection_records(rec); ++j) {
        const uint8_t *ci = connection_record(rec, j);
        clear_params(params);
        destination_texts(ci, params[0], params[1]);
        std::snprintf(params[2], VEXO_VALUE_SIZE, "%s", iname);
        std::snprintf(params[3], VEXO_VALUE_SIZE, "%02x%02x", isid[4], isid[5]);
        node *portal = find_target_portal(target, params[0], params[1]);
        char tag[VEXO_VALUE_SIZE] = "";
        if (!portal || !ok(internal_get_property(portal, "PortalGroupTag", tag)))
            return 1;
        int found = 0;
        node *session = nullptr, *conn = nullptr;
        if (VEXO_check_for_duplicate_session(target, aw_port_number, domainid, phba_port, params, &found, &session,
                                             &conn) != 0)
            return 1;
        MGMT_LOGIN_OPTIONS opts;
        negotiated_options(rec, ci, &opts);
        if (found && session && conn && subgroup(conn, "ConnectionNegotiatedLoginOptions")) {
            setup_initiator_target_loginopts(session, &opts);
            set_connection_login_options(conn, &opts);
            continue;
        }
        if (j == 0 && (le32_at(rec + kSessStatus) & kSessionOpen))
            setup_initiator_target_loginopts(target, &opts);
        session = setup_session(target, aw_port_number, session_handle, (flags & kBootSession) != 0,
                                &opts.sess_login_opts, target, login, params, tag);
        if (!session)
            return 1;
        int r = 0;
        r |= !ok(set_prop_val(session, "iSCSIBoot", "%s", (flags & kBootSession) ? "True" : "False"));
        if (domainid == 0)
            r |= !ok(set_prop_val(session, "Persistent", "%s", (flags & kNotPersistent) ? "False" : "True"));
        setup_initiator_target_loginopts(session, &opts);
        if (get_eto_prop(aw_port_number, domainid, phba_port, target, 1) != 0)
            return 1;
        conn = setup_connection(session, static_cast<int>(le32_at(ci + kConnHandle)), &opts, nullptr, nullptr, nullptr);
        if (!conn)
            return 1;
        r |= !ok(set_prop_val(session, "ISIDQualifier", "%02x%02x", isid[4], isid[5]));
        r |= !ok(set_prop_val(session, "SessionInitiatorName", "%s", iname));
        r |= !ok(set_prop_val(conn, "DestinationIPAddress", "%s", params[0]));
        r |= !ok(set_prop_val(conn, "DestinationPortNumber", "%d", le16_at(ci + kConnDestPort)));
        r |= !ok(set_prop_val(session, "SessionStatus", "%s", session_status_text(le32_at(rec + kSessStatus))));
        if (r)
            return 1;
    }
    return 0;
}

// The persistence text of one portal line.
const size_t kPersistentText = 35;

struct TargetWalk {
    node *lhba;
    node *target;
    const char *name;
    bool deleted;
};

bool add_firmware_portal(const fw_portal *p, void *ctx)
{
    TargetWalk *w = static_cast<TargetWalk *>(ctx);
    char port[16], tag[16];
    std::snprintf(port, sizeof port, "%d", p->port);
    std::snprintf(tag, sizeof tag, "%d", static_cast<int>(p->tag));
    if (!find_target_portal(w->target, p->ip, port) &&
        !setup_portal(w->target, p->ip, port, tag, nullptr, nullptr, nullptr)) {
        // The Target goes, and with it the rest of its portals.
        delete_target(w->target);
        w->deleted = true;
        return false;
    }
    char persistent[kPersistentText] = "";
    VEXO_get_tgt_persistent_val(w->lhba, w->name, persistent);
    VEXO_add_target_into_file(w->lhba, w->target, w->name, p->ip, port, nullptr, persistent);
    return true;
}

bool first_portal(const fw_portal *p, void *ctx)
{
    *static_cast<fw_portal *>(ctx) = *p;
    return false;
}

void log_portal_counts(const uint8_t *rec, size_t length)
{
    uint32_t pg_count = le32_at(rec + ISCSI_TARGET_PG_COUNT);
    for (uint32_t j = 0; j < pg_count; ++j) {
        size_t g = ISCSI_TARGET_PG_LIST + static_cast<size_t>(j) * ISCSI_PORTAL_GROUP_SIZE;
        if (g + 4 > length)
            break;
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "portal count is %d and pg count  is %d\n", le16_at(rec + g + 2),
               static_cast<int>(pg_count));
    }
}

struct SendTargetsWalk {
    node *lhba;
    node *context;
    node *action;
    char (*params)[VEXO_VALUE_SIZE];
    int not_added;
    bool failed;
};

// Adds the portals of one SendTargets entry up to the first 0.0.0.0.
bool add_send_target_portals(SendTargetsWalk *w, node *target, const char *name, const uint8_t *addresses,
                             uint32_t count, bool existing)
{
    for (uint32_t k = 0; k < count; ++k) {
        fw_portal p;
        vexo_send_target_portal(addresses + static_cast<size_t>(k) * ISCSI_ST_ADDRESS_SIZE, &p);
        if (std::strncmp(p.ip, "0.0.0.0", 7) == 0)
            break;
        if (!existing)
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:ipaddress = %s\n", __func__, p.ip);
        char port[16], tag[16];
        std::snprintf(port, sizeof port, "%d", p.port);
        std::snprintf(tag, sizeof tag, "%d", static_cast<int>(p.tag));
        if (existing && find_target_portal(target, p.ip, port))
            continue;
        if (!setup_portal(target, p.ip, port, tag, nullptr, nullptr, nullptr)) {
            w->failed = true;
            return false;
        }
        VEXO_add_target_into_file(w->lhba, target, name, p.ip, port, w->context, "True");
    }
    return true;
}

bool add_send_target(const char *name, uint32_t declared, const uint8_t *addresses, uint32_t count, void *ctx)
{
    SendTargetsWalk *w = static_cast<SendTargetsWalk *>(ctx);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "targetname returned from f/w = %s, num_addr_entries = %d\n:", name,
           static_cast<int>(declared));
    if (!name[0] || declared == 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:TargetName or num_addr_entries are NULL.\n", __func__);
        return true;
    }
    if (node *t = find_target(w->lhba, name))
        return add_send_target_portals(w, t, name, addresses, count, true);
    node *t = setup_target(w->lhba, name, w->context, w->action, w->params, 1);
    if (!t) {
        ++w->not_added;
        return true;
    }
    return add_send_target_portals(w, t, name, addresses, count, false);
}

} // namespace

int vexo_walk_target_portals(const uint8_t *record, size_t length, fw_portal_fn each, void *ctx)
{
    if (!record || length < ISCSI_TARGET_PG_LIST)
        return 0;
    uint32_t pg_count = le32_at(record + ISCSI_TARGET_PG_COUNT);
    int visited = 0;
    for (uint32_t j = 0; j < pg_count; ++j) {
        size_t g = ISCSI_TARGET_PG_LIST + static_cast<size_t>(j) * ISCSI_PORTAL_GROUP_SIZE;
        if (g + 4 > length)
            return visited;
        uint16_t portals = le16_at(record + g + 2);
        for (uint16_t k = 0; k < portals; ++k) {
            size_t at = g + 4 + static_cast<size_t>(k) * ISCSI_PORTAL_ENTRY_SIZE;
            if (at + ISCSI_PORTAL_ENTRY_SIZE > length)
                return visited;
            fw_portal p;
            p.ip[0] = '\0';
            ipaddr_to_string(record + at + kIpBytes, p.ip, record[at + kIpType]);
            p.port = le16_at(record + at + 24);
            p.tag = le16_at(record + g);
            ++visited;
            if (!each(&p, ctx))
                return visited;
        }
    }
    return visited;
}

void vexo_send_target_portal(const uint8_t *address_entry, fw_portal *portal)
{
    portal->ip[0] = '\0';
    ipaddr_to_string(address_entry + kIpBytes, portal->ip, address_entry[kIpType]);
    portal->port = le16_at(address_entry + 24);
    portal->tag = le32_at(address_entry + 28);
}

int vexo_walk_send_targets(const uint8_t *data, size_t length, int max_targets, fw_send_target_fn each, void *ctx)
{
    if (!data || length < 4)
        return 0;
    uint32_t count = le32_at(data);
    if (max_targets >= 0 && count > static_cast<uint32_t>(max_targets))
        count = static_cast<uint32_t>(max_targets);
    size_t off = 4;
    int visited = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (off > length || length - off < ISCSI_ST_ENTRY_HEAD)
            return visited;
        const uint8_t *e = data + off;
        uint32_t declared = le32_at(e);
        char name[ISCSI_TARGET_NAME_SIZE];
        field_text(e + 4, sizeof name, name);
        uint64_t fits = (length - off - ISCSI_ST_ENTRY_HEAD) / ISCSI_ST_ADDRESS_SIZE;
        uint32_t usable = declared < fits ? declared : static_cast<uint32_t>(fits);
        ++visited;
        if (!each(name, declared, e + ISCSI_ST_ENTRY_HEAD, usable, ctx))
            return visited;
        uint64_t step = ISCSI_ST_ENTRY_HEAD + static_cast<uint64_t>(declared ? declared : 1) * ISCSI_ST_ADDRESS_SIZE;
        if (step > length - off)
            return visited;
        off += static_cast<size_t>(step);
    }
    return visited;
}

int get_all_sessions(node *lhba, int aw_port_number, unsigned int domainid, unsigned int phba_port, node *context,
                     node *, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    GET_ALL_SESSION_ID_PARAMS query;
    std::memset(&query, 0, sizeof query);
    put_le32(query.data, 0x40 | 0x80);
    uint16_t len = 0;
    VEXO_status_t st = ioctl_get_activesessionidbuffersize(aw_port_number, &query, &len, domainid, phba_port);
    if (!ok(st) || len == 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_WARNING, "session_buffer_size = 0\n");
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_BUFFER);
        return st;
    }
    uint32_t count = 0;
    uint8_t *list = read_session_ids(aw_port_number, domainid, phba_port, len, &count);
    if (!list) {
        vexo_set_fixed_status(VEXO_STATUS_SESSION_ID_FAILURE);
        return 1;
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "sessioncount = %d\n", static_cast<int>(count));
    bool target_context = is_group_named(context, "Target");
    if (count == 0 && target_context)
        purge_nodes_within(context, "Session");
    int result = 0;
    char work[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
    char(*area)[VEXO_VALUE_SIZE] = params ? params : work;
    for (uint32_t i = 0; i < count && result == 0; ++i) {
        int32_t handle = static_cast<int32_t>(le32_at(list + kIdListHead + 4 * static_cast<size_t>(i)));
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:session_handle = %d\n", __func__, handle);
        GET_A_SESSION_PARAMS *p = VEXO_get_session_params(handle, aw_port_number, domainid, phba_port);
        if (!p) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:pGetASessionParams is NULL.\n", __func__);
            vexo_set_fixed_status(VEXO_STATUS_GET_SESSION_FAILED);
            result = 1;
            break;
        }
        char name[kNameSize];
        field_text(p->data + kSessTarget, sizeof name, name);
        node *target = nullptr;
        if (!target_context) {
            target = find_target(lhba, name);
            if (!target) {
                vexo_set_fixed_status(VEXO_STATUS_TARGET_NOT_FOUND);
                result = 1;
            }
        } else {
            char tname[VEXO_VALUE_SIZE] = "";
            if (!ok(internal_get_property(context, "TargetISCSIName", tname)))
                result = 1;
            else if (strcasecmp(tname, name) == 0)
                target = context;
        }
        if (target && result == 0)
            result = mirror_session(target, p->data, aw_port_number, domainid, phba_port, area);
        vexo_dfree(p);
    }
    vexo_dfree(list);
    return result;
}

int VEXO_check_for_duplicate_session(node *target, int aw_port_number, unsigned int domainid, unsigned int phba_port,
                                     char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE], int *found, node **session,
                                     node **connection)
{
    if (!target || !params)
        return 1;
    for (node *s = get_first_instance(target, "Session"); s; s = next_group_instance(s)) {
        node_handle *h = handle_of(s);
        if (!h)
            return VEXO_STATUS_NO_SESSION_HANDLE;
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:session_node_handle->session_handle = %d\n", __func__,
               h->session_handle);
        GET_A_SESSION_PARAMS *p = VEXO_get_session_params(h->session_handle, aw_port_number, domainid, phba_port);
        if (!p) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:pGetASessionParams is NULL.\n", __func__);
            vexo_set_fixed_status(VEXO_STATUS_GET_SESSION_FAILED);
            return 1;
        }
        const uint8_t *rec = p->data;
        char iname[kNameSize], qualifier[8];
        field_text(rec + kSessInitiator, sizeof iname, iname);
        std::snprintf(qualifier, sizeof qualifier, "%02x%02x", rec[kSessIsid + 4], rec[kSessIsid + 5]);
        for (uint16_t j = 0; j < connection_records(rec); ++j) {
            const uint8_t *ci = connection_record(rec, j);
            int32_t ch = static_cast<int32_t>(le32_at(ci + kConnHandle));
            node *match = nullptr;
            for (node *c = get_first_instance(s, "Connection"); c; c = next_group_instance(c)) {
                node_handle *chd = handle_of(c);
                if (!chd) {
                    vexo_dfree(p);
                    return 1;
                }
                if (chd->connection_handle == ch) {
                    match = c;
                    break;
                }
            }
            if (!match)
                continue;
            char ip[ISCSI_IP_ADDRESS_TEXT], port[VEXO_VALUE_SIZE];
            destination_texts(ci, ip, port);
            if (std::strcmp(ip, params[0]) == 0 && std::strcmp(port, params[1]) == 0 &&
                std::strtoul(qualifier, nullptr, 16) == std::strtoul(params[3], nullptr, 16) &&
                strcasecmp(iname, params[2]) == 0) {
                if (found)
                    *found = 1;
                if (session)
                    *session = s;
                if (connection)
                    *connection = match;
                vexo_dfree(p);
                return 0;
            }
        }
        vexo_dfree(p);
    }
    return 0;
}

node *VEXO_get_boot_target(node *lhba, node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE],
                           const GET_A_SESSION_PARAMS *session_info)
{
    if (!lhba || !session_info)
        return nullptr;
    const uint8_t *rec = session_info->data;
    char name[kNameSize];
    field_text(rec + kSessTarget, sizeof name, name);
    node *target = setup_target(lhba, name, context, action, params, 0);
    if (!target)
        return nullptr;
    for (uint16_t j = 0; j < connection_records(rec); ++j) {
        char ip[ISCSI_IP_ADDRESS_TEXT], port[VEXO_VALUE_SIZE];
        destination_texts(connection_record(rec, j), ip, port);
        if (!find_target_portal(target, ip, port) && !setup_portal(target, ip, port, "0", nullptr, nullptr, nullptr)) {
            delete_target(target);
            return nullptr;
        }
    }
    return target;
}

int VEXO_get_tgt_persistent_val(node *lhba, const char *target_name, char *text)
{
    if (!lhba || !target_name || !text)
        return 1;
    int aw_port_number = get_port_number(lhba);
    unsigned int domainid = get_domain_id(lhba), phba_port = get_phba_port_number(lhba);
    uint8_t *buf = static_cast<uint8_t *>(vexo_dcalloc(ISCSI_TARGET_ID_BUFFER));
    if (!buf) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:INSUFFICIENT_MEMORY.\n", __func__);
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return 1;
    }
    put_le32(buf, 0x40 | 0x80);
    if (!ok(ioctl_get_activesessionid(aw_port_number, reinterpret_cast<GET_ALL_SESSION_ID_PARAMS *>(buf),
                                      ISCSI_TARGET_ID_BUFFER, domainid, phba_port))) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:pGetASessionParams is NULL.\n", __func__);
        vexo_dfree(buf);
        return 1;
    }
    uint32_t count = le32_at(buf);
    const uint32_t fits = (ISCSI_TARGET_ID_BUFFER - kIdListHead) / 4;
    if (count > fits)
        count = fits;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "sessioncount = %d\n", static_cast<int>(count));
    int result = 0;
    for (uint32_t i = 0; i < count; ++i) {
        int32_t handle = static_cast<int32_t>(le32_at(buf + kIdListHead + 4 * static_cast<size_t>(i)));
        GET_A_SESSION_PARAMS *p = VEXO_get_session_params(handle, aw_port_number, domainid, phba_port);
        if (!p) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:pGetASessionParams is NULL.\n", __func__);
            result = 1;
            break;
        }
        char name[kNameSize];
        field_text(p->data + kSessTarget, sizeof name, name);
        bool match = strcasecmp(name, target_name) == 0;
        if (match)
            std::snprintf(text, kPersistentText, "%s",
                          (le32_at(p->data + kSessFlags) & kNotPersistent) ? "False" : "True");
        vexo_dfree(p);
        if (match)
            break;
    }
    vexo_dfree(buf);
    return result;
}

int get_all_targets(node *lhba, int aw_port_number, unsigned int domainid, unsigned int phba_port,
                    int perform_discovery, node *, node *, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    if (!lhba || !lhba->parent)
        return 1;
    int target_type = perform_discovery ? 1 : 0;
    DISCOVERY_PARAMS dp;
    std::memset(&dp, 0, sizeof dp);
    VEXO_status_t st = ioctl_get_discoveryparams(aw_port_number, &dp, domainid, phba_port);
    if (!ok(st)) {
        vexo_set_fixed_status(VEXO_STATUS_GET_DISCOVERY_FAILED);
        return st;
    }
    // Only the iSNS entity changes: the record goes back whole, so the
    // servers, SLP settings and iSNS bit the firmware holds stay as they are.
    char name[VEXO_VALUE_SIZE] = "";
    VEXO_status_t nst = get_initiator_name(subgroup(lhba->parent, "iSNS"), name, domainid);
    if (!ok(nst))
        return nst;
    std::memset(dp.data + kIsnsEntity, 0, ISCSI_TARGET_NAME_SIZE);
    std::memcpy(dp.data + kIsnsEntity, name, strnlen(name, ISCSI_TARGET_NAME_SIZE - 1));
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "new_discovery_params.isns_param.entity.initiator_iscsiname = %s domain = %d\n",
           reinterpret_cast<const char *>(dp.data + kIsnsEntity), static_cast<int>(domainid));
    st = ioctl_set_discoveryparams(aw_port_number, &dp, domainid, phba_port);
    if (!ok(st) && st != VEXO_STATUS_DEST_HOST_UNREACHABLE) {
        vexo_set_fixed_status(VEXO_STATUS_SET_DISCOVERY_FAILED);
        return st;
    }
    uint8_t *ids = static_cast<uint8_t *>(vexo_dcalloc(ISCSI_TARGET_ID_BUFFER));
    if (!ids) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return 1;
    }
    put_le32(ids, st == VEXO_STATUS_DEST_HOST_UNREACHABLE ? 0u : static_cast<uint32_t>(perform_discovery));
    put_le32(ids + 4, 0x02 | 0x04 | 0x08);
    if (!ok(ioctl_get_all_tgt_id(aw_port_number, reinterpret_cast<GET_ALL_DISCOVERED_TARGET_ID_PARAMS *>(ids),
                                 ISCSI_TARGET_ID_BUFFER, domainid, phba_port))) {
        vexo_dfree(ids);
        vexo_set_fixed_status(VEXO_STATUS_GET_TARGET_ID_FAILED);
        return 1;
    }
    uint32_t count = le32_at(ids);
    const uint32_t fits = (ISCSI_TARGET_ID_BUFFER - 4) / 8;
    if (count > fits)
        count = fits;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "targetcount = %d\n", static_cast<int>(count));
    node *add_target = action_of(lhba, "AddTarget");
    int result = add_target ? 0 : 1;
    char work[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
    char(*area)[VEXO_VALUE_SIZE] = params ? params : work;
    for (uint32_t i = 0; i < count && result == 0; ++i) {
        uint32_t id = le32_at(ids + 4 + 8 * static_cast<size_t>(i));
        REPORT_A_TARGET_PARAMS q;
        std::memset(&q, 0, sizeof q);
        put_le32(q.data, id);
        uint16_t len = 0;
        st = ioctl_get_a_target_size(aw_port_number, &q, &len, domainid, phba_port);
        // A record shorter than its fixed part cannot be read either.
        if (!ok(st) || len < ISCSI_TARGET_PG_LIST) {
            vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_BUFFER);
            result = 1;
            break;
        }
        uint8_t *rec = static_cast<uint8_t *>(vexo_dcalloc(len));
        if (!rec) {
            vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
            result = 1;
            break;
        }
        put_le32(rec, id);
        if (!ok(ioctl_get_a_target(aw_port_number, reinterpret_cast<REPORT_A_TARGET_PARAMS *>(rec), len, domainid,
                                   phba_port))) {
            vexo_dfree(rec);
            vexo_set_fixed_status(VEXO_STATUS_GET_TARGET_FAILURE);
            result = 1;
            break;
        }
        clear_params(area);
        field_text(rec + ISCSI_TARGET_NAME, ISCSI_TARGET_NAME_SIZE, area[0]);
        fw_portal first;
        first.ip[0] = '\0';
        first.port = 0;
        vexo_walk_target_portals(rec, len, first_portal, &first);
        std::snprintf(area[1], VEXO_VALUE_SIZE, "%s", first.ip);
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "target name is %s\n", area[0]);
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "ipaddress is %s\n", area[1]);
        if (!area[0][0] || !area[1][0]) {
            vexo_dfree(rec);
            continue;
        }
        std::snprintf(area[2], VEXO_VALUE_SIZE, "%d", first.port);
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "portnumber is %d and target_type is %d\n", first.port, target_type);
        char tname[VEXO_VALUE_SIZE];
        std::memcpy(tname, area[0], sizeof tname);
        node *target = setup_target(lhba, tname, lhba, add_target, area, target_type);
        if (!target)
            target = find_target(lhba, tname);
        if (!target) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "find target passed\n");
            vexo_dfree(rec);
            continue;
        }
        char alias[ISCSI_TARGET_ALIAS_SIZE];
        field_text(rec + ISCSI_TARGET_ALIAS, sizeof alias, alias);
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:target alias retrieved from f/w is %s\n", __func__, alias);
        log_portal_counts(rec, len);
        TargetWalk walk = {lhba, target, tname, false};
        vexo_walk_target_portals(rec, len, add_firmware_portal, &walk);
        vexo_dfree(rec);
    }
    vexo_dfree(ids);
    if (result) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s failure\n", __func__);
        return result;
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s success\n", __func__);
    return 0;
}

int get_all_isns(node *iscsi_function, int aw_port_number, unsigned int domainid, unsigned int phba_port,
                 node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    DISCOVERY_PARAMS dp;
    std::memset(&dp, 0, sizeof dp);
    VEXO_status_t st = ioctl_get_discoveryparams(aw_port_number, &dp, domainid, phba_port);
    if (!ok(st)) {
        vexo_set_fixed_status(VEXO_STATUS_GET_DISCOVERY_FAILED);
        return st;
    }
    if (le32_at(dp.data + kIsnsSrvCount) == 0) {
        if (context)
            purge_nodes_within(context, "iSNSServer");
        return 0;
    }
    const uint8_t *srv = dp.data + kIsnsSrvList;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:ip_type = 0x%x\n", __func__, srv[kIpType]);
    char ip[ISCSI_IP_ADDRESS_TEXT] = "", port[VEXO_VALUE_SIZE];
    ipaddr_to_string(srv + kIpBytes, ip, srv[kIpType]);
    std::snprintf(port, sizeof port, "%d", le16_at(srv + kIsnsTcpPort));
    node *isns = subgroup(iscsi_function, "iSNS");
    if (!isns)
        return 1;
    if (node *first = get_first_instance(isns, "iSNSServer")) {
        char fip[VEXO_VALUE_SIZE] = "", fport[VEXO_VALUE_SIZE] = "";
        if (!ok(internal_get_property(first, "IPAddress", fip)) || !ok(internal_get_property(first, "PortNumber", fport)))
            return 1;
        if (std::strncmp(fip, ip, VEXO_VALUE_SIZE) == 0 && std::strncmp(fport, port, VEXO_VALUE_SIZE) == 0)
            return 0;
    }
    char work[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
    char(*area)[VEXO_VALUE_SIZE] = params ? params : work;
    clear_params(area);
    std::snprintf(area[0], VEXO_VALUE_SIZE, "%s", ip);
    std::snprintf(area[1], VEXO_VALUE_SIZE, "%s", port);
    node *server = initialize_iSNSServer(isns, context, action, area);
    if (!server)
        return 1;
    st = internal_set_property(server, "IPAddress", ip);
    if (ok(st))
        st = internal_set_property(server, "PortNumber", port);
    if (!ok(st)) {
        delete_node(server);
        return st;
    }
    return 0;
}

int BuildTargetInfoList(const void *parsed_data, size_t length, node *lhba, node *context, node *action,
                        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    if (!parsed_data || !lhba || !context || length < 4)
        return 1;
    node *fn = lhba->parent;
    node *adapter = fn ? fn->parent : nullptr;
    if (!adapter)
        return 1;
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE)
        return 1;
    const uint8_t *data = static_cast<const uint8_t *>(parsed_data);
    uint32_t count = le32_at(data);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:targetcount returned from f/w = %d\n", __func__,
           static_cast<int>(count));
    int limit = (family == AW_TYPE_AW2 || family == AW_TYPE_AW3) ? 128 : -1;
    char work[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE] = {};
    SendTargetsWalk w = {lhba, context, action, params ? params : work, 0, false};
    int taken = vexo_walk_send_targets(data, length, limit, add_send_target, &w);
    if (w.failed)
        return 1;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:Only %d of %d targets added.\n", __func__, taken - w.not_added, taken);
    return 0;
}

VEXO_status_t group_Target(node *target)
{
    node *lhba = target ? target->parent : nullptr;
    if (!lhba)
        return VEXO_STATUS_SUCCESS;
    int aw_port_number = get_port_number(lhba);
    unsigned int domainid = get_domain_id(target), phba_port = get_phba_port_number(target);
    char work[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE] = {};
    get_all_sessions(lhba, aw_port_number, domainid, phba_port, target, nullptr, work);
    node *gone[64];
    int n_gone = 0;
    for (node *s = get_first_instance(target, "Session"); s; s = next_group_instance(s)) {
        node_handle *h = handle_of(s);
        if (h && get_session_attribs(h->aw_port_number, domainid, phba_port, s) != 0 &&
            n_gone < static_cast<int>(sizeof gone / sizeof gone[0]))
            gone[n_gone++] = s;
    }
    for (int i = 0; i < n_gone; ++i) {
        purge_nodes_within(gone[i], "Connection");
        release_handle(gone[i]);
        delete_node(gone[i]);
    }
    clear_params(work);
    char changed[VEXO_VALUE_SIZE] = "";
    VEXO_status_t r = get_all_luns(target, domainid, phba_port, target, action_of(target, "ReScanLUNS"), work, changed);
    if ((r == VEXO_STATUS_SUCCESS || r == 90) && std::strcmp(changed, "1") == 0)
        scan_from_os(target, domainid, phba_port);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "Leaving %s\n", __func__);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t group_iSNS(node *iSNS_group)
{
    node *fn = iSNS_group ? iSNS_group->parent : nullptr;
    if (!fn)
        return VEXO_STATUS_FAILURE;
    char work[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE] = {};
    int r = get_all_isns(fn, get_port_number(fn), 0, get_phba_port_number(fn), iSNS_group,
                         action_of(iSNS_group, "ConfigureiSNSServer"), work);
    return r ? VEXO_STATUS_FAILURE : VEXO_STATUS_SUCCESS;
}

int setup_iscsi(node *lhba, const char *enabled_text, node *context, node *action,
                char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    node *fn = lhba ? lhba->parent : nullptr;
    node *adapter = fn ? fn->parent : nullptr;
    node_handle *fh = handle_of(fn);
    if (!adapter || !fh)
        return 1;
    unsigned int domainid = static_cast<unsigned int>(instance_number(lhba));
    unsigned int phba_port = get_phba_port_number(fn);
    int aw_port_number = fh->aw_port_number;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:be_port_number = %d\n", __func__, aw_port_number);
    if (!ok(set_prop_val(lhba, "Enabled", "%s", enabled_text ? enabled_text : "")))
        return 1;
    node *network = subgroup(fn, "Network");
    node *tcpip = subgroup(network, "TCPIPConfiguration");
    node *nic = subgroup(network, "NICConfiguration");
    if (!tcpip || !nic)
        return 1;
    char mac[VEXO_VALUE_SIZE] = "";
    VEXO_status_t st = internal_get_property(nic, "MACAddress", mac);
    if (!ok(st)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get iSCSI MACAddress.\n", __func__);
        return st;
    }
    node *ipv6 = subgroup(tcpip, "IPv6Configuration");
    if (!ipv6)
        return 1;
    static const char kNoAddress[] = "0000:0000:0000:0000:0000:0000:0000:0000";
    char route_addr[2][ISCSI_IP_ADDRESS_TEXT] = {"", ""};
    for (int i = 0; i < 2; ++i) {
        VEXO_get_IPv6configuration_properties(aw_port_number, domainid, phba_port, 0x30, route_addr[i], i);
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:route_addr_%d = %s strlen(route_addr_%d) = %d\n", __func__, i,
               route_addr[i], i, static_cast<int>(std::strlen(route_addr[i])));
        set_prop_val(ipv6, i ? "InitiatorRoutableAddress2" : "InitiatorRoutableAddress1", "%s",
                     route_addr[i][0] ? route_addr[i] : kNoAddress);
    }
    char work[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
    char(*area)[VEXO_VALUE_SIZE] = params ? params : work;
    clear_params(area);
    int r = get_all_interfaces(aw_port_number, phba_port, domainid, tcpip);
    r |= get_routeEntry_attribs(aw_port_number, domainid, phba_port, tcpip, nullptr, nullptr, area);
    r |= get_Arp_Entry_attribs(aw_port_number, domainid, phba_port, tcpip, nullptr, nullptr, area);
    clear_params(area);
    r |= get_all_targets(lhba, aw_port_number, domainid, phba_port, 0, context, action, area);
    if (r)
        return r;
    clear_params(area);
    get_all_sessions(lhba, aw_port_number, domainid, phba_port, context, action, area);
    for (node *t = get_first_instance(lhba, "Target"); t; t = next_group_instance(t)) {
        char changed[VEXO_VALUE_SIZE] = "";
        clear_params(area);
        get_all_luns(t, domainid, phba_port, t, action_of(t, "ReScanLUNS"), area, changed);
    }
    return 0;
}
