#include "sim/cfi_flash.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>

#include "sim/machine.h"

namespace hlvdsim
{

namespace
{

const uint32_t kAddressMask = kCfiChipBytes - 1;
const uint32_t kRegular = 64u << 10;
const size_t kMaxRanges = 256;
const size_t kMaxErased = 1024;

bool intel(const CfiChip &c)
{
    return c.kind.commandSet != 2;
}

long number(const nlohmann::json &obj, const char *key, long dflt)
{
    if (!obj.is_object() || !obj.contains(key))
        return dflt;
    const nlohmann::json &v = obj.at(key);
    if (v.is_number_integer() || v.is_number_unsigned())
        return v.get<long>();
    if (v.is_string())
        return std::strtol(v.get<std::string>().c_str(), nullptr, 0);
    return dflt;
}

bool unhex(const std::string &text, std::vector<uint8_t> &out)
{
    if (text.size() % 2)
        return false;
    out.clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        char pair[3] = {text[i], text[i + 1], 0};
        char *end = nullptr;
        unsigned long v = std::strtoul(pair, &end, 16);
        if (*end != '\0' || pair[0] == '-' || pair[0] == '+' || pair[0] == ' ')
            return false;
        out.push_back(static_cast<uint8_t>(v));
    }
    return true;
}

// The answer of a CFI query read.
uint16_t query_word(const CfiChip &c, uint32_t a)
{
    switch (a) {
    case 0x00:
        return c.kind.manufacturer;
    case 0x26:
        return c.kind.commandSet;
    case 0x4E:
        return c.kind.sizeCode;
    default:
        return 0;
    }
}

uint16_t identify_word(const CfiChip &c, uint32_t a)
{
    if ((a & 0xFF) == 0)
        return c.kind.manufacturer;
    if ((a & 0xFF) == 2)
        return c.kind.deviceCode;
    return 0;
}

bool in_sector(long at, uint32_t start, uint32_t size)
{
    return at >= 0 && static_cast<uint32_t>(at & kAddressMask) >= start &&
           static_cast<uint32_t>(at & kAddressMask) - start < size;
}

void note_programmed(CfiTraffic &t, uint32_t a)
{
    ++t.programs;
    if (!t.programmed.empty() && t.programmed.back().second == a) {
        t.programmed.back().second = a + 2;
        return;
    }
    if (t.programmed.size() >= kMaxRanges) {
        ++t.moreRanges;
        return;
    }
    t.programmed.push_back({a, a + 2});
}

// Erases the sector at `a`; false when it fails (a locked J3 block, a
// planned error).
bool erase(CfiChip &c, uint32_t a)
{
    uint32_t start = 0, size = 0;
    cfi_sector(c.kind, a, &start, &size);
    if (c.kind.commandSet == 1 && c.locks[start / kCfiLockBlock])
        return false;
    if (in_sector(c.faults.eraseErrorAt, start, size))
        return false;
    for (uint32_t i = start / 2; i < (start + size) / 2; ++i)
        c.words[i] = 0xFFFF;
    if (c.traffic.erased.size() < kMaxErased)
        c.traffic.erased.push_back({start, size});
    return true;
}

// Programs the word at `a` (bits only cleared); false when it fails.
bool program(CfiChip &c, uint32_t a, uint16_t data)
{
    if (c.kind.commandSet == 1 && c.locks[a / kCfiLockBlock])
        return false;
    if (c.faults.programErrorAt >= 0 && static_cast<uint32_t>(c.faults.programErrorAt & kAddressMask) == (a & ~1u))
        return false;
    c.words[a / 2] &= data;
    note_programmed(c.traffic, a & ~1u);
    return true;
}

void intel_write(CfiChip &c, uint32_t a, uint16_t v)
{
    uint16_t setup = c.pending;
    c.pending = 0;
    if (setup == 0x40 || setup == 0x10) {
        if (!program(c, a, v))
            c.status |= kCfiStatusProgramError;
        c.mode = CFI_STATUS;
        return;
    }
    ++c.traffic.commands[v & 0xFF];
    if (setup == 0x20) {
        if (v != 0xD0)
            c.status |= kCfiStatusEraseError | kCfiStatusProgramError; // sequence error
        else if (!erase(c, a))
            c.status |= kCfiStatusEraseError;
        c.mode = CFI_STATUS;
        return;
    }
    if (setup == 0x60) {
        if (v == 0xD0 && c.kind.commandSet == 1) {
            for (bool &l : c.locks)
                l = false;
        } else if (v == 0x01 && c.kind.commandSet == 1) {
            c.locks[a / kCfiLockBlock] = true;
        } else if (v != 0xD0 && v != 0x01) {
            c.status |= kCfiStatusEraseError | kCfiStatusProgramError;
        }
        c.mode = CFI_STATUS;
        return;
    }
    switch (v) {
    case 0x98:
        c.mode = CFI_QUERY;
        break;
    case 0xFF:
        c.mode = CFI_ARRAY;
        break;
    case 0x90:
        c.mode = CFI_IDENTIFY;
        break;
    case 0x70:
        c.mode = CFI_STATUS;
        break;
    case 0x50:
        c.status = 0;
        break;
    case 0x20:
    case 0x40:
    case 0x10:
    case 0x60:
        c.pending = v;
        break;
    default:
        break;
    }
}

void amd_write(CfiChip &c, uint32_t a, uint16_t v)
{
    if (c.amdProgram) {
        c.amdProgram = false;
        if (!program(c, a, v)) {
            c.pollAddress = a & ~1u;
            c.pollData = v;
        }
        return;
    }
    ++c.traffic.commands[v & 0xFF];
    uint32_t lo = a & 0xFFF;
    if (v == 0xF0) {
        c.mode = CFI_ARRAY;
        c.amdStep = 0;
        c.pollAddress = -1;
        return;
    }
    if (v == 0x98 && lo == 0xAA) {
        c.mode = CFI_QUERY;
        c.amdStep = 0;
        return;
    }
    int step = c.amdStep;
    c.amdStep = 0;
    if ((step == 0 || step == 3) && v == 0xAA && lo == 0xAAA) {
        c.amdStep = step + 1;
    } else if ((step == 1 || step == 4) && v == 0x55 && lo == 0x555) {
        c.amdStep = step + 1;
    } else if (step == 2 && lo == 0xAAA) {
        if (v == 0x90)
            c.mode = CFI_IDENTIFY;
        else if (v == 0xA0)
            c.amdProgram = true;
        else if (v == 0x80)
            c.amdStep = 3;
    } else if (step == 5 && v == 0x30) {
        if (!erase(c, a)) {
            // The sector never reads erased: keep its first word busy.
            uint32_t start = 0, size = 0;
            cfi_sector(c.kind, a, &start, &size);
            c.pollAddress = start;
            c.pollData = 0xFFFF;
        }
        c.mode = CFI_ARRAY;
    }
}

uint16_t read_word(const CfiChip &c, uint32_t a)
{
    switch (c.mode) {
    case CFI_QUERY:
        return query_word(c, a);
    case CFI_IDENTIFY:
        return identify_word(c, a);
    case CFI_STATUS:
        if (intel(c))
            return static_cast<uint16_t>(c.status | (c.faults.neverReady ? 0 : kCfiStatusReady));
        break;
    case CFI_ARRAY:
        break;
    }
    uint16_t w = c.words[a / 2];
    if (c.pollAddress >= 0 && static_cast<uint32_t>(c.pollAddress) == (a & ~1u))
        w = static_cast<uint16_t>((w & ~0x80u) | (~c.pollData & 0x80u));
    return w;
}

} // namespace

