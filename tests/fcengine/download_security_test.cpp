// Download security on the boards of a small simulated host: bringing a
// signed adapter's key to an image's key, the key block's place in an image,
// zeroizing, and the boot image's expansion-ROM header.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fc_fixture.h"
#include "hba/download_security.h"
#include "hba/mbox_transport.h"
#include "sim/fc_hba.h"

namespace {

using fctest::json;

const char *key_id(int i)
{
    return gADL_KEK_Data[i].idText;
}

// A signed HBA (device 0xF180) at bus 0x10 holding `kek` (null: no security
// sub-commands), beside an SLI-3 HBA without them at bus 0x20.
std::string signed_machine(const json &kek)
{
    json hba = fctest::fc_hba("s", 0x10, 1, 0xF180, "SLI3");
    hba["functions"][0]["fc"] = {{"kek", kek}};
    return fctest::machine({hba, fctest::sli3_hba("p", 0x20)});
}

// The set-KEK commands sent, by the id each carried.
std::vector<std::string> sets(const fctest::FcHost &host)
{
    std::vector<std::string> out;
    for (const json &e : host.calls("IssueMboxWithRetry"))
        if (e.value("mbox", 0) == 0xF9 && e.value("sub", 0) == 0x0D)
            out.push_back(e.value("kek", ""));
    return out;
}

std::string held(const fctest::FcHost &host, int board)
{
    json st = hlvdsim::fc_state(host.root(), board);
    return st.value("kek", json(nullptr)).is_string() ? st["kek"].get<std::string>() : std::string();
}

// An image of `size` bytes whose key block lies at `block` (the signed mark
// and the id of key `key`); the file position is left at `position`.
FILE *image(long size, long block, int key, long position)
{
    FILE *f = std::tmpfile();
    std::vector<uint8_t> bytes(static_cast<size_t>(size), 0xEE);
    if (block >= 0 && block + 264 <= size) {
        std::memset(&bytes[static_cast<size_t>(block)], 0, 264);
        bytes[static_cast<size_t>(block)] = 1;
        std::memcpy(&bytes[static_cast<size_t>(block) + 112], key_id(key), std::strlen(key_id(key)));
    }
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fseek(f, position, SEEK_SET);
    return f;
}

// A PRG header as the reader delivers it: signed bit and the word at 32.
void prg_header(uint8_t *h, bool signed_image, uint32_t word32)
{
    std::memset(h, 0, PRG_HEADER_SIZE);
    h[12] = signed_image ? 0x10 : 0;
    mbox_put_u32(h, 32, word32);
}

TEST(DownloadSecurity, KeyUpdatePath)
{
    struct Case {
        int start;  // key held, -1: no security sub-commands
        int target; // -1: an id no key has
        uint32_t result;
        std::vector<int> set;
        int end;
    } cases[] = {
        {0, 2, 0, {1, 2}, 2},      // root to the last key through the middle one
        {0, 1, 0, {1}, 1},         //
        {2, 2, 0, {}, 2},          // already held: no set
        {1, 0, KEK_FAILED, {}, 1}, // no chain leads back to the root
        {2, 1, KEK_FAILED, {}, 2}, //
        {0, -1, KEK_FAILED, {}, 0},
        {-1, 2, KEK_NOT_SUPPORTED, {}, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.start) + " to " + std::to_string(c.target));
        fctest::FcHost host(signed_machine(c.start < 0 ? json(nullptr) : json(key_id(c.start))));
        ASSERT_TRUE(host.built());
        const int b = host.board(0x10);
        host.clear_log();
        EXPECT_EQ(c.result, ProcessKek(b, c.target < 0 ? "UNKNOWN KEY OF NO ONE" : key_id(c.target)));
        std::vector<std::string> want;
        for (int k : c.set)
            want.push_back(key_id(k));
        EXPECT_EQ(want, sets(host));
        EXPECT_EQ(c.end < 0 ? std::string() : std::string(key_id(c.end)), held(host, b));
        if (!c.set.empty()) { // read before and read back after the sets
            EXPECT_EQ(c.set.size() + 2, host.calls("IssueMboxWithRetry").size());
        }
    }
}

