// End to end through the client layer, as the flash front end goes: the
// management library started on a simulated host, the adapters found by
// enumeration, flashed with MAL_UpgradeFlash from generated images and
// dumped with MAL_RetrievePCIDump.
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "flash_fixture.h"
#include "mal/mal_core.h"
#include "mal/mal_maintenance.h"
#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "mgmt/vexo/core/vexo_status.h"
#include "sim/flash_model.h"
#include "support/lock_holder.h"

using namespace flashtest;

namespace
{

class ClientFlash : public FlashTest
{
  protected:
    // The front end starts the library through the client layer.
    void start() override
    {
        char service[MAL_VALUE_SIZE], hierarchy[MAL_VALUE_SIZE];
        ASSERT_EQ(RM_STATUS_OK, MAL_VEXO_Init(service, hierarchy));
    }

    // The adapter's tag as the front end finds it: among the enumerated ones.
    node_tag_t tag(const std::string &name) const
    {
        node *a = adapter(name);
        EXPECT_NE(nullptr, a) << name;
        if (!a)
            return -1;
        std::vector<uint32_t> tags(MAL_MAX_TAGS);
        int count = MAL_MAX_TAGS;
        EXPECT_EQ(RM_STATUS_OK, MAL_EnumerateArcwrights(&count, tags.data()));
        for (int i = 0; i < count; ++i)
            if (static_cast<node_tag_t>(tags[i]) == a->node_tag)
                return a->node_tag;
        ADD_FAILURE() << name << " is not enumerated";
        return -1;
    }

    std::string active_in_tree(const std::string &name) const
    {
        node_tag_t a = tag(name), p = -1;
        char value[MAL_VALUE_SIZE] = "";
        EXPECT_EQ(RM_STATUS_OK, MAL_get_node_tag(a, "ActiveFirmwareVersion", &p, MAL_NODE_PROPERTY));
        EXPECT_EQ(RM_STATUS_OK, MAL_get_property_val(a, p, value, MAL_VALUE_SIZE));
        return value;
    }