bool cfi_register(long reg)
{
    return reg == kCfiRegRead || reg == kCfiRegReadAddress || reg == kCfiRegWriteAddress ||
           reg == kCfiRegWriteData || reg == kCfiRegOwnership;
}

bool cfi_configure(const nlohmann::json &desc, int channel, CfiChip &chip, std::string *err)
{
    chip = CfiChip();
    nlohmann::json d = desc.is_object() ? desc : nlohmann::json::object();
    chip.kind.manufacturer = static_cast<uint8_t>(number(d, "manufacturer", 0x89));
    chip.kind.commandSet = static_cast<uint8_t>(number(d, "command_set", 3));
    chip.kind.sizeCode = static_cast<uint8_t>(number(d, "size_code", 0x15));
    chip.kind.deviceCode =
        static_cast<uint16_t>(number(d, "device_code", chip.kind.commandSet << 8 | chip.kind.sizeCode));
    chip.kind.channel = static_cast<int>(number(d, "channel", channel)) & 1;
    nlohmann::json f = d.contains("faults") && d["faults"].is_object() ? d["faults"] : nlohmann::json::object();
    chip.faults.grantReads = number(f, "grant_reads", 1);
    chip.faults.neverReady = f.value("never_ready", false);
    chip.faults.neverValid = f.value("never_valid", false);
    chip.faults.eraseErrorAt = number(f, "erase_error_at", -1);
    chip.faults.programErrorAt = number(f, "program_error_at", -1);
    chip.words.assign(kCfiChipBytes / 2, 0xFFFF);
    if (d.contains("data")) {
        std::vector<uint8_t> bytes;
        if (!d["data"].is_string() || !unhex(d["data"].get<std::string>(), bytes) || bytes.size() > kCfiChipBytes) {
            if (err)
                *err = "cfi_flash data is not hex of at most the chip's size";
            return false;
        }
        cfi_put_bytes(chip, 0, bytes.data(), bytes.size());
    }
    return true;
}

