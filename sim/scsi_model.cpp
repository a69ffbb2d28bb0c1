#include "sim/scsi_model.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "sim/converged_adapter.h"
#include "sim/iscsi_model_util.h"
#include "sim/wire.h"

namespace hlvdsim
{

using json = nlohmann::json;

namespace
{

const uint32_t kFixed = 292;
const size_t kLunAt = 4;
const size_t kSenseLenAt = 13;
const size_t kStatusAt = 15;
const size_t kCdbAt = 16;
const size_t kResidualAt = 32;
const size_t kTransferAt = 34;
const size_t kSenseAt = 36;

const uint8_t kGood = 0x00;
const uint8_t kCheckCondition = 0x02;

const uint8_t kKeyIllegalRequest = 0x05;
const uint8_t kKeyUnitAttention = 0x06;
const uint8_t kAscInvalidOpcode = 0x20;
const uint8_t kAscInvalidField = 0x24;
const uint8_t kAscLunNotSupported = 0x25;
const uint8_t kAscPowerOnReset = 0x29;

struct Scsi {
    FwContext &c;
    uint16_t transfer;                   // data area the initiator gave
    std::vector<uint8_t> data;           // what the target answers
};

json *initiator_of(FwContext &c)
{
    json &f = c.m.doc["adapters"][c.adapter]["functions"][c.function];
    if (!f.contains("initiator") || !f["initiator"].is_object())
        return nullptr;
    return &f["initiator"];
}

json *session_of(json &init, uint16_t handle)
{
    if (!init.contains("sessions") || !init["sessions"].is_array())
        return nullptr;
    for (json &s : init["sessions"])
        if (s.is_object() && (static_cast<unsigned long>(desc_number(s, "handle", -1)) & 0xFFFF) == handle)
            return &s;
    return nullptr;
}

json *target_of(json &init, const json &session)
{
    if (!session.contains("target") || !session["target"].is_string() || !init.contains("targets") ||
        !init["targets"].is_array())
        return nullptr;
    const std::string name = session["target"].get<std::string>();
    for (json &t : init["targets"])
        if (t.is_object() && t.contains("name") && t["name"].is_string() &&
            strcasecmp(t["name"].get<std::string>().c_str(), name.c_str()) == 0)
            return &t;
    return nullptr;
}

// The first two bytes of a LUN's single-level address.
void lun_address(long number, uint8_t out[2])
{
    if (number < 256) {
        out[0] = 0;
        out[1] = static_cast<uint8_t>(number);
    } else {
        out[0] = static_cast<uint8_t>(0x40 | ((number >> 8) & 0x3F));
        out[1] = static_cast<uint8_t>(number);
    }
}

json *lun_of(json &target, const uint8_t *lun)
{
    if (!target.contains("luns") || !target["luns"].is_array())
        return nullptr;
    for (json &l : target["luns"]) {
        uint8_t a[2];
        lun_address(desc_number(l, "number", -1), a);
        if (a[0] == lun[0] && a[1] == lun[1] && std::all_of(lun + 2, lun + 8, [](uint8_t b) { return b == 0; }))
            return &l;
    }
    return nullptr;
}

void check_condition(Scsi &s, uint8_t key, uint8_t asc)
{
    std::vector<uint8_t> &a = s.c.answer;
    a[kStatusAt] = kCheckCondition;
    a[kSenseLenAt] = 18;
    a[kSenseAt] = 0x70; // fixed format, current error
    a[kSenseAt + 2] = key;
    a[kSenseAt + 7] = 10;
    a[kSenseAt + 12] = asc;
    s.data.clear();
}

void put_be(std::vector<uint8_t> &b, size_t at, uint64_t v, int bytes)
{
    if (b.size() < at + bytes)
        b.resize(at + bytes);
    for (int i = 0; i < bytes; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * (bytes - 1 - i)));
}

uint32_t be32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

void report_luns(Scsi &s, json &target, const uint8_t *cdb)
{
    const json empty = json::array();
    const json &luns = target.contains("luns") && target["luns"].is_array() ? target["luns"] : empty;
    // The header states the whole list; the allocation length cuts the copy.
    put_be(s.data, 0, 8ULL * luns.size(), 4);
    put_be(s.data, 4, 0, 4);
    size_t at = 8;
    for (const json &l : luns) {
        uint8_t a[2];
        lun_address(desc_number(l, "number", 0), a);
        put_be(s.data, at, 0, 8);
        s.data[at] = a[0];
        s.data[at + 1] = a[1];
        at += 8;
    }
    uint32_t alloc = be32(cdb + 6);
    if (s.data.size() > alloc)
        s.data.resize(alloc);
}

uint64_t block_count(const json &lun, uint32_t *block_size)
{
    long bs = desc_number(lun, "block_size", 512);
    *block_size = bs > 0 ? static_cast<uint32_t>(bs) : 512;
    uint64_t capacity = lun.contains("capacity") && lun["capacity"].is_number_unsigned()
                            ? lun["capacity"].get<uint64_t>()
                            : static_cast<uint64_t>(std::max(0L, desc_number(lun, "capacity", 0)));
    return capacity / *block_size;
}

void read_capacity10(Scsi &s, const json &lun)
{
    uint32_t bs = 0;
    uint64_t blocks = block_count(lun, &bs);
    uint64_t last = blocks ? blocks - 1 : 0;
    put_be(s.data, 0, last >= 0xFFFFFFFFULL ? 0xFFFFFFFFULL : last, 4);
    put_be(s.data, 4, bs, 4);
}

void read_capacity16(Scsi &s, const json &lun, const uint8_t *cdb)
{
    uint32_t bs = 0;
    uint64_t blocks = block_count(lun, &bs);
    put_be(s.data, 0, blocks ? blocks - 1 : 0, 8);
    put_be(s.data, 8, bs, 4);
    s.data.resize(32, 0); // the rest of the 32-byte parameter data
    uint32_t alloc = be32(cdb + 10);
    if (s.data.size() > alloc)
        s.data.resize(alloc);
}

void padded(std::vector<uint8_t> &b, size_t at, const std::string &text, size_t width)
{
    for (size_t i = 0; i < width; ++i)
        b[at + i] = i < text.size() ? static_cast<uint8_t>(text[i]) : ' ';
}

void inquiry(Scsi &s, const json &lun, const uint8_t *cdb)
{
    const uint16_t alloc = static_cast<uint16_t>(cdb[3] << 8 | cdb[4]);
    if (cdb[1] & 0x01) {
        if (cdb[2] != 0x80) {
            check_condition(s, kKeyIllegalRequest, kAscInvalidField);
            return;
        }
        std::string serial = text(lun, "serial").substr(0, 251);
        s.data.assign(4 + serial.size(), 0);
        s.data[1] = 0x80;
        s.data[3] = static_cast<uint8_t>(serial.size());
        std::memcpy(s.data.data() + 4, serial.data(), serial.size());
    } else {
        s.data.assign(36, 0);
        s.data[2] = 0x05;
        s.data[3] = 0x02;
        s.data[4] = 31;
        padded(s.data, 8, text(lun, "vendor"), 8);
        padded(s.data, 16, text(lun, "product"), 16);
        padded(s.data, 32, "0001", 4);
    }
    if (s.data.size() > alloc)
        s.data.resize(alloc);
}

void write10(Scsi &s, json &lun, const uint8_t *cdb)
{
    uint32_t bs = 0;
    uint64_t blocks = block_count(lun, &bs);
    uint32_t first = be32(cdb + 2);
    uint32_t count = static_cast<uint32_t>(cdb[7] << 8 | cdb[8]);
    if (static_cast<uint64_t>(first) + count > blocks) {
        check_condition(s, kKeyIllegalRequest, 0x21); // LBA out of range
        return;
    }
    if (static_cast<uint64_t>(count) * bs > s.transfer) {
        check_condition(s, kKeyIllegalRequest, kAscInvalidField);
        return;
    }
    lun["writes"] = desc_number(lun, "writes", 0) + 1;
    lun["blocks_written"] = desc_number(lun, "blocks_written", 0) + count;
    s.c.dirty = true;
}

} // namespace

