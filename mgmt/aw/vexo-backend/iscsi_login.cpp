#include "mgmt/aw/vexo-backend/iscsi_login.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <vector>

#include "mgmt/aw/vexo-backend/backend_iscsi_region.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/boot_targets.h"
#include "mgmt/aw/vexo-backend/byte_order.h"
#include "mgmt/aw/vexo-backend/iscsi_logout.h"
#include "mgmt/aw/vexo-backend/iscsi_luns.h"
#include "mgmt/aw/vexo-backend/iscsi_objects.h"
#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/aw/vexo-backend/login_options.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/target_eto.h"
#include "mgmt/aw/vexo-backend/vexo_convert.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_status.h"

namespace
{

const int kMaxSessions = 64;
const size_t kBtlOsBus = 14, kBtlOsTarget = 16;
const uint32_t kSessionLoginFailed = 0x0100;
const int kQualifierCount = 0x10000;

// Qualifier of the next discovery login; shared by all adapters for the
// life of the library.
uint16_t discovery_isid_counter = 0;

node *child_group(node *parent, const char *name)
{
    return parent ? internal_get_node(parent, name, VEXO_NODE_GROUP) : nullptr;
}

int count_instances(node *parent, const char *name)
{
    int n = 0;
    for (node *i = get_first_instance(parent, name); i; i = next_group_instance(i))
        ++n;
    return n;
}

// The ISID qualifier text of the tree ("%02x%02x") as a number; -1 when it
// is not one.
long qualifier_of(const char *text)
{
    char *end = nullptr;
    long v = std::strtol(text, &end, 16);
    return end == text || *end != '\0' || v < 0 || v > 0xFFFF ? -1 : v;
}

// Marks in `used` (one byte per qualifier) every qualifier a Session of the
// tree holds. A Session without the property holds none.
void used_qualifiers(std::vector<uint8_t> &used)
{
    used.assign(kQualifierCount, 0);
    node *root = get_node(0);
    for (node *a = get_first_instance(root, "Arcwright"); a; a = next_group_instance(a))
        for (node *f = get_first_instance(a, "iSCSIPhysicalHBA"); f; f = next_group_instance(f))
            for (node *l = get_first_instance(f, "LogicalHBA"); l; l = next_group_instance(l))
                for (node *t = get_first_instance(l, "Target"); t; t = next_group_instance(t))
                    for (node *s = get_first_instance(t, "Session"); s; s = next_group_instance(s)) {
                        node *p = internal_get_node(s, "ISIDQualifier", VEXO_NODE_PROPERTY);
                        long q = p && p->u.prop ? qualifier_of(p->u.prop->val) : -1;
                        if (q >= 0)
                            used[static_cast<size_t>(q)] = 1;
                    }
}

// First Connection's destination of a Session equals the portal (no case).
bool session_to(node *session, const char *address, const char *port)
{
    node *conn = get_first_instance(session, "Connection");
    char ip[VEXO_VALUE_SIZE], p[VEXO_VALUE_SIZE];
    return conn && read_property_text(conn, "DestinationIPAddress", ip) && read_property_text(conn, "DestinationPortNumber", p) &&
           strcasecmp(ip, address) == 0 && strcasecmp(p, port) == 0;
}

// A closed or failed Session to the portal, with the qualifier `want` when
// it is not negative.
node *reusable_session(node *target, const char *address, const char *port, long want, long *qualifier)
{
    for (node *s = get_first_instance(target, "Session"); s; s = next_group_instance(s)) {
        char status[VEXO_VALUE_SIZE], isid[VEXO_VALUE_SIZE];
        if (!read_property_text(s, "SessionStatus", status) ||
            (strcasecmp(status, "Closed") != 0 && strcasecmp(status, "Login Failed") != 0))
            continue;
        if (!session_to(s, address, port) || !read_property_text(s, "ISIDQualifier", isid))
            continue;
        long q = qualifier_of(isid);
        if (q < 0 || (want >= 0 && q != want))
            continue;
        *qualifier = q;
        return s;
    }
    return nullptr;
}

// The choices of one level text: CHAP (1 with, 0 without) or digest (1 the
// configured digest, 0 none). The count, 0 for an unknown level.
int chap_plan(const char *level, int choice[2])
{
    if (strcasecmp(level, "Preferred") == 0) {
        choice[0] = 1;
        choice[1] = 0;
        return 2;
    }
    if (strcasecmp(level, "Discouraged") == 0) {
        choice[0] = 0;
        choice[1] = 1;
        return 2;
    }
    if (strcasecmp(level, "Prohibited") == 0) {
        choice[0] = 0;
        return 1;
    }
    if (strcasecmp(level, "Required") == 0) {
        choice[0] = 1;
        return 1;
    }
    return 0;
}

int digest_plan(const char *level, int choice[2])
{
    if (strcasecmp(level, "Preferred") == 0) {
        choice[0] = 1;
        choice[1] = 0;
        return 2;
    }
    if (strcasecmp(level, "Discouraged") == 0 || strcasecmp(level, "Prohibited") == 0 ||
        strcasecmp(level, "Required") == 0) {
        choice[0] = 0;
        return 1;
    }
    return 0;
}

struct Portal {
    const char *address;
    const char *port;
    int qualifier;
};

// One target-login attempt around the send: the persistent login of a new
// session (or of a retry's new qualifier) is made once before the login and
// taken back once when the login fails, so firmware and file hold exactly
// the entry of the attempt that succeeded.
VEXO_status_t target_attempt(node *target, const char *name, int aw_port_number, unsigned int domainid,
                             unsigned int phba_port, LOGIN_TARGET_PARAMS *request, const MGMT_LOGIN_OPTIONS *options,
                             const Portal &portal, const char *boot_text, const char *initiator_name, bool persist,
                             int eto, bool *persist_failed)
{
    *persist_failed = false;
    if (persist) {
        int rc = make_session_persistent(target, portal.address, portal.port, portal.qualifier, options, boot_text,
                                         initiator_name, eto);
        if (rc != 0) {
            *persist_failed = true;
            return static_cast<VEXO_status_t>(rc);
        }
    }
    VEXO_status_t st = ioctl_login_target(aw_port_number, request, domainid, phba_port);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:status of ioctl_login_target = %d\n", __func__, st);
    if (st == VEXO_STATUS_SUCCESS)
        return st;
    if (st == VEXO_STATUS_LOGIN_NOT_FOUND || st == VEXO_STATUS_DEST_HOST_UNREACHABLE)
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:Login failed for invalid Target..\n", __func__);
    if (persist) {
        VEXO_status_t code = vexo_last_status_code;
        char text[VEXO_LAST_STATUS_SIZE];
        std::snprintf(text, sizeof text, "%s", vexo_last_status_string);
        delete_persistent(aw_port_number, domainid, phba_port, target, name, portal.address, portal.port,
                          portal.qualifier, initiator_name, 0);
        vexo_set_last_status(code, text);
    }
    return st;
}

} // namespace

