#include "mgmt/aw/vexo-backend/initiator_name.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/byte_order.h"
#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_convert.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"

namespace
{

// ISCSI_HBA_NAME_PARAMS
const size_t kNameFlags = 0;
const size_t kName = 4;
const size_t kNameSize = 224;
const size_t kAlias = 228;
const size_t kAliasSize = 32;
const size_t kAliasShown = 31;

// GET_QOS_PARAMS answer and SET_QOS_PARAMS request
const size_t kGetIos = 8;
const size_t kGetBytes = 12;
const size_t kSetIos = 12;
const size_t kSetBytes = 16;
const uint32_t kValidIos = 0x4;
const uint32_t kValidBytes = 0x40;

// DISCOVERY_PARAMS: the iSNS flags follow the 544 bytes of SLP settings.
const size_t kIsnsFlags = 544;
const uint8_t kIsnsEnabled = 0x01;

// A text of the record, which may fill its field without a terminator.
void field_text(char *dst, size_t dst_size, const uint8_t *src, size_t src_size)
{
    size_t n = strnlen(reinterpret_cast<const char *>(src), src_size);
    if (n >= dst_size)
        n = dst_size - 1;
    std::memcpy(dst, src, n);
    dst[n] = '\0';
}

void put_field(uint8_t *dst, size_t dst_size, const char *src)
{
    std::memset(dst, 0, dst_size);
    std::memcpy(dst, src, strnlen(src, dst_size));
}

// Reads the name record, version 1 first; status 110 when no version
// answers.
VEXO_status_t read_name_record(int aw_port_number, unsigned int domainid, unsigned int phba_port,
                               ISCSI_HBA_NAME_PARAMS *rec)
{
    // flags bit 0 clear, as in every request
    std::memset(rec, 0, sizeof *rec);
    VEXO_status_t st = ioctl_fetch_initiator_name_params_v1(aw_port_number, rec, domainid, phba_port);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s: ioctl_fetch_initiator_name_params_v1 status = %d\n", __func__, st);
    if (st == VEXO_STATUS_INVALID_OPCODE) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: initiator_name_params_v1 failed trying V0\n", __func__);
        std::memset(rec, 0, sizeof *rec);
        st = ioctl_fetch_initiator_name_params(aw_port_number, rec, domainid, phba_port);
    }
    if (st != VEXO_STATUS_SUCCESS)
        vexo_set_fixed_status(VEXO_STATUS_GET_INTR_NAME_FAILED);
    return st;
}

// A limit written by the node: a decimal count within 32 bits once scaled.
bool parse_limit(const char *value, uint32_t scale, uint32_t *out)
{
    if (!value || value[0] < '0' || value[0] > '9')
        return false;
    errno = 0;
    char *end = nullptr;
    unsigned long v = std::strtoul(value, &end, 10);
    if (errno != 0 || *end != '\0' || v > UINT32_MAX / scale)
        return false;
    *out = static_cast<uint32_t>(v) * scale;
    return true;
}

VEXO_status_t qos_handler(node *property, char *value, int type, size_t field, uint32_t valid, uint32_t scale)
{
    node *qos = property ? property->parent : nullptr;
    if (!qos || !value)
        return VEXO_STATUS_FAILURE;
    int aw = get_port_number(property);
    unsigned int domain = get_domain_id(property), port = get_phba_port_number(property);
    if (type == 0) {
        if (get_qos_params(aw, domain, port, qos) != 0)
            return VEXO_STATUS_FAILURE;
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    uint32_t limit = 0;
    if (!parse_limit(value, scale, &limit)) {
        vexo_set_fixed_status(VEXO_STATUS_API_INVALID_VALUE);
        return VEXO_STATUS_FAILURE;
    }
    SET_QOS_PARAMS req;
    std::memset(&req, 0, sizeof req);
    put_le32(req.data, valid);
    put_le32(req.data + field, limit);
    VEXO_status_t st = ioctl_qos_set(aw, &req, domain, port, VEXO_DRIVER_ISCSI);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_qos_set failed with status = %d\n", __func__, st);
        vexo_set_fixed_status(VEXO_STATUS_SET_QOS_FAILED);
        return st;
    }
    return get_qos_params(aw, domain, port, qos) != 0 ? VEXO_STATUS_FAILURE : VEXO_STATUS_SUCCESS;
}

} // namespace

extern "C" int get_name_params(int aw_port_number, unsigned int domainid, unsigned int phba_port, node *property)
{
    node *group = property ? property->parent : nullptr;
    if (!group)
        return 1;
    ISCSI_HBA_NAME_PARAMS rec;
    VEXO_status_t st = read_name_record(aw_port_number, domainid, phba_port, &rec);
    if (st != VEXO_STATUS_SUCCESS)
        return st;
    char name[kNameSize + 1], alias[kAliasShown + 1];
    field_text(name, sizeof name, rec.data + kName, kNameSize);
    field_text(alias, sizeof alias, rec.data + kAlias, kAliasSize);
    int r = set_prop_val(group, "InitiatorAlias", "%s", alias) != VEXO_STATUS_SUCCESS;
    r |= set_prop_val(group, "InitiatoriSCSIName", "%s", name) != VEXO_STATUS_SUCCESS;
    return r ? 1 : 0;
}

