#include "mgmt/aw/vexo-backend/iscsi_statistics.h"

#include <cstring>

#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/byte_order.h"
#include "mgmt/aw/vexo-backend/iscsi_objects.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"

namespace
{

// MIB_NODE_ATTRIB inside GET_ISCSI_NODE_ATTRIB_PARAMS, and its first portal.
const size_t kNodeRoles = 12, kPortalCount = 14, kPortal = 720;
// MIB_INITIATOR_INSTANCE_STATISTICS
const size_t kRmtNodeName = 20, kNameSize = 224;
// MIB_INTR_LOGIN_STATISTICS
const size_t kTgtFailureName = 236, kTgtFailureAddr = 464, kLoginCounters = 488;
// GET_ALL_SESSION_ID_PARAMS and GET_SESSION_ATTRIBUTES_PARAMS
const uint32_t kActiveSessions = 0xC0, kSsnAttrMagic = 0xA1B2C3D4;
const size_t kListHead = 8, kAttrHead = 8, kAttrEntry = 1276;
// The firmware answers a full batch in one buffer.
const size_t kBatchBuffer = ISCSI_SSN_ATTR_BATCH * ISCSI_SSN_ATTR_SLOT;
static_assert(kBatchBuffer >= kAttrHead + ISCSI_SSN_ATTR_BATCH * kAttrEntry, "a batch answer fits its buffer");
static_assert(kBatchBuffer <= UINT16_MAX, "a batch travels in one command");

uint64_t le64(const uint8_t *p)
{
    return static_cast<uint64_t>(le32_at(p)) | static_cast<uint64_t>(le32_at(p + 4)) << 32;
}

int d(uint32_t v)
{
    return static_cast<int>(v);
}

int failed(VEXO_status_t s)
{
    return s == VEXO_STATUS_SUCCESS ? 0 : 1;
}

// A fixed-width text field of a firmware record, terminated.
void field_text(const uint8_t *p, size_t size, char *out)
{
    size_t n = 0;
    while (n < size && p[n] != 0)
        ++n;
    std::memcpy(out, p, n);
    out[n] = '\0';
}

node *stats_group(node *owner, const char *name)
{
    return owner ? internal_get_node(owner, name, VEXO_NODE_GROUP) : nullptr;
}

// Writes straight into the cached value, as the node attribute reader does
// for its first three properties.
void cache(node *group, const char *name, const char *format, unsigned int v)
{
    node *p = internal_get_node(group, name, VEXO_NODE_PROPERTY);
    if (p)
        SET_CACHE_PROP_VAL(p, format, v);
}

const char *const kSessionFailureType[] = {"OtherErrors", "DigestErrors", "ConnectionTimeoutErrors",
                                           "FormatErrors"};
const char *const kLoginFailureType[] = {"UnknownFailure",
                                         "LoginAcceptFailure",
                                         "OtherFailure",
                                         "LoginRedirectFailure",
                                         "LoginAuthorizationFailure",
                                         "LoginAuthenticationFailure",
                                         "LoginNegotiationFailure"};

// The eight session statistics of one MIB_SESSION_ATTRIBUTES entry.
int write_session_stats(node *stats, const uint8_t *e)
{
    char alias[33];
    field_text(e + 40, 32, alias);
    int r = 0;
    r |= failed(set_prop_val(stats, "SessionTargetAlias", "%s", alias));
    r |= failed(set_prop_val(stats, "SessionDirection", "%d", d(le32_at(e + 4))));
    // Counters are unsigned 32-bit on both word sizes.
    r |= failed(set_prop_val(stats, "CmdPdus", "%lu", static_cast<unsigned long>(le32_at(e + 72))));
    r |= failed(set_prop_val(stats, "RspPdus", "%lu", static_cast<unsigned long>(le32_at(e + 76))));
    r |= failed(set_prop_val(stats, "TxDataOctetsHigh", "%llu", static_cast<unsigned long long>(le64(e + 80))));
    r |= failed(set_prop_val(stats, "RxDataOctetsHigh", "%llu", static_cast<unsigned long long>(le64(e + 88))));
    r |= failed(set_prop_val(stats, "CxnTimeoutErrors", "%d", d(le32_at(e + 100))));
    r |= failed(set_prop_val(stats, "DigestErrors", "%d", d(le32_at(e + 96))));
    return r;
}

// One handler form for the four groups of readers.
typedef int (*stats_reader)(int, unsigned int, unsigned int, node *);

VEXO_status_t answer_from(stats_reader reader, node *property, char *value)
{
    node *group = property ? property->parent : nullptr;
    node *owner = group ? group->parent : nullptr;
    if (!owner)
        return VEXO_STATUS_FAILURE;
    if (reader(get_port_number(property), get_domain_id(property), get_phba_port_number(property), owner) != 0)
        return VEXO_STATUS_FAILURE;
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

} // namespace

int get_NodeAttr_Params(int aw_port_number, unsigned int domainid, unsigned int phba_port, node *owner)
{
    node *stats = stats_group(owner, "iSCSIStatistics");
    if (!stats)
        return 1;
    GET_ISCSI_NODE_ATTRIB_PARAMS *rec =
        static_cast<GET_ISCSI_NODE_ATTRIB_PARAMS *>(vexo_dcalloc(sizeof(GET_ISCSI_NODE_ATTRIB_PARAMS)));
    if (!rec) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return 1;
    }
    VEXO_status_t st = ioctl_get_node_params(aw_port_number, rec, domainid, phba_port);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_get_node_params failed with status = %d\n", __func__, st);
        vexo_dfree(rec);
        vexo_set_fixed_status(VEXO_STATUS_NODE_ATTRIB_FAILED);
        return 1;
    }
    const uint8_t *b = rec->data;
    // Signed fields, shown as the hexadecimal of their 32-bit extension.
    cache(stats, "NodeRoles", "%x", static_cast<unsigned int>(static_cast<int16_t>(le16_at(b + kNodeRoles))));
    cache(stats, "PortalCount", "%x", static_cast<unsigned int>(static_cast<int16_t>(le16_at(b + kPortalCount))));
    cache(stats, "NodeCount", "%d", le32_at(b));
    const uint8_t *portal = b + kPortal;
    int r = 0;
    r |= failed(set_prop_val(stats, "PortRowStatus", "%d", d(le32_at(portal + 4))));
    r |= failed(set_prop_val(stats, "PortalRole", "%x", static_cast<unsigned int>(portal[8])));
    r |= failed(set_prop_val(stats, "PortalProtocol", "%x", static_cast<unsigned int>(portal[9])));
    r |= failed(set_prop_val(stats, "PortalTag", "%d", static_cast<int>(le16_at(portal + 12))));
    vexo_dfree(rec);
    return r;
}

