#include "mgmt/aw/vexo-backend/target_eto.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/byte_order.h"
#include "mgmt/aw/vexo-backend/ioctl_header.h"
#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"

namespace
{

const long kEtoMax = 3600;

// GET_SESSION_CONFIGURATION_PARAMS answer
const size_t kGetSize = 276;
const size_t kGetTimeout = 4;
const size_t kGetTmf = 8;
const size_t kGetTargetName = 12;
const size_t kGetBtl = 240;
const size_t kTargetNameSize = 224;
const size_t kBtlSize = 36;

// SET_SESSION_CONFIGURATION_PARAMS request
const size_t kSetFlags = 4;
const size_t kSetTimeout = 8;
const size_t kSetTmf = 12;
const size_t kSetTargetName = 16;
const size_t kSetBtl = 244;
const uint32_t kSetsTimeout = 1;

bool by_callback(int aw_port_number)
{
    return vexo_valid_port_number(aw_port_number) &&
           (vexo_glob.iscsi.driver_type[aw_port_number - 1] & VEXO_DRV_CALLBACK);
}

node *next_instance(node *n)
{
    return n->u.grp->multi_instance->next_instance;
}

bool session_handle_of(node *session, int32_t *out)
{
    if (!session || session->node_type != VEXO_NODE_GROUP || !session->u.grp || !session->u.grp->handle)
        return false;
    *out = static_cast<const node_handle *>(session->u.grp->handle)->session_handle;
    return true;
}

// The ETO text as a number in C notation, within the property's range.
bool parse_eto(const char *value, uint32_t *out)
{
    if (!value || value[0] < '0' || value[0] > '9')
        return false;
    errno = 0;
    char *end = nullptr;
    long v = std::strtol(value, &end, 0);
    if (errno != 0 || *end != '\0' || v < 0 || v > kEtoMax)
        return false;
    *out = static_cast<uint32_t>(v);
    return true;
}

// The fields of one session's configuration that a write sends back.
struct SessionConfig {
    uint32_t extended_timeout;
    uint8_t tmf_method;
    uint8_t target_name[kTargetNameSize];
    uint8_t btl_mapping[kBtlSize];
};

VEXO_status_t read_session_config(int aw, unsigned int domain, unsigned int port, int32_t session_handle,
                                  SessionConfig *out)
{
    GET_SESSION_CONFIGURATION_PARAMS query;
    std::memset(&query, 0, sizeof query);
    put_le32(query.data, static_cast<uint32_t>(session_handle));
    uint16_t length = 0;
    VEXO_status_t st = ioctl_get_sessionconfig_size(aw, &query, &length, domain, port);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_get_sessionconfig_size failed with status = %d\n",
               __func__, st);
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_BUFFER);
        return st;
    }
    // The firmware's length must hold the fields read below and fit one
    // command.
    if (length < kGetSize || length > UINT16_MAX - IOCTL_HEADER_SIZE) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: session configuration length %u refused\n", __func__,
               static_cast<unsigned>(length));
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_BUFFER);
        return VEXO_STATUS_FAILURE;
    }
    uint8_t *buf = static_cast<uint8_t *>(vexo_dmalloc(length));
    if (!buf) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return VEXO_STATUS_FAILURE;
    }
    std::memset(buf, 0, length);
    put_le32(buf, static_cast<uint32_t>(session_handle));
    st = ioctl_get_session_conf(aw, reinterpret_cast<GET_SESSION_CONFIGURATION_PARAMS *>(buf), length, domain, port);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_get_session_conf failed with status = %d\n", __func__, st);
        vexo_dfree(buf);
        vexo_set_fixed_status(VEXO_STATUS_GET_SESSION_CONFIG);
        return st;
    }
    out->extended_timeout = le32_at(buf + kGetTimeout);
    out->tmf_method = buf[kGetTmf];
    std::memcpy(out->target_name, buf + kGetTargetName, kTargetNameSize);
    std::memcpy(out->btl_mapping, buf + kGetBtl, kBtlSize);
    vexo_dfree(buf);
    return VEXO_STATUS_SUCCESS;
}

} // namespace

extern "C" int get_eto_prop(int be_port_number, unsigned int domainid, unsigned int phba_port, node *target, int)
{
    if (!target)
        return 1;
    if (by_callback(be_port_number))
        return set_prop_val(target, "ETO", "N/A") != VEXO_STATUS_SUCCESS ? 1 : 0;
    int32_t handle = 0;
    if (!session_handle_of(get_first_instance(target, "Session"), &handle))
        return 1;
    SessionConfig cfg;
    VEXO_status_t st = read_session_config(be_port_number, domainid, phba_port, handle, &cfg);
    if (st != VEXO_STATUS_SUCCESS)
        return st;
    return set_prop_val(target, "ETO", "%u", cfg.extended_timeout) != VEXO_STATUS_SUCCESS ? 1 : 0;
}

