// The adapter's UpgradeFlashROM action on simulated adapters of every
// generation: what reaches the flash, which components are skipped, the
// statuses the firmware's answers turn into, and the files it refuses.
#include <algorithm>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "flash_fixture.h"
#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "mgmt/vexo/core/vexo_status.h"
#include "mgmt/aw/vexo-backend/nodes_adapter.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "sim/flash_model.h"
#include "sim/machine.h"

using namespace flashtest;

namespace
{

hlvdsim::UfiSpec trelmont_spec(const std::string &version)
{
    return hlvdsim::default_ufi_spec(4, version);
}

// AW3 components that keep the image small: iSCSI firmware, redboot, PHY.
hlvdsim::UfiSpec aw3_spec(const std::string &version)
{
    hlvdsim::UfiSpec s = hlvdsim::default_ufi_spec(3, version);
    s.components = {{0xA0, 0xFFFF, 0}, {0xE0, 0xFFFF, 0}, {0xC0, 0xFFFF, 0}};
    return s;
}

std::vector<Chunk> chunks(const std::vector<json> &log)
{
    std::vector<Chunk> out;
    for (const json &e : log)
        out.push_back(chunk_of(e));
    return out;
}

std::vector<json> read_backs(const std::vector<json> &log)
{
    std::vector<json> out;
    for (const json &e : log)
        if (e["subsystem"] == 1 && e["opcode"] == 6)
            out.push_back(e);
    return out;
}

class Upgrade : public FlashTest
{
};

struct GenerationCase {
    const char *adapter;
    int generation; // of the UFI generator; 0 for a Varrow object
    const char *version;
    std::vector<uint32_t> unwritten; // op types the rules leave out
};

void PrintTo(const GenerationCase &c, std::ostream *os)
{
    *os << c.adapter;
}

class EveryGeneration : public FlashTest, public ::testing::WithParamInterface<GenerationCase>
{
};

TEST_P(EveryGeneration, WritesExactlyItsImageAndTheRebootActivatesIt)
{
    const GenerationCase &c = GetParam();
    std::string before = active_version(c.adapter);
    std::string file;
    if (c.generation == 0) {
        hlvdsim::VarrowObjectSpec o;
        o.version = c.version;
        o.size = 0x18123;
        file = make_obj(o, std::string(c.adapter) + ".obj");
    } else {
        hlvdsim::UfiSpec s = c.generation == 3 ? aw3_spec(c.version) : hlvdsim::default_ufi_spec(c.generation, c.version);
        file = make_ufi(s, std::string(c.adapter) + ".ufi");
    }
    Outcome o = upgrade(c.adapter, file);
    EXPECT_EQ(0, o.result);
    EXPECT_EQ(VEXO_STATUS_REBOOT_REQUIRED, o.status);
    if (c.generation == 0) {
        std::vector<uint8_t> object;
        ASSERT_TRUE(hlvdsim::object_contents(host().root(), c.adapter, "/prg", object));
        EXPECT_TRUE(object == read_bytes(file)) << "the object file goes whole, header included";
    } else {
        // The default Trelmont adapter runs 11.x firmware: offset method.
        EXPECT_TRUE(flash(c.adapter) == expected_flash(read_bytes(file), c.generation, true, c.unwritten))
            << "the flash holds the image's components and nothing else";
    }
    EXPECT_EQ(c.version, flash_version(c.adapter));
    EXPECT_EQ(before, active_version(c.adapter)) << "active only after a reboot";
    std::vector<std::string> done;
    ASSERT_TRUE(hlvdsim::reboot_adapters(host().root(), c.adapter, &done, nullptr));
    EXPECT_EQ(c.version, active_version(c.adapter));
}

INSTANTIATE_TEST_SUITE_P(Generations, EveryGeneration,
                         ::testing::Values(GenerationCase{"aw2", 2, "4.2.500.1", {}},
                                           GenerationCase{"aw3", 3, "10.2.400.1", {99}}, // no 10GBASE-T PHY
                                           GenerationCase{"trelmont", 4, "11.2.100.7", {}},
                                           GenerationCase{"varrow", 0, "11.4.300.2", {}}),
                         [](const ::testing::TestParamInfo<GenerationCase> &i) { return std::string(i.param.adapter); });

TEST_F(Upgrade, TrelmontComponentsTheAdapterHoldsAreNotWrittenAgain)
{
    std::string file = make_ufi(trelmont_spec("11.2.100.7"), "t.ufi");
    ASSERT_EQ(VEXO_STATUS_REBOOT_REQUIRED, upgrade("trelmont", file).status);
    clear_log();
    Outcome o = upgrade("trelmont", file);
    EXPECT_EQ(0, o.result);
    EXPECT_EQ(VEXO_STATUS_REBOOT_REQUIRED, o.status);
    std::vector<json> log = fw_log();
    EXPECT_TRUE(writes(log).empty()) << "no write command";
    std::vector<json> backs = read_backs(log);
    ASSERT_EQ(3u, backs.size());
    // Offset method: each read-back addresses the component's last 4 bytes.
    const uint32_t offsets[] = {0x1000 + 0x4000 - 4, 0x5000 + 0x2000 - 4, 0x7000 + 0x2000 - 4};
    for (size_t i = 0; i < backs.size(); ++i) {
        Chunk c = chunk_of(backs[i]);
        EXPECT_EQ(4u, c.op_code);
        EXPECT_EQ(7u, c.op_type);
        EXPECT_EQ(4u, c.size);
        EXPECT_EQ(offsets[i], c.offset);
    }

    // One changed component is written alone.
    std::vector<uint8_t> other = read_bytes(make_ufi(trelmont_spec("11.2.100.8"), "t2.ufi"));
    std::vector<uint8_t> mixed = read_bytes(file);
    const uint32_t H = 128 + 48;
    std::memcpy(&mixed[H + 0x5000], &other[H + 0x5000], 0x2000); // the redboot component
    hlvdtest::write_file(path("mixed.ufi"), std::string(mixed.begin(), mixed.end()));
    clear_log();
    EXPECT_EQ(VEXO_STATUS_REBOOT_REQUIRED, upgrade("trelmont", path("mixed.ufi")).status);
    std::vector<json> w = writes(fw_log());
    ASSERT_EQ(1u, w.size());
    EXPECT_EQ(0x5000u, chunk_of(w[0]).offset);
}

struct Release {
    const char *active;
    bool region;
    const char *name;
};

void PrintTo(const Release &r, std::ostream *os)
{
    *os << '"' << r.active << '"';
}

class TrelmontMethod : public FlashTest, public ::testing::WithParamInterface<Release>
{
};

// The region method belongs to the 10.0 releases only, wherever else "10.0"
// may appear in a version text.
TEST_P(TrelmontMethod, WritesAndReadBacksFollowTheActiveRelease)
{
    const char *active = GetParam().active;
    const bool region = GetParam().region;
    set_active("trelmont", active);
    std::string file = make_ufi(trelmont_spec("11.2.100.7"), "t.ufi");
    Outcome o = upgrade("trelmont", file);
    EXPECT_EQ(VEXO_STATUS_REBOOT_REQUIRED, o.status);
    EXPECT_TRUE(flash("trelmont") == expected_flash(read_bytes(file), 4, !region));
    std::vector<json> log = fw_log();
    std::vector<Chunk> w = chunks(writes(log));
    std::vector<Chunk> r = chunks(read_backs(log));
    ASSERT_EQ(3u, w.size());
    ASSERT_EQ(3u, r.size());
    const uint32_t op_types[] = {0, 1, 2};
    const uint32_t offsets[] = {0x1000, 0x5000, 0x7000};
    const uint32_t sizes[] = {0x4000, 0x2000, 0x2000};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(region ? op_types[i] : 7u, w[i].op_type);
        EXPECT_EQ(region ? 0u : offsets[i], w[i].offset);
        EXPECT_EQ(region ? op_types[i] : 7u, r[i].op_type);
        EXPECT_EQ(region ? sizes[i] - 4 : offsets[i] + sizes[i] - 4, r[i].offset);
    }
}

