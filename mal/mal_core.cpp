#include "mal/mal_core.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "flash/engine_log.h"
#include "mgmt/vexo/core/vexo_api.h"

pthread_mutex_t gVexoMutex = PTHREAD_MUTEX_INITIALIZER;

namespace {

// Sizes of the trace texts.
const size_t kShortLine = 256;  // node tag, instances, refresh, start and stop
const size_t kLongLine = 512;   // properties and actions
const size_t kStatusLine = 728; // last status

bool trace_on()
{
    return (Options.LOG_MODE & LOG_MODE_CLIENT_TRACE) != 0;
}

// Appends to a bounded text; what does not fit is cut.
void append(char *buf, size_t size, const char *format, ...) __attribute__((format(printf, 3, 4)));
void append(char *buf, size_t size, const char *format, ...)
{
    size_t used = strnlen(buf, size);
    if (used + 1 >= size)
        return;
    va_list ap;
    va_start(ap, format);
    vsnprintf(buf + used, size - used, format, ap);
    va_end(ap);
}

void write_trace(const char *text)
{
    if (trace_on())
        LogMessage(LogFp, text);
}

RM_STATUS map_status(VEXO_status_t status)
{
    if (status == VEXO_STATUS_SUCCESS)
        return RM_STATUS_OK;
    if (status == VEXO_STATUS_ADAPTER_BUSY)
        return RM_STATUS_ERROR_ADAPTER_BUSY;
    return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
}

// The parameter lines of an action trace (the sixth is never traced).
void append_params(char *buf, size_t size, MAL_ActionParams params)
{
    if (!params)
        return;
    for (int i = 0; i < 5; ++i)
        if (params[i][0] != '\0')
            append(buf, size, "  params[%d]: %.*s\n", i, VEXO_VALUE_SIZE - 1, params[i]);
}

// A terminated copy of a name the library reads; false when it does not fit.
bool copy_name(char out[MAL_VALUE_SIZE], const char *name)
{
    if (!name)
        return false;
    size_t n = strnlen(name, MAL_VALUE_SIZE);
    if (n >= MAL_VALUE_SIZE)
        return false;
    std::memcpy(out, name, n + 1);
    return true;
}

bool capacity_ok(const int *count)
{
    return *count >= MAL_MAX_TAGS;
}

// Lists the instances of `base` below the group reached from `parent`
// through the child groups of `path`, as tags.
RM_STATUS enumerate(node_tag_t parent, const char *const *path, int path_len, bool refresh_last, const char *base,
                    int *count, uint32_t *tags)
{
    node_tag_t group = parent;
    for (int i = 0; i < path_len; ++i) {
        if (!path[i])
            return RM_STATUS_ERROR_INVALID_ARGUMENT;
        node_tag_t child = VEXO_NO_TAG;
        RM_STATUS r = MAL_get_node_tag(group, path[i], &child, MAL_NODE_GROUP);
        if (r != RM_STATUS_OK)
            return r;
        group = child;
    }
    if (refresh_last) {
        RM_STATUS r = MAL_refresh_group(group);
        if (r != RM_STATUS_OK)
            return r;
    }
    // Signed and unsigned views of one integer may alias.
    int *instances = reinterpret_cast<int *>(tags);
    RM_STATUS r = MAL_get_valid_instances(group, base, instances, count);
    if (r != RM_STATUS_OK)
        return r;
    for (int i = 0; i < *count; ++i) {
        char name[MAL_INSTANCE_NAME_SIZE];
        int n = snprintf(name, sizeof name, "%s%d", base, instances[i]);
        if (n < 0 || static_cast<size_t>(n) >= sizeof name)
            return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
        node_tag_t tag = VEXO_NO_TAG;
        r = MAL_get_node_tag(group, name, &tag, MAL_NODE_GROUP);
        if (r != RM_STATUS_OK)
            return r;
        tags[i] = static_cast<uint32_t>(tag);
    }
    return RM_STATUS_OK;
}

// The checks every enumeration makes first: capacity, then the kind.
RM_STATUS enumerate_checked(node_tag_t parent, const char *const *path, int path_len, bool refresh_last,
                            const char *base, int *count, uint32_t *tags)
{
    if (!count || !tags)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    if (!capacity_ok(count))
        return RM_STATUS_ERROR_ARRAY_TOO_SMALL;
    if (!base)
        return RM_STATUS_ERROR_INVALID_VALUE;
    return enumerate(parent, path, path_len, refresh_last, base, count, tags);
}

const char *pick(int kind, const char *const *names, int n)
{
    return (kind >= 0 && kind < n) ? names[kind] : nullptr;
}

} // namespace

