// Downloads into the simulated FC HBAs: DOWN_LOAD pieces and LOAD_AREA
// loads that land in the flash load list, and what the load list then shows
// through memory dumps.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/command_log.h"
#include "sim/fc_hba.h"
#include "sim/flash_model.h"
#include "sim/prg_generator.h"
#include "support/sim_host.h"

namespace {

using json = nlohmann::json;
typedef std::vector<uint8_t> Bytes;

const int kSli3 = 0; // the default machine's SLI-3 HBA, first port
const uint32_t kFlashHead = 1948;
const char kRootKek[] = "FACTORY ROOT KEK FOR SIGNED";

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

uint16_t status_of(const uint8_t *m)
{
    uint16_t v;
    std::memcpy(&v, m + 2, 2);
    return v;
}

// One SLI-2/3 mailbox exchange; the mailbox status back.
uint16_t exchange(const std::string &root, int board, uint8_t *m)
{
    hlvdsim::fc_mailbox(root, "IssueMboxWithRetry", board, m, 128, 128, nullptr, 0, 0);
    return status_of(m);
}

std::vector<uint32_t> words(const std::string &root, int board, uint32_t address, uint32_t n)
{
    uint8_t m[384] = {};
    m[1] = 0x17;
    m[4] = 1;
    put32(m + 12, address);
    put32(m + 16, n);
    EXPECT_EQ(0, exchange(root, board, m));
    std::vector<uint32_t> out;
    for (uint32_t i = 0; i < get32(m + 16); ++i)
        out.push_back(get32(m + 20 + 4 * i));
    return out;
}

struct Entry {
    uint32_t address; // of the list entry
    uint32_t id0, id1;
    std::string description;
};

// The program description the way the engine reads it from the image.
std::string description(const std::string &root, int board, uint32_t image, uint32_t id0)
{
    uint32_t type = id0 & 0xFF000000;
    uint32_t start = image + ((words(root, board, image + 12, 1).at(0) & 8) ? 100 : 48);
    uint32_t p = words(root, board, start + (type == 0 ? 4 : 8), 1).at(0) & ~3u;
    p = p - words(root, board, image + 28, 1).at(0) + start;
    std::vector<uint32_t> text = words(root, board, p, 6);
    std::string out;
    for (size_t i = 0; i < 24; ++i) {
        size_t at = type == 0x03000000 ? i : (i ^ 3);
        char c = static_cast<char>(text[at / 4] >> (8 * (at % 4)));
        if (c == 0 || c == '\n')
            return out;
        out += c;
    }
    return std::string();
}

// The flash load list walked from its head through memory dumps.
std::vector<Entry> flash_list(const std::string &root, int board)
{
    std::vector<Entry> out;
    uint32_t at = words(root, board, kFlashHead, 1).at(0);
    while (at != kFlashHead && out.size() < 64) {
        std::vector<uint32_t> w = words(root, board, at, 6);
        Entry e{at, w[4], w[5], ""};
        if (e.id0 != 0 && e.id0 != 0xFFFFFFFF)
            e.description = description(root, board, w[2], e.id0);
        out.push_back(e);
        at = w[0];
    }
    return out;
}

const Entry *find(const std::vector<Entry> &list, uint32_t id0)
{
    for (const Entry &e : list)
        if (e.id0 == id0)
            return &e;
    return nullptr;
}

Bytes prg(const hlvdsim::PrgRecipe &r)
{
    Bytes out;
    std::string err;
    EXPECT_TRUE(hlvdsim::build_prg(r, out, &err)) << err;
    return out;
}

hlvdsim::PrgRecipe recipe(uint8_t type, uint8_t id, uint16_t rev, const std::string &version, uint32_t size)
{
    hlvdsim::PrgRecipe r;
    r.type = type;
    r.id = id;
    r.rev = rev;
    r.progId1 = 7;
    r.version = version;
    r.size = size;
    return r;
}

uint32_t be32(const Bytes &b, size_t at)
{
    return static_cast<uint32_t>(b[at]) << 24 | static_cast<uint32_t>(b[at + 1]) << 16 |
           static_cast<uint32_t>(b[at + 2]) << 8 | b[at + 3];
}

void erase_command(uint8_t *m, uint32_t length, uint32_t id0, uint32_t id1)
{
    std::memset(m, 0, 384);
    m[1] = 0x1C;
    m[4] = 0x1A;
    put32(m + 12, length);
    put32(m + 16, id0);
    put32(m + 20, id1);
}

// A data command of `n` bytes from `img` at `off`, each group of four in
// host order.
void data_command(uint8_t *m, uint8_t flag, const Bytes &img, size_t off, uint32_t n)
{
    std::memset(m, 0, 384);
    m[1] = 0x1C;
    m[4] = flag;
    put32(m + 12, n);
    put32(m + 16, 20);
    for (uint32_t i = 0; i < n && off + i < img.size(); ++i)
        m[20 + (i ^ 3)] = img[off + i];
}

// A relative download the way the engine sends it: the erase, then pieces
// of 108 bytes, the last marked. The first non-zero status, else 0.
uint16_t download(const std::string &root, int board, const Bytes &img, uint8_t mode = 0)
{
    uint8_t m[384];
    erase_command(m, static_cast<uint32_t>(img.size()), be32(img, 4), be32(img, 8));
    if (uint16_t st = exchange(root, board, m))
        return st;
    for (size_t off = 0; off < img.size(); off += 108) {
        uint32_t n = static_cast<uint32_t>(std::min<size_t>(108, img.size() - off));
        bool last = off + n == img.size();
        data_command(m, static_cast<uint8_t>(0x0A | (last ? 1 : 0) | mode), img, off, n);
        if (uint16_t st = exchange(root, board, m))
            return st;
    }
    return 0;
}

// The default machine with the SLI-3 HBA's first function changed.
std::string machine(const json &fc, unsigned device_id = 0)
{
    json doc = json::parse(hlvdtest::read_file(hlvdtest::source_path("sim/machines/default.json")));
    for (json &a : doc["adapters"])
        if (a["name"] == "fc-sli3") {
            json &f = a["functions"][0];
            for (auto it = fc.begin(); it != fc.end(); ++it)
                f["fc"][it.key()] = it.value();
            if (device_id)
                f["device_id"] = device_id;
        }
    return doc.dump();
}

std::string stored_data(const std::string &root, int board, uint32_t id0)
{
    json st = hlvdsim::fc_state(root, board);
    for (const json &im : st["images"])
        if (im.contains("data") && im["id0"] == id0)
            return im["data"];
    return std::string();
}

std::string hex(const Bytes &b)
{
    return hlvdsim::to_hex(b.data(), b.size());
}

TEST(FcDownLoad, StoredImageShowsInTheLoadList)
{
    struct Case {
        hlvdsim::PrgRecipe r;
        uint8_t mode;
        bool replaces; // the default SLI-3 firmware entry (id0 0x0B4C2100)
    } cases[] = {
        {recipe(11, 0xBE, 0x2113, "2.10", 1000), 0, false},
        {recipe(11, 0xBE, 0x2114, "2.11", 216), 0x80, false}, // exactly two pieces, DWC-via-PRG mode
        {recipe(11, 0x4C, 0x2100, "2.01A13", 140), 0, true},
        {recipe(3, 0x5E, 0x1300, "5.13A0", 1000), 0, false}, // boot: text kept group-reversed
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.r.version);
        hlvdtest::SimHost host;
        Bytes img = prg(c.r);
        uint32_t id0 = hlvdsim::prg_program_id(c.r);
        std::vector<Entry> before = flash_list(host.root(), kSli3);
        ASSERT_EQ(0, download(host.root(), kSli3, img, c.mode));
        std::vector<Entry> after = flash_list(host.root(), kSli3);
        const Entry *e = find(after, id0);
        ASSERT_NE(nullptr, e);
        EXPECT_EQ(7u, e->id1);
        EXPECT_EQ(c.r.version, e->description);
        EXPECT_EQ(before.size() + (c.replaces ? 0 : 1), after.size());
        if (c.replaces) {
            EXPECT_EQ(find(before, id0)->address, e->address);
        }
        EXPECT_EQ(hex(img), stored_data(host.root(), kSli3, id0));
        // The other port's list is its own.
        EXPECT_EQ(c.replaces, find(flash_list(host.root(), kSli3 + 1), id0) != nullptr);
    }
}

