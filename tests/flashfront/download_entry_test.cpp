// The FC engine's download entry on a simulated machine: which path a file
// name and an entry's kind lead to, the converged hand-over's refusals, the
// resets after a download, and how the front end maps the entry's results.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "adapters/adapter_table.h"
#include "adapters/converged_discovery.h"
#include "flash/flash_adapter.h"
#include "flash/oem_status.h"
#include "flashfront_fixture.h"
#include "hba/download_entry.h"
#include "sim/command_log.h"

using fronttest::AdapterTable;
using fronttest::DebugLog;
using fronttest::json;
using hlvdtest::write_file;

namespace {

// The default machine, with a Tessik HBA and an FC function whose resets fail.
std::string machine()
{
    json m = json::parse(hlvdtest::read_file(hlvdtest::source_path("sim/machines/default.json")));
    for (json &a : m["adapters"])
        if (a["name"] == "fc-sli3")
            a["functions"][1]["kpl"] = {{"reset_status", 5}};
    json tessik = {{"name", "tessik"},
                   {"family", "fc"},
                   {"generation", "SLI4"},
                   {"serial", "TSKSIM00001"},
                   {"firmware", {{"active", "1.1.1.1"}, {"flash", "1.1.1.1"}, {"boot", "1.1.1.1"}}},
                   {"functions",
                    {{{"segment", 0}, {"bus", 9}, {"device", 0}, {"function", 0}, {"kind", "fc"},
                      {"vendor", "0x10DF"}, {"device_id", "0xE131"}, {"subvendor", "0x10DF"},
                      {"subdevice", "0xE131"}, {"revision", 1}, {"port", 0}, {"wwpn", "10:00:00:00:C9:AA:00:90"}}}}};
    m["adapters"].push_back(tessik);
    return m.dump();
}

// What a text callback was given.
std::vector<std::string> texts;
void record_text(const char *t)
{
    texts.push_back(t);
}

class DownloadEntry : public ::testing::Test {
protected:
    hlvdtest::SimHost host{machine()};
    AdapterTable table;
    std::string dir = host.path("/images");
    uint32_t fc = 0, fcFailingReset = 0, varrowFc = 0, aw3Nic = 0, aw3Iscsi = 0, varrowNic = 0, tessik = 0;

    void SetUp() override
    {
        ASSERT_TRUE(table.built());
        ASSERT_EQ(1, gVEXO) << "the management library is open while the table stands";
        fc = table.index(0, 7, 0, 0);
        fcFailingReset = table.index(0, 7, 0, 1);
        varrowFc = table.index(0, 8, 0, 0);
        aw3Nic = table.index(0, 4, 0, 0);
        aw3Iscsi = table.index(0, 4, 0, 2);
        varrowNic = table.index(0, 6, 0, 0);
        tessik = table.index(0, 9, 0, 0);
        ASSERT_EQ(0, mkdir(dir.c_str(), 0755));
        hlvdsim::log_clear(host.root());
        texts.clear();
        WIN_Error = -5;
    }

