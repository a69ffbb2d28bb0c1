#include "mal/mal_readers.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <strings.h>

#include "mal/mal_core.h"
#include "mal/mal_ops_util.h"

using mal_ops::read_text;

namespace {

const char kNotAvailable[] = "Not Available";

bool usable_table(int count, const MAL_PropertyDesc *table)
{
    return count <= 0 || table;
}

// `word` starts with `name` (a name that is a leading part of the word).
bool name_leads(const char *name, const char *word)
{
    return std::strncmp(word, name, std::strlen(name)) == 0;
}

// Decimal text in the manner of atoi, held within the destination's range.
long long decimal(const char *text, long long lo, long long hi)
{
    long long v = std::strtoll(text, nullptr, 10);
    if (v < lo)
        return lo;
    if (v > hi)
        return hi;
    return v;
}

bool not_available_text(const char *text)
{
    return text[0] == 'N' && text[1] == '/';
}

bool is_timeout_name(const char *name)
{
    return std::strcmp(name, "ETO") == 0 || std::strcmp(name, "DefaultETO") == 0;
}

// Splits `text` in place at any of `separators`, skipping empty pieces; at
// most `max` pieces. Answers the number of pieces.
int split(char *text, const char *separators, char **pieces, int max)
{
    int n = 0;
    char *save = nullptr;
    for (char *p = strtok_r(text, separators, &save); p && n < max; p = strtok_r(nullptr, separators, &save))
        pieces[n++] = p;
    return n;
}

void read_ip(const char *value, uint8_t out[4])
{
    std::memset(out, 0, 4);
    if (value[0] == '\0' || strcasecmp(value, "n/a") == 0 || value[0] < '0' || value[0] > '9')
        return;
    char copy[MAL_VALUE_SIZE];
    std::snprintf(copy, sizeof copy, "%s", value);
    char *parts[4];
    if (split(copy, ".", parts, 4) < 4)
        return;
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<uint8_t>(decimal(parts[i], INT_MIN, INT_MAX) & 0xFF);
}

} // namespace

RM_STATUS MAL_GetBoolProperties(node_tag_t group, int count, const MAL_PropertyDesc *table)
{
    if (!usable_table(count, table))
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    for (int i = 0; i < count; ++i) {
        int32_t *dest = static_cast<int32_t *>(table[i].value);
        if (!dest || !table[i].name)
            continue;
        *dest = 2;
        char value[MAL_VALUE_SIZE];
        RM_STATUS r = read_text(group, table[i].name, value);
        if (r == RM_STATUS_ERROR_ADAPTER_BUSY)
            return r;
        if (r != RM_STATUS_OK)
            continue;
        if (!strcasecmp(value, "yes") || !strcasecmp(value, "enabled") || !strcasecmp(value, "true") ||
            !strcasecmp(value, "CEE"))
            *dest = 1;
        else if (!strcasecmp(value, "no") || !strcasecmp(value, "disabled") || !strcasecmp(value, "false") ||
                 !strcasecmp(value, "CIN"))
            *dest = 0;
    }
    return RM_STATUS_OK;
}

namespace {

// The loop the typed readers share: every entry's property is read; a busy
// adapter ends the table at once; a failed read stores the reader's failure
// value and is remembered; an entry without a destination or name is refused.
template <typename T, typename Fail, typename Store>
RM_STATUS read_table(node_tag_t group, int count, const MAL_PropertyDesc *table, Fail fail, Store store)
{
    if (!usable_table(count, table))
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    RM_STATUS last = RM_STATUS_OK;
    for (int i = 0; i < count; ++i) {
        T *dest = static_cast<T *>(table[i].value);
        if (!dest || !table[i].name) {
            last = RM_STATUS_ERROR_INVALID_ARGUMENT;
            continue;
        }
        char value[MAL_VALUE_SIZE];
        RM_STATUS r = read_text(group, table[i].name, value);
        if (r == RM_STATUS_ERROR_ADAPTER_BUSY)
            return r;
        if (r != RM_STATUS_OK) {
            fail(dest);
            last = r;
            continue;
        }
        store(dest, value, table[i].name);
    }
    return last;
}

// Decimal readers of one width; a value that cannot be read stores 0, "N/A"
// stores 0 (0x0FFFFFFF for time-outs).
template <typename T> RM_STATUS read_decimals(node_tag_t group, int count, const MAL_PropertyDesc *table)
{
    return read_table<T>(
        group, count, table, [](T *dest) { *dest = 0; },
        [](T *dest, char *value, const char *name) {
            if (not_available_text(value))
                *dest = is_timeout_name(name) ? 0x0FFFFFFF : 0;
            else
                *dest = static_cast<T>(
                    decimal(value, std::numeric_limits<T>::min(), std::numeric_limits<T>::max()));
        });
}

} // namespace

