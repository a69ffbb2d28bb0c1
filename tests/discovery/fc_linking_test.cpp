// FC-side entries that depend on more than their own answers: an FCoE
// function tied to its converged controller by bus and serial number, and
// JEDEC id 0x0038 named by the SRAM size the adapter reports, on tables built
// as an exported call builds them and through discovery.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "adapters/adapter_table.h"
#include "adapters/converged_discovery.h"
#include "discovery_fixture.h"
#include "flash/adapter_list.h"
#include "flash/ovnflashlib.h"

namespace {

using disctest::converged_adapter;
using disctest::json;
using disctest::machine;
using disctest::TableGuard;

json vpd_of(const std::vector<std::pair<std::string, std::string>> &kws)
{
    json k = json::array();
    for (const auto &kw : kws)
        k.push_back({kw.first, kw.second});
    return {{"identifier", "Simulated FC HBA"}, {"keywords", k}};
}

// Controller 0: an AW2 NIC adapter on bus 3. Controller 1: an AW3 adapter on
// bus 4 with a NIC function, and an FCoE function on `fcoe_bus` whose VPD
// serial number is `vpd_serial`: function 1 beside the NIC function, function
// 0 on a bus of its own (a converged location is listed by its function 0).
// No port has an FCoE port name: every port reads eight zero bytes.
std::string fcoe_machine(unsigned fcoe_bus, const std::string &vpd_serial)
{
    json other = converged_adapter("aw2", "AW2", 0, 3, "4.2.433.604", {{"nic", 0x0700}}, 0x02, 0x19A2, 0xE602);
    other["oem"] = {{"oem_serial", "OEM-AW2-00"}};
    json aw3 = converged_adapter("aw3", "AW3", 0, 4, "10.2.370.15", {{"nic", 0x0710}}, 0x01);
    aw3["oem"] = {{"oem_serial", "OEM-AW3-01"}};
    json f = disctest::function("fcoe", 0, fcoe_bus, 0, fcoe_bus == 4 ? 1 : 0, 0x19A2, 0x0714, 0x10DF, 0xE70E, 0x01);
    f["fc"] = {{"vpd", vpd_of({{"SN", vpd_serial}, {"V1", "FCoE function"}, {"V2", "FCOE-2P"}, {"V4", "P1"}})}};
    aw3["functions"].push_back(f);
    return machine({other, aw3});
}

const DiscoveredDevice *find(const std::vector<DiscoveredDevice> &devices, const std::string &bus, const char *fn)
{
    for (const DiscoveredDevice &d : devices)
        if (d.busnumber == bus && d.funcnumber == fn)
            return &d;
    return nullptr;
}

TEST(FcoeLinkByBusAndSerial, TableAndDiscoveryFile)
{
    // A port without an FCoE port name reads "00:00:00:00:00:00:00:00". It
    // names no port: were it compared, it would tie the FCoE function (whose
    // own name reads zero here) to the first controller's port, the AW2.
    // Such ports send the linking to the bus-and-serial pass.
    const struct {
        const char *what;
        unsigned fcoe_bus;
        const char *vpd_serial;
        bool linked;
    } cases[] = {
        {"bus and serial of controller 1, serial in lower case", 4, "oem-aw3-01", true},
        {"bus of controller 1, another serial", 4, "OEM-AW3-02", false},
        {"serial of controller 1, another bus", 5, "OEM-AW3-01", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        hlvdtest::SimHost host(fcoe_machine(c.fcoe_bus, c.vpd_serial));
        {
            TableGuard guard;
            ASSERT_EQ(0, CreateAdapterList());
            ASSERT_EQ(1u, gAdapterCount);
            ASSERT_EQ(2u, gAwCount);
            const _Adapter &e = gAdapters[0];
            EXPECT_STREQ("OEM-AW3-01", gCB_Arcwright[1].oemSerialNumber);
            EXPECT_EQ(c.linked ? 1u : 0u, e.controllerIndex);
            EXPECT_EQ(c.linked ? ADAPTER_KIND_MANAGED | ADAPTER_KIND_FCOE : ADAPTER_KIND_FCOE, e.kindFlags);
            // Bit 0x20 of CONTROLLER_HAS_FCOE comes with the NIC functions
            // too: only the FCoE bit tells the link.
            EXPECT_EQ(c.linked ? CONTROLLER_HAS_FCOE | CONTROLLER_HAS_NIC : CONTROLLER_HAS_NIC,
                      gCB_Arcwright[1].flags & (CONTROLLER_HAS_FCOE | CONTROLLER_HAS_NIC));
            EXPECT_EQ(0u, gCB_Arcwright[0].flags & ADAPTER_KIND_FCOE);
        }

        std::string images = host.path("/images");
        ASSERT_EQ(0, mkdir(images.c_str(), 0755));
        disctest::ufi(images, "aw3.ufi", 3, "10.2.370.15");
        std::string xml = host.path("/discovery.xml");
        ASSERT_EQ(0, oem_do_discovery_with_files(xml.c_str(), images.c_str()));
        std::vector<DiscoveredDevice> devices = disctest::read_discovery(xml);
        // One device per adapter location: the FCoE function on the adapter's
        // own bus is listed with it, read through the management library;
        // on a bus of its own it is listed alone, read on the FC path.
        const DiscoveredDevice *d = find(devices, std::to_string(c.fcoe_bus), "0");
        ASSERT_NE(nullptr, d);
        if (c.linked) {
            // The controller's firmware; its boot code is the controller's
            // own and plays no part in the linking.
            EXPECT_EQ("10.2.370.15", d->firmware.active_version);
        } else if (c.fcoe_bus != 4) {
            EXPECT_EQ("FCOE", d->nictype);
            EXPECT_EQ("0714", d->devid);
            EXPECT_EQ("E70E", d->subdevid);
            EXPECT_FALSE(d->hasBootItem);
            // Read on the FC path: the function sits on the AW3 card, so its
            // firmware is the card's; it has no boot item of its own.
            EXPECT_EQ("10.2.370.15", d->firmware.active_version);
        }
    }
}

// JEDEC id 0x0038: device id 0xF098 has its own name; any other device id is
// dual channel when the first SRAM size word (memory address 1928) is
// 0x7FFFC, else single channel. The dual-channel flag of the configuration
// header does not take part.
TEST(Jedec38Names, BySramSizeNotByTheHeader)
{
    const struct {
        const char *what;
        unsigned device_id;
        unsigned header_type;
        long sram; // -1: the simulator's default (0x7FFFC)
        const char *model;
    } cases[] = {
        {"F098, dual SRAM", 0xF098, 0x00, 0x7FFFC, "MW-2098"},
        {"F098, multi-function header", 0xF098, 0x80, 0x3FFFC, "MW-2098"},
        {"dual SRAM, single-function header", 0xF980, 0x00, 0x7FFFC, "MW-2080D"},
        {"dual SRAM, multi-function header", 0xF980, 0x80, -1, "MW-2080D"},
        {"other SRAM, single-function header", 0xF980, 0x00, 0x3FFFC, "MW-2080"},
        {"other SRAM, multi-function header", 0xF980, 0x80, 0x3FFFC, "MW-2080"},
        {"zero SRAM word", 0xF980, 0x80, 0, "MW-2080"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        json fc = {{"jedec", "0x0038"}};
        if (c.sram >= 0)
            fc["memory"] = {{"1928", c.sram}};
        json f = disctest::function("fc", 0, 0x13, 0, 0, 0x10DF, c.device_id, 0x10DF, c.device_id);
        f["fc"] = fc;
        f["kpl"] = {{"header_type", c.header_type}};
        json a = disctest::fc_adapter("j38", 0x13, 0);
        a["functions"] = json::array({f});
        hlvdtest::SimHost host(machine({a}));
        TableGuard guard;
        ASSERT_EQ(0, CreateAdapterList());
        ASSERT_EQ(1u, gAdapterCount);
        const _Adapter &e = gAdapters[0];
        EXPECT_EQ(0x0038, e.jedecId);
        EXPECT_EQ(c.header_type ? ADAPTER_FLAG_DUAL_CHANNEL : 0, e.flags & ADAPTER_FLAG_DUAL_CHANNEL);
        EXPECT_STREQ(c.model, e.modelName);
    }
}

} // namespace