INSTANTIATE_TEST_SUITE_P(Releases, TrelmontMethod,
                         ::testing::Values(Release{"10.0.803.37", true, "Release10_0"},
                                           Release{"11.10.0.5", false, "TenZeroLaterInTheText"},
                                           Release{"10.2.370.15", false, "Release10_2"},
                                           Release{"110.0.1.2", false, "Release110_0"},
                                           Release{"", false, "Unreadable"}),
                         [](const ::testing::TestParamInfo<Release> &i) { return std::string(i.param.name); });

TEST_F(Upgrade, TrelmontAnswersReachTheLastStatus)
{
    struct Case {
        const char *what;
        int opcode, status, additional, from;
        int result, last;
        size_t written; // write commands sent
    } cases[] = {
        {"read-back asks for a second download", 6, 3, 0, 1, 318, 318, 0},
        {"read-back status 2 likewise", 6, 2, 0, 2, 318, 318, 1},
        {"other read-back failures write the component", 6, 1, 0, 1, 0, 55, 3},
        {"write status 3", 7, 3, 0, 2, 318, 318, 2},
        {"invalid signature", 7, 23, 86, 1, 336, 336, 1},
        {"signature missing", 7, 23, 87, 1, 337, 337, 1},
        {"any other write failure", 7, 2, 0, 3, 1, 166, 3},
    };
    std::string file = make_ufi(trelmont_spec("11.2.100.7"), "t.ufi");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        hlvdsim::fault_clear(host().root());
        plan_status(c.opcode, c.status, c.additional, c.from);
        // A fresh flash each time, so every component differs.
        ASSERT_TRUE(hlvdsim::flash_program(host().root(), "trelmont", 0, std::vector<uint8_t>(0x10000, 0)));
        clear_log();
        Outcome o = upgrade("trelmont", file);
        EXPECT_EQ(c.result, o.result);
        EXPECT_EQ(c.last, o.status);
        EXPECT_EQ(c.written, writes(fw_log()).size());
    }
}

