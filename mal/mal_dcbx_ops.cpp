#include "mal/mal_dcbx_ops.h"

#include <cstdio>
#include <cstring>

#include "mal/mal_core.h"
#include "mal/mal_ops_util.h"
#include "mal/mal_readers.h"

static_assert(sizeof(MAL_LldpProperties) == 24, "LLDP record layout");
static_assert(sizeof(MAL_DcbxPortVars) == 16, "DCBX port variables layout");
static_assert(sizeof(MAL_PfcProperties) == 32, "PFC record layout");
static_assert(sizeof(MAL_PGProperties) == 2 * (8 * 8 + 5 * 4), "PG record layout");
static_assert(sizeof(MAL_QCNProperties) == 15 * 4, "QCN record layout");
static_assert(sizeof(MAL_AppTlvProperties) == 2 * (3 * 4 + 15 * 16), "application TLV record layout");
static_assert(sizeof(MAL_AppTlv) == 12, "application TLV layout");

using mal_ops::clear;
using mal_ops::find;
using mal_ops::find_path;
using mal_ops::leave_out;
using mal_ops::put_text;
using mal_ops::read_int;
using mal_ops::run;
using mal_ops::write_text;

namespace
{

// One flag of a setter: the record's value and the texts it writes.
struct FlagWrite {
    const char *name;
    int32_t value;
    const char *on;
    const char *off;
};

RM_STATUS write_flags(node_tag_t group, const FlagWrite *flags, int count)
{
    for (int i = 0; i < count; ++i) {
        if (flags[i].value == -1)
            continue;
        if (flags[i].value != 0 && flags[i].value != 1)
            return RM_STATUS_ERROR_INVALID_VALUE;
        RM_STATUS r = write_text(group, flags[i].name, flags[i].value ? flags[i].on : flags[i].off);
        if (r != RM_STATUS_OK)
            return r;
    }
    return RM_STATUS_OK;
}

// The member `base`<index> of a repeated group.
RM_STATUS find_member(node_tag_t group, const char *base, int index, node_tag_t *out)
{
    char name[MAL_INSTANCE_NAME_SIZE];
    std::snprintf(name, sizeof name, "%s%d", base, index);
    return MAL_get_node_tag(group, name, out, MAL_NODE_GROUP);
}

// The administrator and operational groups of the port's DCBX `feature`;
// both tags are set only when both are found.
RM_STATUS admin_and_oper(node_tag_t port, const char *feature, const char *admin_name, const char *oper_name,
                         node_tag_t *admin, node_tag_t *oper)
{
    if (!admin || !oper)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t a = 0, o = 0;
    RM_STATUS r = find_path(port, {"DCBX", feature, admin_name}, &a);
    if (r == RM_STATUS_OK)
        r = find_path(port, {"DCBX", feature, oper_name}, &o);
    if (r != RM_STATUS_OK)
        return r;
    *admin = a;
    *oper = o;
    return RM_STATUS_OK;
}

// The flags every administrator group has, read in this order.
RM_STATUS read_admin_flags(node_tag_t group, int32_t *advertise, int32_t *enabled, int32_t *willing)
{
    const MAL_PropertyDesc flags[] = {
        {"Advertise", advertise, 0},
        {"Enabled", enabled, 0},
        {"Willing", willing, 0},
    };
    return MAL_GetBoolProperties(group, 3, flags);
}

RM_STATUS read_oper_flags(node_tag_t group, int32_t *mode, int32_t *error, int32_t *synced)
{
    const MAL_PropertyDesc flags[] = {
        {"OperationalMode", mode, 0},
        {"Error", error, 0},
        {"Synced", synced, 0},
    };
    return MAL_GetBoolProperties(group, 3, flags);
}

// The administrator flags of PFC, priority groups and QCN, written in this order.
RM_STATUS write_admin_flags(node_tag_t group, int32_t enabled, int32_t advertise, int32_t willing)
{
    const FlagWrite flags[] = {
        {"Enabled", enabled, "yes", "no"},
        {"Advertise", advertise, "yes", "no"},
        {"Willing", willing, "yes", "no"},
    };
    return write_flags(group, flags, 3);
}

RM_STATUS read_hex(node_tag_t group, const char *name, int32_t *dest)
{
    MAL_PropertyDesc d = {name, dest, 0};
    return MAL_GetHexProperties(group, 1, &d);
}

bool has_property(node_tag_t group, const char *name)
{
    node_tag_t prop = 0;
    return MAL_get_node_tag(group, name, &prop, MAL_NODE_PROPERTY) == RM_STATUS_OK;
}

// Runs an action of `group` with the given parameters; a null entry is sent
// as not given.
RM_STATUS run_action(node_tag_t group, const char *name, const char *const *values, int count, int pass_through)
{
    node_tag_t action = 0;
    RM_STATUS r = find(group, name, MAL_NODE_ACTION, &action);
    if (r != RM_STATUS_OK)
        return r;
    MAL_ActionParams params;
    clear(params);
    for (int i = 0; i < count; ++i) {
        if (values[i])
            put_text(params, i, values[i]);
        else
            leave_out(params, i);
    }
    return static_cast<RM_STATUS>(run(group, action, params, pass_through));
}

RM_STATUS read_pg_entries(node_tag_t group, MAL_PGEntry *entries)
{
    for (int i = 0; i < MAL_PG_COUNT; ++i) {
        node_tag_t pg = 0;
        RM_STATUS r = find_member(group, "PG", i, &pg);
        if (r != RM_STATUS_OK)
            return r;
        r = read_int(pg, "Bandwidth", &entries[i].Bandwidth);
        if (r != RM_STATUS_OK)
            return r;
        r = read_hex(pg, "PriorityMembership", &entries[i].PriorityMembership);
        if (r != RM_STATUS_OK)
            return r;
    }
    return RM_STATUS_OK;
}

// 0 when the property is missing; otherwise the read's result.
RM_STATUS read_pg15(node_tag_t group, int32_t *dest)
{
    *dest = 0;
    if (!has_property(group, "PG15PriorityMembership"))
        return RM_STATUS_OK;
    return read_hex(group, "PG15PriorityMembership", dest);
}

RM_STATUS read_tlv_entry(node_tag_t tlv, MAL_AppTlvEntry *e)
{
    const MAL_PropertyDesc table[] = {
        {"OUI", &e->OUI, 0},
        {"PriorityBitMap", &e->PriorityBitMap, 0},
        {"ProtocolID", &e->ProtocolID, 0},
        {"ProtocolSelector", &e->ProtocolSelector, 0},
    };
    return MAL_GetHexProperties(tlv, 4, table);
}

// The entries of a TLV group, up to its first missing member.
RM_STATUS read_tlv_entries(node_tag_t group, MAL_AppTlvEntry *entries)
{
    for (int i = 0; i < MAL_APP_TLV_COUNT; ++i) {
        node_tag_t tlv = 0;
        if (find_member(group, "ApplicationTLV", i, &tlv) != RM_STATUS_OK)
            break;
        RM_STATUS r = read_tlv_entry(tlv, &entries[i]);
        if (r != RM_STATUS_OK)
            return r;
    }
    return RM_STATUS_OK;
}

RM_STATUS admin_tlv_group(node_tag_t port, node_tag_t *out)
{
    return find_path(port, {"DCBX", "ApplicationTLVGroups", "AdministratorTLVSetting"}, out);
}

} // namespace

