#include "mgmt/aw/vexo-backend/iscsi_luns.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/backend_util.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/nodes_target.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl_records.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"

namespace
{

const uint16_t kReportLunsFirstAsk = 16;
const uint32_t kLunEntry = 8;
const uint32_t kMaxReportedLuns = 255; // what one target's LUN group can hold from one session
const uint16_t kCapacity10Size = 8;
const uint16_t kCapacity16Size = 12;
const uint16_t kInquirySize = 36;
const uint16_t kSerialPageSize = 256;
const uint32_t kSerialKept = 255;
const uint32_t kBlockBytes = 512;
const int kMaxSessions = 64;
const int kMaxLuns = 256;

const char kRescanFailedText[] =
    "Failed to get LUN info for some sessions. Please check vexo2d.log for the actual sessions failed.";

bool is_group(const node *n)
{
    return n && n->node_type == VEXO_NODE_GROUP && n->u.grp;
}

bool named(const node *n, const char *name)
{
    return n && n->node_name && strcasecmp(n->node_name, name) == 0;
}

node_handle *handle_of(node *g)
{
    return is_group(g) ? static_cast<node_handle *>(g->u.grp->handle) : nullptr;
}

uint32_t be32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

void put_be32(uint8_t *p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

// The LUN key: the first eight bytes of the LUN's handle record.
void lun_key_of(const node_handle *h, uint8_t key[8])
{
    std::memcpy(key, h, 8);
}

// The LUN of a property, or null.
node *lun_of_property(node *property)
{
    node *lun = property ? property->parent : nullptr;
    return is_group(lun) && named(lun, "LUN") && vexo_is_instance(lun) ? lun : nullptr;
}

node *first_session_of_lun(node *lun)
{
    node *target = lun ? lun->parent : nullptr;
    return is_group(target) ? get_first_instance(target, "Session") : nullptr;
}

// Closed and failed sessions report no LUNs.
bool session_usable(node *session)
{
    char status[VEXO_VALUE_SIZE] = "";
    if (internal_get_property(session, "SessionStatus", status) != VEXO_STATUS_SUCCESS)
        return false;
    if (strcasecmp(status, "Closed") == 0 || strcasecmp(status, "Login Failed") == 0)
        return false;
    return handle_of(session) != nullptr;
}

VEXO_status_t with_pass_thru_status(VEXO_status_t st)
{
    if (st == VEXO_STATUS_PASS_THRU_FAILED)
        vexo_set_fixed_status(VEXO_STATUS_PASS_THRU_FAILED);
    return st;
}

// "%0.2f" of the capacity, first rounded to single precision.
VEXO_status_t set_scaled(node *lun, uint64_t capacity, double unit, const char *suffix)
{
    const float rounded = static_cast<float>(capacity);
    return set_prop_val(lun, "LUNSize", "%0.2f %s", static_cast<double>(rounded) / unit, suffix);
}

// One REPORT LUNS answer of one session.
struct SessionLuns {
    node *session;
    uint8_t *data;
    uint32_t size;
};

} // namespace

VEXO_status_t ConstructSCSIParams(int aw_port_number, unsigned int domainid, unsigned int phba_port,
                                  int32_t session_handle, const uint8_t *lun_key, int direction,
                                  const uint8_t cdb[16], uint16_t transfer_size, uint8_t **data_out)
{
    const uint32_t size = SCSI_PASS_THRU_FIXED_SIZE + transfer_size;
    if (size > UINT16_MAX)
        return VEXO_STATUS_FAILURE;
    uint8_t *buf = static_cast<uint8_t *>(vexo_dcalloc(size));
    if (!buf)
        return VEXO_STATUS_FAILURE;
    SCSI_PASS_THRU_PARAMS *p = reinterpret_cast<SCSI_PASS_THRU_PARAMS *>(buf);
    p->request.session_handle = static_cast<uint32_t>(session_handle) & 0xFFFF;
    for (int j = 0; j < 8; ++j) {
        p->request.lun[j] = lun_key ? lun_key[7 - j] : 0;
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:lun[%d] = 0x%x\n", __func__, j, p->request.lun[j]);
    }
    p->request.data_direction_flag = direction == SCSI_DIR_TO_TARGET     ? SCSI_DIR_TO_TARGET
                                     : direction == SCSI_DIR_FROM_TARGET ? SCSI_DIR_FROM_TARGET
                                                                         : SCSI_DIR_NONE;
    std::memcpy(p->request.cdb, cdb, sizeof p->request.cdb);
    p->request.data_transfer_size = transfer_size;
    if (ioctl_scsi_passthru(aw_port_number, p, static_cast<uint16_t>(size), domainid, phba_port) !=
        VEXO_STATUS_SUCCESS) {
        vexo_dfree(buf);
        return VEXO_STATUS_PASS_THRU_FAILED;
    }
    // A write the target refused is no success either.
    if ((data_out || direction == SCSI_DIR_TO_TARGET) && p->response.scsi_status != 0) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "Check condition recieved from tgt\n");
        vexo_dfree(buf);
        return VEXO_STATUS_FAILURE;
    }
    if (data_out) {
        uint8_t *data = static_cast<uint8_t *>(vexo_dmalloc(transfer_size ? transfer_size : 1));
        if (!data) {
            vexo_dfree(buf);
            return VEXO_STATUS_FAILURE;
        }
        std::memcpy(data, buf + SCSI_PASS_THRU_FIXED_SIZE, transfer_size);
        *data_out = data;
    }
    vexo_dfree(buf);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t FetchReportLUNData(int aw_port_number, unsigned int domainid, unsigned int phba_port,
                                 int32_t session_handle, uint8_t **data_out, uint32_t *data_size)
{
    uint8_t cdb[16] = {0xA0};
    put_be32(cdb + 6, kReportLunsFirstAsk);
    uint8_t *head = nullptr;
    VEXO_status_t st = ConstructSCSIParams(aw_port_number, domainid, phba_port, session_handle, nullptr,
                                           SCSI_DIR_FROM_TARGET, cdb, kReportLunsFirstAsk, &head);
    if (st != VEXO_STATUS_SUCCESS)
        return st;
    if (!head)
        return VEXO_STATUS_UNKNOWN_ERROR;
    uint32_t count = be32(head) / kLunEntry;
    if (count == 0) {
        *data_out = head;
        *data_size = kReportLunsFirstAsk;
        return VEXO_STATUS_SUCCESS;
    }
    vexo_dfree(head);
    // No more entries than the LUN group can take; the answer's length is
    // the target's to state, the allocation is ours.
    if (count > kMaxReportedLuns)
        count = kMaxReportedLuns;
    const uint16_t alloc = static_cast<uint16_t>((count + 1) * kLunEntry);
    put_be32(cdb + 6, alloc);
    uint8_t *all = nullptr;
    st = ConstructSCSIParams(aw_port_number, domainid, phba_port, session_handle, nullptr, SCSI_DIR_FROM_TARGET, cdb,
                             alloc, &all);
    if (st != VEXO_STATUS_SUCCESS)
        return st;
    if (!all)
        return VEXO_STATUS_UNKNOWN_ERROR;
    *data_out = all;
    *data_size = alloc;
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t FetchReadCapacityData(int aw_port_number, unsigned int domainid, unsigned int phba_port,
                                    int32_t session_handle, const uint8_t *lun_key, uint8_t **data_out,
                                    int long_form)
{
    uint8_t cdb[16] = {0x25};
    uint16_t size = kCapacity10Size;
    if (long_form == 1) {
        cdb[0] = 0x9E;
        cdb[1] = 0x10;
        cdb[13] = kCapacity16Size;
        size = kCapacity16Size;
    }
    return with_pass_thru_status(ConstructSCSIParams(aw_port_number, domainid, phba_port, session_handle, lun_key,
                                                     SCSI_DIR_FROM_TARGET, cdb, size, data_out));
}

VEXO_status_t FetchScsiInquiryData(int aw_port_number, unsigned int domainid, unsigned int phba_port,
                                   int32_t session_handle, const uint8_t *lun_key, uint8_t *buffer)
{
    uint8_t cdb[16] = {0x12};
    cdb[4] = kInquirySize;
    uint8_t *data = nullptr;
    VEXO_status_t st = with_pass_thru_status(ConstructSCSIParams(
        aw_port_number, domainid, phba_port, session_handle, lun_key, SCSI_DIR_FROM_TARGET, cdb, kInquirySize, &data));
    if (st == VEXO_STATUS_SUCCESS && data)
        std::memcpy(buffer, data, kInquirySize);
    if (data)
        vexo_dfree(data);
    return st;
}

VEXO_status_t FetchLSNInquiryData(int aw_port_number, unsigned int domainid, unsigned int phba_port,
                                  int32_t session_handle, const uint8_t *lun_key, uint8_t *buffer)
{
    uint8_t cdb[16] = {0x12, 0x01, 0x80, 0, 255};
    uint8_t *data = nullptr;
    VEXO_status_t st = with_pass_thru_status(ConstructSCSIParams(aw_port_number, domainid, phba_port, session_handle,
                                                                 lun_key, SCSI_DIR_FROM_TARGET, cdb, kSerialPageSize,
                                                                 &data));
    if (st == VEXO_STATUS_SUCCESS && data)
        std::memcpy(buffer, data, kSerialKept);
    if (data)
        vexo_dfree(data);
    return st;
}

VEXO_status_t IssueSCSIReadWrite(int aw_port_number, unsigned int domainid, unsigned int phba_port,
                                 int32_t session_handle, const uint8_t *lun_key, int direction, uint32_t first_block,
                                 uint16_t count)
{
    // The data area would not fit the 16-bit sizes of the command.
    if (count > SCSI_MAX_WRITE_BLOCKS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:%u blocks do not fit one command (at most %d)\n", __func__,
               static_cast<unsigned>(count), SCSI_MAX_WRITE_BLOCKS);
        vexo_set_fixed_status(VEXO_STATUS_VALUE_OUT_OF_RANGE);
        return VEXO_STATUS_VALUE_OUT_OF_RANGE;
    }
    uint8_t cdb[16] = {static_cast<uint8_t>(direction == SCSI_DIR_TO_TARGET ? 0x2A : 0x28)};
    put_be32(cdb + 2, first_block);
    cdb[7] = static_cast<uint8_t>(count >> 8);
    cdb[8] = static_cast<uint8_t>(count);
    return with_pass_thru_status(ConstructSCSIParams(aw_port_number, domainid, phba_port, session_handle, lun_key,
                                                     direction, cdb,
                                                     static_cast<uint16_t>(count * kBlockBytes), nullptr));
}

