// The staged configured profile: the lines the start writes for each
// Trelmont, the four handlers that read and rewrite single fields of them,
// the supported multichannel modes the MCType check relies on, and the
// LogicalHBA that cannot be disabled.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "backend_fixture.h"
#include "mgmt/aw/vexo-backend/channel_management.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/nodes_initiator.h"
#include "mgmt/aw/vexo-backend/profile_tree.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "mgmt/vexo/core/vexo_status.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace backendtest;

namespace {

// Trelmont A: port 0 holds NIC 0x0 with RoCE and iSCSI 0x1, port 1 holds
// NIC 0x2; it supports NPAR and HLZMR. Trelmont B: one NIC function whose
// firmware configuration takes it out of multichannel operation.
const char kMachine[] = R"({
  "adapters": [
    { "name": "trla", "family": "converged", "generation": "Trelmont", "serial": "TRLCPA",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "max_pf_count": 6, "active_profile": 5, "capabilities": 520,
      "pf_counts": { "nic": 2, "iscsi": 1, "fcoe": 0, "roce": 1, "storage": 1 },
      "profiles": [ { "id": 5, "description": "NIC RoCE", "caps": ["nic", "roce"], "counts": { "nic": 3, "roce": 2 } },
                    { "id": 21, "description": "RoCE", "caps": ["nic", "roce"] } ],
      "ports": [ { "mc_type": 5 }, { "mc_type": 5 } ],
      "functions": [
        { "bus": 5, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "mac": "00:00:C9:C4:00:30", "roce": 1 },
        { "bus": 5, "function": 1, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0722", "port": 0,
          "mac": "00:00:C9:C4:00:31" },
        { "bus": 5, "function": 2, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 1,
          "mac": "00:00:C9:C4:00:32" } ] },
    { "name": "trlb", "family": "converged", "generation": "Trelmont", "serial": "TRLCPB",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "max_pf_count": 4, "active_profile": 5, "capabilities": 520,
      "profiles": [ { "id": 5, "description": "NIC", "caps": ["nic"] } ],
      "ports": [ { "mc_type": 5 } ],
      "functions": [
        { "bus": 7, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "mac": "00:00:C9:C5:00:40", "function_caps": 64 } ] },
    { "name": "aw2", "family": "converged", "generation": "AW2", "serial": "AW2CP1", "capabilities": 41,
      "firmware": { "active": "4.2.433.604", "flash": "4.2.433.604", "boot": "4.2.433.1" },
      "functions": [
        { "bus": 3, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0700", "port": 0,
          "mac": "00:00:C9:A2:00:10" } ] },
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3CP1", "capabilities": 41,
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "functions": [
        { "bus": 4, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0710", "port": 0,
          "mac": "00:00:C9:B3:00:20" } ] },
    { "name": "varrow", "family": "converged", "generation": "Varrow", "serial": "VRWCP1", "capabilities": 41,
      "firmware": { "active": "11.4.204.20", "flash": "11.4.204.20", "boot": "11.4.204.1" },
      "functions": [
        { "bus": 6, "function": 0, "kind": "nic", "vendor": "0x10DF", "device_id": "0xE228", "port": 0,
          "mac": "00:00:C9:D5:00:40" } ] }
  ]
})";

const char kFile[] = "/etc/config/TAQ/vexo/config_prof.txt";

std::vector<std::string> lines_of(const std::string &text)
{
    std::vector<std::string> out;
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        if (nl == std::string::npos)
            nl = text.size();
        out.push_back(text.substr(start, nl - start));
        start = nl + 1;
    }
    return out;
}

std::vector<std::string> fields_of(const std::string &line)
{
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        size_t comma = line.find(',', start);
        out.push_back(line.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos)
            return out;
        start = comma + 1;
    }
}