RM_STATUS MAL_GetLldpProperties(node_tag_t port, MAL_LldpProperties *props)
{
    if (!props)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t group = 0;
    RM_STATUS r = find_path(port, {"LLDP", "LocalConfiguration"}, &group);
    if (r != RM_STATUS_OK)
        return r;
    const MAL_PropertyDesc table[] = {
        {"PortDescriptionTLV", &props->PortDescriptionTLV, 0},
        {"RxState", &props->RxState, 0},
        {"SystemCapabilitiesTLV", &props->SystemCapabilitiesTLV, 0},
        {"SystemDescriptionTLV", &props->SystemDescriptionTLV, 0},
        {"SystemNameTLV", &props->SystemNameTLV, 0},
        {"TxState", &props->TxState, 0},
    };
    return MAL_GetBoolProperties(group, 6, table);
}

RM_STATUS MAL_SetLldpProperties(node_tag_t port, const MAL_LldpProperties *props)
{
    if (!props)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t group = 0;
    RM_STATUS r = find_path(port, {"LLDP", "LocalConfiguration"}, &group);
    if (r != RM_STATUS_OK)
        return r;
    const FlagWrite flags[] = {
        {"PortDescriptionTLV", props->PortDescriptionTLV, "enabled", "disabled"},
        {"RxState", props->RxState, "enabled", "disabled"},
        {"SystemCapabilitiesTLV", props->SystemCapabilitiesTLV, "enabled", "disabled"},
        {"SystemDescriptionTLV", props->SystemDescriptionTLV, "enabled", "disabled"},
        {"SystemNameTLV", props->SystemNameTLV, "enabled", "disabled"},
        {"TxState", props->TxState, "enabled", "disabled"},
    };
    return write_flags(group, flags, 6);
}

