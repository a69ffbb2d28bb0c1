#include "mgmt/aw/vexo-backend/profile_config.h"

#include <cstdio>
#include <cstring>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/byte_order.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"

uint32_t resc_desc_word(const uint8_t *desc, size_t offset)
{
    return le32_at(desc + offset);
}

void profile_walk_start(profile_walk *w, const GET_PROFILE_CONFIG_PARAMS *answer, size_t size)
{
    const uint8_t *base = reinterpret_cast<const uint8_t *>(answer);
    w->next = base + 4;
    w->end = base + size;
    w->left = answer->word0 & 0xFFFF;
    w->malformed = false;
}

const uint8_t *profile_walk_next(profile_walk *w)
{
    if (w->left == 0 || w->malformed)
        return nullptr;
    // The firmware's lengths are not trusted to stay inside the buffer.
    size_t room = static_cast<size_t>(w->end - w->next);
    if (room < 8 || resc_desc_length(w->next) < 8 || resc_desc_length(w->next) > room) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:descriptor list runs past its buffer (%u left)\n", __func__,
               w->left);
        w->malformed = true;
        return nullptr;
    }
    const uint8_t *desc = w->next;
    w->next += resc_desc_length(desc);
    --w->left;
    return desc;
}

extern "C" GET_PROFILE_CONFIG_PARAMS *VEXO_get_profile(node *adapter, int config_type, int profile_id,
                                                       int census_mode)
{
    if (!adapter)
        return nullptr;
    node *function = target_function(adapter);
    if (!function)
        return nullptr;
    int port = get_port_number(function);
    unsigned int phba_port = get_phba_port_number(function);
    unsigned int domain = get_domain_id(function);
    GET_PROFILE_CONFIG_PARAMS *buf = static_cast<GET_PROFILE_CONFIG_PARAMS *>(vexo_dmalloc(sizeof *buf));
    if (!buf) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return nullptr;
    }
    std::memset(buf, 0, sizeof *buf);
    buf->word0 = (static_cast<uint32_t>(profile_id) & 0xFF) | (static_cast<uint32_t>(config_type) & 0x3) << 8 |
                 (static_cast<uint32_t>(census_mode) & 0x1) << 10;
    VEXO_status_t status = ioctl_get_profile_config(port, buf, VEXO_PROFILE_CONFIG_SIZE, domain, phba_port,
                                                    adapter_driver(adapter));
    if (status != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_get_profile_config failed with status = %d\n", __func__,
               status);
        vexo_dfree(buf);
        vexo_set_fixed_status(VEXO_STATUS_GET_PROFILE_CONFIG_FAILED);
        return nullptr;
    }
    return buf;
}

size_t profile_census_entries(const GET_PROFILE_CONFIG_PARAMS *census, port_protocol *table, bool *malformed)
{
    std::memset(table, 0, VEXO_PROFILE_MAX_FUNCTIONS * sizeof *table);
    profile_walk w;
    profile_walk_start(&w, census, VEXO_PROFILE_CONFIG_SIZE);
    size_t n = 0;
    for (const uint8_t *d = profile_walk_next(&w); d; d = profile_walk_next(&w)) {
        if (resc_desc_type(d) != RESC_DESC_PCIE || resc_desc_length(d) < RESC_DESC_SIZE)
            continue;
        if (n == VEXO_PROFILE_MAX_FUNCTIONS) {
            // A write has room for no more functions than this.
            w.malformed = true;
            break;
        }
        table[n].func_number = static_cast<uint16_t>(resc_desc_pf_number(d));
        table[n].pcie_res_desc = d;
        ++n;
    }
    if (malformed)
        *malformed = w.malformed;
    return n;
}

