#include "mal/mal_network_readers.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

#include "mal/mal_core.h"
#include "mal/mal_ops_util.h"
#include "mal/mal_maintenance.h"
#include "mgmt/vexo/core/vexo_status.h"

using mal_ops::child_group;
using mal_ops::find_path;
using mal_ops::read_text;

namespace
{

#define VALUE(rec, field) MAL_PropertyDesc{#field, &(rec)->field, sizeof((rec)->field)}
#define COUNT(table) static_cast<int>(sizeof(table) / sizeof((table)[0]))

// Longest "IPv6State" text taken.
const size_t kIpv6StateChars = 34;
// An iSNS address text of up to this length is IPv4.
const size_t kIpv4TextChars = 15;

// Tags of the first `limit` members of `base` below `parent`, looked up by
// instance name; *count the members kept.
RM_STATUS member_tags(node_tag_t parent, const char *base, int limit, uint32_t *tags, int *count)
{
    int instances[MAL_MAX_TAGS];
    int found = MAL_MAX_TAGS;
    RM_STATUS r = MAL_get_valid_instances(parent, base, instances, &found);
    if (r != RM_STATUS_OK)
        return r;
    if (found > limit)
        found = limit;
    if (found < 0)
        found = 0;
    for (int i = 0; i < found; ++i) {
        char name[MAL_INSTANCE_NAME_SIZE];
        std::snprintf(name, sizeof name, "%s%d", base, instances[i]);
        node_tag_t tag = VEXO_NO_TAG;
        if ((r = child_group(parent, name, &tag)) != RM_STATUS_OK)
            return r;
        tags[i] = static_cast<uint32_t>(tag);
    }
    *count = found;
    return RM_STATUS_OK;
}

// The logical link status of `group`: 114 when missing, else the read's
// result with "n/a" for a failed read.
RM_STATUS logical_link(node_tag_t group, char *text)
{
    node_tag_t tag = VEXO_NO_TAG;
    RM_STATUS r = MAL_get_node_tag(group, "LogicalLinkStatus", &tag, MAL_NODE_PROPERTY);
    if (r != RM_STATUS_OK)
        return r;
    char value[MAL_VALUE_SIZE] = "";
    r = MAL_get_property_val(group, tag, value, MAL_VALUE_SIZE);
    std::snprintf(text, MAL_VALUE_SIZE, "%s", r == RM_STATUS_OK ? value : "n/a");
    return r;
}

} // namespace