RM_STATUS MAL_GetDcbxPortVars(node_tag_t port, MAL_DcbxPortVars *vars)
{
    if (!vars)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t group = 0;
    RM_STATUS r = find_path(port, {"DCBX", "DCBXPortVars"}, &group);
    if (r != RM_STATUS_OK)
        return r;
    const MAL_PropertyDesc numbers[] = {
        {"MaxVersion", &vars->MaxVersion, 0},
        {"OperatingVersion", &vars->OperatingVersion, 0},
    };
    r = MAL_GetIntProperties(group, 2, numbers);
    if (r != RM_STATUS_OK)
        return r;
    const MAL_PropertyDesc flags[] = {
        {"DCBXMode", &vars->DCBXMode, 0},
        {"DCBXState", &vars->DCBXState, 0},
    };
    return MAL_GetBoolProperties(group, 2, flags);
}

RM_STATUS MAL_SetDcbxPortVars(node_tag_t port, const MAL_DcbxPortVars *vars)
{
    if (!vars)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t group = 0;
    RM_STATUS r = find_path(port, {"DCBX", "DCBXPortVars"}, &group);
    if (r != RM_STATUS_OK)
        return r;
    const FlagWrite flags[] = {
        {"DCBXMode", vars->DCBXMode, "CEE", "CIN"},
        {"DCBXState", vars->DCBXState, "enabled", "disabled"},
    };
    return write_flags(group, flags, 2);
}

RM_STATUS MAL_GetTags_PFC(node_tag_t port, node_tag_t *admin, node_tag_t *oper)
{
    return admin_and_oper(port, "PFC", "AdministratorPFCSetting", "OperationalPFCSettings", admin, oper);
}

RM_STATUS MAL_GetPfcProperties(node_tag_t port, MAL_PfcProperties *props)
{
    if (!props)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    props->Oper.PriorityBitMap = -1;
    node_tag_t admin = 0, oper = 0;
    RM_STATUS r = MAL_GetTags_PFC(port, &admin, &oper);
    if (r != RM_STATUS_OK)
        return r;
    r = read_hex(admin, "PriorityBitMap", &props->Admin.PriorityBitMap);
    if (r != RM_STATUS_OK)
        return r;
    r = read_admin_flags(admin, &props->Admin.Advertise, &props->Admin.Enabled, &props->Admin.Willing);
    if (r != RM_STATUS_OK)
        return r;
    r = read_hex(oper, "PriorityBitMap", &props->Oper.PriorityBitMap);
    if (r != RM_STATUS_OK)
        return r;
    return read_oper_flags(oper, &props->Oper.OperationalMode, &props->Oper.Error, &props->Oper.Synced);
}

RM_STATUS MAL_SetPfcProperties(node_tag_t port, const MAL_PfcProperties *props)
{
    if (!props)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t admin = 0, oper = 0;
    RM_STATUS r = MAL_GetTags_PFC(port, &admin, &oper);
    if (r != RM_STATUS_OK)
        return r;
    if (props->Admin.PriorityBitMap != -1) {
        char text[16];
        std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(props->Admin.PriorityBitMap));
        r = write_text(admin, "PriorityBitMap", text);
        if (r != RM_STATUS_OK)
            return r;
    }
    return write_admin_flags(admin, props->Admin.Enabled, props->Admin.Advertise, props->Admin.Willing);
}