bool fill_ip(uint8_t *rec, const char *address)
{
    put_le16(rec, 24);
    if (std::strlen(address) < 16) {
        rec[3] = 1;
        return inet_pton(AF_INET, address, rec + 4) == 1;
    }
    rec[3] = 16;
    char text[VEXO_VALUE_SIZE];
    std::snprintf(text, sizeof text, "%s", address);
    StrToU8IPv6(text, rec + 4);
    return true;
}

bool port_number(const char *text, uint16_t *port)
{
    char *end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < 0 || v > 0xFFFF)
        return false;
    *port = static_cast<uint16_t>(v);
    return true;
}

static int fresh_qualifier(const int *tried, int tried_count);

int check_for_isid_existence(int qualifier)
{
    std::vector<uint8_t> used;
    used_qualifiers(used);
    return used[static_cast<size_t>(qualifier) & 0xFFFF] ? 1 : 0;
}

int generate_isid_qualifier(void)
{
    return fresh_qualifier(nullptr, 0);
}

// The lowest qualifier that neither a Session of the tree nor one of the
// `tried` ones holds; -1 with status 71 when there is none.
static int fresh_qualifier(const int *tried, int tried_count)
{
    std::vector<uint8_t> used;
    used_qualifiers(used);
    for (int i = 0; i < tried_count; ++i)
        used[static_cast<size_t>(tried[i]) & 0xFFFF] = 1;
    for (int q = 0; q < kQualifierCount; ++q)
        if (!used[static_cast<size_t>(q)])
            return q;
    vexo_set_fixed_status(VEXO_STATUS_ISID_ALREADY_IN_USE);
    return -1;
}

