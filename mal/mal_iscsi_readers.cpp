#include "mal/mal_iscsi_readers.h"

#include <cstdio>
#include <cstring>

#include "mal/mal_core.h"
#include "mal/mal_ops_util.h"
#include "mal/mal_readers.h"

using mal_ops::child_group;

namespace
{

#define TEXT(rec, field) MAL_PropertyDesc{#field, (rec)->field, sizeof((rec)->field)}
#define VALUE(rec, field) MAL_PropertyDesc{#field, &(rec)->field, sizeof((rec)->field)}
#define COUNT(table) static_cast<int>(sizeof(table) / sizeof((table)[0]))

// Longest child name MAL_GetGroup_LoginOptions forms.
const size_t kLoginOptionsName = 34;

// An address read by its text: IPv4 into `ipv4`, else IPv6 into `ipv6` and
// its text; bit 0 of `flags` tells which. Stored only when the read
// succeeds; the read's result.
template <typename Address>
RM_STATUS read_address(node_tag_t group, const char *name, bool v4, Address *out, uint8_t *flags)
{
    if (v4) {
        uint8_t ip[4] = {};
        const MAL_PropertyDesc t[] = {{name, ip, sizeof ip}};
        RM_STATUS r = MAL_GetIpAddrProperties(group, 1, t);
        if (r == RM_STATUS_OK) {
            std::memcpy(out->ipv4, ip, sizeof ip);
            *flags = static_cast<uint8_t>(*flags & ~1u);
        }
        return r;
    }
    MAL_IPv6Address ip;
    std::memset(&ip, 0, sizeof ip);
    const MAL_PropertyDesc t[] = {{name, &ip, sizeof ip}};
    RM_STATUS r = MAL_GetIpV6AddrProperties(group, 1, t);
    if (r == RM_STATUS_OK) {
        std::memcpy(out->ipv6, ip.address, sizeof ip.address);
        char text[MAL_IPV6_STRING_SIZE];
        Ipv6AddressToString(ip.address, text);
        std::snprintf(out->ipv6_text, sizeof out->ipv6_text, "%s", text);
        *flags = static_cast<uint8_t>(*flags | 1u);
    }
    return r;
}

// Whether the address text of the property reads as IPv4.
bool address_is_v4(node_tag_t group, const char *name)
{
    char text[MAL_VALUE_SIZE] = "";
    const MAL_PropertyDesc t[] = {{name, text, sizeof text}};
    MAL_GetStringProperties(group, 1, t);
    return IsIpv4(text);
}

} // namespace

void Ipv6AddressToString(const uint8_t address[16], char text[MAL_IPV6_STRING_SIZE])
{
    if (!text)
        return;
    static const uint8_t kZero[16] = {};
    const uint8_t *a = address ? address : kZero;
    std::snprintf(text, MAL_IPV6_STRING_SIZE, "%02x%02x:%02x%02x:%02x%02x:%02x%02x:%02x%02x:%02x%02x:%02x%02x:%02x%02x",
                  a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8], a[9], a[10], a[11], a[12], a[13], a[14],
                  a[15]);
}