RM_STATUS MAL_GetTags_PGSettings(node_tag_t port, node_tag_t *admin, node_tag_t *oper)
{
    return admin_and_oper(port, "PriorityGroups", "AdministratorPGSetting", "OperationalPGSettings", admin, oper);
}

RM_STATUS MAL_GetPGProperties(node_tag_t port, MAL_PGProperties *props)
{
    if (!props)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t admin = 0, oper = 0;
    RM_STATUS r = MAL_GetTags_PGSettings(port, &admin, &oper);
    if (r != RM_STATUS_OK)
        return r;

    int32_t n = 0;
    if (read_int(oper, "NumPGSupported", &n) == RM_STATUS_OK)
        props->Oper.NumPGSupported = n == 0 ? MAL_PG_COUNT : n;
    else
        props->Oper.NumPGSupported = 0;
    n = 0;
    if (read_int(admin, "NumPGSupported", &n) == RM_STATUS_OK && n != 0)
        props->Admin.NumPGSupported = n;
    else
        props->Admin.NumPGSupported = MAL_PG_COUNT;

    r = read_admin_flags(admin, &props->Admin.Advertise, &props->Admin.Enabled, &props->Admin.Willing);
    if (r != RM_STATUS_OK)
        return r;
    r = read_pg_entries(admin, props->Admin.PG);
    if (r != RM_STATUS_OK)
        return r;

    r = read_oper_flags(oper, &props->Oper.OperationalMode, &props->Oper.Error, &props->Oper.Synced);
    if (r != RM_STATUS_OK)
        return r;
    r = read_pg_entries(oper, props->Oper.PG);
    if (r != RM_STATUS_OK)
        return r;

    read_pg15(oper, &props->Oper.PG15PriorityMembership);
    return read_pg15(admin, &props->Admin.PG15PriorityMembership);
}

RM_STATUS MAL_SetPGProperties(node_tag_t port, const MAL_PGProperties *props)
{
    if (!props)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t admin = 0, oper = 0;
    RM_STATUS r = MAL_GetTags_PGSettings(port, &admin, &oper);
    if (r != RM_STATUS_OK)
        return r;
    return write_admin_flags(admin, props->Admin.Enabled, props->Admin.Advertise, props->Admin.Willing);
}

RM_STATUS MAL_SetPGPriorities(node_tag_t port, const MAL_PGProperties *props)
{
    if (!props)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t admin = 0, oper = 0;
    RM_STATUS r = MAL_GetTags_PGSettings(port, &admin, &oper);
    if (r != RM_STATUS_OK)
        return r;
    for (int i = 0; i < MAL_PG_COUNT; ++i) {
        node_tag_t pg = 0;
        r = find_member(admin, "PG", i, &pg);
        if (r != RM_STATUS_OK)
            return r;
        int32_t membership = props->Admin.PG[i].PriorityMembership;
        int32_t bandwidth = props->Admin.PG[i].Bandwidth;
        if (membership == -1 && (r = read_hex(pg, "PriorityMembership", &membership)) != RM_STATUS_OK)
            return r;
        if (bandwidth == -1 && (r = read_int(pg, "Bandwidth", &bandwidth)) != RM_STATUS_OK)
            return r;
        char m[16], b[16];
        std::snprintf(m, sizeof m, "0x%x", static_cast<unsigned>(membership));
        std::snprintf(b, sizeof b, "%d", bandwidth);
        const char *values[] = {m, b};
        r = run_action(pg, "ConfigurePGSettings", values, 2, 0);
        if (r != RM_STATUS_OK)
            return r;
    }
    if (props->Admin.PG15PriorityMembership == -1 || !has_property(admin, "PG15PriorityMembership"))
        return RM_STATUS_OK;
    char text[16];
    std::snprintf(text, sizeof text, "%d", props->Admin.PG15PriorityMembership);
    return write_text(admin, "PG15PriorityMembership", text);
}

RM_STATUS MAL_SetPGBandwidths(node_tag_t port, const MAL_PGProperties *props)
{
    return MAL_SetPGPriorities(port, props);
}