class ConfiguredProfile : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
        started_ = true;
        a_ = adapter_path("TRLCPA");
        b_ = adapter_path("TRLCPB");
        ASSERT_FALSE(a_.empty());
        ASSERT_FALSE(b_.empty());
        bus_a_ = value_at(a_ + "/iSCSIPhysicalHBA0/PCI/BusNumber");
        bus_b_ = value_at(b_ + "/NICPhysicalHBA0/PCI/BusNumber");
        ASSERT_EQ(std::string::npos, bus_a_.find("error"));
        ASSERT_EQ(std::string::npos, bus_b_.find("error"));
    }
    void TearDown() override
    {
        if (!started_)
            return;
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }
    std::string cp(const std::string &adapter, const std::string &rest)
    {
        return adapter + "/ProfileManagement/ConfiguredProfile" + (rest.empty() ? "" : "/" + rest);
    }
    std::string file() { return hlvdtest::read_file(host_.path(kFile)); }
    // The lines of one adapter, split into fields.
    std::vector<std::vector<std::string>> lines_for(const std::string &serial)
    {
        std::vector<std::vector<std::string>> out;
        for (const std::string &l : lines_of(file())) {
            std::vector<std::string> f = fields_of(l);
            if (!f.empty() && f[0] == serial)
                out.push_back(f);
        }
        return out;
    }
    std::string cached(const std::string &path)
    {
        node_tag_t tag = tag_at(path, VEXO_NODE_PROPERTY);
        node *n = tag == -1 ? nullptr : get_node(tag);
        return n && n->u.prop ? n->u.prop->val : "missing";
    }

    SimHost host_{kMachine};
    std::string a_, b_, bus_a_, bus_b_;
    int start_ = 0;
    bool started_ = false;
};

TEST_F(ConfiguredProfile, StartWritesOneLinePerConfiguredFunction)
{
    const std::string k = "TRLCPA," + bus_a_ + ",5,NPAR,";
    const std::vector<std::string> want = {k + "0x0,NIC,Disabled", k + "0x0,NIC+RoCE,Disabled", k + "0x1,iSCSI,N/A",
                                           k + "0x2,NIC,Disabled"};
    std::vector<std::string> got;
    for (const std::string &l : lines_of(file()))
        if (l.rfind("TRLCPA,", 0) == 0)
            got.push_back(l);
    EXPECT_EQ(want, got);

    // The second line of function 0x0 answers for it.
    struct Row {
        const char *path, *want;
    } rows[] = {
        {"ProfileId", "5"},
        {"Port0/MCType", "NPAR"},
        {"Port0/Function0/Protocol", "NIC+RoCE"},
        {"Port0/Function0/SRIOVState", "Disabled"},
        {"Port0/Function1/Protocol", "iSCSI"},
        {"Port0/Function1/SRIOVState", "N/A"},
        {"Port1/Function0/Protocol", "NIC"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.path);
        EXPECT_EQ(r.want, value_at(cp(a_, r.path)));
    }
}

TEST_F(ConfiguredProfile, RebuildDoesNotDuplicateLines)
{
    const std::string before = file();
    node *adapter = get_node(tag_at(a_, VEXO_NODE_GROUP));
    ASSERT_NE(nullptr, adapter);
    // The build adds its groups anew, so clear the old ones as a refresh does.
    node *configured = get_node(tag_at(cp(a_, ""), VEXO_NODE_GROUP));
    ASSERT_NE(nullptr, configured);
    ASSERT_EQ(0, purge_nodes_within(configured, "Port"));
    EXPECT_EQ(0, VEXO_get_configured_profiles(adapter));
    std::string after = file();
    EXPECT_EQ(lines_of(before).size(), lines_of(after).size());
    EXPECT_EQ(4u, lines_for("TRLCPA").size());
    EXPECT_EQ(1u, lines_for("TRLCPB").size());
}

TEST_F(ConfiguredProfile, ProfileIdRewritesOnlyThisAdapter)
{
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(cp(a_, "ProfileId"), "7"));
    for (const auto &f : lines_for("TRLCPA"))
        EXPECT_EQ("7", f.at(2));
    for (const auto &f : lines_for("TRLCPB"))
        EXPECT_EQ("5", f.at(2));
    EXPECT_EQ("7", value_at(cp(a_, "ProfileId")));
    EXPECT_EQ("5", value_at(cp(b_, "ProfileId")));
}

