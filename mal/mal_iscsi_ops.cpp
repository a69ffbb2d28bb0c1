#include "mal/mal_iscsi_ops.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <strings.h>

#include "mal/mal_core.h"
#include "mal/mal_ops_util.h"
#include "mgmt/vexo/core/vexo_status.h"

using mal_ops::child_group;
using mal_ops::find;

namespace
{

// Last-status codes the operations translate.
const VEXO_status_t kTargetExists = VEXO_STATUS_DUPLICATE_TARGET_ENTRY;
const VEXO_status_t kPortalExists = VEXO_STATUS_DUPLICATE_STP;
const VEXO_status_t kAuthenticationFailed = VEXO_STATUS_AUTHENTICATION_FAILURE;
const VEXO_status_t kWrongChapSecret = VEXO_STATUS_AUTHORIZATION_FAILURE;
const VEXO_status_t kLoginBandwidth = VEXO_STATUS_MIN_BW_GRT_THAN_MAX_BW;
const VEXO_status_t kBootSession = VEXO_STATUS_CANNOT_LOGOUT;

// CHAP secret lengths the adapter takes; longer texts are counted to 20.
const size_t kSecretMin = 12;
const size_t kSecretMax = 16;
const size_t kSecretCount = 20;
const size_t kSecretCopy = 19;
const size_t kNameCopy = 255;

struct Block {
    MAL_ActionParams params;
    node_tag_t new_tags[VEXO_MAX_NEW_TAGS];
};

void clear(Block *b, bool all_absent)
{
    std::memset(b, 0, sizeof *b);
    if (all_absent)
        for (auto &slot : b->params)
            slot[0] = static_cast<char>(VEXO_PARAM_ABSENT);
}

// A caller text bounded by its field, cut to `limit` characters.
void put_text(MAL_ActionParams params, int slot, const char *text, size_t field, size_t limit = VEXO_VALUE_SIZE - 1)
{
    size_t n = strnlen(text, field);
    if (n > limit)
        n = limit;
    std::snprintf(params[slot], VEXO_VALUE_SIZE, "%.*s", static_cast<int>(n), text);
}

void put_int(MAL_ActionParams params, int slot, int32_t value)
{
    std::snprintf(params[slot], VEXO_VALUE_SIZE, "%d", value);
}

void put_ipv4(MAL_ActionParams params, int slot, const uint8_t a[4])
{
    std::snprintf(params[slot], VEXO_VALUE_SIZE, "%d.%d.%d.%d", a[0], a[1], a[2], a[3]);
}

void put_ipv6(MAL_ActionParams params, int slot, const uint8_t a[16])
{
    char text[MAL_IPV6_STRING_SIZE];
    Ipv6AddressToString(a, text);
    std::snprintf(params[slot], VEXO_VALUE_SIZE, "%s", text);
}

bool empty(const char *field) { return field[0] == '\0'; }

// Equal without regard to case, the caller's text bounded by its field.
bool same(const char *field, size_t size, const char *word)
{
    size_t n = std::strlen(word);
    return strnlen(field, size) == n && strncasecmp(field, word, n) == 0;
}

RM_STATUS write_value(node_tag_t group, const char *name, const char *value, size_t size = MAL_VALUE_SIZE)
{
    node_tag_t tag;
    RM_STATUS r = find(group, name, MAL_NODE_PROPERTY, &tag);
    if (r != RM_STATUS_OK)
        return r;
    char text[MAL_VALUE_SIZE];
    put_text(&text, 0, value, size);
    return MAL_set_property_val(group, tag, text, static_cast<int>(std::strlen(text)));
}

// Runs an action and reads its last status under one holding of the lock.
// Without pass-through a failure is 64 or 114; with it the library's own
// status. *code is -1 when the last status could not be read.
int32_t run(node_tag_t group, node_tag_t action, Block *b, bool pass_through, VEXO_status_t *code)
{
    char text[MAL_STATUS_TEXT_SIZE] = "";
    int32_t r = MAL_do_action_with_status(group, action, b->params, b->new_tags, code, text);
    if (!pass_through && r != RM_STATUS_OK && r != RM_STATUS_ERROR_ADAPTER_BUSY)
        r = RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
    return r;
}

int32_t run_named(node_tag_t group, const char *name, Block *b, VEXO_status_t *code = nullptr)
{
    node_tag_t action;
    RM_STATUS r = find(group, name, MAL_NODE_ACTION, &action);
    if (r != RM_STATUS_OK)
        return r;
    VEXO_status_t local;
    return run(group, action, b, false, code ? code : &local);
}

// Runs `action` of the child `group_name` with slot 0 the instance number
// of the `base` member whose tag is `member`.
int32_t delete_member(node_tag_t parent, const char *group_name, const char *base, node_tag_t member,
                      const char *action)
{
    node_tag_t group;
    RM_STATUS r = child_group(parent, group_name, &group);
    if (r != RM_STATUS_OK)
        return r;
    int instance = 0;
    if ((r = MAL_TagToInstance(group, base, member, &instance)) != RM_STATUS_OK)
        return r;
    Block b;
    clear(&b, false);
    put_int(b.params, 0, instance);
    return run_named(group, action, &b);
}

RM_STATUS write_login_options(node_tag_t owner, const char *group_name, const MAL_LoginOptions *rec)
{
    if (!rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t group;
    RM_STATUS r = child_group(owner, group_name, &group);
    if (r != RM_STATUS_OK)
        return r;
    const struct {
        const char *name;
        const char *value;
        size_t size;
    } options[] = {
        {"DataDigest", rec->DataDigest, sizeof rec->DataDigest},
        {"HeaderDigest", rec->HeaderDigest, sizeof rec->HeaderDigest},
        {"ImmediateData", rec->ImmediateData, sizeof rec->ImmediateData},
        {"InitialR2T", rec->InitialR2T, sizeof rec->InitialR2T},
    };
    for (const auto &o : options) {
        if (empty(o.value))
            continue;
        node_tag_t tag;
        if ((r = find(group, o.name, MAL_NODE_PROPERTY, &tag)) != RM_STATUS_OK)
            return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
        char text[MAL_VALUE_SIZE];
        put_text(&text, 0, o.value, o.size);
        r = MAL_set_property_val(group, tag, text, static_cast<int>(std::strlen(text)));
        // InitialR2T is fixed by the adapter: its refusal is expected.
        if (r != RM_STATUS_OK && std::strcmp(o.name, "InitialR2T") != 0)
            return r;
    }
    return RM_STATUS_OK;
}

RM_STATUS change_authentication(node_tag_t owner, const char *group_name, const MAL_AuthenticationProperties *rec)
{
    if (!rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t options, auth;
    RM_STATUS r = child_group(owner, group_name, &options);
    if (r != RM_STATUS_OK || (r = child_group(options, "Authentication", &auth)) != RM_STATUS_OK)
        return r;
    if (empty(rec->AuthenticationMethod))
        return RM_STATUS_ERROR_INVALID_VALUE;
    if (same(rec->AuthenticationMethod, sizeof rec->AuthenticationMethod, "None"))
        return MAL_DeleteCHAP(auth);
    return MAL_ConfigureCHAP(auth, rec);
}

bool secret_ok(const char *secret)
{
    size_t n = strnlen(secret, kSecretCount);
    return n == 0 || (n >= kSecretMin && n <= kSecretMax);
}

// Slot 0 of the address-taking actions: the IPv6 text when the flag asks
// for it, else the IPv4 text. False when that address is not new.
bool put_address(MAL_ActionParams params, int slot, uint8_t flags, const uint8_t ipv4[4], const uint8_t ipv6[16])
{
    if (flags & MAL_ADDRESS_IPV6) {
        if (!isNewIpv6Address(ipv6))
            return false;
        put_ipv6(params, slot, ipv6);
    } else {
        if (!isNewIpAddress(ipv4))
            return false;
        put_ipv4(params, slot, ipv4);
    }
    return true;
}

const char *priority_of(const char *text, size_t size)
{
    if (same(text, size, "Primary"))
        return "Primary";
    if (same(text, size, "Secondary"))
        return "Secondary";
    return "None";
}

} // namespace

extern "C" {

RM_STATUS MAL_SetiSCSILogicalProperties(node_tag_t logical_hba, const MAL_iSCSILogicalProperties *rec)
{
    if (!rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t names;
    RM_STATUS r = child_group(logical_hba, "InitiatoriSCSIName", &names);
    if (r != RM_STATUS_OK)
        return r;
    if ((r = write_value(names, "InitiatorAlias", rec->InitiatorAlias, sizeof rec->InitiatorAlias)) != RM_STATUS_OK)
        return r;
    if (empty(rec->InitiatoriSCSIName))
        return RM_STATUS_OK;
    return write_value(names, "InitiatoriSCSIName", rec->InitiatoriSCSIName, sizeof rec->InitiatoriSCSIName);
}

RM_STATUS MAL_SetiSCSILoginOptions(node_tag_t logical_hba, const MAL_LoginOptions *rec)
{
    return write_login_options(logical_hba, "InitiatorLoginOptions", rec);
}

RM_STATUS MAL_SetiSCSIAuthOptions(node_tag_t logical_hba, const MAL_AuthenticationProperties *rec)
{
    return change_authentication(logical_hba, "InitiatorLoginOptions", rec);
}

int32_t MAL_Set_DiscoverBootTargetThruDHCP(node_tag_t logical_hba, int flag)
{
    node_tag_t discovery, tag;
    RM_STATUS r = child_group(logical_hba, "Discovery", &discovery);
    if (r != RM_STATUS_OK || (r = find(discovery, "DiscoverBootTargetThruDHCP", MAL_NODE_PROPERTY, &tag)))
        return r;
    const char *value = flag == 1 ? "Enabled" : "Disabled";
    if (MAL_set_property_val(discovery, tag, value, static_cast<int>(std::strlen(value))) == RM_STATUS_OK)
        return RM_STATUS_OK;
    VEXO_status_t code = VEXO_STATUS_SUCCESS;
    char text[MAL_STATUS_TEXT_SIZE] = "";
    if (MAL_get_last_status(&code, text) != VEXO_STATUS_SUCCESS)
        return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
    // A failed write that left no failure behind is still a failure.
    if (code == VEXO_STATUS_SUCCESS)
        return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
    return code;
}

RM_STATUS MAL_ConfigureCHAP(node_tag_t authentication, const MAL_AuthenticationProperties *rec)
{
    if (!rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    const size_t method_size = sizeof rec->AuthenticationMethod;
    if (same(rec->AuthenticationMethod, method_size, "One-Way CHAP")) {
        if (!secret_ok(rec->TargetSecret))
            return RM_STATUS_ERROR_INVALID_VALUE;
    } else if (same(rec->AuthenticationMethod, method_size, "Mutual CHAP")) {
        if (!secret_ok(rec->TargetSecret) || !secret_ok(rec->InitiatorSecret))
            return RM_STATUS_ERROR_INVALID_VALUE;
    } else {
        return RM_STATUS_ERROR_INVALID_VALUE;
    }

    Block b;
    clear(&b, true);
    MAL_AuthenticationProperties current;
    std::memset(&current, 0, sizeof current);
    RM_STATUS r = MAL_GetGroup_Authentication(authentication, &current);
    if (r != RM_STATUS_OK)
        return r;
    // The group's values first, then the caller's over them: a value left
    // empty keeps what the group has.
    for (const MAL_AuthenticationProperties *from : {static_cast<const MAL_AuthenticationProperties *>(&current), rec}) {
        const struct {
            const char *value;
            size_t size, limit;
        } slots[] = {
            {from->AuthenticationMethod, sizeof from->AuthenticationMethod, kNameCopy},
            {from->InitiatorCHAPName, sizeof from->InitiatorCHAPName, kNameCopy},
            {from->InitiatorSecret, sizeof from->InitiatorSecret, kSecretCopy},
            {from->TargetCHAPName, sizeof from->TargetCHAPName, kNameCopy},
            {from->TargetSecret, sizeof from->TargetSecret, kSecretCopy},
        };
        for (int i = 0; i < 5; ++i)
            if (!empty(slots[i].value))
                put_text(b.params, i, slots[i].value, slots[i].size, slots[i].limit);
    }
    put_text(b.params, 5, "Required", sizeof "Required");
    return static_cast<RM_STATUS>(run_named(authentication, "ConfigureCHAP", &b));
}

RM_STATUS MAL_DeleteCHAP(node_tag_t authentication)
{
    Block b;
    clear(&b, false);
    b.params[0][0] = static_cast<char>(VEXO_PARAM_ABSENT);
    return static_cast<RM_STATUS>(run_named(authentication, "DeleteCHAP", &b));
}

RM_STATUS MAL_AddSendTargetPortal(node_tag_t logical_hba, const MAL_PortalEntry *rec)
{
    if (!rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t discovery, action;
    RM_STATUS r = child_group(logical_hba, "Discovery", &discovery);
    if (r != RM_STATUS_OK || (r = find(discovery, "AddSendTargetPortal", MAL_NODE_ACTION, &action)))
        return r;
    Block b;
    clear(&b, false);
    if (!put_address(b.params, 0, rec->AddressFlags, rec->IPAddress, rec->IPv6Address) || rec->PortNumber == -1)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    put_int(b.params, 1, rec->PortNumber);
    VEXO_status_t code = VEXO_STATUS_SUCCESS;
    int32_t result = run(discovery, action, &b, false, &code);
    if (result != RM_STATUS_OK && code == kPortalExists)
        return RM_STATUS_ERROR_DUPLICATE_ENTRY;
    return static_cast<RM_STATUS>(result);
}

RM_STATUS MAL_DelSendTargetPortal(node_tag_t logical_hba, node_tag_t portal)
{
    return static_cast<RM_STATUS>(
        delete_member(logical_hba, "Discovery", "SendTargetPortal", portal, "DeleteSendTargetPortal"));
}

RM_STATUS MAL_SetSendTargetPortalLoginOptions(node_tag_t portal, const MAL_LoginOptions *rec)
{
    return write_login_options(portal, "SendTargetPortalLoginOptions", rec);
}

RM_STATUS MAL_SetSendTargetPortalAuthOptions(node_tag_t portal, const MAL_AuthenticationProperties *rec)
{
    return change_authentication(portal, "SendTargetPortalLoginOptions", rec);
}

RM_STATUS MAL_DiscoverTargets(node_tag_t portal)
{
    Block b;
    clear(&b, false);
    return static_cast<RM_STATUS>(run_named(portal, "DiscoverTargets", &b));
}

RM_STATUS MAL_RefreshTargets(node_tag_t logical_hba)
{
    node_tag_t discovery;
    RM_STATUS r = child_group(logical_hba, "Discovery", &discovery);
    if (r != RM_STATUS_OK)
        return r;
    Block b;
    clear(&b, false);
    return static_cast<RM_STATUS>(run_named(discovery, "RefreshAvailableTargets", &b));
}

int32_t MAL_AddTarget(node_tag_t logical_hba, MAL_TargetEntry *rec)
{
    if (!rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    rec->Tag = 0;
    node_tag_t action;
    RM_STATUS r = find(logical_hba, "AddTarget", MAL_NODE_ACTION, &action);
    if (r != RM_STATUS_OK)
        return r;
    Block b;
    clear(&b, false);
    if (empty(rec->TargetName))
        return RM_STATUS_ERROR_INVALID_VALUE;
    put_text(b.params, 0, rec->TargetName, sizeof rec->TargetName);
    if (!put_address(b.params, 1, rec->AddressFlags, rec->IPAddress, rec->IPv6Address) || rec->PortNumber == 0)
        return RM_STATUS_ERROR_INVALID_VALUE;
    put_int(b.params, 2, rec->PortNumber);
    put_text(b.params, 3, rec->BootTarget ? "True" : "False", 6);
    put_text(b.params, 4, priority_of(rec->BootTargetPriority, sizeof rec->BootTargetPriority), 10);

    VEXO_status_t code = VEXO_STATUS_SUCCESS;
    int32_t result = run(logical_hba, action, &b, true, &code);
    if (result == RM_STATUS_OK && b.new_tags[0] > 0) {
        rec->Tag = static_cast<uint32_t>(b.new_tags[0]);
        return RM_STATUS_OK;
    }
    return code == kTargetExists ? RM_STATUS_ERROR_DUPLICATE_ENTRY : result;
}

int32_t MAL_DelTarget(node_tag_t logical_hba, node_tag_t target)
{
    int instance = 0;
    RM_STATUS r = MAL_TagToInstance(logical_hba, "Target", target, &instance);
    if (r != RM_STATUS_OK)
        return r;
    node_tag_t action;
    if ((r = find(logical_hba, "DeleteTarget", MAL_NODE_ACTION, &action)) != RM_STATUS_OK)
        return r;
    Block b;
    clear(&b, false);
    put_int(b.params, 0, instance);
    VEXO_status_t code = VEXO_STATUS_SUCCESS;
    char text[MAL_STATUS_TEXT_SIZE] = "";
    int32_t result = MAL_do_action_with_status(logical_hba, action, b.params, b.new_tags, &code, text);
    if (result != RM_STATUS_OK)
        return result;
    if (code == static_cast<VEXO_status_t>(-1))
        return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
    return code;
}

RM_STATUS MAL_SetTargetProperties(node_tag_t target, int eto)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d", eto);
    return write_value(target, "ETO", text, sizeof text);
}

RM_STATUS MAL_SetTargetLoginOptions(node_tag_t target, const MAL_LoginOptions *rec)
{
    return write_login_options(target, "TargetLoginOptions", rec);
}

RM_STATUS MAL_SetTargetAuthOptions(node_tag_t target, const MAL_AuthenticationProperties *rec)
{
    return change_authentication(target, "TargetLoginOptions", rec);
}

RM_STATUS MAL_TargetLogin(node_tag_t target, const MAL_TargetLoginParams *params, const MAL_TargetEntry *entry)
{
    if (!params || !entry)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    Block b;
    clear(&b, true);
    if (params->AddressFlags & MAL_ADDRESS_IPV6)
        put_ipv6(b.params, 0, params->IPv6Address);
    else if (isNewIpAddress(params->IPAddress))
        put_ipv4(b.params, 0, params->IPAddress); // else the library picks the portal
    if (params->PortNumber != -1)
        put_int(b.params, 1, params->PortNumber);
    if (!empty(params->SessionInitiatorName))
        put_text(b.params, 2, params->SessionInitiatorName, sizeof params->SessionInitiatorName);
    if (params->ISIDQualifier != -1)
        put_int(b.params, 3, params->ISIDQualifier);
    put_text(b.params, 4, entry->BootTarget ? "True" : "False", 6);
    put_text(b.params, 5, priority_of(entry->BootTargetPriority, sizeof entry->BootTargetPriority), 10);

    node_tag_t action;
    RM_STATUS r = find(target, "Login", MAL_NODE_ACTION, &action);
    if (r != RM_STATUS_OK)
        return r;
    VEXO_status_t code = VEXO_STATUS_SUCCESS;
    if (run(target, action, &b, true, &code) == RM_STATUS_OK)
        return RM_STATUS_OK;
    if (code == kAuthenticationFailed || code == kWrongChapSecret)
        return RM_STATUS_ERROR_LOGIN_AUTHENTICATION;
    if (code == kLoginBandwidth)
        return RM_STATUS_ERROR_LOGIN_BANDWIDTH;
    return RM_STATUS_ERROR_LOGIN_FAILED;
}

RM_STATUS MAL_TargetLogout(node_tag_t target, node_tag_t session)
{
    int instance = 0;
    RM_STATUS r = MAL_TagToInstance(target, "Session", session, &instance);
    if (r != RM_STATUS_OK)
        return r;
    Block b;
    clear(&b, false);
    put_int(b.params, 0, instance);
    VEXO_status_t code = VEXO_STATUS_SUCCESS;
    int32_t result = run_named(target, "Logout", &b, &code);
    if (result != RM_STATUS_OK && code == kBootSession)
        return static_cast<RM_STATUS>(MAL_STATUS_BOOT_SESSION_ACTIVE);
    return static_cast<RM_STATUS>(result);
}

RM_STATUS MAL_RescanLuns(node_tag_t target)
{
    Block b;
    clear(&b, false);
    return static_cast<RM_STATUS>(run_named(target, "RescanLUNs", &b));
}

RM_STATUS MAL_SetiSNSState(node_tag_t iscsi, int flag)
{
    node_tag_t isns;
    RM_STATUS r = child_group(iscsi, "iSNS", &isns);
    if (r != RM_STATUS_OK)
        return r;
    if (flag != 0 && flag != 1)
        return RM_STATUS_ERROR_INVALID_VALUE;
    return write_value(isns, "iSNSEnabled", flag ? "yes" : "no");
}

RM_STATUS MAL_AddiSNSServer(node_tag_t iscsi, const MAL_iSNSServer *server)
{
    if (!server)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t isns, action;
    RM_STATUS r = child_group(iscsi, "iSNS", &isns);
    if (r != RM_STATUS_OK || (r = find(isns, "ConfigureiSNSServer", MAL_NODE_ACTION, &action)))
        return r;
    if ((!isNewIpAddress(server->IPAddress) && !isNewIpv6Address(server->IPv6Address.address)) ||
        server->PortNumber == -1)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    Block b;
    clear(&b, false);
    if (server->AddressFlags & MAL_ADDRESS_IPV6)
        put_ipv6(b.params, 0, server->IPv6Address.address);
    else
        put_ipv4(b.params, 0, server->IPAddress);
    put_int(b.params, 1, server->PortNumber);
    VEXO_status_t code = VEXO_STATUS_SUCCESS;
    return static_cast<RM_STATUS>(run(isns, action, &b, false, &code));
}

RM_STATUS MAL_DeleteiSNSServer(node_tag_t iscsi, node_tag_t server)
{
    return static_cast<RM_STATUS>(delete_member(iscsi, "iSNS", "iSNSServer", server, "DeleteiSNSServer"));
}

RM_STATUS MAL_DiscoveriSNSServers(node_tag_t iscsi)
{
    node_tag_t isns;
    RM_STATUS r = child_group(iscsi, "iSNS", &isns);
    if (r != RM_STATUS_OK)
        return r;
    Block b;
    clear(&b, false);
    return static_cast<RM_STATUS>(run_named(isns, "DiscoveryiSNSThruDHCP", &b));
}

} // extern "C"
