// Boot image maintenance: the boot images read from the flash load list,
// the rules that keep the active boot image, the BWC wakeup builder, and the
// walks over the PRGs of a DWC image, on a simulated SLI-3 HBA of the 2 MB
// family.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "adapters/adapter_table.h"
#include "fc_fixture.h"
#include "flash/fc_image_files.h"
#include "hba/absolute_download.h"
#include "hba/boot_images.h"
#include "hba/config_regions.h"
#include "hba/mbox_commands.h"
#include "hba/mbox_transport.h"
#include "hba/wakeup_parms.h"
#include "sim/fc_hba.h"
#include "sim/prg_generator.h"

namespace {

using fctest::json;
using Bytes = std::vector<uint8_t>;

const DOWNLOAD_STATUS kReadError = DownloadStatusOf(INVALID_IMAGE_ERROR, ERROR_READING_FILE);
const DOWNLOAD_STATUS kIncorrect = DownloadStatusOf(INCOMPAT_IMAGE_ERROR, INCORRECT_ADPT);

void put_be(Bytes &b, size_t at, uint32_t w)
{
    if (b.size() < at + 4)
        b.resize(at + 4);
    b[at] = static_cast<uint8_t>(w >> 24);
    b[at + 1] = static_cast<uint8_t>(w >> 16);
    b[at + 2] = static_cast<uint8_t>(w >> 8);
    b[at + 3] = static_cast<uint8_t>(w);
}

Bytes prg(uint8_t type, int id, uint32_t size = 200)
{
    hlvdsim::PrgRecipe r;
    r.type = type;
    r.id = id;
    r.size = size;
    Bytes out;
    std::string err;
    EXPECT_TRUE(hlvdsim::build_prg(r, out, &err)) << err;
    return out;
}

// A DWC image (checksum kind 2) holding the PRGs, then the end mark; its
// header words in host order go to *header.
Bytes dwc(const std::vector<Bytes> &prgs, uint32_t word14, uint32_t *header = nullptr, bool endMark = true)
{
    Bytes data(4, 0);
    for (const Bytes &p : prgs)
        data.insert(data.end(), p.begin(), p.end());
    if (endMark)
        put_be(data, data.size(), 0xFFFFFFFFu);
    Bytes img(AIF_HEADER_SIZE, 0);
    const uint32_t words[AIF_WORDS] = {NOP_IMAGE_TYPE, 0, AIF_DWC_IMAGE, 0, 2, static_cast<uint32_t>(data.size()),
                                       0, 0, 0, 0, 0x20000, 0x10000, 0, 0, word14};
    for (uint32_t i = 0; i < AIF_WORDS; ++i) {
        put_be(img, 4 * i, words[i]);
        if (header)
            header[i] = words[i];
    }
    img.insert(img.end(), data.begin(), data.end());
    return img;
}

FILE *open_bytes(const std::string &path, const Bytes &b)
{
    hlvdtest::write_file(path, std::string(b.begin(), b.end()));
    return std::fopen(path.c_str(), "rb");
}

std::string hex_of(const WAKEUP_PARMS &r)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    const uint8_t *p = reinterpret_cast<const uint8_t *>(&r);
    for (size_t i = 0; i < sizeof r; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 0xF];
    }
    return s;
}

// An SLI-3 HBA of family 0xFE00 with these flash images and wakeup record.
std::string machine(const json &images, const WAKEUP_PARMS &record)
{
    json hba = fctest::sli3_hba("a", 0x10);
    hba["functions"][0]["fc"] = {
        {"jedec", "0x0577"},
        {"images", images},
        {"regions", {{"4", {{"data", hex_of(record)}, {"recreate", false}}}}},
    };
    return fctest::machine({hba});
}

json boot_images(unsigned count, uint32_t first)
{
    json images = json::array();
    images.push_back({{"id0", 0x0BBE2113}, {"id1", 1}, {"address", 0x20000}, {"description", "SLI"}});
    for (unsigned i = 0; i < count; ++i)
        images.push_back({{"id0", first + i}, {"id1", 0x100 + i}, {"address", 0x60000 + 0x1000 * i},
                          {"description", "Boot"}});
    return images;
}