    std::vector<json> kpl_calls() const
    {
        std::vector<json> out;
        for (const json &e : hlvdsim::log_read(host.root()))
            if (e.value("kind", "") == "kpl")
                out.push_back(e);
        return out;
    }
};

TEST_F(DownloadEntry, PathsRefusedByFileNameAndKind)
{
    write_file(dir + "/notagrp.grp", "this is no grouped image");
    const int32_t unchanged = -5;
    struct Case {
        const char *what;
        uint32_t board;
        std::string path;
        DOWNLOAD_STATUS status;
        int32_t winError;
    } cases[] = {
        // A UFI file for an FC function is refused without opening it.
        {"ufi on FC", fc, dir + "/missing.ufi", WRONG_IMAGE_FOR_ADAPTER, 70},
        {"ufi on Varrow FC", varrowFc, dir + "/missing.ufi", WRONG_IMAGE_FOR_ADAPTER, 70},
        {"ufi on Varrow converged", varrowNic, dir + "/missing.UFI", WRONG_IMAGE_FOR_ADAPTER, 70},
        {"prg on converged", aw3Nic, dir + "/fw.prg", WRONG_IMAGE_FOR_ADAPTER, 70},
        {"grp on converged", aw3Iscsi, dir + "/fw.grp", WRONG_IMAGE_FOR_ADAPTER, 70},
        {"grp on FC", fc, dir + "/fw.GRP", WRONG_IMAGE_FOR_ADAPTER, 70},
        // The later substring wins, wherever it stands.
        {"ufi in a .grp directory on FC", fc, dir + ".grp/aw3.ufi", WRONG_IMAGE_FOR_ADAPTER, 70},
        {"all on Varrow FC", varrowFc, dir + "/fw.all", WRONG_IMAGE_FOR_ADAPTER, 70},
        {"prg on Varrow converged", varrowNic, dir + "/fw.prg", WRONG_IMAGE_FOR_ADAPTER, 70},
        // A grouped file too short for its header is refused before any write.
        {"bad grp on Varrow FC", varrowFc, dir + "/notagrp.grp", WRONG_IMAGE_FOR_ADAPTER, 70},
        // The classic path opens the path as given and leaves WIN_Error alone.
        {"missing prg on FC", fc, dir + "/missing.prg", OPEN_FILE_ERROR, unchanged},
    };
    for (const Case &c : cases) {
        WIN_Error = unchanged;
        texts.clear();
        EXPECT_EQ(c.status, UpdateEmbertipFirmwareWithFeedback(static_cast<int>(c.board), c.path.c_str(),
                                                               record_text, nullptr))
            << c.what;
        EXPECT_EQ(c.winError, WIN_Error) << c.what;
    }
    // Only the classic path reports progress; the others send nothing at all.
    EXPECT_EQ(std::vector<std::string>{"Opening File"}, texts);
    EXPECT_TRUE(hlvdsim::log_read(host.root()).empty());
}

TEST_F(DownloadEntry, EmptyImageOnAnFcFunctionFailsBeforeAnyCommand)
{
    write_file(dir + "/empty.prg", "");
    EXPECT_EQ(DownloadStatusOf(INVALID_IMAGE_ERROR, ERROR_READING_FILE),
              UpdateEmbertipFirmwareWithFeedback(static_cast<int>(fc), (dir + "/empty.prg").c_str(), nullptr, nullptr));
    EXPECT_EQ(-5, WIN_Error);
    EXPECT_TRUE(hlvdsim::log_read(host.root()).empty());
}

TEST_F(DownloadEntry, GroupedFileOfAVarrowConvergedFunctionWithTheLibraryClosed)
{
    // With the management library closed the object path takes the file,
    // and refuses one too short for its header without sending anything.
    write_file(dir + "/notagrp.grp", "this is no grouped image");
    gVEXO = 0;
    EXPECT_EQ(WRONG_IMAGE_FOR_ADAPTER,
              UpdateEmbertipFirmwareWithFeedback(static_cast<int>(varrowNic), (dir + "/notagrp.grp").c_str(), nullptr,
                                                 nullptr));
    EXPECT_EQ(70, WIN_Error);
    EXPECT_TRUE(hlvdsim::log_read(host.root()).empty());
    gVEXO = 1;
}

TEST_F(DownloadEntry, ConvergedHandOverRefusals)
{
    std::string gen2 = fronttest::make_ufi(dir + "/aw2.ufi", 2, "4.2.500.1",
                                           [](hlvdsim::UfiSpec &s) { s.compact = true; });
    // An image of another generation fails the check: nothing is flashed.
    EXPECT_EQ(WRONG_IMAGE_FOR_ADAPTER, DownloadCNAImage1(static_cast<int>(aw3Nic), gen2.c_str()));
    EXPECT_EQ(70, WIN_Error);
    EXPECT_EQ(WRONG_IMAGE_FOR_ADAPTER,
              UpdateEmbertipFirmwareWithFeedback(static_cast<int>(aw3Iscsi), gen2.c_str(), nullptr, nullptr));
    // No converged function.
    EXPECT_EQ(NOT_A_CNA_FUNCTION, DownloadCNAImage1(static_cast<int>(fc), gen2.c_str()));
    EXPECT_EQ(71, WIN_Error);
    // The management library closed.
    gVEXO = 0;
    EXPECT_EQ(VEXO_NOT_AVAILABLE, DownloadCNAImage1(static_cast<int>(aw3Nic), gen2.c_str()));
    EXPECT_EQ(72, WIN_Error);
    gVEXO = 1;
    // A path whose absolute form does not fit the engine's buffer is refused.
    std::string deep = dir + "/" + std::string(200, 'd');
    ASSERT_EQ(0, mkdir(deep.c_str(), 0755));
    std::string long_image = fronttest::make_ufi(deep + "/" + std::string(60, 'i') + ".ufi", 3, "10.2.400.1");
    EXPECT_EQ(OPEN_FILE_ERROR,
              UpdateEmbertipFirmwareWithFeedback(static_cast<int>(aw3Nic), long_image.c_str(), nullptr, nullptr));
    EXPECT_EQ(OPEN_FILE_ERROR, WIN_Error);
    EXPECT_TRUE(hlvdsim::log_read(host.root()).empty()) << "no firmware command was sent";
}

TEST_F(DownloadEntry, ResetsGoToTheDiagnosticsLibrary)
{
    EXPECT_EQ(0, ResetAdapter1(static_cast<uint8_t>(fc)));
    EXPECT_EQ(0, ResetAdapter(static_cast<uint8_t>(fc)));
    EXPECT_EQ(0, ResetAdapter3(static_cast<uint8_t>(varrowFc)));
    EXPECT_EQ(5, ResetAdapter1(static_cast<uint8_t>(fcFailingReset)));
    EXPECT_NE(0, ResetAdapter1(200));
    std::vector<json> calls = kpl_calls();
    ASSERT_EQ(4u, calls.size());
    EXPECT_EQ("ResetAdapter", calls[0]["call"]);
    EXPECT_EQ(json::array({1}), calls[0]["args"]);
    EXPECT_EQ("0000:07:00.0", calls[0]["pci"]);
    EXPECT_EQ(json::array({3}), calls[2]["args"]);
    EXPECT_EQ("0000:08:00.0", calls[2]["pci"]);

    hlvdsim::log_clear(host.root());
    EXPECT_EQ(0, WarmstartReset(static_cast<uint8_t>(fc)));
    EXPECT_EQ(0, WIN_Error);
    calls = kpl_calls();
    ASSERT_EQ(2u, calls.size());
    EXPECT_EQ("SetDumpEnv", calls[0]["call"]);
    EXPECT_EQ(json::array({2}), calls[0]["args"]);
    EXPECT_EQ(json::array({3}), calls[1]["args"]);
    EXPECT_EQ(200, WarmstartReset(200));
    EXPECT_EQ(200, WIN_Error);

    int type = 0;
    EXPECT_EQ(0, GetDriverType(static_cast<int>(fc), &type));
    EXPECT_EQ(4, type);
    EXPECT_EQ(0, BringUpAdapter(static_cast<uint8_t>(fc), 1));
}

TEST_F(DownloadEntry, ResultsByKindOfEntry)
{
    struct Case {
        const char *what;
        uint32_t board;
        DOWNLOAD_STATUS status;
        int result;
        const char *line;
    } cases[] = {
        {"converged 0", aw3Nic, DOWNLOAD_OK, 1,
         "Download successfully completed. Please reboot the system to activate new firmware\n"},
        {"converged 80", aw3Iscsi, REBOOT_REQUIRED, 1, "Please reboot the system to activate new firmware\n"},
        {"converged 87", aw3Nic, DOWNLOAD_TWICE_REQUIRED, 10014,
         "You must reboot the system and download the same firmware file again"},
        {"converged 89", aw3Nic, SIGNATURE_MISSING, 10015, "Download failed. Missing digital signature"},
        {"converged 90", aw3Nic, SIGNATURE_INVALID, 10016, "Download failed. Invalid digital signature"},
        {"converged 70", aw3Nic, WRONG_IMAGE_FOR_ADAPTER, 10012,
         "Download failed on the adapter with status =  00000046\n"},
        {"converged 141", aw3Nic, CNA_DOWNLOAD_FAILED, 10012, "status =  0000008D\n"},
        {"varrow converged 0", varrowNic, DOWNLOAD_OK, 0, ""},
        {"varrow 80", varrowFc, REBOOT_REQUIRED, 1,
         "Please reboot the system to activate new firmware.\n"},
        {"varrow 89", varrowFc, SIGNATURE_MISSING, 10015, "Missing digital signature"},
        {"varrow 90", varrowNic, SIGNATURE_INVALID, 10016, "Invalid digital signature"},
        {"varrow 14", varrowFc, RESET_REQUIRED, 0, "Download and reset successfully completed\n"},
        {"varrow 7", varrowFc, OBJECT_DOWNLOAD_FAILED, 10012, "Download failed on the adapter with status 7\n"},
        {"varrow 87", varrowFc, DOWNLOAD_TWICE_REQUIRED, 10012, "Download failed on the adapter with status 87\n"},
        {"fc 0", fc, DOWNLOAD_OK, 0, "Download and reset successfully completed\n"},
        {"fc 0, reset fails", fcFailingReset, DOWNLOAD_OK, 10013,
         "Reset failed on the adapter with status 00000005\n"},
        {"fc 80", fc, REBOOT_REQUIRED, 10012, "Download failed on adapter with stat 00000050\n"},
        {"fc open error", fc, OPEN_FILE_ERROR, 10012, "Download failed on adapter with stat FFFA0000\n"},
    };
    DebugLog log(host.path("/debug.log"));
    for (const Case &c : cases) {
        std::string before = log.text();
        EXPECT_EQ(c.result, MapDownloadResult(static_cast<int>(c.board), c.status)) << c.what;
        std::string added = log.text().substr(before.size());
        EXPECT_NE(std::string::npos, added.find(c.line)) << c.what << ": " << added;
    }
    // Resets after the good FC download and the Varrow one that asked for it.
    std::vector<json> calls = kpl_calls();
    ASSERT_EQ(3u, calls.size());
    EXPECT_EQ(json::array({3}), calls[0]["args"]);
    EXPECT_EQ(json::array({1}), calls[1]["args"]);
    EXPECT_EQ("0000:07:00.1", calls[2]["pci"]);
}

TEST_F(DownloadEntry, DownloadMarkOfAnFcEntry)
{
    DebugLog log(host.path("/debug.log"));
    // A failed download leaves the entry marked; a good one clears the mark
    // with the reset that follows it.
    EXPECT_EQ(10012, executeDownload(static_cast<int>(fc), (dir + "/missing.ufi").c_str()));
    EXPECT_EQ(ADAPTER_FLAG_DOWNLOADING, gAdapters[fc].flags & ADAPTER_FLAG_DOWNLOADING);
    EXPECT_TRUE(log.has("\n[executeDownload]\n"));
    EXPECT_EQ(0, MapDownloadResult(static_cast<int>(fc), DOWNLOAD_OK));
    EXPECT_EQ(0, gAdapters[fc].flags & ADAPTER_FLAG_DOWNLOADING);
    // Converged entries are never marked.
    EXPECT_EQ(10012, executeDownload(static_cast<int>(aw3Nic), (dir + "/missing.prg").c_str()));
    EXPECT_EQ(0, gAdapters[aw3Nic].flags & ADAPTER_FLAG_DOWNLOADING);
    // A Tessik HBA is never sent a download.
    hlvdsim::log_clear(host.root());
    EXPECT_EQ(4, executeDownload(static_cast<int>(tessik), (dir + "/missing.prg").c_str()));
    EXPECT_TRUE(log.has("Firmware download is not supported on this device\n"));
    EXPECT_EQ(0, gAdapters[tessik].flags & ADAPTER_FLAG_DOWNLOADING);
    EXPECT_TRUE(hlvdsim::log_read(host.root()).empty());
}

TEST(DownloadProgress, OneLineOfPercentages)
{
    hlvdtest::SimHost host;
    DebugLog log(host.path("/debug.log"));
    DisplayDownLoadStatusStr("Loading Image");
    DisplayDownLoadStatus(0);
    DisplayDownLoadStatus(42);
    DisplayDownLoadStatus(100);
    DisplayDownLoadStatusStr(nullptr);
    EXPECT_EQ("Loading Image0% complete 42% complete 100% complete\n", log.text());
}

} // namespace
