#include "mgmt/aw/vexo-backend/iscsi_discovery.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/byte_order.h"
#include "mgmt/aw/vexo-backend/initiator_name.h"
#include "mgmt/aw/vexo-backend/iscsi_firmware_lists.h"
#include "mgmt/aw/vexo-backend/iscsi_login.h"
#include "mgmt/aw/vexo-backend/iscsi_luns.h"
#include "mgmt/aw/vexo-backend/linux/os_services.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/nodes_initiator.h"
#include "mgmt/aw/vexo-backend/persistence_files.h"
#include "mgmt/aw/vexo-backend/persistent_targets.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_convert.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_status.h"

namespace {

// LOGIN_TARGET_PARAMS of a discovery session.
const size_t kLoginTargetName = 0, kLoginAddress = 224, kLoginPort = 248, kLoginEto = 520, kLoginInitiator = 1128,
             kLoginAlias = 1352, kLoginStatus = 4;
const size_t kNameField = 224, kAliasField = 32;
const uint32_t kSessionOpen = 0x0001;
// ISCSI_SEND_TARGETS_PARAMS and ISCSI_RETRIEVE_PARSED_TARGET_INFO_PARAMS.
const size_t kTextKey = 8, kTextKeySize = 256;
const uint32_t kRetrieveFlags = 2;
// SEND_TARGETS_PARSED_DATA entries.
const size_t kEntryHead = 228, kAddrEntry = 32;
// DISCOVERY_PARAMS, iSNS part.
const size_t kIsnsFlags = 544, kEntity = 548, kSrvCount = 772, kSrvList = 776, kSrvSize = 28, kSrvMax = 4;
const uint16_t kIsnsEnabled = 0x01, kIsnsByAddress = 0x10, kIsnsByDhcp = 0x40;
// AW_FW_CFG: the send-queue count inside each of the two ULP entries.
const size_t kUlpSqCount = 16;
// Driver kind of the iSCSI function carrying the command.
const int kIscsiDriver = 1;

const char *const kLoginValueNames[6] = {"InitialR2T", "ImmediateData", "HeaderDigest",
                                         "DataDigest", "HeaderParam",   "DataParam"};
const char *const kAuthValueNames[6] = {"AuthenticationMethod", "InitiatorCHAPName", "InitiatorSecret",
                                        "TargetCHAPName",       "TargetSecret",      "CHAPParam"};

// The nearest group of that name at or above `n`.
node *up(node *n, const char *name)
{
    for (; n; n = n->parent) {
        if (n->node_name && strcasecmp(n->node_name, name) == 0)
            return n;
        if (n->parent == n)
            break;
    }
    return nullptr;
}

node *group_of(node *parent, const char *name)
{
    return parent ? internal_get_node(parent, name, VEXO_NODE_GROUP) : nullptr;
}

bool disabled(node *lhba)
{
    char enabled[VEXO_VALUE_SIZE] = {0};
    return internal_get_property(lhba, "Enabled", enabled) == VEXO_STATUS_SUCCESS && strcasecmp(enabled, "False") == 0;
}

void copy_text(char *dst, size_t room, const char *src)
{
    std::snprintf(dst, room, "%s", src ? src : "");
}

// A failure that left no status of its own gets a generic one, so the caller
// never sees a failure without a reason.
void keep_first_status(VEXO_status_t code)
{
    if (vexo_last_status_code == VEXO_STATUS_SUCCESS)
        vexo_set_fixed_status(code);
}

VEXO_status_t read_discovery(int port, unsigned int domain, unsigned int phba, DISCOVERY_PARAMS *d)
{
    std::memset(d, 0, sizeof *d);
    VEXO_status_t st = ioctl_get_discoveryparams(port, d, domain, phba);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "read_discovery: ioctl_get_discoveryparams failed with status = %d\n",
               st);
        vexo_set_fixed_status(VEXO_STATUS_GET_DISCOVERY_FAILED);
    }
    return st;
}

