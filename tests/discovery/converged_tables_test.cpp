// The converged merge and the FCoE linking over controller tables made in the
// test, as the controller enumeration leaves them.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "adapters/adapter_table.h"
#include "adapters/converged_discovery.h"
#include "discovery_fixture.h"

namespace {

using disctest::DebugLog;
using disctest::TableGuard;

MAL_PCIIdentity pci(uint32_t device_id, uint32_t seg, uint32_t bus, uint32_t dev, uint32_t fn)
{
    MAL_PCIIdentity p = {0x19A2, device_id, 0xE70E, 0x10DF, seg, bus, dev, fn};
    return p;
}

// Controllers with the given numbers of iSCSI and NIC functions and ports;
// the table of `fc` FC-side entries sized for all functions.
struct Controllers {
    Controllers(uint32_t fc, std::initializer_list<std::array<uint32_t, 3>> shapes)
    {
        gVEXO = 1;
        gAwCount = static_cast<uint32_t>(shapes.size());
        gCB_Arcwright = static_cast<_CB_Arcwright *>(std::calloc(gAwCount, sizeof(_CB_Arcwright)));
        uint32_t c = 0;
        for (const auto &s : shapes) {
            _CB_Arcwright &cb = gCB_Arcwright[c];
            cb.tag = static_cast<node_tag_t>(100 + c);
            if (s[0]) {
                cb.flags |= CONTROLLER_HAS_ISCSI;
                cb.iSCSICount = s[0];
                cb.iSCSIFunctions = static_cast<_CB_iSCSIFunction *>(std::calloc(s[0], sizeof(_CB_iSCSIFunction)));
                giSCSICount += s[0];
            }
            if (s[1]) {
                cb.flags |= CONTROLLER_HAS_NIC;
                cb.nicCount = s[1];
                cb.nicFunctions = static_cast<_CB_NICFunction *>(std::calloc(s[1], sizeof(_CB_NICFunction)));
                gNICCount += s[1];
            }
            if (s[2]) {
                cb.portCount = s[2];
                cb.ports = static_cast<_CB_Port *>(std::calloc(s[2], sizeof(_CB_Port)));
            }
            for (uint32_t i = 0; i < cb.iSCSICount; ++i)
                cb.iSCSIFunctions[i].controllerIndex = c;
            for (uint32_t i = 0; i < cb.nicCount; ++i)
                cb.nicFunctions[i].controllerIndex = c;
            for (uint32_t i = 0; i < cb.portCount; ++i) {
                cb.ports[i].controllerIndex = c;
                cb.ports[i].portNumber = static_cast<int32_t>(i);
            }
            ++c;
        }
        gAdapterCount = fc;
        gTotalHBAs = fc + giSCSICount + gNICCount;
        gAdapters = static_cast<_Adapter *>(std::calloc(gTotalHBAs, sizeof(_Adapter)));
        gVPDModelDescription = static_cast<char **>(std::calloc(gTotalHBAs, sizeof(char *)));
        gUseVPD_ModelName = 1;
    }
    _CB_Arcwright &operator[](uint32_t c) { return gCB_Arcwright[c]; }
    TableGuard guard;
};

void set_mac(uint8_t *mac, uint8_t last)
{
    const uint8_t m[6] = {0x00, 0x00, 0xC9, 0xB3, 0x00, last};
    std::memcpy(mac, m, 6);
}

TEST(ConvergedMerge, FunctionsFollowTheFcEntriesPerController)
{
    hlvdtest::SimHost host(R"({"adapters": []})");
    Controllers t(3, {{2, 2, 2}, {0, 1, 1}});
    _CB_Arcwright &a = t[0];
    std::strcpy(a.properties.SerialNumber, "AW3SIM00001");
    std::strcpy(a.properties.BootCodeVersion, "10.2.370.15");
    std::strcpy(a.properties.Description, "Converged adapter, two ports");
    a.personalityManagementWord = 0x1F;
    for (uint32_t i = 0; i < 2; ++i) {
        _CB_iSCSIFunction &f = a.iSCSIFunctions[i];
        f.properties.pci = pci(0x0712, 0, 4, 0, 2 + i);
        f.properties.PortNumber = static_cast<int32_t>(i);
        f.properties.PciConfigSpace[8] = 0x10;
        f.linkState = i == 0 ? 1 : 0;
        set_mac(f.macAddress, static_cast<uint8_t>(0x22 + i));
        set_mac(f.permanentMacAddress, static_cast<uint8_t>(0x32 + i));
        _CB_NICFunction &n = a.nicFunctions[i];
        n.properties.pci = pci(0x0710, 0, 4, 0, i);
        n.properties.PortNumber = static_cast<int32_t>(i);
        n.properties.PciConfigSpace[8] = 0x10;
        set_mac(n.properties.MACAddress, static_cast<uint8_t>(0x20 + i));
        set_mac(n.properties.PermanentMACAddress, static_cast<uint8_t>(0x30 + i));
    }
    t[1].nicFunctions[0].properties.pci = pci(0x0700, 2, 3, 1, 0); // a gen-2 NIC on segment 2
    std::strcpy(t[1].properties.Description, "Second adapter");

    ASSERT_EQ(0, updateArcwrightAdapters());
    const struct {
        uint32_t kind, controller, function, port, link;
    } expected[] = {
        {0x24, 0, 2, 0, 1}, {0x24, 0, 3, 1, 0}, {0x22, 0, 0, 0, 0}, {0x22, 0, 1, 1, 0}, {0x22, 1, 0, 0, 0},
    };
    for (uint32_t k = 0; k < 5; ++k) {
        const _Adapter &e = gAdapters[3 + k];
        EXPECT_EQ(expected[k].kind, e.kindFlags) << k;
        EXPECT_EQ(expected[k].controller, e.controllerIndex) << k;
        EXPECT_EQ(expected[k].function, e.cnaFunction) << k;
        EXPECT_EQ(expected[k].port, e.portNumber) << k;
        EXPECT_EQ(expected[k].link, e.linkState) << k;
    }
    const _Adapter &iscsi = gAdapters[3];
    EXPECT_EQ(0x0712u, iscsi.cnaDeviceId);
    EXPECT_EQ(0x19A2u, iscsi.cnaVendorId);
    EXPECT_EQ(0xE70Eu, iscsi.cnaSubDeviceId);
    EXPECT_EQ(0x10DFu, iscsi.cnaSubVendorId);
    EXPECT_EQ(4u, iscsi.cnaBus);
    EXPECT_EQ(2u, iscsi.cnaDevfn);
    EXPECT_EQ(0x10u, iscsi.revisionId);
    EXPECT_EQ(0x1Fu, iscsi.personalityWord);
    EXPECT_EQ(0x22, iscsi.macAddress[5]);
    EXPECT_EQ(0x32, iscsi.permanentMacAddress[5]);
    EXPECT_STREQ("AW3SIM00001", iscsi.controllerSerial);
    EXPECT_STREQ("10.2.370.15", iscsi.bootCodeVersion);
    EXPECT_STREQ("Converged adapter, two ports", gVPDModelDescription[3]);
    EXPECT_EQ(0x30, gAdapters[5].permanentMacAddress[5]);

    const _Adapter &other = gAdapters[7];
    EXPECT_EQ(2u, other.cnaSegment);
    EXPECT_EQ(3u, other.cnaBus);
    EXPECT_EQ(8u, other.cnaDevfn);
    EXPECT_STREQ("N/A", other.controllerSerial); // the controller reported no serial number
    EXPECT_STREQ("Second adapter", gVPDModelDescription[7]);
    // The FC-side entries are left alone.
    EXPECT_EQ(0u, gAdapters[2].kindFlags);
    EXPECT_EQ(nullptr, gVPDModelDescription[2]);
}

TEST(ConvergedMerge, NothingWithoutTheManagementLibrary)
{
    Controllers t(1, {{0, 1, 0}});
    gVEXO = 0;
    EXPECT_EQ(72, updateArcwrightAdapters());
    EXPECT_EQ(72, getAdditionalFCoEProps());
    EXPECT_EQ(0u, gAdapters[1].kindFlags);
}

void fcoe_entry(uint32_t i, uint32_t bus, uint32_t ieee0, uint32_t ieee1, const char *serial = "")
{
    _Adapter &a = gAdapters[i];
    a.kindFlags = 0x28;
    a.pciBus = bus;
    a.ieeeAddress[0] = ieee0;
    a.ieeeAddress[1] = ieee1;
    std::strcpy(a.serialNumber, serial);
}

TEST(FcoeLinking, ByWwpnAndUnlinkedFunctionsLeaveTheManagementLibrary)
{
    hlvdtest::SimHost host(R"({"adapters": []})");
    Controllers t(3, {{0, 1, 2}, {0, 1, 2}});
    for (uint32_t c = 0; c < 2; ++c) {
        for (uint32_t p = 0; p < 2; ++p) {
            std::snprintf(t[c].ports[p].fcoeWwpn, sizeof t[c].ports[p].fcoeWwpn, "10:00:00:c9:0%u:00:00:0%u", c, p);
            std::snprintf(t[c].ports[p].portName, sizeof t[c].ports[p].portName, "Port %u", p);
            t[c].ports[p].linkState = 1;
        }
    }
    fcoe_entry(0, 9, 0x100000C9, 0x01000001); // port 1 of the second controller
    fcoe_entry(1, 9, 0x100000C9, 0x05000000); // nobody's
    gAdapters[2].pciBus = 7;                  // a plain FC function
    DebugLog log(host);
    ASSERT_EQ(0, getAdditionalFCoEProps());

    const _Adapter &linked = gAdapters[0];
    EXPECT_EQ(1u, linked.controllerIndex);
    EXPECT_EQ(1u, linked.portNumber);
    EXPECT_STREQ("Port 1", linked.portName);
    EXPECT_EQ(1u, linked.linkState);
    EXPECT_EQ(0x28u, linked.kindFlags);
    EXPECT_EQ(0x28u, t[1].flags & 0x28);
    EXPECT_EQ(0x22u, t[0].flags);

    // Every port has a WWPN, so no second pass; the function is not served
    // through controller 0 but read as an FC function.
    const _Adapter &lost = gAdapters[1];
    EXPECT_EQ(0x08u, lost.kindFlags);
    EXPECT_FALSE(isHBATypeArcwright(1));
    EXPECT_TRUE(log.has("getAdditionalFCoEProps: FCoE function 9:0.0 is linked to no converged controller\n"));
    EXPECT_EQ(0u, gAdapters[2].kindFlags);
}

TEST(FcoeLinking, ByBusAndSerialNumberWhenAPortHasNoWwpn)
{
    Controllers t(3, {{0, 1, 2}, {0, 1, 2}});
    const char *oem[] = {"OEM-A", "N/A"};
    for (uint32_t c = 0; c < 2; ++c) {
        t[c].nicFunctions[0].properties.pci = pci(0x0710, 0, 9 + c, 0, 0);
        std::strcpy(t[c].oemSerialNumber, oem[c]);
        for (uint32_t p = 0; p < 2; ++p) {
            std::snprintf(t[c].ports[p].portName, sizeof t[c].ports[p].portName, "P%u", p);
            t[c].ports[p].linkState = p;
        }
    }
    fcoe_entry(0, 9, 1, 2, "oem-a"); // bus and serial of the first controller
    std::strcpy(gAdapters[0].vpdV4Text, "P1");
    fcoe_entry(1, 10, 1, 3, "N/A");  // the second controller names no serial: no link
    fcoe_entry(2, 9, 1, 4, "OEM-B"); // right bus, other serial
    ASSERT_EQ(0, getAdditionalFCoEProps());

    EXPECT_EQ(0u, gAdapters[0].controllerIndex);
    EXPECT_EQ(0x28u, gAdapters[0].kindFlags);
    EXPECT_EQ(1u, gAdapters[0].portNumber); // the port named by the VPD V4 word
    EXPECT_STREQ("P1", gAdapters[0].portName);
    EXPECT_EQ(1u, gAdapters[0].linkState);
    EXPECT_EQ(0x28u, t[0].flags & 0x28);
    EXPECT_EQ(0u, t[1].flags & 0x08);
    EXPECT_EQ(0x08u, gAdapters[1].kindFlags);
    EXPECT_EQ(0x08u, gAdapters[2].kindFlags);
}

} // namespace
