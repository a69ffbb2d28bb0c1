#include "mgmt/aw/vexo-backend/config_erase.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/chap_config.h"
#include "mgmt/aw/vexo-backend/function_enum.h"
#include "mgmt/aw/vexo-backend/iscsi_discovery.h"
#include "mgmt/aw/vexo-backend/iscsi_ipv6.h"
#include "mgmt/aw/vexo-backend/iscsi_logout.h"
#include "mgmt/aw/vexo-backend/iscsi_network_readers.h"
#include "mgmt/aw/vexo-backend/iscsi_routes.h"
#include "mgmt/aw/vexo-backend/iscsi_tcpip.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/persistence_files.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/aw/vexo-backend/vexo_mailbox.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_status.h"

namespace
{

const int kDriverIscsi = 1, kDriverNic = 2;
// Instances a repeated group can hold.
const int kMaxInstances = 1024;

typedef char Params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];

node *child(node *parent, const char *name)
{
    return parent ? internal_get_node(parent, name, VEXO_NODE_GROUP) : nullptr;
}

node *action_of(node *parent, const char *name)
{
    return parent ? internal_get_node(parent, name, VEXO_NODE_ACTION) : nullptr;
}

// Instance numbers of the members of `name` below `parent`, in list order.
int collect_instances(node *parent, const char *name, int *out, int max)
{
    int n = 0;
    for (node *m = get_first_instance(parent, name); m && n < max; m = next_group_instance(m))
        out[n++] = m->u.grp->multi_instance->instance;
    return n;
}

void empty_params(Params p)
{
    std::memset(p, 0, sizeof(Params));
}

void number_params(Params p, int value)
{
    empty_params(p);
    std::snprintf(p[0], VEXO_VALUE_SIZE, "%d", value);
}

bool refused_on_vm()
{
    if (!vm_flag)
        return false;
    vexo_set_fixed_status(VEXO_STATUS_OPERATION_NOT_SUPPORTED_ON_VM);
    return true;
}

VEXO_status_t erase_region(int aw_port_number, uint32_t domain, uint32_t phba_port, uint32_t region, int driver)
{
    FLASHROM_PARAMS erase;
    std::memset(&erase, 0, sizeof erase);
    erase.op_code = FLASHROM_OPER_ERASE;
    erase.op_type = region;
    return ioctl_erase_ROM(aw_port_number, &erase, domain, phba_port, driver);
}

// How a single-region erase reports the firmware's answer.
struct EraseOutcome {
    VEXO_status_t reboot_status; // answer 55
    int reboot_result;
    VEXO_status_t failed_status; // any other nonzero answer
};

int erase_one(node *fn, uint32_t region, int driver, const EraseOutcome &o, const char *caller)
{
    int port = get_port_number(fn);
    unsigned int domain = get_domain_id(fn), phba_port = get_phba_port_number(fn);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:be_port_number = %d domainid = %d phba_port = %d\n", caller, port,
           domain, phba_port);
    VEXO_status_t st = erase_region(port, domain, phba_port, region, driver);
    if (st == VEXO_STATUS_SUCCESS) {
        vexo_set_fixed_status(VEXO_STATUS_ERASED_REBOOT);
        return 0;
    }
    if (st == VEXO_STATUS_REBOOT_REQUIRED) {
        vexo_set_fixed_status(o.reboot_status);
        return o.reboot_result;
    }
    vexo_set_fixed_status(o.failed_status);
    return st;
}

const EraseOutcome kNicAction = {VEXO_STATUS_IMMEDIATE_REBOOT_REQUIRED, 0, VEXO_STATUS_NIC_ERASE_FAILED};
const EraseOutcome kNicCall = {VEXO_STATUS_IMMEDIATE_REBOOT_REQUIRED, VEXO_STATUS_REBOOT_REQUIRED,
                               VEXO_STATUS_NIC_ERASE_FAILED};
const EraseOutcome kPortAction = {VEXO_STATUS_PORTDISC_ERASE_FAILED, VEXO_STATUS_REBOOT_REQUIRED,
                                  VEXO_STATUS_PORTDISC_ERASE_FAILED};