size_t sent(const fctest::FcHost &host, int mbox)
{
    size_t n = 0;
    for (const json &e : host.calls("IssueMboxWithRetry"))
        n += e.value("mbox", 0) == mbox;
    return n;
}

WAKEUP_PARMS record_of(std::initializer_list<std::pair<int, uint32_t>> words)
{
    WAKEUP_PARMS r;
    std::memset(&r, 0, sizeof r);
    for (auto &w : words)
        r.words[w.first] = w.second;
    return r;
}

} // namespace

TEST(FcBootImages, TwelveBootImagesFillTheTenSlots)
{
    const uint32_t first = 0x035E0001;
    fctest::FcHost host(machine(boot_images(12, first), record_of({})));
    ASSERT_TRUE(host.built());
    const int b = host.board(0x10);
    std::memset(bootId, 0xAB, sizeof bootId);
    GetBootBiosImages1(b);
    for (uint32_t i = 0; i < BOOT_ID_SLOTS; ++i) {
        EXPECT_EQ(first + i, bootId[i][0]) << i;
        EXPECT_EQ(0x100 + i, bootId[i][1]) << i;
    }
}

TEST(FcBootImages, CyclingLoadListEndsTheWalk)
{
    json hba = fctest::sli3_hba("a", 0x10);
    hba["functions"][0]["fc"] = {{"jedec", "0x0577"}, {"images", boot_images(2, 0x03110001)}, {"load_list_cycle", true}};
    fctest::FcHost host(fctest::machine({hba}));
    ASSERT_TRUE(host.built());
    const int b = host.board(0x10);
    std::memset(bootId, 0, sizeof bootId);
    host.clear_log();
    GetBootBiosImages1(b);
    EXPECT_EQ(0x03110001u, bootId[0][0]);
    EXPECT_EQ(0x03110002u, bootId[1][0]);
    EXPECT_EQ(0u, bootId[2][0]);
    // The head, then each of the three entries once.
    EXPECT_EQ(4u, sent(host, MBX_DUMP_MEMORY));
}