RM_STATUS MAL_GetGroup_Authentication(node_tag_t authentication, MAL_AuthenticationProperties *rec)
{
    if (!rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    const MAL_PropertyDesc t[] = {TEXT(rec, AuthenticationMethod), TEXT(rec, InitiatorCHAPName),
                                  TEXT(rec, InitiatorSecret), TEXT(rec, TargetCHAPName), TEXT(rec, TargetSecret)};
    return MAL_GetStringProperties(authentication, COUNT(t), t);
}

RM_STATUS MAL_GetGroup_LoginOptions(node_tag_t group, const char *prefix, MAL_LoginOptions *rec)
{
    if (!rec || !prefix)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    char name[kLoginOptionsName + 1];
    int n = std::snprintf(name, sizeof name, "%sLoginOptions", prefix);
    // A name that does not fit is refused, never cut.
    if (n < 0 || static_cast<size_t>(n) > kLoginOptionsName)
        return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
    node_tag_t child;
    RM_STATUS r = child_group(group, name, &child);
    if (r != RM_STATUS_OK)
        return r;
    const MAL_PropertyDesc t[] = {TEXT(rec, DataDigest), TEXT(rec, HeaderDigest), TEXT(rec, ImmediateData),
                                  TEXT(rec, InitialR2T)};
    return MAL_GetStringProperties(child, COUNT(t), t);
}

RM_STATUS MAL_GetGroup_InitiatorDefaultLoginOptions(node_tag_t logical_hba, MAL_DefaultLoginOptions *rec)
{
    if (!rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t child;
    RM_STATUS r = child_group(logical_hba, "InitiatorDefaultLoginOptions", &child);
    if (r != RM_STATUS_OK)
        return r;
    const MAL_PropertyDesc t[] = {
        VALUE(rec, MaxConnections),     VALUE(rec, MaxOutstandingR2T),  VALUE(rec, FirstBurstLength),
        VALUE(rec, MaxBurstLength),     VALUE(rec, DefaultTime2Wait),   VALUE(rec, DefaultTime2Retain),
        VALUE(rec, ErrorRecoveryLevel), VALUE(rec, DataPDUInOrder),     VALUE(rec, DataSequenceInOrder),
        VALUE(rec, MaxRecvDataSegmentLength)};
    return MAL_GetIntProperties(child, COUNT(t), t);
}

RM_STATUS MAL_GetGroup_InitiatoriSCSIName(node_tag_t logical_hba, MAL_iSCSILogicalProperties *rec)
{
    if (!rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t child;
    RM_STATUS r = child_group(logical_hba, "InitiatoriSCSIName", &child);
    if (r != RM_STATUS_OK)
        return r;
    const MAL_PropertyDesc t[] = {TEXT(rec, InitiatorAlias), TEXT(rec, InitiatoriSCSIName)};
    return MAL_GetStringProperties(child, COUNT(t), t);
}

RM_STATUS MAL_GetGroup_iSCSIQoS(node_tag_t logical_hba, MAL_iSCSIQoS *rec)
{
    if (!rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t child;
    RM_STATUS r = child_group(logical_hba, "iSCSIQoS", &child);
    if (r != RM_STATUS_OK)
        return r;
    const MAL_PropertyDesc t[] = {VALUE(rec, MinBitsPerSecond), VALUE(rec, MaxBitsPerSecond),
                                  VALUE(rec, MaxBytesPerSecond), VALUE(rec, MaxIosPerSecond)};
    return MAL_GetIntProperties(child, COUNT(t), t);
}

RM_STATUS MAL_GetiSCSILogicalProperties(node_tag_t logical_hba, MAL_iSCSILogicalProperties *rec)
{
    if (!rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    const MAL_PropertyDesc enabled[] = {VALUE(rec, Enabled)};
    RM_STATUS r = MAL_GetBoolProperties(logical_hba, 1, enabled);
    if (r != RM_STATUS_OK)
        return r;
    node_tag_t options, auth;
    if ((r = child_group(logical_hba, "InitiatorLoginOptions", &options)) != RM_STATUS_OK ||
        (r = child_group(options, "Authentication", &auth)) != RM_STATUS_OK ||
        (r = MAL_GetGroup_Authentication(auth, &rec->Authentication)) != RM_STATUS_OK)
        return r;
    if ((r = MAL_GetGroup_InitiatorDefaultLoginOptions(logical_hba, &rec->DefaultLoginOptions)) != RM_STATUS_OK ||
        (r = MAL_GetGroup_InitiatoriSCSIName(logical_hba, rec)) != RM_STATUS_OK)
        return r;
    if (MAL_GetGroup_iSCSIQoS(logical_hba, &rec->QoS) != RM_STATUS_OK)
        std::memset(&rec->QoS, 0, sizeof rec->QoS);
    if ((r = MAL_GetGroup_LoginOptions(logical_hba, "Initiator", &rec->InitiatorLoginOptions)) != RM_STATUS_OK)
        return r;
    return MAL_GetGroup_LoginOptions(logical_hba, "InitiatorDefault", &rec->DefaultLoginOptions.options);
}

RM_STATUS MAL_GetGroup_iSCSIStatistics(node_tag_t logical_hba, MAL_iSCSIStatistics *rec)
{
    if (!rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t child;
    RM_STATUS r = child_group(logical_hba, "iSCSIStatistics", &child);
    if (r != RM_STATUS_OK)
        return r;
    const MAL_PropertyDesc texts[] = {TEXT(rec, LastFailureType), TEXT(rec, LastSessionFailureType),
                                      TEXT(rec, LastSessionRmtNodeName), TEXT(rec, LastTgtFailureAddr),
                                      TEXT(rec, LastTgtFailureName)};
    if ((r = MAL_GetStringProperties(child, COUNT(texts), texts)) != RM_STATUS_OK)
        return r;
    const MAL_PropertyDesc numbers[] = {
        VALUE(rec, LastFailureTime),     VALUE(rec, LoginAcceptRsps),          VALUE(rec, LoginAuthFailRsps),
        VALUE(rec, LoginAuthFails),      VALUE(rec, LoginFailures),            VALUE(rec, LoginNegoFails),
        VALUE(rec, LoginOtherFailRsps),  VALUE(rec, LoginRedirectRsps),        VALUE(rec, LogoutNormals),
        VALUE(rec, LogoutOthers),        VALUE(rec, NodeCount),                VALUE(rec, NodeRoles),
        VALUE(rec, PortalCount),         VALUE(rec, PortalProtocol),           VALUE(rec, PortalRole),
        VALUE(rec, PortalTag),           VALUE(rec, PortRowStatus),            VALUE(rec, SessionConnectionTimeout),
        VALUE(rec, SessionCount),        VALUE(rec, SessionDigestErrors),      VALUE(rec, SessionFailureCount),
        VALUE(rec, SessionFormatErrors)};
    return MAL_GetIntProperties(child, COUNT(numbers), numbers);
}

RM_STATUS MAL_GetiSCSIStatistics(node_tag_t logical_hba, MAL_iSCSIStatistics *rec)
{
    return MAL_GetGroup_iSCSIStatistics(logical_hba, rec);
}

RM_STATUS MAL_GetGroup_iSCSISessionStatistics(node_tag_t session, MAL_SessionProperties *rec)
{
    if (!rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t child;
    RM_STATUS r = child_group(session, "iSCSISessionStatistics", &child);
    if (r != RM_STATUS_OK)
        return r;
    const MAL_PropertyDesc texts[] = {TEXT(rec, SessionDirection), TEXT(rec, SessionTargetAlias)};
    MAL_GetStringProperties(child, COUNT(texts), texts);
    const MAL_PropertyDesc numbers[] = {VALUE(rec, CmdPdus),          VALUE(rec, RspPdus),
                                        VALUE(rec, TxDataOctetsHigh), VALUE(rec, RxDataOctetsHigh),
                                        VALUE(rec, DigestErrors),     VALUE(rec, CxnTimeoutErrors)};
    MAL_GetIntProperties(child, COUNT(numbers), numbers);
    return RM_STATUS_OK;
}

RM_STATUS MAL_GetGroup_Session(node_tag_t session, MAL_SessionProperties *rec)
{
    if (!rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    const MAL_PropertyDesc texts[] = {TEXT(rec, iSCSIBoot), TEXT(rec, SessionInitiatorName), TEXT(rec, SessionStatus),
                                      TEXT(rec, BootTargetPriority)};
    const MAL_PropertyDesc tsih[] = {VALUE(rec, SessionTSIH)};
    const MAL_PropertyDesc qualifier[] = {VALUE(rec, ISIDQualifier)};
    const MAL_PropertyDesc isid[] = {VALUE(rec, ISID)};
    const MAL_PropertyDesc persistent[] = {VALUE(rec, Persistent)};
    RM_STATUS r;
    if ((r = MAL_GetStringProperties(session, COUNT(texts), texts)) != RM_STATUS_OK ||
        (r = MAL_GetIntProperties(session, 1, tsih)) != RM_STATUS_OK ||
        (r = MAL_GetHexProperties(session, 1, qualifier)) != RM_STATUS_OK ||
        (r = MAL_GetHex64Properties(session, 1, isid)) != RM_STATUS_OK)
        return r;
    return MAL_GetBoolProperties(session, 1, persistent);
}

RM_STATUS MAL_GetGroup_SessionNegotiatedLoginOptions(node_tag_t session, MAL_SessionProperties *rec)
{
    if (!rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t child;
    RM_STATUS r = child_group(session, "SessionNegotiatedLoginOptions", &child);
    if (r != RM_STATUS_OK)
        return r;
    const MAL_PropertyDesc texts[] = {TEXT(rec, ImmediateData), TEXT(rec, InitialR2T)};
    if ((r = MAL_GetStringProperties(child, COUNT(texts), texts)) != RM_STATUS_OK)
        return r;
    const MAL_PropertyDesc numbers[] = {
        VALUE(rec, MaxConnections),     VALUE(rec, MaxOutstandingR2T), VALUE(rec, FirstBurstLength),
        VALUE(rec, MaxBurstLength),     VALUE(rec, DefaultTime2Wait),  VALUE(rec, DefaultTime2Retain),
        VALUE(rec, ErrorRecoveryLevel), VALUE(rec, DataPDUInOrder),    VALUE(rec, DataSequenceInOrder)};
    return MAL_GetIntProperties(child, COUNT(numbers), numbers);
}

RM_STATUS MAL_GetGroup_Connection(node_tag_t session, MAL_ConnectionProperties *rec)
{
    if (!rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t conn;
    RM_STATUS r = child_group(session, "Connection0", &conn);
    if (r != RM_STATUS_OK)
        return r;
    const MAL_PropertyDesc status[] = {TEXT(rec, Status)};
    const MAL_PropertyDesc numbers[] = {VALUE(rec, DestinationPortNumber), VALUE(rec, iSCSIConnectionID),
                                        VALUE(rec, RedirectedDestinationPort), VALUE(rec, SourcePortNumber)};
    if ((r = MAL_GetStringProperties(conn, COUNT(status), status)) != RM_STATUS_OK ||
        (r = MAL_GetIntProperties(conn, COUNT(numbers), numbers)) != RM_STATUS_OK)
        return r;
    bool v4 = address_is_v4(conn, "DestinationIPAddress");
    const char *names[] = {"DestinationIPAddress", "RedirectedDestinationIPAddress", "SourceIPAddress"};
    MAL_AddressRecord *dest[] = {&rec->DestinationIPAddress, &rec->RedirectedDestinationIPAddress,
                                 &rec->SourceIPAddress};
    // The three are read as one table: the result is the last failure.
    RM_STATUS result = RM_STATUS_OK;
    for (int i = 0; i < 3; ++i) {
        r = read_address(conn, names[i], v4, dest[i], &rec->AddressFlags);
        if (r == RM_STATUS_ERROR_ADAPTER_BUSY)
            return r;
        if (r != RM_STATUS_OK)
            result = r;
    }
    return result;
}

RM_STATUS MAL_GetGroup_ConnectionNegotiatedLoginOptions(node_tag_t session, MAL_ConnectionProperties *rec)
{
    if (!rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t conn, child;
    RM_STATUS r;
    if ((r = child_group(session, "Connection0", &conn)) != RM_STATUS_OK ||
        (r = child_group(conn, "ConnectionNegotiatedLoginOptions", &child)) != RM_STATUS_OK)
        return r;
    const MAL_PropertyDesc texts[] = {TEXT(rec, AuthenticationMethod), TEXT(rec, DataDigest), TEXT(rec, HeaderDigest)};
    const MAL_PropertyDesc numbers[] = {VALUE(rec, MaxSendDataSegmentLength), VALUE(rec, TCPMSS)};
    if ((r = MAL_GetStringProperties(child, COUNT(texts), texts)) != RM_STATUS_OK)
        return r;
    return MAL_GetIntProperties(child, COUNT(numbers), numbers);
}

RM_STATUS MAL_GetSessionProperties(node_tag_t session, MAL_SessionProperties *rec)
{
    if (!rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    RM_STATUS r;
    if ((r = MAL_GetGroup_Session(session, rec)) != RM_STATUS_OK ||
        (r = MAL_GetGroup_SessionNegotiatedLoginOptions(session, rec)) != RM_STATUS_OK ||
        (r = MAL_GetGroup_iSCSISessionStatistics(session, rec)) != RM_STATUS_OK ||
        (r = MAL_GetGroup_Connection(session, &rec->Connection)) != RM_STATUS_OK)
        return r;
    return MAL_GetGroup_ConnectionNegotiatedLoginOptions(session, &rec->Connection);
}

RM_STATUS MAL_GetGroup_Target(node_tag_t target, MAL_TargetProperties *rec)
{
    if (!rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    const MAL_PropertyDesc alias[] = {TEXT(rec, TargetAlias)};
    // An alias that cannot be read stays empty and is not reported.
    if (MAL_GetStringProperties(target, 1, alias) != RM_STATUS_OK)
        rec->TargetAlias[0] = '\0';
    const MAL_PropertyDesc name[] = {TEXT(rec, TargetISCSIName)};
    const MAL_PropertyDesc eto[] = {VALUE(rec, ETO)};
    RM_STATUS r = MAL_GetStringProperties(target, 1, name);
    if (r != RM_STATUS_OK)
        return r;
    return MAL_GetIntProperties(target, 1, eto);
}

RM_STATUS MAL_GetGroup_TargetPortal(node_tag_t portal, MAL_TargetPortalProperties *rec)
{
    if (!rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    const MAL_PropertyDesc numbers[] = {VALUE(rec, TargetPortNumber), VALUE(rec, PortalGroupTag)};
    RM_STATUS r = MAL_GetIntProperties(portal, COUNT(numbers), numbers);
    if (r != RM_STATUS_OK)
        return r;
    bool v4 = address_is_v4(portal, "TargetIPAddress");
    return read_address(portal, "TargetIPAddress", v4, &rec->TargetIPAddress, &rec->AddressFlags);
}

RM_STATUS MAL_GetTargetProperties(node_tag_t target, MAL_TargetProperties *rec)
{
    if (!rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    RM_STATUS r;
    node_tag_t options, auth;
    if ((r = MAL_GetGroup_Target(target, rec)) != RM_STATUS_OK ||
        (r = MAL_GetGroup_LoginOptions(target, "Target", &rec->LoginOptions)) != RM_STATUS_OK ||
        (r = child_group(target, "TargetLoginOptions", &options)) != RM_STATUS_OK ||
        (r = child_group(options, "Authentication", &auth)) != RM_STATUS_OK ||
        (r = MAL_GetGroup_Authentication(auth, &rec->Authentication)) != RM_STATUS_OK)
        return r;
    static_assert(MAL_MAX_TAGS == 1024, "enumerations need 1024 entries");
    uint32_t tags[MAL_MAX_TAGS];
    int count = MAL_MAX_TAGS;
    if ((r = MAL_EnumerateTargetSubGroup(target, MAL_TARGET_PORTAL, &count, tags)) != RM_STATUS_OK)
        return r;
    if (count > MAL_TARGET_PORTALS)
        count = MAL_TARGET_PORTALS;
    for (int i = 0; i < count; ++i)
        if ((r = MAL_GetGroup_TargetPortal(static_cast<node_tag_t>(tags[i]), &rec->Portals[i])) != RM_STATUS_OK)
            return r;
    return RM_STATUS_OK;
}

RM_STATUS MAL_GetGroup_SendTargetPortal(node_tag_t portal, MAL_SendTargetPortalProperties *rec)
{
    if (!rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    const MAL_PropertyDesc port[] = {VALUE(rec, PortNumber)};
    RM_STATUS r = MAL_GetIntProperties(portal, 1, port);
    if (r != RM_STATUS_OK)
        return r;
    bool v4 = address_is_v4(portal, "IpAddress");
    if ((r = read_address(portal, "IpAddress", v4, &rec->IpAddress, &rec->AddressFlags)) != RM_STATUS_OK)
        return r;
    const MAL_PropertyDesc mac[] = {TEXT(rec, PortMacAddress)};
    return MAL_GetMacAddrProperties(portal, 1, mac);
}

RM_STATUS MAL_GetSendTargetPortals(node_tag_t logical_hba, int *count, MAL_SendTargetPortalProperties *records)
{
    if (!count || !records)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    if (*count < MAL_TARGET_PORTALS)
        return RM_STATUS_ERROR_ARRAY_TOO_SMALL;
    uint32_t tags[MAL_MAX_TAGS];
    int found = MAL_MAX_TAGS;
    RM_STATUS r = MAL_EnumerateSendTargetPortals(logical_hba, &found, tags);
    if (r != RM_STATUS_OK)
        return r;
    // Never beyond the caller's array.
    if (found > MAL_SEND_TARGET_PORTALS)
        found = MAL_SEND_TARGET_PORTALS;
    if (found > *count)
        found = *count;
    *count = found;
    for (int i = 0; i < found; ++i)
        if ((r = MAL_GetGroup_SendTargetPortal(static_cast<node_tag_t>(tags[i]), &records[i])) != RM_STATUS_OK)
            return r;
    return RM_STATUS_OK;
}

RM_STATUS MAL_GetSendTargetPortalProperties(node_tag_t portal, MAL_SendTargetPortalLoginProperties *rec)
{
    if (!rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    node_tag_t options, auth;
    RM_STATUS r;
    if ((r = child_group(portal, "SendTargetPortalLoginOptions", &options)) != RM_STATUS_OK ||
        (r = child_group(options, "Authentication", &auth)) != RM_STATUS_OK ||
        (r = MAL_GetGroup_Authentication(auth, &rec->Authentication)) != RM_STATUS_OK)
        return r;
    return MAL_GetGroup_LoginOptions(portal, "SendTargetPortal", &rec->LoginOptions);
}

RM_STATUS MAL_GetGroup_LUN(node_tag_t lun, MAL_LUNProperties *rec)
{
    if (!rec)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    const MAL_PropertyDesc boot[] = {VALUE(rec, BootLUN)};
    const MAL_PropertyDesc texts[] = {TEXT(rec, DeviceModelNumber), TEXT(rec, DeviceVendorName), TEXT(rec, LUNNumber),
                                      TEXT(rec, LUNSerialNumber),   TEXT(rec, LUNSize),          TEXT(rec, BlockSize)};
    const MAL_PropertyDesc type[] = {VALUE(rec, LUNType)};
    RM_STATUS r;
    if ((r = MAL_GetBoolProperties(lun, 1, boot)) != RM_STATUS_OK ||
        (r = MAL_GetStringProperties(lun, COUNT(texts), texts)) != RM_STATUS_OK)
        return r;
    return MAL_GetHexProperties(lun, 1, type);
}

RM_STATUS MAL_GetLunProperties(node_tag_t lun, MAL_LUNProperties *rec)
{
    return MAL_GetGroup_LUN(lun, rec);
}
