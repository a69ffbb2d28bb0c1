#include "mgmt/aw/vexo-backend/port_state.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/function_enum.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"

namespace
{

const char kEnabled[] = "Enabled";
const char kDisabled[] = "Disabled";
const char kNotAvailable[] = "N/A";
const char kThrottleInvalid[] = "Invalid Value. Valid values are 1 or 2.";

bool is_enabled(const char *text)
{
    return strcasecmp(text, kEnabled) == 0;
}

// The decimal text of a beacon duration (0 to 255); false for anything else.
bool duration_value(const char *text, uint8_t *out)
{
    if (text[0] < '0' || text[0] > '9')
        return false;
    char *end = nullptr;
    errno = 0;
    unsigned long v = std::strtoul(text, &end, 10);
    if (errno != 0 || *end != '\0' || v > 0xFF)
        return false;
    *out = static_cast<uint8_t>(v);
    return true;
}

// The current text of the port property `name`, read through its handler.
bool read_port_property(node *port, const char *name, char *out)
{
    out[0] = '\0';
    return internal_get_property(port, name, out) == VEXO_STATUS_SUCCESS;
}

// The multichannel mode configured for port 0 of the adapter; the adapter's
// mode follows it whatever port is written.
bool configured_mc_type(node *adapter, char *out)
{
    node *pm = internal_get_node(adapter, "ProfileManagement", VEXO_NODE_GROUP);
    node *configured = pm ? internal_get_node(pm, "ConfiguredProfile", VEXO_NODE_GROUP) : nullptr;
    node *port0 = configured ? get_selected_group_node(configured, "Port", "0") : nullptr;
    if (!port0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get the configured profile port\n", __func__);
        return false;
    }
    out[0] = '\0';
    if (internal_get_property(port0, "MCType", out) != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get MCType\n", __func__);
        return false;
    }
    return true;
}

// The flow-control write of one port: both directions, with the lock and
// active bits of an NPAR mode.
VEXO_status_t send_flow_control(const PortRoute &r, bool tx, bool rx, const char *mc_type)
{
    MANAGE_FLOW_CTRL_IN_PARAMETERS in;
    std::memset(&in, 0, sizeof in);
    in.port_number = r.phba_port & 0x3F;
    in.tx_flow_control = tx ? 1 : 0;
    in.rx_flow_control = rx ? 1 : 0;
    in.mode = FLOW_CTRL_MODE_SET;
    in.immediate = 0;
    const bool npar = strcasecmp(mc_type, "NPAR") == 0;
    in.lock = npar ? 1 : 0;
    in.active = npar ? 1 : 0;
    IOCTL_COMMON_MANAGE_FLOW_CONTROL cmd;
    std::memset(&cmd, 0, sizeof cmd);
    std::memcpy(cmd.params, &in, sizeof in);
    VEXO_status_t st = ioctl_mgmt_flow_control(r.aw_port_number, &cmd, r.domain, r.phba_port);
    if (st != VEXO_STATUS_SUCCESS)
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_mgmt_flow_control failed with status = %d\n", __func__,
               st);
    return st;
}

// Reads both flow-control directions of a port into its properties.
VEXO_status_t read_flow_control(const PortRoute &r, int family)
{
    unsigned int tx = 0, rx = 0;
    if (family == AW_TYPE_AW3) {
        IOCTL_COMMON_GET_FLOW_CONTROL cmd;
        std::memset(&cmd, 0, sizeof cmd);
        VEXO_status_t st = ioctl_common_get_flow_control(r.aw_port_number, &cmd, r.domain, r.phba_port, r.driver);
        if (st != VEXO_STATUS_SUCCESS) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_common_get_flow_control failed with status = %d\n",
                   __func__, st);
            return VEXO_STATUS_FAILURE;
        }
        tx = cmd.params.response.tx_flow_control;
        rx = cmd.params.response.rx_flow_control;
    } else {
        MANAGE_FLOW_CTRL_IN_PARAMETERS in;
        std::memset(&in, 0, sizeof in);
        in.port_number = r.phba_port & 0x3F;
        in.mode = FLOW_CTRL_MODE_QUERY;
        IOCTL_COMMON_MANAGE_FLOW_CONTROL cmd;
        std::memset(&cmd, 0, sizeof cmd);
        std::memcpy(cmd.params, &in, sizeof in);
        VEXO_status_t st = ioctl_mgmt_flow_control(r.aw_port_number, &cmd, r.domain, r.phba_port);
        if (st != VEXO_STATUS_SUCCESS) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_mgmt_flow_control failed with status = %d\n",
                   __func__, st);
            return VEXO_STATUS_FAILURE;
        }
        MANAGE_FLOW_CTRL_OUT_PARAMETERS out;
        std::memcpy(&out, cmd.params, sizeof out);
        tx = out.tx_flow_control;
        rx = out.rx_flow_control;
    }
    return VEXO_update_flow_control_props(r.port, tx, rx) == 0 ? VEXO_STATUS_SUCCESS : VEXO_STATUS_FAILURE;
}

} // namespace

