#include "mal/mal_tcpip_ops.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "mal/mal_core.h"
#include "mal/mal_ops_util.h"
#include "mgmt/vexo/core/vexo_status.h"

using mal_ops::clear;
using mal_ops::find;
using mal_ops::find_path;
using mal_ops::last_code;
using mal_ops::put_text;
using mal_ops::read_text;
using mal_ops::write_text;

namespace
{

const char kNotGiven[] = {static_cast<char>(VEXO_PARAM_ABSENT), '\0'};

// Runs the named action of `group` with up to three slot texts (null: an
// empty slot; kNotGiven: the parameter left out).
RM_STATUS run(node_tag_t group, const char *name, const char *s0 = nullptr, const char *s1 = nullptr,
              const char *s2 = nullptr)
{
    node_tag_t action = 0;
    RM_STATUS st = find(group, name, MAL_NODE_ACTION, &action);
    if (st != RM_STATUS_OK)
        return st;
    MAL_ActionParams params;
    clear(params);
    const char *slots[] = {s0, s1, s2};
    for (int i = 0; i < 3; ++i)
        if (slots[i])
            put_text(params, i, slots[i]);
    return static_cast<RM_STATUS>(mal_ops::run(group, action, params, 0));
}

void ipv4_text(const uint8_t a[4], char text[16])
{
    std::snprintf(text, 16, "%d.%d.%d.%d", a[0], a[1], a[2], a[3]);
}

void ipv6_text(const uint8_t a[16], char text[40])
{
    std::snprintf(text, 40, "%02x%02x:%02x%02x:%02x%02x:%02x%02x:%02x%02x:%02x%02x:%02x%02x:%02x%02x", a[0], a[1],
                  a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], a[10], a[11], a[12], a[13], a[14], a[15]);
}

void mac_text(const uint8_t m[6], char text[18])
{
    std::snprintf(text, 18, "%02x-%02x-%02x-%02x-%02x-%02x", m[0], m[1], m[2], m[3], m[4], m[5]);
}

// A gateway write the library refused: 21 when the gateway lies outside the
// address's subnet.
RM_STATUS gateway_failure()
{
    return last_code() == VEXO_STATUS_NOT_IN_SAME_SUBNET ? RM_STATUS_ERROR_INVALID_VALUE
                                                         : RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
}

// After a VLAN change the firmware must take a fresh DHCP lease: when DHCP
// is on, turn it off and on again. 121 only for a DHCP error reported by a
// successful enable; everything else answers 0.
RM_STATUS toggle_dhcp(node_tag_t tcpip)
{
    char value[MAL_VALUE_SIZE];
    if (read_text(tcpip, "DHCPEnabled", value) != RM_STATUS_OK || std::strcmp(value, "True") != 0)
        return RM_STATUS_OK;
    node_tag_t disable = 0;
    node_tag_t enable = 0;
    if (find(tcpip, "DHCPDisable", MAL_NODE_ACTION, &disable) != RM_STATUS_OK ||
        find(tcpip, "DHCPEnable", MAL_NODE_ACTION, &enable) != RM_STATUS_OK ||
        run(tcpip, "DHCPDisable") != RM_STATUS_OK)
        return RM_STATUS_OK;
    if (run(tcpip, "DHCPEnable") != RM_STATUS_OK) {
        run(tcpip, "DHCPEnable");
        return RM_STATUS_OK;
    }
    return last_code() == VEXO_STATUS_DHCP_ERROR ? RM_STATUS_ERROR_DHCP : RM_STATUS_OK;
}

// Slot text of a VLAN value: the request's, or the current one ("0" when
// the property is empty).
RM_STATUS vlan_slot(node_tag_t tcpip, const char *name, int32_t wanted, char text[MAL_VALUE_SIZE])
{
    if (wanted != -1) {
        std::snprintf(text, MAL_VALUE_SIZE, "%d", wanted);
        return RM_STATUS_OK;
    }
    RM_STATUS st = read_text(tcpip, name, text);
    if (st == RM_STATUS_OK && text[0] == '\0')
        std::snprintf(text, MAL_VALUE_SIZE, "0");
    return st;
}