int VEXO_get_isid(node *target, const char *isid, const char *target_name, const char *initiator_name,
                  const char *address, const char *port, int *isid_found, int *qualifier, node **session)
{
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:ipaddress = %s and port = %s\n", __func__, address ? address : "",
           port ? port : "");
    if (!target || !target_name || !initiator_name || !address || !port || !isid_found || !qualifier || !session)
        return 1;
    *isid_found = 0;
    *session = nullptr;
    if (!get_first_instance(target, "Session")) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:There are no sessions. So generating ISID.\n", __func__);
        int q = generate_isid_qualifier();
        if (q < 0)
            return 1;
        *qualifier = q;
        return 0;
    }
    long found_q = -1;
    if (isid && isid[0] != '\0') {
        char *end = nullptr;
        unsigned long v = std::strtoul(isid, &end, 0);
        if (end == isid || *end != '\0') {
            vexo_set_last_status(VEXO_STATUS_INVALID_VALUE,
                                 "ISIDQualifier: Value out of range. Valid range is from 0 to 65535");
            return 1;
        }
        long want = static_cast<long>(v & 0xFFFF);
        node *s = reusable_session(target, address, port, want, &found_q);
        if (s) {
            *isid_found = 1;
            *session = s;
            *qualifier = static_cast<int>(want);
            return 0;
        }
        if (check_for_isid_existence(static_cast<int>(want))) {
            vexo_set_fixed_status(VEXO_STATUS_ISID_ALREADY_IN_USE);
            return 1;
        }
        *qualifier = static_cast<int>(want);
        return 0;
    }
    node *s = reusable_session(target, address, port, -1, &found_q);
    if (s) {
        *isid_found = 1;
        *session = s;
        *qualifier = static_cast<int>(found_q);
        return 0;
    }
    int q = generate_isid_qualifier();
    if (q < 0)
        return 1;
    *qualifier = q;
    return 0;
}

int VEXO_esx_login(node *action_node, node *login_options, LOGIN_TARGET_PARAMS *request,
                   char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE], const char *initiator_name, int session_found,
                   int target_type)
{
    if (!action_node || !login_options || !request || !login_options->parent || !params || !initiator_name)
        return 1;
    node *owner = login_options->parent;
    int aw_port_number = get_port_number(owner->parent);
    unsigned int domainid = get_domain_id(action_node), phba_port = get_phba_port_number(action_node);

    uint8_t kept[LOGIN_REQ_LOGIN_OPTIONS];
    std::memcpy(kept, request->data, sizeof kept);

    char chap_level[VEXO_VALUE_SIZE], data_level[VEXO_VALUE_SIZE], header_level[VEXO_VALUE_SIZE];
    node *auth = child_group(login_options, "Authentication");
    if (!auth || !read_property_text(auth, "CHAPParam", chap_level) || !read_property_text(login_options, "DataParam", data_level) ||
        !read_property_text(login_options, "HeaderParam", header_level))
        return 1;
    int chap[2], header[2], data[2];
    int chap_n = chap_plan(chap_level, chap), header_n = digest_plan(header_level, header),
        data_n = digest_plan(data_level, data);
    int last = chap_n * header_n * data_n - 1;

    char name[VEXO_VALUE_SIZE] = "";
    if (target_type == 1 && !read_property_text(owner, "TargetISCSIName", name))
        return 1;
    Portal portal = {params[0], params[1], le16_at(request->data + LOGIN_REQ_ISID_QUALIFIER)};
    int eto = 0;
    int tried[8];

    int attempt = 0;
    for (int c = 0; c < chap_n; ++c)
        for (int h = 0; h < header_n; ++h)
            for (int d = 0; d < data_n; ++d, ++attempt) {
                MGMT_LOGIN_OPTIONS options = *get_default_login_options();
                if (update_chap_details(login_options, &options, chap[c]) != VEXO_STATUS_SUCCESS ||
                    update_header_digest_details(login_options, &options, header[h]) != VEXO_STATUS_SUCCESS ||
                    update_data_digest_details(login_options, &options, data[d]) != VEXO_STATUS_SUCCESS)
                    return 1;
                std::memcpy(request->data + LOGIN_REQ_LOGIN_OPTIONS, &options, sizeof options);
                VEXO_status_t st;
                if (target_type == 0) {
                    uint8_t *r = request->data;
                    put_le32(r + LOGIN_REQ_SESSION_FLAGS, le32_at(r + LOGIN_REQ_SESSION_FLAGS) |
                                                              ISCSI_SESSION_NOT_PERSISTENT | ISCSI_SESSION_DISCOVERY);
                    put_le16(r + LOGIN_REQ_ISID_QUALIFIER, discovery_isid_counter++);
                    st = ioctl_login_target(aw_port_number, request, domainid, phba_port);
                    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:status of ioctl_login_target = %d\n", __func__,
                           st);
                    if (st == VEXO_STATUS_SUCCESS)
                        return 0;
                    if (st != VEXO_STATUS_AUTHENTICATION_FAILURE && st != VEXO_STATUS_LOGIN_DIGEST_ERROR)
                        return st;
                    if (attempt == last)
                        vexo_set_fixed_status(st);
                } else {
                    // A reused session keeps its persistent login; every other
                    // attempt carries its own.
                    bool persist = session_found == 0 || attempt > 0;
                    bool persist_failed = false;
                    st = target_attempt(owner, name, aw_port_number, domainid, phba_port, request, &options, portal,
                                        params[4], initiator_name, persist, eto, &persist_failed);
                    if (persist_failed)
                        return st;
                    if (st == VEXO_STATUS_SUCCESS)
                        return 0;
                    if (st != VEXO_STATUS_AUTHENTICATION_FAILURE && st != VEXO_STATUS_LOGIN_DIGEST_ERROR) {
                        vexo_set_fixed_status(VEXO_STATUS_LOGIN_FAILED);
                        return 1;
                    }
                    if (attempt == last) {
                        vexo_set_fixed_status(st);
                        return st;
                    }
                    // A refused qualifier is not offered again within this login.
                    tried[attempt] = portal.qualifier;
                    int q = fresh_qualifier(tried, attempt + 1);
                    if (q < 0)
                        return 1;
                    char eto_text[VEXO_VALUE_SIZE];
                    if (!read_property_text(owner, "ETO", eto_text))
                        return 1;
                    eto = std::atoi(eto_text);
                    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:isid = %d\n", __func__, q);
                    portal.qualifier = q;
                }
                std::memcpy(request->data, kept, sizeof kept);
                if (target_type == 1)
                    put_le16(request->data + LOGIN_REQ_ISID_QUALIFIER, static_cast<uint16_t>(portal.qualifier));
            }
    return 1;
}

