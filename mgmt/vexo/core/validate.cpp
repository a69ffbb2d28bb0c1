#include "mgmt/vexo/core/validate.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "mgmt/vexo/core/hm_types.h"

namespace {

const size_t kIpv4MaxLen = 15;
const int kIpv6Groups = 8;
const size_t kIpv6TextLen = 39;

// Reads a decimal number as the standard ASCII-to-integer conversion does
// (white space, sign, digits; no digits gives 0), saturating instead of
// overflowing.
long read_decimal(const char *s)
{
    while (std::isspace(static_cast<unsigned char>(*s)))
        ++s;
    bool negative = false;
    if (*s == '+' || *s == '-')
        negative = *s++ == '-';
    long v = 0;
    while (std::isdigit(static_cast<unsigned char>(*s))) {
        if (v < 100000)
            v = v * 10 + (*s - '0');
        ++s;
    }
    return negative ? -v : v;
}

// Appends one IPv6 group of `n` (0 to 4) digits, right-aligned in four with
// '0', after a ':' unless it is the first; the new length of `out`.
size_t put_group(char *out, size_t pos, const char *digits, size_t n)
{
    if (pos > 0)
        out[pos++] = ':';
    for (size_t z = n; z < 4; ++z)
        out[pos++] = '0';
    std::memcpy(out + pos, digits, n);
    return pos + n;
}

} // namespace