RM_STATUS MAL_GetTags_QCN(node_tag_t port, node_tag_t *admin, node_tag_t *oper, node_tag_t *peer)
{
    if (!admin || !oper || !peer)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t a = 0, o = 0, p = 0;
    RM_STATUS r = admin_and_oper(port, "QCN", "AdministratorQCNSetting", "OperationalQCNSettings", &a, &o);
    if (r == RM_STATUS_OK)
        r = find_path(port, {"DCBX", "QCN", "PeerQCNSetting"}, &p);
    if (r != RM_STATUS_OK)
        return r;
    *admin = a;
    *oper = o;
    *peer = p;
    return RM_STATUS_OK;
}

RM_STATUS MAL_GetQCNProperties(node_tag_t port, MAL_QCNProperties *props)
{
    if (!props)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t admin = 0, oper = 0, peer = 0;
    RM_STATUS r = MAL_GetTags_QCN(port, &admin, &oper, &peer);
    if (r != RM_STATUS_OK)
        return r;
    // Each group: its bit maps, then its flags; the first failing step ends.
    const MAL_PropertyDesc admin_hex[] = {{"CNPVBitMap", &props->Admin.CNPVBitMap, 0}};
    const MAL_PropertyDesc oper_hex[] = {
        {"CNPVBitMap", &props->Oper.CNPVBitMap, 0},
        {"ReadyBitMap", &props->Oper.ReadyBitMap, 0},
    };
    const MAL_PropertyDesc oper_flags[] = {
        {"Error", &props->Oper.Error, 0},
        {"OperationalMode", &props->Oper.OperationalMode, 0},
        {"Synced", &props->Oper.Synced, 0},
    };
    const MAL_PropertyDesc peer_hex[] = {
        {"CNPVBitMap", &props->Peer.CNPVBitMap, 0},
        {"ReadyBitMap", &props->Peer.ReadyBitMap, 0},
    };
    const MAL_PropertyDesc peer_flags[] = {
        {"Error", &props->Peer.Error, 0},
        {"Advertise", &props->Peer.Advertise, 0},
        {"Enabled", &props->Peer.Enabled, 0},
        {"Willing", &props->Peer.Willing, 0},
    };
    if ((r = MAL_GetHexProperties(admin, 1, admin_hex)) != RM_STATUS_OK ||
        (r = read_admin_flags(admin, &props->Admin.Advertise, &props->Admin.Enabled, &props->Admin.Willing)) !=
            RM_STATUS_OK ||
        (r = MAL_GetHexProperties(oper, 2, oper_hex)) != RM_STATUS_OK ||
        (r = MAL_GetBoolProperties(oper, 3, oper_flags)) != RM_STATUS_OK ||
        (r = MAL_GetHexProperties(peer, 2, peer_hex)) != RM_STATUS_OK)
        return r;
    return MAL_GetBoolProperties(peer, 4, peer_flags);
}

RM_STATUS MAL_SetQCNProperties(node_tag_t port, const MAL_QCNProperties *props)
{
    if (!props)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t admin = 0, oper = 0, peer = 0;
    RM_STATUS r = MAL_GetTags_QCN(port, &admin, &oper, &peer);
    if (r != RM_STATUS_OK)
        return r;
    return write_admin_flags(admin, props->Admin.Enabled, props->Admin.Advertise, props->Admin.Willing);
}

RM_STATUS MAL_GetAppTlvProperties(node_tag_t port, MAL_AppTlvProperties *props)
{
    if (!props)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t groups = 0, admin = 0, oper = 0;
    RM_STATUS r = find_path(port, {"DCBX", "ApplicationTLVGroups"}, &groups);
    if (r == RM_STATUS_OK)
        r = MAL_get_node_tag(groups, "AdministratorTLVSetting", &admin, MAL_NODE_GROUP);
    if (r != RM_STATUS_OK)
        return r;
    if ((r = read_admin_flags(admin, &props->Admin.Advertise, &props->Admin.Enabled, &props->Admin.Willing)) !=
            RM_STATUS_OK ||
        (r = read_tlv_entries(admin, props->Admin.Entries)) != RM_STATUS_OK)
        return r;
    r = MAL_get_node_tag(groups, "OperationalTLVSettings", &oper, MAL_NODE_GROUP);
    if (r != RM_STATUS_OK)
        return r;
    if ((r = read_oper_flags(oper, &props->Oper.OperationalMode, &props->Oper.Error, &props->Oper.Synced)) !=
        RM_STATUS_OK)
        return r;
    return read_tlv_entries(oper, props->Oper.Entries);
}

