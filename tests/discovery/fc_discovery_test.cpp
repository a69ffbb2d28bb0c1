// FC function discovery through the stand-in diagnostics library, against
// machines described in the tests.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "adapters/adapter_table.h"
#include "adapters/converged_discovery.h"
#include "adapters/fc_discovery.h"
#include "discovery_fixture.h"
#include "flash/engine_log.h"

namespace {

using disctest::DebugLog;
using disctest::fc_adapter;
using disctest::function;
using disctest::json;
using disctest::machine;
using disctest::TableGuard;

int32_t discover()
{
    char *words[200] = {};
    return adapterDiscovery(0, words);
}

TEST(FcDiscovery, EntriesCarryLocationIdsAndDriverCapabilities)
{
    json fcoe = fc_adapter("aw3-fcoe", 0x21, 2, 0x0714, "AW3");
    for (json &f : fcoe["functions"])
        f["kind"] = "fcoe";
    json single = fc_adapter("single", 0x30, 1, 0xF100);
    single["functions"][0]["device"] = 3;
    single["functions"][0]["revision"] = 2;
    hlvdtest::SimHost host(machine({fc_adapter("dual", 0x12, 2), fcoe, single}));
    TableGuard guard;
    DebugLog log(host);

    ASSERT_EQ(0, discover());
    ASSERT_EQ(5u, gAdapterCount);
    ASSERT_EQ(5u, gTotalHBAs);
    EXPECT_EQ(2u, gFCoECount);
    EXPECT_EQ(1, gUseVPD_ModelName);

    const _Adapter &a0 = gAdapters[0];
    EXPECT_EQ(0x12u, a0.pciBus);
    EXPECT_EQ(0u, a0.pciDevice);
    EXPECT_EQ(0, a0.pciFunction);
    EXPECT_EQ(1, gAdapters[1].pciFunction);
    EXPECT_EQ(0xFE00, a0.deviceId);
    EXPECT_EQ(0x10DF, a0.vendorId);
    EXPECT_EQ(0xFE00, a0.subDeviceId);
    EXPECT_EQ(0x10DF, a0.subVendorId);
    EXPECT_EQ(0x10u, a0.revisionId);
    EXPECT_EQ(ADAPTER_FLAG_DUAL_CHANNEL, a0.flags);
    EXPECT_EQ(0u, a0.sli4);
    EXPECT_EQ(0u, a0.kindFlags);
    EXPECT_EQ(0u, a0.fcoeCapable);
    EXPECT_EQ(108u, a0.maxMailboxBytes);
    // No engine reads region 16 yet: the IEEE address stays 0.
    EXPECT_EQ(0u, a0.ieeeAddress[0]);
    EXPECT_EQ(0u, a0.ieeeAddress[1]);

    const _Adapter &f = gAdapters[2];
    EXPECT_EQ(0x21u, f.pciBus);
    EXPECT_EQ(1u, f.sli4);
    EXPECT_EQ(1u, f.fcoeCapable);
    EXPECT_EQ(0x28u, f.kindFlags);
    EXPECT_TRUE(isHBATypeArcwrightFCoE(2));
    EXPECT_TRUE(isSLI4(3));

    const _Adapter &s = gAdapters[4];
    EXPECT_EQ(3u, s.pciDevice);
    EXPECT_EQ(2u, s.revisionId);
    EXPECT_EQ(0, s.flags & ADAPTER_FLAG_DUAL_CHANNEL); // single-function header

    EXPECT_TRUE(log.has("LocateBrindlefin: LocateBrindlefin entered\n"));
    EXPECT_TRUE(log.has("KPL is initialized. KPL version = sim-kpl 1.0\n"));
    EXPECT_TRUE(log.has("Skipping DRVINFO check\n"));
    EXPECT_TRUE(log.has("Skipping gAdapterUnderTest\nSkipping gDirectDownloadDone\n"));
}

TEST(FcDiscovery, MailboxSizeFollowsTheDriverVersion)
{
    const struct {
        const char *version;
        uint32_t bytes;
    } cases[] = {
        {"2.01A0", 2048}, {"2.10A1", 2048}, {"2.00A9", 256}, {"2.00A8", 108}, {"2.00A10", 256}, {"2.00A1", 108},
    };
    json a = fc_adapter("fc", 0x40, 0);
    unsigned n = 0;
    for (const auto &c : cases) {
        json f = function("fc", 0, 0x40, n, 0, 0x10DF, 0xFE00, 0x10DF, 0xFE00);
        f["kpl"] = {{"driver_version", c.version}};
        a["functions"].push_back(f);
        ++n;
    }
    hlvdtest::SimHost host(machine({a}));
    TableGuard guard;
    ASSERT_EQ(0, discover());
    ASSERT_EQ(n, gAdapterCount);
    for (unsigned i = 0; i < n; ++i)
        EXPECT_EQ(cases[i].bytes, gAdapters[i].maxMailboxBytes) << cases[i].version;
}

TEST(FcDiscovery, FunctionWithoutDriverInformationStaysWithoutCapabilities)
{
    json a = fc_adapter("fc", 0x40, 2);
    a["functions"][0]["kpl"] = {{"drv_status", 1}};
    a["functions"][1]["kpl"] = {{"info_kind", 0}}; // no version text: the library is probed
    hlvdtest::SimHost host(machine({a}));
    TableGuard guard;
    ASSERT_EQ(0, discover());
    EXPECT_STREQ("No driver installed. Error 1", szTempBuffer);
    EXPECT_EQ(0u, gAdapters[0].maxMailboxBytes);
    EXPECT_EQ(0x40u, gAdapters[0].pciBus); // still listed, with its PCI identity
    // The stand-in library has the extended mailbox call.
    EXPECT_EQ(2048u, gAdapters[1].maxMailboxBytes);
}

TEST(FcDiscovery, OptionWords)
{
    hlvdtest::SimHost host(machine({fc_adapter("fc", 0x40, 1)}));
    std::string long_word(300, 'x');
    char prog[] = "prog", cfg[] = "/cfg", novexo[] = "/novexo";
    {
        TableGuard guard;
        DebugLog log(host);
        char *words[21] = {prog};
        EXPECT_EQ(27, adapterDiscovery(21, words));
        EXPECT_STREQ("Invalid number of arguments", szTempBuffer);
        EXPECT_EQ(27, adapterDiscovery(-1, words));
        EXPECT_FALSE(log.has("LocateBrindlefin")); // nothing done before the count check
    }
    {
        TableGuard guard;
        DebugLog log(host);
        char *words[] = {prog, &long_word[0]};
        EXPECT_EQ(27, adapterDiscovery(2, words));
        EXPECT_STREQ("Invalid argument length", szTempBuffer);
        // The length check comes after the converged enumeration.
        EXPECT_TRUE(log.has("LocateBrindlefin: LocateBrindlefin entered\n"));
    }
    {
        TableGuard guard;
        char *words[] = {prog, cfg};
        ASSERT_EQ(0, adapterDiscovery(2, words));
        EXPECT_STREQ("/cfg", SaveCmdLine);
        EXPECT_EQ(0, gUseVPD_ModelName); // "/c" anywhere in the joined text
    }
    {
        TableGuard guard;
        DebugLog log(host);
        char *words[] = {prog, cfg, novexo};
        ASSERT_EQ(0, adapterDiscovery(3, words));
        EXPECT_STREQ("/cfg /novexo", SaveCmdLine);
        EXPECT_EQ(0, gVEXOSupport);
        EXPECT_FALSE(log.has("LocateBrindlefin"));
    }
    {
        // Once off, converged enumeration stays off for the process.
        TableGuard guard;
        DebugLog log(host);
        ASSERT_EQ(0, discover());
        EXPECT_EQ(0, gVEXOSupport);
        EXPECT_EQ(1, gUseVPD_ModelName);
        EXPECT_FALSE(log.has("LocateBrindlefin"));
    }
}

TEST(FcDiscovery, FailuresOfTheDiagnosticsLibrary)
{
    {
        hlvdtest::SimHost host(machine({}));
        TableGuard guard;
        DebugLog log(host);
        EXPECT_EQ(10004, discover());
        EXPECT_TRUE(log.has("No Orvane CNA adapters installed\n"));
        EXPECT_EQ(nullptr, gAdapters);
    }
    {
        json a = fc_adapter("fc", 0x40, 3);
        a["functions"][1]["kpl"] = {{"pci_cfg_status", 5}};
        hlvdtest::SimHost host(machine({a}));
        TableGuard guard;
        EXPECT_EQ(10003, discover());
        // The functions before it stand, the rest stay zero.
        EXPECT_EQ(0x40u, gAdapters[0].pciBus);
        EXPECT_EQ(0u, gAdapters[1].pciBus);
        EXPECT_EQ(0u, gAdapters[2].deviceId);
    }
}

TEST(FcDiscovery, FullAndOverfullFunctionLists)
{
    for (unsigned count : {256u, 260u}) {
        json a = fc_adapter("big", 0x50, 0);
        for (unsigned i = 0; i < count; ++i)
            a["functions"].push_back(function("fc", 0, 0x50 + i / 32, i % 32, 0, 0x10DF, 0xFE00, 0x10DF, 0xFE00));
        hlvdtest::SimHost host(machine({a}));
        TableGuard guard;
        ASSERT_EQ(0, discover()) << count;
        // Room for 256 functions is all that is asked for.
        EXPECT_EQ(256u, gAdapterCount) << count;
        EXPECT_EQ(0x57u, gAdapters[255].pciBus);
        EXPECT_EQ(31u, gAdapters[255].pciDevice);
    }
}

TEST(FcDiscovery, VarrowFCoEIsManagedEvenWithoutTheFeatureBit)
{
    json a = fc_adapter("vfcoe", 0x60, 2, 0xE260, "Varrow");
    a["functions"][0]["kpl"] = {{"features", 0}};
    a["functions"][1]["kpl"] = {{"features", 0}};
    hlvdtest::SimHost host(machine({a}));
    TableGuard guard;
    ASSERT_EQ(0, discover());
    EXPECT_EQ(0x28u, gAdapters[0].kindFlags);
    EXPECT_EQ(0u, gAdapters[0].fcoeCapable);
    EXPECT_EQ(2u, gFCoECount);
    EXPECT_TRUE(isVarrowFCoE(0));
}

TEST(FcDiscovery, HostEndianSwitchExchangesIdBytes)
{
    hlvdtest::SimHost host(machine({fc_adapter("fc", 0x40, 1, 0xF100)}));
    TableGuard guard;
    main_HostEndian = 0;
    ASSERT_EQ(0, discover());
    EXPECT_EQ(0x00F1, gAdapters[0].deviceId);
    EXPECT_EQ(0xDF10, gAdapters[0].vendorId);
}

} // namespace
