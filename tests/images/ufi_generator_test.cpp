// The image generator: files laid out as the flashing side reads them, with
// their defaults fitting the default machine, and each deliberate fault.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "adapters/board_predicates.h"
#include "flash/ufi_image.h"
#include "image_fixture.h"
#include "sim/machine.h"
#include "sim/ufi_generator.h"

namespace {

using imgtest::le32;
using imgtest::ScratchDir;
using imgtest::write_image;

const uint8_t kCookie[32] = {'*', '*', '*', ' ', 'T', 'Q', ' ', 'F', 'L', 'A', 'S', 0,   0,   0,   0,   0,
                             'H', ' ', 'D', 'I', 'R', 'E', 'C', 'T', 'O', 'R', 'Y', ' ', '*', '*', '*', ' '};

std::vector<uint8_t> build(const hlvdsim::UfiSpec &recipe)
{
    std::vector<uint8_t> b;
    std::string err;
    EXPECT_TRUE(hlvdsim::build_ufi(recipe, b, &err)) << err;
    return b;
}

// The directory search of the flashing side: from `start` in steps of 32,
// needing the whole directory in the file. -1 when not found.
int64_t find_directory(const std::vector<uint8_t> &b, size_t start, size_t dirSize)
{
    for (size_t at = start; at + dirSize <= b.size(); at += 32)
        if (std::memcmp(&b[at], kCookie, 32) == 0)
            return static_cast<int64_t>(at);
    return -1;
}

// A slot ends with the CRC-32 of its other bytes.
void expect_slot_crc(const std::vector<uint8_t> &b, size_t at, uint32_t size, const std::string &what)
{
    ASSERT_LE(at + size, b.size()) << what;
    EXPECT_EQ(le32(b, at + size - 4), hlvdsim::ufi_crc32(&b[at], size - 4)) << what;
}

void expect_stamp(const std::vector<uint8_t> &b, size_t at, uint32_t entryType, uint32_t opType,
                  const std::string &version)
{
    hlvdsim::UfiStamp stamp;
    ASSERT_TRUE(hlvdsim::read_ufi_stamp(&b[at], b.size() - at, stamp)) << std::hex << at;
    EXPECT_EQ(stamp.entry_type, entryType);
    EXPECT_EQ(stamp.op_type, opType);
    EXPECT_EQ(stamp.version, version);
}

TEST(UfiGenerator, Crc32)
{
    const char *text = "123456789";
    EXPECT_EQ(hlvdsim::ufi_crc32(reinterpret_cast<const uint8_t *>(text), 9), 0xCBF43926u);
    EXPECT_EQ(hlvdsim::ufi_crc32(nullptr, 0), 0u);
}

// Without ids an image fits the default machine's adapter of its generation,
// as the converged checks and the flashing side test it.
TEST(UfiGenerator, DefaultsFitTheDefaultMachine)
{
    hlvdtest::SimHost host;
    hlvdsim::Machine m;
    std::string err;
    ASSERT_TRUE(hlvdsim::load_machine(host.root(), m, &err)) << err;
    ScratchDir dir;
    int seen = 0;
    for (const hlvdsim::Adapter &a : m.adapters) {
        int gen = a.generation == "AW2" ? 2 : a.generation == "AW3" ? 3 : a.generation == "Trelmont" ? 4 : 0;
        if (!gen)
            continue;
        ++seen;
        hlvdsim::UfiSpec recipe = hlvdsim::default_ufi_spec(gen, "1.2.3.4");
        std::string path = write_image(dir.file(a.name + ".ufi"), recipe);
        AW2_FILE_HEADER_T h;
        ASSERT_EQ(ReadUFIHeaderAW2(path.c_str(), &h), 0);
        EXPECT_EQ(h.FH_FileLen, GetFileLength(path.c_str())) << a.name;
        char raw[24];
        uint8_t decodedGen = 0;
        char version[64];
        ASSERT_EQ(GetRawUFIBuildString(path.c_str(), raw), 0);
        ASSERT_EQ(DecodeRawBuildString(raw, &decodedGen, version, sizeof version), 0);
        EXPECT_EQ(decodedGen, gen);
        EXPECT_STREQ(version, "1.2.3.4");

        std::vector<uint8_t> b = imgtest::read_bytes(path);
        size_t H = gen == 2 ? 96 : 128 + 48 * le32(b, 68);
        int64_t at = find_directory(b, H, gen == 2 ? 2256 : 2240);
        ASSERT_GE(at, 0) << a.name;
        for (const hlvdsim::Function &f : a.functions) {
            bool listed = false;
            for (int k = 0; k < 8; ++k)
                listed = listed || (le32(b, at + 48 + 16 * k) == f.vendor && le32(b, at + 52 + 16 * k) == f.device_id);
            EXPECT_TRUE(listed) << a.name << " function " << f.function;
            if (gen == 2) {
                EXPECT_EQ(h.FH_ContrlId.Vendor, f.vendor);
                EXPECT_EQ(h.FH_ContrlId.Device, f.device_id);
            }
            if (gen == 4) {
                EXPECT_GE(b[96], f.revision) << "ASIC_Support below the adapter's revision";
            }
            if (gen == 3 && f.revision >= 16) {
                EXPECT_GE(b[96], 16) << "an R adapter needs an R image";
            }
        }
        if (gen == 2) {
            AW2_FLASHDIR_TYPE fd;
            ASSERT_EQ(ReadUFIFlashDir(path.c_str(), &fd, 0), 0);
            EXPECT_TRUE(isUFIFlashDirAW2(&fd));
        }
    }
    EXPECT_EQ(seen, 3);
}

TEST(UfiGenerator, Gen2LayoutAsTheRegionsAreRead)
{
    std::vector<uint8_t> b = build(hlvdsim::default_ufi_spec(2, "4.2.433.604"));
    ASSERT_EQ(b.size(), 96u + 0x7C0000u);
    EXPECT_EQ(le32(b, 56), b.size());
    EXPECT_EQ(std::memcmp(b.data(), "Tranquilforge Corp", 18), 0);
    EXPECT_EQ(b[72], '2');
    for (const hlvdsim::UfiAw2Region &r : hlvdsim::kUfiAw2Regions) {
        expect_stamp(b, 96 + r.flash_offset, r.entry_type, r.op_type, "4.2.433.604");
        expect_slot_crc(b, 96 + r.flash_offset, r.length, "region " + std::to_string(r.op_type));
    }
    // The redboot CRC the firmware reports back sits at 0x4005C.
    EXPECT_EQ(le32(b, 0x4005C), hlvdsim::ufi_crc32(&b[96], 0x40000 - 4));
    // The directory is found from the start of the file and from the end of
    // the header alike, between the redboot and the FCoE BIOS regions.
    EXPECT_EQ(find_directory(b, 0, 2256), 0x40060);
    EXPECT_EQ(find_directory(b, 96, 2256), 0x40060);
    EXPECT_EQ(le32(b, 40), 0x19A2u);
    EXPECT_EQ(le32(b, 32), hlvdsim::ufi_crc32(&b[96], b.size() - 96));
    EXPECT_EQ(le32(b, 36), ~le32(b, 32));
}

TEST(UfiGenerator, Gen3LayoutAsTheComponentTableReadsIt)
{
    hlvdsim::UfiSpec recipe = hlvdsim::default_ufi_spec(3, "10.2.370.15");
    recipe.components = {{0xE0, 0, 0}, {0xC0, 0, 0}};
    recipe.asic_support = 0x11;
    std::vector<uint8_t> b = build(recipe);
    const size_t H = 128 + 48;
    EXPECT_EQ(le32(b, 68), 1u);  // FH_NumOfImgs
    EXPECT_EQ(le32(b, 128), 1u); // the image flashed
    EXPECT_EQ(b[72], '3');
    EXPECT_EQ(b[96], 0x11);
    int64_t at = find_directory(b, H, 2240);
    ASSERT_EQ(at, static_cast<int64_t>(H));
    EXPECT_EQ(le32(b, at + 44), 2u);
    std::vector<uint32_t> listed;
    for (int i = 0; i < 32; ++i)
        listed.push_back(le32(b, at + 192 + 64 * i));
    for (const hlvdsim::UfiAw3Component &c : hlvdsim::kUfiAw3Components) {
        bool present = std::find(listed.begin(), listed.end(), c.entry_type) != listed.end();
        EXPECT_EQ(present, c.entry_type == 0xE0 || c.entry_type == 0xC0) << std::hex << c.entry_type;
        if (present) {
            expect_stamp(b, H + c.offset, c.entry_type, c.op_type, "10.2.370.15");
            expect_slot_crc(b, H + c.offset, c.size, "component");
        }
    }
    EXPECT_EQ(b.size(), H + 0x140000 + 0x40000); // ends with the PHY firmware
}

TEST(UfiGenerator, Gen4LayoutAsTheDirectoryDrivesIt)
{
    hlvdsim::UfiSpec recipe = hlvdsim::default_ufi_spec(4, "11.1.183.23");
    recipe.components.push_back({0x30, 0xFFFF, 0x1800}); // written without a CRC comparison
    std::vector<uint8_t> b = build(recipe);
    const size_t H = 128 + 48;
    EXPECT_EQ(b[96], 0x10);
    int64_t at = find_directory(b, H, 2240);
    ASSERT_GE(at, 0);
    uint32_t count = le32(b, at + 44);
    ASSERT_EQ(count, 4u);
    for (uint32_t i = 0; i < count; ++i) {
        size_t e = at + 192 + 64 * i;
        uint32_t type = le32(b, e), offset = le32(b, e + 4), maxSize = le32(b, e + 8), op = le32(b, e + 24) & 0xFFFF;
        EXPECT_EQ(op, i < 3 ? hlvdsim::ufi_trelmont_op_type(type) : 0xFFFFu);
        EXPECT_EQ(offset % 0x1000, 0u);
        ASSERT_LE(H + offset + maxSize, b.size());
        // The CRC the comparison reads, at header size + offset + max_size - 4.
        expect_slot_crc(b, H + offset, maxSize, "entry " + std::to_string(i));
        EXPECT_EQ(le32(b, e + 16), le32(b, H + offset + maxSize - 4));
        expect_stamp(b, H + offset, type, le32(b, e + 24), "11.1.183.23");
    }
    // A different version gives different component bytes, hence different CRCs.
    std::vector<uint8_t> other = build(hlvdsim::default_ufi_spec(4, "11.1.183.24"));
    EXPECT_NE(le32(b, at + 192 + 16), le32(other, at + 192 + 16));
}

TEST(UfiGenerator, Faults)
{
    for (int gen : {2, 3, 4}) {
        SCOPED_TRACE("generation " + std::to_string(gen));
        hlvdsim::UfiSpec recipe = imgtest::small_spec(gen, "1.0.0.0");
        if (gen == 4)
            recipe = hlvdsim::default_ufi_spec(4, "1.0.0.0");
        const std::vector<uint8_t> good = build(recipe);
        const size_t H = gen == 2 ? 96 : 176;
        const size_t dirSize = gen == 2 ? 2256 : 2240;

        recipe.faults = hlvdsim::UFI_FAULT_LONG;
        std::vector<uint8_t> b = build(recipe);
        EXPECT_EQ(b.size(), le32(b, 56) + 1u);
        recipe.faults = hlvdsim::UFI_FAULT_SHORT;
        b = build(recipe);
        EXPECT_EQ(b.size(), le32(b, 56) - 1u);
        EXPECT_EQ(le32(b, 56), good.size());

        recipe.faults = hlvdsim::UFI_FAULT_COOKIE_MISPLACED;
        b = build(recipe);
        EXPECT_EQ(find_directory(b, 0, dirSize), -1);
        EXPECT_EQ(find_directory(b, H, dirSize), -1);
        recipe.faults = hlvdsim::UFI_FAULT_NO_COOKIE;
        b = build(recipe);
        EXPECT_EQ(find_directory(b, H, dirSize), -1);

        recipe.faults = hlvdsim::UFI_FAULT_BAD_SIGNATURE;
        b = build(recipe);
        EXPECT_NE(std::memcmp(b.data(), "Tranquilforge Corp", 18), 0);
        EXPECT_EQ(find_directory(b, H, dirSize), static_cast<int64_t>(H));

        if (gen == 2)
            continue;
        recipe.faults = hlvdsim::UFI_FAULT_BAD_ENTRIES;
        b = build(recipe);
        int64_t at = find_directory(b, H, dirSize);
        ASSERT_GE(at, 0);
        EXPECT_GT(le32(b, at + 44), 32u); // more entries announced than a directory holds
        bool beyond = false, wraps = false, tiny = false;
        for (int i = 0; i < 32; ++i) {
            size_t e = at + 192 + 64 * i;
            uint64_t offset = le32(b, e + 4), size = le32(b, e + 8);
            if (!le32(b, e))
                continue;
            beyond = beyond || (offset + size <= UINT32_MAX && H + offset + size > b.size());
            wraps = wraps || offset + size > UINT32_MAX;
            tiny = tiny || size < 4;
        }
        EXPECT_TRUE(beyond);
        EXPECT_TRUE(wraps);
        EXPECT_TRUE(tiny);
    }
}

TEST(UfiGenerator, BuildStringAndHeaderParameters)
{
    hlvdsim::UfiSpec recipe = imgtest::small_spec(3, "9.9.9.9", 0x10);
    recipe.raw_build = true;
    recipe.build = "3 4.2.433.3-abcdefghijkl"; // 24 characters: no terminator
    recipe.image_ids = {2, 1, 7};
    recipe.ufi_version = "TQ01";
    recipe.dir_count = 5;
    std::vector<uint8_t> b = build(recipe);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(&b[72]), 24), recipe.build);
    EXPECT_EQ(b[96], 0x10);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(&b[52]), 4), "TQ01");
    EXPECT_EQ(le32(b, 68), 3u);
    EXPECT_EQ(le32(b, 128), 2u);
    EXPECT_EQ(le32(b, 176), 1u);
    EXPECT_EQ(le32(b, 224), 7u);
    int64_t at = find_directory(b, 128 + 3 * 48, 2240);
    ASSERT_GE(at, 0);
    EXPECT_EQ(le32(b, at + 44), 5u);

    recipe = imgtest::small_spec(2, "2.0.0.1");
    recipe.digit = '1';
    recipe.header_id = {0x19A2, 0x0702, 0x103C, 0x1747};
    b = build(recipe);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(&b[72])), "1 2.0.0.1");
    EXPECT_EQ(le32(b, 44), 0x0702u);
    EXPECT_EQ(le32(b, 52), 0x1747u);
}

