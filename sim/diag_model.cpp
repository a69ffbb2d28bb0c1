#include "sim/diag_model.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "sim/converged_adapter.h"
#include "sim/wire.h"

namespace hlvdsim
{

using json = nlohmann::json;

namespace
{

const uint8_t kNoLoopback = 255;
const uint8_t kNotSupported = 254;
// Additional statuses of the firmware's loopback answers.
const uint16_t kAddlTypeNotSupported = 83;
const uint16_t kAddlAlreadyInLoopback = 84;
const uint16_t kAddlModeNotSet = 85;
const uint16_t kAddlNoModule = 99;

const uint32_t kDmaSize = 8208;
const uint32_t kDmaSendAt = 16;
const uint32_t kDmaRecvAt = 4112;
const uint32_t kDmaBuffer = 4096;

void fail(FwContext &c, uint8_t status, uint16_t additional)
{
    c.status = status;
    c.additional = additional;
    c.answer.clear();
}

const json &adapter_doc(const FwContext &c)
{
    return c.m.doc.at("adapters").at(c.adapter);
}

json desc_object(const FwContext &c, const char *key)
{
    const json &a = adapter_doc(c);
    return a.contains(key) && a.at(key).is_object() ? a.at(key) : json::object();
}

bool loopback_refused(const FwContext &c)
{
    return desc_number(adapter_doc(c), "loopback_mode", kNoLoopback) == kNotSupported;
}

uint8_t port_mode(const FwContext &c, uint8_t port)
{
    long dflt = desc_number(adapter_doc(c), "loopback_mode", kNoLoopback);
    if (dflt == kNotSupported)
        return kNotSupported;
    const json &all = c.fw->contains("loopback") ? c.fw->at("loopback") : json::object();
    std::string key = std::to_string(port);
    if (all.is_object() && all.contains(key))
        return static_cast<uint8_t>(all.at(key).get<int>());
    return static_cast<uint8_t>(dflt);
}

void set_port_mode(FwContext &c, uint8_t port, uint8_t mode)
{
    json &all = (*c.fw)["loopback"];
    if (!all.is_object())
        all = json::object();
    all[std::to_string(port)] = mode;
    c.dirty = true;
}

} // namespace

void cmd_read_transceiver(FwContext &c)
{
    if (c.req_len < 8) {
        fail(c, FW_STATUS_FAILED, FW_ADDL_INVALID_REQUEST);
        return;
    }
    const json &a = adapter_doc(c);
    if (a.contains("transceiver") && a.at("transceiver").is_string()) {
        fail(c, FW_STATUS_NOT_SUPPORTED, 0);
        return;
    }
    uint32_t page = get32(c.req);
    uint32_t port = get32(c.req + 4) & 0x3F;
    if (page != 0xA0 && page != 0xA2) {
        fail(c, FW_STATUS_FAILED, FW_ADDL_INVALID_REQUEST);
        return;
    }
    json pages = desc_object(c, "transceiver");
    const char *key = page == 0xA0 ? "A0" : "A2";
    c.answer.assign(264, 0);
    put32(c.answer, 0, page);
    put32(c.answer, 4, get32(c.req + 4));
    for (uint32_t i = 0; i < 64; ++i) {
        uint32_t w = (page << 24) | (port << 16) | i;
        if (pages.contains(key) && i < pages.at(key).size())
            w = static_cast<uint32_t>(std::strtoull(pages.at(key).at(i).is_string()
                                                        ? pages.at(key).at(i).get<std::string>().c_str()
                                                        : std::to_string(pages.at(key).at(i).get<long long>()).c_str(),
                                                    nullptr, 0));
        put32(c.answer, 8 + 4 * i, w);
    }
}

void cmd_ddr_dma_test(FwContext &c)
{
    if (c.req_len < kDmaSize) {
        fail(c, FW_STATUS_FAILED, FW_ADDL_INVALID_REQUEST);
        return;
    }
    json dma = desc_object(c, "dma_test");
    uint32_t count = get32(c.req + 8);
    if (count > kDmaBuffer)
        count = kDmaBuffer;
    c.answer.assign(c.req, c.req + kDmaSize);
    std::memcpy(&c.answer[kDmaRecvAt], c.req + kDmaSendAt, count);
    if (count > 0 && dma.contains("corrupt") && dma.at("corrupt").get<bool>())
        c.answer[kDmaRecvAt] = static_cast<uint8_t>(c.answer[kDmaRecvAt] ^ 0xFF);
    put32(c.answer, 12, static_cast<uint32_t>(desc_number(dma, "send_error", 0)));
}

void cmd_loopback_test(FwContext &c)
{
    if (c.req_len < 28) {
        fail(c, FW_STATUS_FAILED, FW_ADDL_INVALID_REQUEST);
        return;
    }
    uint32_t type = get32(c.req);
    uint32_t packets = get32(c.req + 4);
    uint32_t src = get32(c.req + 16);
    json test = desc_object(c, "loopback_test");
    if (src > 63 || port_mode(c, static_cast<uint8_t>(src)) != type) {
        fail(c, FW_STATUS_FAILED, kAddlModeNotSet);
        return;
    }
    if (test.contains("no_module") && test.at("no_module").get<bool>()) {
        fail(c, FW_STATUS_FAILED, kAddlNoModule);
        return;
    }
    c.answer.assign(28, 0);
    put32(c.answer, 0, static_cast<uint32_t>(desc_number(test, "status", 0)));
    put32(c.answer, 4, static_cast<uint32_t>(desc_number(test, "transferred", packets)));
    put32(c.answer, 8, static_cast<uint32_t>(desc_number(test, "received", packets)));
    put32(c.answer, 12, static_cast<uint32_t>(desc_number(test, "miscompare", 0)));
    put32(c.answer, 16, static_cast<uint32_t>(desc_number(test, "ticks", 50)));
}

void cmd_set_loopback_mode(FwContext &c)
{
    if (c.req_len < 4) {
        fail(c, FW_STATUS_FAILED, FW_ADDL_INVALID_REQUEST);
        return;
    }
    uint8_t src = c.req[0], dest = c.req[1], mode = c.req[2], state = c.req[3];
    if (loopback_refused(c)) {
        fail(c, FW_STATUS_FAILED, kAddlTypeNotSupported);
        return;
    }
    if (state == 1) {
        if (mode > 3) {
            fail(c, FW_STATUS_FAILED, kAddlTypeNotSupported);
            return;
        }
        if (port_mode(c, src) != kNoLoopback) {
            fail(c, FW_STATUS_FAILED, kAddlAlreadyInLoopback);
            return;
        }
        set_port_mode(c, src, mode);
        set_port_mode(c, dest, mode);
    } else {
        set_port_mode(c, src, kNoLoopback);
        set_port_mode(c, dest, kNoLoopback);
    }
    c.answer.assign(4, 0);
}

void cmd_get_loopback_mode(FwContext &c)
{
    if (c.req_len < 4) {
        fail(c, FW_STATUS_FAILED, FW_ADDL_INVALID_REQUEST);
        return;
    }
    c.answer.assign(4, 0);
    put8(c.answer, 0, port_mode(c, c.req[0]));
}

} // namespace hlvdsim
