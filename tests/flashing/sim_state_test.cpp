// What the simulated machine keeps across a flash and shows the product
// afterwards: revision bytes as written, the adapter's reset-needed state
// until the reboot, the change status the firmware answers, serials that
// fill their whole field, and a state file that is never written through a
// planted link.
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "flash_fixture.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "mgmt/vexo/core/vexo_status.h"
#include "sim/flash_model.h"
#include "sim/machine.h"

using namespace flashtest;

namespace
{

// A property of the adapter group (or of its subgroup `group`) read through
// the management API, or "error N".
std::string property(node *adapter, const char *group, const char *name)
{
    if (!adapter)
        return "no adapter";
    node_tag_t g = adapter->node_tag, p = -1;
    char text[VEXO_MAX_NAME_SIZE];
    if (group) {
        std::snprintf(text, sizeof text, "%s", group);
        if (VEXO_get_node_tag(adapter->node_tag, text, &g, VEXO_NODE_GROUP) != VEXO_STATUS_SUCCESS)
            return "no group";
    }
    std::snprintf(text, sizeof text, "%s", name);
    if (VEXO_get_node_tag(g, text, &p, VEXO_NODE_PROPERTY) != VEXO_STATUS_SUCCESS)
        return "no property";
    char value[VEXO_VALUE_SIZE] = "";
    VEXO_status_t r = VEXO_get_property_val(g, p, value, sizeof value);
    return r == VEXO_STATUS_SUCCESS ? std::string(value) : "error " + std::to_string(r);
}

class SimState : public FlashTest
{
  protected:
    std::string reboot_required(const std::string &name) const
    {
        return property(adapter(name), "ProfileManagement", "RebootRequired");
    }

    void reboot(const std::string &name) const
    {
        std::string err;
        ASSERT_TRUE(hlvdsim::reboot_adapters(host().root(), name, nullptr, &err)) << err;
    }

    // Changes the adapter's description in the machine state.
    void set_field(const std::string &name, const char *key, const json &value) const
    {
        hlvdsim::StateLock lock(host().root());
        hlvdsim::Machine m;
        ASSERT_TRUE(hlvdsim::load_machine(host().root(), m, nullptr));
        for (size_t i = 0; i < m.adapters.size(); ++i)
            if (m.adapters[i].name == name)
                m.doc["adapters"][i][key] = value;
        ASSERT_TRUE(hlvdsim::save_machine(host().root(), m, nullptr));
    }

