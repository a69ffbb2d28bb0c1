// Varrow firmware object files: the header checks, the chunked writes to
// "/prg" and what the answers make of them, and reading an adapter object
// back into a host file.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "flash_fixture.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/varrow_flash.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_status.h"
#include "sim/flash_model.h"

using namespace flashtest;

namespace
{

class Varrow : public FlashTest
{
  protected:
    hlvdsim::VarrowObjectSpec recipe(uint32_t size, const char *version = "11.4.300.2") const
    {
        hlvdsim::VarrowObjectSpec s;
        s.version = version;
        s.size = size;
        return s;
    }
};

struct ObjectWrite {
    uint32_t length;
    bool eof;
    uint32_t offset;
    std::string name;
};

ObjectWrite object_write(const json &e)
{
    std::string hex = e["payload"];
    auto byte = [&hex](size_t at) { return static_cast<uint8_t>(std::stoul(hex.substr(at * 2, 2), nullptr, 16)); };
    auto word = [&byte](size_t at) {
        return uint32_t(byte(at)) | uint32_t(byte(at + 1)) << 8 | uint32_t(byte(at + 2)) << 16 |
               uint32_t(byte(at + 3)) << 24;
    };
    std::string name;
    for (size_t i = 8; i < 32 && byte(i); ++i)
        name += static_cast<char>(byte(i));
    return ObjectWrite{word(0) & 0xFFFFFF, (word(0) >> 31) != 0, word(4), name};
}

TEST_F(Varrow, ObjectFileChecks)
{
    std::vector<uint8_t> sound;
    ASSERT_TRUE(hlvdsim::build_varrow_object(recipe(0x2000), sound, nullptr));
    // magicnumlo right, magicnumhi wrong: one matching half is enough.
    std::vector<uint8_t> half = sound;
    half[6] = 0x12;
    half[7] = 0x34;
    hlvdtest::write_file(path("half.obj"), std::string(half.begin(), half.end()));
    hlvdsim::VarrowObjectSpec big = recipe(0x2000);
    big.big_endian = true;
    auto faulty = [this](unsigned fault) {
        hlvdsim::VarrowObjectSpec s = recipe(0x2000);
        s.faults = fault;
        return s;
    };
    struct Case {
        const char *what;
        std::string file;
        int result, status;
    } cases[] = {
        {"183 bytes", make_obj(faulty(hlvdsim::VOBJ_FAULT_SHORT), "short.obj"), 1, VEXO_STATUS_INVALID_IMAGE_FORMAT},
        {"no magic", make_obj(faulty(hlvdsim::VOBJ_FAULT_BAD_MAGIC), "magic.obj"), 1, VEXO_STATUS_INVALID_IMAGE_FORMAT},
        {"size field", make_obj(faulty(hlvdsim::VOBJ_FAULT_BAD_SIZE), "size.obj"), 1, VEXO_STATUS_INVALID_IMAGE_FORMAT},
        {"file type", make_obj(faulty(hlvdsim::VOBJ_FAULT_BAD_TYPE), "type.obj"), 1, VEXO_STATUS_INVALID_IMAGE_FORMAT},
        {"no such file", path("missing.obj"), 1, VEXO_STATUS_FILE_NOT_FOUND},
        {"a directory", path(""), 1, VEXO_STATUS_FILE_NOT_FOUND},
        {"one magic half", path("half.obj"), 0, VEXO_STATUS_REBOOT_REQUIRED},
        {"stored big-endian", make_obj(big, "big.obj"), 0, VEXO_STATUS_REBOOT_REQUIRED},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        clear_log();
        Outcome o = upgrade("varrow", c.file);
        EXPECT_EQ(c.result, o.result);
        EXPECT_EQ(c.status, o.status);
        if (c.result != 0) {
            EXPECT_TRUE(fw_log().empty()) << "refused before anything is sent";
            continue;
        }
        std::vector<uint8_t> object;
        ASSERT_TRUE(hlvdsim::object_contents(host().root(), "varrow", "/prg", object));
        EXPECT_TRUE(object == read_bytes(c.file)) << "written unchanged, header included";
    }
}

TEST_F(Varrow, FilesGoInChunksOf32KiBWithTheLastMarked)
{
    struct Case {
        uint32_t size;
        std::vector<ObjectWrite> chunks;
    } cases[] = {
        {32768, {{32768, true, 0, "/prg"}}},
        {32769, {{32768, false, 0, "/prg"}, {1, true, 32768, "/prg"}}},
        {70000, {{32768, false, 0, "/prg"}, {32768, false, 32768, "/prg"}, {70000 - 65536, true, 65536, "/prg"}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.size);
        clear_log();
        std::string file = make_obj(recipe(c.size), "v.obj");
        ASSERT_EQ(VEXO_STATUS_REBOOT_REQUIRED, upgrade("varrow", file).status);
        std::vector<json> log = fw_log();
        ASSERT_EQ(c.chunks.size(), log.size());
        for (size_t i = 0; i < log.size(); ++i) {
            EXPECT_EQ(172, log[i]["opcode"]);
            EXPECT_EQ(1, log[i]["version"]);
            EXPECT_EQ(32880, log[i]["request_length"]);
            ObjectWrite w = object_write(log[i]);
            EXPECT_EQ(c.chunks[i].length, w.length);
            EXPECT_EQ(c.chunks[i].eof, w.eof);
            EXPECT_EQ(c.chunks[i].offset, w.offset);
            EXPECT_EQ(c.chunks[i].name, w.name);
        }
        std::vector<uint8_t> object;
        ASSERT_TRUE(hlvdsim::object_contents(host().root(), "varrow", "/prg", object));
        EXPECT_TRUE(object == read_bytes(file));
    }
}

TEST_F(Varrow, TheResetAnswerAndFailures)
{
    // The adapter runs this revision already: no reset asked for, and the
    // last status stays as the management API left it.
    Outcome o = upgrade("varrow", make_obj(recipe(0x3000, active_version("varrow").c_str()), "same.obj"));
    EXPECT_EQ(0, o.result);
    EXPECT_EQ(VEXO_STATUS_SUCCESS, o.status);

    plan_status(172, 2, 0, 2);
    o = upgrade("varrow", make_obj(recipe(0x9000), "fail.obj"));
    EXPECT_EQ(1, o.result);
    EXPECT_EQ(VEXO_STATUS_FAILED_FLASH, o.status);
    std::vector<uint8_t> object;
    ASSERT_TRUE(hlvdsim::object_contents(host().root(), "varrow", "/prg", object));
    EXPECT_EQ(0x8000u, object.size()) << "as the firmware left it after the last accepted chunk";
}

TEST_F(Varrow, ObjectsReadBackAreAppendedToTheFile)
{
    node *a = adapter("varrow");
    ASSERT_NE(nullptr, a);
    int port = get_port_number(get_first_instance(a, "NICPhysicalHBA"));
    std::string out = path("dump.bin");

    // Nothing to read: no data, and nothing appended.
    hlvdtest::write_file(out, "head");
    EXPECT_EQ(1, varrow_get_read_object(a, port, out.c_str(), 0, 0, 2, VARROW_READ_DUMP));
    EXPECT_EQ(VEXO_STATUS_NO_DATA_AVAILABLE, vexo_last_status_code);
    EXPECT_EQ("head", hlvdtest::read_file(out));

    std::vector<uint8_t> object(70000);
    for (size_t i = 0; i < object.size(); ++i)
        object[i] = static_cast<uint8_t>(i * 31 + 7);
    ASSERT_TRUE(hlvdsim::object_put(host().root(), "varrow", "/dbg/dump.bin", object));
    clear_log();
    EXPECT_EQ(0, varrow_get_read_object(a, port, out.c_str(), 0, 0, 2, VARROW_READ_DUMP));
    EXPECT_EQ("head" + std::string(object.begin(), object.end()), hlvdtest::read_file(out));
    EXPECT_EQ(4u, fw_log().size()) << "the size, then three pieces";

    plan_status(171, 2, 0, 3);
    EXPECT_EQ(1, varrow_get_read_object(a, port, out.c_str(), 0, 0, 2, VARROW_READ_DUMP));
    EXPECT_EQ(VEXO_STATUS_FAT_DATA, vexo_last_status_code);
}

} // namespace