// Word 13 names a boot image that is (or is no longer) in flash.
TEST(FcBootImages, KeepRules)
{
    const uint32_t inFlash = 0x035E0002, gone = 0x035E0099, fresh = 0x035E0077;
    enum Rule { DWC1, DWC2, BWC };
    struct Case {
        const char *name;
        Rule rule;
        WAKEUP_PARMS before;
        int changed;
        WAKEUP_PARMS after;
        size_t loads; // LOAD_EXP_ROM start commands
    } cases[] = {
        {"DWC1, gone: nothing", DWC1, record_of({{13, gone}, {14, 5}}), 0, record_of({{13, gone}, {14, 5}}), 0},
        {"DWC2, gone: nothing", DWC2, record_of({{3, gone}, {13, gone}}), 0, record_of({{3, gone}, {13, gone}}), 0},
        {"DWC1, found: words 13-14", DWC1, record_of({{3, 0}, {13, inFlash}}), 1,
         record_of({{13, inFlash}, {14, 0x101}}), 1},
        {"DWC2, found: words 3-4 and 13-14", DWC2, record_of({{3, inFlash}, {13, inFlash}}), 1,
         record_of({{3, inFlash}, {4, 0x101}, {13, inFlash}, {14, 0x101}}), 1},
        {"BWC, gone: word 13 switches", BWC, record_of({{13, gone}, {14, 5}}), 1,
         record_of({{13, fresh}, {14, 5}}), 1},
        {"BWC, gone, boot code on: word 3 too", BWC, record_of({{3, gone}, {4, 6}, {13, gone}, {14, 5}}), 1,
         record_of({{3, fresh}, {4, 6}, {13, fresh}, {14, 5}}), 1},
        {"BWC, found, boot code on: words 3-4 too", BWC, record_of({{3, 9}, {13, inFlash}}), 1,
         record_of({{3, inFlash}, {4, 0x101}, {13, inFlash}, {14, 0x101}}), 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fctest::FcHost host(machine(boot_images(3, 0x035E0001), c.before));
        ASSERT_TRUE(host.built());
        const int b = host.board(0x10);
        host.clear_log();
        WAKEUP_PARMS copy = c.before;
        int changed = -1;
        DOWNLOAD_STATUS r = c.rule == DWC1   ? maintainBootBios_DWC1(b, &copy, &changed)
                            : c.rule == DWC2 ? maintainBootBios_DWC2(b, &copy, &changed)
                                             : maintainBootBios_BWC(b, &copy, &changed, fresh);
        EXPECT_EQ(DOWNLOAD_OK, r);
        EXPECT_EQ(c.changed, changed);
        EXPECT_EQ(0, std::memcmp(&c.after, &copy, sizeof copy)) << hex_of(copy);
        size_t starts = 0;
        for (const json &e : host.calls("IssueMboxWithRetry"))
            starts += e.value("mbox", 0) == MBX_LOAD_EXP_ROM && e.value("sub", 0) == LOAD_EXP_ROM_START;
        EXPECT_EQ(c.loads, starts);
    }
}

TEST(FcBootImages, BwcWakeupCopy)
{
    const uint32_t id = 0x035E2113;
    uint32_t header[AIF_WORDS] = {};
    header[AIF_ID_WORD] = id;
    struct Case {
        const char *name;
        int32_t kind;
        WAKEUP_PARMS before, after;
        size_t loads;
    } cases[] = {
        // A BWC file sets both boot slots and leaves the ROM load to the reset.
        {"BWC file", BWCext, record_of({{3, 7}, {4, 8}, {13, 9}, {14, 10}}), record_of({{3, id}, {13, id}}), 0},
        {"ALL, no ROM image", ALLext, record_of({{3, 7}, {14, 10}}), record_of({{3, 7}, {13, id}}), 1},
        {"ALL, same ROM image", ALLext, record_of({{3, 7}, {4, 8}, {13, id}, {14, 10}}),
         record_of({{3, id}, {13, id}}), 1},
        {"DWC file: nothing", DWCext, record_of({{3, 7}}), record_of({{3, 7}}), 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fctest::FcHost host(machine(boot_images(1, 0x035E0001), c.before));
        ASSERT_TRUE(host.built());
        const int b = host.board(0x10);
        host.clear_log();
        WAKEUP_PARMS copy = c.before;
        EXPECT_EQ(1, BuildWakeupParms2Mb_BWC(b, c.kind, nullptr, 0, header, &copy));
        EXPECT_EQ(0, std::memcmp(&c.after, &copy, sizeof copy)) << hex_of(copy);
        EXPECT_EQ(c.loads, sent(host, MBX_LOAD_EXP_ROM) > 0 ? 1u : 0u);
    }
}

TEST(FcBootImages, FailedRomLoadFailsTheBwcCopy)
{
    fctest::FcHost host(machine(boot_images(1, 0x035E0001), record_of({})));
    ASSERT_TRUE(host.built());
    const int b = host.board(0x10);
    host.plan({{"kind", "kpl"}, {"mbox_status", 0x33}, {"match", {{"board", b}, {"mbox", MBX_LOAD_EXP_ROM}}}});
    uint32_t header[AIF_WORDS] = {};
    header[AIF_ID_WORD] = 0x035E2113;
    WAKEUP_PARMS copy = record_of({});
    EXPECT_EQ(WAKEUP_PARMS_ERROR, BuildWakeupParms2Mb_BWC(b, ALLext, nullptr, 0, header, &copy));
}

// Family 0xFE00 looks the container's id up in T3-31 (T3-30 dual channel).
TEST(FcBootImages, BootPrgCheckOnA2MbFamily)
{
    fctest::FcHost host(machine(boot_images(1, 0x035E0001), record_of({})));
    ASSERT_TRUE(host.built());
    const int b = host.board(0x10);
    const std::string path = host.root() + "/boot.dwc";
    struct Case {
        const char *name;
        std::vector<Bytes> prgs;
        uint32_t word14;
        bool dualChannel;
        DOWNLOAD_STATUS want;
    } cases[] = {
        {"container id listed", {prg(11, 0xBE), prg(3, 0x5E)}, 0x0B5E2113, false, DOWNLOAD_OK},
        {"container id not listed", {prg(3, 0x5E)}, 0x0B4C2113, false, kIncorrect},
        {"dual channel takes T3-30", {prg(3, 0x5E)}, 0x0B682113, true, DOWNLOAD_OK},
        {"dual channel refuses T3-31's", {prg(3, 0x5E)}, 0x0B5E2113, true, kIncorrect},
        {"no boot PRG", {prg(11, 0xBE)}, 0x0B4C2113, false, DOWNLOAD_OK},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        uint32_t header[AIF_WORDS];
        FILE *f = open_bytes(path, dwc(c.prgs, c.word14, header));
        ASSERT_NE(nullptr, f);
        gAdapters[b].flags = static_cast<uint8_t>(c.dualChannel ? gAdapters[b].flags | ADAPTER_FLAG_DUAL_CHANNEL
                                                                : gAdapters[b].flags & ~ADAPTER_FLAG_DUAL_CHANNEL);
        EXPECT_EQ(c.want, ValidateBootBIOS(b, 0, header, f));
        std::fclose(f);
    }
}

// Families that look the boot PRG's own id up: only the first one counts.
TEST(FcBootImages, SecondBootPrgIsNotTested)
{
    json hba = fctest::fc_hba("h", 0x10, 1, 0xF0E5, "SLI3");
    hba["functions"][0]["fc"] = {{"jedec", "0x0577"}};
    fctest::FcHost host(fctest::machine({hba}));
    ASSERT_TRUE(host.built());
    const int b = host.board(0x10);
    const std::string path = host.root() + "/two.dwc";
    // 0xF0E5 checks T3-43 here ({0x6F, ...}), not the relative check's T3-34.
    struct Case {
        const char *name;
        int first, second;
        DOWNLOAD_STATUS want;
    } cases[] = {
        {"first listed, second not", 0x6F, 0x61, DOWNLOAD_OK},
        {"first not listed, second listed", 0x61, 0x6F, kIncorrect},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        uint32_t header[AIF_WORDS];
        FILE *f = open_bytes(path, dwc({prg(3, c.first), prg(3, c.second)}, 0x03002113, header));
        ASSERT_NE(nullptr, f);
        EXPECT_EQ(c.want, ValidateBootBIOS(b, 0, header, f));
        std::fclose(f);
    }
}

// No walk over a DWC's PRGs trusts a length: one below the header size, or
// one past the image, is a bad image.
TEST(FcBootImages, PrgWalksRefuseBadLengths)
{
    fctest::FcHost host(machine(boot_images(1, 0x035E0001), record_of({{13, 0x035E0001}})));
    ASSERT_TRUE(host.built());
    const int b = host.board(0x10);
    const std::string path = host.root() + "/bad.dwc";
    Bytes good = prg(3, 0x5E);
    Bytes tooShort = good, tooLong = good;
    put_be(tooShort, 0, 40);
    put_be(tooLong, 0, 0x10000);
    Bytes zero = good;
    put_be(zero, 0, 0);
    const DOWNLOAD_STATUS unsigned_ = NOT_AUTHENTICATED_ERROR;
    struct Case {
        const char *name;
        std::vector<Bytes> prgs;
        bool endMark;
        DOWNLOAD_STATUS want;
        DOWNLOAD_STATUS wantAuth; // ValidateAuthenticatePRG stops at the first unsigned PRG
    } cases[] = {
        {"length below 48", {tooShort}, true, kReadError, kReadError},
        {"length 0", {zero}, true, kReadError, kReadError},
        {"past the image", {tooLong}, true, kReadError, kReadError},
        {"past the image, behind a good one", {prg(11, 0xBE), tooLong}, true, kReadError, unsigned_},
        {"no end mark: the image's end ends it", {prg(11, 0xBE), good}, false, DOWNLOAD_OK, unsigned_},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        uint32_t header[AIF_WORDS];
        FILE *f = open_bytes(path, dwc(c.prgs, 0x0B5E2113, header, c.endMark));
        ASSERT_NE(nullptr, f);
        uint8_t signedImage = 0;
        WAKEUP_PARMS out;
        EXPECT_EQ(c.want, ValidateBootBIOS(b, 0, header, f));
        EXPECT_EQ(c.wantAuth, ValidateAuthenticatePRG(b, 0, f, &signedImage));
        const int32_t built = BuildWakeupParms2Mb_DWC(b, DWCext, SET_MODE_SINGLE, f, 0, header, &out);
        if (c.want == DOWNLOAD_OK)
            EXPECT_EQ(1, built);
        else
            EXPECT_EQ(c.want, built);
        std::fclose(f);
    }
}
