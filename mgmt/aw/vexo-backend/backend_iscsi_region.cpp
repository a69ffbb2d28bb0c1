#include "mgmt/aw/vexo-backend/backend_iscsi_region.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <utility>
#include <vector>

#include "mgmt/aw/vexo-backend/byte_order.h"
#include "mgmt/aw/vexo-backend/iscsi_objects.h"
#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/vexo_status.h"

namespace
{

const size_t kNameAt = 8;       // object name in read and write requests
const size_t kWriteDataAt = 112; // image in a write request
const size_t kWriteExtra = 128;  // write request bytes beside the entry area
const uint32_t kEof = 0x80000000u;
const size_t kTlvHeader = sizeof(GENERIC_ISCSI_TYPE_LEN);
const size_t kBootFixed = offsetof(ISCSI_TGT_BOOT_TLV, ip_address);

// Session record (MGMT_SESSION_INFO) and its first connection.
const size_t kIsid = 8, kFlags = 16, kTargetName = 24, kTargetNameSize = 224;
const size_t kConn = ISCSI_SESSION_CONN_LIST;
const size_t kDestPort = kConn + 10, kDestIp = kConn + 44, kConnOptions = kConn + 92;
const size_t kIpType = 3, kIpBytes = 4; // inside an IP_ADDRESS_FORMAT
const uint8_t kIpv4 = 1, kIpv6 = 16;

uint8_t *entries(VEXO_ISCSI_REGION *r)
{
    return reinterpret_cast<uint8_t *>(r) + ISCSI_REGION_HEADER_SIZE;
}

const uint8_t *entries(const VEXO_ISCSI_REGION *r)
{
    return reinterpret_cast<const uint8_t *>(r) + ISCSI_REGION_HEADER_SIZE;
}

uint32_t area_length(const VEXO_ISCSI_REGION *r)
{
    return le32_at(reinterpret_cast<const uint8_t *>(r) + 4);
}

void set_area_length(VEXO_ISCSI_REGION *r, uint32_t len)
{
    uint8_t *p = reinterpret_cast<uint8_t *>(r) + 4;
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(len >> (8 * i));
}

// A new image of 16 + `area` bytes, or null.
VEXO_ISCSI_REGION *new_image(size_t area)
{
    if (area > ISCSI_REGION_MAX_ENTRIES)
        return nullptr;
    return static_cast<VEXO_ISCSI_REGION *>(vexo_dcalloc(ISCSI_REGION_HEADER_SIZE + area));
}

// The entries of an area, one at a time. The walk never leaves the area: an
// entry whose header or value runs past it ends the walk as malformed.
struct Walk {
    const uint8_t *area;
    uint32_t len;
    uint32_t at = 0;
    bool bad = false;

