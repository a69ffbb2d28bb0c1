// Wakeup parameters: the slot of each image type, the UPDATE_CFG write and
// its failures, and the record built from an AIF image's PRGs; checked in
// region 4 of a simulated adapter and in the command log.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "adapters/adapter_table.h"
#include "fc_fixture.h"
#include "hba/adapter_family.h"
#include "hba/boot_images.h"
#include "hba/config_regions.h"
#include "hba/mbox_transport.h"
#include "hba/wakeup_parms.h"
#include "sim/fc_hba.h"

namespace {

using fctest::json;

WAKEUP_PARMS initial_record()
{
    WAKEUP_PARMS r;
    for (uint32_t i = 0; i < WAKEUP_PARMS_WORDS; ++i)
        r.words[i] = 0x100 + i;
    return r;
}

std::string hex_of(const void *p, size_t n)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        uint8_t b = static_cast<const uint8_t *>(p)[i];
        s += digits[b >> 4];
        s += digits[b & 0xF];
    }
    return s;
}

// An SLI-3 HBA whose region 4 holds initial_record(); `exp_rom` shapes its
// LOAD_EXP_ROM answers ({"start", "continues", "finishes"}).
std::string machine(const json &exp_rom = json())
{
    WAKEUP_PARMS r = initial_record();
    json hba = fctest::sli3_hba("a", 0x10);
    json fc = {{"jedec", 0},
               {"regions",
                {{"4", {{"data", hex_of(&r, sizeof r)}, {"recreate", false}}},
                 {"16", {{"data", "10000000c9a51000"}, {"recreate", false}}}}}};
    if (!exp_rom.is_null())
        fc["load_exp_rom"] = exp_rom;
    hba["functions"][0]["fc"] = fc;
    return fctest::machine({hba});
}

// The HBA reports JEDEC id 0; a test gives one to make the function a 2 MB
// family part (family 0xFE00).
void make_2mb_family(int board)
{
    gAdapters[board].jedecId = 0x577;
}

WAKEUP_PARMS adapter_record(int board)
{
    WAKEUP_PARMS r;
    std::memset(&r, 0xEE, sizeof r);
    EXPECT_EQ(0, ReadWakeupParms(board, reinterpret_cast<uint8_t *>(&r)));
    return r;
}

std::vector<uint32_t> words(const WAKEUP_PARMS &r)
{
    return std::vector<uint32_t>(r.words, r.words + WAKEUP_PARMS_WORDS);
}

std::vector<json> sent(const fctest::FcHost &host, int mbox)
{
    std::vector<json> out;
    for (const json &e : host.calls("IssueMboxWithRetry"))
        if (e.value("mbox", 0) == mbox)
            out.push_back(e);
    return out;
}

TEST(FcWakeup, SlotOfEachType)
{
    fctest::FcHost host(machine());
    ASSERT_TRUE(host.built());
    const int b = host.board(0x10);
    ASSERT_EQ(0, IsIt2MFamily(b));
    struct Case {
        uint32_t id0;
        int slot;        // -1: none
        bool temp_slot;  // the copy update fills it too
    } cases[] = {
        {0x02AA0001, 0, true},  {0x03AA0002, 3, true},  {0x06AA0003, 5, true},  {0x07AA0004, 7, true},
        {0x0BAA0005, 9, true},  {0x0EAA0006, 11, false}, {0x09AA0007, -1, false}, {0x00AA0008, -1, false},
    };
    WAKEUP_PARMS want = initial_record();
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.id0);
        const uint32_t id[2] = {c.id0, 0x55000000u | (c.id0 & 0xFF)};
        host.clear_log();
        DOWNLOAD_STATUS r = UpdateWakeupParms(b, id);
        if (c.slot < 0) {
            EXPECT_EQ(WAKEUP_SLOT_ERROR, r);
            EXPECT_TRUE(sent(host, MBX_UPDATE_CFG).empty());
            EXPECT_EQ(0, IsWakeupImage(b, id));
        } else {
            EXPECT_EQ(DOWNLOAD_OK, r);
            want.words[c.slot] = id[0];
            want.words[c.slot + 1] = id[1];
            auto writes = sent(host, MBX_UPDATE_CFG);
            ASSERT_EQ(1u, writes.size());
            EXPECT_EQ(CONFIG_REGION_WAKEUP, writes[0].value("region", 0));
            EXPECT_EQ(60, writes[0].value("length", 0));
            EXPECT_EQ(UPDATE_CFG_WRITE, writes[0].value("sub", 0));
            EXPECT_EQ(1, IsWakeupImage(b, id));
            const uint32_t other[2] = {id[0] ^ 1, id[1]};
            EXPECT_EQ(0, IsWakeupImage(b, other));
        }
        EXPECT_EQ(words(want), words(adapter_record(b)));

        WAKEUP_PARMS copy = initial_record(), copy_want = initial_record();
        if (c.temp_slot) {
            copy_want.words[c.slot] = id[0];
            copy_want.words[c.slot + 1] = id[1];
        }
        EXPECT_EQ(c.temp_slot ? DOWNLOAD_OK : WAKEUP_SLOT_ERROR, UpdateTempWakeupParms(b, id, &copy));
        EXPECT_EQ(words(copy_want), words(copy));
    }

    // Clearing the boot code leaves the expansion-ROM slot alone.
    ASSERT_EQ(0, DisableBootBios(b));
    want.words[3] = want.words[4] = 0;
    EXPECT_EQ(words(want), words(adapter_record(b)));

    // The whole record at once.
    WAKEUP_PARMS whole = initial_record();
    whole.words[14] = 0xABCD;
    ASSERT_EQ(DOWNLOAD_OK, UpdateAbsWakeupParms(b, &whole));
    EXPECT_EQ(words(whole), words(adapter_record(b)));
}

