#include "sim/phy_model.h"

#include <cstdlib>
#include <string>

#include "sim/converged_adapter.h"
#include "sim/wire.h"

namespace hlvdsim
{

using json = nlohmann::json;

namespace
{

const uint32_t kDefaultNvp = 72;

// Word names of the statistics answer, by word index; both versions share
// the first 19.
const char *const kStatWords[] = {
    "status",          "temperature",     "PairASNR",       "PairBSNR",       "PairCSNR",
    "PairDSNR",        "LinkTimeHi",      "LinkTimeLo",     "PairAAvgMSE",    "PairBAvgMSE",
    "PairCAvgMSE",     "PairDAvgMSE",     "LDPCFrameErrsHi", "LDPCFrameErrsLo", "PHYCRC8ErrsHi",
    "PHYCRC8ErrsLo",   "MDIPLLEventCtr",  "MDI10GUptimeCtr", "EMI10GEventCtr",
};
const size_t kSharedWords = sizeof kStatWords / sizeof kStatWords[0];
const size_t kFirstCounter = 12; // LDPCFrameErrsHi: the words a clear resets start here

void fail(FwContext &c, uint8_t status)
{
    c.status = status;
    c.additional = status == FW_STATUS_FAILED ? FW_ADDL_INVALID_REQUEST : 0;
    c.answer.clear();
}

// A 32-bit word of the description, as a number or a text ("0xFFFFFFFF"
// needs more than a 32-bit long).
uint32_t desc_word(const json &j, const char *key, uint32_t dflt)
{
    if (!j.is_object() || !j.contains(key))
        return dflt;
    const json &v = j.at(key);
    if (v.is_string())
        return static_cast<uint32_t>(std::strtoull(v.get<std::string>().c_str(), nullptr, 0));
    if (v.is_number())
        return static_cast<uint32_t>(v.get<long long>());
    return dflt;
}

const json &adapter_doc(const FwContext &c)
{
    return c.m.doc.at("adapters").at(c.adapter);
}

// The port a request names, when the adapter has a 10GBASE-T PHY and that port.
bool phy_port(FwContext &c, uint32_t need_len, uint32_t *port)
{
    const json &a = adapter_doc(c);
    if (desc_number(a, "base_t", 0) == 0) {
        fail(c, FW_STATUS_NOT_SUPPORTED);
        return false;
    }
    if (c.req_len < need_len) {
        fail(c, FW_STATUS_FAILED);
        return false;
    }
    *port = get32(c.req);
    uint32_t ports = c.m.adapters[c.adapter].generation == "AW2" ? 2 : 4;
    if (*port >= ports) {
        fail(c, FW_STATUS_FAILED);
        return false;
    }
    return true;
}

json &port_state(FwContext &c, uint32_t port)
{
    json &all = (*c.fw)["baset"];
    if (!all.is_object())
        all = json::object();
    json &p = all[std::to_string(port)];
    if (!p.is_object())
        p = json::object();
    return p;
}

const json &described(const FwContext &c, const char *key)
{
    static const json empty = json::object();
    const json &a = adapter_doc(c);
    return a.contains(key) && a.at(key).is_object() ? a.at(key) : empty;
}

} // namespace

void cmd_baset_stats(FwContext &c)
{
    const bool v1 = c.hdr.version == 1;
    if (v1 && desc_number(adapter_doc(c), "base_t_v1", 1) == 0) {
        fail(c, FW_STATUS_NOT_SUPPORTED);
        return;
    }
    uint32_t port = 0;
    if (!phy_port(c, v1 ? 8 : 4, &port))
        return;
    const json &stats = described(c, "base_t_stats");
    bool cleared = port_state(c, port).value("cleared", false);
    uint32_t words[kSharedWords];
    for (size_t i = 0; i < kSharedWords; ++i) {
        uint32_t dflt = i == 1 ? desc_word(adapter_doc(c), "temperature", 52) : 0;
        words[i] = cleared && i >= kFirstCounter ? 0 : desc_word(stats, kStatWords[i], dflt);
    }
    uint32_t frames_lo = cleared ? 0 : desc_word(stats, "PHYFrameCtrLo", 0);
    uint32_t frames_hi = cleared ? 0 : desc_word(stats, "PHYFrameCtrHi", 0);
    uint32_t crc8 = cleared ? 0 : desc_word(stats, "MDICRC8Ctr", 0);

    c.answer.assign(v1 ? 112 : 84, 0);
    for (size_t i = 0; i < kSharedWords; ++i)
        put32(c.answer, 4 * i, words[i]);
    put32(c.answer, 76, frames_lo);
    put32(c.answer, 80, crc8);
    if (v1) {
        put32(c.answer, 84, frames_hi);
        if (get32(c.req + 4) & 1) {
            // The counters restart after this reading.
            port_state(c, port)["cleared"] = true;
            c.dirty = true;
        }
    }
}

void cmd_baset_selftest(FwContext &c)
{
    uint32_t port = 0;
    if (!phy_port(c, 16, &port))
        return;
    uint32_t type = get32(c.req + 4);
    uint32_t source = get32(c.req + 8);
    uint32_t target = get32(c.req + 12);
    if ((type != 1 && type != 2 && type != 5) || source > 3 || target > 3) {
        fail(c, FW_STATUS_FAILED);
        return;
    }
    c.answer.assign(555, 0);
    put32(c.answer, 0, desc_word(adapter_doc(c), "self_test_result", 0));
}

void cmd_baset_set_nvp(FwContext &c)
{
    uint32_t port = 0;
    if (!phy_port(c, 8, &port))
        return;
    port_state(c, port)["nvp"] = get32(c.req + 4);
    c.dirty = true;
    c.answer.assign(8, 0);
}

void cmd_baset_tdr(FwContext &c)
{
    uint32_t port = 0;
    if (!phy_port(c, 4, &port))
        return;
    const json &tdr = described(c, "tdr");
    c.answer.assign(24, 0);
    put32(c.answer, 0, desc_word(tdr, "pair_status", 0));
    if (tdr.contains("lengths") && tdr.at("lengths").is_array())
        for (size_t i = 0; i < 4 && i < tdr.at("lengths").size(); ++i)
            if (tdr.at("lengths").at(i).is_number())
                put32(c.answer, 4 + 4 * i, tdr.at("lengths").at(i).get<uint32_t>());
    put32(c.answer, 20, port_state(c, port).value("nvp", kDefaultNvp));
}

void cmd_baset_get_nvp(FwContext &c)
{
    uint32_t port = 0;
    if (!phy_port(c, 4, &port))
        return;
    c.answer.assign(4, 0);
    put32(c.answer, 0, port_state(c, port).value("nvp", kDefaultNvp));
}

} // namespace hlvdsim