    Walk(const VEXO_ISCSI_REGION *r) : area(entries(r)), len(area_length(r)) {}
    // The next entry's offset and size (header included); false at the end.
    bool next(uint32_t *off, uint32_t *size)
    {
        if (at >= len)
            return false;
        if (len - at < kTlvHeader) {
            bad = true;
            return false;
        }
        uint32_t s = static_cast<uint32_t>(le16_at(area + at + 1)) + kTlvHeader;
        if (s > len - at) {
            bad = true;
            return false;
        }
        *off = at;
        *size = s;
        at += s;
        return true;
    }
    uint8_t type(uint32_t off) const { return area[off]; }
};

// The image must be sound before an edit touches it.
bool sound(const VEXO_ISCSI_REGION *image)
{
    return image && iscsi_region_check(reinterpret_cast<const uint8_t *>(image), iscsi_region_size(image)) == 0;
}

// A copy of `image` keeping only the entries `drop` does not select.
template <typename Pred> VEXO_ISCSI_REGION *filter(const VEXO_ISCSI_REGION *image, Pred drop)
{
    uint32_t len = area_length(image);
    uint32_t removed = 0, off, size;
    std::vector<std::pair<uint32_t, uint32_t>> kept;
    Walk w(image);
    while (w.next(&off, &size)) {
        if (drop(entries(image) + off, size))
            removed += size;
        else
            kept.emplace_back(off, size);
    }
    if (w.bad)
        return nullptr;
    VEXO_ISCSI_REGION *out = new_image(len - removed);
    if (!out)
        return nullptr;
    std::memcpy(out, image, ISCSI_REGION_HEADER_SIZE);
    set_area_length(out, len - removed);
    uint32_t put = 0;
    for (const auto &k : kept) {
        std::memcpy(entries(out) + put, entries(image) + k.first, k.second);
        put += k.second;
    }
    return out;
}

// The first connection's negotiated login options of a session record.
MGMT_CONN_LOGIN_OPTIONS conn_options(const GET_A_SESSION_PARAMS *s)
{
    MGMT_CONN_LOGIN_OPTIONS o;
    std::memcpy(&o, s->data + kConnOptions, sizeof o);
    return o;
}

bool mutual_chap(const MGMT_CONN_LOGIN_OPTIONS &o)
{
    return o.auth_data.auth_method_type == 1 && o.auth_data.chap_srp_format.chap.flags == 1;
}

// Address length of an IP type: 4, 16, or 0 for any other type.
size_t address_length(uint8_t ip_type)
{
    return ip_type == kIpv4 ? 4 : (ip_type == kIpv6 ? 16 : 0);
}

size_t target_name_length(const GET_A_SESSION_PARAMS *s)
{
    return strnlen(reinterpret_cast<const char *>(s->data + kTargetName), kTargetNameSize);
}

bool region_name(char *out, unsigned int phba_port, int region)
{
    int n = std::snprintf(out, ISCSI_REGION_NAME_SIZE, "/iscsidata/Port%x/Instance0/Region%d", phba_port, region);
    return n > 0 && static_cast<size_t>(n) < ISCSI_REGION_NAME_SIZE;
}

// Copies a region's image into a new one with the entry appended: `size`
// bytes from `entry` and `zeros` zero bytes.
VEXO_ISCSI_REGION *append(const VEXO_ISCSI_REGION *image, const uint8_t *entry, size_t size, size_t zeros)
{
    uint32_t len = area_length(image);
    VEXO_ISCSI_REGION *out = new_image(len + size + zeros);
    if (!out)
        return nullptr;
    std::memcpy(out, image, ISCSI_REGION_HEADER_SIZE + len);
    std::memcpy(entries(out) + len, entry, size);
    set_area_length(out, static_cast<uint32_t>(len + size + zeros));
    return out;
}

} // namespace

uint32_t iscsi_region_size(const VEXO_ISCSI_REGION *image)
{
    return image ? ISCSI_REGION_HEADER_SIZE + area_length(image) : 0;
}

int iscsi_region_check(const uint8_t *bytes, uint32_t size)
{
    if (!bytes || size < ISCSI_REGION_HEADER_SIZE || size > ISCSI_REGION_MAX_IMAGE)
        return 1;
    const VEXO_ISCSI_REGION *r = reinterpret_cast<const VEXO_ISCSI_REGION *>(bytes);
    if (area_length(r) > size - ISCSI_REGION_HEADER_SIZE)
        return 1;
    Walk w(r);
    uint32_t off, s;
    while (w.next(&off, &s)) {
    }
    return w.bad ? 1 : 0;
}

