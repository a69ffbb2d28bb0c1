// A grouped image (".grp") flashed onto a simulated Varrow FC function
// through the download entry and the front end's download glue: what is
// written, how the adapter's answer becomes the engine's and the host's
// result, and when the new firmware runs.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fc_fixture.h"
#include "flash/flash_adapter.h"
#include "hba/download_entry.h"
#include "hba/mbox_commands.h"
#include "hba/sli4_objects.h"
#include "sim/flash_model.h"
#include "sim/grp_generator.h"
#include "support/sim_host.h"

namespace {

using fctest::FcHost;
using fctest::json;

const char *const kOldVersion = "11.4.204.20";
const char *const kNewVersion = "11.4.300.5";

// A Varrow FC HBA at bus 0x20 (device 0xE200) and a gen-6 one at 0x30
// (0xE300); `fc` goes into the first one's function state.
std::string machine(const json &fc = json())
{
    json varrow = fctest::varrow_fc_hba("varrow", 0x20);
    if (!fc.is_null())
        varrow["functions"][0]["fc"] = fc;
    json gen6 = fctest::fc_hba("gen6", 0x30, 1, 0xE300, "SLI4");
    gen6["firmware"] = varrow["firmware"];
    return fctest::machine({varrow, gen6});
}

std::string grp(const FcHost &host, const std::string &name, uint32_t size, bool gen6 = false, unsigned faults = 0)
{
    hlvdsim::GrpRecipe recipe;
    recipe.version = kNewVersion;
    recipe.gen6 = gen6;
    recipe.size = size;
    recipe.faults = faults;
    std::string path = host.root() + "/" + name;
    std::string err;
    EXPECT_TRUE(hlvdsim::write_grp(recipe, path, &err)) << err;
    return path;
}

std::vector<json> object_writes(const FcHost &host)
{
    std::vector<json> out;
    for (const json &e : host.calls("IssueMboxWithRetryV2"))
        if (e.value("mbox", -1) == 0x9B && e.value("opcode", -1) == OPCODE_COMMON_WRITE_OBJECT)
            out.push_back(e);
    return out;
}

// The firmware name the function's revision read reports.
std::string running(int board)
{
    uint8_t mbox[384];
    if (ReadRev4(board, mbox) != 0)
        return "?";
    char name[17] = {};
    std::memcpy(name, mbox + 36, 16);
    return name;
}

std::vector<uint8_t> firmware_object(int board)
{
    std::vector<uint8_t> out(4096, 0);
    uint32_t got = 0;
    EXPECT_EQ(0, SLI_CFG_ReadObject(board, FIRMWARE_OBJECT_NAME, out.data(), 4096, &got));
    out.resize(got);
    return out;
}

TEST(GroupedFlash, WrittenWholeAsTheFirmwareObject)
{
    FcHost host(machine());
    int varrow = host.board(0x20);
    std::string path = grp(host, "fw.grp", 1028);
    host.clear_log();
    EXPECT_EQ(0, executeDownload(varrow, path.c_str()));
    EXPECT_EQ(RESET_REQUIRED, WIN_Error) << "the entry's result";

    std::vector<json> writes = object_writes(host);
    ASSERT_EQ(2u, writes.size());
    EXPECT_EQ(1024, writes[0].value("bytes", -1));
    EXPECT_FALSE(writes[0].value("eof", true));
    EXPECT_EQ(1024, writes[1].value("offset", -1));
    EXPECT_EQ(4, writes[1].value("bytes", -1));
    EXPECT_TRUE(writes[1].value("eof", false));
    for (const json &w : writes)
        EXPECT_FALSE(w.value("noc", true)) << "the firmware is written to be activated";

    std::string file = hlvdtest::read_file(path);
    std::vector<uint8_t> prg = firmware_object(varrow);
    EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.end()), prg);
}

