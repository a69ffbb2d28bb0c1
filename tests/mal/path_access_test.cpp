// Nodes reached by a path of names on the default simulated machine: the
// path forms, the value buffer, parameter texts matched to an action's
// table, and the host program's get, set, do and tree commands.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "flash/engine_log.h"
#include "mal/mal_core.h"
#include "mal/mal_path.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/hm_builder.h"
#include "sim/machine.h"
#include "sim/ufi_generator.h"
#include "support/host_program.h"
#include "support/sim_host.h"

namespace {

// The default machine's first adapter group is its AW3 card.
const char kVersionPath[] = "/Arcwright0/ActiveFirmwareVersion";
const char kVersion[] = "10.2.370.15";

// A probe action hung below the first adapter: it records the parameter
// block it is given.
struct Probe {
    int runs = 0;
    char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE] = {};
};
Probe probe;

VEXO_status_t do_Probe(node *, node *, char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE])
{
    probe.runs++;
    std::memcpy(probe.params, params, sizeof probe.params);
    return VEXO_STATUS_SUCCESS;
}

action Probe_action = {do_Probe, 0, {3, {
    {1, "Target", "required", VEXO_TYPE_STRING, "", 1, 255},
    {0, "Mode", "optional", VEXO_TYPE_STRING, "", 1, 255},
    {0, "Level", "optional", VEXO_TYPE_STRING, "", 1, 255},
}}};
const hm_node_row probe_rows[] = {HM_ACTION("Record", "records its parameters", &Probe_action)};
uint8_t probe_bits[HM_BIT_FIELD_BYTES(1, 1)];
const hm_group_type probe_type = {"PathProbe", "test group", 1, 0, nullptr, probe_bits, sizeof probe_bits,
                                  probe_rows, HM_ROW_COUNT(probe_rows)};

class PathAccess : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        probe = Probe();
        char service[MAL_VALUE_SIZE] = "";
        char hierarchy[MAL_VALUE_SIZE] = "";
        ASSERT_EQ(RM_STATUS_OK, MAL_VEXO_Init(service, hierarchy));
    }
    void TearDown() override
    {
        Options.LOG_MODE = 0;
        EXPECT_EQ(RM_STATUS_OK, MAL_VEXO_Exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }

    // Switches the client trace on into a fresh log; read it with trace().
    void start_trace()
    {
        std::string dir = host_.root() + "/";
        std::snprintf(binDIR, sizeof binDIR, "%s", dir.c_str());
        hlvdtest::write_file(dir + "ovndbg.log", "");
        Options.LOG_MODE = LOG_MODE_CLIENT_TRACE;
    }
    std::string trace()
    {
        if (LogFp)
            std::fflush(LogFp);
        return hlvdtest::read_file(host_.root() + "/ovndbg.log");
    }

    void add_probe()
    {
        node *adapter = get_node(0);
        ASSERT_TRUE(adapter);
        adapter = internal_get_node(adapter, "Arcwright0", VEXO_NODE_GROUP);
        ASSERT_TRUE(adapter);
        ASSERT_TRUE(hm_build_group(&probe_type, adapter, nullptr, nullptr, nullptr));
    }

    hlvdtest::SimHost host_;
    int start_ = 0;
};