TEST_F(ConfiguredProfile, MCTypeRewritesOnlyThatPortsFunctions)
{
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(cp(a_, "Port1/MCType"), "HLZMR"));
    for (const auto &f : lines_for("TRLCPA"))
        EXPECT_EQ(f.at(4) == "0x2" ? "HLZMR" : "NPAR", f.at(3)) << f.at(4);
    EXPECT_EQ("HLZMR", value_at(cp(a_, "Port1/MCType")));
    EXPECT_EQ("NPAR", value_at(cp(a_, "Port0/MCType")));
    // None needs no supported-mode check.
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(cp(b_, "Port0/MCType"), "None"));
    EXPECT_EQ("None", lines_for("TRLCPB").at(0).at(3));
}

TEST_F(ConfiguredProfile, MCTypeOutsideTheSupportedModesIsRefused)
{
    // SupportedMCTypes of A is "NPAR,HLZMR"; of B "N/A".
    struct Row {
        const char *adapter, *value;
    } rows[] = {
        {"A", "HLFlex"}, // refused before the list is read
        {"A", "hlflex"},
        {"A", "ZMR"},  // only inside HLZMR
        {"A", "npar"}, // entries compare with case
        {"A", "UFP"},
        {"B", "NPAR"},
    };
    const std::string before = file();
    for (const Row &r : rows) {
        SCOPED_TRACE(std::string(r.adapter) + " " + r.value);
        const std::string &ad = r.adapter[0] == 'A' ? a_ : b_;
        EXPECT_EQ(VEXO_STATUS_FAILURE, set_at(cp(ad, "Port0/MCType"), r.value));
        EXPECT_EQ(VEXO_STATUS_MCTYPES_NOT_SUPPORTED, last_status().first);
        EXPECT_EQ("NPAR", cached(cp(ad, "Port0/MCType")));
    }
    EXPECT_EQ(before, file());
}

TEST_F(ConfiguredProfile, ProtocolOfFunctionZero)
{
    // None cannot switch function 0 off: it stores NIC.
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(cp(a_, "Port0/Function0/Protocol"), "none"));
    EXPECT_EQ("NIC", cached(cp(a_, "Port0/Function0/Protocol")));
    for (const auto &f : lines_for("TRLCPA"))
        if (f.at(4) == "0x0") {
            EXPECT_EQ("NIC", f.at(5));
        }
    EXPECT_EQ("iSCSI", lines_for("TRLCPA").at(2).at(5));

    // Another function may be switched off.
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(cp(a_, "Port1/Function0/Protocol"), "None"));
    EXPECT_EQ("None", lines_for("TRLCPA").at(3).at(5));
}

TEST_F(ConfiguredProfile, NicRoceStagesProfile21InTheCacheOnly)
{
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(cp(a_, "Port1/Function0/Protocol"), "NIC+RoCE"));
    EXPECT_EQ("21", cached(cp(a_, "ProfileId")));
    EXPECT_EQ("5", cached(cp(b_, "ProfileId")));
    for (const auto &f : lines_for("TRLCPA"))
        EXPECT_EQ("5", f.at(2));
    // A read takes the file's id while the adapter has lines there ...
    EXPECT_EQ("5", value_at(cp(a_, "ProfileId")));
    // ... and the staged one when it has none (the read above replaced
    // the cached 21 by the file's id, so stage it again).
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(cp(a_, "Port1/Function0/Protocol"), "NIC+RoCE"));
    std::string only_b;
    for (const std::string &l : lines_of(file()))
        if (l.rfind("TRLCPB,", 0) == 0)
            only_b += l + "\n";
    hlvdtest::write_file(host_.path(kFile), only_b);
    EXPECT_EQ("21", value_at(cp(a_, "ProfileId")));
}