int get_intr_stats_Params(int aw_port_number, unsigned int domainid, unsigned int phba_port, node *owner)
{
    node *stats = stats_group(owner, "iSCSIStatistics");
    if (!stats)
        return 1;
    MIB_INITIATOR_INSTANCE_STATISTICS *rec = static_cast<MIB_INITIATOR_INSTANCE_STATISTICS *>(
        vexo_dcalloc(sizeof(MIB_INITIATOR_INSTANCE_STATISTICS)));
    if (!rec) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return 1;
    }
    VEXO_status_t st = ioctl_get_intr_inst_params(aw_port_number, rec, domainid, phba_port);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_get_intr_inst_params failed with status = %d\n", __func__,
               st);
        vexo_dfree(rec);
        vexo_set_fixed_status(VEXO_STATUS_INTR_STATS);
        return 1;
    }
    const uint8_t *b = rec->data;
    char name[kNameSize + 1];
    field_text(b + kRmtNodeName, kNameSize, name);
    uint32_t type = le32_at(b + 16);
    int r = 0;
    r |= failed(set_prop_val(stats, "SessionCount", "%d", d(le32_at(b + 8))));
    r |= failed(set_prop_val(stats, "SessionFailureCount", "%d", d(le32_at(b + 12))));
    if (type < sizeof kSessionFailureType / sizeof kSessionFailureType[0])
        r |= failed(set_prop_val(stats, "LastSessionFailureType", "%s", kSessionFailureType[type]));
    r |= failed(set_prop_val(stats, "LastSessionRmtNodeName", "%s", name));
    r |= failed(set_prop_val(stats, "SessionDigestErrors", "%d", d(le32_at(b + 244))));
    r |= failed(set_prop_val(stats, "SessionConnectionTimeout", "%d", d(le32_at(b + 248))));
    r |= failed(set_prop_val(stats, "SessionFormatErrors", "%d", d(le32_at(b + 252))));
    vexo_dfree(rec);
    return r;
}

