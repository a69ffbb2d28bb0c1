// Downloads into the simulated FC HBAs: DOWN_LOAD pieces that land in the
// flash load list, and what the load list then shows through memory dumps.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/command_log.h"
#include "sim/fc_hba.h"
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

} // namespace