TEST_F(ConfiguredProfile, AnotherAdaptersLineNeverAnswers)
{
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(cp(b_, "Port0/Function0/SRIOVState"), "Enabled"));
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(cp(b_, "Port0/Function0/Protocol"), "FCoE"));
    EXPECT_EQ("Enabled", lines_for("TRLCPB").at(0).at(6));
    std::string only_b;
    for (const std::string &l : lines_of(file()))
        if (l.rfind("TRLCPB,", 0) == 0)
            only_b += l + "\n";
    hlvdtest::write_file(host_.path(kFile), only_b);

    // Same function number 0x0 on both adapters: A keeps its cached values.
    EXPECT_EQ("Disabled", value_at(cp(a_, "Port0/Function0/SRIOVState")));
    EXPECT_EQ("NIC+RoCE", value_at(cp(a_, "Port0/Function0/Protocol")));
    EXPECT_EQ("5", value_at(cp(a_, "ProfileId")));

    // A set that finds no line of A is no failure: the cache holds it.
    ASSERT_EQ(VEXO_STATUS_SUCCESS, set_at(cp(a_, "Port0/Function0/SRIOVState"), "Enabled"));
    EXPECT_EQ("Enabled", value_at(cp(a_, "Port0/Function0/SRIOVState")));
    EXPECT_EQ(only_b, file());
}

TEST_F(ConfiguredProfile, SetThatCannotBeWrittenFailsAndKeepsTheCache)
{
    struct Row {
        const char *name, *path, *value;
    } rows[] = {
        {"ProfileId", "ProfileId", "9"},
        {"MCType", "Port0/MCType", "HLZMR"},
        {"Protocol", "Port0/Function1/Protocol", "FCoE"},
        {"SRIOVState", "Port0/Function0/SRIOVState", "Enabled"},
    };
    const std::string path = host_.path(kFile);
    const std::string saved = file();
    // Missing, or a name that cannot be opened as a file (root ignores
    // permission bits, so a directory stands for an unwritable file).
    for (bool missing : {true, false}) {
        for (const Row &r : rows) {
            SCOPED_TRACE(std::string(missing ? "missing " : "not a file ") + r.name);
            ASSERT_EQ(0, unlink(path.c_str()));
            if (!missing) {
                ASSERT_EQ(0, mkdir(path.c_str(), 0755));
            }
            std::string before = cached(cp(a_, r.path));
            EXPECT_EQ(VEXO_STATUS_FAILURE, set_at(cp(a_, r.path), r.value));
            EXPECT_EQ(VEXO_STATUS_FILE_WR_OP_NOT_SUPPORTED, last_status().first);
            EXPECT_EQ(before, cached(cp(a_, r.path)));
            if (!missing) {
                ASSERT_EQ(0, rmdir(path.c_str()));
            }
            hlvdtest::write_file(path, saved);
        }
    }
}

TEST_F(ConfiguredProfile, ProtocolThatCannotStandInAFieldIsRefused)
{
    const std::string before = file();
    for (const char *value : {"NIC,FCoE", "NIC\nx"}) {
        SCOPED_TRACE(value);
        EXPECT_EQ(VEXO_STATUS_FAILURE, set_at(cp(a_, "Port0/Function1/Protocol"), value));
        EXPECT_EQ(VEXO_STATUS_INVALID_VALUE, last_status().first);
        EXPECT_EQ("iSCSI", cached(cp(a_, "Port0/Function1/Protocol")));
    }
    EXPECT_EQ(before, file());
}

TEST_F(ConfiguredProfile, OlderGenerationsAnswerTheirText)
{
    for (const char *serial : {"AW2CP1", "AW3CP1", "VRWCP1"}) {
        SCOPED_TRACE(serial);
        std::string ad = adapter_path(serial);
        ASSERT_FALSE(ad.empty());
        EXPECT_EQ("N/A", value_at(cp(ad, "ProfileId")));
        EXPECT_EQ(VEXO_STATUS_SUCCESS, set_at(cp(ad, "ProfileId"), "3"));
        EXPECT_EQ("N/A", cached(cp(ad, "ProfileId")));
    }
    EXPECT_EQ(std::string::npos, file().find("CP1,"));
}

