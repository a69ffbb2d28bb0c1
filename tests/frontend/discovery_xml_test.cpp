// The discovery file: round trip, every error of the reader, and writes that
// fail without harming the file already there.
#include <csignal>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <rapidxml.hpp>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "flash/discovery_xml.h"
#include "support/sim_host.h"

using hlvdtest::file_exists;
using hlvdtest::read_file;
using hlvdtest::write_file;

namespace {

DiscoveredDevice make_device(const std::string &bus, bool boot)
{
    DiscoveredDevice d;
    d.venid = "19A2";
    d.devid = "0710";
    d.subvenid = "10DF";
    d.subdevid = "E70E";
    d.device_id = d.venid + "." + d.devid + "." + d.subvenid + "." + d.subdevid;
    d.nictype = "NIC";
    d.product_id = "Adapter <model> & \"quoted\" 'text'";
    d.segment = "0";
    d.busnumber = bus;
    d.devicenumber = "0";
    d.funcnumber = "0";
    d.macaddress = "00:00:C9:B3:00:20";
    d.firmware.firmware_file = "image-" + bus + ".ufi";
    d.firmware.version = "10.2.370.15";
    d.firmware.active_version = "10.0.803.37";
    d.firmware.action = "upgrade";
    d.firmware.duration = "300";
    d.firmware.firmware_id = "fw-id";
    d.firmware.message = "a message";
    d.hasBootItem = boot;
    if (boot) {
        d.bootCode.firmware_file = "boot.prg";
        d.bootCode.version = "5.12a0";
        d.bootCode.active_version = "512a0";
        d.bootCode.action = "skip";
        d.bootCode.action_status = "0";
        d.bootCode.duration = "120";
    }
    return d;
}

class DiscoveryXml : public ::testing::Test {
protected:
    std::string dir = hlvdtest::make_temp_dir("hlvdxml");
    std::string path = dir + "/discovery.xml";
    void TearDown() override { hlvdtest::remove_tree(dir); }
};

void expect_same_item(const FirmwareDetails &a, const FirmwareDetails &b)
{
    EXPECT_EQ(a.firmware_id, b.firmware_id);
    EXPECT_EQ(a.firmware_file, b.firmware_file);
    EXPECT_EQ(a.version, b.version);
    EXPECT_EQ(a.active_version, b.active_version);
    EXPECT_EQ(a.action, b.action);
    EXPECT_EQ(a.action_status, b.action_status);
    EXPECT_EQ(a.duration, b.duration);
    EXPECT_EQ(a.message, b.message);
}

TEST_F(DiscoveryXml, RoundTripOfSeveralDevices)
{
    std::vector<DiscoveredDevice> written = {make_device("4", false), make_device("7", true),
                                             make_device("1A", true)};
    GenerateDiscoveryFile(path, written);
    std::vector<DiscoveredDevice> read;
    ReadDiscoveryFile(path, read);
    ASSERT_EQ(3u, read.size());
    for (size_t i = 0; i < read.size(); ++i) {
        const DiscoveredDevice &w = written[i], &r = read[i];
        EXPECT_EQ(w.device_id, r.device_id);
        EXPECT_EQ(w.nictype, r.nictype);
        EXPECT_EQ(w.product_id, r.product_id);
        EXPECT_EQ(w.busnumber, r.busnumber);
        EXPECT_EQ(w.macaddress, r.macaddress);
        EXPECT_EQ(w.hasBootItem, r.hasBootItem);
        expect_same_item(w.firmware, r.firmware);
        EXPECT_EQ("firmware", r.firmware.type);
        EXPECT_EQ("no", r.firmware.shared);
        if (w.hasBootItem) {
            expect_same_item(w.bootCode, r.bootCode);
            EXPECT_EQ("boot bios rom", r.bootCode.type);
        }
        // Not carried by the file.
        EXPECT_EQ(-1, r.kind);
        EXPECT_TRUE(r.asicRevisionId.empty());
    }
    std::string text = read_file(path);
    EXPECT_EQ(0u, text.find("<?xml version=\"1.0\"?>"));
    EXPECT_NE(std::string::npos, text.find("<hl_rom_discovery version=\"2.0.0.0\">"));
    EXPECT_NE(std::string::npos, text.find("<type value=\"Boot BIOS ROM\"/>"));
    // Writing what was read gives the same file.
    GenerateDiscoveryFile(path, read);
    EXPECT_EQ(text, read_file(path));
}

TEST_F(DiscoveryXml, ReaderAppendsAndSelectsItemsByType)
{
    write_file(path, R"(<hl_rom_discovery><type/><extra/><alt_name/><version/><takes_effect/><devices>
<device><device_id value="a"/><nictype/><venid/><devid/><subvenid/><subdevid/><product_id/><segment/>
<busnumber value=" 3 "/><devicenumber/><funcnumber/><slotnumber/><macaddress/>
<fw_item><type value="  FirmWare "/><firmware_file value="f1"/><version value="v1"/><firmware_id value="id1"/>
 <active_version/><action value="Upgrade"/><shared value="yes"/><action_status/><duration/><message/></fw_item>
<fw_item><type value="firmware"/><firmware_id/><firmware_file value="f2"/><version/><active_version/>
 <action/><action_status/><duration/><message/><shared/></fw_item>
<fw_item><type value="whatever"/><firmware_id/><firmware_file value="b"/><version/><active_version/>
 <action/><action_status/><duration/><message/><shared/></fw_item>
</device>
<device><device_id value="b"/><nictype/><venid/><devid/><subvenid/><subdevid/><product_id/><segment/>
<busnumber/><devicenumber/><funcnumber/><slotnumber/><macaddress/></device>
</devices></hl_rom_discovery>)");
    std::vector<DiscoveredDevice> read(1);
    ReadDiscoveryFile(path, read);
    ASSERT_EQ(3u, read.size());
    const DiscoveredDevice &d = read[1];
    EXPECT_EQ("a", d.device_id);
    EXPECT_EQ(" 3 ", d.busnumber);
    // The second firmware item overwrites only what it carries.
    EXPECT_EQ("f2", d.firmware.firmware_file);
    EXPECT_EQ("v1", d.firmware.version);
    EXPECT_EQ("id1", d.firmware.firmware_id);
    EXPECT_EQ("Upgrade", d.firmware.action);
    EXPECT_EQ("yes", d.firmware.shared);
    EXPECT_TRUE(d.hasBootItem);
    EXPECT_EQ("b", d.bootCode.firmware_file);
    EXPECT_EQ("whatever", d.bootCode.type);
    EXPECT_FALSE(read[2].hasBootItem);
    EXPECT_TRUE(read[2].firmware.firmware_file.empty());
}

// A file missing one element, for each element the reader requires.
TEST_F(DiscoveryXml, EveryMissingElementHasItsText)
{
    std::vector<DiscoveredDevice> one = {make_device("4", true)};
    GenerateDiscoveryFile(path, one);
    const std::string good = read_file(path);
    struct Case {
        std::string remove; // text to delete from the good file
        const char *error;
    } cases[] = {
        {"<hl_rom_discovery version=\"2.0.0.0\">", nullptr},
        {"<type value=\"\"/>", "type element  is not found. The discovery file is corrupted"},
        {"<alt_name value=\"\"/>", "alt_name element  is not found. The discovery file is corrupted"},
        {"<version value=\"\"/>", "version element  is not found. The discovery file is corrupted"},
        {"<takes_effect value=\"\"/>", "takes_effect element  is not found. The discovery file is corrupted"},
        {"<device_id value=\"19A2.0710.10DF.E70E\"/>",
         "no device_id element found in the xml. The discovery file is corrupted "},
        {"<nictype value=\"NIC\"/>", "no nictype element found in the xml. The discovery file is corrupted "},
        {"<venid value=\"19A2\"/>", "no venid element found in the xml. The discovery file is corrupted "},
        {"<devid value=\"0710\"/>", "no devid element found in the xml. The discovery file is corrupted "},
        {"<subvenid value=\"10DF\"/>", "no subvenid element found in the xml. The discovery file is corrupted "},
        {"<subdevid value=\"E70E\"/>", "no subdevid element found in the xml. The discovery file is corrupted "},
        {"<segment value=\"0\"/>", "no segment element found in the xml. The discovery file is corrupted "},
        {"<busnumber value=\"4\"/>", "no busnumber element found in the xml. The discovery file is corrupted "},
        {"<slotnumber value=\"\"/>", "no slotnumber element found in the xml. The discovery file is corrupted "},
        {"<macaddress value=\"00:00:C9:B3:00:20\"/>",
         "no macaddress element found in the xml. The discovery file is corrupted "},
        {"<type value=\"Firmware\"/>", "type element is not found in the xml. The discovery file is corrupted "},
        {"<firmware_id value=\"fw-id\"/>",
         "firmware_id element is not found in the xml. The discovery file is corrupted "},
        {"<firmware_file value=\"boot.prg\"/>",
         "firmware_file element is not found in the xml. The discovery file is corrupted "},
        {"<version value=\"10.2.370.15\"/>",
         "version element is not found in the xml. The discovery file is corrupted "},
        {"<active_version value=\"10.0.803.37\"/>",
         "active_version element is not found in the xml. The discovery file is corrupted "},
        {"<action value=\"upgrade\"/>", "action element is not found in the xml. The discovery file is corrupted "},
        {"<action_status value=\"0\"/>",
         "action_status element is not found in the xml. The discovery file is corrupted "},
        {"<duration value=\"120\"/>", "duration element is not found in the xml. The discovery file is corrupted "},
        {"<message value=\"a message\"/>",
         "message element is not found in the xml. The discovery file is corrupted "},
    };
    for (const Case &c : cases) {
        std::string text = good;
        size_t at = text.find(c.remove);
        ASSERT_NE(std::string::npos, at) << c.remove;
        text.erase(at, c.remove.size());
        if (!c.error) // the root: rename it, keeping the file well-formed
            text.replace(text.find("</hl_rom_discovery>"), 19, "</other>"), text.insert(at, "<other>");
        write_file(path, text);
        std::vector<DiscoveredDevice> read;
        try {
            ReadDiscoveryFile(path, read);
            ADD_FAILURE() << "no error without " << c.remove;
        } catch (const std::runtime_error &e) {
            EXPECT_STREQ(c.error ? c.error : "hl_rom_discovery element is not found. The discovery file is corrupted",
                         e.what());
        }
    }
}

TEST_F(DiscoveryXml, StructuralErrors)
{
    struct Case {
        const char *text;
        const char *error;
    } cases[] = {
        {"<hl_rom_discovery><type/><alt_name/><version/><takes_effect/></hl_rom_discovery>",
         "devices element  is not found. The discovery file is corrupted"},
        {"<hl_rom_discovery><type/><alt_name/><version/><takes_effect/><devices/></hl_rom_discovery>",
         "device element  is not found in the xml. "},
        // Searched after the one before it: an element standing earlier is not found.
        {"<hl_rom_discovery><alt_name/><type/><version/><takes_effect/><devices/></hl_rom_discovery>",
         "alt_name element  is not found. The discovery file is corrupted"},
        {"<hl_rom_discovery><type/><alt_name/><version/><takes_effect/><devices><device><device_id/><nictype/>"
         "<venid/><devid/><subvenid/><subdevid/><product_id/><segment/><busnumber/><devicenumber/><funcnumber/>"
         "<slotnumber/><macaddress/><fw_item><type/></fw_item></device></devices></hl_rom_discovery>",
         "firmwar type is null. The discovery file is corrupted "},
        {"<hl_rom_discovery><type/><alt_name/><version/><takes_effect/><devices><device><device_id/><nictype/>"
         "<venid/><devid/><subvenid/><subdevid/><product_id/><segment/><busnumber/><devicenumber/><funcnumber/>"
         "<slotnumber/><macaddress/><fw_item><type value='x'/><firmware_id/><firmware_file/><version/>"
         "<active_version/><action/><action_status/><duration/><message/></fw_item></device></devices>"
         "</hl_rom_discovery>",
         "shared element is not found in the xml. The discovery file is corrupted "},
    };
    for (const Case &c : cases) {
        write_file(path, c.text);
        std::vector<DiscoveredDevice> read;
        try {
            ReadDiscoveryFile(path, read);
            ADD_FAILURE() << c.text;
        } catch (const std::runtime_error &e) {
            EXPECT_STREQ(c.error, e.what());
        }
    }
    // A list without devices is written, but cannot be read back.
    GenerateDiscoveryFile(path, {});
    std::vector<DiscoveredDevice> read;
    EXPECT_THROW(ReadDiscoveryFile(path, read), std::runtime_error);
}

TEST_F(DiscoveryXml, MalformedAndMissingFiles)
{
    write_file(path, "<hl_rom_discovery><type></hl_rom_discovery>");
    std::vector<DiscoveredDevice> read;
    bool parse_error = false;
    try {
        ReadDiscoveryFile(path, read);
    } catch (const std::runtime_error &) {
        ADD_FAILURE() << "a parse error is not a runtime error";
    } catch (const rapidxml::parse_error &) {
        parse_error = true;
    }
    EXPECT_TRUE(parse_error);
    EXPECT_THROW(ReadDiscoveryFile(dir + "/none.xml", read), std::runtime_error);
}

TEST_F(DiscoveryXml, TrimRemovesOuterWhiteSpaceOnly)
{
    struct Case {
        const char *in, *out;
    } cases[] = {{"  a b \t\n", "a b"}, {"", ""}, {" \t ", ""}, {"x", "x"}, {"\vx\f", "x"}};
    for (const Case &c : cases) {
        std::string s = c.in;
        Trim(s);
        EXPECT_EQ(c.out, s);
    }
}

// A write that cannot complete leaves the file that was there untouched.
TEST_F(DiscoveryXml, FailedWritesKeepThePreviousFile)
{
    std::vector<DiscoveredDevice> old_list = {make_device("4", false)};
    GenerateDiscoveryFile(path, old_list);
    const std::string before = read_file(path);
    std::vector<DiscoveredDevice> big;
    for (int i = 0; i < 200; ++i)
        big.push_back(make_device(std::to_string(i), true));

    // No directory to create the file in.
    EXPECT_THROW(GenerateDiscoveryFile(dir + "/no/such/dir/d.xml", big), std::exception);

    // No room: the file size limit stops the write part way. Once with the
    // error reported, once killing the writer in the middle of its write.
    for (bool crash : {false, true}) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            std::signal(SIGXFSZ, crash ? SIG_DFL : SIG_IGN);
            struct rlimit lim = {4096, 4096};
            setrlimit(RLIMIT_FSIZE, &lim);
            try {
                GenerateDiscoveryFile(path, big);
            } catch (const std::exception &) {
                _exit(3);
            }
            _exit(0);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (crash)
            EXPECT_TRUE(WIFSIGNALED(status));
        else
            EXPECT_EQ(3, WEXITSTATUS(status));
        EXPECT_EQ(before, read_file(path));
    }
}

} // namespace
