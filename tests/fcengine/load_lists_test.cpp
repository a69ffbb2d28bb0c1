// Load-list walks, program descriptions and deletes by image type, against
// adapter memory laid out in the machine description; the command log shows
// what was read and deleted.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "fc_fixture.h"
#include "hba/load_lists.h"
#include "hba/mbox_commands.h"

namespace {

using fctest::json;

const uint32_t kEntries = 0x1000;

// One image of a hand-made load list.
struct Img {
    uint32_t id0;
    std::string text; // bytes of the description as the adapter stores them
    uint32_t flags = 0; // word at image + 12
    uint32_t bias = 0;  // word at image + 28
};

uint32_t word_of(const std::string &t, size_t at, bool swapped)
{
    uint8_t c[4] = {};
    for (size_t k = 0; k < 4; ++k)
        c[k] = at + k < t.size() ? static_cast<uint8_t>(t[at + k]) : 0;
    if (swapped)
        return uint32_t(c[0]) << 24 | uint32_t(c[1]) << 16 | uint32_t(c[2]) << 8 | c[3];
    return uint32_t(c[3]) << 24 | uint32_t(c[2]) << 16 | uint32_t(c[1]) << 8 | c[0];
}

uint32_t image_address(size_t i)
{
    return 0x100000 + static_cast<uint32_t>(i) * 0x10000;
}

// Flash list entries at 0x1000 + 24 i, linked in order back to the head, each
// image's description placed where its header words say; `link` overrides
// links (entry index -> address).
std::map<uint32_t, uint32_t> flash_memory(const std::vector<Img> &images,
                                          const std::map<size_t, uint32_t> &link = {})
{
    std::map<uint32_t, uint32_t> mem;
    mem[FLASH_LOAD_LIST_HEAD] = images.empty() ? FLASH_LOAD_LIST_HEAD : kEntries;
    mem[RAM_LOAD_LIST_HEAD] = RAM_LOAD_LIST_HEAD;
    for (size_t i = 0; i < images.size(); ++i) {
        const Img &im = images[i];
        const uint32_t at = kEntries + static_cast<uint32_t>(i) * 24, a = image_address(i);
        mem[at] = i + 1 < images.size() ? at + 24 : FLASH_LOAD_LIST_HEAD;
        if (link.count(i))
            mem[at] = link.at(i);
        mem[at + 8] = a;
        mem[at + 16] = im.id0;
        mem[at + 20] = static_cast<uint32_t>(i);
        mem[a + 12] = im.flags;
        mem[a + 28] = im.bias;
        const uint32_t start = a + ((im.flags & 8) ? 100 : 48);
        const uint32_t type = im.id0 >> 24;
        // Pointer word: 0x200 on from the image, corrected by the bias word.
        mem[start + (type == 0 ? 4 : 8)] = 0x200 + im.bias - (start - a);
        for (uint32_t k = 0; k < 24; k += 4)
            mem[a + 0x200 + k] = word_of(im.text, k, type != 3);
    }
    return mem;
}

std::string machine_with(const std::map<uint32_t, uint32_t> &mem)
{
    json m = json::object();
    for (const auto &kv : mem)
        m[std::to_string(kv.first)] = kv.second;
    json hba = fctest::sli3_hba("a", 0x10);
    hba["functions"][0]["fc"] = {{"memory", m}};
    return fctest::machine({hba});
}

std::vector<json> sent(const fctest::FcHost &host, int mbox)
{
    std::vector<json> out;
    for (const json &e : host.calls("IssueMboxWithRetry"))
        if (e.value("mbox", 0) == mbox)
            out.push_back(e);
    return out;
}

std::vector<Img> numbered(size_t n, uint32_t type = 11)
{
    std::vector<Img> v;
    for (size_t i = 0; i < n; ++i)
        v.push_back({type << 24 | static_cast<uint32_t>(i + 1) << 16, "image " + std::to_string(i) + "\n"});
    return v;
}

// A list of 12: the first ten are read and the walk stops there.
TEST(FcLoadLists, TwelveEntriesGiveTheFirstTen)
{
    fctest::FcHost host(machine_with(flash_memory(numbered(12))));
    ASSERT_TRUE(host.built());
    const int b = host.board(0x10);
    host.clear_log();
    LOAD_LIST list;
    ASSERT_EQ(0u, ReadFlashLoadList(b, &list));
    ASSERT_EQ(10u, list.count);
    for (uint32_t i = 0; i < list.count; ++i) {
        EXPECT_EQ(image_address(i), list.entries[i].imageAddress);
        EXPECT_EQ(i, list.entries[i].programId[1]);
        EXPECT_EQ("image " + std::to_string(i), std::string(list.entries[i].description));
    }
    // No entry past the tenth was asked for.
    for (const json &e : sent(host, MBX_DUMP_MEMORY))
        EXPECT_NE(kEntries + 10 * 24, e.value("address", 0u)) << e.dump();
}

// Lists that do not end at their head: a walk fails and deletes nothing.
TEST(FcLoadLists, LoopsAreFailures)
{
    struct Case {
        const char *name;
        std::map<size_t, uint32_t> link;
    } cases[] = {
        {"back to the first", {{2, kEntries}}},
        {"to itself", {{0, kEntries}}},
        {"to zero, the start", {{1, 0}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fctest::FcHost host(machine_with(flash_memory(numbered(3), c.link)));
        ASSERT_TRUE(host.built());
        const int b = host.board(0x10);
        LOAD_LIST list;
        EXPECT_EQ(LOAD_LIST_BROKEN, ReadFlashLoadList(b, &list));
        EXPECT_LE(list.count, 3u);
        host.clear_log();
        EXPECT_EQ(static_cast<int>(LOAD_LIST_BROKEN), DeleteImageType(b, 11));
        EXPECT_TRUE(sent(host, MBX_DEL_LD_ENTRY).empty());
        BOOT_BIOS_REPORT report;
        EXPECT_EQ(BOOT_BIOS_UNKNOWN, IsBootBiosEnabled(b, &report));
    }
}

TEST(FcLoadLists, EmptyList)
{
    fctest::FcHost host(machine_with(flash_memory({})));
    ASSERT_TRUE(host.built());
    const int b = host.board(0x10);
    LOAD_LIST list;
    EXPECT_EQ(LOAD_LIST_EMPTY, ReadFlashLoadList(b, &list));
    EXPECT_EQ(0u, list.count);
    EXPECT_EQ(static_cast<int>(LOAD_LIST_EMPTY), DeleteImageType(b, 3));
    BOOT_BIOS_REPORT report;
    EXPECT_EQ(BOOT_BIOS_UNKNOWN, IsBootBiosEnabled(b, &report));
    LOAD_LIST_ENTRY e;
    uint32_t cursor = 0;
    EXPECT_EQ(LOAD_LIST_EMPTY, GetNextRamEntry(b, &e, &cursor));
    EXPECT_EQ(LOAD_LIST_END, GetNextRamEntry(b, &e, &cursor));
}

TEST(FcLoadLists, Descriptions)
{
    const std::string full24 = "ABCDEFGHIJKLMNOPQRSTUVWX";
    struct Case {
        Img img;
        const char *want;
    } cases[] = {
        {{0x0B010000, "SLI-3 firmware\0junk"}, "SLI-3 firmware"},
        {{0x03010000, "boot code\nmore"}, "boot code"},           // type 3: stored unswapped
        {{0x00010000, "type zero"}, "type zero"},                 // pointer word at base + 4
        {{0x07010000, "long header", 0x08, 0}, "long header"},    // base at image + 100
        {{0x07020000, "with bias", 0, 0x40}, "with bias"},        // pointer less the bias word
        {{0x07030000, full24}, ""},                               // no room for a terminator
        {{0x07040000, full24.substr(0, 23)}, "ABCDEFGHIJKLMNOPQRSTUVW"},
        {{0, "x"}, "<Available>"},
        {{0xFFFFFFFF, "x"}, "<Available>"},
        {{0x0F000000, "x"}, "<Unknown>"},
    };
    std::vector<Img> images;
    for (const Case &c : cases)
        images.push_back(c.img);
    fctest::FcHost host(machine_with(flash_memory(images)));
    ASSERT_TRUE(host.built());
    const int b = host.board(0x10);
    LOAD_LIST list;
    ASSERT_EQ(0u, ReadFlashLoadList(b, &list));
    ASSERT_EQ(10u, list.count);
    for (size_t i = 0; i < list.count; ++i)
        EXPECT_EQ(std::string(cases[i].want), std::string(list.entries[i].description)) << i;

    // A failed read of the header flags fails the description, which stays empty.
    LOAD_LIST_ENTRY e = list.entries[0];
    host.clear_log();
    host.plan({{"match", {{"board", b}, {"mbox", MBX_DUMP_MEMORY}}}, {"kind", "kpl"}, {"mbox_status", 0x33}});
    EXPECT_EQ(MBOX_FAILED, GetProgramDescription(b, PROGRAM_KIND_FLASH, &e));
    EXPECT_EQ(std::string(), std::string(e.description));
    auto dumps = sent(host, MBX_DUMP_MEMORY);
    ASSERT_EQ(1u, dumps.size());
}

// Deletes by type leave free slots and other types alone; the boot-image
// report follows the wakeup record's boot slot.
TEST(FcLoadLists, DeleteByTypeAndBootReport)
{
    std::vector<Img> images = {
        {0x03010000, "boot A\n"}, {0x0B010000, "fw\n"}, {0xFFFFFFFF, ""}, {0x03020000, "boot B\n"}, {0, ""},
    };
    fctest::FcHost host(machine_with(flash_memory(images)));
    ASSERT_TRUE(host.built());
    const int b = host.board(0x10);

    // The default wakeup record names neither boot image above.
    BOOT_BIOS_REPORT report;
    EXPECT_EQ(0, IsBootBiosEnabled(b, &report));
    EXPECT_EQ(0u, report.started);
    EXPECT_EQ(2u, report.notStarted);
    const uint32_t second = report.images[1].programId[0];
    EXPECT_EQ(0x03020000u, second);

    // A wakeup record that cannot be read tells nothing: unknown, never "not started".
    host.plan({{"match", {{"board", b}, {"mbox", MBX_DUMP_MEMORY}, {"sub", 2}}}, {"kind", "kpl"}, {"mbox_status", 0x33}});
    EXPECT_EQ(BOOT_BIOS_UNKNOWN, IsBootBiosEnabled(b, &report));
    host.clear_faults();

    host.clear_log();
    EXPECT_EQ(0, DeleteImageType(b, 0xFF));
    EXPECT_TRUE(sent(host, MBX_DEL_LD_ENTRY).empty());
    EXPECT_EQ(0, DeleteImageType(b, 3));
    auto deletes = sent(host, MBX_DEL_LD_ENTRY);
    ASSERT_EQ(2u, deletes.size());
    LOAD_LIST list;
    ASSERT_EQ(0u, ReadFlashLoadList(b, &list));
    ASSERT_EQ(3u, list.count);
    EXPECT_EQ(0x0B010000u, list.entries[0].programId[0]);
    EXPECT_EQ(BOOT_BIOS_UNKNOWN, IsBootBiosEnabled(b, &report));
}

// Both lists as the simulated adapter lays them out from its images (the RAM
// copy at an address of its own), and the boot image its wakeup record names.
TEST(FcLoadLists, BothListsOfTheSimulatedAdapter)
{
    json hba = fctest::sli3_hba("a", 0x10);
    hba["functions"][0]["fc"] = {
        {"images",
         {{{"id0", 0x0B4C2100}, {"id1", 1}, {"address", 0x20000}, {"description", "SLI-3 fw 2.01"}},
          {{"id0", 0x034C1200}, {"id1", 1}, {"address", 0x60000}, {"description", "Boot 5.12"},
           {"long_header", true}},
          {{"id0", 0x034C1300}, {"id1", 1}, {"address", 0x80000}, {"description", "Boot 5.13"}}}},
        {"ram_images", {{{"id0", 0x0B4C2100}, {"id1", 1}, {"address", 0x200000}, {"description", "running"}}}}};
    fctest::FcHost host(fctest::machine({hba}));
    ASSERT_TRUE(host.built());
    const int b = host.board(0x10);
    LOAD_LIST list;
    ASSERT_EQ(0u, ReadFlashLoadList(b, &list));
    ASSERT_EQ(3u, list.count);
    const char *texts[] = {"SLI-3 fw 2.01", "Boot 5.12", "Boot 5.13"};
    for (uint32_t i = 0; i < 3; ++i)
        EXPECT_EQ(std::string(texts[i]), std::string(list.entries[i].description)) << i;

    LOAD_LIST_ENTRY e;
    uint32_t cursor = 0;
    ASSERT_EQ(0u, GetNextRamEntry(b, &e, &cursor));
    EXPECT_EQ(0x0B4C2100u, e.programId[0]);
    EXPECT_EQ(std::string("running"), std::string(e.description));
    EXPECT_EQ(LOAD_LIST_END, GetNextRamEntry(b, &e, &cursor));

    // The record names the first boot image: the last in list order is not started.
    BOOT_BIOS_REPORT report;
    EXPECT_EQ(0, IsBootBiosEnabled(b, &report));
    EXPECT_EQ(1u, report.started);
    EXPECT_EQ(1u, report.notStarted);
    EXPECT_EQ(1, report.images[0].started);
}

} // namespace