TEST_F(PathAccess, PathFormsReadTheProperty)
{
    const std::string cut_to_fit = std::string(kVersionPath) + std::string(MAL_PATH_SIZE, '/');
    const std::string just_fits = std::string(kVersionPath) +
                                  std::string(MAL_PATH_SIZE - 1 - std::strlen(kVersionPath), '\\');
    struct Case {
        std::string path;
        RM_STATUS result;
        bool looks_up;     // whether names are looked up
        const char *value; // the value read on success
    } cases[] = {
        {kVersionPath, RM_STATUS_OK, true, kVersion},
        {"\\Arcwright0\\ActiveFirmwareVersion", RM_STATUS_OK, true, kVersion},
        {"//Arcwright0//ActiveFirmwareVersion", RM_STATUS_OK, true, kVersion},
        {"\\/arcwright0/\\\\activefirmwareversion/", RM_STATUS_OK, true, kVersion},
        {just_fits, RM_STATUS_OK, true, kVersion},
        {"/Arcwright0/NICPhysicalHBA1/PCI/FunctionNumber", RM_STATUS_OK, true, "0x1"},
        {"/Arcwright0/PortDiscoveryAndConfiguration0/PortName", RM_STATUS_OK, true, "A"},
        {"/Arcwright0/PortDiscoveryAndConfiguration1/PortName", RM_STATUS_OK, true, "B"},
        {"Arcwright0/ActiveFirmwareVersion", RM_STATUS_ERROR_INVALID_ARGUMENT, false, nullptr},
        {"/A", RM_STATUS_ERROR_INVALID_ARGUMENT, false, nullptr},
        {"///", RM_STATUS_ERROR_INVALID_ARGUMENT, false, nullptr},
        {cut_to_fit, RM_STATUS_ERROR_INVALID_ARGUMENT, false, nullptr},
        {"/Arcwright0/NoSuchProperty", RM_STATUS_ERROR_PATH_NOT_FOUND, true, nullptr},
        {"/Arcwright9/ActiveFirmwareVersion", RM_STATUS_ERROR_PATH_NOT_FOUND, true, nullptr},
        {"/Arcwright0", RM_STATUS_ERROR_MANAGEMENT_LIBRARY, true, nullptr}, // a group has no value
    };
    start_trace();
    for (const Case &c : cases) {
        std::string before = trace();
        char value[MAL_VALUE_SIZE];
        std::memset(value, 'x', sizeof value);
        uint32_t size = sizeof value;
        VEXO_status_t status = static_cast<VEXO_status_t>(-5);
        EXPECT_EQ(c.result, MAL_GetPropValFromPath(c.path.c_str(), value, &size, &status)) << c.path;
        if (c.result == RM_STATUS_OK)
            EXPECT_STREQ(c.value, value) << c.path;
        else
            EXPECT_EQ('x', value[0]) << c.path;
        EXPECT_EQ(sizeof value, size) << c.path;
        if (c.result != RM_STATUS_ERROR_MANAGEMENT_LIBRARY) {
            EXPECT_EQ(VEXO_STATUS_SUCCESS, status) << c.path;
        }
        bool looked = trace().find("get_node_tag:", before.size()) != std::string::npos;
        EXPECT_EQ(c.looks_up, looked) << c.path;
    }
}

TEST_F(PathAccess, TagsOfNodeAndParent)
{
    node_tag_t tag = -1, parent = -1;
    ASSERT_EQ(RM_STATUS_OK, _GetVexoTagFromPath("/Arcwright0/NICPhysicalHBA0/PCI/VendorID", &tag, &parent));
    node *pci = get_node(parent);
    ASSERT_TRUE(pci && pci->node_name);
    EXPECT_STREQ("PCI", pci->node_name);
    EXPECT_EQ(pci, get_node(tag)->parent);
    ASSERT_EQ(RM_STATUS_OK, _GetVexoTagFromPath("/VEXOServiceVersion", &tag, &parent));
    EXPECT_EQ(0, parent); // the root
    EXPECT_NE(0, tag);
    EXPECT_EQ(RM_STATUS_ERROR_PATH_NOT_FOUND, _GetVexoTagFromPath("/Arcwright0/Nope/VendorID", &tag, &parent));
    EXPECT_EQ(0, tag);
}

TEST_F(PathAccess, BufferMustHoldValueAndTerminator)
{
    const uint32_t len = std::strlen(kVersion);
    struct Case {
        uint32_t size;
        RM_STATUS result;
        uint32_t size_after;
    } cases[] = {
        {len - 1, RM_STATUS_ERROR_BUFFER_TOO_SMALL, len},
        {len, RM_STATUS_ERROR_BUFFER_TOO_SMALL, len}, // no room to terminate: refused, not cut
        {len + 1, RM_STATUS_OK, len + 1},
        {0, RM_STATUS_ERROR_INVALID_ARGUMENT, 0},
    };
    for (const Case &c : cases) {
        char value[MAL_VALUE_SIZE];
        std::memset(value, 'x', sizeof value);
        uint32_t size = c.size;
        EXPECT_EQ(c.result, MAL_GetPropValFromPath(kVersionPath, value, &size, nullptr)) << c.size;
        EXPECT_EQ(c.size_after, size) << c.size;
        if (c.result == RM_STATUS_OK) {
            EXPECT_STREQ(kVersion, value);
        } else {
            EXPECT_EQ('x', value[0]) << "nothing written for " << c.size;
        }
    }
}