void cmd_scsi_passthru(FwContext &c)
{
    if (c.req_len < kFixed) {
        c.status = FW_STATUS_FAILED;
        c.additional = FW_ADDL_INVALID_REQUEST;
        c.answer.clear();
        return;
    }
    json *init = initiator_of(c);
    json *session = init ? session_of(*init, static_cast<uint16_t>(get32(c.req))) : nullptr;
    json *target = session ? target_of(*init, *session) : nullptr;
    if (!target) {
        c.status = FW_STATUS_FAILED;
        c.additional = FW_ADDL_INVALID_REQUEST;
        c.answer.clear();
        return;
    }
    Scsi s{c, get16(c.req + kTransferAt), {}};
    if (c.req_len - kFixed < s.transfer)
        s.transfer = static_cast<uint16_t>(c.req_len - kFixed);
    uint8_t cdb[16];
    std::memcpy(cdb, c.req + kCdbAt, sizeof cdb);
    const uint8_t *lun_bytes = c.req + kLunAt;
    c.answer[kStatusAt] = kGood;
    std::memset(c.answer.data() + kSenseAt, 0, 256);

    if (desc_number(*session, "unit_attention", 1)) {
        (*session)["unit_attention"] = false;
        c.dirty = true;
        check_condition(s, kKeyUnitAttention, kAscPowerOnReset);
    } else if (cdb[0] == 0xA0) {
        report_luns(s, *target, cdb);
    } else {
        json *lun = lun_of(*target, lun_bytes);
        if (!lun && cdb[0] != 0x12)
            check_condition(s, kKeyIllegalRequest, kAscLunNotSupported);
        else if (!lun)
            s.data = {0x7F}; // no unit behind this address
        else if (cdb[0] == 0x25)
            read_capacity10(s, *lun);
        else if (cdb[0] == 0x9E && (cdb[1] & 0x1F) == 0x10)
            read_capacity16(s, *lun, cdb);
        else if (cdb[0] == 0x12)
            inquiry(s, *lun, cdb);
        else if (cdb[0] == 0x2A)
            write10(s, *lun, cdb);
        else
            check_condition(s, kKeyIllegalRequest, kAscInvalidOpcode);
    }
    // Data from the target goes into the data area, as much as it holds.
    size_t copy = std::min<size_t>(s.data.size(), s.transfer);
    if (cdb[0] != 0x2A && copy)
        std::memcpy(c.answer.data() + kFixed, s.data.data(), copy);
    put16(c.answer, kResidualAt, static_cast<uint16_t>(cdb[0] == 0x2A ? 0 : s.transfer - copy));
}

} // namespace hlvdsim
