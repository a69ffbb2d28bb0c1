#include "mgmt/aw/vexo-backend/sriov_state.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/aw_config_resources.h"
#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/aw/vexo-backend/profile_config.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/vexo/core/debug.h"

namespace
{

// Function capability bit that rules SR-IOV out on the adapter.
const uint32_t FUNCTION_CAPS_NO_SRIOV = 0x40;
// Request length of the one-descriptor SR-IOV write.
const size_t SRIOV_ONE_DESC_SIZE = 22624;
// Most ports an ISAP descriptor describes.
const size_t ISAP_PORTS = 4;

// The FunctionNumber text of the function's PCI group into `text` (256
// bytes).
bool pf_text_of(node *function, char *text, const char *caller)
{
    node *pci = internal_get_node(function, "PCI", VEXO_NODE_GROUP);
    if (!pci) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get pci node\n", caller);
        return false;
    }
    if (internal_get_property(pci, "FunctionNumber", text) != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get function number\n", caller);
        return false;
    }
    return true;
}

// A function number as an integer of any base; false for an empty or
// negative text, trailing characters or a value beyond a descriptor's 10
// bits (such a function is in no record).
bool pf_value(const char *text, int *pf)
{
    if (!text[0] || std::strchr(text, '-'))
        return false;
    char *end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 0);
    if (errno != 0 || *end != '\0' || v < 0 || v > static_cast<long>(RESC_DESC_PF_MASK))
        return false;
    *pf = static_cast<int>(v);
    return true;
}

bool same_pf(uint32_t number, const char *pf_text)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", number);
    return strcasecmp(text, pf_text) == 0;
}

// function_caps of the firmware configuration, read through the NIC
// driver; a failed read leaves the zeroed record.
uint32_t function_caps(int port, unsigned int domain, unsigned int phba_port, const char *caller)
{
    AW_FW_CFG cfg;
    std::memset(&cfg, 0, sizeof cfg);
    (void)ioctl_get_fw_config(port, &cfg, domain, phba_port, VEXO_DRIVER_NIC);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:function_caps = %d\n", caller, static_cast<int>(cfg.function_caps));
    return cfg.function_caps;
}

// The legacy record, version 1, read through the NIC driver; null with
// status 241 when the read fails (16 without memory).
GET_AW_CONFIGURATION_AND_RESOURCES_PARAMS_V1 *legacy_v1_read(int port, unsigned int domain, unsigned int phba_port,
                                                             const char *caller)
{
    GET_AW_CONFIGURATION_AND_RESOURCES_PARAMS_V1 *rec =
        static_cast<GET_AW_CONFIGURATION_AND_RESOURCES_PARAMS_V1 *>(vexo_dmalloc(sizeof *rec));
    if (!rec) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return nullptr;
    }
    std::memset(rec, 0, sizeof *rec);
    VEXO_status_t status =
        ioctl_get_aw_conf_V1(port, rec, AW_CONFIG_RESOURCES_V1_SIZE, domain, phba_port, VEXO_DRIVER_NIC);
    if (status != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_get_aw_conf_V1 failed with status = %d\n", caller, status);
        vexo_dfree(rec);
        vexo_set_fixed_status(VEXO_STATUS_GET_SRIOV_STATE);
        return nullptr;
    }
    return rec;
}

// The enabled NIC function's PCIe record in a legacy record, or null. The
// firmware's count is bounded by the 16 records of the buffer.
AW_RESOURCES_V1 *legacy_v1_pcie(GET_AW_CONFIGURATION_AND_RESOURCES_PARAMS_V1 *rec, const char *pf_text)
{
    uint32_t count = rec->resource_descriptor_count;
    if (count > AW_RESOURCES_MAX)
        count = AW_RESOURCES_MAX;
    for (uint32_t i = 0; i < count; ++i) {
        AW_RESOURCES_V1 &r = rec->resources[i];
        const AW_RESOURCES_PCIE_V1 &p = r.resource_descriptor.pcie;
        if (r.resource_type == AW_RESOURCE_TYPE_PCIE && same_pf(p.pf_num, pf_text) && p.pf_type == AW_PF_TYPE_NIC &&
            p.pf_state == 0)
            return &r;
    }
    return nullptr;
}

} // namespace