    std::string make_varrow(const std::string &version, const std::string &file) const
    {
        hlvdsim::VarrowObjectSpec s;
        s.version = version;
        s.size = 0x3000;
        return make_obj(s, file);
    }
};

TEST_F(SimState, RevisionBytesThatAreNoUtf8AreKeptAsWritten)
{
    const std::string revision("\xFF\xFE" "11.4.9\x80", 9);
    std::string file = make_varrow(revision, "bytes.obj");
    Outcome o = upgrade("varrow", file);
    EXPECT_EQ(0, o.result);
    EXPECT_EQ(VEXO_STATUS_REBOOT_REQUIRED, o.status);

    std::vector<uint8_t> object;
    ASSERT_TRUE(hlvdsim::object_contents(host().root(), "varrow", "/prg", object));
    EXPECT_TRUE(object == read_bytes(file));
    EXPECT_EQ(revision, flash_version("varrow"));
    std::string state = hlvdtest::read_file(hlvdsim::state_dir(host().root()) + "/machine.json");
    EXPECT_FALSE(json::parse(state, nullptr, false).is_discarded()) << "the state stays JSON text";
    // The product reads the bytes back from the adapter.
    EXPECT_EQ(revision, property(adapter("varrow"), nullptr, "FirmwareVersionOnFlash"));

    reboot("varrow");
    EXPECT_EQ(revision, active_version("varrow"));
    EXPECT_EQ(revision, property(adapter("varrow"), nullptr, "FirmwareVersionOnFlash"));
    // The same revision again is no change.
    o = upgrade("varrow", file);
    EXPECT_EQ(0, o.result);
    EXPECT_EQ(VEXO_STATUS_SUCCESS, o.status);
}

TEST_F(SimState, TextsOfTheStateRoundTripAsBytes)
{
    struct Case {
        std::string bytes;
        bool array; // kept as an array of byte values
    } cases[] = {
        {"11.4.300.2", false},
        {"", false},
        {"caf\xC3\xA9", false},
        {std::string("\x00\xFF", 2), true},
        {"\xC3", true},             // cut short
        {"\xE0\x80\xAF", true},     // overlong
        {"\xED\xA0\x80", true},     // surrogate
        {"\xF4\x90\x80\x80", true}, // past U+10FFFF
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(hlvdsim::bytes_value(c.bytes).dump());
        json v = hlvdsim::bytes_value(c.bytes);
        EXPECT_EQ(c.array, v.is_array());
        EXPECT_EQ(c.bytes, hlvdsim::value_bytes(json::parse(v.dump())));
    }
    EXPECT_THROW(hlvdsim::value_bytes(json::array({256})), std::runtime_error);
    EXPECT_THROW(hlvdsim::value_bytes(json(5)), std::runtime_error);
}

struct RebootCase {
    const char *adapter;
    int generation; // of the UFI generator; 0 for a Varrow object
    const char *version;
};

void PrintTo(const RebootCase &c, std::ostream *os)
{
    *os << c.adapter;
}

class RebootRequired : public SimState, public ::testing::WithParamInterface<RebootCase>
{
};

TEST_P(RebootRequired, NewFirmwareWaitsForTheReboot)
{
    const RebootCase &c = GetParam();
    std::string file;
    if (c.generation == 0) {
        file = make_varrow(c.version, "new.obj");
    } else {
        hlvdsim::UfiSpec s = hlvdsim::default_ufi_spec(c.generation, c.version);
        if (c.generation == 3)
            s.components = {{0xA0, 0xFFFF, 0}, {0xE0, 0xFFFF, 0}};
        file = make_ufi(s, "new.ufi");
    }
    EXPECT_EQ("No", reboot_required(c.adapter));
    ASSERT_EQ(VEXO_STATUS_REBOOT_REQUIRED, upgrade(c.adapter, file).status);
    EXPECT_EQ("Yes", reboot_required(c.adapter));
    reboot(c.adapter);
    EXPECT_EQ("No", reboot_required(c.adapter));
}

INSTANTIATE_TEST_SUITE_P(Generations, RebootRequired,
                         ::testing::Values(RebootCase{"aw2", 2, "4.2.500.1"}, RebootCase{"aw3", 3, "10.2.400.1"},
                                           RebootCase{"trelmont", 4, "11.2.100.7"},
                                           RebootCase{"varrow", 0, "11.4.300.2"}),
                         [](const ::testing::TestParamInfo<RebootCase> &i) { return std::string(i.param.adapter); });

TEST_F(SimState, RewritingTheSameFlashAsksForNoReboot)
{
    std::string file = make_ufi(hlvdsim::default_ufi_spec(2, "4.2.500.1"), "same.ufi");
    ASSERT_EQ(VEXO_STATUS_REBOOT_REQUIRED, upgrade("aw2", file).status);
    reboot("aw2");
    ASSERT_EQ("No", reboot_required("aw2"));
    clear_log();
    upgrade("aw2", file);
    ASSERT_FALSE(writes(fw_log()).empty()) << "the image is written again";
    EXPECT_EQ("No", reboot_required("aw2")) << "the flash holds what it held";
}

TEST_F(SimState, ObjectChangeStatusesAndWhatTheProductMakesOfThem)
{
    // Any nonzero change status asks for a reboot (status 55); the adapter
    // then reports that it needs one.
    struct Case {
        unsigned change;
        int status;
        const char *reboot;
    } cases[] = {
        {0, VEXO_STATUS_SUCCESS, "No"},
        {1, VEXO_STATUS_REBOOT_REQUIRED, "Yes"},
        {2, VEXO_STATUS_REBOOT_REQUIRED, "Yes"},
        {3, VEXO_STATUS_REBOOT_REQUIRED, "Yes"},
        {255, VEXO_STATUS_REBOOT_REQUIRED, "Yes"},
    };
    std::string file = make_varrow("11.4.300.2", "v.obj");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.change);
        reboot("varrow");
        set_field("varrow", "flash_options", json{{"change_status", c.change}});
        vexo_set_last_status(VEXO_STATUS_SUCCESS, "");
        clear_log();
        Outcome o = upgrade("varrow", file);
        EXPECT_EQ(0, o.result);
        EXPECT_EQ(c.status, o.status);
        std::vector<json> log = fw_log();
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(172, log.back()["opcode"]);
        EXPECT_EQ(0, log.back()["status"]);
        EXPECT_EQ(c.reboot, reboot_required("varrow"));
    }
}

class LongSerial : public SimState
{
  protected:
    std::string machine() const override
    {
        json doc = json::parse(flashing_machine());
        for (json &a : doc["adapters"])
            if (a["name"] == "aw3")
                a["serial"] = kSerial;
        return doc.dump();
    }

  public:
    static constexpr const char *kSerial = "AW3SIM0000000000000000000000032X"; // 32 characters
};

TEST_F(LongSerial, TheProductReadsAll32Characters)
{
    ASSERT_EQ(32u, std::strlen(kSerial));
    EXPECT_EQ(kSerial, property(adapter("aw3"), nullptr, "SerialNumber"));
}

// The state rewrite never follows a link planted where an older simulator
// put its temporary file, and leaves no temporary file behind.
TEST(SimStateFile, RewriteIgnoresAPlantedLink)
{
    hlvdtest::SimHost host;
    std::string dir = hlvdsim::state_dir(host.root());
    std::string victim = host.path("/victim");
    hlvdtest::write_file(victim, "keep me\n");
    std::string planted = dir + "/machine.json.tmp." + std::to_string(getpid());
    ASSERT_EQ(0, symlink(victim.c_str(), planted.c_str()));

    {
        hlvdsim::StateLock lock(host.root());
        hlvdsim::Machine m;
        ASSERT_TRUE(hlvdsim::load_machine(host.root(), m, nullptr));
        m.doc["marker"] = "written";
        std::string err;
        ASSERT_TRUE(hlvdsim::save_machine(host.root(), m, &err)) << err;
    }
    EXPECT_EQ("keep me\n", hlvdtest::read_file(victim));
    struct stat st;
    ASSERT_EQ(0, lstat((dir + "/machine.json").c_str(), &st));
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_NE(std::string::npos, hlvdtest::read_file(dir + "/machine.json").find("\"marker\": \"written\""));

    std::vector<std::string> temporary;
    DIR *d = opendir(dir.c_str());
    ASSERT_NE(nullptr, d);
    while (struct dirent *e = readdir(d)) {
        std::string name = e->d_name;
        if (name.find(".tmp.") != std::string::npos && dir + "/" + name != planted)
            temporary.push_back(name);
    }
    closedir(d);
    EXPECT_TRUE(temporary.empty()) << temporary.front();
}

} // namespace
