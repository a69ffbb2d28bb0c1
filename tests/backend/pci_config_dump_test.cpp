// The PCI configuration dumps of NIC and iSCSI functions through the
// management API on simulated adapters: the text the last status carries,
// the road by generation (firmware command or, on Varrow, the NIC driver's
// callback) and the failure of the read.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "backend_fixture.h"
#include "mgmt/aw/vexo-backend/pci_config_dump.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "sim/command_log.h"
#include "support/sim_host.h"
#include "vmkmgmt.h"

using hlvdtest::SimHost;
using namespace backendtest;

namespace {

struct Dump {
    VEXO_status_t result;
    VEXO_status_t status;
    std::string text;
};

// Runs a dump action of the PCI group at `pci`.
Dump dump(const std::string &pci, const char *action, const char *offset, const char *count)
{
    node_tag_t group = tag_at(pci, VEXO_NODE_GROUP);
    node_tag_t act = tag_at(pci + "/" + action, VEXO_NODE_ACTION);
    EXPECT_GE(group, 0) << pci;
    EXPECT_GE(act, 0) << action;
    char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
    std::memset(params, 0xFF, sizeof params);
    std::snprintf(params[0], VEXO_VALUE_SIZE, "%s", offset);
    std::snprintf(params[1], VEXO_VALUE_SIZE, "%s", count);
    std::vector<node_tag_t> tags(VEXO_MAX_NEW_TAGS);
    Dump d;
    d.result = VEXO_do_action(group, act, params, tags.data());
    auto last = last_status();
    d.status = last.first;
    d.text = last.second;
    return d;
}

class PciConfigDump : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
    }
    void TearDown() override
    {
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter);
        EXPECT_EQ(0, vmk_MgmtUserOpenHandleCount());
    }
    SimHost host_{kEveryGeneration};
    int start_ = 0;
};

// Adapters of kEveryGeneration in tree order: AW3 (it has an iSCSI
// function), then AW2, Trelmont and Varrow.
TEST_F(PciConfigDump, EachGenerationDumpsItsFunctionsSpace)
{
    const struct {
        std::string pci;
        const char *action;
        const char *driver; // the firmware command's driver; null: no firmware command
        const char *start;  // vendor and device id, least significant byte first
    } rows[] = {
        {"Arcwright0/NICPhysicalHBA0/PCI", "DumpNICPCIConfigRegion", "nic", "a2 19 10 07 "},
        {"Arcwright0/iSCSIPhysicalHBA0/PCI", "DumpiSCSIPCIConfigRegion", "iscsi", "a2 19 12 07 "},
        {"Arcwright1/NICPhysicalHBA0/PCI", "DumpNICPCIConfigRegion", "nic", "a2 19 00 07 "},
        {"Arcwright2/NICPhysicalHBA0/PCI", "DumpNICPCIConfigRegion", "nic", "a2 19 20 07 "},
        {"Arcwright3/NICPhysicalHBA0/PCI", "DumpNICPCIConfigRegion", nullptr, "df 10 28 e2 "},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.pci);
        clear_log(host_.root());
        Dump d = dump(r.pci, r.action, "0", "64");
        ASSERT_EQ(VEXO_STATUS_SUCCESS, d.result);
        EXPECT_EQ(VEXO_STATUS_DUMP_PCI_DATA, d.status);
        // 64 bytes in four lines of 16.
        EXPECT_EQ(64u * 3 + 3, d.text.size());
        EXPECT_EQ(r.start, d.text.substr(0, 12));
        for (size_t line = 1; line < 4; ++line)
            EXPECT_EQ('\n', d.text[line * 48 + line - 1]) << line;
        std::vector<nlohmann::json> sent = fw_entries(host_.root());
        if (r.driver) {
            ASSERT_EQ(1u, sent.size());
            EXPECT_EQ(72, sent[0].value("opcode", 0));
            EXPECT_EQ(r.driver, sent[0].value("driver", ""));
        } else {
            EXPECT_TRUE(sent.empty());
        }
    }
}

TEST_F(PciConfigDump, OffsetAndCountChooseTheBytes)
{
    // kEveryGeneration gives no revision: the simulated functions have 0.
    const struct {
        const char *offset;
        const char *count;
        const char *text;
    } rows[] = {
        {"8", "1", "00 "},
        {"0x2", "2", "10 07 "},
        {"010", "3", "00 00 00 "}, // octal 8
        {"62", "4", "00 00 10 00 "},
        {"248", "64", "00 00 00 00 00 00 00 00 "}, // none past byte 255
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(std::string(r.offset) + " " + r.count);
        Dump d = dump("Arcwright0/NICPhysicalHBA0/PCI", "DumpNICPCIConfigRegion", r.offset, r.count);
        ASSERT_EQ(VEXO_STATUS_SUCCESS, d.result);
        EXPECT_EQ(r.text, d.text);
    }
}

TEST_F(PciConfigDump, AFailedReadIsReported)
{
    plan_status(host_.root(), 1, 72, 2);
    Dump d = dump("Arcwright0/iSCSIPhysicalHBA0/PCI", "DumpiSCSIPCIConfigRegion", "0", "64");
    EXPECT_EQ(VEXO_STATUS_FAILURE, d.result);
    EXPECT_EQ(VEXO_STATUS_CANNOT_READ_PCI_DATA, d.status);
    d = dump("Arcwright0/NICPhysicalHBA0/PCI", "DumpNICPCIConfigRegion", "0", "64");
    EXPECT_EQ(VEXO_STATUS_FAILURE, d.result);
    EXPECT_EQ(VEXO_STATUS_CANNOT_READ_PCI_DATA, d.status);
}

TEST(PciDumpText, LinesAndBounds)
{
    uint8_t space[256];
    for (int i = 0; i < 256; ++i)
        space[i] = static_cast<uint8_t>(i);
    char text[VEXO_LAST_STATUS_SIZE];
    pci_dump_text(space, 240, 64, text, sizeof text);
    EXPECT_STREQ("f0 f1 f2 f3 f4 f5 f6 f7 f8 f9 fa fb fc fd fe ff ", text);
    pci_dump_text(space, 15, 18, text, sizeof text);
    EXPECT_STREQ("0f 10 11 12 13 14 15 16 17 18 19 1a 1b 1c 1d 1e \n1f 20 ", text);
    // A short buffer gets whole entries only.
    char small[8];
    pci_dump_text(space, 0, 64, small, sizeof small);
    EXPECT_STREQ("00 01 ", small);
}

} // namespace