int hex_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int MAL_EnterCriticalSection(void)
{
    return pthread_mutex_lock(&gVexoMutex);
}

int MAL_LeaveCriticalSection(void)
{
    return pthread_mutex_unlock(&gVexoMutex);
}

// ---------------------------------------------------------------------------
// Wrappers

RM_STATUS MAL_get_node_tag(node_tag_t parent, const char *name, node_tag_t *tag, int type)
{
    char line[kShortLine] = "";
    if (trace_on())
        append(line, sizeof line, "get_node_tag:     parent=%d, name=%s, type=%d: ", parent, name ? name : "(null)",
               type);
    char local[MAL_VALUE_SIZE];
    bool usable = copy_name(local, name);
    node_tag_t found = VEXO_NO_TAG;
    MAL_EnterCriticalSection();
    VEXO_status_t status = usable ? VEXO_get_node_tag(parent, local, &found, type) : VEXO_STATUS_FAILURE;
    MAL_LeaveCriticalSection();
    if (status == VEXO_STATUS_SUCCESS && tag)
        *tag = found;
    if (trace_on()) {
        if (status == VEXO_STATUS_SUCCESS)
            append(line, sizeof line, "tag=%d\n", found);
        else
            append(line, sizeof line, "ERROR: status=%d\n", status);
        write_trace(line);
    }
    if (status != VEXO_STATUS_SUCCESS)
        MAL_ProcessVexoStatus(status);
    if (!tag)
        return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
    // The library takes no adapter lock here, so every failure is 114.
    return status == VEXO_STATUS_SUCCESS ? RM_STATUS_OK : RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
}

RM_STATUS MAL_get_property_val(node_tag_t parent, node_tag_t tag, char *value, int len)
{
    char line[kLongLine] = "";
    if (trace_on())
        append(line, sizeof line, "get_property_val: parent=%d, tag=%d:  ", parent, tag);
    MAL_EnterCriticalSection();
    VEXO_status_t status = VEXO_get_property_val(parent, tag, value, len);
    MAL_LeaveCriticalSection();
    if (trace_on()) {
        if (status == VEXO_STATUS_SUCCESS)
            append(line, sizeof line, "val=%.*s\n", VEXO_VALUE_SIZE - 1, value);
        else
            append(line, sizeof line, "ERROR: status=%d\n", status);
        write_trace(line);
    }
    if (status != VEXO_STATUS_SUCCESS)
        MAL_ProcessVexoStatus(status);
    return map_status(status);
}

RM_STATUS MAL_get_valid_instances(node_tag_t parent, const char *name, int *instances, int *count)
{
    char line[kShortLine] = "";
    if (trace_on())
        append(line, sizeof line, "get_valid_inst:   parent=%d, name=%s:  ", parent, name ? name : "(null)");
    char local[MAL_VALUE_SIZE];
    bool usable = copy_name(local, name);
    MAL_EnterCriticalSection();
    VEXO_status_t status =
        usable ? VEXO_get_valid_instances(parent, local, instances, count) : VEXO_STATUS_FAILURE;
    MAL_LeaveCriticalSection();
    if (trace_on()) {
        if (status == VEXO_STATUS_SUCCESS)
            append(line, sizeof line, "count=%d\n", *count);
        else
            append(line, sizeof line, "ERROR: status=%d\n", status);
        write_trace(line);
    }
    if (status != VEXO_STATUS_SUCCESS)
        MAL_ProcessVexoStatus(status);
    return status == VEXO_STATUS_SUCCESS ? RM_STATUS_OK : RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
}

