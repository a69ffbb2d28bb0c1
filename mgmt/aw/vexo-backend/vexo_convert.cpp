#include "mgmt/aw/vexo-backend/vexo_convert.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "mgmt/vexo/core/debug.h"

namespace
{

// A counted copy of `len` characters of `text`, terminated.
char *counted_copy(const char *text, size_t len)
{
    char *copy = static_cast<char *>(vexo_dmalloc(len + 1));
    if (!copy)
        return nullptr;
    std::memcpy(copy, text, len);
    copy[len] = '\0';
    return copy;
}

// The field as a counted copy without one trailing newline.
char *field_copy(const char *field)
{
    size_t len = std::strlen(field);
    if (len > 0 && field[len - 1] == '\n')
        --len;
    return counted_copy(field, len);
}

// Splits a work copy; null when the column does not exist. `skip_empty`
// moves past runs of delimiters.
char *parse_column(const char *text, int column, const char *delimiters, bool skip_empty)
{
    if (!text || !delimiters || column < 1)
        return nullptr;
    size_t len = std::strlen(text);
    char *work = counted_copy(text, len);
    if (!work)
        return nullptr;
    int n = backend_split(work, delimiters);
    if (n == 0 || column - 1 > n) {
        vexo_dfree(work);
        return nullptr;
    }
    const char *end = work + len;
    const char *p = work;
    for (int c = 1; c < column; ++c) {
        p += std::strlen(p) + 1; // past this field and its delimiter
        if (skip_empty) {
            while (p < end && *p == '\0')
                ++p;
        }
        if (p > end || (skip_empty && p == end)) {
            vexo_dfree(work);
            return nullptr;
        }
    }
    char *out = field_copy(p);
    vexo_dfree(work);
    return out;
}

// The first size - 1 characters of `src`, terminated: texts longer than a
// validator's work buffer are judged by their start.
void copy_prefix(char *dst, size_t size, const char *src)
{
    size_t n = strnlen(src, size - 1);
    std::memcpy(dst, src, n);
    dst[n] = '\0';
}

int hex_digit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Subnet-mask probe values, in the order the check moves through them.
const uint8_t kMaskProbe[] = {0xFE, 0xFC, 0xF8, 0xF0, 0xE0, 0xC0, 0x80, 0x00};
const int kMaskProbeCount = sizeof kMaskProbe / sizeof kMaskProbe[0];

int probe_index(uint8_t b, int from)
{
    for (int i = from; i < kMaskProbeCount; ++i)
        if (kMaskProbe[i] == b)
            return i;
    return -1;
}

bool mask_ok(const uint8_t b[4])
{
    int i = 0;
    while (i < 4 && b[i] == 0xFF)
        ++i;
    if (i == 4)
        return true;
    int probe = probe_index(b[i], 0);
    if (probe < 0)
        return false;
    for (int j = i + 1; j < 4; ++j) {
        if (b[j] == 0)
            continue;
        int k = probe_index(b[j], probe);
        if (k < 0)
            return false;
        probe = k;
    }
    return true;
}

bool ip_rules_reject(const uint8_t b[4], uint32_t type)
{
    bool all0 = b[0] == 0 && b[1] == 0 && b[2] == 0 && b[3] == 0;
    bool all255 = b[0] == 255 && b[1] == 255 && b[2] == 255 && b[3] == 255;
    bool host = all0 || all255 || b[0] == 127 || b[0] == 255 || (b[0] == 0 && b[1] == 0);
    switch (type) {
    case VEXO_IP_ANY_NONZERO:
        return all0;
    case VEXO_IP_HOST:
        return host;
    case VEXO_IP_HOST_NO_NET_BCAST:
        return host || b[3] == 0 || b[3] == 255;
    case VEXO_IP_UNICAST:
        return host || (b[0] >= 224 && b[0] <= 247) || b[3] == 255;
    case VEXO_IP_SUBNET_MASK:
        return all0 || !mask_ok(b);
    default:
        return false;
    }
}

// Separators of a MAC text.
bool mac_sep(char c)
{
    return c == '-' || c == ':';
}

// Appends to a working text limited to 39 characters.
bool append(std::string &work, const std::string &s)
{
    if (work.size() + s.size() > 39)
        return false;
    work += s;
    return true;
}

std::string padded_group(const std::string &digits)
{
    return std::string(4 - digits.size(), '0') + digits;
}

} // namespace

int backend_split(char *text, const char *separators)
{
    if (!text || !separators)
        return 0;
    int n = 0;
    for (char *p = text; *p; ++p) {
        if (std::strchr(separators, *p)) {
            *p = '\0';
            ++n;
        }
    }
    return n;
}

char *parse_file(const char *text, int column, const char *delimiters)
{
    return parse_column(text, column, delimiters, false);
}

char *vexo_parse(const char *text, int column, const char *delimiters)
{
    return parse_column(text, column, delimiters, true);
}

