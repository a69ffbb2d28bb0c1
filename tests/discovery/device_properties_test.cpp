// Device properties and proposed actions: table lookup by PCI address, the
// working record made from a discovery record, and the action proposed for
// each item against a directory of generated images.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "adapters/adapter_table.h"
#include "discovery_fixture.h"
#include "flash/device_properties.h"
#include "flash/image_list.h"

namespace {

using disctest::DebugLog;
using disctest::TableGuard;
using disctest::ufi;

DiscoveredDevice converged(int32_t kind, const char *devid, unsigned revision, const char *active,
                           const char *product = "Converged adapter")
{
    DiscoveredDevice d;
    d.kind = kind;
    d.nictype = kind == HBA_KIND_ISCSI ? "iSCSI" : (kind == HBA_KIND_FCOE ? "FCOE" : "NIC");
    d.devid = devid;
    d.venid = "19A2";
    d.subvenid = "10DF";
    d.subdevid = "E70E";
    d.segment = "0";
    d.busnumber = "4";
    d.devicenumber = "0";
    d.funcnumber = "0";
    char rev[8];
    std::snprintf(rev, sizeof rev, "%X", revision);
    d.asicRevisionId = rev;
    d.product_id = product;
    d.firmware.active_version = active;
    d.firmware.duration = "300";
    return d;
}

DiscoveredDevice fc(const char *devid, const char *fw, const char *boot)
{
    DiscoveredDevice d;
    d.kind = HBA_KIND_FC;
    d.nictype = "FC";
    d.devid = devid;
    d.venid = "10DF";
    d.subvenid = "10DF";
    d.subdevid = devid;
    d.segment = "0";
    d.busnumber = "7";
    d.devicenumber = "0";
    d.funcnumber = "1";
    d.asicRevisionId = "3";
    d.product_id = "FC adapter";
    d.hasBootItem = true;
    d.firmware.active_version = fw;
    d.bootCode.active_version = boot;
    return d;
}

class ProposedActions : public ::testing::Test {
protected:
    hlvdtest::SimHost host{R"({"adapters": []})"};
    std::string images = host.path("/images");
    void SetUp() override
    {
        ASSERT_EQ(0, mkdir(images.c_str(), 0755));
        ufi(images, "aw2-new.ufi", 2, "4.2.433.700");
        ufi(images, "aw3-same.ufi", 3, "10.2.370.15", 0);
        ufi(images, "aw3r-old.ufi", 3, "10.2.370.10", 0x10);
        ufi(images, "trm-old.ufi", 4, "11.1.183.20", 0x10);
        int empty = 1;
        ASSERT_NE(nullptr, makeFileNameList2(images.c_str(), &empty, VALIDATE_ADAPTER));
    }
    void TearDown() override { FreeGlobalFileNameList(); }
};

TEST_F(ProposedActions, ConvergedFunctionsMeetTheirImages)
{
    const struct {
        DiscoveredDevice device;
        const char *action;
        const char *file;
        const char *version;
    } cases[] = {
        {converged(HBA_KIND_NIC, "0700", 0x02, "4.2.433.604"), "upgrade", "aw2-new.ufi", "4.2.433.700"},
        {converged(HBA_KIND_NIC, "0710", 0x01, "10.2.370.15"), "rewrite", "aw3-same.ufi", "10.2.370.15"},
        {converged(HBA_KIND_ISCSI, "0712", 0x01, "10.2.370.15"), "rewrite", "aw3-same.ufi", "10.2.370.15"},
        // An R revision takes only R images.
        {converged(HBA_KIND_NIC, "0710", 0x10, "10.2.370.15"), "downgrade", "aw3r-old.ufi", "10.2.370.10"},
        {converged(HBA_KIND_NIC, "0720", 0x10, "11.1.183.23"), "downgrade", "trm-old.ufi", "11.1.183.20"},
        {converged(HBA_KIND_NIC, "0720", 0x10, "11.1.183.20"), "rewrite", "trm-old.ufi", "11.1.183.20"},
        // No UFI image fits a Varrow adapter.
        {converged(HBA_KIND_NIC, "E220", 0x10, "11.4.204.20"), "skip", "", ""},
        // A version the adapter could not report is not comparable.
        {converged(HBA_KIND_NIC, "0710", 0x01, "Not Available"), "skip", "aw3-same.ufi", "10.2.370.15"},
        {converged(HBA_KIND_NIC, "0700", 0x02, "N/A"), "skip", "aw2-new.ufi", "4.2.433.700"},
        {converged(HBA_KIND_NIC, "0700", 0x02, ""), "skip", "aw2-new.ufi", "4.2.433.700"},
    };
    std::vector<DiscoveredDevice> list;
    for (const auto &c : cases)
        list.push_back(c.device);
    DebugLog log(host);
    ASSERT_EQ(0, UpdateDiscoveredDevicesList(list));
    for (size_t i = 0; i < list.size(); ++i) {
        const FirmwareDetails &fw = list[i].firmware;
        EXPECT_EQ(cases[i].action, fw.action) << i;
        EXPECT_EQ(cases[i].file, fw.firmware_file) << i;
        EXPECT_EQ(cases[i].version, fw.version) << i;
        // Converged functions have no boot code item to propose for.
        EXPECT_EQ("", list[i].bootCode.action) << i;
        EXPECT_FALSE(list[i].hasBootItem);
    }
    EXPECT_TRUE(log.has("UpdateDiscoveredDevicesList: skipping the boot code matching becuase it is a cna. "
                        "device = Converged adapter\n"));
    EXPECT_TRUE(log.has("UpdateDiscoveredDevicesList: matching firmware image not found, skipping the device "
                        "Converged adapter\n"));
}

TEST_F(ProposedActions, FcFunctionsMeetNoUfiImage)
{
    std::vector<DiscoveredDevice> list = {fc("FE00", "WF2.01A12", "WB5.12A0")};
    DebugLog log(host);
    ASSERT_EQ(0, UpdateDiscoveredDevicesList(list));
    EXPECT_EQ("skip", list[0].firmware.action);
    EXPECT_EQ("skip", list[0].bootCode.action);
    EXPECT_EQ("", list[0].bootCode.firmware_file);
    // FC HBAs show their active versions without dots.
    EXPECT_EQ("WF201A12", list[0].firmware.active_version);
    EXPECT_EQ("WB512A0", list[0].bootCode.active_version);
    EXPECT_TRUE(log.has("UpdateDiscoveredDevicesList: matching bootcode image not found, skipping the device FC "
                        "adapter\n"));
}

TEST(DeviceProperties, WorkingRecordOfAnFcFunction)
{
    DiscoveredDevice d = fc("FE00", "wf2.01a12", "wb5.12a0");
    d.dualChannel = 1;
    d.blade = 1;
    _Hba hba;
    std::memset(&hba, 0, sizeof hba);
    ASSERT_EQ(0, ConvertDiscoveredDeviceToHbaStructure(d, &hba));
    EXPECT_EQ(0xFE00u, hba.deviceId);
    EXPECT_EQ(0x10DFu, hba.vendorId);
    EXPECT_EQ(7u, hba.pciBus);
    EXPECT_EQ(1u, hba.pciFunction);
    EXPECT_EQ(3u, hba.activeFw.asicRevisionId);
    EXPECT_EQ(1, hba.dualChannel);
    EXPECT_EQ(1, hba.blade);
    EXPECT_STREQ("201A12", hba.rawFwVersion); // dots and type letters gone
    EXPECT_STREQ("WB", hba.bootPrefix);
    EXPECT_STREQ("WB512A0", hba.activeBoot.decodedVersion);
    EXPECT_STREQ("512A0", hba.rawBootVersion);
    EXPECT_EQ("wf201a12", d.firmware.active_version);

    DiscoveredDevice none = fc("FE00", "N/A", "none");
    std::memset(&hba, 0, sizeof hba);
    ConvertDiscoveredDeviceToHbaStructure(none, &hba);
    EXPECT_STREQ("XX0.00A0", hba.rawFwVersion);
    EXPECT_STREQ("NONE", hba.rawBootVersion);
}

TEST(DeviceProperties, WorkingRecordOfAConvergedFunction)
{
    _Hba hba;
    DiscoveredDevice r = converged(HBA_KIND_NIC, "0710", 0x11, "10.2.370.15");
    std::memset(&hba, 0, sizeof hba);
    ConvertDiscoveredDeviceToHbaStructure(r, &hba);
    EXPECT_EQ(1, hba.activeFw.isAWR); // gen-3 revision above 15
    EXPECT_EQ(1, hba.activeBoot.isAWR);
    EXPECT_EQ(3, hba.adapterImageType);
    EXPECT_EQ(10u, hba.activeVersion[0]);
    EXPECT_EQ(15u, hba.activeVersion[3]);
    EXPECT_EQ("10.2.370.15", r.firmware.active_version); // converged texts keep their dots

    DiscoveredDevice na = converged(HBA_KIND_NIC, "0720", 0x10, "N/A");
    std::memset(&hba, 0, sizeof hba);
    ConvertDiscoveredDeviceToHbaStructure(na, &hba);
    EXPECT_STREQ("0.0.0.0", hba.rawFwVersion);
    EXPECT_EQ(1, hba.activeFw.isAWR);

    DiscoveredDevice base = converged(HBA_KIND_NIC, "0710", 0x01, "10.2.370.15");
    std::memset(&hba, 0, sizeof hba);
    ConvertDiscoveredDeviceToHbaStructure(base, &hba);
    EXPECT_EQ(0, hba.activeFw.isAWR);
}

TEST(DeviceProperties, LookupByPciAddress)
{
    TableGuard guard;
    gAdapterCount = 2;
    gTotalHBAs = 4;
    gAdapters = static_cast<_Adapter *>(std::calloc(gTotalHBAs, sizeof(_Adapter)));
    gAdapters[0].pciBus = 3; // FC function 3:0.0, no segment of its own
    gAdapters[1].pciBus = 7;
    gAdapters[1].pciFunction = 1;
    gAdapters[2].cnaSegment = 1; // converged function 1:3:0.0
    gAdapters[2].cnaBus = 3;
    gAdapters[3].cnaSegment = 0;
    gAdapters[3].cnaBus = 9;
    gAdapters[3].cnaDevice = 2;
    gAdapters[3].cnaFunction = 4;
    const struct {
        uint32_t seg, bus, dev, fn;
        int rc;
        uint32_t index;
    } cases[] = {
        {0, 3, 0, 0, 0, 0},
        {1, 3, 0, 0, 0, 2},  // the converged function on its own segment, not the FC one
        {2, 7, 0, 1, 0, 1},  // an FC function whatever the segment
        {0, 9, 2, 4, 0, 3},
        {1, 9, 2, 4, 10008, 0}, // converged functions only on their own segment
        {0, 7, 0, 0, 10008, 0},
    };
    for (const auto &c : cases) {
        uint32_t index = 99;
        EXPECT_EQ(c.rc, GetAdapterIndxByPciIDs(c.seg, c.bus, c.dev, c.fn, &index))
            << c.seg << ":" << c.bus << ":" << c.dev << "." << c.fn;
        if (c.rc == 0) {
            EXPECT_EQ(c.index, index);
        }
    }
    DiscoveredDevice d;
    EXPECT_EQ(10008, GetDiscoveredAdapterProperty(4, d));
}

} // namespace
