// The adapter information call as a host makes it: a count with a null
// array, then a fill of the array it sized by that count. The records are
// read back as raw bytes at their fixed offsets, from an array the "host"
// filled with a pattern, so every field the library must not write shows.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "flash/ovnflashlib.h"
#include "flashfront_fixture.h"
#include "support/host_program.h"

using fronttest::make_ufi;

namespace {

const size_t kRecord = 27516;
const size_t kItems = 1352;
const size_t kItem = 1308;
const uint8_t kHostByte = 0x5A;
const uint32_t kHostWord = 0x5A5A5A5A;

uint32_t le32(const std::vector<uint8_t> &b, size_t at)
{
    return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
           static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// True when the bytes [from, to) still hold the host's pattern.
bool untouched(const std::vector<uint8_t> &b, size_t from, size_t to)
{
    for (size_t i = from; i < to; ++i)
        if (b[i] != kHostByte)
            return false;
    return true;
}

// A terminated text field at `at` of `room` bytes; the bytes after the
// terminator keep the host's pattern.
std::string text_at(const std::vector<uint8_t> &b, size_t at, size_t room)
{
    size_t n = 0;
    while (n < room && b[at + n])
        ++n;
    EXPECT_LT(n, room) << "text at " << at << " is not terminated";
    EXPECT_TRUE(untouched(b, at + n + 1, at + room)) << "text at " << at;
    return std::string(reinterpret_cast<const char *>(&b[at]), n);
}

// An array of `n` records as a host passes it, plus one record beyond its
// end, all bytes set to the pattern.
std::vector<uint8_t> host_array(size_t n)
{
    return std::vector<uint8_t>((n + 1) * kRecord, kHostByte);
}

ven_adapter_info *as_records(std::vector<uint8_t> &b)
{
    return reinterpret_cast<ven_adapter_info *>(b.data());
}

std::string adapter(const std::string &name, const std::string &generation, unsigned seg, unsigned bus,
                    const std::string &device_id, const std::string &subdevice, const std::string &version,
                    const std::string &mac)
{
    char text[1024];
    std::snprintf(text, sizeof text,
                  R"({"name": "%s", "family": "converged", "generation": "%s", "serial": "%sSIM%02u%02u",
        "firmware": {"active": "%s", "flash": "%s", "boot": "%s"},
        "functions": [{"segment": %u, "bus": %u, "device": 0, "function": 0, "kind": "nic", "vendor": "0x19A2",
            "device_id": "%s", "subvendor": "0x10DF", "subdevice": "%s", "revision": "0x01", "port": 0,
            "mac": "%s", "driver": "callback"}]})",
                  name.c_str(), generation.c_str(), name.c_str(), seg, bus, version.c_str(), version.c_str(),
                  version.c_str(), seg, bus, device_id.c_str(), subdevice.c_str(), mac.c_str());
    return text;
}

std::string machine(const std::vector<std::string> &adapters)
{
    std::string m = R"({"adapters": [)";
    for (size_t i = 0; i < adapters.size(); ++i)
        m += (i ? "," : "") + adapters[i];
    return m + "]}";
}

std::string aw3(unsigned seg, unsigned bus, const std::string &mac)
{
    return adapter("aw3s", "AW3", seg, bus, "0x0710", "0xE70E", "10.2.370.15", mac);
}

std::string trelmont(unsigned bus)
{
    return adapter("trl", "Trelmont", 0, bus, "0x0720", "0xE81E", "11.1.183.23", "00:00:C9:C4:00:30");
}

struct Images {
    std::string dir;
    Images() : dir(hlvdtest::make_temp_dir("infoimages")) {}
    ~Images() { hlvdtest::remove_tree(dir); }
};

// Where a listed function's record is, by its PCI address.
size_t record_of(const std::vector<uint8_t> &b, size_t n, uint32_t seg, uint32_t bus, uint32_t fn)
{
    for (size_t i = 0; i < n; ++i) {
        size_t r = i * kRecord;
        if (le32(b, r + 1296) == seg && le32(b, r + 1300) == bus && le32(b, r + 1308) == fn)
            return r;
    }
    ADD_FAILURE() << "no record of " << seg << ":" << bus << "." << fn;
    return SIZE_MAX;
}

struct Version {
    uint32_t major, minor, release;
};

// What one listed function's record must hold.
struct Expected {
    uint32_t bus, fn;
    uint32_t vendor, device, subvendor, subdevice;
    bool converged_mac;      // a 17-character MAC address text, else empty
    uint32_t items;          // 1 or 2
    Version fw;              // active firmware
    bool fw_image;           // an image matches the firmware item
    Version fw_image_version;
};