int get_login_stats_Params(int aw_port_number, unsigned int domainid, unsigned int phba_port, node *owner)
{
    node *stats = stats_group(owner, "iSCSIStatistics");
    if (!stats)
        return 1;
    MIB_INTR_LOGIN_STATISTICS *rec =
        static_cast<MIB_INTR_LOGIN_STATISTICS *>(vexo_dcalloc(sizeof(MIB_INTR_LOGIN_STATISTICS)));
    if (!rec) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return 1;
    }
    VEXO_status_t st = ioctl_get_login_params(aw_port_number, rec, domainid, phba_port);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_get_login_params failed with status = %d\n", __func__, st);
        vexo_dfree(rec);
        vexo_set_fixed_status(VEXO_STATUS_INTR_LOGIN_STATS);
        return 1;
    }
    const uint8_t *b = rec->data;
    char name[kNameSize + 1];
    field_text(b + kTgtFailureName, kNameSize, name);
    char addr[ISCSI_IP_ADDRESS_TEXT] = "";
    ipaddr_to_string(b + kTgtFailureAddr + 4, addr, b[kTgtFailureAddr + 3]);
    uint32_t type = le32_at(b + 232);
    const uint8_t *n = b + kLoginCounters;
    int r = 0;
    r |= failed(set_prop_val(stats, "LoginFailures", "%d", d(le32_at(b + 224))));
    r |= failed(set_prop_val(stats, "LastFailureTime", "%d", d(le32_at(b + 228))));
    if (type < sizeof kLoginFailureType / sizeof kLoginFailureType[0])
        r |= failed(set_prop_val(stats, "LastFailureType", "%s", kLoginFailureType[type]));
    r |= failed(set_prop_val(stats, "LastTgtFailureName", "%s", name));
    r |= failed(set_prop_val(stats, "LastTgtFailureAddr", "%s", addr));
    r |= failed(set_prop_val(stats, "LoginAcceptRsps", "%d", d(le32_at(n))));
    r |= failed(set_prop_val(stats, "LoginOtherFailRsps", "%d", d(le32_at(n + 4))));
    r |= failed(set_prop_val(stats, "LoginRedirectRsps", "%d", d(le32_at(n + 8))));
    r |= failed(set_prop_val(stats, "LoginAuthFailRsps", "%d", d(le32_at(n + 12))));
    r |= failed(set_prop_val(stats, "LoginAuthFails", "%d", d(le32_at(n + 16))));
    r |= failed(set_prop_val(stats, "LoginNegoFails", "%d", d(le32_at(n + 20))));
    r |= failed(set_prop_val(stats, "LogoutNormals", "%d", d(le32_at(n + 24))));
    r |= failed(set_prop_val(stats, "LogoutOthers", "%d", d(le32_at(n + 28))));
    vexo_dfree(rec);
    return r;
}