// A failed read or write reports its failure and leaves the record and the
// caller's buffer as they were.
TEST(FcWakeup, FailuresLeaveTheRecord)
{
    fctest::FcHost host(machine());
    ASSERT_TRUE(host.built());
    const int b = host.board(0x10);
    const uint32_t boot[2] = {0x03AA0001, 0};
    const WAKEUP_PARMS before = initial_record();

    // Region read refused, or fewer than 60 bytes.
    struct ReadCase {
        json fault;
        int want;
    } reads[] = {
        {{{"match", {{"board", b}, {"mbox", MBX_DUMP}, {"sub", 2}}}, {"kind", "kpl"}, {"mbox_status", 0x45},
          {"when", "always"}},
         0x45},
        {{{"match", {{"board", b}, {"mbox", MBX_DUMP}, {"sub", 2}}}, {"kind", "kpl-short"}, {"length", 56},
          {"when", "always"}},
         static_cast<int>(WAKEUP_PARMS_ERROR)},
    };
    for (const ReadCase &c : reads) {
        SCOPED_TRACE(c.fault.dump());
        host.plan(c.fault);
        uint8_t buf[60];
        std::memset(buf, 0x5A, sizeof buf);
        EXPECT_EQ(c.want, ReadWakeupParms(b, buf));
        EXPECT_EQ(std::vector<uint8_t>(60, 0x5A), std::vector<uint8_t>(buf, buf + 60));
        EXPECT_EQ(c.want, IsWakeupImage(b, boot));
        EXPECT_EQ(c.want, DisableBootBios(b));
        host.clear_log();
        EXPECT_EQ(WAKEUP_PARMS_ERROR, UpdateWakeupParms(b, boot));
        EXPECT_TRUE(sent(host, MBX_UPDATE_CFG).empty());
        host.clear_faults();
    }

    // UPDATE_CFG refused: its status, or WAKEUP_PARMS_ERROR where the caller
    // is told only that the record was not written.
    host.plan({{"match", {{"board", b}, {"mbox", MBX_UPDATE_CFG}}},
               {"kind", "kpl"},
               {"mbox_status", 0x44},
               {"when", "always"}});
    gErrorData = ERROR_DATA{0, 0};
    EXPECT_EQ(static_cast<DOWNLOAD_STATUS>(0x44), UpdateWakeupParms(b, boot));
    EXPECT_EQ(MBX_UPDATE_CFG, gErrorData.command);
    EXPECT_EQ(0x44, gErrorData.status);
    EXPECT_EQ(WAKEUP_PARMS_ERROR, UpdateAbsWakeupParms(b, &before));
    EXPECT_EQ(static_cast<int32_t>(WAKEUP_PARMS_ERROR), DisableBootBios(b));
    host.clear_faults();
    EXPECT_EQ(words(before), words(adapter_record(b)));
}