VEXO_ISCSI_REGION *VEXO_read_iscsi_region(int aw_port_number, unsigned int domainId, unsigned int phba_port,
                                          int region)
{
    char name[ISCSI_REGION_NAME_SIZE];
    if (!region_name(name, phba_port, region))
        return nullptr;
    uint8_t *buf = static_cast<uint8_t *>(vexo_dmalloc(ISCSI_REGION_READ_SIZE));
    if (!buf) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_BUFFER);
        return nullptr;
    }
    std::memset(buf, 0, ISCSI_REGION_READ_SIZE);
    std::memcpy(buf + kNameAt, name, std::strlen(name) + 1);
    VEXO_status_t status = ioctl_common_read_object_version1(
        aw_port_number, reinterpret_cast<READ_OBJECT_PARAMS *>(buf), static_cast<uint16_t>(ISCSI_REGION_READ_SIZE),
        domainId, phba_port, VEXO_DRIVER_ISCSI);
    VEXO_ISCSI_REGION *image = nullptr;
    uint32_t actual = le32_at(buf);
    if (status != VEXO_STATUS_SUCCESS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_common_read_object_version1 failed with status = %d\n",
               __func__, status);
    } else if (actual == 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: actual_read_length is zero\n", __func__);
    } else if (!(le32_at(buf + 4) & kEof)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: eof not reached\n", __func__);
    } else if (actual > ISCSI_REGION_READ_SIZE - kNameAt ||
               iscsi_region_check(buf + kNameAt, actual) != 0) {
        // Neither the answer's length nor the header's is trusted beyond the
        // bytes that came back.
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: region %d of %u bytes is malformed\n", __func__, region,
               actual);
    } else if (!(image = static_cast<VEXO_ISCSI_REGION *>(vexo_dmalloc(actual)))) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_BUFFER);
    } else {
        std::memcpy(image, buf + kNameAt, actual);
    }
    vexo_dfree(buf);
    return image;
}

VEXO_ISCSI_BOOT_REGION *VEXO_read_iscsi_boot_region(int aw_port_number, unsigned int domainId,
                                                    unsigned int phba_port, int region)
{
    return VEXO_read_iscsi_region(aw_port_number, domainId, phba_port, region);
}

int VEXO_write_iscsi_region(int aw_port_number, unsigned int domainId, unsigned int phba_port, int region,
                            const VEXO_ISCSI_REGION *image)
{
    char name[ISCSI_REGION_NAME_SIZE];
    if (!image || !region_name(name, phba_port, region))
        return 1;
    uint32_t len = area_length(image);
    // A region larger than one read answer could never be read back.
    if (len > ISCSI_REGION_MAX_ENTRIES) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: region length %u is too large\n", __func__, len);
        return 1;
    }
    size_t total = len + kWriteExtra;
    uint8_t *buf = static_cast<uint8_t *>(vexo_dmalloc(total));
    if (!buf) {
        vexo_set_fixed_status(VEXO_STATUS_INSUFFICIENT_BUFFER);
        return 1;
    }
    std::memset(buf, 0, total);
    uint32_t word = ((len + ISCSI_REGION_HEADER_SIZE) & 0xFFFFFFu) | kEof;
    for (int i = 0; i < 4; ++i)
        buf[i] = static_cast<uint8_t>(word >> (8 * i));
    std::memcpy(buf + kNameAt, name, std::strlen(name) + 1);
    std::memcpy(buf + kWriteDataAt, image, len + ISCSI_REGION_HEADER_SIZE);
    VEXO_status_t status = ioctl_common_write_object_version1(aw_port_number,
                                                              reinterpret_cast<WRITE_OBJECT_PARAMS *>(buf),
                                                              static_cast<uint16_t>(total), domainId, phba_port,
                                                              VEXO_DRIVER_ISCSI);
    if (status != VEXO_STATUS_SUCCESS)
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: ioctl_common_write_object_version1 failed with status = %d\n",
               __func__, status);
    else
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s: change_status = %d actual_write_length = %u\n", __func__,
               buf[4], le32_at(buf));
    vexo_dfree(buf);
    return static_cast<int>(status);
}

int VEXO_write_iscsi_boot_region(int aw_port_number, unsigned int domainId, unsigned int phba_port, int region,
                                 const VEXO_ISCSI_BOOT_REGION *image)
{
    return VEXO_write_iscsi_region(aw_port_number, domainId, phba_port, region, image);
}