bool is_true(node *owner, const char *name, bool *value)
{
    char text[VEXO_VALUE_SIZE] = "";
    if (internal_get_property(owner, name, text) != VEXO_STATUS_SUCCESS)
        return false;
    text[VEXO_VALUE_SIZE - 1] = '\0';
    *value = strcasecmp(text, "True") == 0;
    return true;
}

VEXO_status_t set_text(node *owner, const char *name, const char *value)
{
    char text[VEXO_VALUE_SIZE];
    std::snprintf(text, sizeof text, "%s", value);
    return internal_set_property(owner, name, text);
}

// Logs out every session of every target. A boot session cannot be logged
// out, so its mark goes first. A target without sessions does not end the
// walk: the targets are all deleted afterwards, and a session left open
// behind them would outlive its target. 0, or the failing result.
VEXO_status_t logout_targets(node *lhba)
{
    for (node *target = get_first_instance(lhba, "Target"); target; target = next_group_instance(target)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:Target Instance = %d\n", __func__,
               target->u.grp->multi_instance->instance);
        node *logout = action_of(target, "Logout");
        if (!logout) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get logout_action\n", __func__);
            return VEXO_STATUS_FAILURE;
        }
        int sessions[kMaxInstances];
        int count = collect_instances(target, "Session", sessions, kMaxInstances);
        for (int i = 0; i < count; ++i) {
            char instance[16];
            std::snprintf(instance, sizeof instance, "%d", sessions[i]);
            node *session = get_selected_group_node(target, "Session", instance);
            if (!session)
                continue;
            bool boot = false;
            if (!is_true(session, "iSCSIBoot", &boot)) {
                pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to get Boot session property value.\n",
                       __func__);
                return VEXO_STATUS_FAILURE;
            }
            if (boot && set_text(session, "iSCSIBoot", "False") != VEXO_STATUS_SUCCESS) {
                pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR,
                       "%s:Failed to Set Boot session property value for session %d.\n", __func__, sessions[i]);
                return VEXO_STATUS_FAILURE;
            }
        }
        // By the instance numbers the sessions carry: they need not run
        // from 0 without gaps.
        for (int i = 0; i < count; ++i) {
            Params p;
            number_params(p, sessions[i]);
            VEXO_status_t st = do_Logout(target, logout, p);
            if (st != VEXO_STATUS_SUCCESS) {
                pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Logout Failed\n", __func__);
                return st;
            }
        }
    }
    return VEXO_STATUS_SUCCESS;
}