TEST(FcDownLoad, FullListAnswers241)
{
    uint32_t fresh = 0x0B500000 | 0x2113;
    struct Case {
        long capacity;
        uint32_t id0;
        bool delete_first; // the boot entry is deleted before the erase
        uint16_t status;
    } cases[] = {
        {2, fresh, false, 241},
        {2, 0x0B4C2100, false, 0}, // its own entry is reused
        {2, fresh, true, 0},
        {3, fresh, false, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.capacity);
        hlvdtest::SimHost host(machine({{"load_list_capacity", c.capacity}}));
        if (c.delete_first) {
            uint8_t m[384] = {};
            m[1] = 0x1D;
            put32(m + 8, 0x03495190);
            put32(m + 12, 1);
            ASSERT_EQ(0, exchange(host.root(), kSli3, m));
        }
        json memory = hlvdsim::fc_state(host.root(), kSli3)["memory"];
        uint8_t m[384];
        erase_command(m, 1000, c.id0, 1);
        EXPECT_EQ(c.status, exchange(host.root(), kSli3, m));
        if (c.status != 0) {
            EXPECT_EQ(memory, hlvdsim::fc_state(host.root(), kSli3)["memory"]);
        } else {
            EXPECT_NE(nullptr, find(flash_list(host.root(), kSli3), 0xFFFFFFFF)) << "reserved and erased";
        }
    }
}

