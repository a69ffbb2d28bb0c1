// The network readers of an iSCSI function's NICConfiguration group through
// the management API: largest frame size and port speed from the NIC
// parameters, the logical link state from the version-1 link status, per
// generation, and the firmware's failures.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "backend_fixture.h"
#include "mgmt/aw/vexo-backend/iscsi_network_readers.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "sim/fault_plan.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace backendtest;

namespace {

// One iSCSI function per generation; the Trelmont one reports a speed code
// without a text, a link that is down; the Varrow one a link state that is
// neither up nor down.
const char kIscsi[] = R"({
  "adapters": [
    { "name": "aw2", "family": "converged", "generation": "AW2", "serial": "AW2NET01",
      "firmware": { "active": "4.2.433.604", "flash": "4.2.433.604", "boot": "4.2.433.1" },
      "functions": [
        { "bus": 3, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0702", "port": 0,
          "mac": "00:00:C9:A2:00:12" } ] },
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3NET01",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "functions": [
        { "bus": 4, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
          "mac": "00:00:C9:B3:00:22", "max_frame_size": 8000 } ] },
    { "name": "trelmont", "family": "converged", "generation": "Trelmont", "serial": "TRLNET01",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "functions": [
        { "bus": 5, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0722", "port": 0,
          "mac": "00:00:C9:C4:00:32", "max_speed": 7, "logical_link": 0 } ] },
    { "name": "varrow", "family": "converged", "generation": "Varrow", "serial": "VRWNET01",
      "firmware": { "active": "11.4.204.20", "flash": "11.4.204.20", "boot": "11.4.204.1" },
      "functions": [
        { "bus": 6, "function": 2, "kind": "iscsi", "vendor": "0x10DF", "device_id": "0xE22A", "port": 0,
          "mac": "00:00:C9:D5:00:42", "logical_link": 5 } ] }
  ]
})";

class IscsiNetworkReaders : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
    }
    void TearDown() override
    {
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }
    std::string config(const char *serial)
    {
        std::string a = adapter_path(serial);
        EXPECT_FALSE(a.empty()) << serial;
        return a + "/iSCSIPhysicalHBA0/Network/NICConfiguration";
    }

    SimHost host_{kIscsi};
    int start_ = 0;
};

TEST_F(IscsiNetworkReaders, EachGenerationReadsItsNicParametersAndLink)
{
    const struct {
        const char *serial;
        const char *mtu;
        const char *max_speed;
        const char *link;
    } rows[] = {
        {"AW2NET01", "8342", "10Gb", "Up"},
        {"AW3NET01", "8000", "10Gb", "Up"},
        // Speed code 7 has no text: the value stays, the frame size is written.
        {"TRLNET01", "9000", "Unknown", "Down"},
        // A link state other than 0 and 1 leaves the value and succeeds.
        {"VRWNET01", "9000", "40Gb", "Unknown"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.serial);
        std::string g = config(r.serial);
        clear_log(host_.root());
        EXPECT_EQ(r.mtu, value_at(g + "/MaxMTUSize"));
        EXPECT_EQ(r.max_speed, value_at(g + "/PortMaxSpeed"));
        EXPECT_EQ(r.link, value_at(g + "/LogicalLinkStatus"));
        std::vector<nlohmann::json> sent = fw_entries(host_.root());
        ASSERT_EQ(3u, sent.size());
        for (const nlohmann::json &e : sent)
            EXPECT_EQ("iscsi", e.value("driver", ""));
        EXPECT_EQ(2, sent[0].value("subsystem", 0));
        EXPECT_EQ(7, sent[0].value("opcode", 0));
        EXPECT_EQ(52, sent[0].value("request_length", 0));
        EXPECT_EQ(1, sent[2].value("subsystem", 0));
        EXPECT_EQ(5, sent[2].value("opcode", 0));
        EXPECT_EQ(1, sent[2].value("version", 0));
        EXPECT_EQ(12, sent[2].value("request_length", 0));
    }
}

TEST_F(IscsiNetworkReaders, FailuresKeepTheValuesAndAreReported)
{
    std::string g = config("AW3NET01");
    ASSERT_EQ("8000", value_at(g + "/MaxMTUSize"));
    ASSERT_EQ("Up", value_at(g + "/LogicalLinkStatus"));
    const struct {
        int subsystem, opcode;
        const char *property;
        VEXO_status_t status;
        const char *cached;
    } rows[] = {
        {2, 7, "MaxMTUSize", VEXO_STATUS_NIC_CONFIG_FAILED, "8000"},
        {2, 7, "PortMaxSpeed", VEXO_STATUS_NIC_CONFIG_FAILED, "10Gb"},
        {1, 5, "LogicalLinkStatus", VEXO_STATUS_LOGICAL_LINK_STATUS, "Up"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.property);
        hlvdsim::fault_clear(host_.root());
        plan_status(host_.root(), r.subsystem, r.opcode, 66);
        EXPECT_EQ("error 1", value_at(g + "/" + r.property));
        EXPECT_EQ(r.status, last_status().first);
        node *prop = get_node(tag_at(g + "/" + r.property, VEXO_NODE_PROPERTY));
        ASSERT_NE(nullptr, prop);
        EXPECT_STREQ(r.cached, prop->u.prop->val);
    }
    hlvdsim::fault_clear(host_.root());
}

TEST_F(IscsiNetworkReaders, LinkReaderOfOtherDriverTypesDoesNothing)
{
    node *group = get_node(tag_at(config("AW3NET01"), VEXO_NODE_GROUP));
    ASSERT_NE(nullptr, group);
    clear_log(host_.root());
    EXPECT_EQ(0, get_logical_link_status(1, 0, 0, group, 3, 0));
    EXPECT_TRUE(fw_entries(host_.root()).empty());
    EXPECT_EQ(1, get_logical_link_status(1, 0, 0, nullptr, 1, 0));
}

} // namespace