void cfi_sector(const CfiKind &kind, uint32_t addr, uint32_t *start, uint32_t *size)
{
    addr &= kAddressMask;
    uint32_t s = kRegular;
    if (kind.commandSet == 1) {
        s = 128u << 10;
    } else if (addr >= 0x1E0000 && addr < 0x200000) {
        bool channelB = kind.channel == 1;
        bool small = false;
        if (kind.commandSet == 3)
            small = channelB || kind.sizeCode == 0x15;
        else if (kind.commandSet == 2 && channelB)
            small = kind.sizeCode == 0x16 || kind.sizeCode == 0x15;
        if (small && kind.commandSet == 2 && kind.sizeCode == 0x15) {
            // 32 KB, 8 KB, 8 KB, 16 KB in the last regular sector but one.
            if (addr >= 0x1E0000 && addr < 0x1F0000) {
                static const uint32_t starts[] = {0x1E0000, 0x1E8000, 0x1EA000, 0x1EC000, 0x1F0000};
                for (int i = 0; i < 4; ++i)
                    if (addr < starts[i + 1]) {
                        *start = starts[i];
                        *size = starts[i + 1] - starts[i];
                        return;
                    }
            }
        } else if (small && addr >= 0x1F0000) {
            s = 8u << 10;
        }
    }
    *start = addr & ~(s - 1);
    *size = s;
}

uint16_t cfi_word(const CfiChip &chip, uint32_t addr)
{
    return chip.words[(addr & kAddressMask) / 2];
}

void cfi_put_bytes(CfiChip &chip, uint32_t addr, const uint8_t *bytes, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        uint32_t a = static_cast<uint32_t>((addr + i) & kAddressMask);
        uint16_t &w = chip.words[a / 2];
        w = (a & 1) ? static_cast<uint16_t>((w & 0xFF00) | bytes[i])
                    : static_cast<uint16_t>((w & 0x00FF) | bytes[i] << 8);
    }
}

void cfi_get_bytes(const CfiChip &chip, uint32_t addr, uint8_t *bytes, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        uint32_t a = static_cast<uint32_t>((addr + i) & kAddressMask);
        uint16_t w = chip.words[a / 2];
        bytes[i] = static_cast<uint8_t>((a & 1) ? w : w >> 8);
    }
}

