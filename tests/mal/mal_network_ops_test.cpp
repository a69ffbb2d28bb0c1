// The client layer's network boot, MAC, throttle, VNTag and trace operations
// on simulated adapters, checked through the values the tree reads back and
// the firmware commands the handlers sent.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mal/mal_core.h"
#include "mal/mal_network_ops.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "mgmt/vexo/core/vexo_status.h"
#include "sim/command_log.h"
#include "sim/fault_plan.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;

namespace
{

// A Trelmont with one NIC function and a trace configuration of two modules
// in the modes UART and RAM.
const char kMachine[] = R"({
  "adapters": [
    { "name": "trl", "family": "converged", "generation": "Trelmont", "serial": "TRLNET01",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "boot_config": { "boot_status": 1, "bios_instance": 5, "native_mode": 1, "boot_method": 1 },
      "ext_trace": { "max_log_entries": 4096, "log_entry_size": 64, "logging_type": 1,
        "max_logging_functions": 8, "max_logging_ports": 4, "supported_modes": 3,
        "modules": [
          { "name": "Common", "id": 1, "modes": [
            { "mode": 0, "port_mask": 255, "trace_level": 48, "function_mask": 511 },
            { "mode": 1, "port_mask": 3, "trace_level": 32, "function_mask": 15 } ] },
          { "name": "NIC", "id": 2, "modes": [
            { "mode": 0, "port_mask": 1, "trace_level": 64, "function_mask": 1 },
            { "mode": 1, "port_mask": 2, "trace_level": 5, "function_mask": 2 } ] } ] },
      "functions": [
        { "bus": 5, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "mac": "00:00:C9:C4:00:30" } ] }
  ]
})";

class MalNetworkOps : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        char service[MAL_VALUE_SIZE] = "", hierarchy[MAL_VALUE_SIZE] = "";
        ASSERT_EQ(RM_STATUS_OK, MAL_VEXO_Init(service, hierarchy));
        uint32_t tags[MAL_MAX_TAGS];
        int count = MAL_MAX_TAGS;
        ASSERT_EQ(RM_STATUS_OK, MAL_EnumerateArcwrights(&count, tags));
        ASSERT_EQ(1, count);
        adapter_ = static_cast<node_tag_t>(tags[0]);
        count = MAL_MAX_TAGS;
        ASSERT_EQ(RM_STATUS_OK, MAL_EnumerateHbas(adapter_, MAL_HBA_NIC, &count, tags));
        ASSERT_EQ(1, count);
        nic_ = static_cast<node_tag_t>(tags[0]);
        hlvdsim::log_clear(host_.root());
    }
    void TearDown() override
    {
        EXPECT_EQ(RM_STATUS_OK, MAL_VEXO_Exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }

    node_tag_t child(node_tag_t parent, const std::string &path, int type = MAL_NODE_GROUP)
    {
        node_tag_t at = parent;
        size_t from = 0;
        for (;;) {
            size_t slash = path.find('/', from);
            std::string name = path.substr(from, slash == std::string::npos ? std::string::npos : slash - from);
            bool last = slash == std::string::npos;
            node_tag_t next = -1;
            EXPECT_EQ(RM_STATUS_OK, MAL_get_node_tag(at, name.c_str(), &next, last ? type : MAL_NODE_GROUP)) << path;
            at = next;
            if (last)
                return at;
            from = slash + 1;
        }
    }
    std::string value(node_tag_t parent, const std::string &path)
    {
        size_t slash = path.rfind('/');
        node_tag_t group = slash == std::string::npos ? parent : child(parent, path.substr(0, slash));
        node_tag_t prop = child(group, path.substr(slash == std::string::npos ? 0 : slash + 1), MAL_NODE_PROPERTY);
        char text[MAL_VALUE_SIZE] = "";
        EXPECT_EQ(RM_STATUS_OK, MAL_get_property_val(group, prop, text, MAL_VALUE_SIZE)) << path;
        return text;
    }
    size_t sent(int subsystem, int opcode)
    {
        size_t n = 0;
        for (const nlohmann::json &e : hlvdsim::log_read(host_.root()))
            n += e.value("kind", "") == "fw" && e.value("subsystem", -1) == subsystem && e.value("opcode", -1) == opcode;
        return n;
    }
    size_t sent_any() { return hlvdsim::log_read(host_.root()).size(); }
    void plan_status(int subsystem, int opcode, int status)
    {
        hlvdsim::FaultSpec f;
        f.subsystem = subsystem;
        f.opcode = opcode;
        f.kind = "status";
        f.status = status;
        f.always = true;
        std::string err;
        ASSERT_GT(hlvdsim::fault_add(host_.root(), f, &err), 0) << err;
    }
    std::string mode_value(int module, int mode, const char *prop)
    {
        return value(adapter_, "ExtFATData/ExtFATModule" + std::to_string(module) + "/ExtFATMode" +
                                   std::to_string(mode) + "/" + prop);
    }

    SimHost host_{kMachine};
    int start_ = 0;
    node_tag_t adapter_ = -1;
    node_tag_t nic_ = -1;
};