TEST(GroupedFlash, AdapterAnswersThroughEntryAndGlue)
{
    struct Case {
        const char *what;
        json fc;      // the function's state
        json fault;   // planned on the object write, null: none
        int entry;    // WIN_Error: the entry's result
        int exported; // executeDownload
        bool runsAtOnce, runsAfterReboot;
    } cases[] = {
        {"no change needed", {{"change_status", 0}}, json(), 0, 0, true, true},
        {"reset kind 3", json(), json(), 14, 0, true, true},
        {"change status 3", {{"change_status", 3}}, json(), 14, 0, true, true},
        {"reboot", {{"change_status", 1}}, json(), 80, 1, false, true},
        // Taken onto flash, but the adapter does not say how it starts.
        {"unknown change", {{"change_status", 9}}, json(), 7, 10012, false, true},
        {"invalid signature", json(), {{"status", 0x17}, {"additional_status", 0x56}}, 90, 10016, false, false},
        {"missing signature", json(), {{"status", 0x17}, {"additional_status", 0x57}}, 89, 10015, false, false},
        {"other refusal", json(), {{"status", 1}, {"additional_status", 0xA0}}, 7, 10012, false, false},
    };
    for (const Case &c : cases) {
        FcHost host(machine(c.fc));
        int varrow = host.board(0x20);
        std::string path = grp(host, "fw.grp", 2048);
        if (!c.fault.is_null()) {
            json f = c.fault;
            f["match"] = {{"board", varrow}, {"mbox", 0x9B}, {"opcode", OPCODE_COMMON_WRITE_OBJECT}};
            f["kind"] = "kpl";
            host.plan(f);
        }
        ASSERT_EQ(kOldVersion, running(varrow)) << c.what;
        host.clear_log();
        EXPECT_EQ(c.exported, executeDownload(varrow, path.c_str())) << c.what;
        EXPECT_EQ(c.entry, WIN_Error) << c.what;
        std::vector<json> resets = host.calls("ResetAdapter");
        if (c.entry == RESET_REQUIRED) {
            ASSERT_EQ(1u, resets.size()) << c.what;
            EXPECT_EQ(json::array({3}), resets[0]["args"]) << c.what;
        } else {
            EXPECT_TRUE(resets.empty()) << c.what;
        }
        EXPECT_EQ(c.runsAtOnce ? kNewVersion : kOldVersion, running(varrow)) << c.what;
        std::string err;
        ASSERT_TRUE(hlvdsim::reboot_adapters(host.root(), "varrow", nullptr, &err)) << err;
        EXPECT_EQ(c.runsAfterReboot ? kNewVersion : kOldVersion, running(varrow)) << c.what;
    }
}

TEST(GroupedFlash, ImagesRefusedBeforeAnyObjectCommand)
{
    FcHost host(machine());
    int varrow = host.board(0x20), gen6 = host.board(0x30);
    struct Case {
        const char *what;
        int board;
        std::string path;
        int entry;
    } cases[] = {
        {"139 bytes", varrow, grp(host, "short.grp", 1024, false, hlvdsim::GRP_FAULT_SHORT), 70},
        {"bad magic", varrow, grp(host, "magic.grp", 1024, false, hlvdsim::GRP_FAULT_BAD_MAGIC), 70},
        {"gen-6 image on a Varrow FC function", varrow, grp(host, "g6.grp", 1024, true), 70},
        {"plain image on a gen-6 function", gen6, grp(host, "plain.grp", 1024), 70},
        // The header checks, the write refuses the length: nothing is sent.
        {"length not a multiple of 4", varrow, grp(host, "odd.grp", 1024, false, hlvdsim::GRP_FAULT_ODD_LENGTH), 7},
    };
    for (const Case &c : cases) {
        host.clear_log();
        WIN_Error = -1;
        EXPECT_EQ(c.entry, UpdateEmbertipFirmwareWithFeedback(c.board, c.path.c_str(), nullptr, nullptr)) << c.what;
        EXPECT_EQ(c.entry, WIN_Error) << c.what;
        EXPECT_TRUE(host.calls("IssueMboxWithRetryV2").empty()) << c.what;
    }
    // The gen-6 function takes a gen-6 image.
    host.clear_log();
    EXPECT_EQ(0, executeDownload(gen6, grp(host, "g6ok.grp", 1024, true).c_str()));
    EXPECT_EQ(kNewVersion, running(gen6));
}

} // namespace