int get_ssnAttr_Params(int aw_port_number, unsigned int domainid, unsigned int phba_port, node *session)
{
    node *stats = stats_group(session, "iSCSISessionStatistics");
    if (!stats)
        return 1;

    GET_ALL_SESSION_ID_PARAMS query;
    std::memset(&query, 0, sizeof query);
    put_le32(query.data, kActiveSessions);
    uint16_t length = 0;
    VEXO_status_t st = ioctl_get_activesessionidbuffersize(aw_port_number, &query, &length, domainid, phba_port);
    if (st != VEXO_STATUS_SUCCESS || length < kListHead) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_WARNING, "session_buffer_size = 0\n");
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_BUFFER);
        // Without an active session this one is not running either.
        return 1;
    }

    uint8_t *list = static_cast<uint8_t *>(vexo_dcalloc(length));
    if (!list) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return 1;
    }
    put_le32(list, kActiveSessions);
    st = ioctl_get_activesessionid(aw_port_number, reinterpret_cast<GET_ALL_SESSION_ID_PARAMS *>(list), length,
                                   domainid, phba_port);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_get_activesessionid failed with status = %d\n", __func__,
               st);
        vexo_dfree(list);
        vexo_set_fixed_status(VEXO_STATUS_SESSION_ID_FAILURE);
        return 1;
    }
    // The count is the firmware's; the buffer bounds it.
    uint32_t count = le32_at(list);
    const uint32_t room = static_cast<uint32_t>((length - kListHead) / 4);
    if (count > room)
        count = room;

    uint8_t *batch = static_cast<uint8_t *>(vexo_dcalloc(kBatchBuffer));
    if (!batch) {
        vexo_dfree(list);
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return 1;
    }
    int result = 1;
    uint32_t filled = 0;
    for (uint32_t i = 0; i < count; ++i) {
        std::memcpy(batch + kAttrHead + 4 * filled, list + kListHead + 4 * i, 4);
        ++filled;
        if (filled < ISCSI_SSN_ATTR_BATCH && i + 1 < count)
            continue;
        put_le32(batch, kSsnAttrMagic);
        put_le32(batch + 4, filled);
        st = ioctl_get_SsnAttr_params(aw_port_number, reinterpret_cast<GET_SESSION_ATTRIBUTES_PARAMS *>(batch),
                                      static_cast<uint16_t>(kBatchBuffer), domainid, phba_port);
        if (st != VEXO_STATUS_SUCCESS) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_get_SsnAttr_params failed with status = %d\n",
                   __func__, st);
            vexo_set_fixed_status(st == VEXO_STATUS_SESSION_ALREADY_CLOSED ? VEXO_STATUS_SESSION_ALREADY_CLOSED
                                                                            : VEXO_STATUS_SESSION_ATTRIB_FAILED);
            result = 1;
            break;
        }
        node_handle *h = session->u.grp ? static_cast<node_handle *>(session->u.grp->handle) : nullptr;
        if (!h) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:session has no handle\n", __func__);
            vexo_set_fixed_status(VEXO_STATUS_SESSION_ATTRIB_FAILED);
            result = 1;
            break;
        }
        // Entries the firmware reports, bounded by the handles asked for and
        // by the buffer.
        uint32_t answered = le32_at(batch + 4);
        if (answered > filled)
            answered = filled;
        const uint8_t *match = nullptr;
        for (uint32_t e = 0; e < answered && !match; ++e) {
            const uint8_t *entry = batch + kAttrHead + kAttrEntry * e;
            if (le32_at(entry) == static_cast<uint32_t>(h->session_handle))
                match = entry;
        }
        if (match) {
            result = write_session_stats(stats, match);
            break;
        }
        result = 1;
        std::memset(batch, 0, kBatchBuffer);
        filled = 0;
    }
    vexo_dfree(batch);
    vexo_dfree(list);
    return result;
}

VEXO_status_t handle_NodeAttr_properties(node *property, char *value, int)
{
    return answer_from(get_NodeAttr_Params, property, value);
}

VEXO_status_t handle_intrInstStat_properties(node *property, char *value, int)
{
    return answer_from(get_intr_stats_Params, property, value);
}

VEXO_status_t handle_intrLoginStat_properties(node *property, char *value, int)
{
    return answer_from(get_login_stats_Params, property, value);
}

VEXO_status_t handle_SsnAttr_properties(node *property, char *value, int)
{
    return answer_from(get_ssnAttr_Params, property, value);
}