TEST_F(PathAccess, SetWritesThroughTheHandler)
{
    VEXO_status_t status = VEXO_STATUS_FAILURE;
    EXPECT_EQ(RM_STATUS_OK, MAL_SetPropValFromPath("/Arcwright0/AdvancedMode", "Disabled", 8, &status));
    EXPECT_EQ(VEXO_STATUS_SUCCESS, status);
    char value[MAL_VALUE_SIZE] = "";
    uint32_t size = sizeof value;
    EXPECT_EQ(RM_STATUS_OK, MAL_GetPropValFromPath("\\Arcwright0\\AdvancedMode", value, &size, &status));
    EXPECT_STREQ("Disabled", value);

    // A refused value reports the library's reason.
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_SetPropValFromPath("/Arcwright0/AdvancedMode", "Bogus", 5, &status));
    EXPECT_EQ(VEXO_STATUS_INVALID_VALUE, status);
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_SetPropValFromPath(kVersionPath, "1.2.3.4", 7, &status));
    EXPECT_EQ(VEXO_STATUS_READONLY, status);
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_ARGUMENT, MAL_SetPropValFromPath("/Arcwright0/AdvancedMode", "", 0, &status));
    EXPECT_EQ(RM_STATUS_ERROR_PATH_NOT_FOUND, MAL_SetPropValFromPath("/Arcwright0/Nope", "x", 1, &status));
}

TEST_F(PathAccess, ParameterTextsFillTheBlock)
{
    add_probe();
    const char path[] = "/Arcwright0/PathProbe0/Record";
    const std::string long_value(VEXO_VALUE_SIZE, 'v');
    const std::string max_value(VEXO_VALUE_SIZE - 1, 'v');
    const std::string long_name = std::string(VEXO_MAX_NAME_SIZE, 'n') + "=x";
    const std::string too_long = "target=" + long_value;
    const std::string fits = "target=" + max_value;
    struct Case {
        std::vector<const char *> texts;
        int32_t result;
        const char *target; // slot 0 after the run; null: the action must not run
        const char *mode;   // slot 1; null: still marked as not given
    } cases[] = {
        {{"target=/tmp/a"}, RM_STATUS_OK, "/tmp/a", nullptr},
        {{"MODE=fast", "Target=b=ignored"}, RM_STATUS_OK, "b", "fast"},
        {{"Target=first", "target=second", "Unknown=z"}, RM_STATUS_OK, "first", nullptr},
        {{fits.c_str()}, RM_STATUS_OK, max_value.c_str(), nullptr},
        {{"Target"}, RM_STATUS_ERROR_INVALID_ARGUMENT, nullptr, nullptr},
        {{"Target="}, RM_STATUS_ERROR_INVALID_ARGUMENT, nullptr, nullptr},
        {{"=value"}, RM_STATUS_ERROR_INVALID_ARGUMENT, nullptr, nullptr},
        {{"Mode=fast"}, RM_STATUS_ERROR_INVALID_ARGUMENT, nullptr, nullptr}, // mandatory one missing
        {{too_long.c_str()}, RM_STATUS_ERROR_INVALID_ARGUMENT, nullptr, nullptr},
        {{long_name.c_str(), "Target=a"}, RM_STATUS_ERROR_INVALID_ARGUMENT, nullptr, nullptr},
        {{"Target=a", "Mode=b", "Level=c", "X=d"}, RM_STATUS_ERROR_INVALID_ARGUMENT, nullptr, nullptr},
    };
    start_trace();
    for (const Case &c : cases) {
        probe = Probe();
        std::string before = trace();
        VEXO_status_t status = static_cast<VEXO_status_t>(-5);
        const int count = static_cast<int>(c.texts.size());
        EXPECT_EQ(c.result, MAL_DoActionFromPath(path, count, c.texts.data(), &status)) << c.texts[0];
        EXPECT_EQ(VEXO_STATUS_SUCCESS, status) << c.texts[0];
        if (!c.target) {
            EXPECT_EQ(0, probe.runs) << c.texts[0];
            continue;
        }
        ASSERT_EQ(1, probe.runs) << c.texts[0];
        EXPECT_STREQ(c.target, probe.params[0]);
        // The block as handed to the library shows in the trace; the library
        // turns a slot marked as not given into an empty text.
        std::string block = trace().substr(before.size());
        if (c.mode) {
            EXPECT_STREQ(c.mode, probe.params[1]);
        } else {
            EXPECT_STREQ("", probe.params[1]);
            EXPECT_NE(std::string::npos, block.find("  params[1]: \xff\n")) << block;
        }
        EXPECT_NE(std::string::npos, block.find("  params[2]: \xff\n")) << block;
        EXPECT_NE(std::string::npos, block.find("  params[4]: \xff\n")) << block;
    }
    // The caller's texts are left as they were.
    char text[] = "Target=a=b";
    const char *texts[] = {text};
    EXPECT_EQ(RM_STATUS_OK, MAL_DoActionFromPath("\\Arcwright0\\PathProbe0\\Record", 1, texts, nullptr));
    EXPECT_STREQ("Target=a=b", text);
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_ARGUMENT, MAL_DoActionFromPath(path, 1, nullptr, nullptr));
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_ARGUMENT, MAL_DoActionFromPath(path, -1, texts, nullptr));
    EXPECT_EQ(RM_STATUS_ERROR_PATH_NOT_FOUND, MAL_DoActionFromPath("/Arcwright0/PathProbe0/Nope", 1, texts, nullptr));
}