TEST_F(Upgrade, TrelmontFirmwareThatNeedsTwoDownloads)
{
    {
        hlvdsim::StateLock lock(host().root());
        hlvdsim::Machine m;
        ASSERT_TRUE(hlvdsim::load_machine(host().root(), m, nullptr));
        m.doc["adapters"][2]["flash_options"]["dual_reboot"] = true;
        ASSERT_TRUE(hlvdsim::save_machine(host().root(), m, nullptr));
    }
    std::string file = make_ufi(trelmont_spec("11.2.100.7"), "t.ufi");
    Outcome o = upgrade("trelmont", file);
    EXPECT_EQ(318, o.result);
    EXPECT_EQ(VEXO_STATUS_INT_REBOOT_REQ, o.status);
    EXPECT_TRUE(writes(fw_log()).empty());
    ASSERT_TRUE(hlvdsim::reboot_adapters(host().root(), "trelmont", nullptr, nullptr));
    o = upgrade("trelmont", file);
    EXPECT_EQ(0, o.result);
    EXPECT_EQ(VEXO_STATUS_REBOOT_REQUIRED, o.status);
}

TEST_F(Upgrade, TrelmontRefusesComponentsWhoseSignatureDoesNotHold)
{
    std::vector<uint8_t> image = read_bytes(make_ufi(trelmont_spec("11.2.100.7"), "t.ufi"));
    const uint32_t H = 128 + 48;
    struct Case {
        const char *what;
        uint32_t at; // byte of the second component changed
        int status;
    } cases[] = {
        {"a byte of the body", H + 0x5000 + 0x100, VEXO_STATUS_INVALID_DIGITAL_SIGNATURE},
        {"the stamp", H + 0x5000, VEXO_STATUS_DIGITAL_SIGNATURE_MISSING},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> bad = image;
        bad[c.at] ^= 0x5A;
        hlvdtest::write_file(path("bad.ufi"), std::string(bad.begin(), bad.end()));
        ASSERT_TRUE(hlvdsim::flash_program(host().root(), "trelmont", 0, std::vector<uint8_t>(0x10000, 0)));
        Outcome o = upgrade("trelmont", path("bad.ufi"));
        EXPECT_EQ(c.status, o.result);
        EXPECT_EQ(c.status, o.status);
        std::vector<uint8_t> f = flash("trelmont");
        EXPECT_TRUE(std::equal(f.begin() + 0x1000, f.begin() + 0x5000, image.begin() + H + 0x1000))
            << "the component before stays written";
        EXPECT_TRUE(std::all_of(f.begin() + 0x5000, f.begin() + 0x7000, [](uint8_t b) { return b == 0; }))
            << "the refused one is not written";
    }
}