VEXO_status_t handle_NICPhysicalHBA_SRIOVState(node *property, char *value, int type)
{
    if (!property || !value || property->node_type != VEXO_NODE_PROPERTY || !property->u.prop)
        return VEXO_STATUS_FAILURE;
    if (vexo_on_vf(property)) {
        std::snprintf(value, VEXO_VALUE_SIZE, "N/A");
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return VEXO_STATUS_FAILURE;
    }
    node *function = property->parent;
    node *adapter = function ? function->parent : nullptr;
    if (!adapter)
        return VEXO_STATUS_FAILURE;
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    if (family == AW_TYPE_AW2) {
        if (type == 1) {
            vexo_set_fixed_status(VEXO_STATUS_SRIOV_NOT_SUPPORTED);
            return VEXO_STATUS_FAILURE;
        }
        if (type == 0) {
            set_prop_val(function, "SRIOVState", "N/A");
            answer_cached(property, value);
        }
        return VEXO_STATUS_SUCCESS;
    }
    char pf_text[VEXO_VALUE_SIZE] = "";
    if (!pf_text_of(function, pf_text, __func__))
        return VEXO_STATUS_FAILURE;
    int port = get_port_number(function);
    unsigned int domain = get_domain_id(function);
    unsigned int phba_port = get_phba_port_number(function);
    if (type == 1) {
        int r = VEXO_set_SRIOVState(family, function, port, domain, phba_port, value, adapter);
        if (r == VEXO_STATUS_SUCCESS)
            return VEXO_STATUS_SUCCESS;
        if (r == VEXO_STATUS_INVALID_OPCODE || r == VEXO_STATUS_TRY_PROFILE_V0)
            return VEXO_set_legacy_sriov_state(family, function, port, domain, phba_port, value, adapter) == 0
                       ? VEXO_STATUS_SUCCESS
                       : VEXO_STATUS_FAILURE;
        return VEXO_STATUS_FAILURE;
    }
    if (type != 0)
        return VEXO_STATUS_SUCCESS;
    if (family != AW_TYPE_VARROW && (function_caps(port, domain, phba_port, __func__) & FUNCTION_CAPS_NO_SRIOV)) {
        set_prop_val(function, "SRIOVState", "N/A");
    } else {
        int r = VEXO_get_SRIOVState(family, function, port, domain, phba_port, adapter, pf_text,
                                    PROFILE_CONFIG_CONFIGURED, function);
        if (r == VEXO_STATUS_INVALID_OPCODE || r == VEXO_STATUS_TRY_PROFILE_V0) {
            if (VEXO_get_legacy_sriov_state(family, function, port, domain, phba_port, adapter) != 0)
                return VEXO_STATUS_FAILURE;
        } else if (r != VEXO_STATUS_SUCCESS) {
            return VEXO_STATUS_FAILURE;
        }
    }
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_AProf_SRIOVState(node *property, char *value, int type)
{
    (void)type; // read only
    if (!property || !value || property->node_type != VEXO_NODE_PROPERTY || !property->u.prop)
        return VEXO_STATUS_FAILURE;
    if (vexo_on_vf(property))
        std::snprintf(value, VEXO_VALUE_SIZE, "N/A");
    node *fn = property->parent;
    node *port = fn ? fn->parent : nullptr;
    node *active = port ? port->parent : nullptr;
    node *pm = active ? active->parent : nullptr;
    node *adapter = pm ? pm->parent : nullptr;
    if (!adapter)
        return VEXO_STATUS_FAILURE;
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    if (family == AW_TYPE_AW2 || family == AW_TYPE_AW3 || family == AW_TYPE_VARROW) {
        set_prop_val(fn, "SRIOVState", "N/A");
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    node *nic = get_first_instance(adapter, "NICPhysicalHBA");
    if (!nic)
        return VEXO_STATUS_FAILURE;
    int be_port = get_port_number(nic);
    unsigned int domain = get_domain_id(nic);
    unsigned int phba_port = get_phba_port_number(nic);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:be_port_number = %d domainid = %d phba_port = %d\n", __func__,
           be_port, static_cast<int>(domain), static_cast<int>(phba_port));
    if (function_caps(be_port, domain, phba_port, __func__) & FUNCTION_CAPS_NO_SRIOV) {
        set_prop_val(fn, "SRIOVState", "N/A");
    } else {
        char func[VEXO_VALUE_SIZE] = "";
        if (internal_get_property(fn, "FunctionNumber", func) != VEXO_STATUS_SUCCESS)
            return VEXO_STATUS_FAILURE;
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:func_prop = %s\n", __func__, func);
        if (VEXO_get_SRIOVState(family, nic, be_port, domain, phba_port, adapter, func, PROFILE_CONFIG_ACTIVE, fn) !=
            0)
            return VEXO_STATUS_FAILURE;
    }
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

extern "C" int VEXO_get_SRIOVState(int family, node *function, int aw_port_number, unsigned int domainid,
                                   unsigned int phba_port, node *adapter, char *func, int config_type, node *target)
{
    (void)aw_port_number;
    (void)domainid;
    (void)phba_port;
    if (!function || !adapter || !func || !target)
        return 1;
    if (family == AW_TYPE_VARROW)
        return VEXO_STATUS_TRY_PROFILE_V0;
    int pf = 0;
    if (!pf_value(func, &pf)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:pf_number is invalid\n", __func__);
        return 1;
    }
    // The function's own port, domain and physical port carry the command.
    int port = get_port_number(function);
    unsigned int domain = get_domain_id(function);
    unsigned int pport = get_phba_port_number(function);
    GET_PROFILE_CONFIG_PARAMS *buf = static_cast<GET_PROFILE_CONFIG_PARAMS *>(vexo_dmalloc(sizeof *buf));
    if (!buf) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return 1;
    }
    std::memset(buf, 0, sizeof *buf);
    buf->word0 = (static_cast<uint32_t>(config_type) & 0x3) << 8;
    VEXO_status_t status =
        ioctl_get_profile_config(port, buf, VEXO_PROFILE_CONFIG_SIZE, domain, pport, VEXO_DRIVER_NIC);
    if (status != VEXO_STATUS_SUCCESS) {
        vexo_dfree(buf);
        if (status == VEXO_STATUS_INVALID_OPCODE)
            return VEXO_STATUS_INVALID_OPCODE;
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_get_profile_config failed with status = %d\n", __func__,
               status);
        vexo_set_fixed_status(VEXO_STATUS_GET_PROFILE_CONFIG_FAILED);
        return 1;
    }
    profile_walk w;
    profile_walk_start(&w, buf, VEXO_PROFILE_CONFIG_SIZE);
    for (const uint8_t *d = profile_walk_next(&w); d; d = profile_walk_next(&w)) {
        // The state and its change bit lie in the first 24 bytes.
        if (resc_desc_type(d) != RESC_DESC_PCIE || resc_desc_length(d) < 24 ||
            resc_desc_pf_number(d) != static_cast<uint32_t>(pf))
            continue;
        const char *text = nullptr;
        if (!(resc_desc_word(d, 20) & PCIE_SRIOV_STATE_CHG))
            text = "N/A";
        else if (d[12] == 0)
            text = "Disabled";
        else if (d[12] == 1)
            text = "Enabled";
        if (text)
            set_prop_val(target, "SRIOVState", "%s", text);
    }
    vexo_dfree(buf);
    if (w.malformed) {
        // Descriptors past the fault are lost: no state beats a wrong one.
        vexo_set_fixed_status(VEXO_STATUS_GET_PROFILE_CONFIG_FAILED);
        return 1;
    }
    return 0;
}

