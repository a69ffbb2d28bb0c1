#include "mgmt/aw/vexo-backend/phy_baset.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <sys/time.h>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/function_attribs.h"
#include "mgmt/aw/vexo-backend/function_enum.h"
#include "mgmt/aw/vexo-backend/linux/os_services.h"
#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"

namespace
{

const char kNotAvailable[] = "N/A";
const long kRefreshWindowMs = 10000;

// Where a BaseT10G group's commands go: its port group and adapter.
struct PhyRoute {
    node *group;
    node *port;
    node *adapter;
    int aw_port_number;
    unsigned int domain;
    unsigned int phba_port;
    int driver;
};

bool route_of_group(node *group, PhyRoute *r)
{
    node *port = group ? group->parent : nullptr;
    node *adapter = port ? port->parent : nullptr;
    if (!group || !port || !adapter)
        return false;
    r->group = group;
    r->port = port;
    r->adapter = adapter;
    r->aw_port_number = get_port_number(port);
    r->domain = get_domain_id(port);
    r->phba_port = get_phba_port_number(port);
    r->driver = get_port_bitmap(instance_number(adapter), static_cast<int>(r->phba_port));
    return true;
}

bool is_property(node *n)
{
    return n && n->node_type == VEXO_NODE_PROPERTY && n->u.prop;
}

// The refresh stamp of a port; null for an adapter or port beyond the table.
struct timeval *port_stamp(node *port, node *adapter)
{
    int row = instance_number(adapter);
    unsigned int slot = get_phba_port_number(port);
    if (row < 0 || row >= VEXO_TIMER_ADAPTERS || slot >= VEXO_TIMER_PORTS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: no stamp for adapter %d port %u\n", __func__, row, slot);
        return nullptr;
    }
    return &vexo_glob_timer[row][slot];
}

// Milliseconds since a stamp; negative when the stamp lies ahead.
long elapsed_ms(const struct timeval &stamp)
{
    struct timeval now;
    gettimeofday(&now, nullptr);
    double ms = static_cast<double>(now.tv_sec - stamp.tv_sec) * 1000.0;
    ms += static_cast<double>((now.tv_usec - stamp.tv_usec) / 1000);
    return static_cast<long>(ms);
}

enum WordFormat { HEX, SIGNED, UNSIGNED };

struct StatRow {
    const char *name;
    size_t offset; // within the words both versions share
    WordFormat format;
};

const StatRow kStatRows[] = {
    {"10GBaseTDiagStatus", offsetof(BASET_STATS_WORDS, status), HEX},
    {"Temperature", offsetof(BASET_STATS_WORDS, temperature), SIGNED},
    {"PairASNR", offsetof(BASET_STATS_WORDS, PairASNR), HEX},
    {"PairBSNR", offsetof(BASET_STATS_WORDS, PairBSNR), HEX},
    {"PairCSNR", offsetof(BASET_STATS_WORDS, PairCSNR), HEX},
    {"PairDSNR", offsetof(BASET_STATS_WORDS, PairDSNR), HEX},
    {"TimeSinceLinkHigh", offsetof(BASET_STATS_WORDS, LinkTimeHi), SIGNED},
    {"TimeSinceLinkLow", offsetof(BASET_STATS_WORDS, LinkTimeLo), SIGNED},
    {"AverageMSEPairA", offsetof(BASET_STATS_WORDS, PairAAvgMSE), SIGNED},
    {"AverageMSEPairB", offsetof(BASET_STATS_WORDS, PairBAvgMSE), SIGNED},
    {"AverageMSEPairC", offsetof(BASET_STATS_WORDS, PairCAvgMSE), SIGNED},
    {"AverageMSEPairD", offsetof(BASET_STATS_WORDS, PairDAvgMSE), SIGNED},
    {"LDPCFrameHigh", offsetof(BASET_STATS_WORDS, LDPCFrameErrsHi), UNSIGNED},
    {"LDPCFrameLow", offsetof(BASET_STATS_WORDS, LDPCFrameErrsLo), UNSIGNED},
    {"PHYCRC8High", offsetof(BASET_STATS_WORDS, PHYCRC8ErrsHi), UNSIGNED},
    {"PHYCRC8Low", offsetof(BASET_STATS_WORDS, PHYCRC8ErrsLo), UNSIGNED},
    {"MDIPLLEventCounter", offsetof(BASET_STATS_WORDS, MDIPLLEventCtr), SIGNED},
    {"10GEMIEventCounter", offsetof(BASET_STATS_WORDS, EMI10GEventCtr), SIGNED},
};
const char kFrameCounter[] = "PHYFrameCounter";

uint32_t word_at(const BASET_STATS_WORDS &w, size_t offset)
{
    uint32_t v = 0;
    std::memcpy(&v, reinterpret_cast<const uint8_t *>(&w) + offset, sizeof v);
    return v;
}

VEXO_status_t store_word(node *group, const StatRow &row, uint32_t v)
{
    switch (row.format) {
    case HEX:
        return set_prop_val(group, row.name, "0x%x", v);
    case SIGNED:
        return set_prop_val(group, row.name, "%d", static_cast<int32_t>(v));
    default:
        return set_prop_val(group, row.name, "%u", v);
    }
}

// The port group's PortNumber as a number; false when it cannot be read.
bool port_number_property(node *port, uint32_t *out)
{
    char text[VEXO_VALUE_SIZE] = "";
    if (!port || internal_get_property(port, "PortNumber", text) != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get PortNumber\n", __func__);
        return false;
    }
    *out = static_cast<uint32_t>(std::atoi(text));
    return true;
}

// A decimal text that fits 32 bits.
bool decimal_u32(const char *text, uint32_t *out)
{
    if (text[0] < '0' || text[0] > '9')
        return false;
    char *end = nullptr;
    errno = 0;
    unsigned long long v = std::strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0' || v > 0xFFFFFFFFull)
        return false;
    *out = static_cast<uint32_t>(v);
    return true;
}

// The refusal every property handler gives on a virtual function.
VEXO_status_t refuse_on_vf(char *value)
{
    if (value)
        std::snprintf(value, VEXO_VALUE_SIZE, "%s", kNotAvailable);
    vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
    return VEXO_STATUS_FAILURE;
}

// Self-test names and their request codes, compared without regard to case.
struct NamedCode {
    const char *name;
    uint32_t code;
};
const NamedCode kTestTypes[] = {{"Noise", 1}, {"NonLinear", 2}, {"CrossTalk", 5}};
const NamedCode kCables[] = {{"PairA", 0}, {"PairB", 1}, {"PairC", 2}, {"PairD", 3}};

template <size_t N> uint32_t code_of(const NamedCode (&table)[N], const char *name)
{
    for (const NamedCode &c : table)
        if (strcasecmp(c.name, name) == 0)
            return c.code;
    return 0;
}

} // namespace