extern "C" int VEXO_set_initatorIQN_alias(node *property, char *value)
{
    if (!property || !value || !property->node_name)
        return 1;
    const bool is_name = std::strcmp(property->node_name, "InitiatoriSCSIName") == 0;
    if (!is_name && std::strcmp(property->node_name, "InitiatorAlias") != 0)
        return 1;
    int aw = get_port_number(property);
    unsigned int domain = get_domain_id(property), port = get_phba_port_number(property);
    ISCSI_HBA_NAME_PARAMS rec;
    VEXO_status_t st = read_name_record(aw, domain, port, &rec);
    if (st != VEXO_STATUS_SUCCESS)
        return st;
    char name[kNameSize + 1], alias[kAliasSize + 1];
    field_text(name, sizeof name, rec.data + kName, kNameSize);
    field_text(alias, sizeof alias, rec.data + kAlias, kAliasSize);
    put_field(rec.data + kName, kNameSize, is_name ? value : name);
    put_field(rec.data + kAlias, kAliasSize, is_name ? alias : value);
    rec.data[kNameFlags] &= static_cast<uint8_t>(~1u);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s: name = %s alias = %s\n", __func__, is_name ? value : name,
           is_name ? alias : value);

    st = ioctl_save_initiator_name_params_v1(aw, &rec, domain, port);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s: ioctl_save_initiator_name_params_v1 status = %d\n", __func__, st);
    if (st == VEXO_STATUS_INVALID_OPCODE) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: save_initiator_name_params_v1 failed trying V0\n", __func__);
        st = ioctl_save_initiator_name_params(aw, &rec, domain, port);
        if (st != VEXO_STATUS_SUCCESS) {
            vexo_set_fixed_status(VEXO_STATUS_SET_INTR_NAME_FAILED);
            return st;
        }
        return 0;
    }
    if (st != VEXO_STATUS_SUCCESS) {
        // The transport's status stays; a failure that left none still
        // reads as the failed write.
        if (vexo_last_status_code == VEXO_STATUS_SUCCESS)
            vexo_set_fixed_status(VEXO_STATUS_SET_INTR_NAME_FAILED);
        return 1;
    }
    return 0;
}

VEXO_status_t handle_name_params(node *property, char *value, int type)
{
    if (!property || !value || !property->node_name)
        return VEXO_STATUS_FAILURE;
    if (type == 0) {
        int r = get_name_params(get_port_number(property), get_domain_id(property), get_phba_port_number(property),
                                property);
        if (r != 0)
            return static_cast<VEXO_status_t>(r);
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    if (strcasecmp(property->node_name, "InitiatoriSCSIName") == 0) {
        char folded[VEXO_ISCSI_NAME_SIZE];
        VEXO_status_t st = validateISCSIName(value, folded);
        if (st != VEXO_STATUS_SUCCESS)
            return st;
        std::snprintf(value, VEXO_VALUE_SIZE, "%s", folded);
    }
    return VEXO_set_initatorIQN_alias(property, value) != 0 ? VEXO_STATUS_FAILURE : VEXO_STATUS_SUCCESS;
}

extern "C" int get_qos_params(int aw_port_number, unsigned int domainid, unsigned int phba_port, node *qos)
{
    if (!qos)
        return 1;
    GET_QOS_PARAMS rec;
    std::memset(&rec, 0, sizeof rec);
    VEXO_status_t st = ioctl_qos_get(aw_port_number, &rec, domainid, phba_port, VEXO_DRIVER_ISCSI);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_qos_get failed with status = %d\n", __func__, st);
        vexo_set_fixed_status(VEXO_STATUS_GET_QOS_FAILED);
        return st;
    }
    int r = set_prop_val(qos, "MaxBytesPerSecond", "%u", le32_at(rec.data + kGetBytes) >> 10) != VEXO_STATUS_SUCCESS;
    r |= set_prop_val(qos, "MaxIosPerSecond", "%u", le32_at(rec.data + kGetIos)) != VEXO_STATUS_SUCCESS;
    return r;
}

VEXO_status_t handle_MaxBytesPerSecond(node *property, char *value, int type)
{
    return qos_handler(property, value, type, kSetBytes, kValidBytes, 1024);
}

VEXO_status_t handle_MaxIosPerSecond(node *property, char *value, int type)
{
    return qos_handler(property, value, type, kSetIos, kValidIos, 1);
}

extern "C" int get_discovery_params(int aw_port_number, unsigned int domainid, unsigned int phba_port, node *isns)
{
    if (!isns)
        return 1;
    DISCOVERY_PARAMS rec;
    std::memset(&rec, 0, sizeof rec);
    VEXO_status_t st = ioctl_get_discoveryparams(aw_port_number, &rec, domainid, phba_port);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_get_discoveryparams failed with status = %d\n", __func__,
               st);
        vexo_set_fixed_status(VEXO_STATUS_GET_DISCOVERY_FAILED);
        return st;
    }
    const char *enabled = (rec.data[kIsnsFlags] & kIsnsEnabled) ? "Yes" : "No";
    return set_prop_val(isns, "iSNSEnabled", "%s", enabled) != VEXO_STATUS_SUCCESS ? 1 : 0;
}