// Slot text of an IPv4 value: the request's when new, else the current one
// with the unset address replaced by `unset`.
RM_STATUS ipv4_slot(node_tag_t tcpip, const char *name, const uint8_t wanted[4], const char *unset,
                    char text[MAL_VALUE_SIZE])
{
    if (isNewIpAddress(wanted)) {
        ipv4_text(wanted, text);
        return RM_STATUS_OK;
    }
    RM_STATUS st = read_text(tcpip, name, text);
    if (st == RM_STATUS_OK && std::strcmp(text, "0.0.0.0") == 0)
        std::snprintf(text, MAL_VALUE_SIZE, "%s", unset);
    return st;
}

// The IPv6 steps. Automatic assignment ends the whole request (*final).
RM_STATUS set_ipv6(node_tag_t ipv6, const MAL_TcpIpProperties *r, bool *changed, bool *final)
{
    if (r->IPv6AutoAssign != 0) {
        *final = true;
        return run(ipv6, "AutoAssignEnable", "Auto");
    }
    RM_STATUS st = run(ipv6, "AutoAssignDisable", kNotGiven);
    if (st != RM_STATUS_OK)
        return st;
    const MAL_IPv6Address *addresses[] = {&r->InitiatorLinkLocalAddress, &r->InitiatorRoutableAddress1,
                                          &r->InitiatorRoutableAddress2};
    static const char *const names[] = {"InitiatorLinkLocalAddress", "InitiatorRoutableAddress1",
                                        "InitiatorRoutableAddress2"};
    static const char *const types[] = {"0", "1", "2"};
    bool any = false;
    for (const MAL_IPv6Address *a : addresses)
        any = any || isNewIpv6Address(a->address);
    if (any) {
        *changed = true;
        for (int i = 0; i < 3; ++i) {
            char text[MAL_VALUE_SIZE];
            if (isNewIpv6Address(addresses[i]->address)) {
                ipv6_text(addresses[i]->address, text);
            } else if ((st = read_text(ipv6, names[i], text)) != RM_STATUS_OK) {
                return st;
            }
            st = run(ipv6, "ConfigureIPv6Address", types[i], text);
            if (st != RM_STATUS_OK)
                return st;
        }
    }
    if (isNewIpv6Address(r->DefaultIPv6Gateway.address)) {
        *changed = true;
        char text[40];
        ipv6_text(r->DefaultIPv6Gateway.address, text);
        if (write_text(ipv6, "DefaultIPv6Gateway", text) != RM_STATUS_OK)
            return gateway_failure();
    } else if (isIpv6AddressAllZeros(r->DefaultIPv6Gateway.address)) {
        *changed = true;
        st = run(ipv6, "DeleteDefaultIpv6Gateway");
        if (st != RM_STATUS_OK)
            return st;
    }
    return RM_STATUS_OK;
}

} // namespace