TEST(UfiGenerator, SpecsThatCannotBeBuilt)
{
    auto refused = [](hlvdsim::UfiSpec recipe, const char *what) {
        std::vector<uint8_t> b;
        std::string err;
        EXPECT_FALSE(hlvdsim::build_ufi(recipe, b, &err)) << what;
        EXPECT_FALSE(err.empty()) << what;
    };
    hlvdsim::UfiSpec s = hlvdsim::default_ufi_spec(3, "1.0.0.0");
    s.generation = 5;
    refused(s, "generation 5");
    s = hlvdsim::default_ufi_spec(2, "1.0.0.0");
    s.components = {{0xA0, 0, 0}};
    refused(s, "components on gen-2");
    s = hlvdsim::default_ufi_spec(3, "1.0.0.0");
    s.components = {{0x99, 0, 0}};
    refused(s, "a gen-3 type outside the table");
    s.compact = true;
    s.components.clear();
    refused(s, "compact gen-3");
    s = hlvdsim::default_ufi_spec(3, "1.0.0.0");
    s.raw_build = true;
    s.build = std::string(25, '3');
    refused(s, "a build of 25 characters");
    s = hlvdsim::default_ufi_spec(3, "1.2.3.4567890123456789");
    refused(s, "a version that does not fit the build string");
    s = hlvdsim::default_ufi_spec(3, "1.0.0.0");
    s.dir_ids.assign(9, {});
    refused(s, "nine directory ids");
    s = hlvdsim::default_ufi_spec(4, "1.0.0.0");
    s.dir_offset = 10;
    refused(s, "a directory over the headers");
    s = hlvdsim::default_ufi_spec(4, "1.0.0.0");
    s.dir_offset = 176 + 0x1000;
    refused(s, "a directory over a component");
    s = hlvdsim::default_ufi_spec(4, "1.0.0.0");
    s.components = {{0xA0, 0, 3}};
    refused(s, "a slot without room for its CRC");
}

