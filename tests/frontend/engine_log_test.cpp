// The engine log: silent unless its file exists in the program directory,
// and the options file that could switch its texts on.
#include <cstring>
#include <string>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "flash/engine_log.h"
#include "flash/ovnflashlib.h"
#include "support/sim_host.h"

using hlvdtest::file_exists;
using hlvdtest::read_file;
using hlvdtest::write_file;

namespace {

class EngineLog : public ::testing::Test {
protected:
    std::string dir = hlvdtest::make_temp_dir("hlvdengine");
    void SetUp() override
    {
        std::snprintf(binDIR, sizeof binDIR, "%s/", dir.c_str());
        std::memset(&Options, 0, sizeof Options);
    }
    void TearDown() override
    {
        binDIR[0] = '\0';
        hlvdtest::remove_tree(dir);
    }
};

TEST_F(EngineLog, WritesOnlyToAnExistingFile)
{
    EXPECT_EQ(0, rm_fprintf(LogFp, "%s %d\n", "dropped", 1));
    EXPECT_FALSE(file_exists(dir + "/ovndbg.log"));
    write_file(dir + "/OVNDBG.LOG", "");
    LogMessage(LogFp, "still dropped");
    EXPECT_EQ("", read_file(dir + "/OVNDBG.LOG"));

    write_file(dir + "/ovndbg.log", "");
    EXPECT_EQ(0, rm_fprintf(LogFp, "%s=%d;", "a", 7));
    LogMessage(LogFp, "abc");
    LogMessage(LogFp, "100% done\n");
    EXPECT_EQ("a=7;abc\n100% done\n\n", read_file(dir + "/ovndbg.log"));
    EXPECT_EQ(nullptr, LogFp);
}

TEST_F(EngineLog, LoadTimeDirectoryKeepsTheLogSilent)
{
    binDIR[0] = '\0';
    char cwd[512];
    ASSERT_NE(nullptr, getcwd(cwd, sizeof cwd));
    ASSERT_EQ(0, chdir(dir.c_str()));
    write_file("ovndbg.log", "");
    LogMessage(LogFp, "dropped");
    EXPECT_EQ("", read_file("ovndbg.log"));
    ASSERT_EQ(0, chdir(cwd));
}

TEST_F(EngineLog, FileExistAndRemoveChars)
{
    write_file(dir + "/present", "");
    EXPECT_EQ(0, fileExist("present", dir.c_str()));
    EXPECT_EQ(1, fileExist("absent", dir.c_str()));
    EXPECT_EQ(1, fileExist("present", (dir + "/nodir").c_str()));

    char text[] = "1.2.3";
    EXPECT_EQ(3, removeChars(text, '.'));
    EXPECT_STREQ("123", text);
    char plain[] = "abc";
    EXPECT_EQ(3, removeChars(plain, '.'));
    EXPECT_STREQ("abc", plain);
}

TEST_F(EngineLog, OptionsFile)
{
    write_file(dir + "/rm.conf", "   log_mode =  0x80000\n"
                                 "// LOG_MODE=1\n"
                                 "\tFillByte\t0x1FF trailing words\n"
                                 "DBG_MODE=12\n"
                                 "REMOTE_HBA_WWPN=10:00:00:00:c9:aa:bb:cc\n"
                                 "PARAM01=5\nPARAM01=524288\n");
    ASSERT_EQ(1, OpenIniFile());
    testing::internal::CaptureStdout();
    ProcessIniFile();
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
    EXPECT_EQ(0x80000u, Options.LOG_MODE);
    EXPECT_EQ(0xFFu, Options.FILLBYTE);
    EXPECT_EQ(12u, Options.DBG_MODE);
    EXPECT_EQ(524288u, Options.PARAM01);

    write_file(dir + "/rm.conf", "LOG_MODE=524288\nBOGUS=1\n");
    ASSERT_EQ(1, OpenIniFile());
    testing::internal::CaptureStdout();
    ProcessIniFile();
    EXPECT_EQ("Unkonw Token Found", testing::internal::GetCapturedStdout());
    EXPECT_EQ(0x80000u, Options.LOG_MODE);
}

TEST_F(EngineLog, ProgramDirectory)
{
    std::string long_path(221, 'p');
    char *argv[] = {&long_path[0], nullptr};
    getBinDirectory(argv);
    EXPECT_STREQ("./", binDIR);

    char self[] = "prog";
    char *argv2[] = {self, nullptr};
    getBinDirectory(argv2);
    std::string d = binDIR;
    ASSERT_FALSE(d.empty());
    EXPECT_EQ('/', d.back());
    struct stat st;
    EXPECT_EQ(0, stat(d.c_str(), &st));
}

// The library never sets its program directory, so no call of it creates
// or writes the engine log, wherever the host runs it from.
TEST(EngineLogOfTheLibrary, NeverCreated)
{
    // One converged adapter is enough to take every call through the table.
    hlvdtest::SimHost host(R"({"adapters": [{"name": "aw3", "family": "converged", "generation": "AW3",
        "serial": "AW3SIM00001", "firmware": {"active": "10.2.370.15", "flash": "10.2.370.15"},
        "functions": [{"segment": 0, "bus": 4, "device": 0, "function": 0, "kind": "nic",
            "vendor": "0x19A2", "device_id": "0x0710", "subvendor": "0x10DF", "subdevice": "0xE70E",
            "revision": "0x01", "port": 0, "mac": "00:00:C9:B3:00:20", "driver": "callback"}]}]})");
    char cwd[512];
    ASSERT_NE(nullptr, getcwd(cwd, sizeof cwd));
    ASSERT_EQ(0, chdir(host.root().c_str()));
    std::string xml = host.root() + "/d.xml";
    oem_do_discovery_with_files(xml.c_str(), host.root().c_str());
    oem_do_flash_with_file(xml.c_str(), host.root().c_str());
    int n = 0;
    oem_get_adapter_info(nullptr, &n, host.root().c_str());
    EXPECT_FALSE(file_exists(host.root() + "/ovndbg.log"));
    EXPECT_FALSE(file_exists(hlvdtest::binary_path("bin/ovndbg.log")));
    EXPECT_FALSE(file_exists(hlvdtest::binary_path("tests/ovndbg.log")));
    EXPECT_EQ('\0', binDIR[0]);
    ASSERT_EQ(0, chdir(cwd));
}

} // namespace