// Family 5 only: the routable IPv6 addresses and the IPv6 gateway; the
// outcomes are not looked at.
VEXO_status_t clear_ipv6(node *tcpip, node_handle *h, int port, unsigned int phba_port)
{
    node *ipv6 = child(tcpip, "IPv6Configuration");
    if (!ipv6)
        return VEXO_STATUS_FAILURE;
    node *auto_disable = action_of(ipv6, "AutoAssignDisable");
    if (!auto_disable)
        return VEXO_STATUS_FAILURE;
    Params p;
    empty_params(p);
    (void)do_AutoAssignDisable(ipv6, auto_disable, p);
    (void)VEXO_delete_ipv6_address(ipv6, "InitiatorRoutableAddress2", IP_TYPE_V6_STATIC, port, 0, phba_port,
                                   h->interface_handle);
    (void)VEXO_delete_ipv6_address(ipv6, "InitiatorRoutableAddress1", IP_TYPE_V6_STATIC, port, 0, phba_port,
                                   h->interface_handle);
    (void)VEXO_delete_IPv6Gateway(port, 0, phba_port, ipv6);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t delete_send_target_portals(node *discovery)
{
    int portals[kMaxInstances];
    int count = collect_instances(discovery, "SendTargetPortal", portals, kMaxInstances);
    for (int i = 0; i < count; ++i) {
        node *del = action_of(discovery, "DeleteSendTargetPortal");
        if (!del)
            return VEXO_STATUS_FAILURE;
        Params p;
        number_params(p, portals[i]);
        VEXO_status_t st = do_DeleteSendTargetPortal(discovery, del, p);
        if (st != VEXO_STATUS_SUCCESS)
            return st;
    }
    return VEXO_STATUS_SUCCESS;
}

// The login options the initiator starts from. The parameters go first: a
// digest cannot be "None" while its parameter is "Preferred".
const struct {
    const char *name, *value;
} kDefaultLoginOptions[] = {
    {"HeaderParam", "Prohibited"}, {"DataParam", "Prohibited"}, {"InitialR2T", "Yes"},
    {"ImmediateData", "Yes"},      {"HeaderDigest", "None"},    {"DataDigest", "None"},
};

// Clears one iSCSI function's configuration; 0, or the failing result.
VEXO_status_t clear_iscsi_function(node *phba, int family)
{
    (void)VEXO_delete_available_routes(phba);
    node *lhba = get_first_instance(phba, "LogicalHBA");
    if (!lhba) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Could not get the node\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    VEXO_status_t st = logout_targets(lhba);
    if (st != VEXO_STATUS_SUCCESS)
        return st;

    node *discovery = child(lhba, "Discovery");
    node *tcpip = child(child(phba, "Network"), "TCPIPConfiguration");
    node_handle *h = tcpip ? tcpip_interface(tcpip) : nullptr;
    if (!discovery || !tcpip || !h)
        return VEXO_STATUS_FAILURE;
    int port = get_port_number(phba);
    unsigned int phba_port = get_phba_port_number(phba);
    if (family == AW_TYPE_TRELMONT && clear_ipv6(tcpip, h, port, phba_port) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;

    node *options = child(lhba, "InitiatorLoginOptions");
    node *auth = child(options, "Authentication");
    node *isns = child(phba, "iSNS");
    if (!options || !auth || !isns)
        return VEXO_STATUS_FAILURE;
    if (set_text(isns, "iSNSEnabled", "No") != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    (void)purge_nodes_within(isns, "iSNSServer");

    (void)get_if_info_params(h->aw_port_number, h->interface_handle, tcpip, get_domain_id(tcpip), phba_port);
    Params p;
    empty_params(p);
    node *gateway = action_of(tcpip, "DeleteDefaultGateway");
    if (!gateway)
        return VEXO_STATUS_FAILURE;
    (void)do_DeleteDefaultGateway(tcpip, gateway, p);

    st = delete_send_target_portals(discovery);
    if (st != VEXO_STATUS_SUCCESS)
        return st;

    (void)purge_nodes_within(lhba, "Target");
    (void)VEXO_remove_entry_from_file(lhba, nullptr, nullptr, nullptr, VEXO_ANY_ISID, VEXO_FILE_SAVED_LHBA);

    int joined = 0;
    for (const auto &o : kDefaultLoginOptions)
        joined |= set_text(options, o.name, o.value);
    node *delete_chap = action_of(auth, "DeleteCHAP");
    empty_params(p);
    joined |= delete_chap ? do_DeleteCHAP(auth, delete_chap, p) : VEXO_STATUS_FAILURE;
    return joined != 0 ? VEXO_STATUS_FAILURE : VEXO_STATUS_SUCCESS;
}

// Runs one erase action on every instance of `name`; keeps the first
// failure's result and status in `first`/`first_status`.
struct FirstFailure {
    VEXO_status_t result = VEXO_STATUS_SUCCESS;
    VEXO_status_t code = VEXO_STATUS_SUCCESS;
    char text[VEXO_LAST_STATUS_SIZE] = "";
};

void note(FirstFailure *f, VEXO_status_t result)
{
    if (result == VEXO_STATUS_SUCCESS || f->result != VEXO_STATUS_SUCCESS)
        return;
    f->result = result;
    vexo_get_last_status(&f->code, f->text);
}

} // namespace

extern "C" int VEXO_EraseNICConfiguration(node *n)
{
    if (!n)
        return VEXO_STATUS_FAILURE;
    return erase_one(n, ENUM_MGMT_FLASHROM_OPTYPE_CFG_NIC, kDriverNic, kNicCall, __func__);
}

extern "C" int VEXO_delete_available_routes(node *iscsi_phba)
{
    node *table = child(child(child(iscsi_phba, "Network"), "TCPIPConfiguration"), "RouteTable");
    if (!table)
        return VEXO_STATUS_FAILURE;
    node *refresh = action_of(table, "RefreshRouteTableEntry");
    if (!refresh) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get RefreshRouteTableEntry action node\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    Params p;
    empty_params(p);
    if (do_RefreshRouteTableEntry(table, refresh, p) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    // A route the firmware keeps after a successful delete would bring the
    // same pass back for ever.
    for (int pass = 0; pass < VEXO_ROUTE_DELETE_PASSES; ++pass) {
        int entries[kMaxInstances];
        int count = collect_instances(table, "RouteTableEntry", entries, kMaxInstances);
        if (count == 0)
            return VEXO_STATUS_SUCCESS;
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:Route entries = %d\n", __func__, count);
        node *del = action_of(table, "DeleteRouteTableEntry");
        if (!del) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get DeleteRouteTableEntry action node\n",
                   __func__);
            return VEXO_STATUS_FAILURE;
        }
        for (int i = 0; i < count; ++i) {
            number_params(p, entries[i]);
            if (do_DeleteRouteTableEntry(table, del, p) != VEXO_STATUS_SUCCESS)
                return VEXO_STATUS_FAILURE;
        }
    }
    if (!get_first_instance(table, "RouteTableEntry"))
        return VEXO_STATUS_SUCCESS;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Routes remain after %d passes\n", __func__,
           VEXO_ROUTE_DELETE_PASSES);
    return VEXO_STATUS_FAILURE;
}