    // A new session of the library, as the next exported call starts one.
    void restart() const
    {
        VEXO_exit();
        char service[MAL_VALUE_SIZE], hierarchy[MAL_VALUE_SIZE];
        ASSERT_EQ(RM_STATUS_OK, MAL_VEXO_Init(service, hierarchy));
    }
};

struct Generation {
    const char *adapter;
    int generation; // 0: a Varrow object file
    const char *version;
};

void PrintTo(const Generation &g, std::ostream *os)
{
    *os << g.adapter;
}

class ClientGenerations : public ClientFlash, public ::testing::WithParamInterface<Generation>
{
};

TEST_P(ClientGenerations, FlashedFromAGeneratedImageAndActiveAfterTheReboot)
{
    const Generation &g = GetParam();
    std::string file;
    std::vector<uint32_t> unwritten;
    if (g.generation == 0) {
        hlvdsim::VarrowObjectSpec o;
        o.version = g.version;
        file = make_obj(o, "v.obj");
    } else {
        hlvdsim::UfiSpec s = hlvdsim::default_ufi_spec(g.generation, g.version);
        if (g.generation == 3) {
            s.components = {{0xA0, 0xFFFF, 0}, {0xE0, 0xFFFF, 0}};
        }
        file = make_ufi(s, "image.ufi");
    }
    EXPECT_EQ(VEXO_STATUS_REBOOT_REQUIRED, MAL_UpgradeFlash(tag(g.adapter), file.c_str()));
    if (g.generation == 0) {
        std::vector<uint8_t> object;
        ASSERT_TRUE(hlvdsim::object_contents(host().root(), g.adapter, "/prg", object));
        EXPECT_TRUE(object == read_bytes(file));
    } else {
        EXPECT_TRUE(flash(g.adapter) == expected_flash(read_bytes(file), g.generation, true));
    }
    std::string before = active_in_tree(g.adapter);
    EXPECT_NE(g.version, before);
    ASSERT_TRUE(hlvdsim::reboot_adapters(host().root(), g.adapter, nullptr, nullptr));
    restart();
    EXPECT_EQ(g.version, active_in_tree(g.adapter));
}

INSTANTIATE_TEST_SUITE_P(Generations, ClientGenerations,
                         ::testing::Values(Generation{"aw2", 2, "4.2.500.1"}, Generation{"aw3", 3, "10.2.400.1"},
                                           Generation{"trelmont", 4, "11.2.100.7"},
                                           Generation{"varrow", 0, "11.4.300.2"}),
                         [](const ::testing::TestParamInfo<Generation> &i) { return std::string(i.param.adapter); });

TEST_F(ClientFlash, VarrowFirmwareTheAdapterRunsNeedsNoReboot)
{
    hlvdsim::VarrowObjectSpec o;
    o.version = active_version("varrow");
    EXPECT_EQ(VEXO_STATUS_SUCCESS, MAL_UpgradeFlash(tag("varrow"), make_obj(o, "same.obj").c_str()));
}

TEST_F(ClientFlash, TrelmontImageTheAdapterHoldsSendsNoWrite)
{
    std::string file = make_ufi(hlvdsim::default_ufi_spec(4, "11.2.100.7"), "t.ufi");
    ASSERT_EQ(VEXO_STATUS_REBOOT_REQUIRED, MAL_UpgradeFlash(tag("trelmont"), file.c_str()));
    clear_log();
    EXPECT_EQ(VEXO_STATUS_REBOOT_REQUIRED, MAL_UpgradeFlash(tag("trelmont"), file.c_str()));
    EXPECT_TRUE(writes(fw_log()).empty());
}

TEST_F(ClientFlash, FirmwareAnswersReachTheCaller)
{
    std::string file = make_ufi(hlvdsim::default_ufi_spec(4, "11.2.100.7"), "t.ufi");
    struct Case {
        const char *what;
        int opcode, status, additional;
        const char *kind;
        int32_t result;
    } cases[] = {
        {"second download", 6, 3, 0, "status", VEXO_STATUS_INT_REBOOT_REQ},
        {"signature missing", 7, 23, 87, "status", VEXO_STATUS_DIGITAL_SIGNATURE_MISSING},
        {"invalid signature", 7, 23, 86, "status", VEXO_STATUS_INVALID_DIGITAL_SIGNATURE},
        {"refused write", 7, 2, 0, "status", VEXO_STATUS_FAILED_FLASH},
        {"power loss", 7, 0, 0, "power-loss", VEXO_STATUS_FAILED_FLASH},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        hlvdsim::fault_clear(host().root());
        hlvdsim::FaultSpec f;
        f.subsystem = 1;
        f.opcode = c.opcode;
        f.kind = c.kind;
        f.status = c.status;
        f.additional_status = c.additional;
        f.length = 100;
        plan(f);
        ASSERT_TRUE(hlvdsim::flash_program(host().root(), "trelmont", 0, std::vector<uint8_t>(0x10000, 0)));
        EXPECT_EQ(c.result, MAL_UpgradeFlash(tag("trelmont"), file.c_str()));
    }
    // The adapter and the library work on afterwards.
    hlvdsim::fault_clear(host().root());
    restart();
    EXPECT_EQ(VEXO_STATUS_REBOOT_REQUIRED, MAL_UpgradeFlash(tag("trelmont"), file.c_str()));
}

TEST_F(ClientFlash, ABusyAdapterAndAMissingAction)
{
    char key[VEXO_SERIAL_NUM_SIZE] = "";
    ASSERT_EQ(0, VEXO_get_asic_serial_number(adapter("trelmont"), key));
    std::string lock = host().path("/tmp/VEXO_ASIC_" + std::string(key) + ".txt");
    hlvdtest::LockHolder holder(lock);
    std::string file = make_ufi(hlvdsim::default_ufi_spec(4, "11.2.100.7"), "t.ufi");
    EXPECT_EQ(VEXO_STATUS_ADAPTER_BUSY, MAL_UpgradeFlash(tag("trelmont"), file.c_str()));
    EXPECT_EQ(VEXO_STATUS_ADAPTER_BUSY, MAL_RetrievePCIDump(tag("trelmont"), path("d.bin").c_str()));
    holder.gone();
    EXPECT_TRUE(writes(fw_log()).empty());

    // The library refuses a path it cannot take; its status comes back.
    EXPECT_EQ(VEXO_STATUS_INVALID_SIZE, MAL_UpgradeFlash(tag("trelmont"), "ab"));
    EXPECT_EQ(VEXO_STATUS_INVALID_SIZE, MAL_RetrievePCIDump(tag("trelmont"), "ab"));

    node_tag_t nic = get_first_instance(adapter("trelmont"), "NICPhysicalHBA")->node_tag;
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_UpgradeFlash(nic, file.c_str()));
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_RetrievePCIDump(nic, path("d.bin").c_str()));
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_SetFFVName(nic, "name"));
}