extern "C" int VEXO_update_10GbaseT_properties(node *baset, const GET_10GBASET_STATS_PARAMS *v0,
                                               const GET_10GBASET_STATS_PARAMS_V1 *v1, int flag)
{
    node *port = baset ? baset->parent : nullptr;
    node *adapter = port ? port->parent : nullptr;
    if (!baset || !port || !adapter)
        return 1;
    int result = 0;
    if (!v0 && !v1) {
        for (const StatRow &row : kStatRows)
            result |= set_prop_val(baset, row.name, "%s", kNotAvailable) != VEXO_STATUS_SUCCESS;
        result |= set_prop_val(baset, kFrameCounter, "%s", kNotAvailable) != VEXO_STATUS_SUCCESS;
        if (flag == 0)
            return result;
    }
    struct timeval *stamp = port_stamp(port, adapter);
    if (!stamp)
        return 1;
    gettimeofday(stamp, nullptr);
    if (flag == 1)
        return 0;
    if (!v0 && !v1)
        return result;

    const BASET_STATS_WORDS &w = v1 ? v1->response.w : v0->response.w;
    for (const StatRow &row : kStatRows)
        result |= store_word(baset, row, word_at(w, row.offset)) != VEXO_STATUS_SUCCESS;
    if (v1) {
        unsigned long long frames =
            (static_cast<unsigned long long>(v1->response.PHYFrameCtrHi) << 32) | v1->response.PHYFrameCtrLo;
        result |= set_prop_val(baset, kFrameCounter, "%llu", frames) != VEXO_STATUS_SUCCESS;
    } else {
        result |= set_prop_val(baset, kFrameCounter, "%u", v0->response.PHYFrameCtr) != VEXO_STATUS_SUCCESS;
    }
    return result;
}

