// The PCI dump of a converged adapter: a file equal to the adapter's 16 MiB
// flash, written whole or not at all.
#include <dirent.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "flash_fixture.h"
#include "mgmt/vexo/core/vexo_status.h"
#include "sim/flash_model.h"

using namespace flashtest;

namespace
{

class Dump : public FlashTest
{
  protected:
    std::string machine() const override
    {
        // The default machine and an adapter with an iSCSI function only.
        json doc = json::parse(flashing_machine());
        doc["adapters"].push_back(json::parse(R"({
          "name": "iscsi-only", "family": "converged", "generation": "AW3", "serial": "AW3ISCSI",
          "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
          "functions": [ { "bus": 9, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712",
                           "revision": "0x01", "port": 0, "mac": "00:00:C9:B3:09:22" } ] })"));
        return doc.dump();
    }

    // Names in the images directory.
    std::vector<std::string> files() const
    {
        std::vector<std::string> out;
        DIR *d = opendir(path("").c_str());
        while (d) {
            dirent *e = readdir(d);
            if (!e)
                break;
            std::string n = e->d_name;
            if (n != "." && n != "..")
                out.push_back(n);
        }
        if (d)
            closedir(d);
        return out;
    }

    void seed_flash(const std::string &name) const
    {
        std::vector<uint8_t> start(5000), end(3000);
        for (size_t i = 0; i < start.size(); ++i)
            start[i] = static_cast<uint8_t>(i * 7 + 1);
        for (size_t i = 0; i < end.size(); ++i)
            end[i] = static_cast<uint8_t>(i * 3 + 2);
        ASSERT_TRUE(hlvdsim::flash_program(host().root(), name, 63990, start));
        ASSERT_TRUE(hlvdsim::flash_program(host().root(), name, hlvdsim::kFlashSize - 3000, end));
    }
};

TEST_F(Dump, TheFileEqualsTheAdaptersFlash)
{
    seed_flash("trelmont");
    std::string out = path("trelmont.dump");
    Outcome o = dump("trelmont", out);
    EXPECT_EQ(0, o.result);
    EXPECT_EQ(VEXO_STATUS_SUCCESS, o.status);
    std::vector<uint8_t> file = read_bytes(out);
    EXPECT_EQ(16777216u, file.size());
    EXPECT_TRUE(file == flash("trelmont"));
    std::vector<json> log = fw_log();
    ASSERT_EQ(263u, log.size());
    for (size_t i = 0; i < log.size(); ++i) {
        Chunk c = chunk_of(log[i]);
        EXPECT_EQ(6, log[i]["opcode"]);
        EXPECT_EQ("nic", log[i]["driver"]);
        EXPECT_EQ(4u, c.op_code);
        EXPECT_EQ(22u, c.op_type);
        EXPECT_EQ(64000u * i, c.offset);
        EXPECT_EQ(i + 1 < log.size() ? 64000u : 9216u, c.size);
        EXPECT_EQ(c.size + 20, log[i]["request_length"]);
    }
}

TEST_F(Dump, AFailedDumpLeavesNoFileAndKeepsTheOldOne)
{
    std::string out = path("old.dump");
    for (int from : {1, 263}) {
        SCOPED_TRACE(from);
        hlvdtest::write_file(out, "the dump of yesterday");
        hlvdsim::fault_clear(host().root());
        plan_status(6, 2, 0, from);
        clear_log();
        Outcome o = dump("aw3", out);
        EXPECT_NE(0, o.result);
        EXPECT_NE(VEXO_STATUS_SUCCESS, o.status) << "a failure leaves a failing status";
        EXPECT_EQ(static_cast<size_t>(from), fw_log().size()) << "no piece is asked for twice";
        EXPECT_EQ("the dump of yesterday", hlvdtest::read_file(out));
        EXPECT_EQ(std::vector<std::string>{"old.dump"}, files());
    }
}

TEST_F(Dump, RefusedTargets)
{
    struct Case {
        const char *what;
        const char *adapter;
        std::string file;
        size_t commands;
        int status;
    } cases[] = {
        {"an adapter without a NIC function", "iscsi-only", path("i.dump"), 0, VEXO_STATUS_NO_CONTROLLER},
        // The temporary file beside it is made, and removed when the rename fails.
        {"a directory", "aw2", path(""), 263, VEXO_STATUS_INVALID_FILE_PATH_NAME},
        {"a name of two characters", "aw2", "ab", 0, VEXO_STATUS_INVALID_SIZE},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        clear_log();
        Outcome o = dump(c.adapter, c.file);
        EXPECT_EQ(1, o.result);
        EXPECT_EQ(c.status, o.status);
        EXPECT_EQ(c.commands, fw_log().size());
        EXPECT_TRUE(files().empty()) << "nothing left behind";
    }
}

} // namespace