int scan_from_os(node *, unsigned int, unsigned int)
{
    return 0;
}

uint32_t report_luns_entry_count(const uint8_t *answer, uint32_t size)
{
    if (!answer || size < kLunEntry)
        return 0;
    const uint32_t list_length = be32(answer);
    uint32_t count = list_length >= 2048 ? kMaxReportedLuns : list_length / kLunEntry;
    // Only the entries that came back.
    if (count > (size - kLunEntry) / kLunEntry)
        count = (size - kLunEntry) / kLunEntry;
    return count;
}

size_t lsn_serial_text(const uint8_t *page, char *serial)
{
    // At most what the kept page holds after its 4-byte header.
    uint32_t n = page[3];
    if (n > kSerialKept - 4)
        n = kSerialKept - 4;
    std::memcpy(serial, page + 4, n);
    serial[n] = '\0';
    return n;
}

VEXO_status_t get_all_luns(node *target, unsigned int domainid, unsigned int phba_port, node *context, node *action,
                           char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE], char *check)
{
    if (!is_group(target))
        return VEXO_STATUS_FAILURE;
    // 1. The LUNs known so far.
    uint8_t known[kMaxLuns][8];
    int known_count = 0;
    for (node *l = get_first_instance(target, "LUN"); l; l = next_group_instance(l)) {
        node_handle *h = handle_of(l);
        if (!h)
            return VEXO_STATUS_FAILURE;
        if (known_count < kMaxLuns)
            std::memcpy(known[known_count++], h->lun, 8);
    }

    node *first_session = get_first_instance(target, "Session");
    if (!first_session) {
        // No session reaches the target: it shows no LUN.
        VEXO_status_t st = purge_nodes_within(target, "LUN");
        return st != VEXO_STATUS_SUCCESS ? st : VEXO_STATUS_SESSION_NOT_FOUND;
    }

    // 2. Ask every open session before anything is deleted, so that a
    //    target that does not answer keeps the LUNs it had.
    SessionLuns answers[kMaxSessions];
    int answered = 0;
    int failed = 0;
    int asked = 0;
    for (node *s = first_session; s && answered < kMaxSessions; s = next_group_instance(s)) {
        if (!session_usable(s))
            continue;
        node_handle *sh = handle_of(s);
        ++asked;
        uint8_t *data = nullptr;
        uint32_t size = 0;
        VEXO_status_t st = FetchReportLUNData(sh->aw_port_number, domainid, phba_port, sh->session_handle, &data,
                                              &size);
        if (st == VEXO_STATUS_SUCCESS) {
            answers[answered++] = SessionLuns{s, data, size};
        } else if (st == VEXO_STATUS_PASS_THRU_FAILED) {
            ++failed;
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "Failed to scan LUNs for Session%d.\n", instance_number(s));
        }
    }
    VEXO_status_t result = failed ? VEXO_STATUS_PASS_THRU_FAILED : VEXO_STATUS_SUCCESS;
    if (answered == 0 && asked > 0)
        return result; // every REPORT LUNS failed: the old LUNs stay

    // 3. Rebuild from the answers.
    VEXO_status_t st = purge_nodes_within(target, "LUN");
    int created = 0;
    bool last_known = true;
    for (int i = 0; i < answered && st == VEXO_STATUS_SUCCESS; ++i) {
        const SessionLuns &a = answers[i];
        const uint32_t count = report_luns_entry_count(a.data, a.size);
        const int32_t session_handle = handle_of(a.session)->session_handle;
        for (uint32_t e = 0; e < count; ++e) {
            const uint8_t *entry = a.data + kLunEntry * (e + 1);
            node *lun = created == 0 ? initialize_LUN(target, context, action, params)
                                     : initialize_LUN(target, nullptr, nullptr, nullptr);
            node_handle *h = lun ? static_cast<node_handle *>(vexo_dcalloc(sizeof(node_handle))) : nullptr;
            if (!h) {
                if (lun)
                    delete_node(lun);
                st = VEXO_STATUS_FAILURE;
                break;
            }
            h->aw_port_number = 0;
            const uint32_t hi = be32(entry), lo = be32(entry + 4);
            std::memcpy(h->lun, &hi, 4);
            std::memcpy(h->lun + 4, &lo, 4);
            h->lun_session_handle = session_handle;
            lun->u.grp->handle = h;
            ++created;
            last_known = false;
            for (int k = 0; k < known_count && !last_known; ++k)
                last_known = std::memcmp(known[k], h->lun, 8) == 0;
        }
        if (st == VEXO_STATUS_SUCCESS && check)
            std::snprintf(check, VEXO_VALUE_SIZE, "%s", created != known_count || !last_known ? "1" : "0");
    }
    for (int i = 0; i < answered; ++i)
        vexo_dfree(answers[i].data);
    return st != VEXO_STATUS_SUCCESS ? st : result;
}