RM_STATUS MAL_GetGroup_Network(node_tag_t iscsi, MAL_TcpIpProperties *rec)
{
    if (!rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t tcpip, ipv6;
    static const char *const path[] = {"Network", "TCPIPConfiguration"};
    RM_STATUS r;
    if ((r = find_path(iscsi, path, COUNT(path), &tcpip)) != RM_STATUS_OK ||
        (r = child_group(tcpip, "IPv6Configuration", &ipv6)) != RM_STATUS_OK)
        return r;
    const MAL_PropertyDesc bools[] = {VALUE(rec, DHCPEnabled), VALUE(rec, VLANEnabled)};
    const MAL_PropertyDesc ints[] = {VALUE(rec, Priority), VALUE(rec, VLANId)};
    if ((r = MAL_GetBoolProperties(tcpip, COUNT(bools), bools)) != RM_STATUS_OK ||
        (r = MAL_GetIntProperties(tcpip, COUNT(ints), ints)) != RM_STATUS_OK)
        return r;
    char state[kIpv6StateChars + 1] = "";
    const MAL_PropertyDesc state_t[] = {{"IPv6State", state, sizeof state}};
    if ((r = MAL_GetStringProperties(ipv6, 1, state_t)) != RM_STATUS_OK)
        return r;
    const MAL_PropertyDesc v4[] = {VALUE(rec, DefaultGateway), VALUE(rec, InitiatorIPAddress),
                                   VALUE(rec, InitiatorSubnetMask)};
    if ((r = MAL_GetIpAddrProperties(tcpip, COUNT(v4), v4)) != RM_STATUS_OK)
        return r;
    if (std::strcmp(state, "N/A") == 0) {
        rec->IPv6Enabled = 0;
        rec->IPv6AutoAssign = 0;
        return RM_STATUS_OK;
    }
    rec->IPv6Enabled = 1;
    rec->IPv6AutoAssign = std::strcmp(state, "AutoAssign") == 0 ? 1 : 0;
    const MAL_PropertyDesc v6[] = {VALUE(rec, DefaultIPv6Gateway), VALUE(rec, InitiatorLinkLocalAddress),
                                   VALUE(rec, InitiatorRoutableAddress1), VALUE(rec, InitiatorRoutableAddress2)};
    return MAL_GetIpV6AddrProperties(ipv6, COUNT(v6), v6);
}

RM_STATUS MAL_GetTcpIpConfig(node_tag_t iscsi, MAL_TcpIpProperties *rec)
{
    return MAL_GetGroup_Network(iscsi, rec);
}

RM_STATUS MAL_GetiSNSProperties(node_tag_t iscsi, int *count, MAL_iSNSProperties *rec)
{
    if (!count || !rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t isns;
    RM_STATUS r = child_group(iscsi, "iSNS", &isns);
    if (r != RM_STATUS_OK)
        return r;
    const MAL_PropertyDesc enabled[] = {VALUE(rec, iSNSEnabled)};
    if ((r = MAL_GetBoolProperties(isns, 1, enabled)) != RM_STATUS_OK)
        return r;
    uint32_t tags[MAL_ISNS_SERVERS];
    int servers = 0;
    if ((r = member_tags(isns, "iSNSServer", MAL_ISNS_SERVERS, tags, &servers)) != RM_STATUS_OK)
        return r;
    for (int i = 0; i < servers; ++i)
        rec->Servers[i].Tag = tags[i];
    for (int i = 0; i < servers; ++i) {
        MAL_iSNSServer *s = &rec->Servers[i];
        node_tag_t group = static_cast<node_tag_t>(s->Tag);
        char text[MAL_VALUE_SIZE] = "";
        if ((r = read_text(group, "IPAddress", text)) != RM_STATUS_OK)
            return r;
        if (strnlen(text, MAL_VALUE_SIZE) <= kIpv4TextChars) {
            const MAL_PropertyDesc t[] = {{"IPAddress", s->IPAddress, sizeof s->IPAddress}};
            r = MAL_GetIpAddrProperties(group, 1, t);
            s->AddressFlags = static_cast<uint8_t>(s->AddressFlags & ~MAL_ADDRESS_IPV6);
        } else {
            const MAL_PropertyDesc t[] = {{"IPAddress", &s->IPv6Address, sizeof s->IPv6Address}};
            r = MAL_GetIpV6AddrProperties(group, 1, t);
            s->AddressFlags = static_cast<uint8_t>(s->AddressFlags | MAL_ADDRESS_IPV6);
        }
        if (r != RM_STATUS_OK)
            return r;
        const MAL_PropertyDesc port[] = {VALUE(s, PortNumber)};
        if ((r = MAL_GetIntProperties(group, 1, port)) != RM_STATUS_OK)
            return r;
    }
    *count = servers;
    return RM_STATUS_OK;
}

RM_STATUS MAL_GetArpTable(node_tag_t iscsi, int *count, MAL_ArpTableEntry *entries)
{
    if (!count || !entries)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    static const char *const path[] = {"Network", "TCPIPConfiguration", "ARPTable"};
    node_tag_t table;
    RM_STATUS r = find_path(iscsi, path, COUNT(path), &table);
    if (r != RM_STATUS_OK)
        return r;
    uint32_t tags[MAL_ARP_TABLE_ENTRIES];
    int found = 0;
    if ((r = member_tags(table, "ARPTableEntry", MAL_ARP_TABLE_ENTRIES, tags, &found)) != RM_STATUS_OK)
        return r;
    for (int i = 0; i < found; ++i)
        entries[i].Tag = tags[i];
    for (int i = 0; i < found; ++i) {
        MAL_ArpTableEntry *e = &entries[i];
        node_tag_t group = static_cast<node_tag_t>(e->Tag);
        const MAL_PropertyDesc ip[] = {VALUE(e, IPAddress)};
        const MAL_PropertyDesc mac[] = {VALUE(e, MACAddress)};
        if ((r = MAL_GetIpAddrProperties(group, 1, ip)) != RM_STATUS_OK ||
            (r = MAL_GetMacAddrProperties(group, 1, mac)) != RM_STATUS_OK)
            return r;
    }
    *count = found;
    return RM_STATUS_OK;
}

RM_STATUS MAL_GetRouteTable(node_tag_t iscsi, int *count, MAL_RouteTableEntry *entries)
{
    if (!count || !entries)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    static const char *const path[] = {"Network", "TCPIPConfiguration", "RouteTable"};
    node_tag_t table;
    RM_STATUS r = find_path(iscsi, path, COUNT(path), &table);
    if (r != RM_STATUS_OK)
        return r;
    uint32_t tags[MAL_ROUTE_TABLE_ENTRIES];
    int found = 0;
    if ((r = member_tags(table, "RouteTableEntry", MAL_ROUTE_TABLE_ENTRIES, tags, &found)) != RM_STATUS_OK)
        return r;
    for (int i = 0; i < found; ++i)
        entries[i].Tag = tags[i];
    for (int i = 0; i < found; ++i) {
        MAL_RouteTableEntry *e = &entries[i];
        const MAL_PropertyDesc t[] = {VALUE(e, Destination), VALUE(e, Gateway), VALUE(e, SubnetMask)};
        if ((r = MAL_GetIpAddrProperties(static_cast<node_tag_t>(e->Tag), COUNT(t), t)) != RM_STATUS_OK)
            return r;
    }
    *count = found;
    return RM_STATUS_OK;
}

RM_STATUS MAL_Get_DiscoverBootTargetThruDHCP(node_tag_t group, uint8_t *enabled)
{
    if (!enabled)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    char text[MAL_VALUE_SIZE] = "";
    RM_STATUS r = read_text(group, "DiscoverBootTargetThruDHCP", text);
    if (r != RM_STATUS_OK)
        return r;
    *enabled = strcasecmp(text, "Enabled") == 0 ? 1 : 0;
    return RM_STATUS_OK;
}

RM_STATUS MAL_GetDiagnosticsProperties(node_tag_t adapter, int32_t *supported)
{
    if (!supported)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t diag;
    RM_STATUS r = child_group(adapter, "Diagnostics", &diag);
    if (r != RM_STATUS_OK)
        return r;
    const MAL_PropertyDesc t[] = {{"IsLoopbackSupported", supported, sizeof *supported}};
    MAL_GetBoolProperties(diag, 1, t);
    return RM_STATUS_OK;
}

int32_t MAL_isControllerAlive(node_tag_t adapter)
{
    char text[MAL_VALUE_SIZE] = "";
    if (read_text(adapter, "ControllerStatus", text) != RM_STATUS_OK)
        return 1;
    return strcasecmp(text, "Dead") == 0 ? 0 : 1;
}

RM_STATUS MAL_GetPhysicalLinkStatus(node_tag_t port, char *text, int32_t *state)
{
    if (!text || !state)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    const MAL_PropertyDesc link[] = {{"PhysicalLinkStatus", text, MAL_VALUE_SIZE}};
    MAL_GetStringProperties(port, 1, link);
    char value[MAL_VALUE_SIZE] = "";
    RM_STATUS r = read_text(port, "PortState", value);
    if (r != RM_STATUS_OK)
        return r;
    static const char *const not_given[] = {"Not Supported", "NA", "N/A", ""};
    if (strcasecmp(value, "disabled") == 0) {
        *state = 0;
        return RM_STATUS_OK;
    }
    if (strcasecmp(value, "enabled") == 0) {
        *state = 1;
        return RM_STATUS_OK;
    }
    for (const char *n : not_given)
        if (strcasecmp(value, n) == 0) {
            *state = 2;
            return RM_STATUS_OK;
        }
    return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
}

RM_STATUS MAL_GetLogicalLinkStatus(node_tag_t nic, char *text)
{
    if (!text)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    return logical_link(nic, text);
}

RM_STATUS MAL_GetiSCSILogicalLinkStatus(node_tag_t iscsi, char *text)
{
    if (!text)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    static const char *const path[] = {"Network", "NICConfiguration"};
    node_tag_t config;
    RM_STATUS r = find_path(iscsi, path, COUNT(path), &config);
    if (r != RM_STATUS_OK)
        return r;
    return logical_link(config, text);
}

RM_STATUS MAL_GetEventLogEntry(node_tag_t adapter, int index, MAL_EventLogEntry *entry)
{
    if (!entry)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t log;
    RM_STATUS r = child_group(adapter, "EventLog", &log);
    if (r != RM_STATUS_OK)
        return r;
    if (index == 0) {
        node_tag_t refresh = VEXO_NO_TAG;
        if ((r = MAL_get_node_tag(log, "RefreshEventLog", &refresh, MAL_NODE_ACTION)) != RM_STATUS_OK)
            return r;
        MAL_ActionParams params;
        std::memset(params, 0, sizeof params);
        int32_t done = MAL_do_action(log, refresh, params, nullptr, 0);
        if (done != RM_STATUS_OK)
            return static_cast<RM_STATUS>(done);
    }
    char name[MAL_INSTANCE_NAME_SIZE];
    std::snprintf(name, sizeof name, "EventLogEntry%d", index);
    node_tag_t group;
    if ((r = child_group(log, name, &group)) != RM_STATUS_OK)
        return r;
    const MAL_PropertyDesc texts[] = {{"Severity", entry->Severity, sizeof entry->Severity},
                                      {"Description", entry->Description, sizeof entry->Description}};
    const MAL_PropertyDesc ints[] = {VALUE(entry, SequenceNumber), VALUE(entry, TimeStamp), VALUE(entry, ErrorCode)};
    if ((r = MAL_GetStringProperties(group, COUNT(texts), texts)) != RM_STATUS_OK)
        return r;
    return MAL_GetIntProperties(group, COUNT(ints), ints);
}

int32_t MAL_GetFatData(node_tag_t adapter, const char *path)
{
    if (!path)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t fat;
    RM_STATUS r = child_group(adapter, "FATData", &fat);
    if (r != RM_STATUS_OK)
        return r;
    int32_t valid = 2;
    const MAL_PropertyDesc t[] = {{"FATDataValid", &valid, sizeof valid}};
    if (MAL_GetBoolProperties(fat, 1, t) == RM_STATUS_OK && valid == 0)
        return RM_STATUS_ERROR_NO_FAT_DATA;
    node_tag_t action = VEXO_NO_TAG;
    if ((r = MAL_get_node_tag(fat, "RetrieveFATData", &action, MAL_NODE_ACTION)) != RM_STATUS_OK)
        return r;
    MAL_ActionParams params;
    std::memset(params, 0, sizeof params);
    // A path too long for its slot fills the slot unterminated, so the
    // library refuses it with its own length check instead of acting on a
    // cut path.
    size_t n = strnlen(path, VEXO_VALUE_SIZE);
    std::memcpy(params[0], path, n < VEXO_VALUE_SIZE ? n + 1 : VEXO_VALUE_SIZE);
    VEXO_status_t code = VEXO_STATUS_SUCCESS;
    char text[MAL_STATUS_TEXT_SIZE] = "";
    int32_t done = MAL_do_action_with_status(fat, action, params, nullptr, &code, text);
    if (done == RM_STATUS_OK || done == RM_STATUS_ERROR_ADAPTER_BUSY)
        return done;
    // A failure without a status of its own must not read as success.
    if (code == VEXO_STATUS_SUCCESS || code == static_cast<VEXO_status_t>(-1))
        return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
    return code;
}

RM_STATUS MAL_GetPortPhysicalProperties(node_tag_t port, MAL_Group_PortDiscoveryAndConfiguration *rec)
{
    if (!rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    RM_STATUS r;
    if ((r = MAL_GetGroup_PortDiscoveryAndConfiguration(port, rec)) != RM_STATUS_OK ||
        (r = MAL_Dump_Transceiver(port, "A0", rec->TransceiverPageA0)) != RM_STATUS_OK)
        return r;
    return MAL_Dump_Transceiver(port, "A2", rec->TransceiverPageA2);
}