VEXO_ISCSI_REGION *VEXO_remove_pad_tlv(const VEXO_ISCSI_REGION *image)
{
    // Only the first pad entry goes; an entry after it (which a sound region
    // never has) is kept rather than cut.
    bool found = false;
    VEXO_ISCSI_REGION *out = sound(image) ? filter(image, [&found](const uint8_t *e, uint32_t) {
        if (found || e[0] != ISCSI_TLV_PAD)
            return false;
        found = true;
        return true;
    })
                                          : nullptr;
    if (!out)
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: new_iscsi_region is NULL\n", __func__);
    return out;
}

VEXO_ISCSI_REGION *VEXO_add_pad_tlv(const VEXO_ISCSI_REGION *image)
{
    if (!sound(image)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to create new iscsi region\n", __func__);
        return nullptr;
    }
    uint32_t len = area_length(image);
    uint32_t rest = len % 4;
    uint32_t p = rest == 0 || rest == 1 ? 0 : 5 - rest;
    uint32_t grow = rest == 0 ? 0 : p + static_cast<uint32_t>(kTlvHeader);
    VEXO_ISCSI_REGION *out = new_image(len + grow);
    if (!out) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to create new iscsi region\n", __func__);
        return nullptr;
    }
    std::memcpy(out, image, ISCSI_REGION_HEADER_SIZE + len);
    if (grow) {
        uint8_t *pad = entries(out) + len;
        pad[0] = ISCSI_TLV_PAD;
        put_le16(pad + 1, static_cast<uint16_t>(p));
        set_area_length(out, len + grow);
    }
    return out;
}

VEXO_ISCSI_REGION *VEXO_remove_boot_tlv(const VEXO_ISCSI_REGION *image, const GET_A_SESSION_PARAMS *session,
                                        int mode)
{
    if (!sound(image) || (mode != ISCSI_REMOVE_ALL_BOOT && mode != ISCSI_REMOVE_SESSION_BOOT) ||
        (mode == ISCSI_REMOVE_SESSION_BOOT && !session)) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: new_iscsi_region is NULL\n", __func__);
        return nullptr;
    }
    // The session's keys.
    char name[kTargetNameSize + 1] = "";
    char isid[8] = "";
    uint8_t ip_ver = 0;
    size_t alen = 0;
    uint32_t flags = 0;
    const uint8_t *address = nullptr;
    if (mode == ISCSI_REMOVE_SESSION_BOOT) {
        const uint8_t *s = session->data;
        std::memcpy(name, s + kTargetName, target_name_length(session));
        std::snprintf(isid, sizeof isid, "%02x%02x", s[kIsid + 4], s[kIsid + 5]);
        uint8_t ip_type = s[kDestIp + kIpType];
        alen = address_length(ip_type);
        ip_ver = ip_type == kIpv6 ? 1 : 0;
        address = s + kDestIp + kIpBytes;
        flags = le32_at(s + kFlags);
    }
    auto selected = [&](const uint8_t *e, uint32_t size) -> bool {
        uint8_t type = e[0];
        if (type != ISCSI_TLV_BOOT_TARGET && type != ISCSI_TLV_BOOT_TARGET_ALT)
            return false;
        if (mode == ISCSI_REMOVE_ALL_BOOT)
            return true;
        bool flagged = (type == ISCSI_TLV_BOOT_TARGET_ALT && (flags & ISCSI_SESSION_FLAG_BOOT_ALT)) ||
                       (type == ISCSI_TLV_BOOT_TARGET && (flags & ISCSI_SESSION_FLAG_BOOT));
        if (!flagged || size < kBootFixed)
            return false;
        const ISCSI_TGT_BOOT_TLV *b = reinterpret_cast<const ISCSI_TGT_BOOT_TLV *>(e);
        // The entry's own address length places its name; nothing is read
        // outside the entry.
        size_t own = b->ip_ver == 1 ? 16 : 4;
        size_t nlen = b->tgt_iscsi_iqn_name_len;
        if (kBootFixed + std::max(own, alen) > size || kBootFixed + own + nlen > size)
            return false;
        if (nlen != std::strlen(name) || strncasecmp(reinterpret_cast<const char *>(e + kBootFixed + own), name, nlen))
            return false;
        char qualifier[8];
        std::snprintf(qualifier, sizeof qualifier, "%04x", le16_at(e + offsetof(ISCSI_TGT_BOOT_TLV, isid_qualifier)));
        return strcasecmp(qualifier, isid) == 0 && b->ip_ver == ip_ver &&
               std::memcmp(e + kBootFixed, address, alen) == 0;
    };
    VEXO_ISCSI_REGION *out = filter(image, selected);
    if (!out)
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: new_iscsi_region is NULL\n", __func__);
    return out;
}