TEST_F(ConfiguredProfile, SupportedMCTypesPerAdapter)
{
    struct Row {
        const char *serial, *want;
    } rows[] = {
        {"TRLCPA", "NPAR,HLZMR"},
        {"TRLCPB", "N/A"}, // the function takes no part in multichannel
        {"AW3CP1", "vNIC2,NPAR"},
        {"AW2CP1", "N/A"},
        {"VRWCP1", "N/A"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.serial);
        EXPECT_EQ(r.want, value_at(adapter_path(r.serial) + "/ChannelManagement/SupportedMCTypes"));
    }
}

TEST_F(ConfiguredProfile, SupportedMCTypesFailsWhenTheCapabilitiesQueryFails)
{
    plan_status(host_.root(), 1, 123, 1);
    EXPECT_EQ("error 1", value_at(a_ + "/ChannelManagement/SupportedMCTypes"));
    EXPECT_EQ(VEXO_STATUS_GET_CAPABILITIES_FAILED, last_status().first);
    // And the MCType check that needs the list fails with it.
    EXPECT_EQ(VEXO_STATUS_FAILURE, set_at(cp(a_, "Port0/MCType"), "HLZMR"));
    EXPECT_EQ("NPAR", lines_for("TRLCPA").at(0).at(3));
}

TEST_F(ConfiguredProfile, LogicalHbaCannotBeDisabled)
{
    // The start does not build the iSCSI initiator yet: build it here.
    node *iscsi = get_node(tag_at(a_ + "/iSCSIPhysicalHBA0", VEXO_NODE_GROUP));
    ASSERT_NE(nullptr, iscsi);
    ASSERT_TRUE(get_first_instance(iscsi, "LogicalHBA") || initialize_LogicalHBA(iscsi, nullptr, nullptr, nullptr));
    const std::string enabled = a_ + "/iSCSIPhysicalHBA0/LogicalHBA0/Enabled";
    struct Row {
        const char *value;
        VEXO_status_t result, last;
        const char *after;
    } rows[] = {
        // The start enabled the initiator.
        {"False", VEXO_STATUS_FAILURE, VEXO_STATUS_CANNOT_DISABLE, "True"},
        {"True", VEXO_STATUS_SUCCESS, VEXO_STATUS_SUCCESS, "True"},
        {"false", VEXO_STATUS_FAILURE, VEXO_STATUS_CANNOT_DISABLE, "True"},
        {"FALSE", VEXO_STATUS_FAILURE, VEXO_STATUS_CANNOT_DISABLE, "True"},
        {"TRUE", VEXO_STATUS_SUCCESS, VEXO_STATUS_SUCCESS, "TRUE"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.value);
        EXPECT_EQ(r.result, set_at(enabled, r.value));
        EXPECT_EQ(r.last, last_status().first);
        EXPECT_EQ(r.after, value_at(enabled));
    }
}

TEST(SupportedMCTypesText, CapabilityBitsInListOrder)
{
    struct Row {
        uint32_t caps;
        const char *want;
    } rows[] = {
        {0x0, "N/A"},
        {0x100, "N/A"}, // no mode bit
        {0x1, "ZMR"},
        {0x21, "vNIC2"}, // vNIC2 covers ZMR
        {0x29, "vNIC2,NPAR"},
        {0x7F9, "vNIC2,NPAR,vNIC1,UFP,HLZMR,HLFlex,HLFlexQBG"},
        {0x6D9, "ZMR,NPAR,vNIC1,UFP,HLZMR,HLFlex,HLFlexQBG"},
    };
    for (const Row &r : rows) {
        char out[VEXO_VALUE_SIZE];
        vexo_mc_types_text(r.caps, out);
        EXPECT_STREQ(r.want, out) << std::hex << r.caps;
    }
}

} // namespace
