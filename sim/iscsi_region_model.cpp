#include "sim/iscsi_region_model.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "sim/converged_adapter.h"
#include "sim/flash_model.h"
#include "sim/mac_model.h"
#include "sim/wire.h"

namespace hlvdsim
{

namespace
{

const size_t kObjectHeader = 8; // actual length, eof word
const size_t kObjectName = 104;
const char kPrefix[] = "/iscsidata/";

bool hex_value(const std::string &hex, std::vector<uint8_t> &out)
{
    if (hex.size() % 2 != 0)
        return false;
    out.clear();
    for (size_t i = 0; i < hex.size(); i += 2) {
        char byte[3] = {hex[i], hex[i + 1], 0};
        char *end = nullptr;
        unsigned long v = std::strtoul(byte, &end, 16);
        if (end != byte + 2)
            return false;
        out.push_back(static_cast<uint8_t>(v));
    }
    return true;
}

} // namespace

bool iscsi_region_contents(const Machine &m, const std::string &sysroot, size_t adapter, const std::string &name,
                           std::vector<uint8_t> &out)
{
    if (adapter >= m.adapters.size())
        return false;
    if (object_contents(sysroot, m.adapters[adapter].name, name, out))
        return true;
    try {
        const json &a = m.doc.at("adapters").at(adapter);
        if (a.contains("iscsi_regions") && a.at("iscsi_regions").contains(name))
            return hex_value(a.at("iscsi_regions").at(name).get<std::string>(), out);
    } catch (const std::exception &) {
    }
    return false;
}

void cmd_read_object_region(FwContext &c)
{
    if (c.req_len < kObjectHeader + kObjectName || !c.sysroot ||
        std::strncmp(reinterpret_cast<const char *>(c.req + kObjectHeader), kPrefix, sizeof kPrefix - 1) != 0) {
        cmd_read_object_nic(c);
        return;
    }
    const char *name_field = reinterpret_cast<const char *>(c.req + kObjectHeader);
    size_t name_len = strnlen(name_field, kObjectName);
    if (name_len == kObjectName) {
        c.status = FW_STATUS_FAILED;
        c.additional = FW_ADDL_INVALID_REQUEST;
        c.answer.clear();
        return;
    }
    std::vector<uint8_t> object;
    iscsi_region_contents(c.m, *c.sysroot, c.adapter, std::string(name_field, name_len), object);
    size_t n = std::min<size_t>(object.size(), c.req_len - kObjectHeader);
    c.answer.assign(c.req_len, 0);
    put32(c.answer, 0, static_cast<uint32_t>(n));
    put32(c.answer, 4, n == object.size() ? 0x80000000u : 0);
    if (n)
        std::memcpy(&c.answer[kObjectHeader], object.data(), n);
}

} // namespace hlvdsim