// The initiator's name as the iSNS entity of the record.
VEXO_status_t put_entity(node *isns, unsigned int domain, DISCOVERY_PARAMS *d)
{
    char name[VEXO_VALUE_SIZE] = {0};
    VEXO_status_t st = get_initiator_name(isns, name, domain);
    if (st != VEXO_STATUS_SUCCESS)
        return st;
    std::memset(d->data + kEntity, 0, kNameField);
    std::memcpy(d->data + kEntity, name, std::min(std::strlen(name), kNameField - 1));
    return VEXO_STATUS_SUCCESS;
}

// Writes the record; 32 (unreachable server) is kept as the status and
// counts as written, any other failure becomes status 81.
VEXO_status_t write_discovery(int port, unsigned int domain, unsigned int phba, DISCOVERY_PARAMS *d)
{
    VEXO_status_t st = ioctl_set_discoveryparams(port, d, domain, phba);
    if (st == VEXO_STATUS_DEST_HOST_UNREACHABLE) {
        vexo_set_fixed_status(VEXO_STATUS_DEST_HOST_UNREACHABLE);
        return VEXO_STATUS_SUCCESS;
    }
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "write_discovery: ioctl_set_discoveryparams failed with status = %d\n",
               st);
        vexo_set_fixed_status(VEXO_STATUS_SET_DISCOVERY_FAILED);
    }
    return st;
}

// The IP_ADDRESS_FORMAT bytes of an address text: IPv4 up to 15 characters,
// else the full IPv6 form.
void put_login_address(uint8_t *rec, const char *ip)
{
    put_le16(rec, 24);
    if (std::strlen(ip) <= 15) {
        rec[3] = 1;
        validateIPAddress(ip, rec + 4, VEXO_IP_NO_RULE);
    } else {
        char v6[VEXO_VALUE_SIZE];
        copy_text(v6, sizeof v6, ip);
        rec[3] = 16;
        StrToU8IPv6(v6, rec + 4);
    }
}

// The iSNSServer nodes from the firmware's list. The reader adds the first
// server beside the nodes already there, so the old nodes go first: a
// replaced server must not stay in the tree.
VEXO_status_t rebuild_isns(node *iscsi, int port, unsigned int domain, unsigned int phba, node *isns, node *action)
{
    purge_nodes_within(isns, "iSNSServer");
    char work[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
    std::memset(work, 0, sizeof work);
    return get_all_isns(iscsi, port, domain, phba, isns, action, work) == 0 ? VEXO_STATUS_SUCCESS
                                                                             : VEXO_STATUS_FAILURE;
}

// One exchange's parsed answer into Target nodes.
VEXO_status_t build_answer(uint8_t *buf, node *lhba, node *stp, node *action,
                           char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE], uint32_t *count)
{
    *count = vexo_bound_sendtargets_answer(buf, VEXO_SENDTARGETS_BUFFER_SIZE);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "discover_targets: %u targets in the answer\n", *count);
    return BuildTargetInfoList(buf, VEXO_SENDTARGETS_BUFFER_SIZE, lhba, stp, action, params) == 0 ? VEXO_STATUS_SUCCESS : VEXO_STATUS_FAILURE;
}

} // namespace

uint32_t vexo_bound_sendtargets_answer(uint8_t *answer, size_t len)
{
    if (!answer || len < 4)
        return 0;
    uint32_t claimed = le32_at(answer);
    uint32_t kept = 0;
    size_t at = 4;
    while (kept < claimed && len - at >= kEntryHead) {
        uint32_t addrs = le32_at(answer + at);
        size_t room = (len - at - kEntryHead) / kAddrEntry;
        if (addrs > room || (addrs == 0 && room == 0))
            break;
        answer[at + 4 + kNameField - 1] = 0;
        at += kEntryHead + kAddrEntry * std::max<size_t>(addrs, 1);
        ++kept;
    }
    put_le32(answer, kept);
    return kept;
}