TEST_F(MalNetworkOps, NetworkBootStateAndMethod)
{
    // Without a method the slot goes as absent: enabling then lacks one,
    // and nothing is written.
    const struct {
        const char *method;
        int enable;
        RM_STATUS result;
        const char *state;
        size_t writes;
    } rows[] = {
        {nullptr, 1, RM_STATUS_ERROR_MANAGEMENT_LIBRARY, "Enabled", 0},
        {nullptr, 0, RM_STATUS_OK, "Disabled", 1},
        {"PXE", 1, RM_STATUS_OK, "Enabled", 1},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.method ? r.method : "(none)");
        hlvdsim::log_clear(host_.root());
        EXPECT_EQ(r.result, MAL_SetNetbootParams(nic_, r.method, r.enable));
        EXPECT_EQ(r.writes, sent(1, 67));
        EXPECT_EQ(r.state, value(nic_, "NetworkBootConfiguration/NetworkBootState"));
    }
    EXPECT_EQ("PXE", value(nic_, "NetworkBootConfiguration/NetworkBootMethod"));
}

TEST_F(MalNetworkOps, BootVlanIsWrittenAndOutOfRangeIsRefused)
{
    EXPECT_EQ(RM_STATUS_OK, MAL_SetVLANProps(nic_, 7, 5));
    EXPECT_EQ("7", value(nic_, "NetworkBootConfiguration/VLANId"));
    EXPECT_EQ("5", value(nic_, "NetworkBootConfiguration/VLANPriority"));
    hlvdsim::log_clear(host_.root());
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_SetVLANProps(nic_, 4096, 0));
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_SetVLANProps(nic_, 1, 8));
    EXPECT_EQ(0u, sent(21, 4));
}

TEST_F(MalNetworkOps, MacAddressesOfNoneOrBroadcastAreRefusedBeforeTheTree)
{
    const uint8_t zeros[6] = {0, 0, 0, 0, 0, 0};
    const uint8_t ones[6] = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
    for (const uint8_t *mac : {zeros, ones}) {
        EXPECT_EQ(RM_STATUS_ERROR_INVALID_MAC_ADDRESS, MAL_SetVolatileMACAddress(nic_, mac));
        EXPECT_EQ(RM_STATUS_ERROR_INVALID_MAC_ADDRESS, MAL_SetNonVolatileMACAddress(nic_, mac));
        // Even a tag that names nothing is not looked at.
        EXPECT_EQ(RM_STATUS_ERROR_INVALID_MAC_ADDRESS, MAL_SetVolatileMACAddress(-5, mac));
    }
    EXPECT_EQ(0u, sent_any());
    const uint8_t mac[6] = {0x02, 0x10, 0x20, 0x30, 0x40, 0x50};
    EXPECT_EQ(RM_STATUS_OK, MAL_SetVolatileMACAddress(nic_, mac));
    EXPECT_EQ("02-10-20-30-40-50", value(nic_, "NetworkBootConfiguration/VolatileMACAddress"));
}

TEST_F(MalNetworkOps, TxThrottleOfAGenerationWithoutOne)
{
    // The generation has no throttle: the value reads "N/A", which the
    // integer reader gives as 0, and a write is refused.
    node_tag_t port = child(adapter_, "PortDiscoveryAndConfiguration0");
    int32_t v = 7;
    EXPECT_EQ(RM_STATUS_OK, MAL_GetTxThrottle(port, &v));
    EXPECT_EQ(0, v);
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_SetTxThrottle(port, 1));
    EXPECT_EQ(0u, sent_any());
}

TEST_F(MalNetworkOps, VNTagIsNotAvailableOnThisTree)
{
    int32_t enabled = 7;
    EXPECT_EQ(RM_STATUS_ERROR_NOT_AVAILABLE, MAL_GetVNTagState(nic_, &enabled));
    EXPECT_EQ(7, enabled);
    EXPECT_EQ(RM_STATUS_ERROR_NOT_AVAILABLE, MAL_SetVNTagState(nic_, 1));
    EXPECT_EQ(RM_STATUS_ERROR_NOT_AVAILABLE, MAL_VNTagConfigProvisionInfo(nic_, 0, "profile"));
    EXPECT_EQ(0u, sent_any());
}