GET_PROFILE_CONFIG_PARAMS *profile_census_read(node *adapter, port_protocol *table, size_t *n, const char *caller)
{
    *n = 0;
    std::memset(table, 0, VEXO_PROFILE_MAX_FUNCTIONS * sizeof *table);
    GET_PROFILE_CONFIG_PARAMS *census = VEXO_get_profile(adapter, PROFILE_CONFIG_CONFIGURED, 0, 1);
    if (!census)
        return nullptr;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:resource_desc_count = %d\n", caller,
           static_cast<int>(census->word0 & 0xFFFF));
    profile_walk w;
    profile_walk_start(&w, census, VEXO_PROFILE_CONFIG_SIZE);
    for (const uint8_t *d = profile_walk_next(&w); d; d = profile_walk_next(&w)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:desc_type = %d\n", caller, resc_desc_type(d));
        // Only whole PCIe descriptors are copied into a write, which has
        // room for no more functions than the table.
        if (resc_desc_type(d) != RESC_DESC_PCIE || resc_desc_length(d) < RESC_DESC_SIZE ||
            *n == VEXO_PROFILE_MAX_FUNCTIONS)
            continue;
        table[*n].func_number = static_cast<uint16_t>(resc_desc_pf_number(d));
        table[*n].pcie_res_desc = d;
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:psli4_resc->pf_number = 0x%0x\n", caller, table[*n].func_number);
        ++*n;
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:pcie_count = %d\n", caller, static_cast<int>(*n));
    if (w.malformed) {
        // A census cut short would drop functions from the write.
        vexo_dfree(census);
        std::memset(table, 0, VEXO_PROFILE_MAX_FUNCTIONS * sizeof *table);
        *n = 0;
        vexo_set_fixed_status(VEXO_STATUS_GET_PROFILE_CONFIG_FAILED);
        return nullptr;
    }
    return census;
}

void profile_one_desc_prepare(SET_PROFILE_CONFIG_PARAMS *req, const uint8_t *desc, uint32_t pf_number,
                              bool bandwidth)
{
    std::memset(req, 0, sizeof *req);
    req->word0 = 0; // profile 0, no ISAP descriptor
    req->resource_descriptor_count = 1;
    std::memcpy(req->resources, desc, RESC_DESC_SIZE);
    uint8_t type = resc_desc_type(desc);
    uint32_t *word0 = reinterpret_cast<uint32_t *>(req->resources);
    *word0 = (*word0 & ~(0xFFFFu | RESC_DESC_NO_SAVE)) | type | static_cast<uint32_t>(RESC_DESC_SIZE) << 8;
    if (type >= RESC_DESC_PCIE && type <= RESC_DESC_RDMA) {
        uint32_t *word1 = word0 + 1;
        *word1 = (*word1 & ~(RESC_DESC_PF_MASK << RESC_DESC_PF_SHIFT)) | (pf_number & RESC_DESC_PF_MASK)
                                                                             << RESC_DESC_PF_SHIFT;
    }
    if (type == RESC_DESC_NIC) {
        SLI4_RESC_DESC_NIC *d = reinterpret_cast<SLI4_RESC_DESC_NIC *>(req->resources);
        // All ones: the firmware keeps what it has.
        d->mac_unicast_count = 0xFFFF;
        d->vlan_count = 0xFFFF;
        d->mac_mcast_count = 0xFFFF;
        d->lro_queue_count = 0xFFFF;
        d->toe_conn_count = 0xFFFF;
        d->iface_count = 0xFFFF;
        d->tunnel_iface_count = 0xFFFF;
        d->direct_tenant_iface_count = 0xFFFF;
        if (!bandwidth) {
            d->bw_min = 0xFFFFFFFF;
            d->bw_max = 0xFFFFFFFF;
        }
    } else if (type == RESC_DESC_ISCSI && !bandwidth) {
        SLI4_RESC_DESC_ISCSI *d = reinterpret_cast<SLI4_RESC_DESC_ISCSI *>(req->resources);
        d->bw_min = 0xFFFFFFFF;
        d->bw_max = 0xFFFFFFFF;
    } else if (type == RESC_DESC_FCOE && !bandwidth) {
        VEXO_SLI4_RESC_DESC_FCOE *d = reinterpret_cast<VEXO_SLI4_RESC_DESC_FCOE *>(req->resources);
        d->bw_min = 0xFFFFFFFF;
        d->bw_max = 0xFFFFFFFF;
    }
}