TEST_F(Upgrade, PowerLossDuringAWriteIsAFailureAndLeavesAnErasedRegion)
{
    std::string file = make_ufi(aw3_spec("10.2.400.1"), "a.ufi");
    const std::string on_flash = flash_version("aw3");
    hlvdsim::FaultSpec f;
    f.subsystem = 1;
    f.opcode = 7;
    f.kind = "power-loss";
    f.length = 1000;
    f.from = 64; // the last chunk of the first (2 MiB) component
    plan(f);
    Outcome o = upgrade("aw3", file);
    EXPECT_NE(0, o.result);
    EXPECT_EQ(VEXO_STATUS_FAILED_FLASH, o.status);
    std::vector<uint8_t> image = read_bytes(file);
    std::vector<uint8_t> fl = flash("aw3");
    const uint32_t H = 128 + 48, at = 0x200000;
    EXPECT_TRUE(std::equal(fl.begin() + at, fl.begin() + at + 1000, image.begin() + H + at));
    EXPECT_TRUE(std::all_of(fl.begin() + at + 1000, fl.begin() + at + 0x200000, [](uint8_t b) { return b == 0xFF; }));
    EXPECT_EQ(on_flash, flash_version("aw3")) << "an interrupted write changes no version";
    // The adapter answers again afterwards.
    EXPECT_EQ(VEXO_STATUS_REBOOT_REQUIRED, upgrade("aw3", file).status);
    EXPECT_TRUE(flash("aw3") == expected_flash(image, 3, false, {99}));
}

TEST_F(Upgrade, Aw2RedbootIsRewrittenOnlyWhenItsCrcDiffers)
{
    std::string file = make_ufi(hlvdsim::default_ufi_spec(2, "4.2.500.1"), "a2.ufi");
    std::vector<uint8_t> image = read_bytes(file);
    // The adapter already holds this redboot.
    ASSERT_TRUE(hlvdsim::flash_program(host().root(), "aw2", 0,
                                       std::vector<uint8_t>(image.begin() + 96, image.begin() + 96 + 0x40000)));
    ASSERT_EQ(VEXO_STATUS_REBOOT_REQUIRED, upgrade("aw2", file).status);
    std::vector<json> log = fw_log();
    std::vector<json> backs = read_backs(log);
    ASSERT_EQ(1u, backs.size());
    EXPECT_EQ(1u, chunk_of(backs[0]).op_type);
    EXPECT_EQ(0x3FFFCu, chunk_of(backs[0]).offset);
    for (const json &w : writes(log))
        EXPECT_NE(1u, chunk_of(w).op_type) << "redboot skipped";
    // Four regions of 0x140000 bytes and three of 0x40000, in chunks.
    EXPECT_EQ(4u * 40 + 3u * 8, writes(log).size());
    EXPECT_TRUE(flash("aw2") == expected_flash(image, 2, false));

    // A different redboot on the adapter is rewritten.
    ASSERT_TRUE(hlvdsim::flash_program(host().root(), "aw2", 0x3FFFC, {1, 2, 3, 4}));
    clear_log();
    hlvdsim::FaultSpec stop;
    stop.subsystem = 1;
    stop.opcode = 7;
    stop.kind = "status";
    stop.status = 2;
    stop.from = 4 * 40 + 1; // the first chunk after the four firmware regions
    plan(stop);
    EXPECT_EQ(VEXO_STATUS_FAILED_FLASH, upgrade("aw2", file).status);
    std::vector<json> w = writes(fw_log());
    ASSERT_EQ(4u * 40 + 1, w.size());
    EXPECT_EQ(1u, chunk_of(w.back()).op_type);
}