VEXO_status_t handle_PortState(node *property, char *value, int type)
{
    PortRoute r;
    if (!value || !route_of_property(property, &r))
        return VEXO_STATUS_FAILURE;
    int family = get_aw_type(r.adapter);
    if (family == AW_TYPE_UNREADABLE) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get the be_type\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    const bool varrow = family == AW_TYPE_VARROW;
    if (type == 0) {
        if (vexo_on_vf(r.port)) {
            std::snprintf(value, VEXO_VALUE_SIZE, "%s", kNotAvailable);
            vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
            return VEXO_STATUS_FAILURE;
        }
        bool enabled = false;
        VEXO_status_t st;
        if (varrow) {
            VARROW_IOCTL_COMMON_GET_PORT_STATUS_PARAMS rec;
            std::memset(&rec, 0, sizeof rec);
            rec.request.linkNumber = r.phba_port & 0x3F;
            st = ioctl_varrow_get_port_state(r.aw_port_number, &rec, r.domain, r.phba_port, r.driver);
            enabled = rec.response.port_status == 1;
        } else {
            IOCTL_COMMON_GET_PORT_STATUS_PARAMS rec;
            std::memset(&rec, 0, sizeof rec);
            st = ioctl_get_port_state(r.aw_port_number, &rec, r.domain, r.phba_port, r.driver);
            enabled = rec.response.port_status == 1;
        }
        if (st != VEXO_STATUS_SUCCESS) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: get port state failed with status = %d\n", __func__, st);
            vexo_set_fixed_status(VEXO_STATUS_GET_PORT_STATE);
            return VEXO_STATUS_FAILURE;
        }
        if (set_prop_val(r.port, "PortState", "%s", enabled ? kEnabled : kDisabled) != VEXO_STATUS_SUCCESS)
            return VEXO_STATUS_FAILURE;
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }

    if (vexo_on_vf(r.port)) {
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return VEXO_STATUS_FAILURE;
    }
    char current[VEXO_VALUE_SIZE] = "";
    if (handle_PortState(property, current, 0) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    if (strcasecmp(current, value) == 0)
        return VEXO_STATUS_SUCCESS;
    const bool enable = is_enabled(value);
    VEXO_status_t st;
    if (varrow) {
        VARROW_IOCTL_COMMON_SET_PORT_STATUS_PARAMS rec;
        std::memset(&rec, 0, sizeof rec);
        rec.request.linkEnable = enable ? 1 : 0;
        rec.request.linkNumber = r.phba_port & 0x3F;
        st = ioctl_varrow_set_port_state(r.aw_port_number, &rec, r.domain, r.phba_port, r.driver);
    } else {
        IOCTL_COMMON_ENABLE_DISABLE_PORT_PARAMS rec;
        std::memset(&rec, 0, sizeof rec);
        rec.request.port_status = enable ? 1 : 0;
        st = ioctl_set_port_state(r.aw_port_number, &rec, r.domain, r.phba_port, r.driver);
    }
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: set port state failed with status = %d\n", __func__, st);
        vexo_set_fixed_status(VEXO_STATUS_SET_PORT_STATE);
        return VEXO_STATUS_FAILURE;
    }
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_TXThrottle(node *property, char *value, int type)
{
    PortRoute r;
    if (!value || !route_of_property(property, &r))
        return VEXO_STATUS_FAILURE;
    if (vexo_on_vf(r.port)) {
        std::snprintf(value, VEXO_VALUE_SIZE, "%s", kNotAvailable);
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return VEXO_STATUS_FAILURE;
    }
    int family = get_aw_type(r.adapter);
    if (family == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    if (family == AW_TYPE_TRELMONT) {
        set_prop_val(r.port, "TXThrottle", "%s", kNotAvailable);
        if (type == 0) {
            answer_cached(property, value);
            return VEXO_STATUS_SUCCESS;
        }
        // The generation has no throttle: a write changes nothing and is refused.
        vexo_set_fixed_status(VEXO_STATUS_CANNOT_SET_TX_THROTTEL);
        return VEXO_STATUS_FAILURE;
    }
    node *personality_group = internal_get_node(r.adapter, "Personality", VEXO_NODE_GROUP);
    char personality[VEXO_VALUE_SIZE] = "";
    if (!personality_group || internal_get_property(personality_group, "CurrentPersonality", personality) !=
                                  VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get CurrentPersonality\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    const bool fcoe = strcasecmp(personality, "FcoE") == 0;

    if (type == 0) {
        if (family == AW_TYPE_AW2 && fcoe) {
            GET_TX_THROTTLE_PARAMS rec;
            std::memset(&rec, 0, sizeof rec);
            VEXO_status_t st = ioctl_get_tx_throttel(r.aw_port_number, &rec, r.domain, r.phba_port, r.driver);
            if (st != VEXO_STATUS_SUCCESS) {
                pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_get_tx_throttel failed with status = %d\n",
                       __func__, st);
                vexo_set_fixed_status(VEXO_STATUS_GET_TX_THROTTEL);
                return VEXO_STATUS_FAILURE;
            }
            if (set_prop_val(r.port, "TXThrottle", "%d", static_cast<int>(rec.response.tx_throttle)) !=
                VEXO_STATUS_SUCCESS) {
                pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get TXThrottel\n", __func__);
                return VEXO_STATUS_FAILURE;
            }
        } else {
            set_prop_val(r.port, "TXThrottle", "%s", kNotAvailable);
        }
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }

    char current[VEXO_VALUE_SIZE] = "";
    if (handle_TXThrottle(property, current, 0) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    if (strcasecmp(current, value) == 0)
        return VEXO_STATUS_SUCCESS;
    if (family == AW_TYPE_AW3 || (family == AW_TYPE_AW2 && !fcoe)) {
        vexo_set_fixed_status(VEXO_STATUS_CANNOT_SET_TX_THROTTEL);
        return VEXO_STATUS_FAILURE;
    }
    char *end = nullptr;
    errno = 0;
    long throttle = std::strtol(value, &end, 10);
    if (end == value || *end != '\0' || errno != 0 || (throttle != 1 && throttle != 2)) {
        vexo_set_last_status(VEXO_STATUS_INVALID_VALUE, kThrottleInvalid);
        return VEXO_STATUS_FAILURE;
    }
    SET_TX_THROTTLE_PARAMS rec;
    std::memset(&rec, 0, sizeof rec);
    rec.request.tx_throttle = static_cast<uint32_t>(throttle);
    VEXO_status_t st = ioctl_set_tx_throttel(r.aw_port_number, &rec, r.domain, r.phba_port, r.driver);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_set_tx_throttel failed with status = %d\n", __func__, st);
        vexo_set_fixed_status(VEXO_STATUS_SET_TX_THROTTEL);
        return VEXO_STATUS_FAILURE;
    }
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_BeaconState(node *property, char *value, int type)
{
    (void)type; // read only
    PortRoute r;
    if (!value || !route_of_property(property, &r))
        return VEXO_STATUS_FAILURE;
    if (vexo_on_vf(r.port)) {
        std::snprintf(value, VEXO_VALUE_SIZE, "%s", kNotAvailable);
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
        return VEXO_STATUS_FAILURE;
    }
    IOCTL_COMMON_GET_BEACON_STATE_PARAMS rec;
    std::memset(&rec, 0, sizeof rec);
    rec.request.port_num = static_cast<uint8_t>(r.phba_port);
    VEXO_status_t st = ioctl_get_beacon_state(r.aw_port_number, &rec, r.domain, r.phba_port, r.driver);
    const char *text;
    if (st == VEXO_STATUS_NOT_SUPPORTED) {
        text = "Not Supported";
    } else if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_get_beacon_state failed with status = %d.\n", __func__,
               st);
        vexo_set_fixed_status(VEXO_STATUS_GET_BEACON_FAILED);
        return VEXO_STATUS_FAILURE;
    } else {
        text = rec.response.beacon_state == 1 ? kEnabled : kDisabled;
    }
    VEXO_status_t stored = set_prop_val(r.port, "BeaconState", "%s", text);
    answer_cached(property, value);
    return stored;
}