extern "C" int VEXO_set_SRIOVState(int family, node *function, int aw_port_number, unsigned int domainid,
                                   unsigned int phba_port, char *value, node *adapter)
{
    if (family == AW_TYPE_AW2 || family == AW_TYPE_VARROW)
        return VEXO_STATUS_TRY_PROFILE_V0;
    if (!function || !value || !adapter)
        return 1;
    char current[VEXO_VALUE_SIZE] = "";
    if (internal_get_property(function, "SRIOVState", current) != VEXO_STATUS_SUCCESS)
        return 1;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:sriov_state_change = %s\n", __func__, current);
    if (strcasecmp(current, "N/A") == 0) {
        vexo_set_fixed_status(VEXO_STATUS_SRIOV_NOT_SUPPORTED);
        return 1;
    }
    char pf_text[VEXO_VALUE_SIZE] = "";
    if (!pf_text_of(function, pf_text, __func__))
        return 1;
    int pf = 0;
    if (!pf_value(pf_text, &pf)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: pf_number is invalid\n", __func__);
        return 1;
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:pf_number = %d value = %s\n", __func__, pf, value);
    if (family == AW_TYPE_AW3) {
        uint8_t *buf = static_cast<uint8_t *>(vexo_dmalloc(SRIOV_ONE_DESC_SIZE));
        if (!buf) {
            vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
            return 1;
        }
        std::memset(buf, 0, SRIOV_ONE_DESC_SIZE);
        SET_PROFILE_CONFIG_PARAMS *req = reinterpret_cast<SET_PROFILE_CONFIG_PARAMS *>(buf);
        req->word0 = 0; // profile 0, no ISAP descriptor
        req->resource_descriptor_count = 1;
        SLI4_RESC_DESC_PCIE *d = reinterpret_cast<SLI4_RESC_DESC_PCIE *>(req->resources);
        d->word0 = RESC_DESC_PCIE | static_cast<uint32_t>(RESC_DESC_SIZE) << 8;
        d->word1 = static_cast<uint32_t>(pf) << RESC_DESC_PF_SHIFT;
        d->pf_type = PROFILE_PF_NIC;
        d->pf_state = 0xFF; // state and type stay as configured
        d->sriov_state = strcasecmp(value, "Disabled") == 0 ? 0 : 1;
        VEXO_status_t status = ioctl_set_profile_config(aw_port_number, req, SRIOV_ONE_DESC_SIZE, domainid,
                                                        phba_port, VEXO_DRIVER_NIC);
        vexo_dfree(buf);
        if (status == VEXO_STATUS_INVALID_OPCODE)
            return VEXO_STATUS_INVALID_OPCODE;
        if (status != VEXO_STATUS_SUCCESS) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_set_profile_config failed with status = %d\n",
                   __func__, status);
            vexo_set_fixed_status(VEXO_STATUS_SET_PROFILE_CONFIG_FAILED);
            return 1;
        }
    } else if (VEXO_set_sli_sriov_state(adapter, pf, value, aw_port_number, domainid, phba_port, VEXO_DRIVER_NIC) !=
               0) {
        return 1;
    }
    vexo_set_fixed_status(VEXO_STATUS_SRIOV_CHANGED_REBOOT);
    return 0;
}