TEST_F(MalNetworkOps, TraceConfigurationReadsTheSupportedModesOfEachModule)
{
    std::unique_ptr<MAL_ExtFatData> d(new MAL_ExtFatData());
    ASSERT_EQ(RM_STATUS_OK, MAL_GetExtFatData(adapter_, d.get()));
    EXPECT_EQ(4096, d->MaxLogEntries);
    EXPECT_EQ(64, d->LogEntrySize);
    EXPECT_STREQ("asynchronous", d->LoggingType);
    EXPECT_EQ(8, d->MaxLoggingFunctions);
    EXPECT_EQ(4, d->MaxLoggingPorts);
    EXPECT_STREQ("UART,RAM", d->SupportedModes);
    EXPECT_EQ(2, d->ModeCount);
    ASSERT_EQ(2, d->ModuleCount);
    const struct {
        int module, mode;
        const char *name;
        uint32_t ports, functions;
        int32_t level;
    } rows[] = {
        {0, 0, "UART", 15, 0xFF, 48}, // 0xFF ports kept to four bits, 0x1FF functions to eight
        {0, 1, "RAM", 3, 15, 32},
        {1, 0, "UART", 1, 1, 64},
        {1, 1, "RAM", 2, 2, 5},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(std::to_string(r.module) + "/" + std::to_string(r.mode));
        const MAL_ExtFatMode &m = d->Modules[r.module].Modes[r.mode];
        EXPECT_STREQ(r.name, m.Mode);
        EXPECT_EQ(r.ports, m.PortMask);
        EXPECT_EQ(r.functions, m.PCIFunctionMask);
        EXPECT_EQ(r.level, m.TraceLevel);
    }
    EXPECT_STREQ("Common", d->Modules[0].ModuleString);
    EXPECT_STREQ("NIC", d->Modules[1].ModuleString);
    EXPECT_EQ(0u, d->Modules[0].Reserved);
    EXPECT_STREQ("", d->Modules[0].Modes[2].Mode) << "only the supported modes are read";
}

TEST_F(MalNetworkOps, ModuleRecordWritesOnlyTheGivenValuesOfItsModes)
{
    node_tag_t module = child(adapter_, "ExtFATData/ExtFATModule1");
    MAL_ExtFatModule rec;
    std::memset(&rec, 0, sizeof rec);
    std::strcpy(rec.Modes[0].Mode, "UART");
    rec.Modes[0].PortMask = MAL_EXTFAT_UNCHANGED;
    rec.Modes[0].PCIFunctionMask = 0x3;
    rec.Modes[0].TraceLevel = 16;
    EXPECT_EQ(RM_STATUS_OK, MAL_SetExtFatModule(module, &rec));
    EXPECT_EQ("0x1", mode_value(1, 0, "PortMask"));
    EXPECT_EQ("0x3", mode_value(1, 0, "PCIFunctionMask"));
    EXPECT_EQ("16", mode_value(1, 0, "TraceLevel"));
    EXPECT_EQ("5", mode_value(1, 1, "TraceLevel")) << "the empty second mode ends the record";

    // A mode the adapter lacks refuses the record before any write, even
    // after a mode that exists.
    std::strcpy(rec.Modes[0].Mode, "RAM");
    rec.Modes[0].TraceLevel = 8;
    std::strcpy(rec.Modes[1].Mode, "NVRAM");
    hlvdsim::log_clear(host_.root());
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_VALUE, MAL_SetExtFatModule(module, &rec));
    EXPECT_EQ(0u, sent(1, 126));
    EXPECT_EQ("5", mode_value(1, 1, "TraceLevel"));
    // Modes match by their exact text.
    std::strcpy(rec.Modes[0].Mode, "uart");
    std::memset(rec.Modes[1].Mode, 0, sizeof rec.Modes[1].Mode);
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_VALUE, MAL_SetExtFatModule(module, &rec));
}

TEST_F(MalNetworkOps, LoggingActionsReportFailuresAs114)
{
    EXPECT_EQ(RM_STATUS_OK, MAL_EnableLoggingOnAllModules(adapter_, 16, 1, 0, 1, 1));
    EXPECT_EQ("16", mode_value(0, 0, "TraceLevel"));
    EXPECT_EQ("32", mode_value(0, 1, "TraceLevel")) << "RAM not chosen";
    EXPECT_EQ(RM_STATUS_OK, MAL_DisableLoggingOnAllModules(adapter_, 0, 1, 0, 0));
    EXPECT_EQ("255", mode_value(1, 1, "TraceLevel"));
    EXPECT_EQ(RM_STATUS_OK, MAL_SetDefaultLoggingConfig(adapter_, 1, 2, 3, 4, 5, 6, 7));

    plan_status(1, 126, 2);
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_EnableLoggingOnAllModules(adapter_, 16, 1, 1, 0, 0));
    VEXO_status_t code = VEXO_STATUS_SUCCESS;
    char text[MAL_STATUS_TEXT_SIZE] = "";
    MAL_get_last_status(&code, text);
    EXPECT_EQ(VEXO_STATUS_ENABLELOGGING, code);
}

} // namespace
