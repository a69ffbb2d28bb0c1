#include "mgmt/aw/vexo-backend/iscsi_objects.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/byte_order.h"
#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/nodes_target.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_convert.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_status.h"

namespace
{

// Offsets inside the session record and one connection record.
const size_t kStatus = 4, kIsid = 8, kTsih = 14, kFlags = 16, kConnCount = 20, kInitiatorName = 248;
const size_t kNameSize = 224;
const size_t kConnHandle = 0, kConnStatus = 4, kSrcPort = 8, kDestPort = 10, kDestPortRedirected = 12, kCid = 14,
             kSrcIp = 20, kDestIp = 44, kDestIpRedirected = 68;
const size_t kIpType = 3, kIpBytes = 4; // inside an IP_ADDRESS_FORMAT

int instance_of(node *n)
{
    return n && n->u.grp && n->u.grp->multi_instance ? n->u.grp->multi_instance->instance : -1;
}

node_handle *handle_of(node *group)
{
    if (!group || group->node_type != VEXO_NODE_GROUP || !group->u.grp)
        return nullptr;
    return static_cast<node_handle *>(group->u.grp->handle);
}

// Releases a group's handle record before the group itself goes.
void delete_with_handle(node *group)
{
    if (!group)
        return;
    if (group->node_type == VEXO_NODE_GROUP && group->u.grp && group->u.grp->handle) {
        vexo_dfree(group->u.grp->handle);
        group->u.grp->handle = nullptr;
    }
    delete_node(group);
}

node *subgroup(node *parent, const char *name)
{
    return parent ? internal_get_node(parent, name, VEXO_NODE_GROUP) : nullptr;
}

// Writes a property through its handler; `text` is cut to the value size.
bool set_through_handler(node *group, const char *name, const char *text)
{
    char buf[VEXO_VALUE_SIZE];
    std::snprintf(buf, sizeof buf, "%.*s", VEXO_VALUE_SIZE - 1, text ? text : "");
    return internal_set_property(group, name, buf) == VEXO_STATUS_SUCCESS;
}

bool ok(VEXO_status_t s)
{
    return s == VEXO_STATUS_SUCCESS;
}

} // namespace

const char *session_status_text(uint32_t status)
{
    static const struct {
        uint32_t bit;
        const char *text;
    } kTexts[] = {
        {0x0001, "Open"},         {0x0020, "Closed"},      {0x0002, "Login in Progress"},
        {0x0100, "Login failed"}, {0x0800, "Logout failed"}, {0x1000, "In Recovery"},
        {0x0040, "In Recovery"},  {0x2000, "Deleted"},
    };
    for (const auto &t : kTexts)
        if (status & t.bit)
            return t.text;
    return "Unknown";
}

node *setup_target(node *lhba, const char *name, node *context, node *action,
                   char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE], int target_type)
{
    if (!lhba || !name)
        return nullptr;
    unsigned int domainid = get_domain_id(lhba);
    unsigned int phba_port = get_phba_port_number(lhba);
    int aw_port_number = get_port_number(lhba);
    if (find_target(lhba, name))
        return nullptr;
    node *target = initialize_Target(lhba, context, action, params);
    if (!target) {
        vexo_set_fixed_status(VEXO_STATUS_MAX_TARGETS_REACHED);
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: initialize_Target failed ,MAX Targets Reached!!\n", __func__);
        return nullptr;
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:target_type = %d\n", __func__, target_type);
    if (!set_through_handler(target, "TargetISCSIName", name) ||
        !ok(set_prop_val(target, "TargetType", "%s", target_type ? "Discovered" : "Static"))) {
        delete_node(target);
        return nullptr;
    }
    MGMT_CONTROLLER_ATTRIBUTES attrs;
    std::memset(&attrs, 0, sizeof attrs);
    if (!ok(ioctl_fetch_controller_attribs(aw_port_number, &attrs, domainid, phba_port, 1))) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "ioctl_fetch_controller_attribs for ETO failed\n");
        delete_node(target);
        return nullptr;
    }
    bool callback = vexo_valid_port_number(aw_port_number) &&
                    (vexo_glob.iscsi.driver_type[aw_port_number - 1] & VEXO_DRV_CALLBACK);
    VEXO_status_t eto = callback ? set_prop_val(target, "ETO", "%s", "N/A")
                                 : set_prop_val(target, "ETO", "%d",
                                                static_cast<int>(attrs.hba_attribs.default_extended_timeout));
    if (!ok(eto)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "set ETO failed\n");
        delete_node(target);
        return nullptr;
    }
    if (!subgroup(target, "TargetLoginOptions") || !subgroup(lhba, "InitiatorLoginOptions")) {
        delete_node(target);
        return nullptr;
    }
    return target;
}