TEST(FcDownLoad, PiecesOutOfSequenceAreRefused)
{
    Bytes img = prg(recipe(11, 0xBE, 0x2113, "2.10", 1000));
    struct Case {
        const char *what;
        bool erase;
        uint8_t flag;
        uint32_t count;
    } cases[] = {
        {"no erase", false, 0x0A, 108},
        {"too big a piece", true, 0x0A, 109},
        {"last piece short of the image", true, 0x0B, 108},
        {"unknown flag", true, 0x0C, 108},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        hlvdtest::SimHost host;
        uint8_t m[384];
        if (c.erase) {
            erase_command(m, static_cast<uint32_t>(img.size()), be32(img, 4), 1);
            ASSERT_EQ(0, exchange(host.root(), kSli3, m));
        }
        data_command(m, c.flag, img, 0, c.count);
        EXPECT_EQ(hlvdsim::FC_MBX_BAD_SEQUENCE, exchange(host.root(), kSli3, m));
        EXPECT_EQ(nullptr, find(flash_list(host.root(), kSli3), be32(img, 4)));
    }
    // Bytes past the erased length.
    hlvdtest::SimHost host;
    uint8_t m[384];
    erase_command(m, 100, be32(img, 4), 1);
    ASSERT_EQ(0, exchange(host.root(), kSli3, m));
    data_command(m, 0x0A, img, 0, 104);
    EXPECT_EQ(hlvdsim::FC_MBX_BAD_SEQUENCE, exchange(host.root(), kSli3, m));
}

TEST(FcDownLoad, SignedAdapterTakesOnlyImagesForItsKey)
{
    struct Case {
        const char *kek; // of the image; empty: unsigned
        uint16_t status;
    } cases[] = {
        {kRootKek, 0},
        {"FIELD KEK SECOND STEP", 3851},
        {"", 3851},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.kek);
        hlvdtest::SimHost host(machine(json::object(), 0xF180));
        hlvdsim::PrgRecipe r = recipe(11, 0xBE, 0x2113, "2.10", 1000);
        r.kekId = c.kek;
        Bytes img = prg(r);
        EXPECT_EQ(c.status, download(host.root(), kSli3, img));
        EXPECT_EQ(c.status == 0, find(flash_list(host.root(), kSli3), be32(img, 4)) != nullptr);
    }
}

TEST(FcDownLoad, CommandLogShowsFlagAndByteCount)
{
    hlvdtest::SimHost host;
    Bytes img = prg(recipe(11, 0xBE, 0x2113, "2.10", 224));
    ASSERT_EQ(0, download(host.root(), kSli3, img, 0x80));
    std::vector<std::pair<int, uint32_t>> seen;
    for (const json &e : hlvdsim::log_read(host.root()))
        if (e.value("mbox", 0) == 0x1C)
            seen.emplace_back(e.value("flag", -1), e.value("bytes", 0u));
    std::vector<std::pair<int, uint32_t>> want = {{0x1A, 224}, {0x8A, 108}, {0x8A, 108}, {0x8B, 8}};
    EXPECT_EQ(want, seen);
}