RM_STATUS MAL_GetHexProperties(node_tag_t group, int count, const MAL_PropertyDesc *table)
{
    return read_table<uint32_t>(
        group, count, table, [](uint32_t *dest) { *dest = 0; },
        [](uint32_t *dest, char *value, const char *) {
            unsigned int v = 0;
            if (std::sscanf(value, "%x", &v) == 1)
                *dest = v;
        });
}

RM_STATUS MAL_GetHex64Properties(node_tag_t group, int count, const MAL_PropertyDesc *table)
{
    return read_table<uint64_t>(
        group, count, table, [](uint64_t *dest) { *dest = 0; },
        [](uint64_t *dest, char *value, const char *) {
            unsigned long long v = 0;
            if (std::sscanf(value, "%llx", &v) == 1)
                *dest = v;
        });
}

RM_STATUS MAL_GetIntProperties(node_tag_t group, int count, const MAL_PropertyDesc *table)
{
    return read_decimals<int32_t>(group, count, table);
}

RM_STATUS MAL_GetInt64Properties(node_tag_t group, int count, const MAL_PropertyDesc *table)
{
    return read_decimals<int64_t>(group, count, table);
}

RM_STATUS MAL_GetIpAddrProperties(node_tag_t group, int count, const MAL_PropertyDesc *table)
{
    return read_table<uint8_t>(
        group, count, table, [](uint8_t *dest) { std::memset(dest, 0, 4); },
        [](uint8_t *dest, char *value, const char *) { read_ip(value, dest); });
}

RM_STATUS MAL_GetIpV6AddrProperties(node_tag_t group, int count, const MAL_PropertyDesc *table)
{
    return read_table<MAL_IPv6Address>(
        group, count, table,
        [](MAL_IPv6Address *dest) { std::snprintf(dest->text, sizeof dest->text, "%s", kNotAvailable); },
        [](MAL_IPv6Address *dest, char *value, const char *) {
            std::snprintf(dest->text, sizeof dest->text, "%.*s", MAL_IPV6_TEXT_SIZE - 1, value);
            // The converter cuts its text; the field keeps the value as read.
            MAL_IPv6_StrToBin(value, dest->address);
            if (isIpv6AddressAllZeros(dest->address))
                std::snprintf(dest->text, sizeof dest->text, "%s", kNotAvailable);
        });
}

RM_STATUS MAL_GetMacAddrProperties(node_tag_t group, int count, const MAL_PropertyDesc *table)
{
    if (!usable_table(count, table))
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    RM_STATUS last = RM_STATUS_OK;
    for (int i = 0; i < count; ++i) {
        uint8_t *dest = static_cast<uint8_t *>(table[i].value);
        if (!dest || !table[i].name) {
            last = RM_STATUS_ERROR_INVALID_ARGUMENT;
            continue;
        }
        char value[MAL_VALUE_SIZE];
        RM_STATUS r = read_text(group, table[i].name, value);
        if (r != RM_STATUS_OK) {
            // Busy counts like any other failure here. The current address
            // is optional: its failure alone is not reported.
            std::memset(dest, 0, 6);
            if (!name_leads(table[i].name, "MACAddress"))
                last = r;
            continue;
        }
        char *parts[6];
        int n = split(value, "-:", parts, 6);
        for (int k = 0; k < n; ++k) {
            unsigned int byte = 0;
            // A part without a leading hexadecimal digit gives 0.
            if (std::sscanf(parts[k], "%2x", &byte) != 1)
                byte = 0;
            dest[k] = static_cast<uint8_t>(byte);
        }
        if (n < 6)
            return RM_STATUS_ERROR;
    }
    return last;
}

RM_STATUS MAL_GetStringProperties(node_tag_t group, int count, const MAL_PropertyDesc *table)
{
    if (!usable_table(count, table))
        return RM_STATUS_ERROR_INVALID_ARGUMENT;
    static const char *const kSizeWords[] = {"LUNSize", "BlockSize", "PortSpeed", "PortMaxSpeed"};
    RM_STATUS last = RM_STATUS_OK;
    for (int i = 0; i < count; ++i) {
        char *dest = static_cast<char *>(table[i].value);
        uint32_t size = table[i].size;
        if (!dest || !table[i].name || size == 0) {
            last = RM_STATUS_ERROR_INVALID_ARGUMENT;
            continue;
        }
        char value[MAL_VALUE_SIZE];
        RM_STATUS r = read_text(group, table[i].name, value);
        if (r == RM_STATUS_ERROR_ADAPTER_BUSY)
            return r;
        if (r == RM_STATUS_OK) {
            std::snprintf(dest, size, "%s", value);
            continue;
        }
        const char *name = table[i].name;
        bool size_word = false;
        for (const char *w : kSizeWords)
            size_word = size_word || name_leads(name, w);
        if (name_leads(name, "LogicalLinkStatus")) {
            std::snprintf(dest, size, "%s", "n/a");
        } else if (size_word) {
            std::snprintf(dest, size, "%s", kNotAvailable);
        } else {
            dest[0] = '\0';
            last = r;
        }
    }
    return last;
}