VEXO_status_t do_EraseConfiguration(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    (void)params; // LogicalHBAInstanceNumber is accepted and not used
    if (!context || !action)
        return VEXO_STATUS_FAILURE;
    if (refused_on_vm())
        return VEXO_STATUS_FAILURE;
    node *adapter = context->parent;
    if (!adapter || !get_first_instance(adapter, "iSCSIPhysicalHBA"))
        return VEXO_STATUS_FAILURE;
    int family = get_aw_type(adapter);
    for (node *phba = get_first_instance(adapter, "iSCSIPhysicalHBA"); phba; phba = next_group_instance(phba)) {
        VEXO_status_t st = clear_iscsi_function(phba, family);
        if (st != VEXO_STATUS_SUCCESS)
            return st;
    }
    VEXO_status_t st = erase_region(get_port_number(context), 0, get_phba_port_number(context),
                                    ENUM_MGMT_FLASHROM_OPTYPE_CFG_INI, kDriverIscsi);
    if (st != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:ioctl_erase_ROM failed with status = %d\n", __func__, st);
        vexo_set_fixed_status(st);
        return st;
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:Success\n", __func__);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t do_EraseAllConfiguration(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    (void)action;
    (void)params;
    if (refused_on_vm() || !context)
        return VEXO_STATUS_FAILURE;
    node *adapter = context;
    // Every erase runs whatever failed before it; the first failure, with
    // its status, is the answer, so a later success cannot hide it.
    FirstFailure first;
    Params p;
    for (node *fn = get_first_instance(adapter, "iSCSIPhysicalHBA"); fn; fn = next_group_instance(fn)) {
        empty_params(p);
        VEXO_status_t st = do_EraseConfiguration(fn, action_of(fn, "EraseConfiguration"), p);
        if (st != VEXO_STATUS_SUCCESS)
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Erasing iSCSI Configuration Failed for iSCSIPhysicalHBA%d.\n",
                   __func__, fn->u.grp->multi_instance->instance);
        note(&first, st);
    }
    for (node *pd = get_first_instance(adapter, "PortDiscoveryAndConfiguration"); pd; pd = next_group_instance(pd)) {
        empty_params(p);
        VEXO_status_t st = do_ErasePortandDiscoveryConfiguration(pd, action_of(pd, "ErasePortandDiscoveryConfiguration"), p);
        if (st != VEXO_STATUS_SUCCESS)
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR,
                   "%s:Erasing Port Configuration Failed for PortDiscoveryAndConfiguration%d.\n", __func__,
                   pd->u.grp->multi_instance->instance);
        note(&first, st);
    }
    for (node *fn = get_first_instance(adapter, "NICPhysicalHBA"); fn; fn = next_group_instance(fn)) {
        int st = VEXO_EraseNICConfiguration(fn);
        if (st == VEXO_STATUS_REBOOT_REQUIRED)
            st = VEXO_STATUS_SUCCESS;
        if (st != VEXO_STATUS_SUCCESS)
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Erasing NIC Configuration Failed for NICPhysicalHBA%d.\n",
                   __func__, fn->u.grp->multi_instance->instance);
        note(&first, static_cast<VEXO_status_t>(st));
    }
    if (get_aw_type(adapter) == AW_TYPE_TRELMONT) {
        node *fn = target_function(adapter);
        SET_FACTORY_PROFILE_CONFIG_PARAMS profile;
        std::memset(&profile, 0, sizeof profile);
        VEXO_status_t st = fn ? ioctl_set_factory_profile_config(get_port_number(fn), &profile, 0, 0,
                                                                 get_the_protocol(get_aw_instance(adapter)))
                              : VEXO_STATUS_FAILURE;
        // A completed restore answers "reboot required".
        if (st != VEXO_STATUS_SUCCESS && st != VEXO_STATUS_REBOOT_REQUIRED)
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Setting factory profile config failed.\n", __func__);
    }
    if (first.result != VEXO_STATUS_SUCCESS)
        vexo_set_last_status(first.code, first.text);
    return first.result;
}