VEXO_ISCSI_REGION *VEXO_delete_initiator_chap_tlv(const VEXO_ISCSI_REGION *image)
{
    VEXO_ISCSI_REGION *out = sound(image) ? filter(image, [](const uint8_t *e, uint32_t) {
        return e[0] == ISCSI_TLV_CHAP_NAME || e[0] == ISCSI_TLV_CHAP_SECRET;
    })
                                          : nullptr;
    if (!out)
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: new_iscsi_region is NULL\n", __func__);
    return out;
}

VEXO_ISCSI_REGION *VEXO_add_initiator_chap_tlv(const VEXO_ISCSI_REGION *image, const GET_A_SESSION_PARAMS *session)
{
    if (!sound(image) || !session) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: new_iscsi_region is NULL\n", __func__);
        return nullptr;
    }
    MGMT_CONN_LOGIN_OPTIONS o = conn_options(session);
    const MGMT_CHAP_FORMAT &chap = o.auth_data.chap_srp_format.chap;
    // Lengths from the firmware are bounded by their fields.
    if (chap.intr_chap_name_length > MGMT_CHAP_NAME_SIZE || chap.intr_secret_length > MGMT_CHAP_SECRET_SIZE) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: chap name length %u or secret length %u is too long\n",
               __func__, chap.intr_chap_name_length, chap.intr_secret_length);
        return nullptr;
    }
    size_t nsize = chap.intr_chap_name_length + 4u, ssize = chap.intr_secret_length + 4u;
    uint8_t *both = static_cast<uint8_t *>(vexo_dcalloc(nsize + ssize));
    if (!both) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: chap_name_tlv is NULL\n", __func__);
        return nullptr;
    }
    both[0] = ISCSI_TLV_CHAP_NAME;
    put_le16(both + 1, static_cast<uint16_t>(chap.intr_chap_name_length + 1));
    both[3] = ISCSI_TLV_STATUS_VALID;
    std::memcpy(both + 4, chap.intr_chap_name, chap.intr_chap_name_length);
    uint8_t *secret = both + nsize;
    secret[0] = ISCSI_TLV_CHAP_SECRET;
    put_le16(secret + 1, static_cast<uint16_t>(chap.intr_secret_length + 1));
    secret[3] = ISCSI_TLV_STATUS_VALID;
    std::memcpy(secret + 4, chap.intr_secret, chap.intr_secret_length);
    VEXO_ISCSI_REGION *out = append(image, both, nsize + ssize, 0);
    vexo_dfree(both);
    if (!out)
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: new_iscsi_region is NULL\n", __func__);
    return out;
}