uint32_t cfi_read_reg(CfiChip &c, uint32_t reg)
{
    switch (reg) {
    case kCfiRegRead:
        return c.readLatch;
    case kCfiRegOwnership:
        if (c.active && !c.owned && c.faults.grantReads >= 0 && --c.readsToGrant <= 0) {
            c.owned = true;
            ++c.traffic.grants;
            c.reg100 |= kCfiAck;
        }
        return c.reg100;
    default:
        return 0;
    }
}

void cfi_write_reg(CfiChip &c, uint32_t reg, uint32_t value)
{
    switch (reg) {
    case kCfiRegOwnership:
        if (value == 1) {
            ++c.traffic.requests;
            if (!c.active) {
                c.active = true;
                c.owned = false;
                c.readsToGrant = c.faults.grantReads;
                c.reg100 = 1;
            }
        } else if (value == 0 || value == 5) {
            if (value == 0)
                ++c.traffic.releases;
            else
                ++c.traffic.handBacks;
            c.active = false;
            c.owned = false;
            c.reg100 = value | kCfiAck;
            c.mode = CFI_ARRAY;
            c.pending = 0;
            c.amdStep = 0;
            c.amdProgram = false;
            c.pollAddress = -1;
        }
        return;
    case kCfiRegReadAddress: {
        if (!c.owned) {
            c.readLatch = 0;
            return;
        }
        uint16_t w = read_word(c, value & kAddressMask);
        c.readLatch = static_cast<uint32_t>(w) << 16 | (c.faults.neverValid ? 0 : kCfiValid);
        return;
    }
    case kCfiRegWriteAddress:
        c.writeAddress = value & kAddressMask;
        return;
    case kCfiRegWriteData:
        if (!c.owned)
            return;
        if (intel(c))
            intel_write(c, c.writeAddress, static_cast<uint16_t>(value));
        else
            amd_write(c, c.writeAddress, static_cast<uint16_t>(value));
        return;
    default:
        return;
    }
}

nlohmann::json cfi_take_summary(CfiChip &chip)
{
    CfiTraffic &t = chip.traffic;
    nlohmann::json s;
    s["requests"] = t.requests;
    s["grants"] = t.grants;
    s["releases"] = t.releases;
    s["hand_backs"] = t.handBacks;
    nlohmann::json commands = nlohmann::json::object();
    for (unsigned i = 0; i < 256; ++i)
        if (t.commands[i]) {
            char key[8];
            std::snprintf(key, sizeof key, "0x%02X", i);
            commands[key] = t.commands[i];
        }
    s["commands"] = commands;
    s["programs"] = t.programs;
    nlohmann::json erased = nlohmann::json::array();
    for (const auto &e : t.erased)
        erased.push_back({e.first, e.second});
    s["erased"] = erased;
    nlohmann::json ranges = nlohmann::json::array();
    for (const auto &r : t.programmed)
        ranges.push_back({r.first, r.second});
    s["programmed"] = ranges;
    if (t.moreRanges)
        s["more_ranges"] = t.moreRanges;
    nlohmann::json locked = nlohmann::json::array();
    for (uint32_t i = 0; i < kCfiLockBlocks; ++i)
        if (chip.locks[i])
            locked.push_back(i * kCfiLockBlock);
    s["locked"] = locked;
    t = CfiTraffic();
    return s;
}

bool cfi_load(const std::string &path, CfiChip &chip)
{
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    std::vector<uint8_t> b(kCfiChipBytes + kCfiLockBlocks + 1);
    size_t n = std::fread(b.data(), 1, b.size(), f);
    std::fclose(f);
    if (n != kCfiChipBytes + kCfiLockBlocks)
        return false;
    chip.words.resize(kCfiChipBytes / 2);
    for (uint32_t i = 0; i < kCfiChipBytes / 2; ++i)
        chip.words[i] = static_cast<uint16_t>(b[2 * i] << 8 | b[2 * i + 1]);
    for (uint32_t i = 0; i < kCfiLockBlocks; ++i)
        chip.locks[i] = b[kCfiChipBytes + i] != 0;
    return true;
}