// A boot image that the expansion ROM does not take is not named in the
// record: the load's failure is returned and nothing is written.
TEST(FcWakeup, FailedExpansionRomLoadWritesNothing)
{
    fctest::FcHost host(machine());
    ASSERT_TRUE(host.built());
    const int b = host.board(0x10);
    make_2mb_family(b);
    ASSERT_EQ(1, IsIt2MFamily(b));
    host.plan({{"match", {{"board", b}, {"mbox", MBX_LOAD_EXP_ROM}}}, {"kind", "kpl"}, {"mbox_status", 0x66}});
    host.clear_log();
    const uint32_t boot[2] = {0x03AA0001, 7};
    EXPECT_EQ(static_cast<DOWNLOAD_STATUS>(0x66), UpdateWakeupParms(b, boot));
    EXPECT_EQ(MBX_LOAD_EXP_ROM, gErrorData.command);
    EXPECT_EQ(0x66, gErrorData.status);
    EXPECT_EQ(1u, sent(host, MBX_LOAD_EXP_ROM).size());
    EXPECT_TRUE(sent(host, MBX_UPDATE_CFG).empty());
    EXPECT_EQ(words(initial_record()), words(adapter_record(b)));
}

// A boot id on a 2 MB family part: the LOAD_EXP_ROM start, continues until
// the adapter answers 9 and finishes until 11, each bringing back the word
// at 8 of the answer before; then the record is written unless the copy
// update asked for no write, which an adapter done at once overrides. An
// adapter that never gets there, or answers the start with something else,
// is a LOAD_PROGRESS_ERROR; a record write that fails inside is returned.
TEST(FcWakeup, ExpansionRomSequence)
{
    const uint32_t boot[2] = {0x03AA0001, 7};
    const int stuck = 1 + static_cast<int>(LOAD_EXP_ROM_MAX_STEPS);
    struct Case {
        const char *name;
        json exp_rom;
        json fault;        // planned on the board, if any
        bool copy;         // UpdateTempWakeupParms instead of UpdateWakeupParms
        DOWNLOAD_STATUS want;
        std::vector<int> subs; // sub-commands sent; one number n > 10: n commands
        int writes;        // UPDATE_CFG commands
        bool loaded;       // the expansion ROM holds the boot id
    } cases[] = {
        {"two continues, one finish", {{"continues", 2}, {"finishes", 1}}, json(), false, DOWNLOAD_OK,
         {8, 9, 9, 10}, 2, true},
        {"three finishes, copy only", {{"continues", 1}, {"finishes", 3}}, json(), true, DOWNLOAD_OK,
         {8, 9, 10, 10, 10}, 0, true},
        {"done at once, copy only", {{"start", 11}}, json(), true, DOWNLOAD_OK, {8}, 1, true},
        {"stuck in continues", {{"continues", -1}}, json(), false, LOAD_PROGRESS_ERROR, {stuck}, 0, false},
        {"stuck in finishes", {{"finishes", -1}}, json(), true, LOAD_PROGRESS_ERROR, {stuck}, 0, false},
        {"start answers 5", json(), {{"kind", "progress"}, {"progress", 5}}, false, LOAD_PROGRESS_ERROR, {8}, 0,
         false},
        {"record write refused", json(),
         {{"kind", "kpl"}, {"mbox_status", 0x44}, {"match", {{"mbox", MBX_UPDATE_CFG}}}}, false,
         WAKEUP_PARMS_ERROR, {8, 9, 9, 10}, 1, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fctest::FcHost host(machine(c.exp_rom));
        ASSERT_TRUE(host.built());
        const int b = host.board(0x10);
        make_2mb_family(b);
        if (!c.fault.is_null()) {
            json f = c.fault;
            if (!f.contains("match"))
                f["match"] = {{"mbox", MBX_LOAD_EXP_ROM}};
            f["match"]["board"] = b;
            host.plan(f);
        }
        host.clear_log();
        WAKEUP_PARMS copy = initial_record();
        const DOWNLOAD_STATUS r = c.copy ? UpdateTempWakeupParms(b, boot, &copy) : UpdateWakeupParms(b, boot);
        EXPECT_EQ(c.want, r);

        auto cmds = sent(host, MBX_LOAD_EXP_ROM);
        if (c.subs.size() == 1 && c.subs[0] > 10) {
            EXPECT_EQ(static_cast<size_t>(c.subs[0]), cmds.size());
        } else {
            std::vector<int> subs;
            for (const json &e : cmds)
                subs.push_back(e.value("sub", -1));
            EXPECT_EQ(c.subs, subs);
        }
        for (size_t i = 1; i < cmds.size(); ++i)
            EXPECT_NE(0u, cmds[i].value("word8", 0u)) << cmds[i].dump();
        EXPECT_EQ(static_cast<size_t>(c.writes), sent(host, MBX_UPDATE_CFG).size());

        const json st = hlvdsim::fc_state(host.root(), 0);
        if (c.loaded)
            EXPECT_EQ(json::array({boot[0], boot[1]}), st.value("exp_rom", json())) << st.value("exp_rom", json());
        else
            EXPECT_NE(json::array({boot[0], boot[1]}), st.value("exp_rom", json()));

        // What the adapter's record holds: the boot slots named when written.
        WAKEUP_PARMS want = initial_record();
        if (c.writes > 0 && c.want == DOWNLOAD_OK) {
            want.words[3] = want.words[13] = boot[0];
            want.words[4] = want.words[14] = boot[1];
        }
        host.clear_faults();
        EXPECT_EQ(words(want), words(adapter_record(b)));
        if (c.copy && c.want == DOWNLOAD_OK) {
            EXPECT_EQ(boot[0], copy.words[13]);
            EXPECT_EQ(boot[1], copy.words[4]);
        }
    }
}

// AIF image words as the file stores them: big-endian.
void put_be(std::vector<uint8_t> &f, size_t at, uint32_t v)
{
    if (f.size() < at + 4)
        f.resize(at + 4, 0);
    f[at] = static_cast<uint8_t>(v >> 24);
    f[at + 1] = static_cast<uint8_t>(v >> 16);
    f[at + 2] = static_cast<uint8_t>(v >> 8);
    f[at + 3] = static_cast<uint8_t>(v);
}

struct Prg {
    uint32_t length, id0, id1;
};

std::vector<uint8_t> aif(uint32_t base, uint32_t size, const std::vector<Prg> &prgs)
{
    std::vector<uint8_t> f(128, 0);
    put_be(f, 0, 0xE1A00000u);
    put_be(f, 20, size);
    put_be(f, 40, base);
    size_t at = base == 0x20000 ? 128 : 131200;
    for (const Prg &p : prgs) {
        put_be(f, at, p.length);
        put_be(f, at + 4, p.id0);
        put_be(f, at + 8, p.id1);
        f.resize(std::max(f.size(), at + 48), 0);
        at += p.length;
    }
    return f;
}

TEST(FcWakeup, RecordBuiltFromTheImagesPrgs)
{
    struct Case {
        const char *name;
        std::vector<uint8_t> file;
        int32_t want;
        std::vector<uint32_t> words; // pairs of (word, value) set in the record
    } cases[] = {
        {"small image at 0", aif(0, 0x20000, {{48, 0x02000001, 1}}), 0, {}},
        {"header cut short", std::vector<uint8_t>(100, 0), static_cast<int32_t>(0xFFF90001u), {}},
        {"stub, boot, SLI-1 and SLI-2 behind the header",
         aif(0x20000, 0x30000,
             {{64, 0x02000001, 1}, {48, 0x0B000002, 2}, {100, 0x03000003, 3}, {48, 0x06000004, 4},
              {48, 0x07000005, 5}, {0xFFFFFFFF, 0x02000009, 9}}),
         1, {0, 0x02000001, 1, 1, 3, 0x03000003, 4, 3, 5, 0x06000004, 6, 4, 7, 0x07000005, 8, 5}},
        {"behind the area; a length of 0 ends the walk",
         aif(0x40000, 0x30000, {{48, 0x07000005, 5}, {0, 0x06000004, 4}}), 1, {7, 0x07000005, 8, 5}},
        {"no slot filled", aif(0x20000, 0x30000, {{48, 0x0B000002, 2}}), 0, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FILE *f = std::tmpfile();
        ASSERT_NE(nullptr, f);
        std::fwrite(c.file.data(), 1, c.file.size(), f);
        std::rewind(f);
        WAKEUP_PARMS out;
        std::memset(&out, 0xEE, sizeof out);
        uint8_t header[128] = {};
        EXPECT_EQ(c.want, BuildWakeupParms(0, f, header, &out));
        std::fclose(f);
        if (c.want == 1) {
            WAKEUP_PARMS want;
            std::memset(&want, 0, sizeof want);
            for (size_t i = 0; i + 1 < c.words.size(); i += 2)
                want.words[c.words[i]] = c.words[i + 1];
            EXPECT_EQ(words(want), words(out));
        } else {
            EXPECT_EQ(0xEEEEEEEEu, out.words[0]);
        }
        if (c.want != static_cast<int32_t>(0xFFF90001u)) {
            EXPECT_EQ(0xE1A00000u, mbox_u32(header, 0));
        }
    }
}

} // namespace
