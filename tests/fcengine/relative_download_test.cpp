// Relative (PRG) downloads on a simulated host: the checks before the erase,
// the DOWN_LOAD commands sent with their progress, the retries of the
// download entry, files of several PRGs and the clean-up of superseded
// flash images.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fc_fixture.h"
#include "flash/flash_adapter.h"
#include "flashfront/flashfront_fixture.h"
#include "hba/download_security.h"
#include "hba/load_lists.h"
#include "hba/mbox_commands.h"
#include "hba/relative_download.h"
#include "sim/fc_hba.h"
#include "sim/prg_generator.h"

namespace {

using fctest::json;
using hlvdsim::PrgRecipe;

const DOWNLOAD_STATUS kReadError = DownloadStatusOf(INVALID_IMAGE_ERROR, ERROR_READING_FILE);
const DOWNLOAD_STATUS kShort = DownloadStatusOf(INVALID_IMAGE_ERROR, SHORT_IMAGE);
const DOWNLOAD_STATUS kLong = DownloadStatusOf(INVALID_IMAGE_ERROR, LONG_IMAGE);
const DOWNLOAD_STATUS kWrongAdapter = DownloadStatusOf(INCOMPAT_IMAGE_ERROR, INCORRECT_ADPT);

// The id the default machine's SLI-3 HBA takes: its VPD names it.
const uint8_t kSli3Id = 0x4C;

std::vector<std::string> texts;
std::vector<int> percents;
void on_text(const char *t)
{
    texts.push_back(t);
}
void on_percent(int p)
{
    percents.push_back(p);
}

PrgRecipe sli3(uint32_t size = 1000)
{
    PrgRecipe r;
    r.id = kSli3Id;
    r.size = size;
    return r;
}

std::vector<uint8_t> bytes_of(const PrgRecipe &r)
{
    std::vector<uint8_t> out;
    std::string err;
    EXPECT_TRUE(hlvdsim::build_prg(r, out, &err)) << err;
    return out;
}

FILE *file_of(const std::vector<uint8_t> &bytes)
{
    FILE *f = std::tmpfile();
    if (!bytes.empty())
        std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::rewind(f);
    return f;
}

void put_be(std::vector<uint8_t> &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

// The mailbox commands of one code in the log.
std::vector<json> of_mbox(const fctest::FcHost &host, int mbox)
{
    std::vector<json> out;
    for (const json &e : host.log())
        if (e.value("mbox", -1) == mbox)
            out.push_back(e);
    return out;
}

std::vector<json> down_loads(const fctest::FcHost &host)
{
    return of_mbox(host, MBX_DOWN_LOAD);
}

DOWNLOAD_STATUS download(int board, FILE *f, uint16_t dwc = 0, uint8_t *wakeup = nullptr)
{
    uint8_t parms[60] = {};
    uint8_t signedImage = 0;
    return StartRelativeDownloadWithFeedback(board, 2, 1, f, wakeup ? wakeup : parms, dwc, &signedImage, on_text,
                                             on_percent);
}

class RelativeDownload : public ::testing::Test {
protected:
    fctest::FcHost host;
    int board = -1;
    void SetUp() override
    {
        ASSERT_TRUE(host.built());
        board = host.board(7, 0);
        host.clear_log();
        texts.clear();
        percents.clear();
    }
};

// Images the engine refuses before it erases anything.
TEST_F(RelativeDownload, RefusedBeforeTheErase)
{
    auto with_length = [](uint32_t length) {
        std::vector<uint8_t> b = bytes_of(sli3());
        put_be(b, 0, length);
        return b;
    };
    auto recipe = [](unsigned faults, int id = kSli3Id) {
        PrgRecipe r = sli3();
        r.faults = faults;
        r.id = id;
        return bytes_of(r);
    };
    struct Case {
        const char *what;
        std::vector<uint8_t> image;
        DOWNLOAD_STATUS result;
        size_t texts; // step texts reported
    } cases[] = {
        {"header checksum", recipe(hlvdsim::PRG_FAULT_HEADER_CHECKSUM), BAD_CHECKSUM_ERROR, 1},
        {"file checksum", recipe(hlvdsim::PRG_FAULT_FILE_CHECKSUM), BAD_CHECKSUM_ERROR, 2},
        {"one byte more", recipe(hlvdsim::PRG_FAULT_EXTRA_BYTE), kLong, 1},
        {"short", recipe(hlvdsim::PRG_FAULT_SHORT), kShort, 1},
        {"id the adapter does not take", recipe(0, 0x77), kWrongAdapter, 1},
        {"length 0", with_length(0), kReadError, 1},
        {"length below the header", with_length(47), kReadError, 1},
        {"end mark", with_length(0xFFFFFFFFu), kReadError, 1},
        {"length beyond any file", with_length(0x7FFFFFFFu), kShort, 1},
        {"empty file", {}, kShort, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        texts.clear();
        FILE *f = file_of(c.image);
        EXPECT_EQ(c.result, download(board, f));
        std::fclose(f);
        EXPECT_EQ(c.texts, texts.size());
        EXPECT_TRUE(percents.empty());
    }
    EXPECT_TRUE(down_loads(host).empty());
}

// An adapter that keeps refusing the signature: the entry tries four times,
// clearing the image's type from the flash load list before each retry.
TEST_F(RelativeDownload, EntryRetriesASignatureRefusal)
{
    std::string path = host.root() + "/fw.prg";
    std::string err;
    ASSERT_TRUE(hlvdsim::write_prg(sli3(), path, &err)) << err;
    host.plan({{"match", {{"mbox", MBX_DOWN_LOAD}}}, {"kind", "kpl"}, {"mbox_status", 3851}, {"when", "always"}});
    EXPECT_EQ(SECURITY_CHECK_ERROR, UpdateEmbertipFirmwareWithFeedback(board, path.c_str(), nullptr, nullptr));
    // Erase, then the load-list walk and its deletes, three times over.
    std::vector<int> order;
    for (const json &e : host.log()) {
        int m = e.value("mbox", -1);
        if (m == MBX_DOWN_LOAD || m == MBX_DEL_LD_ENTRY)
            order.push_back(m);
    }
    // The default machine's one SLI-3 image goes with the first retry.
    EXPECT_EQ((std::vector<int>{MBX_DOWN_LOAD, MBX_DEL_LD_ENTRY, MBX_DOWN_LOAD, MBX_DOWN_LOAD, MBX_DOWN_LOAD}), order);
    LOAD_LIST list;
    ASSERT_EQ(0u, ReadFlashLoadList(board, &list));
    ASSERT_EQ(1u, list.count);
    EXPECT_EQ(0x03495190u, list.entries[0].programId[0]) << "the boot code stays";
}

} // namespace