extern "C" int VEXO_set_sli_sriov_state(node *adapter, int pf_number, char *value, int aw_port_number,
                                        unsigned int domainid, unsigned int phba_port, int driver_type)
{
    if (!adapter || !value)
        return 1;
    node *pm = internal_get_node(adapter, "ProfileManagement", VEXO_NODE_GROUP);
    node *cp = pm ? internal_get_node(pm, "ConfiguredProfile", VEXO_NODE_GROUP) : nullptr;
    if (!cp)
        return 1;
    char id_text[VEXO_VALUE_SIZE] = "";
    if (internal_get_property(cp, "ProfileId", id_text) != VEXO_STATUS_SUCCESS)
        return 1;
    char *end = nullptr;
    unsigned long profile_id = std::strtoul(id_text, &end, 10);
    if (!id_text[0] || *end != '\0' || profile_id > 0xFF) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ProfileId %s is invalid\n", __func__, id_text);
        return 1;
    }

    port_protocol *table =
        static_cast<port_protocol *>(vexo_dmalloc(VEXO_PROFILE_MAX_FUNCTIONS * sizeof(port_protocol)));
    if (!table) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return 1;
    }
    size_t n = 0;
    GET_PROFILE_CONFIG_PARAMS *census = profile_census_read(adapter, table, &n, __func__);
    GET_PROFILE_CONFIG_PARAMS *conf = census ? VEXO_get_profile(adapter, PROFILE_CONFIG_CONFIGURED, 0, 0) : nullptr;
    if (!conf) {
        vexo_dfree(table);
        vexo_dfree(census);
        return 1;
    }

    // Census entries passed over by the configured list are written as
    // disabled functions; `disabled` marks them (one flag per entry).
    bool disabled[VEXO_PROFILE_MAX_FUNCTIONS] = {};
    size_t ports = 0;
    size_t cur = 0;
    profile_walk w;
    profile_walk_start(&w, conf, VEXO_PROFILE_CONFIG_SIZE);
    // The whole list is walked, so that no port descriptor goes uncounted.
    const uint8_t *d = profile_walk_next(&w);
    while (d) {
        uint8_t t = resc_desc_type(d);
        if (t == RESC_DESC_PORT) {
            // Each port keeps its configured multichannel mode.
            if (ports < ISAP_PORTS)
                table[ports].mc_type = static_cast<uint16_t>((resc_desc_word(d, 4) >> 8) & 0xFF);
            ++ports;
        } else if (t == RESC_DESC_PCIE && resc_desc_length(d) >= RESC_DESC_SIZE && cur < n) {
            if (resc_desc_pf_number(d) != table[cur].func_number) {
                disabled[cur++] = true;
                continue; // the same descriptor is compared with the next entry
            }
            table[cur++].pcie_res_desc = d;
        }
        d = profile_walk_next(&w);
    }
    if (w.malformed) {
        vexo_set_fixed_status(VEXO_STATUS_GET_PROFILE_CONFIG_FAILED);
        vexo_dfree(conf);
        vexo_dfree(table);
        vexo_dfree(census);
        return 1;
    }

    const uint8_t *pcie[VEXO_PROFILE_MAX_FUNCTIONS];
    for (size_t i = 0; i < n; ++i)
        pcie[i] = table[i].pcie_res_desc;
    uint8_t mc_type[ISAP_PORTS] = {};
    for (size_t p = 0; p < ISAP_PORTS && p < ports; ++p)
        mc_type[p] = static_cast<uint8_t>(table[p].mc_type);
    size_t size = 0;
    SET_PROFILE_CONFIG_PARAMS *req = profile_table_request(static_cast<uint8_t>(profile_id), pcie, n, mc_type, &size);
    int result = 1;
    if (req) {
        for (size_t i = 0; i < n; ++i) {
            SLI4_RESC_DESC_PCIE *e = reinterpret_cast<SLI4_RESC_DESC_PCIE *>(req->resources + i * RESC_DESC_SIZE);
            if (disabled[i]) {
                e->pf_type = PROFILE_PF_NIC;
                e->pf_state = 0;
            }
            if (table[i].func_number != static_cast<uint32_t>(pf_number))
                continue;
            if (strcasecmp(value, "Enabled") == 0) {
                e->sriov_state = 1;
                e->number_vfs = 255;
            } else if (strcasecmp(value, "Disabled") == 0) {
                e->sriov_state = 0;
                e->number_vfs = 0;
            }
        }
        VEXO_status_t status = ioctl_set_profile_config(aw_port_number, req, static_cast<uint16_t>(size), domainid,
                                                        phba_port, driver_type);
        if (status != VEXO_STATUS_SUCCESS) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_set_profile_config failed with status = %d\n",
                   __func__, status);
            vexo_set_fixed_status(VEXO_STATUS_SAVE_PROFILE_FAILED);
        } else {
            (void)VEXO_conf_sriov_state(adapter, pf_number, value);
            result = 0;
        }
        vexo_dfree(req);
    }
    vexo_dfree(conf);
    vexo_dfree(table);
    vexo_dfree(census);
    return result;
}