VEXO_status_t get_read_capacity(unsigned int domainid, unsigned int phba_port, node *lun)
{
    node *session = first_session_of_lun(lun);
    node_handle *sh = handle_of(session);
    node_handle *lh = handle_of(lun);
    if (!sh || !lh)
        return VEXO_STATUS_FAILURE;
    uint8_t key[8];
    lun_key_of(lh, key);
    uint8_t *rc = nullptr;
    VEXO_status_t st =
        FetchReadCapacityData(sh->aw_port_number, domainid, phba_port, lh->lun_session_handle, key, &rc, 0);
    if (st != VEXO_STATUS_SUCCESS)
        return st;
    uint64_t last = be32(rc);
    uint32_t block_length = be32(rc + 4);
    vexo_dfree(rc);
    VEXO_status_t w;
    if (last == 0xFFFFFFFFULL) {
        rc = nullptr;
        st = FetchReadCapacityData(sh->aw_port_number, domainid, phba_port, lh->lun_session_handle, key, &rc, 1);
        if (st != VEXO_STATUS_SUCCESS)
            return st;
        last = static_cast<uint64_t>(be32(rc)) << 32 | be32(rc + 4);
        block_length = be32(rc + 8);
        vexo_dfree(rc);
        w = set_prop_val(lun, "BlockSize", "%d", static_cast<int>(block_length));
        if (w != VEXO_STATUS_SUCCESS)
            return w;
        const uint64_t capacity = (last + 1) * block_length;
        if (capacity >= (1ULL << 40))
            return set_scaled(lun, capacity, 1099511627776.0, "TB");
        return VEXO_STATUS_SUCCESS;
    }
    w = set_prop_val(lun, "BlockSize", "%d", static_cast<int>(block_length));
    if (w != VEXO_STATUS_SUCCESS)
        return w;
    const uint64_t capacity = (last + 1) * block_length;
    if (capacity > 0x3FFFFFFFULL)
        return set_scaled(lun, capacity, 1073741824.0, "GB");
    if (capacity >= 0x100000ULL)
        return set_scaled(lun, capacity, 1048576.0, "MB");
    if (capacity >= 0x400ULL)
        return set_scaled(lun, capacity, 1024.0, "KB");
    return set_prop_val(lun, "LUNSize", "%d Bytes", static_cast<int>(capacity));
}

