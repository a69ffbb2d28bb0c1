#include "fc_fixture.h"

#include <cstdio>

#include "adapters/adapter_table.h"
#include "flash/adapter_list.h"
#include "sim/command_log.h"
#include "sim/fault_plan.h"

namespace fctest {

namespace {

std::string hex4(unsigned v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%04X", v);
    return buf;
}

} // namespace

json fc_function(unsigned bus, unsigned fn, unsigned device_id, const char *kind, unsigned subdevice,
                 unsigned subvendor)
{
    return json{{"segment", 0},
                {"bus", bus},
                {"device", 0},
                {"function", fn},
                {"kind", kind},
                {"vendor", hex4(0x10DF)},
                {"device_id", hex4(device_id)},
                {"subvendor", hex4(subvendor)},
                {"subdevice", hex4(subdevice ? subdevice : device_id)},
                {"revision", "0x10"},
                {"port", fn},
                {"wwpn", wwpn_of(bus, fn)}};
}

std::string wwpn_of(unsigned bus, unsigned fn)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "10:00:00:00:C9:A5:%02X:%02X", bus & 0xFF, fn & 0xFF);
    return buf;
}

json fc_hba(const std::string &name, unsigned bus, unsigned count, unsigned device_id, const std::string &generation)
{
    json fns = json::array();
    for (unsigned f = 0; f < count; ++f)
        fns.push_back(fc_function(bus, f, device_id));
    return json{{"name", name},
                {"family", "fc"},
                {"generation", generation},
                {"serial", name + "-SN"},
                {"firmware", {{"active", "2.01A12"}, {"flash", "2.01A12"}, {"boot", "5.12A0"}}},
                {"functions", fns}};
}

json sli3_hba(const std::string &name, unsigned bus, unsigned count)
{
    return fc_hba(name, bus, count, 0xFE00, "SLI3");
}

json varrow_fc_hba(const std::string &name, unsigned bus, unsigned count)
{
    json a = fc_hba(name, bus, count, 0xE200, "SLI4");
    a["firmware"] = {{"active", "11.4.204.20"}, {"flash", "11.4.204.20"}, {"boot", "11.4.204.20"}};
    return a;
}

std::string machine(const std::vector<json> &adapters)
{
    json m = {{"adapters", json::array()}};
    for (const json &a : adapters)
        m["adapters"].push_back(a);
    return m.dump();
}

FcHost::FcHost(const std::string &machine_json) : host_(machine_json)
{
    built_ = CreateAdapterList() == 0;
    EXPECT_TRUE(built_) << "the adapter table was not built";
}

FcHost::~FcHost()
{
    FreeAllGlobals();
}

bool FcHost::rebuild()
{
    FreeAllGlobals();
    built_ = CreateAdapterList() == 0;
    return built_;
}

int FcHost::board(unsigned bus, unsigned fn) const
{
    for (uint32_t i = 0; gAdapters && i < gAdapterCount; ++i) {
        const _Adapter &a = gAdapters[i];
        if (a.pciBus == bus && static_cast<unsigned>(a.pciFunction) == fn)
            return static_cast<int>(i);
    }
    ADD_FAILURE() << "no FC-side entry at bus " << bus << " function " << fn;
    return -1;
}

std::vector<json> FcHost::log() const
{
    return hlvdsim::log_read(host_.root());
}

std::vector<json> FcHost::calls(const std::string &call) const
{
    std::vector<json> out;
    for (const json &e : log())
        if (e.contains("call") && e["call"].is_string() && e["call"].get<std::string>() == call)
            out.push_back(e);
    return out;
}

void FcHost::clear_log() const
{
    hlvdsim::log_clear(host_.root());
}

int FcHost::plan(const json &fault) const
{
    std::string err;
    int id = hlvdsim::fault_add_json(host_.root(), fault, &err);
    EXPECT_GT(id, 0) << "fault refused: " << err << " " << fault.dump();
    return id;
}

void FcHost::clear_faults() const
{
    hlvdsim::fault_clear(host_.root());
}

} // namespace fctest
