// Discovery files made to hurt the reader: character references and raw bytes
// the writer would put back unparseable, nesting that would exhaust the
// parser's stack, and files too large to take in.
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "flash/discovery_xml.h"
#include "support/sim_host.h"

using hlvdtest::read_file;
using hlvdtest::write_file;

namespace {

const char kMark[] = "@MARK@";

class HostileDiscovery : public ::testing::Test {
protected:
    std::string dir = hlvdtest::make_temp_dir("hlvdhostile");
    std::string path = dir + "/discovery.xml";
    std::string again = dir + "/again.xml";
    void TearDown() override { hlvdtest::remove_tree(dir); }

private:
    std::string good_;

protected:

    // A file as discovery writes it, with kMark in the firmware item's message.
    std::string good_file()
    {
        if (!good_.empty())
            return good_;
        DiscoveredDevice d;
        d.device_id = "19A2.0710.10DF.E70E";
        d.busnumber = "4";
        d.firmware.firmware_file = "aw3.ufi";
        d.firmware.action = "upgrade";
        d.firmware.message = std::string("see ") + kMark + " note";
        d.hasBootItem = true;
        d.bootCode.firmware_file = "boot.prg";
        GenerateDiscoveryFile(path, {d});
        good_ = read_file(path);
        return good_;
    }

    std::string with(const std::string &replacement)
    {
        std::string text = good_file();
        text.replace(text.find(kMark), sizeof kMark - 1, replacement);
        return text;
    }