RM_STATUS MAL_SetTcpIpConfig(node_tag_t iscsi, const MAL_TcpIpProperties *r)
{
    if (!r)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    // Refused before any step runs, so a bad request changes nothing.
    if (r->DHCPEnabled != 1 && r->DHCPEnabled != 0 && r->DHCPEnabled != -1)
        return RM_STATUS_ERROR_INVALID_VALUE;
    node_tag_t network = 0;
    node_tag_t tcpip = 0;
    node_tag_t ipv6 = 0;
    RM_STATUS st = find(iscsi, "Network", MAL_NODE_GROUP, &network);
    if (st == RM_STATUS_OK)
        st = find(network, "TCPIPConfiguration", MAL_NODE_GROUP, &tcpip);
    if (st == RM_STATUS_OK)
        st = find(tcpip, "IPv6Configuration", MAL_NODE_GROUP, &ipv6);
    if (st != RM_STATUS_OK)
        return st;
    bool changed = false;

    if (r->VLANEnabled == 0) {
        char current[MAL_VALUE_SIZE];
        if (read_text(tcpip, "VLANEnabled", current) == RM_STATUS_OK && std::strcmp(current, "True") == 0) {
            changed = true;
            if ((st = run(tcpip, "VLANDisable")) != RM_STATUS_OK)
                return st;
            if (r->DHCPEnabled == -1 && toggle_dhcp(tcpip) == RM_STATUS_ERROR_DHCP)
                return RM_STATUS_ERROR_DHCP;
        }
    } else if (r->VLANId != -1 || r->Priority != -1) {
        changed = true;
        char id[MAL_VALUE_SIZE];
        char priority[MAL_VALUE_SIZE];
        if ((st = vlan_slot(tcpip, "VLANId", r->VLANId, id)) != RM_STATUS_OK ||
            (st = vlan_slot(tcpip, "Priority", r->Priority, priority)) != RM_STATUS_OK ||
            (st = run(tcpip, "ConfigureVLAN", id, priority)) != RM_STATUS_OK)
            return st;
        if (r->DHCPEnabled == -1 && (st = toggle_dhcp(tcpip)) != RM_STATUS_OK)
            return st;
    }

    if (r->DHCPEnabled == 1) {
        changed = true;
        if ((st = run(tcpip, "DHCPEnable")) != RM_STATUS_OK)
            return st;
        if (last_code() == VEXO_STATUS_DHCP_ERROR)
            return RM_STATUS_ERROR_DHCP;
    } else if (r->DHCPEnabled == 0) {
        changed = true;
        if ((st = run(tcpip, "DHCPDisable")) != RM_STATUS_OK)
            return st;
    }

    if (isNewIpAddress(r->DefaultGateway)) {
        changed = true;
        char text[16];
        ipv4_text(r->DefaultGateway, text);
        if (write_text(tcpip, "DefaultGateway", text) != RM_STATUS_OK)
            return gateway_failure();
    } else if (isIpAddressAllZeros(r->DefaultGateway)) {
        changed = true;
        if ((st = run(tcpip, "DeleteDefaultGateway")) != RM_STATUS_OK)
            return st;
    }

    if (isNewIpAddress(r->InitiatorIPAddress) || isNewIpAddress(r->InitiatorSubnetMask)) {
        changed = true;
        char address[MAL_VALUE_SIZE];
        char mask[MAL_VALUE_SIZE];
        if ((st = ipv4_slot(tcpip, "InitiatorIPAddress", r->InitiatorIPAddress, "169.254.1.109", address)) !=
                RM_STATUS_OK ||
            (st = ipv4_slot(tcpip, "InitiatorSubnetMask", r->InitiatorSubnetMask, "255.255.255.0", mask)) !=
                RM_STATUS_OK ||
            (st = run(tcpip, "ConfigureIPAddress", address, mask)) != RM_STATUS_OK)
            return st;
    }

    if (r->IPv6Enabled != 0) {
        bool final = false;
        st = set_ipv6(ipv6, r, &changed, &final);
        if (st != RM_STATUS_OK || final)
            return st;
    }
    return changed ? RM_STATUS_OK : RM_STATUS_ERROR_NOTHING_TO_SET;
}

namespace
{

const char *const kArpPath[] = {"Network", "TCPIPConfiguration", "ARPTable"};
const char *const kRoutePath[] = {"Network", "TCPIPConfiguration", "RouteTable"};
const char *const kTcpIpPath[] = {"Network", "TCPIPConfiguration"};

// Runs `action` of the table group with the instance number `instance`.
RM_STATUS delete_instance(node_tag_t table, const char *action, int instance)
{
    node_tag_t tag = 0;
    RM_STATUS st = find(table, action, MAL_NODE_ACTION, &tag);
    if (st != RM_STATUS_OK)
        return st;
    char text[16];
    std::snprintf(text, sizeof text, "%d", instance);
    return run(table, action, text);
}

RM_STATUS write_state(node_tag_t group, const char *name, int32_t state)
{
    if (state == -1)
        return RM_STATUS_OK;
    return write_text(group, name, state == 1 ? "Enabled" : "Disabled");
}

} // namespace