RM_STATUS MAL_refresh_group(node_tag_t group)
{
    char line[kShortLine] = "";
    if (trace_on())
        append(line, sizeof line, "refresh_group:    group=%d: ", group);
    MAL_EnterCriticalSection();
    VEXO_status_t status = VEXO_refresh_group(group);
    MAL_LeaveCriticalSection();
    if (trace_on()) {
        if (status == VEXO_STATUS_SUCCESS)
            append(line, sizeof line, "OK\n");
        else
            append(line, sizeof line, "ERROR: status=%d\n", status);
        write_trace(line);
    }
    if (status != VEXO_STATUS_SUCCESS)
        MAL_ProcessVexoStatus(status);
    return map_status(status);
}

RM_STATUS MAL_set_property_val(node_tag_t parent, node_tag_t tag, const char *value, int len)
{
    char line[kLongLine] = "";
    if (trace_on())
        append(line, sizeof line, "set_property_val: parent=%d, tag=%d, val=%.*s, len=%d:  ", parent, tag,
               VEXO_VALUE_SIZE - 1, value ? value : "(null)", len);
    // The library reads the value from a buffer of its own size; a text that
    // does not end within it reaches the library unterminated and is refused
    // there with its own message.
    char local[VEXO_VALUE_SIZE];
    char *arg = nullptr;
    if (value) {
        size_t n = strnlen(value, sizeof local);
        std::memcpy(local, value, n < sizeof local ? n + 1 : sizeof local);
        arg = local;
    }
    MAL_EnterCriticalSection();
    VEXO_status_t status = VEXO_set_property_val(parent, tag, arg, len);
    MAL_LeaveCriticalSection();
    if (trace_on()) {
        if (status == VEXO_STATUS_SUCCESS)
            append(line, sizeof line, "OK\n");
        else
            append(line, sizeof line, "ERROR: status=%d\n", status);
        write_trace(line);
    }
    if (status != VEXO_STATUS_SUCCESS)
        MAL_ProcessVexoStatus(status);
    return map_status(status);
}

int32_t MAL_do_action(node_tag_t context, node_tag_t action, MAL_ActionParams params, node_tag_t *new_tags,
                      int pass_through)
{
    char text[kLongLine] = "";
    if (trace_on()) {
        append(text, sizeof text, "do_action:        parent=%d, action=%d:  \n", context, action);
        append_params(text, sizeof text, params);
    }
    MAL_EnterCriticalSection();
    VEXO_status_t status = VEXO_do_action(context, action, params, new_tags);
    MAL_LeaveCriticalSection();
    if (trace_on()) {
        if (status == VEXO_STATUS_SUCCESS)
            append(text, sizeof text, "OK\n");
        else
            append(text, sizeof text, "ERROR: status=%d\n", status);
        write_trace(text);
    }
    if (status != VEXO_STATUS_SUCCESS)
        MAL_ProcessVexoStatus(status);
    if (status == VEXO_STATUS_SUCCESS || status == VEXO_STATUS_ADAPTER_BUSY || !pass_through)
        return map_status(status);
    return status;
}

int32_t MAL_do_action_with_status(node_tag_t context, node_tag_t action, MAL_ActionParams params,
                                  node_tag_t *new_tags, VEXO_status_t *status_code, char *status_text)
{
    VEXO_status_t local_code = VEXO_STATUS_SUCCESS;
    char local_text[MAL_STATUS_TEXT_SIZE] = "";
    if (!status_code)
        status_code = &local_code;
    if (!status_text)
        status_text = local_text;

    char first[kLongLine] = "";
    if (trace_on()) {
        append(first, sizeof first, "do_action_with_status:        parent=%d, action=%d:  \n", context, action);
        append_params(first, sizeof first, params);
    }
    MAL_EnterCriticalSection();
    VEXO_status_t status = VEXO_do_action(context, action, params, new_tags);
    VEXO_status_t read = VEXO_get_last_status(status_code, status_text);
    MAL_LeaveCriticalSection();
    if (read != VEXO_STATUS_SUCCESS)
        *status_code = static_cast<VEXO_status_t>(-1);
    if (trace_on()) {
        if (status == VEXO_STATUS_SUCCESS)
            append(first, sizeof first, "  VEXO_do_action: OK\n");
        else
            append(first, sizeof first, "  VEXO_do_action: ERROR: status=%d\n", status);
        write_trace(first);
        char second[kLongLine] = "";
        if (read == VEXO_STATUS_SUCCESS)
            append(second, sizeof second, "  VEXO_get_last_status: OK\n");
        else
            append(second, sizeof second, "  VEXO_get_last_status: ERROR: status=%d\n", read);
        append(second, sizeof second, "  status_code = %d\n", *status_code);
        append(second, sizeof second, "  status_string = %.*s\n", MAL_STATUS_TEXT_SIZE - 1, status_text);
        write_trace(second);
    }
    if (status == VEXO_STATUS_SUCCESS || status == VEXO_STATUS_ADAPTER_BUSY)
        return map_status(status);
    return status;
}