    // Reads `text`: true when read, false when refused as corrupt (a parse
    // error fails the test). Once read, the rewritten file must read back the
    // same.
    bool reads(const std::string &text, std::string *message = nullptr)
    {
        write_file(path, text);
        std::vector<DiscoveredDevice> first;
        try {
            ReadDiscoveryFile(path, first);
        } catch (const std::runtime_error &) {
            return false;
        } catch (const std::exception &e) {
            ADD_FAILURE() << "not refused but " << e.what();
            return false;
        }
        GenerateDiscoveryFile(again, first);
        std::vector<DiscoveredDevice> second;
        EXPECT_NO_THROW(ReadDiscoveryFile(again, second)) << "rewritten file does not parse";
        EXPECT_EQ(first.size(), second.size());
        if (!first.empty() && !second.empty()) {
            EXPECT_EQ(first[0].firmware.message, second[0].firmware.message);
        }
        if (message && !first.empty())
            *message = first[0].firmware.message;
        return true;
    }
};

TEST_F(HostileDiscovery, CharacterReferences)
{
    const char *bad[] = {
        "&#0;",          "&#;",        "&#x;",         "&#xD800;",     "&#xDFFF;", "&#x110000;", "&#1;",
        "&#x1F;",        "&#xFFFE;",   "&#xFFFF;",     "&#65",         "&#X41;",   "&#1a;",      "&#x-41;",
        "&#4294967361;", "&#x100000041;", "&#18446744073709551681;", "&#",
    };
    for (const char *ref : bad)
        EXPECT_FALSE(reads(with(ref))) << ref;

    struct Good {
        const char *ref, *text;
    } good[] = {
        {"&#65;", "A"},          {"&#x9;", "\t"},       {"&amp;", "&"},          {"&lt;&gt;", "<>"},
        {"&#0000065;", "A"},     {"&#xa;", "\n"},       {"&#xD7FF;", "\xED\x9F\xBF"},
        {"&#xE000;", "\xEE\x80\x80"}, {"&#x10FFFF;", "\xF4\x8F\xBF\xBF"}, {"&#x22;&#x27;", "\"'"},
        {"&unknown;", "&unknown;"},
    };
    for (const Good &g : good) {
        std::string message;
        EXPECT_TRUE(reads(with(g.ref), &message)) << g.ref;
        EXPECT_EQ(std::string("see ") + g.text + " note", message) << g.ref;
    }
}

// Every byte the parser would take raw: either refused, or the rewritten file
// reads back the same.
TEST_F(HostileDiscovery, RawBytesSurviveTheRoundTripOrAreRefused)
{
    std::string taken;
    for (int b = 1; b < 256; ++b) {
        bool control = b < 0x20 && b != '\t' && b != '\n' && b != '\r';
        if (control)
            EXPECT_FALSE(reads(with(std::string(1, static_cast<char>(b))))) << b;
        else if (b != '"') // '"' ends the value: the parser's own error
            taken += static_cast<char>(b);
    }
    std::string message;
    EXPECT_TRUE(reads(with(taken), &message));
    EXPECT_EQ("see " + taken + " note", message);
    EXPECT_FALSE(reads(with(std::string(1, '\0'))));
    // A NUL past the document's end would otherwise be ignored.
    EXPECT_FALSE(reads(good_file() + std::string(1, '\0') + "trailing"));
}

TEST_F(HostileDiscovery, DeepNestingIsRefusedBeforeParsing)
{
    const std::string levels[] = {
        "<a>",
        "<a x=\"/>\">",            // a self-closing mark inside a value
        "<a x='</a>'>",            // a closing tag inside a value
        "<a><!-- </a> -->",        // ... inside a comment
        "<a><![CDATA[</a>]]>",     // ... inside CDATA
        "<a><?pi </a>?>",          // ... inside a processing instruction
        "<a\"b>",                  // a quote the parser takes into the name
        "<a b\"c='v'>",            // ... into an attribute name
    };
    for (const std::string &level : levels) {
        std::string text;
        for (int i = 0; i < 100000; ++i)
            text += level;
        write_file(path, text);
        std::vector<DiscoveredDevice> read;
        EXPECT_THROW(ReadDiscoveryFile(path, read), std::runtime_error) << level;
    }
    // Flat, but more elements and attributes than any discovery writes.
    std::string flat = "<hl_rom_discovery>";
    for (int i = 0; i < (1 << 19) + 1; ++i)
        flat += "<a b=''/>";
    write_file(path, flat + "</hl_rom_discovery>");
    std::vector<DiscoveredDevice> read;
    EXPECT_THROW(ReadDiscoveryFile(path, read), std::runtime_error);
    // One level below the leaves of the format is already too deep.
    std::string text = good_file();
    std::string leaf = "<action_status value=\"\"/>";
    text.replace(text.find(leaf), leaf.size(), "<action_status value=\"\"><x/></action_status>");
    EXPECT_FALSE(reads(text));
    EXPECT_FALSE(reads("<!DOCTYPE x [ <!ENTITY e 'v'> ]>" + good_file()));
}

TEST_F(HostileDiscovery, MarkupTheWriterCouldMeetStillReads)
{
    std::string text = good_file();
    text.insert(text.find("<devices>"), "<!-- <a><a><a><a><a> --><?pi <b><b><b>?><![CDATA[<c><c><c><c>]]>\n");
    text.insert(text.find("<fw_item>") + 9, "<!-- ></fw_item> -->");
    std::string leaf = "<duration value=\"\"/>";
    text.replace(text.find(leaf), leaf.size(), "<duration value=\"&lt;a&gt;/&gt;\" other='>'></duration>");
    EXPECT_TRUE(reads(text));
    // The parser takes markup characters inside a value as text.
    std::string message;
    EXPECT_TRUE(reads(with("<a><a><a><a><a><a> & </a>"), &message));
    EXPECT_EQ("see <a><a><a><a><a><a> & </a> note", message);
}

TEST_F(HostileDiscovery, FileSizeIsBounded)
{
    const size_t limit = 16u << 20;
    std::string text = good_file();
    text.append(limit - text.size(), ' ');
    EXPECT_TRUE(reads(text));
    write_file(path, text + " ");
    std::vector<DiscoveredDevice> read;
    EXPECT_THROW(ReadDiscoveryFile(path, read), std::runtime_error);
    // Gigabytes on disk are refused without being read.
    int fd = open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(0, ftruncate(fd, static_cast<off_t>(1) << 31));
    close(fd);
    EXPECT_THROW(ReadDiscoveryFile(path, read), std::runtime_error);
    // A FIFO would block the reader for good.
    std::string fifo = dir + "/fifo.xml";
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
    EXPECT_THROW(ReadDiscoveryFile(fifo, read), std::runtime_error);
    EXPECT_TRUE(read.empty());
}

} // namespace