void check_record(const std::vector<uint8_t> &b, size_t r, const Expected &e, const DiscoveredDevice &listed)
{
    SCOPED_TRACE("record of bus " + std::to_string(e.bus) + " function " + std::to_string(e.fn));
    EXPECT_EQ(listed.product_id, text_at(b, r, 1280));
    const uint32_t ids[8] = {e.vendor, e.device, e.subvendor, e.subdevice, 0, e.bus, 0, e.fn};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(ids[i], le32(b, r + 1280 + 4 * i)) << "at " << 1280 + 4 * i;
    EXPECT_EQ("", text_at(b, r + 1312, 16));
    std::string mac = text_at(b, r + 1328, 20);
    EXPECT_EQ(listed.macaddress, mac);
    EXPECT_EQ(e.converged_mac ? 17u : 0u, mac.size());
    EXPECT_EQ(kHostWord + e.items, le32(b, r + 1348)) << "the count grows from the host's value";
    for (uint32_t k = 0; k < 20; ++k) {
        size_t it = r + kItems + kItem * k;
        EXPECT_TRUE(untouched(b, it, it + 1280)) << "item name " << k;
        EXPECT_TRUE(untouched(b, it + 1304, it + 1308)) << "item tail " << k;
        if (k >= e.items) {
            EXPECT_TRUE(untouched(b, it, it + kItem)) << "item " << k;
            continue;
        }
        Version active = k == 0 ? e.fw : Version{0, 0, 0};
        EXPECT_EQ(active.major, le32(b, it + 1280));
        EXPECT_EQ(active.minor, le32(b, it + 1284));
        EXPECT_EQ(active.release, le32(b, it + 1288));
        if (k == 0 && e.fw_image) {
            EXPECT_EQ(e.fw_image_version.major, le32(b, it + 1292));
            EXPECT_EQ(e.fw_image_version.minor, le32(b, it + 1296));
            EXPECT_EQ(e.fw_image_version.release, le32(b, it + 1300));
        } else {
            EXPECT_TRUE(untouched(b, it + 1292, it + 1304)) << "image version of item " << k;
        }
    }
    EXPECT_TRUE(untouched(b, r + 27512, r + kRecord));
}

// The default host: every converged adapter and the Varrow FC adapter once,
// by its function 0, with the major, minor and release parts of its active
// firmware; both functions of the SLI-3 HBA with a firmware and a boot code
// item of 0.0.0 (their versions have no four-part form); the image version
// only where an image matches.
TEST(AdapterInfo, CountThenFillListsEveryAdapterOnce)
{
    hlvdtest::SimHost host;
    Images images;
    make_ufi(images.dir + "/aw3.ufi", 3, "10.2.380.1");
    make_ufi(images.dir + "/aw2.ufi", 2, "4.2.433.604");
    const Expected expected[] = {
        {3, 0, 0x19A2, 0x0700, 0x10DF, 0xE602, true, 1, {4, 2, 433}, true, {4, 2, 433}},
        {4, 0, 0x19A2, 0x0710, 0x10DF, 0xE70E, true, 1, {10, 2, 370}, true, {10, 2, 380}},
        {5, 0, 0x19A2, 0x0720, 0x10DF, 0xE81E, true, 1, {11, 1, 183}, false, {0, 0, 0}},
        {6, 0, 0x10DF, 0xE228, 0x10DF, 0xE22A, true, 1, {11, 4, 204}, false, {0, 0, 0}},
        {7, 0, 0x10DF, 0xFE00, 0x10DF, 0xFE00, false, 2, {0, 0, 0}, false, {0, 0, 0}},
        {7, 1, 0x10DF, 0xFE00, 0x10DF, 0xFE00, false, 2, {0, 0, 0}, false, {0, 0, 0}},
        {8, 0, 0x10DF, 0xE200, 0x10DF, 0xE201, false, 1, {11, 4, 204}, false, {0, 0, 0}},
    };
    const size_t n = sizeof expected / sizeof expected[0];

    int count = -1;
    ASSERT_EQ(0, oem_get_adapter_info(nullptr, &count, images.dir.c_str()));
    ASSERT_EQ(static_cast<int>(n), count);

    std::vector<uint8_t> b = host_array(n);
    int untouched_count = 777;
    ASSERT_EQ(0, oem_get_adapter_info(as_records(b), &untouched_count, images.dir.c_str()));
    EXPECT_EQ(777, untouched_count) << "the fill neither reads nor writes the count";
    EXPECT_TRUE(untouched(b, n * kRecord, b.size())) << "written past the array";

    // The product and MAC texts are the ones discovery lists.
    std::string xml = host.root() + "/d.xml";
    std::vector<DiscoveredDevice> listed = fronttest::discover(xml, images.dir);
    for (const Expected &e : expected) {
        size_t r = record_of(b, n, 0, e.bus, e.fn);
        DiscoveredDevice *d = fronttest::device_at(listed, e.bus, e.fn);
        if (r != SIZE_MAX && d)
            check_record(b, r, e, *d);
    }
}