extern "C" int set_eto_prop(int be_port_number, unsigned int domainid, unsigned int phba_port, node *target,
                            const char *value, int session_handle)
{
    uint32_t eto = 0;
    if (!parse_eto(value, &eto)) {
        vexo_set_fixed_status(VEXO_STATUS_API_INVALID_VALUE);
        return VEXO_STATUS_FAILURE;
    }
    SessionConfig cfg;
    VEXO_status_t st = read_session_config(be_port_number, domainid, phba_port, session_handle, &cfg);
    if (st != VEXO_STATUS_SUCCESS)
        return st;
    SET_SESSION_CONFIGURATION_PARAMS req;
    std::memset(&req, 0, sizeof req);
    put_le32(req.data, static_cast<uint32_t>(session_handle));
    put_le32(req.data + kSetFlags, kSetsTimeout);
    put_le32(req.data + kSetTimeout, eto);
    req.data[kSetTmf] = cfg.tmf_method;
    std::memcpy(req.data + kSetTargetName, cfg.target_name, kTargetNameSize);
    std::memcpy(req.data + kSetBtl, cfg.btl_mapping, kBtlSize);
    st = ioctl_set_session_conf(be_port_number, &req, domainid, phba_port);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_set_session_conf failed with status = %d\n", __func__, st);
        vexo_set_fixed_status(VEXO_STATUS_SET_SESSION_CONFIG);
        return st;
    }
    return get_eto_prop(be_port_number, domainid, phba_port, target, 0);
}

VEXO_status_t handle_Target_ETO(node *property, char *value, int type)
{
    node *target = property ? property->parent : nullptr;
    if (!target || !value)
        return VEXO_STATUS_FAILURE;
    int aw = get_port_number(property);
    unsigned int domain = get_domain_id(property), port = get_phba_port_number(property);
    if (type == 0) {
        if (by_callback(aw)) {
            set_prop_val(target, "ETO", "N/A");
        } else if (get_first_instance(target, "Session")) {
            int r = get_eto_prop(aw, domain, port, target, 0);
            if (r != 0)
                return static_cast<VEXO_status_t>(r);
        }
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    if (by_callback(aw)) {
        vexo_set_fixed_status(VEXO_STATUS_CFG_ETO_NOT_SUPPORTED);
        return VEXO_STATUS_FAILURE;
    }
    uint32_t eto = 0;
    if (!parse_eto(value, &eto)) {
        vexo_set_fixed_status(VEXO_STATUS_API_INVALID_VALUE);
        return VEXO_STATUS_FAILURE;
    }
    for (node *s = get_first_instance(target, "Session"); s && vexo_is_instance(s); s = next_instance(s)) {
        int32_t handle = 0;
        if (!session_handle_of(s, &handle))
            return VEXO_STATUS_FAILURE;
        int r = set_eto_prop(aw, domain, port, target, value, handle);
        if (r != 0)
            return static_cast<VEXO_status_t>(r);
    }
    return set_prop_val(target, "ETO", "%s", value) != VEXO_STATUS_SUCCESS ? VEXO_STATUS_FAILURE
                                                                          : VEXO_STATUS_SUCCESS;
}

extern "C" int refresh_eto(node *lhba, unsigned int domainid, unsigned int phba_port)
{
    if (!lhba)
        return 1;
    int aw = get_port_number(lhba);
    for (node *t = get_first_instance(lhba, "Target"); t && vexo_is_instance(t); t = next_instance(t)) {
        if (get_first_instance(t, "Session"))
            continue;
        MGMT_CONTROLLER_ATTRIBUTES attribs;
        std::memset(&attribs, 0, sizeof attribs);
        if (ioctl_fetch_controller_attribs(aw, &attribs, domainid, phba_port, VEXO_DRIVER_ISCSI) !=
            VEXO_STATUS_SUCCESS)
            return 1;
        if (set_prop_val(t, "ETO", "%u", attribs.hba_attribs.default_extended_timeout) != VEXO_STATUS_SUCCESS)
            return 1;
    }
    return 0;
}

extern "C" int VEXO_refresh_backend_client_iscsi_targets(void)
{
    node *root = get_node(0);
    // Adapters without iSCSI functions and functions without a LogicalHBA
    // are passed over, so the ones after them still get their defaults.
    for (node *a = root ? get_first_instance(root, "Arcwright") : nullptr; a && vexo_is_instance(a);
         a = next_instance(a)) {
        for (node *f = get_first_instance(a, "iSCSIPhysicalHBA"); f && vexo_is_instance(f); f = next_instance(f)) {
            for (node *l = get_first_instance(f, "LogicalHBA"); l && vexo_is_instance(l); l = next_instance(l))
                refresh_eto(l, static_cast<unsigned int>(instance_number(l)), get_phba_port_number(f));
        }
    }
    return 0;
}