VEXO_status_t discover_targets(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    node *discovery = up(context, "Discovery");
    node *lhba = up(discovery, "LogicalHBA");
    node *iscsi = up(lhba, "iSCSIPhysicalHBA");
    node *adapter = up(iscsi, "Arcwright");
    if (!context || !discovery || !lhba || !iscsi || !adapter)
        return VEXO_STATUS_FAILURE;
    int aw = get_aw_type(adapter);
    if (aw == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    int port = get_port_number(context);
    unsigned int domain = get_domain_id(context), phba = get_phba_port_number(context);

    char key[kTextKeySize] = "SendTargets=All";
    if (params && params[0][0]) {
        char name[kNameField] = {0}; // the validator keeps at most 223 characters
        if (validateISCSIName(params[0], name) != VEXO_STATUS_SUCCESS)
            return VEXO_STATUS_FAILURE;
        std::snprintf(key, sizeof key, "SendTargets=%s", name);
    }

    uint32_t most = 0;
    if (aw == AW_TYPE_TRELMONT) {
        AW_FW_CFG cfg;
        std::memset(&cfg, 0, sizeof cfg);
        if (ioctl_get_fw_config(port, &cfg, domain, phba, kIscsiDriver) != VEXO_STATUS_SUCCESS)
            return VEXO_STATUS_FAILURE;
        most = le32_at(cfg.ulp[0] + kUlpSqCount) + le32_at(cfg.ulp[1] + kUlpSqCount);
    }

    char ip[VEXO_VALUE_SIZE] = {0}, portnum[VEXO_VALUE_SIZE] = {0};
    char initiator[VEXO_VALUE_SIZE] = {0}, alias[VEXO_VALUE_SIZE] = {0};
    node *names = group_of(lhba, "InitiatoriSCSIName");
    node *options = group_of(context, "SendTargetPortalLoginOptions");
    if (!names || !options || internal_get_property(names, "InitiatoriSCSIName", initiator) != VEXO_STATUS_SUCCESS ||
        internal_get_property(names, "InitiatorAlias", alias) != VEXO_STATUS_SUCCESS ||
        internal_get_property(context, "IPAddress", ip) != VEXO_STATUS_SUCCESS ||
        internal_get_property(context, "PortNumber", portnum) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;

    LOGIN_TARGET_PARAMS *login = static_cast<LOGIN_TARGET_PARAMS *>(vexo_dmalloc(sizeof(LOGIN_TARGET_PARAMS)));
    if (!login) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return VEXO_STATUS_FAILURE;
    }
    std::memset(login, 0, sizeof *login);
    uint8_t *rec = login->data;
    std::memcpy(rec + kLoginTargetName, "iSCSI", 5);
    put_login_address(rec + kLoginAddress, ip);
    put_le16(rec + kLoginPort, static_cast<uint16_t>(std::atoi(portnum)));
    put_le32(rec + kLoginEto, 0xFFFFFFFFu);
    std::memcpy(rec + kLoginInitiator, initiator, std::min(std::strlen(initiator), kNameField - 1));
    std::memcpy(rec + kLoginAlias, alias, std::min(std::strlen(alias), kAliasField - 1));

    if (VEXO_sync_stp_with_file(adapter, iscsi, lhba, context, ip, portnum) != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: the portal %s:%s is not saved\n", __func__, ip, portnum);
        vexo_dfree(login);
        return VEXO_STATUS_FAILURE;
    }
    if (VEXO_esx_login(action, options, login, params, initiator, 0, 0) != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: discovery login to %s:%s failed\n", __func__, ip, portnum);
        vexo_dfree(login);
        return VEXO_STATUS_FAILURE;
    }
    uint32_t session = le32_at(rec);
    uint32_t session_status = le32_at(rec + kLoginStatus);
    vexo_dfree(login);

    VEXO_status_t result = VEXO_STATUS_SUCCESS;
    if (session_status & kSessionOpen) {
        uint8_t *buf = static_cast<uint8_t *>(vexo_dmalloc(VEXO_SENDTARGETS_BUFFER_SIZE));
        uint8_t *more = nullptr;
        if (!buf) {
            vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
            result = VEXO_STATUS_FAILURE;
        } else {
            std::memset(buf, 0, VEXO_SENDTARGETS_BUFFER_SIZE);
            put_le32(buf, session);
            put_le32(buf + 4, 1);
            std::memcpy(buf + kTextKey, key, std::strlen(key));
            VEXO_status_t st = ioctl_sendtargets(port, reinterpret_cast<ISCSI_SEND_TARGETS_PARAMS *>(buf),
                                                 VEXO_SENDTARGETS_BUFFER_SIZE, domain, phba);
            bool cut = st == VEXO_STATUS_INSUFFICIENT_BUFFER;
            uint32_t count = 0;
            if (st != VEXO_STATUS_SUCCESS && !cut) {
                vexo_set_fixed_status(VEXO_STATUS_CANNOT_DISCOVER_TARGET);
                result = VEXO_STATUS_FAILURE;
            } else {
                result = build_answer(buf, lhba, context, action, params, &count);
            }
            // Only Trelmont firmware keeps the rest of a cut answer.
            if (result == VEXO_STATUS_SUCCESS && cut && aw == AW_TYPE_TRELMONT && most > count) {
                more = static_cast<uint8_t *>(vexo_dmalloc(VEXO_SENDTARGETS_BUFFER_SIZE));
                if (!more) {
                    vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
                    result = VEXO_STATUS_FAILURE;
                } else {
                    std::memset(more, 0, VEXO_SENDTARGETS_BUFFER_SIZE);
                    put_le16(more, static_cast<uint16_t>(count));
                    put_le16(more + 2, static_cast<uint16_t>(std::min<uint32_t>(most - count, 0xFFFF)));
                    put_le32(more + 4, kRetrieveFlags);
                    st = ioctl_sendtargets_info(
                        port, reinterpret_cast<ISCSI_RETRIEVE_PARSED_TARGET_INFO_PARAMS *>(more),
                        VEXO_SENDTARGETS_BUFFER_SIZE, domain, phba);
                    if (st != VEXO_STATUS_SUCCESS && st != VEXO_STATUS_INSUFFICIENT_BUFFER) {
                        vexo_set_fixed_status(VEXO_STATUS_CANNOT_DISCOVER_TARGET);
                        result = VEXO_STATUS_FAILURE;
                    } else {
                        uint32_t rest = 0;
                        result = build_answer(more, lhba, context, action, params, &rest);
                    }
                }
            }
        }
        if (more)
            vexo_dfree(more);
        if (buf)
            vexo_dfree(buf);
    }

    LOGOUT_TARGET_PARAMS out;
    std::memset(&out, 0, sizeof out);
    put_le32(out.data, session);
    VEXO_status_t logout = ioctl_logout_target(port, &out, domain, phba);
    if (result != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    if (logout != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: logout of discovery session %u failed with %d\n", __func__,
               session, logout);
        keep_first_status(logout == VEXO_STATUS_FAILURE ? VEXO_STATUS_CANNOT_DISCOVER_TARGET : logout);
        return VEXO_STATUS_FAILURE;
    }
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t refresh_targets(node *lhba, unsigned int domainid, unsigned int phba_port, node *context, node *action,
                              char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    if (!lhba || !params)
        return VEXO_STATUS_FAILURE;
    if (add_target_from_file(lhba) != 0 || VEXO_sync_targets_with_file(lhba) != 0)
        return VEXO_STATUS_FAILURE;
    int port = get_port_number(lhba);
    std::memset(params, 0, sizeof(char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]));
    if (get_all_targets(lhba, port, domainid, phba_port, 1, context, action, params) != 0)
        return VEXO_STATUS_FAILURE;

    int portals = 0, failed = 0;
    for (node *stp = get_first_instance(group_of(lhba, "Discovery"), "SendTargetPortal"); stp;
         stp = next_group_instance(stp)) {
        ++portals;
        char none[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
        std::memset(none, 0, sizeof none);
        if (discover_targets(stp, internal_get_node(stp, "DiscoverTargets", VEXO_NODE_ACTION), none) !=
            VEXO_STATUS_SUCCESS)
            ++failed;
    }

    std::memset(params, 0, sizeof(char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE]));
    get_all_sessions(lhba, port, domainid, phba_port, context, action, params);
    for (node *t = get_first_instance(lhba, "Target"); t; t = next_group_instance(t)) {
        char check[VEXO_VALUE_SIZE] = {0};
        get_all_luns(t, domainid, phba_port, t, internal_get_node(t, "ReScanLUNS", VEXO_NODE_ACTION), params, check);
    }

    if (failed) {
        char text[VEXO_VALUE_SIZE];
        std::snprintf(text, sizeof text, "%d out of %d SendTargetsPortals are failed to discover targets.", failed,
                      portals);
        vexo_set_last_status(VEXO_STATUS_REFRESH_TARGET_FAILURE, text);
        return VEXO_STATUS_FAILURE;
    }
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t do_AddSendTargetPortal(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    node *lhba = up(context, "LogicalHBA");
    node *iscsi = up(lhba, "iSCSIPhysicalHBA");
    node *adapter = up(iscsi, "Arcwright");
    node *mac = internal_get_node(group_of(group_of(iscsi, "Network"), "NICConfiguration"), "MACAddress",
                                  VEXO_NODE_PROPERTY);
    if (!context || !lhba || !iscsi || !adapter || !mac)
        return VEXO_STATUS_FAILURE;

    char ip[VEXO_VALUE_SIZE];
    copy_text(ip, sizeof ip, params[0]);
    if (std::strchr(ip, ':')) {
        char v6[VEXO_VALUE_SIZE];
        copy_text(v6, sizeof v6, ip);
        if (std::strlen(v6) < 40 && validateIPv6Address(v6) == VEXO_STATUS_SUCCESS)
            copy_text(ip, sizeof ip, v6);
    }
    int aw = get_aw_type(adapter);
    if ((aw == AW_TYPE_AW2 || aw == AW_TYPE_AW3) && std::strlen(ip) >= 16) {
        vexo_set_fixed_status(VEXO_STATUS_IPV6_NOT_SUPPORTED);
        return VEXO_STATUS_FAILURE;
    }
    if (disabled(lhba)) {
        vexo_set_fixed_status(VEXO_STATUS_ISCSI_NOT_ENABLED);
        return VEXO_STATUS_FAILURE;
    }
    for (node *stp = get_first_instance(context, "SendTargetPortal"); stp; stp = next_group_instance(stp)) {
        char sip[VEXO_VALUE_SIZE] = {0}, sport[VEXO_VALUE_SIZE] = {0};
        if (internal_get_property(stp, "IPAddress", sip) == VEXO_STATUS_SUCCESS &&
            internal_get_property(stp, "PortNumber", sport) == VEXO_STATUS_SUCCESS && std::strcmp(sip, ip) == 0 &&
            std::strcmp(sport, params[1]) == 0) {
            // Already a node: told, but not an error.
            vexo_set_fixed_status(VEXO_STATUS_DUPLICATE_STP);
            return VEXO_STATUS_SUCCESS;
        }
    }
    if (VEXO_check_for_duplicate_tgt(adapter, iscsi, lhba, "", ip, params[1], VEXO_FILE_SAVED_PORTALS, 0) == 1) {
        vexo_set_fixed_status(VEXO_STATUS_DUPLICATE_STP);
        return VEXO_STATUS_FAILURE;
    }

    char p[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
    std::memcpy(p, params, sizeof p);
    copy_text(p[0], sizeof p[0], ip);
    node *stp = initialize_SendTargetPortal(context, context, action, p);
    if (!stp)
        return VEXO_STATUS_FAILURE;
    char values[12][VEXO_VALUE_SIZE];
    std::memset(values, 0, sizeof values);
    node *ini = group_of(lhba, "InitiatorLoginOptions");
    node *ini_auth = group_of(ini, "Authentication");
    node *opts = group_of(stp, "SendTargetPortalLoginOptions");
    node *auth = group_of(opts, "Authentication");
    bool ok = ini && ini_auth && opts && auth && set_prop_val(stp, "IPAddress", "%s", ip) == VEXO_STATUS_SUCCESS &&
              set_prop_val(stp, "PortNumber", "%d", std::atoi(params[1])) == VEXO_STATUS_SUCCESS &&
              set_prop_val(stp, "PortMacAddress", "%s", mac->u.prop->val) == VEXO_STATUS_SUCCESS;
    for (int i = 0; ok && i < 6; ++i)
        ok = internal_get_property(ini, kLoginValueNames[i], values[i]) == VEXO_STATUS_SUCCESS &&
             set_prop_val(opts, kLoginValueNames[i], "%s", values[i]) == VEXO_STATUS_SUCCESS;
    for (int i = 0; ok && i < 6; ++i)
        ok = internal_get_property(ini_auth, kAuthValueNames[i], values[6 + i]) == VEXO_STATUS_SUCCESS &&
             set_prop_val(auth, kAuthValueNames[i], "%s", values[6 + i]) == VEXO_STATUS_SUCCESS;
    char key[3][VEXO_FIELD_SIZE];
    ok = ok && vexo_lhba_instance_key(lhba, key) == 0;
    if (!ok) {
        delete_node(stp);
        return VEXO_STATUS_FAILURE;
    }

    // Line order: key, address, port, MAC, then InitialR2T, ImmediateData,
    // HeaderDigest, DataDigest, the five CHAP values, CHAPParam, HeaderParam,
    // DataParam.
    const char *fields[VEXO_SAVESTP_FIELDS] = {key[0],     key[1],     key[2],     ip,         params[1],
                                               mac->u.prop->val,       values[0],  values[1],  values[2],
                                               values[3],  values[6],  values[7],  values[8],  values[9],
                                               values[10], values[11], values[4],  values[5]};
    if (vexo_append_persistence_line(VEXO_SAVED_PORTALS_FILE, fields, VEXO_SAVESTP_FIELDS) != 0) {
        // A portal the file does not hold could not be used for discovery.
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: the portal line could not be saved\n", __func__);
        delete_node(stp);
        keep_first_status(VEXO_STATUS_FAILURE);
        return VEXO_STATUS_FAILURE;
    }
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t do_DeleteSendTargetPortal(node *context, node *, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    node *stp = get_selected_group_node(context, "SendTargetPortal", params[0]);
    if (!stp) {
        vexo_set_fixed_status(VEXO_STATUS_INVALID_INSTANCE_NUM);
        return VEXO_STATUS_FAILURE;
    }
    char ip[VEXO_VALUE_SIZE] = {0}, port[VEXO_VALUE_SIZE] = {0};
    if (internal_get_property(stp, "IPAddress", ip) != VEXO_STATUS_SUCCESS ||
        internal_get_property(stp, "PortNumber", port) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    if (VEXO_remove_entry_from_file(up(context, "LogicalHBA"), nullptr, ip, port, VEXO_ANY_ISID,
                                    VEXO_FILE_SAVED_PORTALS) != 0)
        return VEXO_STATUS_FAILURE;
    return delete_node(stp) == VEXO_STATUS_SUCCESS ? VEXO_STATUS_SUCCESS : VEXO_STATUS_FAILURE;
}

VEXO_status_t do_DiscoverTargets(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    node *lhba = up(context, "LogicalHBA");
    if (!lhba)
        return VEXO_STATUS_FAILURE;
    if (disabled(lhba)) {
        vexo_set_fixed_status(VEXO_STATUS_ISCSI_NOT_ENABLED);
        return VEXO_STATUS_FAILURE;
    }
    return discover_targets(context, action, params) == VEXO_STATUS_SUCCESS ? VEXO_STATUS_SUCCESS
                                                                              : VEXO_STATUS_FAILURE;
}

VEXO_status_t do_RefreshAvailableTargets(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    node *lhba = up(context, "LogicalHBA");
    if (!lhba)
        return VEXO_STATUS_FAILURE;
    if (disabled(lhba)) {
        vexo_set_fixed_status(VEXO_STATUS_ISCSI_NOT_ENABLED);
        return VEXO_STATUS_FAILURE;
    }
    return refresh_targets(lhba, get_domain_id(context), get_phba_port_number(context), context, action, params);
}

VEXO_status_t do_ConfigureiSNSServer(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    node *iscsi = up(context, "iSCSIPhysicalHBA");
    node *adapter = up(iscsi, "Arcwright");
    if (!adapter)
        return VEXO_STATUS_FAILURE;
    int aw = get_aw_type(adapter);
    if (aw == AW_TYPE_UNREADABLE || !get_first_instance(iscsi, "LogicalHBA"))
        return VEXO_STATUS_FAILURE;
    if (aw == AW_TYPE_AW3 && get_first_instance(context, "iSNSServer")) {
        // One server only on these adapters.
        vexo_set_fixed_status(VEXO_STATUS_SET_DISCOVERY_FAILED);
        return VEXO_STATUS_FAILURE;
    }
    uint8_t addr[16] = {0};
    uint8_t type = 1;
    if (!validateIPAddress(params[0], addr, VEXO_IP_HOST)) {
        char v6[40];
        copy_text(v6, sizeof v6, params[0]);
        if (validateIPv6Address(v6) != VEXO_STATUS_SUCCESS) {
            vexo_set_fixed_status(VEXO_STATUS_API_INVALID_VALUE);
            return VEXO_STATUS_FAILURE;
        }
        StrToU8IPv6(v6, addr);
        type = 16;
    }
    uint16_t tcp_port = params[1][0] ? static_cast<uint16_t>(std::atoi(params[1])) : VEXO_ISNS_DEFAULT_PORT;

    int port = get_port_number(context);
    unsigned int phba = get_phba_port_number(context);
    DISCOVERY_PARAMS d;
    VEXO_status_t st = read_discovery(port, 0, phba, &d);
    if (st != VEXO_STATUS_SUCCESS)
        return st;
    uint8_t *srv = d.data + kSrvList;
    if (le32_at(d.data + kSrvCount) == 0)
        put_le32(d.data + kSrvCount, 1);
    else
        std::memset(srv, 0, kSrvSize);
    srv[3] = type;
    std::memcpy(srv + 4, addr, type == 1 ? 4 : 16);
    put_le16(srv + 24, tcp_port);
    st = put_entity(context, 0, &d);
    if (st != VEXO_STATUS_SUCCESS)
        return st;
    uint16_t flags = le16_at(d.data + kIsnsFlags);
    put_le16(d.data + kIsnsFlags, static_cast<uint16_t>((flags | kIsnsByAddress) & ~kIsnsByDhcp));
    st = write_discovery(port, 0, phba, &d);
    if (st != VEXO_STATUS_SUCCESS)
        return st;
    return rebuild_isns(iscsi, port, 0, phba, context, action);
}

VEXO_status_t do_DeleteiSNSServer(node *context, node *, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    node *server = get_selected_group_node(context, "iSNSServer", params[0]);
    int index = std::atoi(params[0]);
    if (!server || index < 0 || static_cast<size_t>(index) >= kSrvMax) {
        vexo_set_fixed_status(VEXO_STATUS_INVALID_INSTANCE_NUM);
        return VEXO_STATUS_FAILURE;
    }
    int port = get_port_number(context);
    unsigned int phba = get_phba_port_number(context);
    DISCOVERY_PARAMS d;
    VEXO_status_t st = read_discovery(port, 0, phba, &d);
    if (st != VEXO_STATUS_SUCCESS)
        return st;
    // Only the named server goes; the others, the entity and the SLP
    // settings stay as the firmware holds them.
    uint32_t count = std::min<uint32_t>(le32_at(d.data + kSrvCount), kSrvMax);
    uint32_t left = count ? count - 1 : 0;
    uint8_t *list = d.data + kSrvList;
    std::memmove(list + kSrvSize * index, list + kSrvSize * (index + 1), kSrvSize * (kSrvMax - index - 1));
    std::memset(list + kSrvSize * (kSrvMax - 1), 0, kSrvSize);
    put_le32(d.data + kSrvCount, left);
    uint16_t flags = le16_at(d.data + kIsnsFlags);
    put_le16(d.data + kIsnsFlags, static_cast<uint16_t>(kIsnsByAddress | (flags & kIsnsEnabled)));

    VEXO_status_t wrote = ioctl_set_discoveryparams(port, &d, 0, phba);
    if (wrote != VEXO_STATUS_SUCCESS) {
        DISCOVERY_PARAMS now;
        st = read_discovery(port, 0, phba, &now);
        if (st != VEXO_STATUS_SUCCESS)
            return st;
        if (le32_at(now.data + kSrvCount) != left) {
            vexo_set_fixed_status(wrote == VEXO_STATUS_DEST_HOST_UNREACHABLE ? VEXO_STATUS_DEST_HOST_UNREACHABLE
                                                                              : VEXO_STATUS_SET_DISCOVERY_FAILED);
            return VEXO_STATUS_FAILURE;
        }
    }
    return delete_node(server) == VEXO_STATUS_SUCCESS ? VEXO_STATUS_SUCCESS : VEXO_STATUS_FAILURE;
}

VEXO_status_t do_DiscoveryiSNSThruDHCP(node *context, node *action, char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    node *iscsi = up(context, "iSCSIPhysicalHBA");
    if (!iscsi)
        return VEXO_STATUS_FAILURE;
    int port = get_port_number(context);
    unsigned int phba = get_phba_port_number(context);
    for (node *lhba = get_first_instance(iscsi, "LogicalHBA"); lhba; lhba = next_group_instance(lhba)) {
        unsigned int domain = static_cast<unsigned int>(lhba->u.grp->multi_instance->instance);
        DISCOVERY_PARAMS d;
        VEXO_status_t st = read_discovery(port, domain, phba, &d);
        if (st != VEXO_STATUS_SUCCESS)
            return st;
        uint16_t flags = le16_at(d.data + kIsnsFlags);
        put_le16(d.data + kIsnsFlags, static_cast<uint16_t>((flags | kIsnsByDhcp) & ~kIsnsByAddress));
        st = put_entity(context, domain, &d);
        if (st != VEXO_STATUS_SUCCESS)
            return st;
        st = write_discovery(port, domain, phba, &d);
        if (st != VEXO_STATUS_SUCCESS)
            return st;
        if (rebuild_isns(iscsi, port, domain, phba, context, action) != VEXO_STATUS_SUCCESS)
            return VEXO_STATUS_FAILURE;
    }
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_discoveryparams(node *property, char *value, int type)
{
    node *isns = property ? property->parent : nullptr;
    if (!isns || !value)
        return VEXO_STATUS_FAILURE;
    int port = get_port_number(isns);
    unsigned int phba = get_phba_port_number(isns);
    if (type == 0) {
        if (get_discovery_params(port, 0, phba, isns) != 0)
            return VEXO_STATUS_FAILURE;
        copy_text(value, VEXO_VALUE_SIZE, property->u.prop->val);
        return VEXO_STATUS_SUCCESS;
    }
    DISCOVERY_PARAMS d;
    VEXO_status_t st = read_discovery(port, 0, phba, &d);
    if (st != VEXO_STATUS_SUCCESS)
        return st;
    bool yes = strcasecmp(value, "Yes") == 0;
    uint16_t flags = le16_at(d.data + kIsnsFlags);
    if (yes && (flags & kIsnsEnabled))
        return VEXO_STATUS_SUCCESS;
    // Only the enable bit changes: the configured servers stay.
    flags = static_cast<uint16_t>(yes ? (flags | kIsnsEnabled) : (flags & ~kIsnsEnabled));
    put_le16(d.data + kIsnsFlags, flags);
    st = ioctl_set_discoveryparams(port, &d, 0, phba);
    if (st != VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_SET_DISCOVERY_FAILED);
        return st;
    }
    return get_discovery_params(port, 0, phba, isns) == 0 ? VEXO_STATUS_SUCCESS : VEXO_STATUS_FAILURE;
}