// Two adapters with the same bus and device numbers on two segments are two
// adapters.
TEST(AdapterInfo, AdaptersOnTwoSegmentsAreListedApart)
{
    hlvdtest::SimHost host(machine({aw3(0, 4, "00:00:C9:B3:00:20"), aw3(1, 4, "00:00:C9:B3:10:20")}));
    Images images;
    make_ufi(images.dir + "/aw3.ufi", 3, "10.2.370.15");
    int count = 0;
    ASSERT_EQ(0, oem_get_adapter_info(nullptr, &count, images.dir.c_str()));
    ASSERT_EQ(2, count);
    std::vector<uint8_t> b = host_array(2);
    ASSERT_EQ(0, oem_get_adapter_info(as_records(b), &count, images.dir.c_str()));
    EXPECT_NE(SIZE_MAX, record_of(b, 2, 0, 4, 0));
    EXPECT_NE(SIZE_MAX, record_of(b, 2, 1, 4, 0));
}

// An adapter that appears between the count and the fill does not overrun
// the array the host sized by the count; the next count lets it in.
TEST(AdapterInfo, AFillWritesNoMoreRecordsThanCounted)
{
    Images images;
    make_ufi(images.dir + "/aw3.ufi", 3, "10.2.370.15");
    int count = 0;
    {
        hlvdtest::SimHost before(machine({aw3(0, 4, "00:00:C9:B3:00:20")}));
        ASSERT_EQ(0, oem_get_adapter_info(nullptr, &count, images.dir.c_str()));
        ASSERT_EQ(1, count);
    }
    hlvdtest::SimHost grown(machine({aw3(0, 4, "00:00:C9:B3:00:20"), trelmont(5)}));
    std::vector<uint8_t> b = host_array(1);
    ASSERT_EQ(0, oem_get_adapter_info(as_records(b), &count, images.dir.c_str()));
    EXPECT_EQ(1, count);
    EXPECT_NE(kHostWord, le32(b, 1348)) << "the counted record is filled";
    EXPECT_TRUE(untouched(b, kRecord, b.size())) << "written past the counted records";

    ASSERT_EQ(0, oem_get_adapter_info(nullptr, &count, images.dir.c_str()));
    ASSERT_EQ(2, count);
    b = host_array(2);
    ASSERT_EQ(0, oem_get_adapter_info(as_records(b), &count, images.dir.c_str()));
    EXPECT_NE(SIZE_MAX, record_of(b, 2, 0, 5, 0));
    EXPECT_TRUE(untouched(b, 2 * kRecord, b.size()));
}

// Paths of the image directory: one that fits but holds no image gives 8, a
// path of 256 characters or more is refused before anything is read.
TEST(AdapterInfo, ImageDirectoryPaths)
{
    hlvdtest::SimHost host(machine({aw3(0, 4, "00:00:C9:B3:00:20")}));
    Images empty;
    const struct {
        std::string path;
        int code;
    } cases[] = {
        {empty.dir, 8},
        {"/" + std::string(254, 'd'), 8},
        {"/" + std::string(255, 'd'), 10000},
        {"/" + std::string(4096, 'd'), 10000},
    };
    for (const auto &c : cases) {
        int count = -1;
        EXPECT_EQ(c.code, oem_get_adapter_info(nullptr, &count, c.path.c_str())) << c.path.size();
        EXPECT_EQ(-1, count) << "nothing is stored after a failure";
    }
}

TEST(AdapterInfo, HlvdhostPrintsTheRecords)
{
    hlvdtest::SimHost host(machine({aw3(0, 4, "00:00:C9:B3:00:20"), trelmont(5)}));
    Images images;
    make_ufi(images.dir + "/aw3.ufi", 3, "10.2.380.1");
    int status = 0;
    std::string out = hlvdtest::run_hlvdhost({"info", images.dir}, status);
    EXPECT_EQ(0, status) << out;
    const char *lines[] = {
        "adapter functions listed: 2\n",
        "adapter info: 0 (Success)\n",
        "  0000:04:00.0  19A2:0710 10DF:E70E  ",
        "  mac 00:00:C9:B3:00:20  slot -\n      firmware   active 10.2.370  image 10.2.380\n",
        "  0000:05:00.0  19A2:0720 10DF:E81E  ",
        "  mac 00:00:C9:C4:00:30  slot -\n      firmware   active 11.1.183  image -\n",
    };
    for (const char *line : lines)
        EXPECT_NE(std::string::npos, out.find(line)) << line << "\nin\n" << out;

    out = hlvdtest::run_hlvdhost({"info", "/" + std::string(300, 'd')}, status);
    EXPECT_EQ(1, status);
    EXPECT_NE(std::string::npos, out.find("adapter info: 10000 (Invalid arguments passed to function)\n")) << out;
}

} // namespace