ISCSI_TGT_BOOT_TLV *VEXO_create_TLV(const GET_A_SESSION_PARAMS *session, int priority, int target_num)
{
    if (!session) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to create new tlv\n", __func__);
        return nullptr;
    }
    const uint8_t *s = session->data;
    uint8_t ip_type = s[kDestIp + kIpType];
    size_t alen = address_length(ip_type);
    size_t n = target_name_length(session);
    MGMT_CONN_LOGIN_OPTIONS o = conn_options(session);
    const MGMT_CHAP_FORMAT &chap = o.auth_data.chap_srp_format.chap;
    bool use_chap = o.auth_data.auth_method_type == 1;
    bool mutual = mutual_chap(o);
    size_t tcn = use_chap ? chap.target_chap_name_length : 0, tcs = use_chap ? chap.target_secret_length : 0;
    size_t icn = mutual ? chap.intr_chap_name_length : 0, ics = mutual ? chap.intr_secret_length : 0;
    // Each length is one byte in the entry and bounded by its field.
    if (tcn > 255 || icn > 255 || tcs > MGMT_CHAP_SECRET_SIZE || ics > MGMT_CHAP_SECRET_SIZE) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: a chap name or secret is too long for the entry\n",
               __func__);
        return nullptr;
    }
    size_t total = kBootFixed + 2 + alen + n + tcn + tcs + icn + ics;
    uint8_t *e = static_cast<uint8_t *>(vexo_dcalloc(total));
    if (!e) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to create new tlv\n", __func__);
        return nullptr;
    }
    ISCSI_TGT_BOOT_TLV *b = reinterpret_cast<ISCSI_TGT_BOOT_TLV *>(e);
    b->type_len.type = ISCSI_TLV_BOOT_TARGET;
    put_le16(e + 1, static_cast<uint16_t>(total));
    b->status = ISCSI_TLV_STATUS_VALID;
    b->target_num = static_cast<uint8_t>(target_num);
    b->priority = static_cast<uint8_t>(priority);
    b->source = 0;
    b->connectivity = 1;
    b->chap_auth = !use_chap ? 0 : (mutual ? 2 : 1);
    put_le16(e + offsetof(ISCSI_TGT_BOOT_TLV, isid_qualifier),
             static_cast<uint16_t>((s[kIsid + 4] << 8) + s[kIsid + 5]));
    b->header_digest = o.header_digest;
    b->data_digest = o.data_digest;
    put_le16(e + offsetof(ISCSI_TGT_BOOT_TLV, tcp_port_tlv), le16_at(s + kDestPort));
    b->ip_ver = ip_type == kIpv6 ? 1 : 0;
    b->tgt_iscsi_iqn_name_len = static_cast<uint8_t>(n);
    b->tgt_chap_id_len = static_cast<uint8_t>(tcn);
    b->tgt_chap_secret_len = static_cast<uint8_t>(tcs);
    uint8_t *p = e + kBootFixed;
    std::memcpy(p, s + kDestIp + kIpBytes, alen);
    p += alen;
    std::memcpy(p, s + kTargetName, n);
    p += n;
    std::memcpy(p, chap.target_chap_name, tcn);
    p += tcn;
    std::memcpy(p, chap.target_secret, tcs);
    p += tcs;
    *p++ = static_cast<uint8_t>(icn);
    *p++ = static_cast<uint8_t>(ics);
    std::memcpy(p, chap.intr_chap_name, icn);
    p += icn;
    std::memcpy(p, chap.intr_secret, ics);
    return b;
}