VEXO_status_t get_std_inquiry_props(int aw_port_number, unsigned int domainid, unsigned int phba_port, node *lun)
{
    node_handle *lh = handle_of(lun);
    if (!first_session_of_lun(lun) || !lh)
        return VEXO_STATUS_FAILURE;
    uint8_t key[8];
    lun_key_of(lh, key);
    uint8_t inq[kInquirySize] = {};
    VEXO_status_t st = FetchScsiInquiryData(aw_port_number, domainid, phba_port, lh->lun_session_handle, key, inq);
    if (st != VEXO_STATUS_SUCCESS)
        return st;
    char vendor[9] = {};
    char model[17] = {};
    std::memcpy(vendor, inq + 8, 8);
    std::memcpy(model, inq + 16, 16);
    int r = set_prop_val(lun, "DeviceVendorName", "%s", vendor);
    r |= set_prop_val(lun, "DeviceModelNumber", "%s", model);
    r |= set_prop_val(lun, "LUNType", "0x%x", inq[0] & 0x1F);
    if (r)
        return static_cast<VEXO_status_t>(r);
    uint8_t page[kSerialKept] = {};
    st = FetchLSNInquiryData(aw_port_number, domainid, phba_port, lh->lun_session_handle, key, page);
    if (st != VEXO_STATUS_SUCCESS)
        return st;
    char serial[kSerialKept] = {};
    lsn_serial_text(page, serial);
    return set_prop_val(lun, "LUNSerialNumber", "%s", serial);
}