TEST(UfiGenerator, CommandLine)
{
    hlvdsim::UfiSpec recipe;
    std::string out, err;
    ASSERT_TRUE(hlvdsim::ufi_spec_from_args({"--generation", "4", "--version", "11.2.0.0", "-o", "x.ufi"}, recipe, out,
                                            &err))
        << err;
    EXPECT_EQ(out, "x.ufi");
    EXPECT_EQ(recipe.generation, 4);
    EXPECT_EQ(recipe.asic_support, 0x10);
    ASSERT_EQ(recipe.dir_ids.size(), 2u);
    EXPECT_EQ(recipe.dir_ids[0].device, 0x0720u);
    EXPECT_EQ(recipe.dir_ids[1].device, 0x0722u);

    ASSERT_TRUE(hlvdsim::ufi_spec_from_args(
        {"--generation", "4", "--version", "11.2.0.0", "--asic-support", "0x20", "--device-id", "0x0722",
         "--component", "0xA0:0x8000", "--component", "0x30:4096:0xFFFF", "--image-id", "3", "--image-id", "1",
         "--fault", "long", "--fault", "bad-entries", "--dir-count", "7", "-o", "y.ufi"},
        recipe, out, &err))
        << err;
    EXPECT_EQ(recipe.asic_support, 0x20);
    ASSERT_EQ(recipe.dir_ids.size(), 1u);
    EXPECT_EQ(recipe.dir_ids[0].device, 0x0722u);
    EXPECT_EQ(recipe.dir_ids[0].vendor, 0x19A2u);
    ASSERT_EQ(recipe.components.size(), 2u);
    EXPECT_EQ(recipe.components[0].max_size, 0x8000u);
    EXPECT_EQ(recipe.components[0].op_type, 0u);
    EXPECT_EQ(recipe.components[1].op_type, 0xFFFFu);
    EXPECT_EQ(recipe.image_ids, (std::vector<uint32_t>{3, 1}));
    EXPECT_EQ(recipe.faults, unsigned(hlvdsim::UFI_FAULT_LONG | hlvdsim::UFI_FAULT_BAD_ENTRIES));
    EXPECT_EQ(recipe.dir_count, 7);

    ASSERT_TRUE(hlvdsim::ufi_spec_from_args({"--generation", "2", "--build", "1 4.0.360.15", "--compact",
                                             "--dir-id", "0x19A2:0x0700:0x103C:0x1747", "--dir-id", "0:0x214:0:0",
                                             "-o", "z.ufi"},
                                            recipe, out, &err))
        << err;
    EXPECT_TRUE(recipe.raw_build);
    EXPECT_TRUE(recipe.compact);
    ASSERT_EQ(recipe.dir_ids.size(), 2u);
    EXPECT_EQ(recipe.dir_ids[1].device, 0x214u);
    EXPECT_EQ(recipe.header_id.device, 0x0700u); // the default header id stays

    const std::vector<std::vector<std::string>> bad = {
        {"--generation", "5", "--version", "1", "-o", "x"},
        {"--generation", "3", "--version", "1"},
        {"--generation", "3", "-o", "x"},
        {"--version", "1", "-o", "x"},
        {"--generation", "2", "--version", "1", "--asic-support", "1", "-o", "x"},
        {"--generation", "3", "--version", "1", "--asic-support", "256", "-o", "x"},
        {"--generation", "3", "--version", "1", "--component", "0xA0:16", "-o", "x"},
        {"--generation", "3", "--version", "1", "--dir-id", "1:2:3", "-o", "x"},
        {"--generation", "3", "--version", "1", "--fault", "melted", "-o", "x"},
        {"--generation", "3", "--version", "1", "--device-id", "-1", "-o", "x"},
        {"--generation", "3", "--version", "1", "--bogus", "1", "-o", "x"},
        {"--generation", "3", "--version", "1", "-o"},
    };
    for (const auto &args : bad) {
        std::string joined;
        for (const std::string &a : args)
            joined += a + " ";
        err.clear();
        EXPECT_FALSE(hlvdsim::ufi_spec_from_args(args, recipe, out, &err)) << joined;
        EXPECT_FALSE(err.empty()) << joined;
    }
}

TEST(UfiGenerator, StampsAreRecognised)
{
    std::vector<uint8_t> b = build(hlvdsim::default_ufi_spec(4, "11.1.183.23"));
    hlvdsim::UfiStamp stamp;
    EXPECT_TRUE(hlvdsim::read_ufi_stamp(&b[176 + 0x1000], 0x4000, stamp));
    EXPECT_EQ(stamp.generation, 4u);
    EXPECT_EQ(stamp.slot_size, 0x4000u);
    EXPECT_FALSE(hlvdsim::read_ufi_stamp(&b[0], b.size(), stamp));
    EXPECT_FALSE(hlvdsim::read_ufi_stamp(&b[176 + 0x1000], 10, stamp));
}

} // namespace