TEST(DownloadSecurity, FailedStepsAreFailures)
{
    struct Case {
        json fault;
        uint32_t result;
    } cases[] = {
        {{{"kind", "kpl"}, {"mbox_status", 0x0F06}}, KEK_NOT_SUPPORTED},
        {{{"kind", "kpl"}, {"mbox_status", 0x0005}}, KEK_FAILED},
        {{{"kind", "kpl"}, {"result", -1}}, KEK_FAILED},
    };
    for (int sub : {0x0C, 0x0D})
        for (const Case &c : cases) {
            SCOPED_TRACE(std::to_string(sub) + " " + c.fault.dump());
            fctest::FcHost host(signed_machine(key_id(0)));
            const int b = host.board(0x10);
            json f = c.fault;
            f["match"] = {{"board", b}, {"mbox", 0xF9}, {"sub", sub}};
            host.plan(f);
            EXPECT_EQ(c.result, ProcessKek(b, key_id(2)));
            EXPECT_EQ(0xF9, gErrorData.command);
        }
}

TEST(DownloadSecurity, AuthenticatePrgFindsTheBlock)
{
    // Image of 1000 bytes read from position 100: the block lies at
    // word - 268 from there and must lie inside the file.
    struct Case {
        int start;
        bool signed_image;
        uint32_t word;
        uint32_t result;
        std::vector<int> set;
    } cases[] = {
        {0, true, 268 + 500, 0, {1, 2}},
        {0, true, 268 + 636, 0, {1, 2}}, // block ends at the file end
        {0, true, 268 + 637, 0xFFF90001u, {}},
        {0, true, 267, 0xFFF90001u, {}},
        {0, true, 0xFFFFFFFFu, 0xFFF90001u, {}},
        {2, true, 268 + 500, 0, {}},
        {0, false, 268 + 500, 0xFFEB0000u, {}},
        {-1, true, 268 + 500, 0, {}}, // adapter without keys: it decides itself
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.word);
        fctest::FcHost host(signed_machine(c.start < 0 ? json(nullptr) : json(key_id(c.start))));
        const int b = host.board(0x10);
        host.clear_log();
        FILE *f = image(1000, 100 + static_cast<long>(c.word) - 268, 2, 100);
        uint8_t h[PRG_HEADER_SIZE];
        prg_header(h, c.signed_image, c.word);
        uint8_t signed_flag = 0;
        EXPECT_EQ(c.result, AuthenticatePRG(b, f, h, &signed_flag));
        EXPECT_EQ(100, std::ftell(f));
        EXPECT_EQ(c.result == 0 ? 1 : 0, signed_flag);
        std::vector<std::string> want;
        for (int k : c.set)
            want.push_back(key_id(k));
        EXPECT_EQ(want, sets(host));
        std::fclose(f);
    }
}

TEST(DownloadSecurity, ImageForAnEarlierKeyFails)
{
    fctest::FcHost host(signed_machine(key_id(1)));
    const int b = host.board(0x10);
    FILE *f = image(1000, 500, 0, 0);
    uint8_t h[AWC_HEADER_SIZE] = {};
    mbox_put_u32(h, 20, 768);
    uint8_t signed_flag = 0;
    EXPECT_EQ(KEK_FAILED, AuthenticateAWC(b, f, h, &signed_flag));
    mbox_put_u32(h, 20, 0);
    EXPECT_EQ(0xFFF90001u, AuthenticateAWC(b, f, h, &signed_flag));
    EXPECT_TRUE(sets(host).empty());
    EXPECT_EQ(key_id(1), held(host, b));
    std::fclose(f);
}

TEST(DownloadSecurity, AuthenticateFwcReadsItsOwnHeader)
{
    // The block lies at word - 264 behind the 48-byte header.
    struct Case {
        uint32_t word;
        bool signed_image;
        uint32_t result;
    } cases[] = {
        {264 + 400, true, 0},
        {264 + 688, true, 0}, // block ends at the file end
        {264 + 689, true, 0xFFF90001u},
        {263, true, 0xFFF90001u},
        {264 + 400, false, 0xFFEB0000u},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.word);
        fctest::FcHost host(signed_machine(key_id(0)));
        const int b = host.board(0x10);
        FILE *f = image(1000, 48 + static_cast<long>(c.word) - 264, 1, 0);
        // The header as stored: each word byte-reversed.
        uint8_t h[PRG_HEADER_SIZE];
        prg_header(h, c.signed_image, c.word);
        uint8_t stored[PRG_HEADER_SIZE];
        for (unsigned i = 0; i < PRG_HEADER_SIZE; ++i)
            stored[i] = h[i ^ 3];
        std::fwrite(stored, 1, sizeof stored, f);
        std::rewind(f);
        uint8_t signed_flag = 0;
        EXPECT_EQ(c.result, AuthenticateFWC(b, f, &signed_flag));
        EXPECT_EQ(0, std::ftell(f));
        EXPECT_EQ(c.result == 0 ? key_id(1) : key_id(0), held(host, b));
        std::fclose(f);
    }
}