// ---------------------------------------------------------------------------
// LOAD_AREA

const uint32_t kBase = 0x20000;

struct Answer {
    uint16_t status;
    uint8_t progress;
    uint32_t address;
};

Answer area_command(const std::string &root, int board, uint8_t flag, uint8_t sub, uint8_t area, uint32_t address,
                    uint32_t count, const Bytes &data = Bytes(), size_t off = 0)
{
    uint8_t m[384];
    data_command(m, flag, data, off, flag == 0x18 ? 0 : count);
    m[1] = 0x81;
    m[6] = sub;
    m[7] = area;
    put32(m + 8, address);
    put32(m + 12, count);
    put32(m + 16, flag == 0x18 ? 0 : 20);
    uint16_t st = exchange(root, board, m);
    return {st, m[5], get32(m + 8)};
}

// An absolute load the way the engine sends it: erase until progress 2, then
// the pieces at the addresses answered. The answer to the last command.
Answer load_area(const std::string &root, int board, uint8_t area, const Bytes &data)
{
    Answer a = area_command(root, board, 0x18, 1, area, kBase, 0x40000);
    for (int i = 0; a.status == 0 && a.progress != 2 && i < 16; ++i)
        a = area_command(root, board, 0x18, 2, area, a.address, 0x40000);
    if (a.status != 0 || a.progress != 2)
        return a;
    uint32_t at = kBase;
    for (size_t off = 0; off < data.size(); off += 108) {
        uint32_t n = static_cast<uint32_t>(std::min<size_t>(108, data.size() - off));
        bool last = off + n == data.size();
        a = area_command(root, board, static_cast<uint8_t>(last ? 0x0B : 0x0A), last ? 4 : 3, area, at, n, data,
                         off);
        if (a.status != 0 || (!last && a.progress != 3))
            return a;
        at = a.address;
    }
    return a;
}

Bytes pattern(size_t n)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = static_cast<uint8_t>(i * 13 + 1);
    return b;
}

TEST(FcLoadArea, EraseAnswersProgressUntilItCompletes)
{
    struct Case {
        json steps; // null: the default
        std::vector<uint8_t> progress;
    } cases[] = {
        {nullptr, {1, 2}},
        {1, {2}},
        {3, {1, 1, 2}},
        {-1, {1, 1, 1, 1, 1, 1}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.steps.dump());
        json knobs = json::object();
        if (!c.steps.is_null())
            knobs["erase_steps"] = c.steps;
        hlvdtest::SimHost host(machine({{"load_area", knobs}}));
        uint32_t at = kBase;
        for (size_t i = 0; i < c.progress.size(); ++i) {
            Answer a = area_command(host.root(), kSli3, 0x18, i == 0 ? 1 : 2, 1, at, 0x40000);
            ASSERT_EQ(0, a.status) << i;
            EXPECT_EQ(c.progress[i], a.progress) << i;
            EXPECT_EQ(kBase + 0x10000 * (i + 1), a.address) << i;
            at = a.address;
        }
    }
}

TEST(FcLoadArea, LoadAnswersNextAddressAndCompletes)
{
    Bytes data = pattern(250); // pieces of 108, 108 and 34
    struct Case {
        long bad_at;
        std::vector<uint32_t> next;
    } cases[] = {
        {0, {kBase + 108, kBase + 216, kBase + 250}},
        {1, {kBase + 112, kBase + 220, kBase + 254}},
        {3, {kBase + 108, kBase + 216, kBase + 254}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.bad_at);
        hlvdtest::SimHost host(machine({{"load_area", {{"erase_steps", 1}, {"bad_address_at", c.bad_at}}}}));
        ASSERT_EQ(2, area_command(host.root(), kSli3, 0x18, 1, 3, kBase, 0x40000).progress);
        uint32_t at = kBase;
        for (size_t i = 0; i < 3; ++i) {
            bool last = i == 2;
            Answer a = area_command(host.root(), kSli3, last ? 0x0B : 0x0A, last ? 4 : 3, 3, at,
                                    static_cast<uint32_t>(std::min<size_t>(108, 250 - 108 * i)), data, 108 * i);
            ASSERT_EQ(0, a.status) << i;
            EXPECT_EQ(last ? 4 : 3, a.progress) << i;
            EXPECT_EQ(c.next[i], a.address) << i;
            at = a.address; // the engine goes on where the adapter says
        }
        EXPECT_EQ(hex(data), hlvdsim::fc_state(host.root(), kSli3)["load_areas"]["3"]);
    }
}