namespace
{

// The edit of one cycle: a new image from the current one, or null.
typedef VEXO_ISCSI_REGION *(*Edit)(const VEXO_ISCSI_REGION *image, const void *arg);

// Reads a region, applies the edits in order and writes the result: 0 when
// every step succeeded, else 1 with nothing written. `original` (may be
// null) receives the region as read, for the caller to put back.
int region_cycle(const char *who, int aw_port_number, unsigned int domainId, unsigned int phba_port, int no,
                 const Edit *edits, const char *const *failures, size_t count, const void *arg,
                 VEXO_ISCSI_REGION **original)
{
    VEXO_ISCSI_REGION *cur = VEXO_read_iscsi_region(aw_port_number, domainId, phba_port, no);
    if (!cur) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Could not read iscsi region\n", who);
        return 1;
    }
    if (area_length(cur) == 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR,
               "%s: The Length from iSCSI Region header is zero, means there are no TLV's present.\n", who);
        vexo_dfree(cur);
        return 1;
    }
    VEXO_ISCSI_REGION *read = cur;
    int result = 0;
    for (size_t i = 0; i < count; ++i) {
        VEXO_ISCSI_REGION *next = edits[i](cur, arg);
        if (cur != read)
            vexo_dfree(cur);
        cur = next;
        if (!cur) {
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, failures[i], who);
            result = 1;
            break;
        }
    }
    if (result == 0 && VEXO_write_iscsi_region(aw_port_number, domainId, phba_port, no, cur) != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Could not write iscsi region\n", who);
        result = 1;
    }
    if (cur && cur != read)
        vexo_dfree(cur);
    if (original && result == 0)
        *original = read;
    else
        vexo_dfree(read);
    return result;
}

VEXO_ISCSI_REGION *edit_remove_pad(const VEXO_ISCSI_REGION *image, const void *)
{
    return VEXO_remove_pad_tlv(image);
}

VEXO_ISCSI_REGION *edit_add_pad(const VEXO_ISCSI_REGION *image, const void *)
{
    return VEXO_add_pad_tlv(image);
}

VEXO_ISCSI_REGION *edit_delete_chap(const VEXO_ISCSI_REGION *image, const void *)
{
    return VEXO_delete_initiator_chap_tlv(image);
}

VEXO_ISCSI_REGION *edit_add_chap(const VEXO_ISCSI_REGION *image, const void *arg)
{
    return VEXO_add_initiator_chap_tlv(image, static_cast<const GET_A_SESSION_PARAMS *>(arg));
}

VEXO_ISCSI_REGION *edit_remove_session_boot(const VEXO_ISCSI_REGION *image, const void *arg)
{
    return VEXO_remove_boot_tlv(image, static_cast<const GET_A_SESSION_PARAMS *>(arg), ISCSI_REMOVE_SESSION_BOOT);
}

struct NewBoot {
    const GET_A_SESSION_PARAMS *session;
    const ISCSI_TGT_BOOT_TLV *entry;
};

VEXO_ISCSI_REGION *edit_remove_own_boot(const VEXO_ISCSI_REGION *image, const void *arg)
{
    return edit_remove_session_boot(image, static_cast<const NewBoot *>(arg)->session);
}

// The built entry and three zero bytes, which its length field counts.
VEXO_ISCSI_REGION *edit_append_boot(const VEXO_ISCSI_REGION *image, const void *arg)
{
    const ISCSI_TGT_BOOT_TLV *e = static_cast<const NewBoot *>(arg)->entry;
    return append(image, reinterpret_cast<const uint8_t *>(e), e->type_len.length, kTlvHeader);
}

const char kPadFailed[] = "%s: Failed to delete pad tlv from the iscsi region\n";
const char kBootFailed[] = "%s: Failed to delete boot target tlv's from the iscsi region\n";
const char kAppendFailed[] = "%s: Could not allocate memory for iscsi_region_new\n";
const char kAddPadFailed[] = "%s: iscsi_add_padtlv is NULL\n";
const char kChapRemoveFailed[] = "%s: Failed to remove chap tlv's from the iscsi region\n";
const char kChapAddFailed[] = "%s: Failed to add chap tlv's to the iscsi region\n";

// Puts region 3 back as it was read when the region 2 step that belongs to
// it failed, so the two never disagree.
void restore_boot_region(const char *who, int aw_port_number, unsigned int domainId, unsigned int phba_port,
                         const VEXO_ISCSI_REGION *original)
{
    if (VEXO_write_iscsi_region(aw_port_number, domainId, phba_port, ISCSI_REGION_BOOT, original) != 0)
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Could not restore iscsi region 3\n", who);
}

} // namespace