extern "C" int VEXO_conf_sriov_state(node *adapter, int pf_number, char *value)
{
    if (!adapter || !value)
        return 1;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:value = %s pf_number = 0x%x\n", __func__, value, pf_number);
    node *pm = internal_get_node(adapter, "ProfileManagement", VEXO_NODE_GROUP);
    if (!pm) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get ProfileManagement Node.\n", __func__);
        return 1;
    }
    node *cp = internal_get_node(pm, "ConfiguredProfile", VEXO_NODE_GROUP);
    if (!cp) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get active profile Node.\n", __func__);
        return 1;
    }
    node *port = get_first_instance(cp, "Port");
    if (!port)
        return 1;
    int result = 0;
    for (; port; port = next_group_instance(port)) {
        node *fn = get_first_instance(port, "Function");
        if (!fn)
            return 1;
        for (; fn; fn = next_group_instance(fn)) {
            char conf_pf[VEXO_VALUE_SIZE] = "";
            result = internal_get_property(fn, "FunctionNumber", conf_pf);
            int number = -1;
            if (result != VEXO_STATUS_SUCCESS || !pf_value(conf_pf, &number))
                continue;
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:conf_pf = %s atoi(conf_pf) = 0x%x\n", __func__, conf_pf,
                   number);
            if (number == pf_number) {
                pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:Matched..\n", __func__);
                // Through the property's handler, so the configured-profile
                // file that later reads come from carries the new state too.
                char text[VEXO_VALUE_SIZE];
                std::snprintf(text, sizeof text, "%s", value);
                return internal_set_property(fn, "SRIOVState", text);
            }
        }
    }
    return result;
}