TEST(FcLoadArea, CommandsOutOfSequenceAreRefused)
{
    Bytes data = pattern(108);
    struct Step {
        uint8_t flag, sub, area;
        uint32_t address, count;
    };
    const Step erase1 = {0x18, 1, 1, kBase, 0x40000};
    struct Case {
        const char *what;
        std::vector<Step> before; // each answered without a failure
        Step refused;
    } cases[] = {
        {"load without an erase", {}, {0x0A, 3, 1, kBase, 108}},
        {"load before the erase completes", {erase1}, {0x0A, 3, 1, kBase, 108}},
        {"further erase without a first", {}, {0x18, 2, 1, kBase + 0x10000, 0x40000}},
        {"further erase at another address", {erase1}, {0x18, 2, 1, kBase, 0x40000}},
        {"load of another area type", {erase1, {0x18, 2, 1, kBase + 0x10000, 0x40000}}, {0x0A, 3, 2, kBase, 108}},
        {"load at another address", {erase1, {0x18, 2, 1, kBase + 0x10000, 0x40000}}, {0x0A, 3, 1, kBase + 4, 108}},
        {"piece too big", {erase1, {0x18, 2, 1, kBase + 0x10000, 0x40000}}, {0x0A, 3, 1, kBase, 109}},
        {"unknown sub-command", {erase1, {0x18, 2, 1, kBase + 0x10000, 0x40000}}, {0x0A, 5, 1, kBase, 108}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        hlvdtest::SimHost host;
        for (const Step &s : c.before)
            ASSERT_EQ(0, area_command(host.root(), kSli3, s.flag, s.sub, s.area, s.address, s.count, data).status);
        const Step &r = c.refused;
        EXPECT_EQ(hlvdsim::FC_MBX_BAD_SEQUENCE,
                  area_command(host.root(), kSli3, r.flag, r.sub, r.area, r.address, r.count, data).status);
    }
}

TEST(FcLoadArea, OperationalCodeSetsTheVersionWord)
{
    hlvdtest::SimHost host;
    Bytes data = pattern(300);
    data[0] = 0x12, data[1] = 0x34, data[2] = 0x56, data[3] = 0x78;
    Answer a = load_area(host.root(), kSli3, 1, data);
    ASSERT_EQ(0, a.status);
    EXPECT_EQ(4, a.progress);
    EXPECT_EQ(0x12345678u, words(host.root(), kSli3, 496, 1).at(0));
    EXPECT_EQ(hex(data), hlvdsim::fc_state(host.root(), kSli3)["load_areas"]["1"]);
    // A new load needs a new erase.
    EXPECT_EQ(hlvdsim::FC_MBX_BAD_SEQUENCE, area_command(host.root(), kSli3, 0x0A, 3, 1, kBase, 108, data).status);
}

void append(Bytes &to, const Bytes &b)
{
    to.insert(to.end(), b.begin(), b.end());
}

void append_be32(Bytes &to, uint32_t v)
{
    for (int s = 24; s >= 0; s -= 8)
        to.push_back(static_cast<uint8_t>(v >> s));
}

TEST(FcLoadArea, ContainerImagesLandInTheLoadList)
{
    hlvdsim::PrgRecipe sli = recipe(11, 0xBE, 0x2113, "2.10", 1000);
    hlvdsim::PrgRecipe boot = recipe(3, 0x5E, 0x1300, "5.13A0", 400);
    Bytes end;
    append_be32(end, 0xFFFFFFFF);
    Bytes tiny; // a length below a header
    append_be32(tiny, 12);
    append_be32(tiny, 0x0B400000);
    Bytes past; // a length past the loaded bytes
    append_be32(past, 0x100000);
    append_be32(past, 0x0B410000);
    struct Case {
        const char *what;
        std::vector<Bytes> tail; // behind the two PRGs, ending the walk
    } cases[] = {
        {"list end", {end}},
        {"no end mark", {}},
        {"length below a header", {tiny, pattern(64)}},
        {"length past the bytes", {past, pattern(64)}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        hlvdtest::SimHost host;
        Bytes dwc(4, 0);
        append(dwc, prg(sli));
        append(dwc, prg(boot));
        for (const Bytes &t : c.tail)
            append(dwc, t);
        Answer a = load_area(host.root(), kSli3, 2, dwc);
        ASSERT_EQ(0, a.status);
        EXPECT_EQ(4, a.progress);
        std::vector<Entry> list = flash_list(host.root(), kSli3);
        const Entry *e = find(list, hlvdsim::prg_program_id(sli));
        ASSERT_NE(nullptr, e);
        EXPECT_EQ("2.10", e->description);
        e = find(list, hlvdsim::prg_program_id(boot));
        ASSERT_NE(nullptr, e);
        EXPECT_EQ("5.13A0", e->description);
        EXPECT_EQ(4u, list.size()); // the default two and the two new ones
    }
    // A container whose first image is too short stores nothing.
    hlvdtest::SimHost host;
    Bytes dwc(4, 0);
    append(dwc, tiny);
    append(dwc, prg(sli));
    ASSERT_EQ(0, load_area(host.root(), kSli3, 2, dwc).status);
    EXPECT_EQ(2u, flash_list(host.root(), kSli3).size());
}

TEST(FcLoadArea, SignedAdapterChecksEveryContainerImage)
{
    struct Case {
        const char *second_kek;
        uint16_t status;
    } cases[] = {
        {kRootKek, 0},
        {"FIELD KEK SECOND STEP", 3851},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.second_kek);
        hlvdtest::SimHost host(machine(json::object(), 0xF180));
        hlvdsim::PrgRecipe a = recipe(11, 0xBE, 0x2113, "2.10", 1000), b = recipe(3, 0x5E, 0x1300, "5.13A0", 600);
        a.kekId = kRootKek;
        b.kekId = c.second_kek;
        Bytes dwc(4, 0);
        append(dwc, prg(a));
        append(dwc, prg(b));
        EXPECT_EQ(c.status, load_area(host.root(), kSli3, 2, dwc).status);
        std::vector<Entry> list = flash_list(host.root(), kSli3);
        EXPECT_EQ(c.status == 0, find(list, hlvdsim::prg_program_id(a)) != nullptr);
        EXPECT_EQ(c.status == 0, find(list, hlvdsim::prg_program_id(b)) != nullptr);
    }
}

TEST(FcLoadArea, CommandLogShowsTheCommandFields)
{
    hlvdtest::SimHost host(machine({{"load_area", {{"erase_steps", 1}}}}));
    ASSERT_EQ(0, load_area(host.root(), kSli3, 4, pattern(120)).status);
    std::vector<json> seen;
    for (const json &e : hlvdsim::log_read(host.root()))
        if (e.value("mbox", 0) == 0x81)
            seen.push_back({e["flag"], e["sub"], e["area"], e["address"], e["bytes"]});
    std::vector<json> want = {{0x18, 1, 4, kBase, 0x40000}, {0x0A, 3, 4, kBase, 108}, {0x0B, 4, 4, kBase + 108, 12}};
    EXPECT_EQ(want, seen);
}

// ---------------------------------------------------------------------------
// Starting the firmware the wakeup record names

const int kVarrow = 2; // the default machine's SLI-4 (Varrow FC) HBA, first port

// Writes program ids into words of the function's wakeup record.
void set_wakeup(const std::string &root, int board, const std::vector<std::pair<size_t, uint32_t>> &words)
{
    uint8_t rec[60] = {};
    uint32_t count = 60;
    ASSERT_EQ(0, hlvdsim::fc_dump_region(root, board, 2, 4, 0, rec, &count));
    for (const auto &w : words)
        put32(rec + 4 * w.first, w.second);
    uint32_t response = 0;
    ASSERT_EQ(0, hlvdsim::fc_update_config(root, board, 2, 4, 60, rec, &response));
}

struct Revision {
    std::string name;
    uint32_t w8, w12;
};

Revision read_rev(const std::string &root, int board)
{
    uint8_t m[384] = {};
    m[1] = 0x11;
    EXPECT_EQ(0, exchange(root, board, m));
    char name[17] = {};
    for (int i = 0; i < 16; ++i) // older FC HBAs hand the name over word-reversed
        name[i] = static_cast<char>(m[36 + (board >= kVarrow ? i : (i ^ 3))]);
    return {name, get32(m + 8), get32(m + 12)};
}

TEST(FcWakeupStart, ResetOrRebootStartsTheNamedImage)
{
    enum How { RESET1, REBOOT, RESET3 };
    struct Case {
        const char *what;
        int board;
        hlvdsim::PrgRecipe r;
        std::vector<std::pair<size_t, uint32_t>> wakeup; // 0: the image's id
        How how;
        bool starts;
    } cases[] = {
        {"SLI-3 slot, reset 1", kSli3, recipe(11, 0xBE, 0x2113, "2.10", 1000), {{9, 0}, {10, 7}}, RESET1, true},
        {"SLI-3 slot, reboot", kSli3, recipe(11, 0xBE, 0x2113, "2.10", 1000), {{9, 0}, {10, 7}}, REBOOT, true},
        {"SLI-2 slot when SLI-3 is 0", kSli3, recipe(7, 0xB0, 0x1A05, "1.90A5", 500), {{9, 0}, {10, 0}, {7, 0}},
         RESET1, true},
        {"SLI-4 slot", kVarrow, recipe(14, 0x4D, 0x3120, "3.12", 800), {{11, 0}}, RESET1, true},
        {"SLI-4 slot, reboot", kVarrow, recipe(14, 0x4D, 0x3120, "3.12", 800), {{11, 0}}, REBOOT, true},
        {"id not in the load list", kSli3, recipe(11, 0xBE, 0x2113, "2.10", 1000), {{9, 0x0BBF2113}}, RESET1,
         false},
        {"another reset kind", kSli3, recipe(11, 0xBE, 0x2113, "2.10", 1000), {{9, 0}}, RESET3, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        hlvdtest::SimHost host;
        Revision before = read_rev(host.root(), c.board);
        Bytes img = prg(c.r);
        uint32_t id0 = be32(img, 4);
        ASSERT_EQ(0, download(host.root(), c.board, img));
        std::vector<std::pair<size_t, uint32_t>> w = c.wakeup;
        for (auto &x : w)
            if (x.second == 0 && x.first != 10)
                x.second = id0;
        set_wakeup(host.root(), c.board, w);
        EXPECT_EQ(before.name, read_rev(host.root(), c.board).name) << "nothing starts before the reset";
        if (c.how == REBOOT)
            ASSERT_TRUE(hlvdsim::reboot_adapters(host.root(), c.board == kVarrow ? "fc-sli4" : "fc-sli3", nullptr,
                                                 nullptr));
        else
            ASSERT_EQ(0, hlvdsim::fc_simple_call(host.root(), "ResetAdapter", c.board, {c.how == RESET1 ? 1 : 3},
                                                 nullptr));
        Revision after = read_rev(host.root(), c.board);
        if (!c.starts) {
            EXPECT_EQ(before.name, after.name);
            EXPECT_EQ(before.w8, after.w8);
            continue;
        }
        EXPECT_EQ(c.r.version, after.name);
        for (uint32_t word : {after.w8, after.w12}) {
            EXPECT_EQ(c.r.rev & 0xFFFu, word & 0xFFF);
            EXPECT_EQ(c.r.rev >> 12, word >> 28);
        }
        // The JEDEC id stays where the identification reads it.
        EXPECT_EQ((before.w8 >> 12) & 0xFFFF, (after.w8 >> 12) & 0xFFFF);
        EXPECT_EQ((before.w12 >> 12) & 0xFFFF, (after.w12 >> 12) & 0xFFFF);
        // The other port runs what it ran.
        EXPECT_EQ(read_rev(host.root(), c.board + 1).name, before.name);
    }
}

} // namespace