VEXO_status_t MAL_get_last_status(VEXO_status_t *status_code, char *status_text)
{
    VEXO_status_t local_code = VEXO_STATUS_SUCCESS;
    char local_text[MAL_STATUS_TEXT_SIZE] = "";
    if (!status_code)
        status_code = &local_code;
    if (!status_text)
        status_text = local_text;
    char line[kStatusLine] = "";
    if (trace_on())
        append(line, sizeof line, "get_last_status: ");
    MAL_EnterCriticalSection();
    VEXO_status_t status = VEXO_get_last_status(status_code, status_text);
    MAL_LeaveCriticalSection();
    if (trace_on()) {
        if (status == VEXO_STATUS_SUCCESS)
            append(line, sizeof line, "string=%.*s\n", MAL_STATUS_TEXT_SIZE - 1, status_text);
        else
            append(line, sizeof line, "ERROR: status=%d\n", status);
        write_trace(line);
    }
    return status;
}

VEXO_status_t MAL_ProcessVexoStatus(VEXO_status_t status)
{
    if (status != VEXO_STATUS_SUCCESS) {
        VEXO_status_t code = VEXO_STATUS_SUCCESS;
        char text[MAL_STATUS_TEXT_SIZE];
        MAL_get_last_status(&code, text);
    }
    return status;
}

// ---------------------------------------------------------------------------
// Start and stop

RM_STATUS MAL_VEXO_Init(char *service_version, char *hierarchy_version)
{
    // gVexoMutex is ready from load on; nothing to prepare.
    MAL_EnterCriticalSection();
    VEXO_status_t status = VEXO_init();
    MAL_LeaveCriticalSection();
    if (trace_on()) {
        char line[kShortLine] = "MAL_VEXO_init:\n";
        if (status == VEXO_STATUS_SUCCESS)
            append(line, sizeof line, "OK\n");
        else
            append(line, sizeof line, "ERROR: VEXO_init: status=%d\n", status);
        write_trace(line);
    }
    if (status != VEXO_STATUS_SUCCESS)
        return map_status(status);

    char values[2][MAL_VALUE_SIZE];
    const char *names[2] = {"VEXOServiceVersion", "VEXOHierarchyVersion"};
    for (int i = 0; i < 2; ++i) {
        node_tag_t tag = VEXO_NO_TAG;
        RM_STATUS r = MAL_get_node_tag(0, names[i], &tag, MAL_NODE_PROPERTY);
        if (r != RM_STATUS_OK)
            return r;
        std::memset(values[i], 0, sizeof values[i]);
        r = MAL_get_property_val(0, tag, values[i], MAL_VALUE_SIZE);
        if (r != RM_STATUS_OK)
            return r;
    }
    if (!service_version || !hierarchy_version)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    snprintf(service_version, MAL_VALUE_SIZE, "%s", values[0]);
    snprintf(hierarchy_version, MAL_VALUE_SIZE, "%s", values[1]);
    return RM_STATUS_OK;
}

RM_STATUS MAL_VEXO_Exit(void)
{
    write_trace("MAL_VEXO_exit:\n");
    MAL_EnterCriticalSection();
    VEXO_status_t status = VEXO_exit();
    MAL_LeaveCriticalSection();
    // The mutex stays: another thread may be waiting on it right now.
    if (trace_on()) {
        char line[kShortLine] = "";
        if (status == VEXO_STATUS_SUCCESS)
            append(line, sizeof line, "OK\n");
        else
            append(line, sizeof line, "ERROR: VEXO_exit: status=%d\n", status);
        write_trace(line);
    }
    return status == VEXO_STATUS_SUCCESS ? RM_STATUS_OK : RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
}

// ---------------------------------------------------------------------------
// Enumerations