bool cfi_read_stored(const std::string &path, uint32_t addr, uint8_t *bytes, size_t n)
{
    if (addr > kCfiChipBytes || n > kCfiChipBytes - addr)
        return false;
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    bool ok = std::fseek(f, static_cast<long>(addr), SEEK_SET) == 0 && std::fread(bytes, 1, n, f) == n;
    std::fclose(f);
    return ok;
}

bool cfi_save(const std::string &path, const CfiChip &chip, std::string *err)
{
    std::string b(kCfiChipBytes + kCfiLockBlocks, '\0');
    for (uint32_t i = 0; i < kCfiChipBytes / 2; ++i) {
        b[2 * i] = static_cast<char>(chip.words[i] >> 8);
        b[2 * i + 1] = static_cast<char>(chip.words[i] & 0xFF);
    }
    for (uint32_t i = 0; i < kCfiLockBlocks; ++i)
        b[kCfiChipBytes + i] = chip.locks[i] ? 1 : 0;
    std::string dir = path.substr(0, path.rfind('/'));
    if (!make_dirs(dir)) {
        if (err)
            *err = "cannot make " + dir;
        return false;
    }
    return write_file_atomic(path, b, err);
}

std::string cfi_chip_path(const std::string &sysroot, size_t adapter, size_t function)
{
    return state_dir(sysroot) + "/cfi_flash/a" + std::to_string(adapter) + "-f" + std::to_string(function) + ".bin";
}

// ---------------------------------------------------------------------------
// Chips held in this process while owned. A download makes millions of
// register calls; the chip must not go through the state files for each.

namespace
{

std::mutex g_cacheMutex;
std::map<std::pair<std::string, int>, std::unique_ptr<CfiChip>> g_cache;
// The last chip found, so the common call skips the map.
std::string g_lastRoot;
int g_lastBoard = -1;
CfiChip *g_lastChip = nullptr;

} // namespace

CfiCacheLock::CfiCacheLock()
{
    g_cacheMutex.lock();
}

CfiCacheLock::~CfiCacheLock()
{
    g_cacheMutex.unlock();
}

CfiChip *cfi_cache_find(const std::string &sysroot, int board)
{
    if (g_lastChip && g_lastBoard == board && g_lastRoot == sysroot)
        return g_lastChip;
    auto it = g_cache.find({sysroot, board});
    if (it == g_cache.end())
        return nullptr;
    g_lastRoot = sysroot;
    g_lastBoard = board;
    g_lastChip = it->second.get();
    return g_lastChip;
}

CfiChip &cfi_cache_put(const std::string &sysroot, int board, CfiChip &&chip)
{
    std::unique_ptr<CfiChip> &slot = g_cache[{sysroot, board}];
    slot.reset(new CfiChip(std::move(chip)));
    g_lastChip = nullptr;
    return *slot;
}

void cfi_cache_drop(const std::string &sysroot, int board)
{
    g_cache.erase({sysroot, board});
    g_lastChip = nullptr;
}

bool cfi_fast_call(const std::string &sysroot, int board, bool write, uint32_t reg, uint32_t value,
                   uint32_t *out)
{
    return cfi_fast_call(sysroot.c_str(), board, write, reg, value, out);
}

bool cfi_fast_call(const char *sysroot, int board, bool write, uint32_t reg, uint32_t value, uint32_t *out)
{
    if (!cfi_register(reg) || (write && reg == kCfiRegOwnership))
        return false;
    const char *root = sysroot ? sysroot : "";
    CfiCacheLock hold;
    // Few chips are held at once: a walk finds one without building a key,
    // which keeps a register access cheap over a whole-chip download.
    for (auto &e : g_cache) {
        if (e.first.second != board || e.first.first != root)
            continue;
        CfiChip *c = e.second.get();
        if (!c || !c->active)
            return false;
        if (write) {
            cfi_write_reg(*c, reg, value);
        } else {
            uint32_t v = cfi_read_reg(*c, reg);
            if (out)
                *out = v;
        }
        return true;
    }
    return false;
}

} // namespace hlvdsim