int get_field(const char *source, char delimiter, char *out, int out_len)
{
    if (!source || !out || out_len <= 0)
        return 1;
    std::memset(out, 0, static_cast<size_t>(out_len));
    if (source[0] == delimiter)
        return 1;
    int i = 0;
    for (; source[i] && source[i] != delimiter; ++i) {
        if (i == out_len - 1) {
            // The terminator needs the last byte.
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "dest len is smaller %d %d", i, out_len);
            break;
        }
        out[i] = source[i];
    }
    return 0;
}

int word_count(const char *text, const char *separator)
{
    if (!text || !separator || !separator[0])
        return 0;
    int n = 0;
    size_t len = std::strlen(separator);
    for (const char *p = std::strstr(text, separator); p; p = std::strstr(p + len, separator))
        ++n;
    return n;
}

int is_hex(const char *text, int len)
{
    for (int i = 0; i < len; ++i)
        if (!text || hex_digit(text[i]) < 0)
            return 0;
    return 1;
}

int convert_hex_to_bin(const char *src, int src_len, uint8_t *dest)
{
    if (!src || !dest)
        return -1;
    for (int i = 0; i + 1 < src_len; i += 2) {
        int value = 0;
        for (int k = 0; k < 2; ++k) {
            int d = hex_digit(src[i + k]);
            if (d < 0)
                break;
            value = value * 16 + d;
        }
        dest[i / 2] = static_cast<uint8_t>(value);
    }
    return 0;
}

unsigned long convert(char *text, int base)
{
    unsigned long value = 0;
    if (!text || base < 2 || base > 16)
        return 0;
    for (char *p = text; *p; ++p) {
        int d = hex_digit(*p);
        if (d < 0 || d >= base)
            break;
        value = value * static_cast<unsigned long>(base) + static_cast<unsigned long>(d);
        *p = static_cast<char>(d);
    }
    return value;
}

extern "C" VEXO_status_t VEXO_convert_mac_addr(const char *mac, char delimiter, char *out, char replacement)
{
    if (!mac || !out)
        return VEXO_STATUS_FAILURE;
    size_t i = 0;
    for (; mac[i]; ++i)
        out[i] = mac[i] == delimiter ? replacement : mac[i];
    out[i] = '\0';
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:source mac = %s\n", __func__, mac);
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s:destination mac = %s\n", __func__, out);
    return VEXO_STATUS_SUCCESS;
}

uint32_t ULShr(uint32_t value, uint32_t count)
{
    for (uint32_t i = 0; i < count && value; ++i)
        value >>= 1;
    return value;
}

uint32_t ULShl(uint32_t value, uint32_t count)
{
    for (uint32_t i = 0; i < count && value; ++i)
        value <<= 1;
    return value;
}

void copy_U8IP(uint8_t *out, const uint8_t *in)
{
    if (out && in)
        std::memcpy(out, in, 16);
}

void copy_U32IP(uint32_t *out, const uint8_t *in)
{
    if (!out || !in)
        return;
    for (int i = 0; i < 16; ++i)
        out[i] = in[i];
}

void StrToU8IPv6(char *text, uint8_t *out)
{
    if (!text || !out)
        return;
    if (text[0] == '\0')
        std::memcpy(text, "0::", 4);
    int n = 0;
    for (const char *p = text; *p && n < 32; ++p) {
        int d;
        if (*p >= '0' && *p <= '9')
            d = *p - '0';
        else if (*p >= 'A' && *p <= 'F')
            d = *p - 'A' + 10;
        else
            continue;
        if (n % 2 == 0)
            out[n / 2] = static_cast<uint8_t>(d << 4);
        else
            out[n / 2] = static_cast<uint8_t>(out[n / 2] | d);
        ++n;
    }
}

void U8IPv6ToStr(const uint8_t *in, char *out)
{
    if (!out)
        return;
    std::memset(out, 0, VEXO_IPV6_TEXT_SIZE);
    if (!in)
        return;
    unsigned g[8];
    for (int i = 0; i < 8; ++i)
        g[i] = static_cast<unsigned>(in[2 * i]) << 8 | in[2 * i + 1];
    char part[16];
    std::string s;
    std::snprintf(part, sizeof part, "%x", g[0]);
    s = part;
    enum { BEFORE, IN_RUN, AFTER } run = BEFORE;
    for (int i = 1; i < 8; ++i) {
        if (g[i] == 0) {
            if (run == BEFORE) {
                run = IN_RUN;
                s += ":";
            } else if (run == AFTER) {
                s += ":0";
            }
            if (run == IN_RUN && i == 7)
                s += ":";
        } else {
            if (run == IN_RUN)
                run = AFTER;
            std::snprintf(part, sizeof part, ":%x", g[i]);
            s += part;
        }
    }
    if (s == "0::")
        return;
    copy_prefix(out, VEXO_IPV6_TEXT_SIZE, s.c_str());
}