RM_STATUS MAL_EnumerateArcwrights(int *count, uint32_t *tags)
{
    return enumerate_checked(0, nullptr, 0, false, "Arcwright", count, tags);
}

RM_STATUS MAL_EnumerateHbas(node_tag_t adapter, int kind, int *count, uint32_t *tags)
{
    static const char *const kNames[] = {"PortDiscoveryAndConfiguration", "NICPhysicalHBA", "iSCSIPhysicalHBA",
                                         "LogicalHBA"};
    return enumerate_checked(adapter, nullptr, 0, false, pick(kind, kNames, 4), count, tags);
}

RM_STATUS MAL_EnumerateTargets(node_tag_t logical_hba, int *count, uint32_t *tags)
{
    return enumerate_checked(logical_hba, nullptr, 0, false, "Target", count, tags);
}

RM_STATUS MAL_EnumerateTargetSubGroup(node_tag_t target, int kind, int *count, uint32_t *tags)
{
    static const char *const kNames[] = {"TargetPortal", "Session", "LUN"};
    return enumerate_checked(target, nullptr, 0, false, pick(kind, kNames, 3), count, tags);
}

RM_STATUS MAL_EnumerateSendTargetPortals(node_tag_t logical_hba, int *count, uint32_t *tags)
{
    static const char *const kPath[] = {"Discovery"};
    return enumerate_checked(logical_hba, kPath, 1, false, "SendTargetPortal", count, tags);
}

RM_STATUS MAL_EnumerateExtFatModules(node_tag_t adapter, int *count, uint32_t *tags)
{
    static const char *const kPath[] = {"ExtFATData"};
    return enumerate_checked(adapter, kPath, 1, false, "ExtFATModule", count, tags);
}

RM_STATUS MAL_EnumerateChannels(node_tag_t port, int *count, uint32_t *tags)
{
    static const char *const kPath[] = {"ChannelManagement"};
    return enumerate_checked(port, kPath, 1, true, "Channel", count, tags);
}

RM_STATUS MAL_EnumerateProfiles(node_tag_t adapter, int *count, uint32_t *tags)
{
    static const char *const kPath[] = {"ProfileManagement"};
    return enumerate_checked(adapter, kPath, 1, false, "Profile", count, tags);
}

RM_STATUS MAL_EnumerateProtocols(node_tag_t profile, int *count, uint32_t *tags)
{
    return enumerate_checked(profile, nullptr, 0, false, "Protocol", count, tags);
}

RM_STATUS MAL_EnumeratePMPorts(node_tag_t adapter, const char *profile_group, int *count, uint32_t *tags)
{
    const char *path[] = {"ProfileManagement", profile_group};
    return enumerate_checked(adapter, path, 2, false, "Port", count, tags);
}

RM_STATUS MAL_EnumeratePMPortFunctions(node_tag_t port, int *count, uint32_t *tags)
{
    return enumerate_checked(port, nullptr, 0, false, "Function", count, tags);
}

RM_STATUS MAL_TagToInstance(node_tag_t parent, const char *base_name, node_tag_t tag, int *instance)
{
    if (!base_name || !instance)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    int instances[MAL_MAX_TAGS];
    int count = MAL_MAX_TAGS;
    if (MAL_get_valid_instances(parent, base_name, instances, &count) != RM_STATUS_OK)
        return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
    for (int i = 0; i < count && i < MAL_MAX_TAGS; ++i) {
        char name[MAL_INSTANCE_NAME_SIZE];
        int n = snprintf(name, sizeof name, "%s%d", base_name, instances[i]);
        if (n < 0 || static_cast<size_t>(n) >= sizeof name)
            return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
        node_tag_t found = VEXO_NO_TAG;
        if (MAL_get_node_tag(parent, name, &found, MAL_NODE_GROUP) != RM_STATUS_OK)
            return RM_STATUS_ERROR_MANAGEMENT_LIBRARY;
        if (found == tag) {
            *instance = instances[i];
            return RM_STATUS_OK;
        }
    }
    return RM_STATUS_ERROR_INVALID_VALUE;
}

// ---------------------------------------------------------------------------
// Conversions