RM_STATUS MAL_AddArpTableEntry(node_tag_t iscsi, const MAL_ArpTableEntry *entry)
{
    // Checked before the refresh so a refused entry sends nothing.
    if (!entry || !isNewIpAddress(entry->IPAddress) || !isNewMacAddress(entry->MACAddress))
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t table = 0;
    node_tag_t action = 0;
    RM_STATUS st = find_path(iscsi, kArpPath, 3, &table);
    if (st == RM_STATUS_OK)
        st = run(table, "RefreshARPTableEntry");
    if (st == RM_STATUS_OK)
        st = find(table, "AddARPTableEntry", MAL_NODE_ACTION, &action);
    if (st != RM_STATUS_OK)
        return st;
    char ip[16];
    char mac[18];
    ipv4_text(entry->IPAddress, ip);
    mac_text(entry->MACAddress, mac);
    return run(table, "AddARPTableEntry", ip, mac);
}

RM_STATUS MAL_DeleteArpTableEntry(node_tag_t iscsi, node_tag_t entry)
{
    node_tag_t table = 0;
    RM_STATUS st = find_path(iscsi, kArpPath, 3, &table);
    if (st != RM_STATUS_OK)
        return st;
    // The refresh rebuilds the entries under new tags, so the caller's tag
    // is turned into its instance number first.
    int instance = 0;
    if ((st = MAL_TagToInstance(table, "ARPTableEntry", entry, &instance)) != RM_STATUS_OK ||
        (st = run(table, "RefreshARPTableEntry")) != RM_STATUS_OK)
        return st;
    return delete_instance(table, "DeleteARPTableEntry", instance);
}

RM_STATUS MAL_AddRouteTableEntry(node_tag_t iscsi, const MAL_RouteTableEntry *entry)
{
    if (!entry || !isNewIpAddress(entry->Destination) || !isNewIpAddress(entry->Gateway))
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t table = 0;
    node_tag_t action = 0;
    RM_STATUS st = find_path(iscsi, kRoutePath, 3, &table);
    if (st == RM_STATUS_OK)
        st = find(table, "AddRouteTableEntry", MAL_NODE_ACTION, &action);
    if (st != RM_STATUS_OK)
        return st;
    char destination[16];
    char mask[16];
    char gateway[16];
    ipv4_text(entry->Destination, destination);
    ipv4_text(entry->SubnetMask, mask);
    ipv4_text(entry->Gateway, gateway);
    return run(table, "AddRouteTableEntry", destination, mask, gateway);
}

RM_STATUS MAL_DeleteRouteTableEntry(node_tag_t iscsi, node_tag_t entry)
{
    node_tag_t table = 0;
    RM_STATUS st = find_path(iscsi, kRoutePath, 3, &table);
    if (st != RM_STATUS_OK)
        return st;
    int instance = 0;
    if ((st = MAL_TagToInstance(table, "RouteTableEntry", entry, &instance)) != RM_STATUS_OK)
        return st;
    return delete_instance(table, "DeleteRouteTableEntry", instance);
}

RM_STATUS MAL_RefreshArpTable(void)
{
    return RM_STATUS_ERROR_NOT_SUPPORTED;
}

RM_STATUS MAL_RefreshRouteTable(void)
{
    return RM_STATUS_ERROR_NOT_SUPPORTED;
}

RM_STATUS MAL_Ping(node_tag_t iscsi, const uint8_t address[4])
{
    if (!address || !isNewIpAddress(address))
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t tcpip = 0;
    RM_STATUS st = find_path(iscsi, kTcpIpPath, 2, &tcpip);
    if (st != RM_STATUS_OK)
        return st;
    char text[16];
    ipv4_text(address, text);
    return run(tcpip, "Ping", text);
}