TEST_F(PathAccess, LowerCaseNameFlashesTheImage)
{
    const std::string image = host_.path("/tmp/aw3.ufi");
    std::string err;
    ASSERT_TRUE(hlvdsim::write_ufi(hlvdsim::default_ufi_spec(3, "10.2.400.1"), image, &err)) << err;
    const std::string text = "ufifilename=" + image;
    const char *texts[] = {text.c_str()};
    VEXO_status_t status = VEXO_STATUS_FAILURE;
    EXPECT_EQ(RM_STATUS_OK, MAL_DoActionFromPath("/Arcwright0/UpgradeFlashROM", 1, texts, &status));
    EXPECT_EQ(VEXO_STATUS_SUCCESS, status);
    char message[MAL_STATUS_TEXT_SIZE] = "";
    MAL_get_last_status(&status, message);
    EXPECT_EQ(VEXO_STATUS_REBOOT_REQUIRED, status) << message;
    hlvdsim::Machine m;
    ASSERT_TRUE(hlvdsim::load_machine(host_.root(), m, &err)) << err;
    bool flashed = false;
    for (const hlvdsim::Adapter &a : m.adapters)
        flashed = flashed || (a.name == "aw3" && a.flash_version == "10.2.400.1");
    EXPECT_TRUE(flashed);

    // A file the handler cannot open: the action fails with its own status.
    const std::string missing = "UFIFileName=" + host_.path("/tmp/none.ufi");
    texts[0] = missing.c_str();
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_DoActionFromPath("/Arcwright0/UpgradeFlashROM", 1, texts, &status));
    EXPECT_EQ(VEXO_STATUS_FAILURE, status);
    MAL_get_last_status(&status, message);
    EXPECT_EQ(VEXO_STATUS_FILE_NOT_FOUND, status) << message;
}

TEST(PathHost, CommandsPrintResultValueAndStatus)
{
    hlvdtest::SimHost host;
    int status = -1;
    std::string out = hlvdtest::run_hlvdhost({"get", kVersionPath}, status);
    EXPECT_EQ(0, status) << out;
    EXPECT_EQ(std::string("get ") + kVersionPath + ": 0\nvalue: " + kVersion + "\nstatus: 0\nlast status: 0\n", out);

    out = hlvdtest::run_hlvdhost({"get", "/Arcwright0/Nope"}, status);
    EXPECT_EQ(1, status) << out;
    EXPECT_EQ(0u, out.find("get /Arcwright0/Nope: 27\n")) << out;

    const std::string missing = host.path("/tmp/none.ufi");
    out = hlvdtest::run_hlvdhost({"do", "/Arcwright0/UpgradeFlashROM", "ufifilename=" + missing}, status);
    EXPECT_EQ(1, status) << out;
    EXPECT_EQ(0u, out.find("do /Arcwright0/UpgradeFlashROM: 114\nstatus: 1\nlast status: 39 (")) << out;

    out = hlvdtest::run_hlvdhost({"do", "/Arcwright0/UpgradeFlashROM"}, status);
    EXPECT_EQ(1, status) << out;
    EXPECT_EQ(0u, out.find("do /Arcwright0/UpgradeFlashROM: 4\n")) << out;

    out = hlvdtest::run_hlvdhost({"set", "/Arcwright0/AdvancedMode", "Disabled"}, status);
    EXPECT_EQ(0, status) << out;
    EXPECT_EQ(0u, out.find("set /Arcwright0/AdvancedMode: 0\nstatus: 0\n")) << out;

    out = hlvdtest::run_hlvdhost({"tree", "/Arcwright0/NICPhysicalHBA0/PCI"}, status);
    EXPECT_EQ(0, status) << out;
    EXPECT_EQ(0u, out.find("/Arcwright0/NICPhysicalHBA0/PCI\n  VendorID = 0x19a2\n")) << out;
    EXPECT_NE(std::string::npos, out.find("\n  DumpNICPCIConfigRegion (action)\ntree /Arcwright0/NICPhysicalHBA0/PCI: 0\n"))
        << out;

    out = hlvdtest::run_hlvdhost({"tree", "/Arcwright0/ProfileManagement"}, status);
    EXPECT_EQ(0, status) << out;
    EXPECT_NE(std::string::npos, out.find("\n  ActiveProfile/\n    ProfileId = 0\n")) << out;
}

} // namespace