VEXO_status_t vexo_validate_val_string(const char *value, int min, int max)
{
    if (!value)
        return VEXO_STATUS_INVALID_VALUE;
    long len = static_cast<long>(std::strlen(value));
    if (len < min || len > max)
        return VEXO_STATUS_INVALID_SIZE;
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t vexo_validate_val_integer(const char *value, int min, int max)
{
    if (!value || value[0] == '\0')
        return VEXO_STATUS_INVALID_VALUE;
    errno = 0;
    char *end = nullptr;
    long long v = std::strtoll(value, &end, 0);
    if (end == value || *end != '\0')
        return VEXO_STATUS_INVALID_VALUE;
    if (errno == ERANGE || v < INT32_MIN || v > INT32_MAX)
        return VEXO_STATUS_VALUE_OUT_OF_RANGE;
    if (v < min || v > max)
        return VEXO_STATUS_VALUE_OUT_OF_RANGE;
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t vexo_validate_ipv6(char *value)
{
    if (!value || value[0] == '\0')
        return VEXO_STATUS_INVALID_VALUE;

    // Pieces between the colons: start and length of each.
    size_t starts[VEXO_VALUE_SIZE];
    size_t lens[VEXO_VALUE_SIZE];
    size_t count = 0;
    size_t start = 0;
    size_t i = 0;
    for (;; ++i) {
        char c = value[i];
        if (c >= 'a' && c <= 'z')
            value[i] = c = static_cast<char>(c - 'a' + 'A');
        if (c != '\0' && c != ':' && !std::isxdigit(static_cast<unsigned char>(c)))
            return VEXO_STATUS_INVALID_VALUE;
        if (c == ':' || c == '\0') {
            if (count >= VEXO_VALUE_SIZE || i - start > 4)
                return VEXO_STATUS_INVALID_VALUE;
            starts[count] = start;
            lens[count] = i - start;
            ++count;
            start = i + 1;
        }
        if (c == '\0')
            break;
    }
    if (lens[0] == 0)
        return VEXO_STATUS_INVALID_VALUE; // cannot open with the compression

    // An empty piece between two colons marks the compression; an empty last
    // piece stands for the group 0000.
    int marker = -1;
    for (size_t k = 1; k + 1 < count; ++k) {
        if (lens[k] != 0)
            continue;
        if (marker >= 0)
            return VEXO_STATUS_INVALID_VALUE;
        marker = static_cast<int>(k);
    }
    size_t others = marker >= 0 ? count - 1 : count;
    if (marker < 0 ? others != kIpv6Groups : others > kIpv6Groups - 1)
        return VEXO_STATUS_INVALID_VALUE;

    char out[kIpv6TextLen + 1];
    size_t pos = 0;
    for (size_t k = 0; k < count; ++k) {
        size_t groups = static_cast<int>(k) == marker ? kIpv6Groups - others : 1;
        for (size_t g = 0; g < groups; ++g)
            pos = put_group(out, pos, value + starts[k], static_cast<int>(k) == marker ? 0 : lens[k]);
    }
    out[pos] = '\0';
    std::memcpy(value, out, pos + 1);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t vexo_validate_ip(char *value)
{
    if (!value)
        return VEXO_STATUS_INVALID_VALUE;
    size_t len = std::strlen(value);
    if (std::strchr(value, ':') && len > 2)
        return vexo_validate_ipv6(value);
    if (len > kIpv4MaxLen)
        return VEXO_STATUS_INVALID_VALUE;

    long part[4];
    const char *p = value;
    for (int k = 0; k < 4; ++k) {
        char *end = nullptr;
        part[k] = std::strtol(p, &end, 10);
        if (part[k] < 0 || part[k] > 255)
            return VEXO_STATUS_INVALID_VALUE;
        if (k < 3) {
            if (*end != '.')
                return VEXO_STATUS_INVALID_VALUE;
            p = end + 1;
        } else if (*end != '\0') {
            return VEXO_STATUS_INVALID_VALUE;
        }
    }
    if ((part[0] == 0 && part[1] == 0 && part[2] == 0 && part[3] == 0) || part[0] == 127 || part[0] == 255)
        return VEXO_STATUS_INVALID_VALUE;
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t vexo_validate_subnetmask(const char *value)
{
    if (!value || std::strlen(value) > kIpv4MaxLen)
        return VEXO_STATUS_INVALID_VALUE;
    long part[4];
    int count = 0;
    const char *p = value;
    for (;;) {
        if (count == 4)
            return VEXO_STATUS_INVALID_VALUE;
        long v = read_decimal(p);
        if (v < 0 || v > 255)
            return VEXO_STATUS_INVALID_VALUE;
        part[count++] = v;
        const char *dot = std::strchr(p, '.');
        if (!dot)
            break;
        p = dot + 1;
    }
    if (count != 4)
        return VEXO_STATUS_INVALID_VALUE;
    uint32_t mask = static_cast<uint32_t>(part[0]) << 24 | static_cast<uint32_t>(part[1]) << 16 |
                    static_cast<uint32_t>(part[2]) << 8 | static_cast<uint32_t>(part[3]);
    if (mask == 0)
        return VEXO_STATUS_INVALID_VALUE;
    uint32_t inv = ~mask; // ones below the mask's last one bit, and nothing else
    if ((inv & (inv + 1u)) != 0)
        return VEXO_STATUS_INVALID_VALUE;
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t vexo_validate_list(const char *value, const char *list)
{
    if (!value || !list)
        return VEXO_STATUS_INVALID_VALUE;
    size_t vlen = std::strlen(value);
    const char *entry = list;
    for (;;) {
        size_t n = std::strcspn(entry, ",");
        if (n == vlen && strncasecmp(entry, value, n) == 0)
            return VEXO_STATUS_SUCCESS;
        if (entry[n] == '\0')
            return VEXO_STATUS_INVALID_VALUE;
        entry += n + 1;
    }
}

VEXO_status_t vexo_validate(char *value, const char *list, int datatype, int minval, int maxval)
{
    switch (static_cast<signed char>(datatype)) {
    case VEXO_TYPE_STRING:
        return vexo_validate_val_string(value, minval, maxval);
    case VEXO_TYPE_INTEGER:
        return vexo_validate_val_integer(value, minval, maxval);
    case VEXO_TYPE_IP:
        return vexo_validate_ip(value);
    case VEXO_TYPE_SUBNETMASK:
        return vexo_validate_subnetmask(value);
    case VEXO_TYPE_LIST:
        return vexo_validate_list(value, list);
    default:
        return VEXO_STATUS_SUCCESS;
    }
}