extern "C" int VEXO_get_legacy_sriov_state(int family, node *function, int aw_port_number, unsigned int domainid,
                                           unsigned int phba_port, node *adapter)
{
    if (!function || !adapter)
        return 1;
    char pf_text[VEXO_VALUE_SIZE] = "";
    if (!pf_text_of(function, pf_text, __func__))
        return 1;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG,
           "%s:be_type = %d fun_prop = %s be_port_number = %d domainid = %d phba_port = %d\n", __func__, family,
           pf_text, aw_port_number, static_cast<int>(domainid), static_cast<int>(phba_port));
    bool found = false;
    int result = 0;
    if (family == AW_TYPE_AW3) {
        GET_AW_CONFIGURATION_AND_RESOURCES_PARAMS_V1 *rec =
            legacy_v1_read(aw_port_number, domainid, phba_port, __func__);
        if (!rec)
            return 1;
        AW_RESOURCES_V1 *r = legacy_v1_pcie(rec, pf_text);
        if (r) {
            found = true;
            uint8_t s = r->resource_descriptor.pcie.sriov_state;
            if (s == AW_SRIOV_DISABLED)
                result = set_prop_val(function, "SRIOVState", "Disabled");
            else if (s == AW_SRIOV_ENABLED)
                result = set_prop_val(function, "SRIOVState", "Enabled");
            else if (s == AW_SRIOV_NOT_APPLICABLE)
                result = set_prop_val(function, "SRIOVState", "N/A");
        }
        vexo_dfree(rec);
    } else if (family == AW_TYPE_VARROW) {
        GET_COMMON_PROFILE_CONFIG_PARAMS *rec =
            static_cast<GET_COMMON_PROFILE_CONFIG_PARAMS *>(vexo_dmalloc(sizeof *rec));
        if (!rec) {
            vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
            return 1;
        }
        std::memset(rec, 0, sizeof *rec);
        rec->resource_descriptor_count = static_cast<uint32_t>(PROFILE_CONFIG_ACTIVE) << 8; // profile 0
        VEXO_status_t status = ioctl_get_common_profile_config(aw_port_number, rec, COMMON_PROFILE_CONFIG_SIZE,
                                                               domainid, phba_port, adapter_driver(adapter));
        if (status != VEXO_STATUS_SUCCESS) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_get_common_profile_config failed with status = %d\n",
                   __func__, status);
            vexo_dfree(rec);
            vexo_set_fixed_status(VEXO_STATUS_GET_AW_CONF_FAILED);
            return 1;
        }
        uint32_t count = rec->resource_descriptor_count;
        if (count > COMMON_PROFILE_COUNT_LIMIT) {
            vexo_dfree(rec);
            return set_prop_val(function, "SRIOVState", "N/A");
        }
        if (count > COMMON_PROFILE_MAX_RECORDS)
            count = COMMON_PROFILE_MAX_RECORDS;
        for (uint32_t i = 0; i < count && !found; ++i) {
            const PCIE_RESOURCE_DESCRIPTORS *p = reinterpret_cast<const PCIE_RESOURCE_DESCRIPTORS *>(rec->records[i]);
            if (p->descriptor_type != COMMON_DESC_PCIE || !same_pf(p->pf_number, pf_text) || p->pf_type != 1 ||
                p->pf_state != 1)
                continue;
            found = true;
            const char *text = p->sriov_state == 0 ? "Disabled" : (p->sriov_state == 1 ? "Enabled" : "N/A");
            result = set_prop_val(function, "SRIOVState", "%s", text);
        }
        vexo_dfree(rec);
    }
    if (!found) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_WARNING, "SRIOV State is not supported for given pf.\n");
        result = set_prop_val(function, "SRIOVState", "N/A");
    }
    return result == VEXO_STATUS_SUCCESS ? 0 : 1;
}

