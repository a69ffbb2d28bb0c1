// Flash by PCI address and the PCI dump through the exported calls, in the
// cases decided before anything reaches an adapter.
#include <string>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "flash/flash_adapter.h"
#include "flash/ovnflashlib.h"
#include "flashfront_fixture.h"

using fronttest::DebugLog;
using fronttest::make_ufi;
using hlvdtest::file_exists;

namespace {

class PciCalls : public ::testing::Test {
protected:
    void TearDown() override { oem_text_for_error_code(0); }
};

TEST_F(PciCalls, FlashFindsTheFunctionByItsWholeAddress)
{
    hlvdtest::SimHost host;
    std::string same = make_ufi(host.path("/aw3.ufi"), 3, "10.2.370.15");
    DebugLog log(host.path("/debug.log"));
    struct Case {
        int segment, bus, device, function;
        int result;
        std::string line;
    } cases[] = {
        {0, 0x40, 0, 0, 4,
         "oem_do_full_flash_PCI: couldnot locate the device specified by segment = 0x0, pciBus = 0x40, pciDevice = "
         "0x0, pciFunction = 0x0\n"},
        // A converged function on another segment is another function.
        {1, 4, 0, 0, 4, "couldnot locate the device specified by segment = 0x1, pciBus = 0x4"},
        // An FC function is found whatever the segment; a UFI image does not
        // fit it.
        {5, 7, 0, 1, 10009,
         "FlashAdapter: firmware file, aw3.ufi is not compatible with the device specified by segment = 0x0, pciBus "
         "= 0x7, pciDevice = 0x0, pciFunction = 0x1"},
        // Any function of a converged adapter may be named.
        {0, 4, 0, 2, 2, "FlashAdapter: The firmware version on the adapter is matching with firmware image"},
    };
    for (const Case &c : cases) {
        log.reopen();
        EXPECT_EQ(c.result, oem_do_full_flash_PCI(same.c_str(), 0, c.segment, c.bus, c.device, c.function))
            << c.line;
        EXPECT_TRUE(log.has(c.line)) << log.text();
    }
}

TEST_F(PciCalls, DumpOfAFunctionThatHasNoneWritesNoFile)
{
    hlvdtest::SimHost host;
    std::string dump = host.path("/dump.bin");
    DebugLog log(host.path("/debug.log"));
    EXPECT_EQ(6, oem_get_full_flash_dump_PCI(dump.c_str(), 0, 0, 7, 0, 0));
    EXPECT_FALSE(log.has("Begin Adapter PCI Dump")) << "the client layer is not asked";
    EXPECT_FALSE(file_exists(dump));
    log.reopen();
    EXPECT_EQ(6, oem_get_full_flash_dump_PCI(dump.c_str(), 0, 0, 0x40, 0, 0));
    EXPECT_TRUE(log.has("oem_do_full_flash_dump_PCI: couldnot locate the device specified by segment = 0x0, pciBus = "
                        "0x40, pciDevice = 0x0, pciFunction = 0x0\n"));
    EXPECT_FALSE(file_exists(dump));
}

TEST_F(PciCalls, DumpGlueAsksTheClientLayerOnlyForAConvergedAdapter)
{
    hlvdtest::SimHost host;
    fronttest::AdapterTable table;
    ASSERT_TRUE(table.built());
    std::string dump = host.path("/dump.bin");
    DebugLog log(host.path("/debug.log"));
    EXPECT_EQ(6, RetrieveAdapterPCIDump(static_cast<int>(table.index(0, 7, 0, 0)), dump.c_str()));
    EXPECT_TRUE(log.has("[RetrieveAdapterPCIDump] Unsupported Adapter.\n"));
    EXPECT_EQ(6, RetrieveAdapterPCIDump(9999, dump.c_str()));
    EXPECT_FALSE(log.has("Begin Adapter PCI Dump"));
    // A path longer than the dump request's parameter is refused, not cut.
    std::string long_path = host.path("/" + std::string(260, 'd') + ".bin");
    EXPECT_EQ(6, RetrieveAdapterPCIDump(static_cast<int>(table.index(0, 4, 0, 0)), long_path.c_str()));
    EXPECT_FALSE(log.has("MAL_RetrievePCIDump returned"));
    EXPECT_FALSE(file_exists(dump));
}

} // namespace