node *setup_portal(node *target, const char *ip, const char *port, const char *portal_tag, node *context,
                   node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    if (!target || !ip || !port || !portal_tag)
        return nullptr;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:ip:port = %s:%s\n", __func__, ip, port);
    node *portal = initialize_TargetPortal(target, context, action, params);
    if (!portal)
        return nullptr;
    if (!set_through_handler(portal, "TargetIPAddress", ip) || !set_through_handler(portal, "TargetPortNumber", port) ||
        !set_through_handler(portal, "PortalGroupTag", portal_tag)) {
        delete_node(portal);
        return nullptr;
    }
    return portal;
}

// The negotiated option groups are written by the login-option writers,
// which are not part of this file's build yet: until they are bound here the
// groups keep their builder defaults.
node *setup_session(node *target, int aw_port_number, int session_handle, int, const void *, node *context,
                    node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE], const char *portal_tag)
{
    if (!target)
        return nullptr;
    node *session = initialize_Session(target, context, action, params);
    if (!session)
        return nullptr;
    node_handle *h = static_cast<node_handle *>(vexo_dcalloc(sizeof(node_handle)));
    if (!h) {
        delete_node(session);
        return nullptr;
    }
    h->aw_port_number = aw_port_number;
    h->session_handle = session_handle;
    h->portalgrouptag = portal_tag ? static_cast<int32_t>(std::strtol(portal_tag, nullptr, 10)) : 0;
    session->u.grp->handle = h;
    if (!subgroup(target, "TargetLoginOptions") || !subgroup(session, "SessionLoginOptions")) {
        delete_with_handle(session);
        return nullptr;
    }
    return session;
}

node *setup_connection(node *session, int connection_handle, const void *, node *context, node *action,
                       char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    if (!session)
        return nullptr;
    node *conn = initialize_Connection(session, context, action, params);
    if (!conn)
        return nullptr;
    node_handle *h = static_cast<node_handle *>(vexo_dcalloc(sizeof(node_handle)));
    if (!h) {
        delete_node(conn);
        return nullptr;
    }
    h->connection_handle = connection_handle;
    conn->u.grp->handle = h;
    return conn;
}

node *find_target(node *lhba, const char *name)
{
    if (!lhba || !name)
        return nullptr;
    char v[VEXO_VALUE_SIZE];
    for (node *t = get_first_instance(lhba, "Target"); t; t = next_group_instance(t)) {
        v[0] = '\0';
        if (ok(internal_get_property(t, "TargetISCSIName", v)) && strcasecmp(v, name) == 0)
            return t;
    }
    return nullptr;
}

node *find_target_portal(node *target, const char *ip, const char *port)
{
    if (!target)
        return nullptr;
    char tip[VEXO_VALUE_SIZE], tport[VEXO_VALUE_SIZE];
    for (node *p = get_first_instance(target, "TargetPortal"); p; p = next_group_instance(p)) {
        tip[0] = tport[0] = '\0';
        if (!ok(internal_get_property(p, "TargetIPAddress", tip)) ||
            !ok(internal_get_property(p, "TargetPortNumber", tport)))
            continue;
        if ((!ip || !*ip || std::strcmp(ip, tip) == 0) && (!port || !*port || std::strcmp(port, tport) == 0))
            return p;
    }
    return nullptr;
}

int validate_target_portal(node *target, int *instance, const char *ip, const char *port)
{
    if (!target || !ip)
        return 1;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:ip = %s port = %s\n", __func__, ip, port ? port : "");
    char tip[VEXO_VALUE_SIZE], tport[VEXO_VALUE_SIZE];
    for (node *p = get_first_instance(target, "TargetPortal"); p; p = next_group_instance(p)) {
        tip[0] = tport[0] = '\0';
        if (!ok(internal_get_property(p, "TargetIPAddress", tip)) ||
            !ok(internal_get_property(p, "TargetPortNumber", tport)))
            continue;
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:tip = %s tport = %s\n", __func__, tip, tport);
        if (std::strcmp(ip, tip) == 0 && (!port || !*port || std::strcmp(port, tport) == 0)) {
            if (instance)
                *instance = instance_of(p);
            return 0;
        }
    }
    return 1;
}