VEXO_status_t do_Beacon(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    (void)action;
    PortRoute r;
    if (!params || !route_of_port(context, &r))
        return VEXO_STATUS_FAILURE;
    char current[VEXO_VALUE_SIZE] = "";
    if (!read_port_property(context, "BeaconState", current))
        return VEXO_STATUS_FAILURE;
    if (strcasecmp(current, "Not Supported") == 0) {
        vexo_set_fixed_status(VEXO_STATUS_BEACON_NOT_SUPPORTED);
        return VEXO_STATUS_FAILURE;
    }
    const bool enable = is_enabled(params[2]);
    if (!enable && strcasecmp(current, kDisabled) == 0) {
        vexo_set_fixed_status(VEXO_STATUS_BEACON_ALREADY_DISABLED);
        return VEXO_STATUS_SUCCESS;
    }
    if (enable) {
        if (params[0][0] == '\0' || params[1][0] == '\0') {
            vexo_set_fixed_status(VEXO_STATUS_MISSING_PARAMETER);
            return VEXO_STATUS_FAILURE;
        }
    } else {
        for (int i = 0; i < 2; ++i)
            if (params[i][0] == '\0')
                std::snprintf(params[i], VEXO_VALUE_SIZE, "0");
    }
    IOCTL_COMMON_ENABLE_DISABLE_BEACON_PARAMS rec;
    std::memset(&rec, 0, sizeof rec);
    // A duration that is no 8-bit number is refused, never cut.
    if (!duration_value(params[0], &rec.request.beacon_duration) ||
        !duration_value(params[1], &rec.request.status_duration)) {
        vexo_set_fixed_status(VEXO_STATUS_INVALID_VALUE);
        return VEXO_STATUS_FAILURE;
    }
    rec.request.port_num = static_cast<uint8_t>(r.phba_port);
    rec.request.beacon_state = enable ? 1 : 0;
    VEXO_status_t st = ioctl_set_beacon_state(r.aw_port_number, &rec, r.domain, r.phba_port, r.driver);
    if (st == VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_SUCCESS;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_set_beacon_state failed with status = %d\n", __func__, st);
    if (st == VEXO_STATUS_BEACON_OPERATION_ALREADY_ACTIVE || st == VEXO_STATUS_NOT_SUPPORTED)
        vexo_set_fixed_status(st);
    else
        vexo_set_fixed_status(VEXO_STATUS_SET_BEACON_FAILED);
    return VEXO_STATUS_FAILURE;
}

VEXO_status_t handle_flow_control_properties(node *property, char *value, int type)
{
    if (!property || !value)
        return VEXO_STATUS_FAILURE;
    if (vexo_on_vf(property))
        std::snprintf(value, VEXO_VALUE_SIZE, "%s", kNotAvailable);
    PortRoute r;
    if (!route_of_property(property, &r))
        return VEXO_STATUS_FAILURE;
    int family = get_aw_type(r.adapter);
    if (family == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    if (family == AW_TYPE_AW2 || family == AW_TYPE_VARROW) {
        set_prop_val(r.port, "TxFlowControl", "%s", kNotAvailable);
        set_prop_val(r.port, "RxFlowControl", "%s", kNotAvailable);
        if (type == 0) {
            answer_cached(property, value);
            return VEXO_STATUS_SUCCESS;
        }
        // These generations have no flow-control setting: a write is refused.
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED);
        return VEXO_STATUS_FAILURE;
    }
    if (type == 0) {
        if (read_flow_control(r, family) != VEXO_STATUS_SUCCESS)
            return VEXO_STATUS_FAILURE;
        answer_cached(property, value);
        return VEXO_STATUS_SUCCESS;
    }
    if (family == AW_TYPE_AW3) {
        vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED);
        return VEXO_STATUS_FAILURE;
    }
    char mc_type[VEXO_VALUE_SIZE];
    if (!configured_mc_type(r.adapter, mc_type))
        return VEXO_STATUS_FAILURE;
    const bool setting_tx = strcasecmp(property->node_name, "TxFlowControl") == 0;
    char other[VEXO_VALUE_SIZE];
    if (!read_port_property(r.port, setting_tx ? "RxFlowControl" : "TxFlowControl", other))
        return VEXO_STATUS_FAILURE;
    const bool wanted = is_enabled(value);
    const bool kept = is_enabled(other);
    return send_flow_control(r, setting_tx ? wanted : kept, setting_tx ? kept : wanted, mc_type);
}

extern "C" int VEXO_update_flow_control_props(node *port, unsigned int tx_flow_control, unsigned int rx_flow_control)
{
    if (!port)
        return 1;
    int tx = set_prop_val(port, "TxFlowControl", "%s",
                          static_cast<uint16_t>(tx_flow_control) == 1 ? kEnabled : kDisabled);
    int rx = set_prop_val(port, "RxFlowControl", "%s",
                          static_cast<uint16_t>(rx_flow_control) == 1 ? kEnabled : kDisabled);
    return tx | rx;
}

extern "C" int VEXO_reset_flow_control_properties(node *port, const char *mc_type)
{
    PortRoute r;
    if (!mc_type || !route_of_port(port, &r))
        return 1;
    char tx[VEXO_VALUE_SIZE], rx[VEXO_VALUE_SIZE];
    if (!read_port_property(port, "TxFlowControl", tx) || !read_port_property(port, "RxFlowControl", rx))
        return 1;
    return send_flow_control(r, is_enabled(tx), is_enabled(rx), mc_type);
}