RM_STATUS MAL_StrToByteArray(uint8_t *bytes, const char *text, uint32_t *length)
{
    if (!bytes || !text || !length || *length > MAL_MAX_BYTE_ARRAY)
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    size_t chars = std::strlen(text);
    size_t needed = chars / 2 + chars % 2;
    if (needed > *length) {
        *length = static_cast<uint32_t>(needed > UINT32_MAX ? UINT32_MAX : needed);
        return RM_STATUS_ERROR_BUFFER_TOO_SMALL;
    }
    for (size_t i = 0; i < needed; ++i) {
        char pair[3] = {text[2 * i], '\0', '\0'};
        if (2 * i + 1 < chars)
            pair[1] = text[2 * i + 1];
        bytes[i] = static_cast<uint8_t>(std::strtoul(pair, nullptr, 16) & 0xFF);
    }
    *length = static_cast<uint32_t>(needed);
    return RM_STATUS_OK;
}

void MAL_IPv6_StrToBin(char *text, uint8_t address[16])
{
    if (!address)
        return;
    std::memset(address, 0, 16);
    if (!text || std::strlen(text) < 3)
        return;

    size_t len = 0;
    while (text[len] == ':' || hex_value(text[len]) >= 0)
        ++len;
    text[len] = '\0';

    // Colons, and the number of groups written before the double colon.
    int colons = 0;
    int pieces = 0;
    int double_at = -1;
    for (size_t i = 0; i < len; ++i) {
        if (text[i] != ':') {
            if (i == 0 || text[i - 1] == ':')
                ++pieces;
            continue;
        }
        ++colons;
        if (i + 1 < len && text[i + 1] == ':') {
            if (double_at >= 0)
                return; // a second double colon
            double_at = pieces;
        }
    }
    if (colons > 7 || (double_at < 0 && colons != 7))
        return;

    int group = 0;
    int placed = 0;
    size_t i = 0;
    while (i < len && group < 8) {
        if (text[i] == ':') {
            ++i;
            continue;
        }
        size_t start = i;
        while (i < len && text[i] != ':')
            ++i;
        size_t width = i - start;
        if (width > 4) {
            std::memset(address, 0, 16);
            return;
        }
        if (group == double_at) {
            int ahead = 8 - (pieces - placed);
            if (ahead > group)
                group = ahead;
            double_at = -1;
        }
        unsigned value = 0;
        for (size_t k = start; k < i; ++k)
            value = value * 16 + static_cast<unsigned>(hex_value(text[k]));
        address[2 * group] = static_cast<uint8_t>(value >> 8);
        address[2 * group + 1] = static_cast<uint8_t>(value & 0xFF);
        ++group;
        ++placed;
    }
}

bool isIpAddressAllZeros(const uint8_t address[4])
{
    return address[0] == 0 && address[1] == 0 && address[2] == 0 && address[3] == 0;
}

bool isIpv6AddressAllZeros(const uint8_t address[16])
{
    for (int i = 0; i < 16; ++i)
        if (address[i] != 0)
            return false;
    return true;
}

bool isNewIpAddress(const uint8_t address[4])
{
    bool ones = address[0] == 0xFF && address[1] == 0xFF && address[2] == 0xFF && address[3] == 0xFF;
    return !isIpAddressAllZeros(address) && !ones;
}

bool isNewIpv6Address(const uint8_t address[16])
{
    bool zeros = true;
    bool ones = true;
    for (int i = 0; i < 16; ++i) {
        zeros = zeros && address[i] == 0x00;
        ones = ones && address[i] == 0xFF;
    }
    return !zeros && !ones;
}

bool isNewMacAddress(const uint8_t mac[6])
{
    bool zeros = true;
    bool ones = true;
    for (int i = 0; i < 6; ++i) {
        zeros = zeros && mac[i] == 0x00;
        ones = ones && mac[i] == 0xFF;
    }
    return !zeros && !ones;
}

bool IsIpv4(const char *text)
{
    if (!text)
        return false;
    int dots = 0;
    int digits = 0;
    for (const char *p = text; *p; ++p) {
        if (std::isdigit(static_cast<unsigned char>(*p))) {
            if (++digits >= 4)
                break;
        } else if (*p == '.') {
            digits = 0;
            if (++dots >= 4)
                break;
        } else {
            return false;
        }
    }
    return dots == 3;
}