node *find_session(node *target, const char *ip, const char *port)
{
    if (!target || !ip || !port)
        return nullptr;
    char dip[VEXO_VALUE_SIZE], dport[VEXO_VALUE_SIZE];
    for (node *s = get_first_instance(target, "Session"); s; s = next_group_instance(s)) {
        node *c = get_first_instance(s, "Connection");
        if (!c)
            return nullptr;
        for (; c; c = next_group_instance(c)) {
            if (!ok(internal_get_property(c, "DestinationIPAddress", dip)) ||
                !ok(internal_get_property(c, "DestinationPortNumber", dport)))
                return nullptr;
            if (strcasecmp(dip, ip) == 0 && strcasecmp(dport, port) == 0)
                return s;
        }
    }
    return nullptr;
}

node *get_matchnode_by_propvalue(node *parent, const char *group_name, const char *prop_name, const char *value)
{
    if (!parent || !group_name || !prop_name || !value)
        return nullptr;
    char v[VEXO_VALUE_SIZE];
    for (node *g = get_first_instance(parent, group_name); g; g = next_group_instance(g)) {
        if (!ok(internal_get_property(g, prop_name, v)))
            return nullptr;
        if (strcasecmp(v, value) == 0)
            return g;
    }
    return nullptr;
}

void ipaddr_to_string(const uint8_t *address_bytes, char *text, int ip_type)
{
    if (!text)
        return;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:ip_type = 0x%x\n", __func__, static_cast<unsigned>(ip_type));
    static const uint8_t kZero[16] = {0};
    const uint8_t *a = address_bytes ? address_bytes : kZero;
    if (ip_type == 0) {
        std::snprintf(text, ISCSI_IP_ADDRESS_TEXT, "0.0.0.0");
    } else if (ip_type & 0x07) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%d %d %d %d\n", a[0], a[1], a[2], a[3]);
        std::snprintf(text, 16, "%d.%d.%d.%d", a[0], a[1], a[2], a[3]);
    } else if (ip_type & 0xF0) {
        U8IPv6ToStr(a, text);
        // The all-zero address has no short text and stays empty.
        if (text[0] != '\0' && validateIPv6Address(text) != VEXO_STATUS_SUCCESS)
            text[0] = '\0';
    } else {
        std::snprintf(text, ISCSI_IP_ADDRESS_TEXT, "0.0.0.0");
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:ipaddress = %s\n", __func__, text);
}

GET_A_SESSION_PARAMS *VEXO_get_session_params(int session_handle, int aw_port_number, unsigned int domainid,
                                              unsigned int phba_port)
{
    GET_A_SESSION_PARAMS *p = static_cast<GET_A_SESSION_PARAMS *>(vexo_dcalloc(sizeof(GET_A_SESSION_PARAMS)));
    if (!p) {
        vexo_set_fixed_status(VEXO_STATUS_GET_SESSION_FAILED);
        return nullptr;
    }
    uint32_t h = static_cast<uint32_t>(session_handle);
    for (int i = 0; i < 4; ++i)
        p->data[i] = static_cast<uint8_t>(h >> (8 * i));
    VEXO_status_t st = ioctl_get_a_session(aw_port_number, p, ISCSI_SESSION_RECORD_SIZE, domainid, phba_port);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_get_a_session failed with status = %d\n", __func__, st);
        vexo_dfree(p);
        vexo_set_fixed_status(VEXO_STATUS_GET_SESSION_FAILED);
        return nullptr;
    }
    return p;
}