int VEXO_update_initiator_chap_region(int aw_port_number, unsigned int domainId, unsigned int phba_port,
                                      const GET_A_SESSION_PARAMS *session)
{
    if (!session)
        return 1;
    const Edit edits[] = {edit_remove_pad, edit_delete_chap, edit_add_chap, edit_add_pad};
    const char *const failures[] = {kPadFailed, kChapRemoveFailed, kChapAddFailed, kAddPadFailed};
    return region_cycle(__func__, aw_port_number, domainId, phba_port, ISCSI_REGION_INITIATOR, edits, failures, 4,
                        session, nullptr);
}

int VEXO_delete_initiator_chap_region(int aw_port_number, unsigned int domainId, unsigned int phba_port,
                                      const GET_A_SESSION_PARAMS *session)
{
    if (!session)
        return 1;
    const Edit edits[] = {edit_remove_pad, edit_delete_chap, edit_add_pad};
    const char *const failures[] = {kPadFailed, kChapRemoveFailed, kAddPadFailed};
    return region_cycle(__func__, aw_port_number, domainId, phba_port, ISCSI_REGION_INITIATOR, edits, failures, 3,
                        session, nullptr);
}

int VEXO_add_boottarget_tlv(int aw_port_number, unsigned int domainId, unsigned int phba_port, node *session,
                            int priority, int target_num)
{
    node_handle *h = session && session->node_type == VEXO_NODE_GROUP && session->u.grp
                         ? static_cast<node_handle *>(session->u.grp->handle)
                         : nullptr;
    if (!h) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed: Invalid session handle.\n", __func__);
        return 1;
    }
    GET_A_SESSION_PARAMS *info = VEXO_get_session_params(h->session_handle, aw_port_number, domainId, phba_port);
    if (!info)
        return 1;
    ISCSI_TGT_BOOT_TLV *entry = VEXO_create_TLV(info, priority, target_num);
    if (!entry) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: new_boot_tlv is NULL", __func__);
        vexo_dfree(info);
        return 1;
    }
    // Only this session's earlier entry gives way, so a secondary boot
    // target never wipes out the primary.
    NewBoot arg = {info, entry};
    const Edit edits[] = {edit_remove_pad, edit_remove_own_boot, edit_append_boot, edit_add_pad};
    const char *const failures[] = {kPadFailed, kBootFailed, kAppendFailed, kAddPadFailed};
    VEXO_ISCSI_REGION *original = nullptr;
    int result = region_cycle(__func__, aw_port_number, domainId, phba_port, ISCSI_REGION_BOOT, edits, failures, 4,
                              &arg, &original);
    if (result == 0 && mutual_chap(conn_options(info)) &&
        VEXO_update_initiator_chap_region(aw_port_number, domainId, phba_port, info) != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Could not update iscsi region 2\n", __func__);
        restore_boot_region(__func__, aw_port_number, domainId, phba_port, original);
        result = 1;
    }
    vexo_dfree(original);
    vexo_dfree(entry);
    vexo_dfree(info);
    return result;
}

int VEXO_delete_boottarget_tlv(int aw_port_number, unsigned int domainId, unsigned int phba_port,
                               const GET_A_SESSION_PARAMS *session)
{
    if (!session)
        return 1;
    const Edit edits[] = {edit_remove_pad, edit_remove_session_boot, edit_add_pad};
    const char *const failures[] = {kPadFailed, kBootFailed, kAddPadFailed};
    VEXO_ISCSI_REGION *original = nullptr;
    int result = region_cycle(__func__, aw_port_number, domainId, phba_port, ISCSI_REGION_BOOT, edits, failures, 3,
                              session, &original);
    if (result == 0 && mutual_chap(conn_options(session)) &&
        VEXO_delete_initiator_chap_region(aw_port_number, domainId, phba_port, session) != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Could not delete iscsi region 2\n", __func__);
        restore_boot_region(__func__, aw_port_number, domainId, phba_port, original);
        result = 1;
    }
    vexo_dfree(original);
    return result;
}