SET_PROFILE_CONFIG_PARAMS *profile_table_request(uint8_t profile_id, const uint8_t *const *pcie, size_t n,
                                                 const uint8_t mc_type[4], size_t *size)
{
    if (n > VEXO_PROFILE_MAX_FUNCTIONS)
        return nullptr;
    size_t total = 8 + RESC_DESC_SIZE * n + RESC_DESC_ISAP_SIZE;
    // Never shorter than the record the command's declaration names.
    size_t alloc = total < sizeof(SET_PROFILE_CONFIG_PARAMS) ? sizeof(SET_PROFILE_CONFIG_PARAMS) : total;
    SET_PROFILE_CONFIG_PARAMS *req = static_cast<SET_PROFILE_CONFIG_PARAMS *>(vexo_dmalloc(alloc));
    if (!req) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return nullptr;
    }
    std::memset(req, 0, alloc);
    req->word0 = profile_id | SET_PROFILE_ISAP;
    req->resource_descriptor_count = static_cast<uint32_t>(n + 1);
    uint8_t *at = req->resources;
    for (size_t i = 0; i < n; ++i, at += RESC_DESC_SIZE) {
        std::memcpy(at, pcie[i], RESC_DESC_SIZE);
        SLI4_RESC_DESC_PCIE *d = reinterpret_cast<SLI4_RESC_DESC_PCIE *>(at);
        d->word0 = (d->word0 & ~(0xFFFFu | RESC_DESC_IMMEDIATE | RESC_DESC_NO_SAVE)) | RESC_DESC_PCIE |
                   static_cast<uint32_t>(RESC_DESC_SIZE) << 8;
    }
    SLI4_RESC_DESC_ISAP *isap = reinterpret_cast<SLI4_RESC_DESC_ISAP *>(at);
    isap->word0 = RESC_DESC_ISAP | static_cast<uint32_t>(RESC_DESC_ISAP_SIZE) << 8;
    std::memcpy(isap->MC_Type, mc_type, 4);
    *size = total;
    return req;
}

int profile_send_write(node *adapter, SET_PROFILE_CONFIG_PARAMS *req, size_t size, int phba_port)
{
    node *function = target_function(adapter);
    if (!function || !req)
        return 1;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:res_count = %u\n", __func__, req->resource_descriptor_count);
    VEXO_status_t status =
        ioctl_set_profile_config(get_port_number(function), req, static_cast<uint16_t>(size), get_domain_id(function),
                                 phba_port < 0 ? get_phba_port_number(function) : static_cast<unsigned int>(phba_port),
                                 adapter_driver(adapter));
    if (status != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_set_profile_config failed with status = %d\n", __func__,
               status);
        vexo_set_fixed_status(VEXO_STATUS_SET_PROFILE_CONFIG_FAILED);
        return 1;
    }
    return 0;
}

VEXO_status_t handle_MaxFunctionsPerPort(node *property, char *value, int type)
{
    (void)type; // read only
    node *group = property ? property->parent : nullptr;
    node *adapter = group ? group->parent : nullptr;
    if (!adapter || property->node_type != VEXO_NODE_PROPERTY || !property->u.prop)
        return VEXO_STATUS_FAILURE;
    char *cached = property->u.prop->val;
    if (vm_flag) {
        std::snprintf(value, VEXO_VALUE_SIZE, "N/A");
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return VEXO_STATUS_FAILURE;
    }
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_AW2 || family == AW_TYPE_AW3 || family == AW_TYPE_VARROW) {
        std::snprintf(cached, VEXO_VALUE_SIZE, "N/A");
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    GET_PROFILE_CONFIG_PARAMS *profile = VEXO_get_profile(adapter, PROFILE_CONFIG_CONFIGURED, 0, 0);
    if (!profile)
        return VEXO_STATUS_FAILURE;
    uint32_t max_pf = 0;
    profile_walk w;
    profile_walk_start(&w, profile, VEXO_PROFILE_CONFIG_SIZE);
    for (const uint8_t *d = profile_walk_next(&w); d; d = profile_walk_next(&w))
        if (resc_desc_type(d) == RESC_DESC_PORT && resc_desc_length(d) >= 16)
            max_pf = port_pf_count(d, 0);
    vexo_dfree(profile);
    if (w.malformed) {
        // A list cut short may have lost its last port: no value beats a wrong one.
        vexo_set_fixed_status(VEXO_STATUS_GET_PROFILE_CONFIG_FAILED);
        return VEXO_STATUS_FAILURE;
    }
    std::snprintf(cached, VEXO_VALUE_SIZE, "%u", max_pf);
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}