VEXO_status_t do_Login(node *context, node *action_node, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    node *target = context;
    if (!target || !action_node || !params)
        return VEXO_STATUS_FAILURE;
    unsigned int domainid = get_domain_id(action_node), phba_port = get_phba_port_number(action_node);
    node *lhba = target->parent;
    if (!lhba)
        return VEXO_STATUS_FAILURE;
    char adapter_name[VEXO_MAX_NAME_SIZE];
    std::snprintf(adapter_name, sizeof adapter_name, "Arcwright%d", get_aw_instance(action_node));
    node *adapter = internal_get_node(get_node(0), adapter_name, VEXO_NODE_GROUP);
    if (!adapter) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get %s node\n", __func__, adapter_name);
        return VEXO_STATUS_FAILURE;
    }

    if (count_instances(target, "Session") >= kMaxSessions) {
        vexo_set_fixed_status(VEXO_STATUS_SESSION_COUNT_EXCEEDED);
        return VEXO_STATUS_FAILURE;
    }
    int portals = count_instances(target, "TargetPortal");
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:Total target portal count = %d\n", __func__, portals);
    if (portals == 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "no portal\n");
        vexo_set_fixed_status(VEXO_STATUS_PORTAL_NOT_FOUND);
        return VEXO_STATUS_FAILURE;
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:login_portal_count = %d\n", __func__, 0);
    node *portal = nullptr;
    if (params[0][0] == '\0' && params[1][0] == '\0') {
        portal = get_selected_group_node(target, "TargetPortal", "0");
        // Portal 0 was deleted: the lowest remaining one serves.
        if (!portal)
            portal = get_first_instance(target, "TargetPortal");
    } else {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:ipaddress = %s and port = %s\n", __func__, params[0], params[1]);
        int instance = -1;
        char text[16];
        if (validate_target_portal(target, &instance, params[0], params[1]) == 0) {
            std::snprintf(text, sizeof text, "%d", instance);
            portal = get_selected_group_node(target, "TargetPortal", text);
        }
        if (!portal) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "no portal\n");
            vexo_set_fixed_status(VEXO_STATUS_PORTAL_NOT_FOUND);
            return VEXO_STATUS_FAILURE;
        }
    }
    char tag[VEXO_VALUE_SIZE];
    if (!portal || !read_property_text(portal, "TargetIPAddress", params[0]) ||
        !read_property_text(portal, "TargetPortNumber", params[1]) || !read_property_text(portal, "PortalGroupTag", tag))
        return VEXO_STATUS_FAILURE;

    node *function = lhba->parent;
    int aw_port_number = get_port_number(function);
    node *ini_group = child_group(lhba, "InitiatoriSCSIName");
    if (!ini_group)
        return VEXO_STATUS_FAILURE;

    node *matched = nullptr;
    char matched_boot[VEXO_VALUE_SIZE] = "";
    for (node *s = get_first_instance(target, "Session"); s; s = next_group_instance(s))
        if (session_to(s, params[0], params[1])) {
            matched = s;
            read_property_text(s, "iSCSIBoot", matched_boot);
            break;
        }
    if (params[2][0] == '\0') {
        char name[VEXO_VALUE_SIZE];
        bool ok = matched ? read_property_text(matched, "SessionInitiatorName", name)
                          : read_property_text(ini_group, "InitiatoriSCSIName", name);
        if (!ok)
            return VEXO_STATUS_FAILURE;
        std::snprintf(params[2], VEXO_VALUE_SIZE, "%.223s", name);
    }

    LOGIN_TARGET_PARAMS *request = static_cast<LOGIN_TARGET_PARAMS *>(vexo_dmalloc(sizeof(LOGIN_TARGET_PARAMS)));
    if (!request) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return VEXO_STATUS_FAILURE;
    }
    std::memset(request, 0, sizeof *request);
    VEXO_status_t result = VEXO_STATUS_FAILURE;
    uint8_t *r = request->data;
    char alias[VEXO_VALUE_SIZE], target_name[VEXO_VALUE_SIZE], eto_text[VEXO_VALUE_SIZE];
    int isid_found = 0, qualifier = 0;
    node *session = nullptr, *opts = nullptr;
    uint16_t tcp_port = 0;
    char boot_target[VEXO_VALUE_SIZE], boot_priority[VEXO_VALUE_SIZE];
    char luns_check[VEXO_VALUE_SIZE] = "";
    VEXO_status_t luns;
    node *conn = nullptr;

    std::snprintf(reinterpret_cast<char *>(r + LOGIN_REQ_INITIATOR_NAME), LOGIN_NAME_SIZE, "%.223s", params[2]);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "target_params.request.initiator_name is %s\n", params[2]);
    if (!read_property_text(ini_group, "InitiatorAlias", alias) || !read_property_text(target, "TargetISCSIName", target_name))
        goto out;
    std::snprintf(reinterpret_cast<char *>(r + LOGIN_REQ_INITIATOR_ALIAS), LOGIN_ALIAS_SIZE, "%.31s", alias);
    std::snprintf(reinterpret_cast<char *>(r + LOGIN_REQ_TARGET_NAME), LOGIN_NAME_SIZE, "%.223s", target_name);

    if (VEXO_get_isid(target, params[3], target_name, params[2], params[0], params[1], &isid_found, &qualifier,
                      &session) != 0)
        goto out;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:session_found = %d isidqualifier = %d\n", __func__, isid_found,
           qualifier);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:isid_qualifier = %d\n", __func__, qualifier);
    put_le16(r + LOGIN_REQ_ISID_QUALIFIER, static_cast<uint16_t>(qualifier));
    if (!fill_ip(r + LOGIN_REQ_IP_ADDRESS, params[0]) || !port_number(params[1], &tcp_port))
        goto out;
    put_le16(r + LOGIN_REQ_TCP_PORT, tcp_port);
    put_le32(r + LOGIN_REQ_SESSION_FLAGS, ISCSI_SESSION_NOT_PERSISTENT | ISCSI_SESSION_TARGET);
    put_le32(r + LOGIN_REQ_EXTENDED_TIMEOUT, 0xFFFFFFFFu);
    put_le16(r + LOGIN_REQ_BTL_MAPPING + kBtlOsBus, 0xFFFF);
    put_le16(r + LOGIN_REQ_BTL_MAPPING + kBtlOsTarget, 0xFFFF);

    opts = child_group(target, "TargetLoginOptions");
    if (!opts || VEXO_esx_login(action_node, opts, request, params, params[2], isid_found, 1) != 0)
        goto out;
    if (le32_at(r + LOGIN_RSP_SESSION_STATUS) & kSessionLoginFailed) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:Session status open failed.\n", __func__);
        goto out;
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:session_found = %d\n", __func__, isid_found);
    if (!read_property_text(target, "ETO", eto_text))
        goto out;

    {
        MGMT_LOGIN_OPTIONS answer;
        std::memcpy(&answer, r + LOGIN_RSP_LOGIN_OPTIONS, sizeof answer);
        int session_handle = static_cast<int>(le32_at(r + LOGIN_RSP_SESSION_HANDLE));
        if (!isid_found) {
            session = setup_session(target, aw_port_number, session_handle, 1, &answer.sess_login_opts, context,
                                    action_node, params, tag);
            conn = session ? setup_connection(session, static_cast<int>(le32_at(r + LOGIN_RSP_CONNECTION_HANDLE)),
                                              &answer.conn_login_opts, context, action_node, params)
                           : nullptr;
            if (!session || !conn)
                goto out;
        }
        // The builders keep their defaults: the negotiated values are the
        // answer's, for a new session as for a reused one.
        set_session_login_options(session, &answer);
        set_connection_login_options(get_first_instance(session, "Connection"), &answer);
        get_session_attribs(aw_port_number, domainid, phba_port, session);

        std::snprintf(boot_target, sizeof boot_target, "%s", params[4]);
        std::snprintf(boot_priority, sizeof boot_priority, "%s", params[5]);
        char rescan_params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
        std::memset(rescan_params, 0, sizeof rescan_params);
        luns = get_all_luns(target, domainid, phba_port, target,
                            internal_get_node(target, "ReScanLUNS", VEXO_NODE_ACTION), rescan_params, luns_check);
        if (luns == 90)
            vexo_set_last_status(static_cast<VEXO_status_t>(90),
                                 "Login succeeded but could not get LUN info for some sessions.");

        if (vexo_valid_port_number(aw_port_number) &&
            (vexo_glob.iscsi.driver_type[aw_port_number - 1] & VEXO_DRV_CALLBACK)) {
            set_prop_val(target, "ETO", "%s", "N/A");
        } else if (set_eto_prop(aw_port_number, domainid, phba_port, target, eto_text, session_handle) != 0) {
            // The session stays logged in: a notice, not a failure.
            vexo_set_fixed_status(VEXO_STATUS_ETO_FAILED);
            result = VEXO_STATUS_SUCCESS;
            goto out;
        }
        set_prop_val(session, "Persistent", "%s", "True");

        if (get_aw_type(adapter) == AW_TYPE_TRELMONT &&
            (strcasecmp(matched_boot, "True") == 0 || strcasecmp(boot_target, "True") == 0)) {
            // Every failure of this step leaves the session logged in without
            // its boot entry, and says so (a region 3 never written cannot
            // even be read).
            char shown[VEXO_VALUE_SIZE];
            if (!read_property_text(session, "BootTargetPriority", shown)) {
                vexo_set_fixed_status(VEXO_STATUS_ADD_BOOT_TLV_FAILED);
                goto out;
            }
            int priority = strcasecmp(boot_priority, "Primary") == 0     ? ISCSI_BOOT_PRIORITY_PRIMARY
                           : strcasecmp(boot_priority, "Secondary") == 0 ? ISCSI_BOOT_PRIORITY_SECONDARY
                                                                          : ISCSI_BOOT_PRIORITY_NONE;
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s: params[5] = %s\n", __func__, boot_priority);
            uint8_t boot_tgt_num = 0;
            if (VEXO_check_boot_target_num(lhba, &boot_tgt_num) != 0) {
                pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s: Failed to check boot target number\n", __func__);
                vexo_set_fixed_status(VEXO_STATUS_ADD_BOOT_TLV_FAILED);
                goto out;
            }
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:boot_tgt_num = %d\n", __func__, boot_tgt_num);
            int st = VEXO_add_boottarget_tlv(aw_port_number, domainid, phba_port, session, priority, boot_tgt_num);
            if (st != 0) {
                // The session stays logged in; only its boot entry is missing.
                pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR,
                       "%s: Login succeeded but adding tlv to iSCSI region has failed with status = %d\n", __func__,
                       st);
                vexo_set_fixed_status(VEXO_STATUS_ADD_BOOT_TLV_FAILED);
                goto out;
            }
        }
        result = VEXO_STATUS_SUCCESS;
    }
out:
    vexo_dfree(request);
    return result;
}
