// Discovery of converged adapters end to end, for what the management
// library reads from the adapters' functions: the MAC address each device
// shows in the discovery file, and the PCI revision that makes an AW3
// adapter an R variant, which takes only the images made for it.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "discovery_fixture.h"
#include "flash/ovnflashlib.h"
#include "mal/mal_core.h"
#include "mal/mal_records.h"
#include "mgmt/vexo/core/vexo_api.h"

namespace {

using disctest::converged_adapter;
using disctest::json;
using disctest::machine;
using disctest::read_discovery;
using disctest::ufi;

std::string upper(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

// The MAC the file shows for an adapter: its function 0's configured MAC.
std::string expected_mac(const json &adapter)
{
    const json &f0 = adapter["functions"][0];
    return upper(f0.value("permanent_mac", f0["mac"].get<std::string>()));
}

const DiscoveredDevice *device_on_bus(const std::vector<DiscoveredDevice> &devices, const json &adapter)
{
    char bus[8];
    std::snprintf(bus, sizeof bus, "%X", adapter["functions"][0]["bus"].get<unsigned>());
    for (const DiscoveredDevice &d : devices)
        if (d.busnumber == bus)
            return &d;
    return nullptr;
}

// Writes a configured MAC to the NIC function 0 of the adapter on `bus`
// through the client layer and the management library, as a management
// tool would between two discoveries.
void write_configured_mac(unsigned bus, const char *mac)
{
    char service[MAL_VALUE_SIZE] = "";
    char hierarchy[MAL_VALUE_SIZE] = "";
    ASSERT_EQ(RM_STATUS_OK, MAL_VEXO_Init(service, hierarchy));
    uint32_t adapters[MAL_MAX_TAGS];
    int count = MAL_MAX_TAGS;
    ASSERT_EQ(RM_STATUS_OK, MAL_EnumerateArcwrights(&count, adapters));
    bool written = false;
    for (int a = 0; a < count && !written; ++a) {
        uint32_t nics[MAL_MAX_TAGS];
        int n = MAL_MAX_TAGS;
        if (MAL_EnumerateHbas(static_cast<node_tag_t>(adapters[a]), MAL_HBA_NIC, &n, nics) != RM_STATUS_OK)
            continue;
        for (int i = 0; i < n && !written; ++i) {
            MAL_PCIIdentity pci = {};
            MAL_GetGroup_PCI(static_cast<node_tag_t>(nics[i]), &pci);
            if (pci.BusNumber != bus || pci.FunctionNumber != 0)
                continue;
            node_tag_t prop = VEXO_NO_TAG;
            ASSERT_EQ(RM_STATUS_OK, MAL_get_node_tag(static_cast<node_tag_t>(nics[i]), "PermanentMACAddress", &prop,
                                                     MAL_NODE_PROPERTY));
            char value[VEXO_VALUE_SIZE];
            std::snprintf(value, sizeof value, "%s", mac);
            ASSERT_EQ(VEXO_STATUS_SUCCESS,
                      VEXO_set_property_val(static_cast<node_tag_t>(nics[i]), prop, value, sizeof value));
            written = true;
        }
    }
    EXPECT_TRUE(written);
    EXPECT_EQ(RM_STATUS_OK, MAL_VEXO_Exit());
}

TEST(ConvergedDiscoveryMacs, EachDeviceShowsItsFunctionZeroMac)
{
    std::vector<json> adapters = {
        converged_adapter("aw2", "AW2", 0, 3, "4.2.433.604", {{"nic", 0x0700}, {"nic", 0x0700}}, 0x02, 0x19A2,
                          0xE602),
        converged_adapter("aw3", "AW3", 0, 4, "10.2.370.15", {{"nic", 0x0710}, {"iscsi", 0x0712}}, 0x01),
        converged_adapter("aw3i", "AW3", 0, 7, "10.2.370.15", {{"iscsi", 0x0712}, {"nic", 0x0710}}, 0x01),
        converged_adapter("trm", "Trelmont", 0, 5, "11.1.183.23", {{"nic", 0x0720}}, 0x00, 0x19A2, 0xE81E),
        converged_adapter("vrw", "Varrow", 0, 6, "11.4.204.20", {{"nic", 0xE228}}, 0x10, 0x10DF, 0xE22A),
    };
    // Configured MACs apart from the factory ones, in either case.
    adapters[0]["functions"][0]["permanent_mac"] = "02:00:c9:a2:01:10";
    adapters[2]["functions"][0]["permanent_mac"] = "02:00:C9:00:07:10";
    adapters[3]["functions"][0]["permanent_mac"] = "02:00:c9:c4:01:30";
    hlvdtest::SimHost host(machine(adapters));
    std::string images = host.path("/images");
    ASSERT_EQ(0, mkdir(images.c_str(), 0755));
    ufi(images, "aw2.ufi", 2, "4.2.433.700");
    std::string xml = host.path("/discovery.xml");

    ASSERT_EQ(0, oem_do_discovery_with_files(xml.c_str(), images.c_str()));
    std::vector<DiscoveredDevice> devices = read_discovery(xml);
    ASSERT_EQ(adapters.size(), devices.size());
    for (const json &a : adapters) {
        const DiscoveredDevice *d = device_on_bus(devices, a);
        ASSERT_NE(nullptr, d) << a["name"];
        EXPECT_EQ(expected_mac(a), d->macaddress) << a["name"];
    }

    // A configured MAC written between two discoveries shows in the next
    // file; the current MAC stays the adapter's until it reboots.
    write_configured_mac(4, "02-00-c9-00-04-99");
    ASSERT_EQ(0, oem_do_discovery_with_files(xml.c_str(), images.c_str()));
    devices = read_discovery(xml);
    const DiscoveredDevice *aw3 = device_on_bus(devices, adapters[1]);
    ASSERT_NE(nullptr, aw3);
    EXPECT_EQ("02:00:C9:00:04:99", aw3->macaddress);
    EXPECT_EQ(expected_mac(adapters[0]), device_on_bus(devices, adapters[0])->macaddress);
}

struct Image {
    const char *name;
    const char *version;
    int asic; // ASIC support of the image: 0 base, 0x10 R, 0x11 R P2
};

TEST(ConvergedDiscoveryRevisions, Aw3RRevisionsTakeTheirOwnImages)
{
    const Image base = {"aw3-base.ufi", "10.2.370.15", 0};
    const Image r_old = {"aw3r-old.ufi", "10.2.370.10", 0x10};
    const Image r2_new = {"aw3r2-new.ufi", "10.2.370.30", 0x11};
    const struct {
        const char *what;
        unsigned revision;
        std::vector<Image> images;
        const char *action;
        const char *file;
        const char *version;
    } cases[] = {
        {"base revision takes the base image", 0x01, {base, r_old}, "rewrite", "aw3-base.ufi", "10.2.370.15"},
        {"R takes the R image, not the base one", 0x10, {base, r_old}, "downgrade", "aw3r-old.ufi", "10.2.370.10"},
        {"R takes an R P2 image", 0x10, {base, r2_new}, "upgrade", "aw3r2-new.ufi", "10.2.370.30"},
        {"R P2 takes the R P2 image", 0x11, {base, r_old, r2_new}, "upgrade", "aw3r2-new.ufi", "10.2.370.30"},
        {"R P2 takes no other image", 0x11, {base, r_old}, "skip", "", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        json adapter = converged_adapter("aw3", "AW3", 0, 4, "10.2.370.15", {{"nic", 0x0710}, {"nic", 0x0710}},
                                         c.revision);
        hlvdtest::SimHost host(machine({adapter}));
        std::string images = host.path("/images");
        ASSERT_EQ(0, mkdir(images.c_str(), 0755));
        for (const Image &i : c.images)
            ufi(images, i.name, 3, i.version, i.asic);
        std::string xml = host.path("/discovery.xml");
        ASSERT_EQ(0, oem_do_discovery_with_files(xml.c_str(), images.c_str()));
        std::vector<DiscoveredDevice> devices = read_discovery(xml);
        ASSERT_EQ(1u, devices.size());
        EXPECT_EQ(c.action, devices[0].firmware.action);
        EXPECT_EQ(c.file, devices[0].firmware.firmware_file);
        EXPECT_EQ(c.version, devices[0].firmware.version);
        EXPECT_EQ("10.2.370.15", devices[0].firmware.active_version);
    }
}

} // namespace