VEXO_status_t do_ErasePortandDiscoveryConfiguration(node *context, node *action,
                                                    char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    (void)params;
    if (!context || !action || refused_on_vm())
        return VEXO_STATUS_FAILURE;
    int driver = get_port_bitmap(get_aw_instance(context), static_cast<int>(get_phba_port_number(context)));
    return static_cast<VEXO_status_t>(
        erase_one(context, ENUM_MGMT_FLASHROM_OPTYPE_CFG_DCBX, driver, kPortAction, __func__));
}

VEXO_status_t do_EraseNICConfiguration(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    (void)params;
    if (!context || !action || refused_on_vm())
        return VEXO_STATUS_FAILURE;
    return static_cast<VEXO_status_t>(
        erase_one(context, ENUM_MGMT_FLASHROM_OPTYPE_CFG_NIC, kDriverNic, kNicAction, __func__));
}

VEXO_status_t do_ResetFactoryDefaults(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    if (!context || !action || !params)
        return VEXO_STATUS_FAILURE;
    int family = get_aw_type(context);
    if (family == AW_TYPE_UNREADABLE)
        return VEXO_STATUS_FAILURE;
    if (family == AW_TYPE_AW2 || family == AW_TYPE_AW3) {
        vexo_set_fixed_status(VEXO_STATUS_RESET_FACTORY_DEFAULTS_NOT_SUPPORTED);
        return VEXO_STATUS_FAILURE;
    }
    node *fn = target_function(context);
    if (!fn) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:VEXO failed to discover NIC/iSCSI nodes.\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    SET_FACTORY_PROFILE_CONFIG_PARAMS_V1 request;
    std::memset(&request, 0, sizeof request);
    if (params[0][0] == '\0') {
        request.data[1] = 1; // operation: the whole configuration
    } else {
        request.data[0] = static_cast<uint8_t>(std::strtol(params[0], nullptr, 10)); // profile_id
    }
    VEXO_status_t st = ioctl_set_factory_profile_config_v1(get_port_number(fn), &request, get_domain_id(fn),
                                                           get_phba_port_number(fn),
                                                           get_the_protocol(get_aw_instance(context)));
    // Only the firmware's own answer means the restore completed; a command
    // that never reached it is a failure.
    if (st == VEXO_STATUS_REBOOT_REQUIRED) {
        vexo_set_fixed_status(VEXO_STATUS_IMMEDIATE_REBOOT_REQUIRED);
        return VEXO_STATUS_SUCCESS;
    }
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:status = %d\n", __func__, st);
    vexo_set_fixed_status(VEXO_STATUS_RESET_FACTORY_DEFAULTS_FAILED);
    return VEXO_STATUS_FAILURE;
}

VEXO_status_t do_RefreshNICConfig(node *context, node *action, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    (void)params;
    if (!context || !action)
        return VEXO_STATUS_FAILURE;
    node *permanent = internal_get_node(context, "PermanentMACAddress", VEXO_NODE_PROPERTY);
    if (!permanent)
        return VEXO_STATUS_FAILURE;
    int port = get_port_number(context);
    unsigned int domain = get_domain_id(context), phba_port = get_phba_port_number(context);
    int rc = VEXO_get_iscsi_ntwk_params(port, domain, phba_port, context);
    rc |= VEXO_get_iscsi_ntwk_mac(port, domain, phba_port, context, permanent);
    return static_cast<VEXO_status_t>(rc);
}