uint32_t validateIPAddress(const char *text, uint8_t *out, uint32_t addrType)
{
    if (!text || !out)
        return 0;
    char buf[16];
    copy_prefix(buf, sizeof buf, text); // at most 15 characters are judged
    uint8_t bytes[4] = {};
    int octets = 0, dots = 0;
    const char *p = buf;
    while (*p) {
        if (!std::isdigit(static_cast<unsigned char>(*p)) && *p != '.')
            break;
        const char *q = p;
        while (*q && *q != '.')
            ++q;
        unsigned long value = 0;
        for (const char *d = p; d < q && std::isdigit(static_cast<unsigned char>(*d)); ++d)
            value = value * 10 + static_cast<unsigned long>(*d - '0');
        if (*q == '.') {
            ++dots;
            ++q;
        }
        if (value > 255 || octets == 4)
            return 0;
        bytes[octets++] = static_cast<uint8_t>(value);
        p = q;
    }
    if (octets != 4 || dots != 3)
        return 0;
    for (const char *c = buf; *c; ++c) {
        if (!std::isdigit(static_cast<unsigned char>(*c)) && *c != '.')
            return 0;
        if (*c == '.' && (c[1] == '\0' || c[1] == '.'))
            return 0;
    }
    if (ip_rules_reject(bytes, addrType))
        return 0;
    std::memcpy(out, bytes, 4);
    return 1;
}

VEXO_status_t validateIPv6Address(char *text)
{
    if (!text || text[0] == '\0')
        return VEXO_STATUS_INVALID_VALUE;
    for (char *c = text; *c; ++c) {
        *c = static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
        if (!std::isxdigit(static_cast<unsigned char>(*c)) && *c != ':')
            return VEXO_STATUS_INVALID_VALUE;
    }
    std::string work, group;
    bool compressed = false;
    for (const char *c = text; *c; ++c) {
        if (*c != ':') {
            group += *c;
            continue;
        }
        if (group.empty()) {
            // Start of the text or a second colon: the one "::".
            if (compressed || !append(work, ":"))
                return VEXO_STATUS_INVALID_VALUE;
            compressed = true;
            continue;
        }
        if (group.size() > 4 || !append(work, padded_group(group) + ":"))
            return VEXO_STATUS_INVALID_VALUE;
        group.clear();
    }
    if (group.size() > 4 || !append(work, padded_group(group)))
        return VEXO_STATUS_INVALID_VALUE;
    if (work.size() < 39) {
        size_t at = work.find("::");
        if (at != std::string::npos) {
            std::string zeros;
            for (size_t i = 0; i < (40 - work.size()) / 5; ++i)
                zeros += ":0000";
            work = work.substr(0, at) + zeros + work.substr(at + 1);
        }
    }
    if (work.size() != 39)
        return VEXO_STATUS_INVALID_VALUE;
    std::memcpy(text, work.c_str(), 40);
    return VEXO_STATUS_SUCCESS;
}

uint32_t validateMACAddress(const char *text, uint8_t *out)
{
    if (!text || !out)
        return 0;
    char buf[18];
    copy_prefix(buf, sizeof buf, text); // at most 17 characters are judged
    uint8_t bytes[6] = {};
    int groups = 0, seps = 0;
    const char *p = buf;
    while (*p) {
        if (!std::isxdigit(static_cast<unsigned char>(*p)) && !mac_sep(*p))
            break;
        const char *q = p;
        while (*q && !mac_sep(*q))
            ++q;
        if (q - p > 2)
            return 0;
        char group[3] = {};
        std::memcpy(group, p, static_cast<size_t>(q - p));
        unsigned long value = convert(group, 16);
        if (*q) {
            ++seps;
            ++q;
        }
        if (value > 255 || groups == 6)
            return 0;
        bytes[groups++] = static_cast<uint8_t>(value);
        p = q;
    }
    if (groups != 6 || seps != 5)
        return 0;
    for (const char *c = buf; *c; ++c) {
        if (!std::isxdigit(static_cast<unsigned char>(*c)) && !mac_sep(*c))
            return 0;
        if (mac_sep(*c) && (c[1] == '\0' || mac_sep(c[1])))
            return 0;
    }
    std::memcpy(out, bytes, 6);
    return 1;
}

VEXO_status_t validateISCSIName(const char *name, char *out)
{
    bool ok = name && out && name[0] != '\0' && std::strlen(name) <= VEXO_ISCSI_NAME_SIZE;
    if (ok) {
        copy_prefix(out, VEXO_ISCSI_NAME_SIZE, name);
        for (char *c = out; *c && ok; ++c) {
            if (*c >= 'A' && *c <= 'Z')
                *c = static_cast<char>(*c - 'A' + 'a');
            else if (!((*c >= 'a' && *c <= 'z') || (*c >= '0' && *c <= '9') || *c == '-' || *c == '.' || *c == ':'))
                ok = false;
        }
    }
    if (!ok) {
        vexo_set_fixed_status(VEXO_STATUS_INVALID_ISCSI_NAME);
        return VEXO_STATUS_FAILURE;
    }
    return VEXO_STATUS_SUCCESS;
}
