// The simulated FC HBA's downloads on image bytes it cannot trust: every
// input is sent as a PRG image with DOWN_LOAD and as a container area with
// LOAD_AREA, to a signed adapter (device 0xF180) and to a plain one; the
// plain one then starts what its wakeup record names, the input's program
// id. The flash load list must stay walkable.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <nlohmann/json.hpp>

#include "sim/fc_hba.h"
#include "sim/machine.h"
#include "support/fuzz_util.h"

namespace
{

std::string gRoot;
std::string gMachine;
const int kSigned = 0, kPlain = 1;
const uint32_t kFlashHead = 1948;

[[noreturn]] void die(const std::string &why)
{
    std::fprintf(stderr, "fc_download_sim: %s\n", why.c_str());
    std::abort();
}

void put32(uint8_t *p, uint32_t v)
{
    std::memcpy(p, &v, 4);
}

uint32_t get32(const uint8_t *p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

uint32_t be32(const uint8_t *data, size_t size, size_t at)
{
    if (at + 4 > size)
        return 0;
    return static_cast<uint32_t>(data[at]) << 24 | static_cast<uint32_t>(data[at + 1]) << 16 |
           static_cast<uint32_t>(data[at + 2]) << 8 | data[at + 3];
}

void exchange(int board, uint8_t *m)
{
    hlvdsim::fc_mailbox(gRoot, "IssueMboxWithRetry", board, m, 128, 128, nullptr, 0, 0);
}

// Pieces of 108 bytes from `data`, each group of four in host order.
void piece(uint8_t *m, const uint8_t *data, size_t size, size_t off, uint32_t *n)
{
    *n = static_cast<uint32_t>(size - off < 108 ? size - off : 108);
    for (uint32_t i = 0; i < *n; ++i)
        m[20 + (i ^ 3)] = data[off + i];
}

void down_load(int board, const uint8_t *data, size_t size)
{
    uint8_t m[384] = {};
    m[1] = 0x1C;
    m[4] = 0x1A;
    put32(m + 12, static_cast<uint32_t>(size));
    put32(m + 16, be32(data, size, 4));
    put32(m + 20, be32(data, size, 8));
    exchange(board, m);
    for (size_t off = 0; off < size;) {
        std::memset(m, 0, sizeof m);
        uint32_t n = 0;
        piece(m, data, size, off, &n);
        off += n;
        m[1] = 0x1C;
        m[4] = static_cast<uint8_t>(off == size ? 0x0B : 0x0A);
        put32(m + 12, n);
        put32(m + 16, 20);
        exchange(board, m);
    }
}

void load_area(int board, uint8_t area, const uint8_t *data, size_t size)
{
    uint8_t m[384] = {};
    m[1] = 0x81;
    m[4] = 0x18;
    m[6] = 1;
    m[7] = area;
    put32(m + 8, 0x20000);
    exchange(board, m);
    uint32_t at = 0x20000;
    for (size_t off = 0; off < size;) {
        std::memset(m, 0, sizeof m);
        uint32_t n = 0;
        piece(m, data, size, off, &n);
        off += n;
        bool last = off == size;
        m[1] = 0x81;
        m[4] = static_cast<uint8_t>(last ? 0x0B : 0x0A);
        m[6] = static_cast<uint8_t>(last ? 4 : 3);
        m[7] = area;
        put32(m + 8, at);
        put32(m + 12, n);
        put32(m + 16, 20);
        exchange(board, m);
        at = get32(m + 8);
    }
}

// Walks the flash load list through memory dumps; it must end.
void check_list(int board)
{
    uint8_t m[384] = {};
    m[1] = 0x17;
    m[4] = 1;
    put32(m + 12, kFlashHead);
    put32(m + 16, 1);
    exchange(board, m);
    uint32_t at = get32(m + 20);
    for (int n = 0; at != kFlashHead; ++n) {
        if (n > 64)
            die("the flash load list does not end");
        std::memset(m, 0, sizeof m);
        m[1] = 0x17;
        m[4] = 1;
        put32(m + 12, at);
        put32(m + 16, 1);
        exchange(board, m);
        at = get32(m + 20);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    std::string scratch = hlvdfuzz::scratch_dir("fc_download");
    gRoot = scratch + "/host";
    nlohmann::json doc = nlohmann::json::parse(hlvdfuzz::default_machine_text());
    for (nlohmann::json &a : doc["adapters"])
        if (a["name"] == "fc-sli3") {
            a["functions"][0]["device_id"] = "0xF180";
            for (nlohmann::json &f : a["functions"])
                f["fc"]["load_area"] = {{"erase_steps", 1}};
        }
    gMachine = scratch + "/machine.json";
    std::string out = doc.dump();
    hlvdfuzz::write_file(gMachine, reinterpret_cast<const uint8_t *>(out.data()), out.size());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // A fresh adapter state for every input.
    std::string err;
    if (!hlvdsim::create_host(gRoot, gMachine, &err))
        die("cannot create simulated host: " + err);
    for (int board : {kSigned, kPlain}) {
        down_load(board, data, size);
        load_area(board, 2, data, size);
        check_list(board);
    }
    // Start the input's program id (the container's first one too).
    uint8_t rec[60] = {};
    put32(rec + 36, be32(data, size, 4));
    put32(rec + 28, be32(data, size, 8));
    uint32_t response = 0;
    hlvdsim::fc_update_config(gRoot, kPlain, 2, 4, sizeof rec, rec, &response);
    hlvdsim::fc_simple_call(gRoot, "ResetAdapter", kPlain, {1}, nullptr);
    uint8_t m[384] = {};
    m[1] = 0x11;
    exchange(kPlain, m);
    return 0;
}
