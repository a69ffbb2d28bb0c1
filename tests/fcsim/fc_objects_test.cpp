// Objects of the simulated SLI-4 FC functions and the grouped images written
// into "/prg", through the diagnostics library stand-in as the engine sends
// them.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kpl.h"
#include "sim/command_log.h"
#include "sim/fault_plan.h"
#include "sim/fc_hba.h"
#include "sim/flash_model.h"
#include "sim/grp_generator.h"
#include "support/sim_host.h"

namespace {

using json = nlohmann::json;
using Bytes = std::vector<uint8_t>;

// Boards of the default machine: the Varrow FC adapter's two ports.
const int kVarrow = 2;
const char kOldVersion[] = "11.4.204.20";

uint32_t get32(const uint8_t *p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

void put32(uint8_t *p, uint32_t v)
{
    std::memcpy(p, &v, 4);
}

struct Reply {
    int result;
    uint8_t status, additional;
    uint32_t word16, word20;
    Bytes data;
};

// One object command: embedded request at 24, `room` bytes of data buffer
// behind the 256-byte mailbox (none: the plain 64-word mailbox).
Reply object_cmd(int board, uint8_t opcode, const std::string &name, uint32_t word16, uint32_t word20,
                 const Bytes &data = Bytes(), size_t room = 0)
{
    std::vector<uint8_t> buf(256 + room, 0);
    buf[1] = 0x9B;
    buf[4] = 1;
    put32(&buf[8], 232);
    uint8_t *req = &buf[24];
    req[0] = opcode;
    req[1] = 1;
    put32(req + 8, opcode == 0xAE ? 112 : 128);
    put32(req + 16, word16);
    put32(req + 20, word20);
    std::memcpy(req + 24, name.data(), name.size());
    if (room) {
        put32(req + 128, 1);
        put32(req + 132, static_cast<uint32_t>(room));
        if (!data.empty())
            std::memcpy(&buf[256], data.data(), data.size());
    }
    Reply r;
    r.result = KPL_IssueMboxWithRetryV2(board, buf.data(), static_cast<int>(buf.size() / 4), 1, 300000);
    r.status = req[4];
    r.additional = req[5];
    r.word16 = get32(req + 16);
    r.word20 = get32(req + 20);
    r.data.assign(buf.begin() + 256, buf.end());
    return r;
}

// Writes `file` in 1024-byte chunks, eof on the last; the last reply.
Reply write_object(int board, const std::string &name, const Bytes &file)
{
    Reply r{};
    for (size_t off = 0; off < file.size(); off += 1024) {
        size_t n = std::min<size_t>(1024, file.size() - off);
        bool eof = off + n >= file.size();
        Bytes chunk(file.begin() + static_cast<long>(off), file.begin() + static_cast<long>(off + n));
        r = object_cmd(board, 0xAC, name, static_cast<uint32_t>(n) | (eof ? 0x80000000u : 0),
                       static_cast<uint32_t>(off), chunk, 1024);
        if (r.result != 0 || r.status != 0)
            break;
    }
    return r;
}

// Reads a whole object the way the engine does: size query, then chunks.
bool read_object(int board, const std::string &name, Bytes &out)
{
    Reply size = object_cmd(board, 0xAB, name, 0, 0);
    if (size.result != 0 || size.status != 0)
        return false;
    out.clear();
    while (out.size() < size.word16) {
        uint32_t want = std::min<uint32_t>(1024, size.word16 - static_cast<uint32_t>(out.size()));
        Reply r = object_cmd(board, 0xAB, name, want, static_cast<uint32_t>(out.size()), Bytes(), 1024);
        if (r.result != 0 || r.status != 0 || r.word16 == 0 || r.word16 > want)
            return false;
        out.insert(out.end(), r.data.begin(), r.data.begin() + r.word16);
        if (r.word20 & 0x80000000u)
            break;
    }
    return out.size() == size.word16;
}

std::string running_version(int board)
{
    uint8_t mbox[384] = {};
    mbox[1] = 0x11;
    if (KPL_IssueMboxWithRetryV2(board, mbox, 64, 1, 100) != 0)
        return "?";
    return std::string(reinterpret_cast<const char *>(mbox + 36), strnlen(reinterpret_cast<const char *>(mbox + 36), 16));
}

Bytes grp(const std::string &version, uint32_t size, unsigned faults = 0, bool gen6 = false)
{
    hlvdsim::GrpRecipe g;
    g.version = version;
    g.size = size;
    g.faults = faults;
    g.gen6 = gen6;
    Bytes out;
    std::string err;
    EXPECT_TRUE(hlvdsim::build_grp(g, out, &err)) << err;
    return out;
}

json machine_with(const json &fc)
{
    json doc = json::parse(hlvdtest::read_file(hlvdtest::source_path("sim/machines/default.json")));
    for (json &a : doc["adapters"])
        if (a["name"] == "fc-sli4")
            for (auto it = fc.begin(); it != fc.end(); ++it)
                a["functions"][0]["fc"][it.key()] = it.value();
    return doc;
}

// The change status decides when the grouped image's build version runs:
// at once, after the reboot, or after a reset of kind 3.
TEST(FcObjects, GroupedImageRunsAsTheChangeStatusSays)
{
    struct Case {
        const char *what;
        json change; // null: the adapter's own choice
        uint8_t answered;
        bool at_once, at_reset1, at_reset3, at_reboot;
    } cases[] = {
        {"own choice", nullptr, 2, false, false, true, true},
        {"0", 0, 0, true, true, true, true},
        {"1 reboot", 1, 1, false, false, false, true},
        {"2 reset", 2, 2, false, false, true, true},
        {"3 reset", 3, 3, false, false, true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        hlvdtest::SimHost host(c.change.is_null() ? std::string() : machine_with({{"change_status", c.change}}).dump());
        Bytes file = grp("11.4.250.7", 1028 + 1024);
        Reply r = write_object(kVarrow, "/prg", file);
        ASSERT_EQ(0, r.result);
        ASSERT_EQ(0, r.status);
        EXPECT_EQ(c.answered, r.word20 & 0xFF);
        Bytes stored;
        ASSERT_TRUE(hlvdsim::fc_object_bytes(host.root(), kVarrow, "/prg", stored));
        EXPECT_EQ(file, stored);

        auto expect = [](bool now_new) { return std::string(now_new ? "11.4.250.7" : kOldVersion); };
        EXPECT_EQ(expect(c.at_once), running_version(kVarrow));
        ASSERT_EQ(0, KPL_ResetAdapter(kVarrow, 1));
        EXPECT_EQ(expect(c.at_reset1), running_version(kVarrow));
        ASSERT_EQ(0, KPL_ResetAdapter(kVarrow, 3));
        EXPECT_EQ(expect(c.at_reset3), running_version(kVarrow));
        EXPECT_EQ(expect(c.at_reset3), running_version(kVarrow + 1)) << "the adapter's other port";
        ASSERT_TRUE(hlvdsim::reboot_adapters(host.root(), "fc-sli4", nullptr, nullptr));
        EXPECT_EQ(expect(c.at_reboot), running_version(kVarrow));
    }
}

// What the adapter refuses leaves "/prg" and the firmware as they were.
TEST(FcObjects, RefusedImagesChangeNothing)
{
    struct Case {
        const char *what;
        json machine;
        unsigned faults;
        bool gen6;
        json fault; // planned
        uint8_t status, additional;
    } cases[] = {
        {"bad magic", nullptr, hlvdsim::GRP_FAULT_BAD_MAGIC, false, nullptr, 1, hlvdsim::FC_OBJ_ADDL_BAD_IMAGE},
        {"bad signature", nullptr, hlvdsim::GRP_FAULT_BAD_SIGNATURE, false, nullptr, 1,
         hlvdsim::FC_OBJ_ADDL_BAD_IMAGE},
        {"gen-6 image on a gen-5 adapter", nullptr, 0, true, nullptr, 1, hlvdsim::FC_OBJ_ADDL_BAD_IMAGE},
        {"invalid digital signature", nullptr, 0, false,
         {{"match", {{"opcode", 0xAC}, {"eof", true}}}, {"kind", "kpl"}, {"status", 0x17}, {"additional_status", 0x56}},
         0x17, 0x56},
        {"missing digital signature", nullptr, 0, false,
         {{"match", {{"opcode", 0xAC}, {"eof", 1}}}, {"kind", "kpl"}, {"status", 0x17}, {"additional_status", 0x57}},
         0x17, 0x57},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        hlvdtest::SimHost host;
        if (!c.fault.is_null()) {
            std::string err;
            ASSERT_GT(hlvdsim::fault_add_json(host.root(), c.fault, &err), 0) << err;
        }
        Reply r = write_object(kVarrow, "/prg", grp("11.4.250.7", 4096, c.faults, c.gen6));
        EXPECT_NE(0, r.result);
        EXPECT_EQ(c.status, r.status);
        EXPECT_EQ(c.additional, r.additional);
        Bytes stored;
        EXPECT_FALSE(hlvdsim::fc_object_bytes(host.root(), kVarrow, "/prg", stored));
        ASSERT_EQ(0, KPL_ResetAdapter(kVarrow, 3));
        ASSERT_TRUE(hlvdsim::reboot_adapters(host.root(), "fc-sli4", nullptr, nullptr));
        EXPECT_EQ(kOldVersion, running_version(kVarrow));
    }
}

// A gen-6 function takes only gen-6 images.
TEST(FcObjects, GenSixFunctionTakesGenSixImages)
{
    json doc = machine_with({{"change_status", 0}});
    for (json &a : doc["adapters"])
        if (a["name"] == "fc-sli4")
            for (json &f : a["functions"])
                f["device_id"] = "0xE300";
    hlvdtest::SimHost host(doc.dump());
    Reply bad = write_object(kVarrow, "/prg", grp("12.0.1.1", 2048));
    EXPECT_EQ(hlvdsim::FC_OBJ_ADDL_BAD_IMAGE, bad.additional);
    Reply good = write_object(kVarrow, "/prg", grp("12.0.1.1", 2048, 0, true));
    EXPECT_EQ(0, good.status);
    EXPECT_EQ("12.0.1.1", running_version(kVarrow));
}

// Size, chunks, listing and delete of the VPD object, and a chunk out of
// order.
TEST(FcObjects, VpdObjectSizeReadListDelete)
{
    hlvdtest::SimHost host;
    Bytes obj;
    ASSERT_TRUE(read_object(kVarrow, "/vpd/fc_pf.vpd", obj));
    ASSERT_GT(obj.size(), 144u);
    uint8_t region[1024] = {};
    uint32_t count = sizeof region;
    ASSERT_EQ(0, KPL_IssueDumpMBox(kVarrow, 2, 0, 14, 0, region, &count));
    ASSERT_EQ(obj.size() - 144, count) << "140-byte head, the VPD, 4-byte tail";
    EXPECT_EQ(0, std::memcmp(obj.data() + 140, region, count));

    // A bigger object comes in 1024-byte chunks.
    Bytes big(3000);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<uint8_t>(i * 7);
    ASSERT_EQ(0, write_object(kVarrow, "/vpd/extra.bin", big).status);
    ASSERT_TRUE(read_object(kVarrow, "/vpd/extra.bin", obj));
    EXPECT_EQ(big, obj);

    Reply n = object_cmd(kVarrow, 0xAD, "/vpd", 0, 0);
    ASSERT_EQ(0, n.result);
    EXPECT_EQ(2u, n.word16 & 0xFFFF);
    std::vector<std::string> names;
    for (uint32_t i = 0; i < 2; ++i) {
        Reply e = object_cmd(kVarrow, 0xAD, "/vpd", 1u | i << 16, 0, Bytes(), 160);
        ASSERT_EQ(0, e.result);
        ASSERT_EQ(1u, e.word16 & 0xFFFF);
        names.push_back(reinterpret_cast<const char *>(e.data.data()));
    }
    EXPECT_EQ((std::vector<std::string>{"/vpd/extra.bin", "/vpd/fc_pf.vpd"}), names);
    EXPECT_EQ(0u, object_cmd(kVarrow, 0xAD, "/vpd", 1u | 2u << 16, 0, Bytes(), 160).word16 & 0xFFFF);

    ASSERT_EQ(0, object_cmd(kVarrow, 0xAE, "/vpd/extra.bin", 0, 0).result);
    Reply gone = object_cmd(kVarrow, 0xAB, "/vpd/extra.bin", 0, 0);
    EXPECT_NE(0, gone.result);
    EXPECT_EQ(hlvdsim::FC_OBJ_ADDL_NO_OBJECT, gone.additional);
    EXPECT_NE(0, object_cmd(kVarrow, 0xAE, "/vpd/extra.bin", 0, 0).result);

    // A chunk that does not follow the bytes written is refused.
    Bytes chunk(1024, 1);
    ASSERT_EQ(0, object_cmd(kVarrow, 0xAC, "/x", 1024, 0, chunk, 1024).result);
    EXPECT_NE(0, object_cmd(kVarrow, 0xAC, "/x", 1024 | 0x80000000u, 2048, chunk, 1024).result);
    // A planned short reply brings no data.
    std::string err;
    ASSERT_GT(hlvdsim::fault_add_json(host.root(),
                                      {{"match", {{"opcode", 0xAB}}}, {"kind", "kpl-short"}, {"length", 0}}, &err),
              0);
    Reply empty = object_cmd(kVarrow, 0xAB, "/vpd/fc_pf.vpd", 1024, 0, Bytes(), 1024);
    EXPECT_EQ(0, empty.result);
    EXPECT_EQ(0u, empty.word16);
}

// A machine description gives a function's objects.
TEST(FcObjects, MachineGivesObjects)
{
    hlvdtest::SimHost host(machine_with({{"objects", {{"/vpd/fc_pf.vpd", "00112233"}}}}).dump());
    Reply size = object_cmd(kVarrow, 0xAB, "/vpd/fc_pf.vpd", 0, 0);
    ASSERT_EQ(0, size.result);
    EXPECT_EQ(4u, size.word16);
    Bytes none;
    EXPECT_FALSE(hlvdsim::fc_object_bytes(host.root(), kVarrow + 1, "/prg", none));
}

TEST(FcObjects, GeneratorMakesTheHeaderTheAdapterChecks)
{
    struct Case {
        const char *fault;
        bool gen6;
        size_t size;
        bool accepted_gen5, accepted_gen6;
    } cases[] = {
        {nullptr, false, 4096, true, false},
        {nullptr, true, 4096, false, true},
        {"short", false, 139, false, false},
        {"bad-magic", false, 4096, false, false},
        {"bad-signature", true, 4096, false, false},
        {"odd-length", false, 4097, true, false},
    };
    std::string dir = hlvdtest::make_temp_dir();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.fault ? c.fault : "none");
        std::vector<std::string> args = {"--version", "11.4.250.7", "--size", "4096", "-o", dir + "/img.grp"};
        if (c.gen6)
            args.push_back("--gen6");
        if (c.fault) {
            args.push_back("--fault");
            args.push_back(c.fault);
        }
        hlvdsim::GrpRecipe recipe;
        std::string out, err;
        ASSERT_TRUE(hlvdsim::grp_recipe_from_args(args, recipe, out, &err)) << err;
        ASSERT_TRUE(hlvdsim::write_grp(recipe, out, &err)) << err;
        std::string bytes = hlvdtest::read_file(out);
        EXPECT_EQ(c.size, bytes.size());
        std::string version;
        const uint8_t *p = reinterpret_cast<const uint8_t *>(bytes.data());
        EXPECT_EQ(c.accepted_gen5, hlvdsim::read_grp_header(p, bytes.size(), false, &version));
        EXPECT_EQ(c.accepted_gen6, hlvdsim::read_grp_header(p, bytes.size(), true, &version));
        if (c.accepted_gen5 || c.accepted_gen6) {
            EXPECT_EQ("11.4.250.7", version);
        }
    }
    hlvdtest::remove_tree(dir);
}

} // namespace