TEST(DownloadSecurity, ZeroizeResult)
{
    struct Case {
        json fault; // null: none
        int result;
    } cases[] = {
        {nullptr, 0},
        {{{"kind", "kpl"}, {"result", 254}}, 0},
        {{{"kind", "kpl"}, {"mbox_status", 0x0F06}}, 189},
        {{{"kind", "kpl"}, {"result", -1}}, 189},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.fault.dump());
        fctest::FcHost host(signed_machine(key_id(2)));
        const int b = host.board(0x10);
        if (!c.fault.is_null()) {
            json f = c.fault;
            f["match"] = {{"board", b}, {"mbox", 0xF9}, {"sub", 5}};
            host.plan(f);
        }
        EXPECT_EQ(c.result, ZeroizeSecurityData(b));
        EXPECT_EQ(c.fault.is_null() ? key_id(0) : key_id(2), held(host, b));
        auto sent = host.calls("IssueMboxWithRetry");
        ASSERT_FALSE(sent.empty());
        EXPECT_EQ(0xF9, sent.back().value("mbox", 0));
    }
    // An adapter that is not signed knows no zeroize.
    fctest::FcHost host(signed_machine(key_id(0)));
    EXPECT_EQ(189, ZeroizeSecurityData(host.board(0x20)));
}

// A boot image as stored (each word byte-reversed): signature, the word at
// 24 naming the PCI data structure at 0x40, its mark and device id.
FILE *boot_image(uint16_t signature, uint32_t pointer, const char *mark, uint16_t device)
{
    uint8_t rom[0x60] = {};
    mbox_put_u32(rom, 0, signature);
    mbox_put_u32(rom, 24, pointer);
    std::memcpy(rom + 0x40, mark, 4);
    mbox_put_u16(rom, 0x46, device);
    uint8_t stored[sizeof rom];
    for (unsigned i = 0; i < sizeof rom; ++i)
        stored[i] = rom[i ^ 3];
    FILE *f = std::tmpfile();
    std::fwrite(stored, 1, sizeof stored, f);
    std::rewind(f);
    return f;
}

TEST(DownloadSecurity, BootImageDeviceFitsFamily)
{
    struct Case {
        uint16_t signature;
        uint32_t pointer;
        const char *mark;
        uint16_t device;
        uint32_t family;
        uint32_t result;
    } cases[] = {
        {0xAA55, 0x40, "PCIR", 0xF180, 0xF180, 0},
        {0xAA55, 0x40, "PCIR", 0xF180, 0xF100, 0xFFF70001u},
        {0xAA55, 0x40, "PCIR", 0xF100, 0xF180, 0xFFF70001u},
        {0xAA55, 0x40, "PCIR", 0xF100, 0x338F, 0},
        {0x1234, 0x40, "PCIR", 0xF180, 0xF700, 0}, // not read at all
        {0x1234, 0x40, "PCIR", 0xF180, 0xF180, 1},
        {0xAA55, 0, "PCIR", 0xF180, 0xF180, 1},
        {0xAA55, 0x40, "PCIX", 0xF180, 0xF180, 1},
        {0xAA55, 0x50, "PCIR", 0xF180, 0xF180, 0xFFF90002u}, // runs off the end
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.family) + " " + std::to_string(c.device));
        FILE *f = boot_image(c.signature, c.pointer, c.mark, c.device);
        EXPECT_EQ(c.result, ValidateOskaraOrHollinBootProgId(f, c.family));
        EXPECT_EQ(0, std::ftell(f));
        std::fclose(f);
    }
}

} // namespace