int VEXO_update_connection_props(const GET_A_SESSION_PARAMS *session_info, node *session)
{
    if (!session_info || !session) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:pGetASessionParams or session nodes are NULL.\n", __func__);
        return 1;
    }
    const uint8_t *rec = session_info->data;
    uint16_t conn_count = le16_at(rec + kConnCount);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:Connection count is:%d\n", __func__, conn_count);
    // The record has room for one connection, whatever the count says.
    uint16_t records = conn_count > 1 ? 1 : conn_count;
    for (uint16_t i = 0; i < records; ++i) {
        const uint8_t *ci = rec + ISCSI_SESSION_CONN_LIST + static_cast<size_t>(i) * ISCSI_CONN_INFO_SIZE;
        int32_t handle = static_cast<int32_t>(le32_at(ci + kConnHandle));
        node *conn = get_first_instance(session, "Connection");
        if (!conn)
            return 1;
        node *match = nullptr;
        for (; conn; conn = next_group_instance(conn)) {
            node_handle *h = handle_of(conn);
            if (!h)
                return 1;
            if (h->connection_handle == handle) {
                match = conn;
                break;
            }
        }
        if (!match) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Invalid connection node.\n", __func__);
            return 1;
        }
        uint32_t cstatus = le32_at(ci + kConnStatus);
        char src[ISCSI_IP_ADDRESS_TEXT] = "", dest[ISCSI_IP_ADDRESS_TEXT] = "", redir[ISCSI_IP_ADDRESS_TEXT] = "";
        ipaddr_to_string(ci + kSrcIp + kIpBytes, src, ci[kSrcIp + kIpType]);
        ipaddr_to_string(ci + kDestIp + kIpBytes, dest, ci[kDestIp + kIpType]);
        int r = 0;
        r |= !ok(set_prop_val(match, "iSCSIConnectionID", "%d", le16_at(ci + kCid)));
        r |= !ok(set_prop_val(match, "Status", "%s", (cstatus & 0x1) ? "Logged-in" : "Connection closed"));
        r |= !ok(set_prop_val(match, "SourcePortNumber", "%d", le16_at(ci + kSrcPort)));
        r |= !ok(set_prop_val(match, "DestinationPortNumber", "%d", le16_at(ci + kDestPort)));
        r |= !ok(set_prop_val(match, "SourceIPAddress", "%s", src));
        r |= !ok(set_prop_val(match, "DestinationIPAddress", "%s", dest));
        bool redirected = false;
        if (cstatus & 0x4) {
            ipaddr_to_string(ci + kDestIpRedirected + kIpBytes, redir, ci[kDestIpRedirected + kIpType]);
            redirected = strcasecmp(redir, "0.0.0.0") != 0 &&
                         strcasecmp(redir, "0000:0000:0000:0000:0000:0000:0000:0000") != 0;
        }
        if (redirected) {
            r |= !ok(set_prop_val(match, "RedirectedDestinationIPAddress", "%s", redir));
            r |= !ok(set_prop_val(match, "RedirectedDestinationPort", "%d", le16_at(ci + kDestPortRedirected)));
        } else {
            r |= !ok(set_prop_val(match, "RedirectedDestinationIPAddress", "%s", dest));
            r |= !ok(set_prop_val(match, "RedirectedDestinationPort", "%d", le16_at(ci + kDestPort)));
        }
        if (r) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to set connection related properties.\n", __func__);
            return 1;
        }
    }
    return 0;
}

int get_session_attribs(int aw_port_number, unsigned int domainid, unsigned int phba_port, node *session)
{
    node_handle *h = handle_of(session);
    if (!h)
        return 1;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:session_info->session_handle = %d\n", __func__, h->session_handle);
    GET_A_SESSION_PARAMS *p = VEXO_get_session_params(h->session_handle, aw_port_number, domainid, phba_port);
    if (!p) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:pGetASessionParams is NULL.\n", __func__);
        vexo_set_fixed_status(VEXO_STATUS_GET_SESSION_FAILED);
        return 1;
    }
    const uint8_t *rec = p->data;
    int r = VEXO_update_connection_props(p, session);
    const uint8_t *isid = rec + kIsid;
    r |= !ok(set_prop_val(session, "SessionTSIH", "%d", le16_at(rec + kTsih)));
    r |= !ok(set_prop_val(session, "ISIDQualifier", "%02x%02x", isid[4], isid[5]));
    r |= !ok(set_prop_val(session, "ISID", "%02x%02x%02x%02x%02x%02x", isid[0], isid[1], isid[2], isid[3], isid[4],
                          isid[5]));
    r |= !ok(set_prop_val(session, "SessionStatus", "%s", session_status_text(le32_at(rec + kStatus))));
    const char *iname = reinterpret_cast<const char *>(rec + kInitiatorName);
    r |= !ok(set_prop_val(session, "SessionInitiatorName", "%.*s", static_cast<int>(strnlen(iname, kNameSize)),
                          iname));
    if (domainid == 0)
        r |= !ok(set_prop_val(session, "Persistent", "%s", (le32_at(rec + kFlags) & 0x0001) ? "False" : "True"));
    vexo_dfree(p);
    return r;
}