VEXO_status_t handle_10GbaseT_properties(node *property, char *value, int)
{
    PhyRoute r;
    if (!value || !is_property(property) || !route_of_group(property->parent, &r))
        return VEXO_STATUS_FAILURE;
    if (vexo_on_vf(r.group))
        return refuse_on_vf(value);
    int family = get_aw_type(r.adapter);
    if (family == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    if (family == AW_TYPE_AW2 || family == AW_TYPE_VARROW) {
        int stored = VEXO_update_10GbaseT_properties(r.group, nullptr, nullptr, 0);
        answer_cached(property, value);
        return stored == 0 ? VEXO_STATUS_SUCCESS : VEXO_STATUS_FAILURE;
    }
    char clear_supported[VEXO_VALUE_SIZE] = "";
    if (internal_get_property(r.group, "IsClearCountersSupported", clear_supported) != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get IsClearCountersSupported\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    struct timeval *stamp = port_stamp(r.port, r.adapter);
    if (!stamp) {
        vexo_set_fixed_status(VEXO_STATUS_GET_BASET_STATS);
        return VEXO_STATUS_FAILURE;
    }
    long ms = elapsed_ms(*stamp);
    if (ms >= 0 && ms < kRefreshWindowMs) {
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }

    if (std::strcmp(clear_supported, "True") == 0) {
        GET_10GBASET_STATS_PARAMS_V1 v1;
        std::memset(&v1, 0, sizeof v1);
        v1.request.phy_addr = r.phba_port;
        VEXO_status_t st = ioctl_get_baseT_stats_v1(r.aw_port_number, &v1, r.domain, r.phba_port, r.driver);
        if (st == VEXO_STATUS_SUCCESS) {
            if (VEXO_update_10GbaseT_properties(r.group, nullptr, &v1, 0) != 0)
                return VEXO_STATUS_FAILURE;
            answer_cached(property, value);
            return VEXO_STATUS_SUCCESS;
        }
        if (st != VEXO_STATUS_NOT_SUPPORTED) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_get_baseT_stats_v1 failed with status = %d\n",
                   __func__, st);
            vexo_set_fixed_status(VEXO_STATUS_GET_BASET_STATS);
            return VEXO_STATUS_FAILURE;
        }
    }

    GET_10GBASET_STATS_PARAMS v0;
    std::memset(&v0, 0, sizeof v0);
    v0.request.phy_addr = r.phba_port;
    VEXO_status_t st = ioctl_get_baseT_stats(r.aw_port_number, &v0, r.domain, r.phba_port, r.driver);
    if (st == VEXO_STATUS_NOT_SUPPORTED) {
        VEXO_update_10GbaseT_properties(r.group, nullptr, nullptr, 1);
        answer_cached(property, value);
        return VEXO_STATUS_NOT_SUPPORTED;
    }
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_get_baseT_stats failed with status = %d\n", __func__,
               st);
        vexo_set_fixed_status(VEXO_STATUS_GET_BASET_STATS);
        return VEXO_STATUS_FAILURE;
    }
    if (VEXO_update_10GbaseT_properties(r.group, &v0, nullptr, 0) != 0)
        return VEXO_STATUS_FAILURE;
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_over_temperature(node *property, char *value, int)
{
    PhyRoute r;
    if (!value || !is_property(property) || !route_of_group(property->parent, &r))
        return VEXO_STATUS_FAILURE;
    if (vexo_on_vf(r.group))
        return refuse_on_vf(value);
    int family = get_aw_type(r.adapter);
    if (family == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    if (family == AW_TYPE_AW2) {
        if (set_prop_val(r.group, "PHYLinkDownReason", "%s", kNotAvailable) != VEXO_STATUS_SUCCESS)
            return VEXO_STATUS_FAILURE;
    } else {
        // The driver's reason stays as last read when the query fails.
        VEXO_get_over_temperature(r.group, r.aw_port_number);
    }
    answer_cached(property, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_10baseT_nvpvalue(node *property, char *value, int type)
{
    PhyRoute r;
    if (!value || !is_property(property) || !route_of_group(property->parent, &r))
        return VEXO_STATUS_FAILURE;
    uint32_t phy_addr = 0;
    if (!port_number_property(r.port, &phy_addr))
        return VEXO_STATUS_FAILURE;
    if (vexo_on_vf(r.group))
        return type == 0 ? refuse_on_vf(value) : refuse_on_vf(nullptr);

    if (type == 0) {
        int family = get_aw_type(r.adapter);
        if (family == AW_TYPE_UNREADABLE)
            return VEXO_STATUS_FAILURE;
        if (family == AW_TYPE_AW2) {
            set_prop_val(r.group, "NVPValue", "%s", kNotAvailable);
            answer_cached(property, value);
            return VEXO_STATUS_SUCCESS;
        }
        GET_10GBASET_NVPVALUE_PARAMS rec;
        std::memset(&rec, 0, sizeof rec);
        rec.request.phy_addr = phy_addr;
        VEXO_status_t st = ioctl_get_nvp_value(r.aw_port_number, &rec, r.domain, r.phba_port, r.driver);
        if (st == VEXO_STATUS_NOT_SUPPORTED) {
            VEXO_status_t stored = set_prop_val(r.group, "NVPValue", "%s", kNotAvailable);
            answer_cached(property, value);
            return stored;
        }
        if (st != VEXO_STATUS_SUCCESS) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_get_nvp_value failed with status = %d\n", __func__,
                   st);
            vexo_set_fixed_status(VEXO_STATUS_GET_10BASET_NVPVALUE);
            return VEXO_STATUS_FAILURE;
        }
        if (set_prop_val(r.group, "NVPValue", "%d", static_cast<int32_t>(rec.response.nvpvalue)) !=
            VEXO_STATUS_SUCCESS) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get NVPValue\n", __func__);
            return VEXO_STATUS_FAILURE;
        }
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }

    char current[VEXO_VALUE_SIZE] = "";
    if (handle_10baseT_nvpvalue(property, current, 0) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    if (strcasecmp(current, value) == 0)
        return VEXO_STATUS_SUCCESS;
    SET_10GBASET_NVPVALUE_PARAMS rec;
    std::memset(&rec, 0, sizeof rec);
    rec.request.phy_addr = phy_addr;
    // A text that is no number would reach the PHY as 0.
    if (!decimal_u32(value, &rec.request.nvpvalue)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: NVPValue %s is not a number\n", __func__, value);
        vexo_set_fixed_status(VEXO_STATUS_SET_BASET_NVPVALUE);
        return VEXO_STATUS_FAILURE;
    }
    VEXO_status_t st = ioctl_set_nvp_value(r.aw_port_number, &rec, r.domain, r.phba_port, r.driver);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_set_nvp_value failed with status = %d\n", __func__, st);
        vexo_set_fixed_status(VEXO_STATUS_SET_BASET_NVPVALUE);
        return VEXO_STATUS_FAILURE;
    }
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_PHYType(node *property, char *value, int)
{
    if (!value || !is_property(property))
        return VEXO_STATUS_FAILURE;
    node *port = property->parent;
    node *adapter = port ? port->parent : nullptr;
    if (!port || !adapter)
        return VEXO_STATUS_FAILURE;
    if (vexo_on_vf(port))
        return refuse_on_vf(value);
    unsigned int phba_port = get_phba_port_number(port);
    int driver = get_port_bitmap(instance_number(adapter), static_cast<int>(phba_port));
    GET_PHY_DETAILS_PARAMS rec;
    std::memset(&rec, 0, sizeof rec);
    VEXO_status_t st = ioctl_get_phy_details(get_port_number(port), &rec, get_domain_id(port), phba_port, driver);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_get_phy_details failed with status = %d\n", __func__,
               st);
        set_prop_val(port, "PHYType", "%s", kNotAvailable);
        answer_cached(property, value);
        return st;
    }
    uint16_t phy_type = 0;
    std::memcpy(&phy_type, rec.data, sizeof phy_type);
    VEXO_status_t stored = set_prop_val(port, "PHYType", "0x%x", static_cast<unsigned int>(phy_type));
    answer_cached(property, value);
    return stored;
}