RM_STATUS MAL_PingIPv6(node_tag_t iscsi, const uint8_t address[16])
{
    if (!address || !isNewIpv6Address(address))
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t tcpip = 0;
    RM_STATUS st = find_path(iscsi, kTcpIpPath, 2, &tcpip);
    if (st != RM_STATUS_OK)
        return st;
    char text[40];
    ipv6_text(address, text);
    return run(tcpip, "Ping", text);
}

RM_STATUS MAL_SetNicPhysicalProperties(node_tag_t nic, const MAL_NicPhysicalSettings *s)
{
    if (!s)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    // Both states are checked first, so a bad VEPA value leaves SR-IOV alone.
    for (int32_t state : {s->SRIOVState, s->VEPAState})
        if (state != -1 && state != 0 && state != 1)
            return RM_STATUS_ERROR_INVALID_VALUE;
    RM_STATUS st = write_state(nic, "SRIOVState", s->SRIOVState);
    if (st == RM_STATUS_OK)
        st = write_state(nic, "VEPAState", s->VEPAState);
    if (st != RM_STATUS_OK || !isNewMacAddress(s->MacAddress))
        return st;
    char mac[18];
    mac_text(s->MacAddress, mac);
    return write_text(nic, "MacAddress", mac);
}

RM_STATUS MAL_SetPortPhysicalProperties(node_tag_t port, const MAL_PortPhysicalSettings *s)
{
    if (!s)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    RM_STATUS st = RM_STATUS_OK;
    if (s->PortState == 1 || s->PortState == 0)
        st = write_text(port, "PortState", s->PortState == 1 ? "Enabled" : "Disabled");
    if (st != RM_STATUS_OK)
        return st;
    if (s->Beacon == 1) {
        node_tag_t action = 0;
        if ((st = find(port, "Beacon", MAL_NODE_ACTION, &action)) != RM_STATUS_OK)
            return st;
        if (run(port, "Beacon", "60", "0", "Enabled") != RM_STATUS_OK)
            return last_code() == VEXO_STATUS_BEACON_OPERATION_ALREADY_ACTIVE ? RM_STATUS_ERROR_BEACON_ACTIVE
                                                                              : RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
    } else if (s->Beacon == 0) {
        return run(port, "Beacon", "0", "0", "Disabled");
    }
    return RM_STATUS_OK;
}

RM_STATUS MAL_SetiSCSIPhysicalProperties(node_tag_t iscsi, const int32_t *bios_enable)
{
    if (!bios_enable)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    if (*bios_enable != 1 && *bios_enable != 0)
        return RM_STATUS_ERROR_INVALID_VALUE;
    return write_text(iscsi, "iSCSIBIOSEnable", *bios_enable == 1 ? "yes" : "no");
}

RM_STATUS MAL_SetiSCSI_MPIO(node_tag_t iscsi, uint8_t enable)
{
    if (enable != 1 && enable != 0)
        return RM_STATUS_ERROR_INVALID_VALUE;
    return write_text(iscsi, "MPIOEnabled", enable == 1 ? "True" : "False");
}

RM_STATUS MAL_EraseConfiguration(node_tag_t iscsi)
{
    return run(iscsi, "EraseConfiguration", kNotGiven);
}

RM_STATUS MAL_ClearEventLog(node_tag_t adapter)
{
    node_tag_t log = 0;
    RM_STATUS st = find(adapter, "EventLog", MAL_NODE_GROUP, &log);
    if (st == RM_STATUS_OK)
        st = run(log, "RefreshEventLog");
    if (st != RM_STATUS_OK)
        return st;
    return run(log, "ClearEventLog");
}

RM_STATUS MAL_ClearFatData(node_tag_t adapter)
{
    node_tag_t fat = 0;
    RM_STATUS st = find(adapter, "FATData", MAL_NODE_GROUP, &fat);
    if (st != RM_STATUS_OK)
        return st;
    return run(fat, "ClearFATData");
}

RM_STATUS MAL_SetVexoDebugLevel(int32_t level)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d", level);
    return write_text(0, "VEXODebugLevel", text);
}