VEXO_status_t handle_LUNNumber(node *property_node, char *value, int)
{
    node *lun = lun_of_property(property_node);
    node_handle *h = handle_of(lun);
    if (!h)
        return VEXO_STATUS_FAILURE;
    uint8_t k[8];
    lun_key_of(h, k);
    VEXO_status_t st = set_prop_val(lun, "LUNNumber", "%02x%02x%02x%02x%02x%02x%02x%02x", k[0], k[1], k[2], k[3],
                                    k[4], k[5], k[6], k[7]);
    if (st != VEXO_STATUS_SUCCESS)
        return st;
    answer_cached(property_node, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_lun_block_size(node *property_node, char *value, int)
{
    node *lun = lun_of_property(property_node);
    if (!lun)
        return VEXO_STATUS_FAILURE;
    const unsigned int domain = get_domain_id(lun), port = get_phba_port_number(lun);
    if (get_read_capacity(domain, port, lun) != VEXO_STATUS_SUCCESS) {
        VEXO_status_t st = get_read_capacity(domain, port, lun);
        if (st != VEXO_STATUS_SUCCESS)
            return st;
    }
    answer_cached(property_node, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t handle_StdInquiry_properties(node *property_node, char *value, int)
{
    node *lun = lun_of_property(property_node);
    if (!lun)
        return VEXO_STATUS_FAILURE;
    const unsigned int domain = get_domain_id(lun), port = get_phba_port_number(lun);
    const int aw = get_port_number(lun);
    if (get_std_inquiry_props(aw, domain, port, lun) != VEXO_STATUS_SUCCESS &&
        get_std_inquiry_props(aw, domain, port, lun) != VEXO_STATUS_SUCCESS)
        return VEXO_STATUS_FAILURE;
    answer_cached(property_node, value);
    return VEXO_STATUS_SUCCESS;
}

VEXO_status_t do_ReScanLUNS(node *context, node *action_node, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    const unsigned int domain = get_domain_id(context), port = get_phba_port_number(context);
    scan_from_os(context, domain, port);
    char check[VEXO_VALUE_SIZE] = "0";
    VEXO_status_t st = get_all_luns(context, domain, port, context, action_node, params, check);
    // Both are failures: the caller must not take them for a rescan that worked.
    if (st == VEXO_STATUS_SESSION_NOT_FOUND) {
        vexo_set_fixed_status(VEXO_STATUS_SESSION_NOT_FOUND);
        return VEXO_STATUS_FAILURE;
    }
    if (st == VEXO_STATUS_PASS_THRU_FAILED) {
        vexo_set_last_status(VEXO_STATUS_PASS_THRU_FAILED, kRescanFailedText);
        return VEXO_STATUS_FAILURE;
    }
    return st;
}

VEXO_status_t do_StdInquiry(node *context, node *, char[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    node *session = first_session_of_lun(context);
    if (!session)
        return VEXO_STATUS_FAILURE;
    node_handle *sh = handle_of(session);
    node_handle *lh = handle_of(context);
    if (!sh) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:pSessionInfo is NULL.\n", __func__);
        return VEXO_STATUS_FAILURE;
    }
    if (!lh)
        return VEXO_STATUS_FAILURE;
    const unsigned int domain = get_domain_id(context), port = get_phba_port_number(context);
    uint8_t key[8];
    lun_key_of(lh, key);
    uint8_t inq[kInquirySize];
    VEXO_status_t st = FetchScsiInquiryData(sh->aw_port_number, domain, port, sh->session_handle, key, inq);
    if (st != VEXO_STATUS_SUCCESS)
        st = FetchScsiInquiryData(sh->aw_port_number, domain, port, sh->session_handle, key, inq);
    return st;
}

VEXO_status_t do_SCSIWrite(node *context, node *, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    const uint32_t first = static_cast<uint32_t>(std::strtoul(params[0], nullptr, 10));
    const uint16_t count = static_cast<uint16_t>(std::strtoul(params[1], nullptr, 10));
    node *session = first_session_of_lun(context);
    node_handle *sh = handle_of(session);
    node_handle *lh = handle_of(context);
    if (!sh || !lh)
        return VEXO_STATUS_FAILURE;
    if (count > SCSI_MAX_WRITE_BLOCKS) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:%u blocks do not fit one command (at most %d)\n", __func__,
               static_cast<unsigned>(count), SCSI_MAX_WRITE_BLOCKS);
        vexo_set_fixed_status(VEXO_STATUS_VALUE_OUT_OF_RANGE);
        return VEXO_STATUS_FAILURE;
    }
    const unsigned int domain = get_domain_id(context), port = get_phba_port_number(context);
    uint8_t key[8];
    lun_key_of(lh, key);
    VEXO_status_t st = IssueSCSIReadWrite(sh->aw_port_number, domain, port, sh->session_handle, key,
                                          SCSI_DIR_TO_TARGET, first, count);
    if (st != VEXO_STATUS_SUCCESS)
        st = IssueSCSIReadWrite(sh->aw_port_number, domain, port, sh->session_handle, key, SCSI_DIR_TO_TARGET, first,
                                count);
    return st;
}