VEXO_status_t do_RunTDR(node *context, node *, char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    PhyRoute r;
    if (!route_of_group(context, &r))
        return VEXO_STATUS_FAILURE;
    uint32_t phy_addr = 0;
    if (!port_number_property(r.port, &phy_addr))
        return VEXO_STATUS_FAILURE;
    RUN_TDR_PARAMS rec;
    std::memset(&rec, 0, sizeof rec);
    rec.request.phy_addr = phy_addr;
    VEXO_status_t st = ioctl_run_tdr_test(r.aw_port_number, &rec, r.domain, r.phba_port, r.driver);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_run_tdr_test failed with status = %d\n", __func__, st);
        vexo_set_fixed_status(VEXO_STATUS_RUN_TDR_TEST_FAILED);
        return VEXO_STATUS_FAILURE;
    }
    const char *const results[] = {"PairAResult", "PairBResult", "PairCResult", "PairDResult"};
    const char *const lengths[] = {"PairALengthEstimation", "PairBLengthEstimation", "PairCLengthEstimation",
                                   "PairDLengthEstimation"};
    const uint32_t lens[] = {rec.response.PairALen, rec.response.PairBLen, rec.response.PairCLen,
                             rec.response.PairDLen};
    int pair_result[4];
    for (int i = 0; i < 4; ++i) {
        pair_result[i] = static_cast<int>((rec.response.PairStatus >> (4 * i)) & 0xF);
        set_prop_val(r.group, results[i], "%d", pair_result[i]);
    }
    set_prop_val(r.group, "NVPUsed", "%d", static_cast<int32_t>(rec.response.NVPUsed));
    // A pair with result 1 keeps its previous estimate.
    for (int i = 0; i < 4; ++i)
        if (pair_result[i] != 1)
            set_prop_val(r.group, lengths[i], "%lld", 10LL * static_cast<int32_t>(lens[i]));
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t do_SelfTest(node *context, node *, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    PhyRoute r;
    if (!params || !route_of_group(context, &r))
        return VEXO_STATUS_FAILURE;
    uint32_t phy_addr = 0;
    if (!port_number_property(r.port, &phy_addr))
        return VEXO_STATUS_FAILURE;
    const char *test_type = params[0];
    const char *source = params[1];
    const char *target = params[2];
    const bool crosstalk = strcasecmp(test_type, "CrossTalk") == 0;
    if (crosstalk && target[0] == '\0') {
        vexo_set_fixed_status(VEXO_STATUS_TGTCABLE_NEED);
        return VEXO_STATUS_FAILURE;
    }
    RUN_10GBASET_SELFTEST_PARAMS rec;
    std::memset(&rec, 0, sizeof rec);
    rec.request.phy_addr = phy_addr;
    rec.request.testtype = code_of(kTestTypes, test_type);
    rec.request.srccable = code_of(kCables, source);
    rec.request.tgtcable = crosstalk ? code_of(kCables, target) : 0;
    if (r.driver != VEXO_DRIVER_ISCSI && r.driver != VEXO_DRIVER_NIC) {
        // Nothing ran: the untouched request must not pass for a result.
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: no driver serves port %u\n", __func__, r.phba_port);
        vexo_set_fixed_status(VEXO_STATUS_SELF_TEST_FAILED);
        return VEXO_STATUS_FAILURE;
    }
    VEXO_status_t st = ioctl_run_selftest(r.aw_port_number, &rec, r.domain, r.phba_port, r.driver);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_run_selftest failed with status = %d\n", __func__, st);
        vexo_set_fixed_status(VEXO_STATUS_SELF_TEST_FAILED);
        return VEXO_STATUS_FAILURE;
    }
    set_prop_val(r.group, "SelfTestResult", "%d", static_cast<int32_t>(rec.response.result));
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t do_ClearCounters(node *context, node *, char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    PhyRoute r;
    if (!route_of_group(context, &r))
        return VEXO_STATUS_FAILURE;
    if (get_aw_type(r.adapter) != AW_TYPE_TRELMONT) {
        vexo_set_fixed_status(VEXO_STATUS_CLR_COUNTERS_NOT_SUPPORTED);
        return VEXO_STATUS_FAILURE;
    }
    char supported[VEXO_VALUE_SIZE] = "";
    if (internal_get_property(r.group, "IsClearCountersSupported", supported) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    if (strcasecmp(supported, "True") != 0) {
        vexo_set_fixed_status(VEXO_STATUS_CLR_COUNTERS_NOT_SUPPORTED);
        return VEXO_STATUS_FAILURE;
    }
    GET_10GBASET_STATS_PARAMS_V1 rec;
    std::memset(&rec, 0, sizeof rec);
    rec.request.phy_addr = r.phba_port;
    rec.request.CTR = 1;
    VEXO_status_t st = ioctl_get_baseT_stats_v1(r.aw_port_number, &rec, r.domain, r.phba_port, r.driver);
    if (st != VEXO_STATUS_SUCCESS)
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_get_baseT_stats_v1 failed with status = %d\n", __func__,
               st);
    return st;
}