extern "C" int VEXO_set_legacy_sriov_state(int family, node *function, int aw_port_number, unsigned int domainid,
                                           unsigned int phba_port, char *value, node *adapter)
{
    if (!function || !value || !adapter)
        return 1;
    char pf_text[VEXO_VALUE_SIZE] = "";
    if (!pf_text_of(function, pf_text, __func__))
        return 1;
    if (family != AW_TYPE_AW3) {
        // Only the AW3 record can be written; Varrow's is read only.
        vexo_set_fixed_status(VEXO_STATUS_SRIOV_NOT_SUPPORTED);
        return 1;
    }
    GET_AW_CONFIGURATION_AND_RESOURCES_PARAMS_V1 *rec = legacy_v1_read(aw_port_number, domainid, phba_port, __func__);
    if (!rec)
        return 1;
    AW_RESOURCES_V1 *r = legacy_v1_pcie(rec, pf_text);
    if (!r) {
        // Nothing would be written: that is no change to announce.
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Cannot get a resource with required pf_num\n", __func__);
        vexo_dfree(rec);
        vexo_set_fixed_status(VEXO_STATUS_SET_SRIOV_STATE);
        return 1;
    }
    size_t index = static_cast<size_t>(r - rec->resources);
    SET_AW_CONFIGURATION_AND_RESOURCES_PARAMS_V1 *out =
        static_cast<SET_AW_CONFIGURATION_AND_RESOURCES_PARAMS_V1 *>(vexo_dmalloc(sizeof *out));
    if (!out) {
        vexo_dfree(rec);
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_MEMORY);
        return 1;
    }
    std::memcpy(out, rec, sizeof *out);
    if (strcasecmp(value, "Disabled") == 0)
        out->resources[index].resource_descriptor.pcie.sriov_state = AW_SRIOV_DISABLED;
    else if (strcasecmp(value, "Enabled") == 0)
        out->resources[index].resource_descriptor.pcie.sriov_state = AW_SRIOV_ENABLED;
    VEXO_status_t status =
        ioctl_set_aw_conf_V1(aw_port_number, out, AW_CONFIG_RESOURCES_V1_SIZE, domainid, phba_port, VEXO_DRIVER_NIC);
    vexo_dfree(out);
    vexo_dfree(rec);
    if (status != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_set_aw_conf_V1 failed with status = %d\n", __func__,
               status);
        vexo_set_fixed_status(status == VEXO_STATUS_ZMR_ENABLED ? VEXO_STATUS_ZMR_ENABLED
                                                                : VEXO_STATUS_SET_SRIOV_STATE);
        return 1;
    }
    vexo_set_fixed_status(VEXO_STATUS_SRIOV_CHANGED_REBOOT);
    return 0;
}