TEST_F(Upgrade, RefusedFiles)
{
    hlvdsim::UfiSpec no_cookie = aw3_spec("10.2.400.1");
    no_cookie.faults = hlvdsim::UFI_FAULT_NO_COOKIE;
    hlvdsim::UfiSpec bad_sig = trelmont_spec("11.2.100.7");
    bad_sig.faults = hlvdsim::UFI_FAULT_BAD_SIGNATURE;
    hlvdsim::UfiSpec wrong_digit = trelmont_spec("11.2.100.7");
    wrong_digit.digit = '7';
    hlvdsim::UfiSpec compact = hlvdsim::default_ufi_spec(2, "4.2.500.1");
    compact.compact = true;
    hlvdsim::UfiSpec aw3_on_trelmont = aw3_spec("10.2.400.1");
    struct Case {
        const char *what;
        const char *adapter;
        std::string file;
        int status;
    } cases[] = {
        {"no such file", "trelmont", path("missing.ufi"), VEXO_STATUS_FILE_NOT_FOUND},
        {"an AW3 image on Trelmont", "trelmont", make_ufi(aw3_on_trelmont, "aw3.ufi"), VEXO_STATUS_INVALID_FLASH},
        {"a Trelmont image on AW2", "aw2", make_ufi(trelmont_spec("11.2.100.7"), "trl.ufi"), VEXO_STATUS_INVALID_FLASH},
        {"no signature", "trelmont", make_ufi(bad_sig, "sig.ufi"), VEXO_STATUS_INVALID_FLASH},
        {"an unknown generation digit", "trelmont", make_ufi(wrong_digit, "digit.ufi"), VEXO_STATUS_INVALID_FLASH},
        {"no directory", "aw3", make_ufi(no_cookie, "nodir.ufi"), VEXO_STATUS_FAILED_FLASH},
        {"an AW2 file without its regions", "aw2", make_ufi(compact, "compact.ufi"), VEXO_STATUS_FAILED_FLASH},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        clear_log();
        Outcome o = upgrade(c.adapter, c.file);
        EXPECT_EQ(1, o.result);
        EXPECT_EQ(c.status, o.status);
        EXPECT_TRUE(writes(fw_log()).empty());
    }
}

TEST_F(Upgrade, TrelmontEntriesOutsideTheFileOrTheFlashAreRefused)
{
    hlvdsim::UfiSpec s = trelmont_spec("11.2.100.7");
    s.faults = hlvdsim::UFI_FAULT_BAD_ENTRIES;
    std::string file = make_ufi(s, "bad.ufi");
    Outcome o = upgrade("trelmont", file);
    EXPECT_EQ(1, o.result);
    EXPECT_EQ(VEXO_STATUS_FAILED_FLASH, o.status);
    std::vector<json> w = writes(fw_log());
    EXPECT_EQ(3u, w.size()) << "the sound entries before the bad one";
    for (const json &e : w)
        EXPECT_LE(chunk_of(e).offset + chunk_of(e).size, 0x9000u);
}

TEST_F(Upgrade, AnImageWithoutImageOneWritesNothing)
{
    hlvdsim::UfiSpec s = trelmont_spec("11.2.100.7");
    s.image_ids = {2, 3};
    Outcome o = upgrade("trelmont", make_ufi(s, "t.ufi"));
    EXPECT_EQ(0, o.result);
    EXPECT_EQ(VEXO_STATUS_REBOOT_REQUIRED, o.status);
    EXPECT_TRUE(fw_log().size() == 1u) << "only the configuration query";
}

TEST_F(Upgrade, AdapterWithoutFunctionsOrInAVirtualFunction)
{
    node *empty = initialize_Arcwright(get_node(0), nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, empty);
    char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE] = {};
    std::snprintf(params[0], sizeof params[0], "%s", path("x.ufi").c_str());
    node *act = internal_get_node(empty, "UpgradeFlashROM", VEXO_NODE_ACTION);
    ASSERT_NE(nullptr, act);
    EXPECT_EQ(1, VEXO_do_action(empty->node_tag, act->node_tag, params, nullptr));
    VEXO_status_t code = VEXO_STATUS_SUCCESS;
    char text[VEXO_LAST_STATUS_SIZE];
    VEXO_get_last_status(&code, text);
    EXPECT_NE(VEXO_STATUS_SUCCESS, code) << "a failure leaves a failing status";

    node *nic = get_first_instance(adapter("trelmont"), "NICPhysicalHBA");
    ASSERT_NE(nullptr, nic);
    set_prop_val(nic, "IsVF", "True");
    Outcome o = upgrade("trelmont", make_ufi(trelmont_spec("11.2.100.7"), "t.ufi"));
    set_prop_val(nic, "IsVF", "False");
    EXPECT_EQ(1, o.result);
    EXPECT_EQ(VEXO_STATUS_FLASH_ON_VM, o.status);
    EXPECT_TRUE(fw_log().empty());
}

} // namespace