VEXO_status_t handle_session_properties(node *property, char *value, int)
{
    node *session = property ? property->parent : nullptr;
    if (!session)
        return VEXO_STATUS_FAILURE;
    int r = get_session_attribs(get_port_number(session), get_domain_id(property), get_phba_port_number(property),
                                session);
    if (r != 0)
        return static_cast<VEXO_status_t>(r);
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_connection_properties(node *property, char *value, int)
{
    node *conn = property ? property->parent : nullptr;
    node *session = conn ? conn->parent : nullptr;
    if (!session)
        return VEXO_STATUS_FAILURE;
    int r = get_session_attribs(get_port_number(session), get_domain_id(property), get_phba_port_number(property),
                                session);
    if (r != 0)
        return static_cast<VEXO_status_t>(r);
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_TargetAlias(node *property, char *value, int)
{
    node *target = property ? property->parent : nullptr;
    if (!target)
        return VEXO_STATUS_FAILURE;
    node *session = get_first_instance(target, "Session");
    VEXO_status_t st;
    if (session) {
        node *stats = subgroup(session, "iSCSISessionStatistics");
        if (!stats)
            return VEXO_STATUS_FAILURE;
        char alias[VEXO_VALUE_SIZE] = "";
        if (!ok(internal_get_property(stats, "SessionTargetAlias", alias)))
            return VEXO_STATUS_FAILURE;
        st = set_prop_val(target, "TargetAlias", "%s", alias);
    } else {
        st = set_prop_val(target, "TargetAlias", "%s", "");
    }
    if (!ok(st))
        return VEXO_STATUS_FAILURE;
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t group_Session(node *session)
{
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s called\n", __func__);
    node_handle *h = handle_of(session);
    if (h && get_session_attribs(h->aw_port_number, get_domain_id(session), get_phba_port_number(session), session))
        return VEXO_STATUS_FAILURE;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "Leaving %s\n", __func__);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t group_LUN(node *lun)
{
    node *target = lun ? lun->parent : nullptr;
    if (!target)
        return VEXO_STATUS_FAILURE;
    for (node *s = get_first_instance(target, "Session"); s; s = next_group_instance(s)) {
        node_handle *h = handle_of(s);
        if (h && get_session_attribs(h->aw_port_number, get_domain_id(s), get_phba_port_number(s), s) == 0) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "Leaving %s\n", __func__);
            return VEXO_STATUS_SUCCESS;
        }
    }
    return VEXO_STATUS_FAILURE;
}

int copy_login_options(node *dest_options, node *src_options, int type)
{
    if (type < 0 || type > 3 || !dest_options || !src_options)
        return 1;
    node *dauth = subgroup(dest_options, "Authentication");
    node *sauth = subgroup(src_options, "Authentication");
    if (!dauth || !sauth)
        return 1;
    static const char *const kAuth[] = {"AuthenticationMethod", "InitiatorCHAPName", "InitiatorSecret",
                                        "TargetCHAPName", "TargetSecret"};
    char v[VEXO_VALUE_SIZE];
    int r = 0;
    for (const char *name : kAuth) {
        v[0] = '\0';
        if (!ok(internal_get_property(sauth, name, v)) || !ok(set_prop_val(dauth, name, "%s", v)))
            r = 1;
    }
    if (type == 3)
        return r;
    v[0] = '\0';
    if (!ok(internal_get_property(src_options, "InitialR2T", v)) || !set_through_handler(dest_options, "InitialR2T", v))
        r = 1;
    bool cached = dest_options->node_name && std::strcmp(dest_options->node_name, "TargetLoginOptions") == 0;
    static const char *const kDigests[] = {"ImmediateData", "DataDigest", "HeaderDigest"};
    for (const char *name : kDigests) {
        v[0] = '\0';
        if (!ok(internal_get_property(src_options, name, v))) {
            r = 1;
            continue;
        }
        bool written = cached ? ok(set_prop_val(dest_options, name, "%s", v)) : set_through_handler(dest_options, name, v);
        if (!written)
            r = 1;
    }
    return r;
}