RM_STATUS MAL_SetAppTlvProperties(node_tag_t port, const MAL_AppTlvProperties *props)
{
    if (!props)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t admin = 0;
    RM_STATUS r = admin_tlv_group(port, &admin);
    if (r != RM_STATUS_OK)
        return r;
    const FlagWrite flags[] = {
        {"Advertise", props->Admin.Advertise, "yes", "no"},
        {"Enabled", props->Admin.Enabled, "yes", "no"},
        {"Willing", props->Admin.Willing, "yes", "no"},
    };
    return write_flags(admin, flags, 3);
}

RM_STATUS MAL_AddAppTlv(node_tag_t port, const MAL_AppTlv *tlv)
{
    if (!tlv)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t admin = 0;
    RM_STATUS r = admin_tlv_group(port, &admin);
    if (r != RM_STATUS_OK)
        return r;
    char selector[16], id[16], priorities[16];
    std::snprintf(selector, sizeof selector, "%d", tlv->ProtocolSelector);
    std::snprintf(id, sizeof id, "%d", tlv->ProtocolID);
    std::snprintf(priorities, sizeof priorities, "%d", tlv->PriorityBitMap);
    const char *values[] = {selector, id, priorities, nullptr};
    return run_action(admin, "AddApplicationTLV", values, 4, 0);
}

RM_STATUS MAL_DelAppTlv(node_tag_t port)
{
    node_tag_t admin = 0;
    RM_STATUS r = admin_tlv_group(port, &admin);
    if (r != RM_STATUS_OK)
        return r;
    node_tag_t action = 0;
    r = MAL_get_node_tag(admin, "DeleteApplicationTLV", &action, MAL_NODE_ACTION);
    if (r != RM_STATUS_OK)
        return r;
    // Missing entries refuse their deletion; that is expected and ignored.
    for (int i = MAL_APP_TLV_COUNT - 1; i >= 0; --i) {
        char instance[16];
        std::snprintf(instance, sizeof instance, "%d", i);
        const char *values[] = {instance};
        run_action(admin, "DeleteApplicationTLV", values, 1, 1);
    }
    return RM_STATUS_OK;
}

RM_STATUS MAL_GetTlvProperties(void)
{
    return RM_STATUS_ERROR_NOT_SUPPORTED;
}

RM_STATUS MAL_SetTlvProperties(void)
{
    return RM_STATUS_ERROR_NOT_SUPPORTED;
}

RM_STATUS MAL_EnterLoopbackMode(node_tag_t adapter, int32_t source, int32_t destination, int32_t kind)
{
    static const char *const kinds[] = {"MacLoopBack", "PhyLoopBack", "OnePortLoopBack"};
    if (kind < 1 || kind > 3)
        return RM_STATUS_ERROR_INVALID_VALUE;
    node_tag_t diag = 0;
    RM_STATUS r = MAL_get_node_tag(adapter, "Diagnostics", &diag, MAL_NODE_GROUP);
    if (r != RM_STATUS_OK)
        return r;
    char src[16], dst[16];
    std::snprintf(src, sizeof src, "%d", source);
    std::snprintf(dst, sizeof dst, "%d", destination);
    const char *values[] = {src, dst, kinds[kind - 1]};
    return run_action(diag, "EnterLoopBackMode", values, 3, 0);
}

RM_STATUS MAL_ExitLoopbackMode(node_tag_t adapter, int32_t source, int32_t destination)
{
    node_tag_t diag = 0;
    RM_STATUS r = MAL_get_node_tag(adapter, "Diagnostics", &diag, MAL_NODE_GROUP);
    if (r != RM_STATUS_OK)
        return r;
    char src[16], dst[16];
    std::snprintf(src, sizeof src, "%d", source);
    std::snprintf(dst, sizeof dst, "%d", destination);
    const char *values[] = {src, dst};
    return run_action(diag, "ExitLoopBackMode", values, 2, 0);
}