TEST_F(ClientFlash, PciDumpEqualsTheFlashOrLeavesNothing)
{
    std::string file = make_ufi(hlvdsim::default_ufi_spec(4, "11.2.100.7"), "t.ufi");
    ASSERT_EQ(VEXO_STATUS_REBOOT_REQUIRED, MAL_UpgradeFlash(tag("trelmont"), file.c_str()));
    std::string out = path("trelmont.dump");
    EXPECT_EQ(0, MAL_RetrievePCIDump(tag("trelmont"), out.c_str()));
    EXPECT_TRUE(read_bytes(out) == flash("trelmont"));

    plan_status(6, 2, 0, 200);
    std::string failed = path("failed.dump");
    int32_t r = MAL_RetrievePCIDump(tag("trelmont"), failed.c_str());
    EXPECT_NE(0, r);
    EXPECT_FALSE(hlvdtest::file_exists(failed));
}

TEST_F(ClientFlash, VpdOfAFunction)
{
    node *nic = get_first_instance(adapter("aw3"), "NICPhysicalHBA");
    ASSERT_NE(nullptr, nic);
    std::vector<uint8_t> vpd(1536, 0xEE);
    uint32_t len = 1023;
    EXPECT_EQ(RM_STATUS_ERROR_BUFFER_TOO_SMALL, MAL_GetVPD(nic->node_tag, vpd.data(), &len));
    EXPECT_EQ(1023u, len);
    len = 1024;
    ASSERT_EQ(RM_STATUS_OK, MAL_GetVPD(nic->node_tag, vpd.data(), &len));
    // The bytes are the tree's VPD texts, in order.
    node *group = internal_get_node(nic, "VPD", VEXO_NODE_GROUP);
    ASSERT_NE(nullptr, group);
    std::string hex;
    for (int i = 0; i < 9; ++i) {
        char name[16], value[VEXO_VALUE_SIZE] = "";
        std::snprintf(name, sizeof name, "VPDData%d", i);
        internal_get_property(group, name, value);
        hex += value;
    }
    ASSERT_EQ(hex.size() / 2, len);
    for (uint32_t i = 0; i < len; ++i)
        EXPECT_EQ(std::stoul(hex.substr(2 * i, 2), nullptr, 16), vpd[i]) << i;
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, MAL_GetVPD(adapter("aw3")->node_tag, vpd.data(), &len))
        << "no VPD group";
}

TEST_F(ClientFlash, VpdRoom)
{
    node *nic = get_first_instance(adapter("aw3"), "NICPhysicalHBA");
    node *group = nic ? internal_get_node(nic, "VPD", VEXO_NODE_GROUP) : nullptr;
    ASSERT_NE(nullptr, group);
    // Eight texts of 254 digits and one of 255: 1144 bytes.
    for (int i = 0; i < 9; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "VPDData%d", i);
        std::string text = i < 8 ? std::string(254, static_cast<char>('a' + i % 6)) : std::string(252, 'f') + "abc";
        set_prop_val(group, name, "%s", text.c_str());
    }
    struct Case {
        uint32_t room;
        RM_STATUS result;
        uint32_t length; // on return
    } cases[] = {
        {1024, RM_STATUS_ERROR_BUFFER_TOO_SMALL, 0},
        {1144, RM_STATUS_OK, 1144},
        {1536, RM_STATUS_OK, 1144},
        {1537, RM_STATUS_ERROR_INVALID_ARGUMENT, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.room);
        std::vector<uint8_t> vpd(1600, 0xEE);
        uint32_t len = c.room;
        EXPECT_EQ(c.result, MAL_GetVPD(nic->node_tag, vpd.data(), &len));
        EXPECT_EQ(c.length, len);
        if (c.result == RM_STATUS_OK) {
            EXPECT_EQ(0xAA, vpd[0]);
            EXPECT_EQ(0xAB, vpd[1142]) << "a last single digit is a byte of its own";
            EXPECT_EQ(0x0C, vpd[1143]);
            EXPECT_EQ(0xEE, vpd[1144]) << "nothing past the VPD";
        }
    }
}

} // namespace
