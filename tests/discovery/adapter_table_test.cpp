// The adapter table record, its predicates and channel tests, the IEEE
// address comparison, and the release and reset of discovery state.
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "adapters/adapter_table.h"
#include "adapters/converged_discovery.h"
#include "adapters/discovery_reset.h"
#include "flash/neighbour_services.h"

namespace {

// A table of `fc` FC-side entries followed by `converged` converged entries.
struct Table {
    Table(uint32_t fc, uint32_t converged)
    {
        gAdapterCount = fc;
        gTotalHBAs = fc + converged;
        gAdapters = static_cast<_Adapter *>(std::calloc(gTotalHBAs, sizeof(_Adapter)));
        gVPDModelDescription = static_cast<char **>(std::calloc(gTotalHBAs, sizeof(char *)));
    }
    ~Table() { ResetGlobals(); }
    _Adapter &operator[](uint32_t i) { return gAdapters[i]; }
};

TEST(AdapterTable, EntryPredicates)
{
    Table t(3, 2);
    t[0].deviceId = 0xE200; // Varrow FC
    t[1].deviceId = 0x0714; // gen-3 FCoE
    t[1].kindFlags = 0x28;
    t[1].sli4 = 1;
    t[2].deviceId = 0xE260; // Varrow FCoE
    t[3].cnaDeviceId = 0x0712; // gen-3 iSCSI
    t[3].kindFlags = 0x24;
    t[4].cnaDeviceId = 0xE220; // Varrow NIC
    t[4].kindFlags = 0x22;

    typedef int (*Predicate)(int32_t);
    const struct {
        const char *name;
        Predicate p;
        int expected[5];
    } cases[] = {
        {"isVarrowFC", isVarrowFC, {1, 0, 0, 0, 0}},
        {"isVarrowFCoE", isVarrowFCoE, {0, 0, 1, 0, 0}},
        {"isVarrowCNA", isVarrowCNA, {0, 0, 1, 0, 1}},
        {"isVarrow", isVarrow, {1, 0, 1, 0, 1}},
        {"isHBATypeArcwright", isHBATypeArcwright, {0, 1, 0, 1, 1}},
        {"isHBATypeArcwrightFCoE", isHBATypeArcwrightFCoE, {0, 1, 0, 0, 0}},
        {"isHBATypeArcwrightiSCSI", isHBATypeArcwrightiSCSI, {0, 0, 0, 1, 0}},
        {"isHBATypeArcwrightNIC", isHBATypeArcwrightNIC, {0, 0, 0, 0, 1}},
        {"isAWFCoEDevId", isAWFCoEDevId, {0, 1, 0, 0, 0}},
        {"isAWiSCSIDevId", isAWiSCSIDevId, {0, 0, 0, 1, 0}},
        {"isAWNICDevId", isAWNICDevId, {0, 0, 0, 0, 0}},
        {"isAWDevId", isAWDevId, {0, 1, 0, 1, 0}},
        {"isSLI4", isSLI4, {0, 1, 0, 0, 0}},
    };
    for (const auto &c : cases) {
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(c.expected[i], c.p(i) ? 1 : 0) << c.name << " at " << i;
        // Indexes outside the table, negative ones included, fail every check.
        EXPECT_EQ(0, c.p(5)) << c.name;
        EXPECT_EQ(0, c.p(-1)) << c.name;
    }
    EXPECT_EQ(1, AdapterExists(2));
    EXPECT_EQ(0, AdapterExists(3));
    EXPECT_EQ(1, AdapterExists4(4));
    EXPECT_EQ(0, AdapterExists4(5));
}

TEST(AdapterTable, ChannelTests)
{
    Table t(6, 0);
    const struct {
        uint32_t bus, dev;
        int8_t fn;
        const char *serial;
    } e[] = {{5, 0, 0, "abc"}, {5, 0, 1, "ABC"}, {5, 0, 2, "other"}, {5, 0, 3, "abc"}, {6, 0, 0, "abc"},
             {5, 1, 0, "abc"}};
    for (int i = 0; i < 6; ++i) {
        t[i].pciBus = e[i].bus;
        t[i].pciDevice = e[i].dev;
        t[i].pciFunction = e[i].fn;
        std::strcpy(t[i].serialNumber, e[i].serial);
    }
    EXPECT_EQ(1, IsItDC(2));
    EXPECT_EQ(0u, gOtherChannel);
    EXPECT_EQ(1, IsItDC(0));
    EXPECT_EQ(1u, gOtherChannel);
    EXPECT_EQ(0, IsItDC(4));
    EXPECT_EQ(1, IsItQC(0));
    EXPECT_EQ(0, IsItQC(4));
    EXPECT_EQ(1, IsItMcFC(0)); // same serial ignoring case
    EXPECT_EQ(0, IsItMcFC(2));
    EXPECT_EQ(0, IsItMcFC(5)); // same serial, other device
    EXPECT_EQ(0, IsItDC(6));   // past the FC-side entries
}

TEST(AdapterTable, SwapBytes1ReversesEachWord)
{
    uint8_t b[8] = {0x10, 0x00, 0x00, 0x90, 0xFA, 0x12, 0x34, 0x56};
    SwapBytes1(b, sizeof b);
    const uint8_t want[8] = {0x90, 0x00, 0x00, 0x10, 0x56, 0x34, 0x12, 0xFA};
    EXPECT_EQ(0, std::memcmp(b, want, sizeof b));
    // A trailing part word has no partner and stays; nothing is written past the end.
    uint8_t c[7] = {1, 2, 3, 4, 5, 6, 7};
    SwapBytes1(c, 6);
    const uint8_t wantc[7] = {4, 3, 2, 1, 5, 6, 7};
    EXPECT_EQ(0, std::memcmp(c, wantc, sizeof c));
    SwapBytes1(nullptr, 8);
}

TEST(AdapterTable, IeeeAddressComparison)
{
    Table t(1, 0);
    t[0].ieeeAddress[0] = 0x10000090;
    t[0].ieeeAddress[1] = 0xFA123456;
    const struct {
        const char *wwpn;
        int expected;
    } cases[] = {
        {"10:00:00:90:fa:12:34:56", 0},
        {"10:00:00:90:FA:12:34:56", 0},
        {"10::00:00:90:fa:12:34:56", 0}, // consecutive colons count as one
        {"10:00:00:90:fa:12:34:56:77", 0},
        {"10:00:00:90:fa:12:34", 1},     // seven fields
        {"10:00:00:90:fa:12:34:100", 1}, // a field above a byte
        {"10:00:00:90:fa:12:34:57", 1},
        {"10:00:00:90:fa:12:34:5g", 1},
        {"", 1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.expected, compareIEEEAddresses(0, c.wwpn)) << c.wwpn;
    EXPECT_EQ(1, compareIEEEAddresses(0, nullptr));
    EXPECT_EQ(1, compareIEEEAddresses(1, "10:00:00:90:fa:12:34:56"));
}

TEST(AdapterTable, ResetLeavesEveryGlobalAtItsResetValue)
{
    {
        Table t(2, 1);
        gVPDModelDescription[0] = strdup("first");
        gVPDModelDescription[2] = strdup("third");
        giSCSICount = 1;
        gFCoECount = 1;
        gUseVPD_ModelName = 1;
        gVEXOSupport = 0;
        main_HostEndian = 0;
        gOtherChannel = 3;
        gAWInit = 1;
        gAwCount = 0;
        std::strcpy(VEXO_ServiceVersion, "1.0");
        std::memset(&vpd, 0x41, sizeof vpd);
        WIN_Error = 5;
    }
    EXPECT_EQ(nullptr, gAdapters);
    EXPECT_EQ(nullptr, gVPDModelDescription);
    EXPECT_EQ(0u, gTotalHBAs);
    EXPECT_EQ(0u, gAdapterCount);
    EXPECT_EQ(0u, giSCSICount);
    EXPECT_EQ(0u, gNICCount);
    EXPECT_EQ(0u, gFCoECount);
    EXPECT_EQ(0, gUseVPD_ModelName);
    EXPECT_EQ(1, main_HostEndian);
    EXPECT_EQ(0u, gOtherChannel);
    EXPECT_EQ(0, gAWInit);
    EXPECT_EQ(0, gVEXO);
    EXPECT_EQ('\0', VEXO_ServiceVersion[0]);
    EXPECT_EQ(0, WIN_Error);
    VPD_RECORD zero;
    std::memset(&zero, 0, sizeof zero);
    EXPECT_EQ(0, std::memcmp(&zero, &vpd, sizeof vpd));
    // Only the converged switch survives.
    EXPECT_EQ(0, gVEXOSupport);
    // A second reset on the empty state is harmless.
    ResetGlobals();
    EXPECT_EQ(nullptr, gAdapters);
}

} // namespace
