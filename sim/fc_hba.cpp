#include "sim/fc_hba.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>

#include <sys/stat.h>

#include "sim/cfi_flash.h"
#include "sim/command_log.h"
#include "sim/fault_plan.h"
#include "sim/fc_objects.h"
#include "sim/grp_generator.h"
#include "sim/ufi_generator.h"

namespace hlvdsim
{

namespace
{

typedef std::vector<uint8_t> Bytes;

// ---------------------------------------------------------------------------
// Small helpers

long jnum(const json &obj, const char *key, long dflt)
{
    if (!obj.is_object() || !obj.contains(key))
        return dflt;
    const json &v = obj.at(key);
    if (v.is_number_integer() || v.is_number_unsigned())
        return v.get<long>();
    if (v.is_string())
        return std::strtol(v.get<std::string>().c_str(), nullptr, 0);
    return dflt;
}

uint32_t get32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

uint16_t get16(const uint8_t *p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

void put32(uint8_t *p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

void put16(uint8_t *p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

// memcpy that accepts an empty source (an empty vector has no data pointer).
void copy_bytes(void *dst, const void *src, size_t n)
{
    if (n)
        std::memcpy(dst, src, n);
}

Bytes from_hex(const std::string &hex)
{
    Bytes out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16)));
    return out;
}

std::string hex_of(const Bytes &b)
{
    return to_hex(b.data(), b.size());
}

Bytes text_bytes(const std::string &t, size_t n)
{
    Bytes b(n, 0);
    std::memcpy(b.data(), t.data(), std::min(n, t.size()));
    return b;
}

// Bytes reversed within every 32-bit word, as older FC HBAs hand text to a
// little-endian host.
Bytes word_reversed(const Bytes &b)
{
    Bytes out(b.size(), 0);
    for (size_t i = 0; i < b.size(); ++i)
        if ((i ^ 3) < b.size())
            out[i ^ 3] = b[i];
    return out;
}

// A text as stored in a word-swapped image: byte i of the text at i XOR 3.
uint32_t text_word(const std::string &t, size_t at, bool swapped)
{
    uint8_t c[4] = {};
    for (size_t k = 0; k < 4; ++k)
        c[k] = at + k < t.size() ? static_cast<uint8_t>(t[at + k]) : 0;
    if (swapped)
        return static_cast<uint32_t>(c[0]) << 24 | static_cast<uint32_t>(c[1]) << 16 |
               static_cast<uint32_t>(c[2]) << 8 | c[3];
    return get32(c);
}

bool parse_wwpn(const std::string &text, uint8_t out[8])
{
    unsigned v[8];
    if (std::sscanf(text.c_str(), "%x:%x:%x:%x:%x:%x:%x:%x", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6],
                    &v[7]) != 8)
        return false;
    for (int i = 0; i < 8; ++i)
        out[i] = static_cast<uint8_t>(v[i]);
    return true;
}

// ---------------------------------------------------------------------------
// Default state

typedef std::vector<std::pair<std::string, std::string>> Keywords;

// A PCI VPD image: identifier string, read-only section with the keywords
// and the checksum keyword RV (its byte makes the sum of every byte up to it
// zero), end tag; padded to whole words, and for `reversed` stored with the
// bytes of each word reversed.
Bytes make_vpd(const std::string &name, const Keywords &keywords, bool reversed)
{
    Bytes v;
    size_t name_len = std::min<size_t>(name.size(), 0xFFFF);
    v.push_back(0x82);
    v.push_back(static_cast<uint8_t>(name_len));
    v.push_back(static_cast<uint8_t>(name_len >> 8));
    v.insert(v.end(), name.begin(), name.begin() + static_cast<long>(name_len));
    v.push_back(0x90);
    size_t len_at = v.size();
    v.push_back(0);
    v.push_back(0);
    for (const auto &kw : keywords) {
        size_t n = std::min<size_t>(kw.second.size(), 255);
        v.push_back(static_cast<uint8_t>(kw.first.size() > 0 ? kw.first[0] : ' '));
        v.push_back(static_cast<uint8_t>(kw.first.size() > 1 ? kw.first[1] : ' '));
        v.push_back(static_cast<uint8_t>(n));
        v.insert(v.end(), kw.second.begin(), kw.second.begin() + static_cast<long>(n));
    }
    v.push_back('R');
    v.push_back('V');
    v.push_back(1);
    v.push_back(0); // the checksum, below
    size_t ro_len = v.size() - len_at - 2;
    v[len_at] = static_cast<uint8_t>(ro_len);
    v[len_at + 1] = static_cast<uint8_t>(ro_len >> 8);
    uint8_t sum = 0;
    for (size_t i = 0; i + 1 < v.size(); ++i)
        sum = static_cast<uint8_t>(sum + v[i]);
    v.back() = static_cast<uint8_t>(0x100 - sum);
    v.push_back(0x78);
    while (v.size() % 4)
        v.push_back(0);
    return reversed ? word_reversed(v) : v;
}

// The VPD of a function: the description's "vpd" {"identifier", "keywords"
// (pairs in order, or an object), "word_reversed"} over the defaults.
Bytes function_vpd(const json &desc, const std::string &name, const Keywords &defaults)
{
    if (!desc.is_object())
        return make_vpd(name, defaults, false);
    std::string id = desc.contains("identifier") && desc["identifier"].is_string()
                         ? desc["identifier"].get<std::string>()
                         : name;
    Keywords kws = defaults;
    if (desc.contains("keywords")) {
        kws.clear();
        const json &k = desc["keywords"];
        if (k.is_array()) {
            for (const json &e : k)
                if (e.is_array() && e.size() == 2 && e[0].is_string() && e[1].is_string())
                    kws.emplace_back(e[0].get<std::string>(), e[1].get<std::string>());
        } else if (k.is_object()) {
            for (auto it = k.begin(); it != k.end(); ++it)
                if (it.value().is_string())
                    kws.emplace_back(it.key(), it.value().get<std::string>());
        }
    }
    return make_vpd(id, kws, desc.value("word_reversed", false));
}

struct Image {
    uint32_t address;
    uint32_t id0;
    uint32_t id1;
    std::string description;
    bool long_header = false; // bit 3 of the word at +12: the program header lies 100 bytes in
};

const uint32_t kFlashHead = 1948;
const uint32_t kRamHead = 1940;
const uint32_t kFlashEntries = 0x1000; // 6-word flash list entries from here
const uint32_t kRamEntries = 0x2000;   // 9-word RAM list entries from here
const uint32_t kLoadBase = 0x4000;     // where an image believes it lies (word at +28)
const size_t kPrgBody = 48;            // a PRG image's body follows its 48-byte header

bool free_slot(uint32_t id0)
{
    return id0 == 0 || id0 == 0xFFFFFFFF;
}

// An image's bytes as the program description reads them: the word at +12
// places the program header (48 or 100 bytes in), whose word at +4 (type 0)
// or +8 points at the text in the image's own addressing, corrected by the
// word at +28; the word at +4 or +8 of the image itself points at the text
// by adapter address, as the RAM list's walk takes it.
void put_image(std::map<uint32_t, uint32_t> &mem, const Image &im)
{
    if (free_slot(im.id0))
        return;
    uint32_t type = im.id0 >> 24;
    uint32_t start = im.address + (im.long_header ? 100 : 48);
    uint32_t text = start + 64;
    mem[im.address + 12] = im.long_header ? 0x08 : 0;
    mem[im.address + 28] = kLoadBase;
    mem[start + (type == 0 ? 4 : 8)] = kLoadBase + 64 + 2; // low two bits are not part of the pointer
    mem[im.address + (type == 0 ? 4 : 8)] = text;
    for (uint32_t k = 0; k < 24; k += 4)
        mem[text + k] = text_word(im.description, k, type != 3);
}

// Adapter memory with the two load lists (flash list entries of 6 words,
// RAM list entries of 9, each list linked back to its head, or for
// `cycle` the flash list's last entry back to its first) and each image's
// program description.
json make_memory(const std::vector<Image> &flash, const std::vector<Image> &ram, uint32_t jedec_word, bool cycle)
{
    std::map<uint32_t, uint32_t> mem;
    mem[1928] = 0x7FFFC; // SRAM size of the first bus
    mem[1932] = 0x3FFFC;
    mem[0x80001C] = jedec_word;
    mem[kFlashHead] = flash.empty() ? kFlashHead : kFlashEntries;
    for (size_t i = 0; i < flash.size(); ++i) {
        const Image &im = flash[i];
        uint32_t at = kFlashEntries + static_cast<uint32_t>(i) * 24;
        mem[at] = i + 1 < flash.size() ? at + 24 : cycle ? kFlashEntries : kFlashHead;
        mem[at + 4] = 0;
        mem[at + 8] = im.address;
        mem[at + 12] = 0;
        mem[at + 16] = im.id0;
        mem[at + 20] = im.id1;
        put_image(mem, im);
    }
    mem[kRamHead] = ram.empty() ? kRamHead : kRamEntries;
    for (size_t i = 0; i < ram.size(); ++i) {
        const Image &im = ram[i];
        uint32_t at = kRamEntries + static_cast<uint32_t>(i) * 36;
        mem[at] = i + 1 < ram.size() ? at + 36 : kRamHead;
        mem[at + 8] = im.address;
        mem[at + 28] = im.id0;
        mem[at + 32] = im.id1;
        put_image(mem, im);
    }
    json out = json::object();
    for (const auto &kv : mem)
        out[std::to_string(kv.first)] = kv.second;
    return out;
}

// Images of a machine description: [{"id0", "id1", "address",
// "description", "long_header"}], numbers or texts of numbers.
std::vector<Image> images_of(const json &list)
{
    std::vector<Image> out;
    if (!list.is_array())
        return out;
    for (const json &e : list) {
        Image im;
        im.id0 = static_cast<uint32_t>(jnum(e, "id0", 0));
        im.id1 = static_cast<uint32_t>(jnum(e, "id1", 0));
        im.address = static_cast<uint32_t>(jnum(e, "address", 0));
        im.description = e.is_object() && e.contains("description") && e["description"].is_string()
                             ? e["description"].get<std::string>()
                             : std::string();
        im.long_header = e.is_object() && e.value("long_header", false);
        out.push_back(im);
    }
    return out;
}

// The profile of an SLI-4 function: a function descriptor and the PCIe
// resource descriptor (type 0x40) whose expansion ROM is shown and may change.
json make_profile(int pf)
{
    Bytes nic(72, 0), pcie(72, 0);
    nic[0] = 0x50;
    nic[1] = 72;
    pcie[0] = 0x40;
    pcie[1] = 72;
    put16(&pcie[4], static_cast<uint16_t>(pf & 0x3FF));
    pcie[12] = 1;             // sriov_state
    pcie[13] = 1;             // pf_state
    pcie[14] = 1;             // pf_type
    put16(&pcie[16], 0);      // num_of_vfs
    pcie[23] = 0x20 | 0x40;   // xchg, xrom 1 (shown)
    return json::array({hex_of(nic), hex_of(pcie)});
}

Bytes make_fru(const std::string &serial)
{
    Bytes f(1536, 0);
    for (size_t i = 0; i < f.size(); ++i)
        f[i] = static_cast<uint8_t>((i * 7 + 3) & 0xFF);
    std::memcpy(f.data() + 8, serial.data(), std::min<size_t>(serial.size(), 32));
    return f;
}

json default_state(const Machine &m, const FcRef &r, const FcCaps &caps)
{
    const Adapter &a = m.adapters[r.adapter];
    const Function &f = a.functions[r.function];
    const json &adoc = m.doc.at("adapters").at(r.adapter);
    const json &fdoc = adoc.at("functions").at(r.function);
    bool sli4 = caps.sli_level == 4;
    json s;
    uint32_t jedec = sli4 ? 0x1004 : 0x0577;
    if (fdoc.contains("fc") && fdoc["fc"].contains("jedec"))
        jedec = static_cast<uint32_t>(jnum(fdoc["fc"], "jedec", jedec));
    s["jedec"] = jedec;
    uint32_t w8 = (jedec & 0xFFFF) << 12 | 0x0A0, w12 = (jedec & 0xFFFF) << 12 | 0x0B0;
    s["rev_words"] = json::array({w8, w12});
    std::string active = a.active_version.empty() ? "0.0.0.0" : a.active_version;
    std::string boot = a.boot_version.empty() ? active : a.boot_version;
    s["fw_name"] = active.substr(0, 16);
    s["fw_from"] = a.active_version; // the version the name follows

    std::vector<Image> images;
    uint32_t fw_type = sli4 ? 14 : 11;
    images.push_back({0x20000, fw_type << 24 | 0x4C << 16 | 0x2100, 0x00000001, "SLI firmware " + active});
    images.push_back({0x60000, 3u << 24 | 0x4C << 16 | 0x1200, 0x00000001, "Boot code " + boot});
    // The description may give the images of both lists.
    const json fcdoc = fdoc.contains("fc") && fdoc["fc"].is_object() ? fdoc["fc"] : json::object();
    if (fcdoc.contains("images"))
        images = images_of(fcdoc["images"]);
    // An adapter with a directly programmable flash chip keeps its first
    // image at 0x40004 and its config regions at the chip's top.
    if (fcdoc.contains("cfi_flash") && !images.empty())
        images[0].address = 0x40004;
    std::vector<Image> ram(images.begin(), images.begin() + (images.empty() ? 0 : 1));
    if (fcdoc.contains("ram_images"))
        ram = images_of(fcdoc["ram_images"]);
    s["memory"] = make_memory(images, ram, w8, fcdoc.value("load_list_cycle", false));

    uint8_t ww[8] = {};
    parse_wwpn(f.wwpn, ww);
    Bytes wwpn(ww, ww + 8);
    Bytes wake(60, 0);
    // The wakeup record names the images the adapter starts by program id.
    // The wakeup record names the images the adapter starts, by program id in
    // the slot of each type (the first image of a type); the boot image is
    // also the one in the expansion ROM.
    static const struct {
        uint32_t type;
        size_t word;
    } slots[] = {{2, 0}, {3, 3}, {6, 5}, {7, 7}, {11, 9}, {14, 11}, {3, 13}};
    for (const auto &slot : slots)
        for (const Image &im : images)
            if (!free_slot(im.id0) && im.id0 >> 24 == slot.type) {
                put32(&wake[4 * slot.word], im.id0);
                put32(&wake[4 * slot.word + 4], im.id1);
                break;
            }
    if (fcdoc.contains("wakeup") && fcdoc["wakeup"].is_array())
        for (size_t i = 0; i < 15 && i < fcdoc["wakeup"].size(); ++i)
            put32(&wake[4 * i], static_cast<uint32_t>(jnum(json{{"w", fcdoc["wakeup"][i]}}, "w", 0)));
    // Single words by number, e.g. {"13": 0} for no boot code in the ROM.
    if (fcdoc.contains("wakeup") && fcdoc["wakeup"].is_object())
        for (auto it = fcdoc["wakeup"].begin(); it != fcdoc["wakeup"].end(); ++it) {
            char *end = nullptr;
            unsigned long w = std::strtoul(it.key().c_str(), &end, 10);
            if (end != it.key().c_str() && *end == '\0' && w < 15)
                put32(&wake[4 * w], static_cast<uint32_t>(jnum(json{{"w", it.value()}}, "w", 0)));
        }
    std::string model = a.name.empty() ? "FC HBA" : a.name;
    Keywords kws = {{"PN", "P" + std::to_string(f.device_id)}, {"SN", a.serial}, {"EC", "A1"}, {"MN", "10DF"},
                    {"V4", "FC-SIM"}};
    Bytes vpd = function_vpd(fcdoc.value("vpd", json()), "Simulated " + model + " FC HBA", kws);
    json regions = json::object();
    regions["4"] = {{"data", hex_of(wake)}, {"recreate", false}};
    regions["14"] = {{"data", hex_of(vpd)}, {"recreate", false}};
    regions[sli4 ? "32" : "16"] = {{"data", hex_of(wwpn)}, {"recreate", false}};
    s["regions"] = regions;

    if (adoc.contains("temperature") && adoc["temperature"].is_null())
        s["temperature"] = nullptr;
    else
        s["temperature"] = jnum(adoc, "temperature", 45);
    s["persist_link_down"] = 0;
    s["link_state"] = 6;
    s["dump_env"] = 0;
    s["loopback"] = 0;
    s["board_env"] = 1;
    s["resets"] = 0;
    s["restarts"] = 0;
    s["registers"] = json::object();
    s["ula"] = json::array({0, 0});
    Bytes nv(40, 0);
    std::memcpy(&nv[16], ww, 8); // port name
    std::memcpy(&nv[24], ww, 8); // node name
    nv[24] = 0x20;
    s["nvparms"] = hex_of(nv);
    s["config"] = hex_of(Bytes(44, 0));
    s["status"] = hex_of(Bytes(48, 0));

    json sli;
    sli["attributes"] = {{"fc_universal_bios_version", boot},
                         {"fc_x86_bios_version", boot},
                         {"fc_efi_bios_version", boot},
                         {"fc_fcode_version", boot},
                         {"ipl_file_name", "FCIPL01"}};
    sli["boot_config"] = 1;
    sli["profile"] = make_profile(static_cast<int>(r.function));
    sli["vpd"] = hex_of(vpd);
    sli["phy"] = json::array({2, 1, 0, 0, 0, 0x3C, 0x3C});
    sli["port_number"] = f.port;
    sli["port_names"] = "0123";
    sli["fw_versions"] = json::array({active, boot});
    sli["fru"] = hex_of(make_fru(a.serial));
    sli["ffv_name"] = "FFV-" + a.serial.substr(0, 24);
    Bytes entries(3 * 12, 0);
    for (size_t i = 0; i < entries.size(); ++i)
        entries[i] = static_cast<uint8_t>(i + 1);
    sli["dport"] = {{"state", 1}, {"count", 3}, {"word20", 0}, {"word24", 0},
                    {"half28", 0}, {"half30", 0}, {"entries", hex_of(entries)}};
    sli["features"] = json::object();
    sli["link_diag"] = 0;
    sli["dport_mode"] = 0;
    sli["factory_defaults"] = 0;
    s["sli"] = sli;

    // The description's own values win.
    if (fdoc.contains("fc") && fdoc["fc"].is_object())
        for (auto it = fdoc["fc"].begin(); it != fdoc["fc"].end(); ++it) {
            if (it.key() == "jedec")
                continue; // read above, as a number
            if (it.key() == "sli" && it.value().is_object())
                for (auto jt = it.value().begin(); jt != it.value().end(); ++jt)
                    s["sli"][jt.key()] = jt.value();
            else
                s[it.key()] = it.value();
        }
    return s;
}

// ---------------------------------------------------------------------------
// One call on one board

struct Board {
    std::string sysroot;
    int index = -1;
    FcRef ref{0, 0};
    FcCaps caps;
    json kpl; // the function's "kpl" object
    std::string pci;
    bool fcoe = false;
    uint16_t device_id = 0;
    bool sli4() const { return caps.sli_level == 4; }
    bool ext() const { return sli4() && (caps.features & 0x1000); }
};

bool find_board(const std::string &sysroot, int index, Board &b)
{
    if (sysroot.empty() || index < 0)
        return false;
    std::shared_ptr<const Machine> layout = load_layout(sysroot, nullptr);
    if (!layout)
        return false;
    std::vector<FcRef> list = fc_listing(*layout);
    if (static_cast<size_t>(index) >= list.size())
        return false;
    b.sysroot = sysroot;
    b.index = index;
    b.ref = list[static_cast<size_t>(index)];
    const Adapter &a = layout->adapters[b.ref.adapter];
    const Function &f = a.functions[b.ref.function];
    const json &fdoc = layout->doc.at("adapters").at(b.ref.adapter).at("functions").at(b.ref.function);
    if (fdoc.contains("kpl") && fdoc["kpl"].is_object())
        b.kpl = fdoc["kpl"];
    b.caps = fc_driver_caps(a, f, b.kpl);
    b.pci = pci_name(f);
    b.fcoe = f.kind == "fcoe";
    b.device_id = f.device_id;
    return true;
}

void note_running(json &st, bool sli4);

// The adapter loaded under the state lock with the board's state.
struct Session {
    Board &b;
    StateLock lock;
    Machine m;
    json st;
    bool ok = false;
    bool dirty = false;
    explicit Session(Board &board) : b(board), lock(board.sysroot)
    {
        if (!lock.held() || !load_adapter(b.sysroot, b.ref.adapter, m, nullptr))
            return;
        json &adoc = m.doc["adapters"][0];
        std::string key = std::to_string(b.ref.function);
        if (adoc.contains("fc_state") && adoc["fc_state"].contains(key)) {
            st = adoc["fc_state"][key];
        } else {
            std::shared_ptr<const Machine> layout = load_layout(b.sysroot, nullptr);
            if (!layout)
                return;
            st = default_state(*layout, b.ref, b.caps);
            note_running(st, b.sli4());
        }
        follow_active();
        ok = true;
    }
    json &firmware()
    {
        json &fw = m.doc["adapters"][0]["firmware"];
        if (!fw.is_object())
            fw = json::object();
        return fw;
    }
    // The firmware name follows the adapter's active version whenever that
    // changes (a reboot, a reset that activates flashed firmware).
    void follow_active()
    {
        const json &fw = m.doc["adapters"][0].value("firmware", json::object());
        if (!fw.contains("active"))
            return;
        std::string active = value_bytes(fw.at("active"));
        if (!st.contains("fw_from")) {
            st["fw_from"] = bytes_value(active);
            dirty = true;
            return;
        }
        if (value_bytes(st["fw_from"]) == active)
            return;
        st["fw_from"] = bytes_value(active);
        st["fw_name"] = bytes_value(active.substr(0, 16));
        if (st.contains("sli") && st["sli"].contains("fw_versions") && st["sli"]["fw_versions"].is_array() &&
            !st["sli"]["fw_versions"].empty())
            st["sli"]["fw_versions"][0] = bytes_value(active);
        dirty = true;
    }
    bool save()
    {
        if (!dirty)
            return true;
        m.doc["adapters"][0]["fc_state"][std::to_string(b.ref.function)] = st;
        return save_adapter(b.sysroot, b.ref.adapter, m, nullptr);
    }
};

void log_entry(const Board *b, const std::string &sysroot, const char *call, int board, json args, int result,
               json extra = json::object())
{
    std::string c = call;
    // Resets, dump environment and loopback keep their entries of kind "kpl".
    // (a call refused for its arguments or board is an "fc" entry).
    bool kpl = b && (c == "ResetAdapter" || c == "SetDumpEnv" || c == "ConfigLoopback");
    json e = {{"kind", kpl ? "kpl" : "fc"}, {"call", c}, {"board", board}, {"args", args}, {"result", result}};
    if (b)
        e["pci"] = b->pci;
    for (auto it = extra.begin(); it != extra.end(); ++it)
        e[it.key()] = it.value();
    log_append(sysroot, e);
}

bool take_fault(const Board &b, const char *call, int mbox, int sub, int subsystem, int opcode, int version,
                json *fired, int eof = -1)
{
    FaultEvent ev;
    ev.stage = "kpl";
    ev.board = b.index;
    ev.call = call;
    ev.mbox = mbox;
    ev.sub = sub;
    ev.subsystem = subsystem;
    ev.opcode = opcode;
    ev.version = version;
    ev.eof = eof;
    ev.pci = b.pci;
    return fault_take(b.sysroot, ev, fired);
}

// Library result of a "kpl" fault.
int fault_result(const json &f)
{
    if (f.contains("result"))
        return static_cast<int>(jnum(f, "result", FC_KPL_FAILED));
    if (jnum(f, "mbox_status", 0) != 0 || jnum(f, "status", 0) != 0 || jnum(f, "additional_status", 0) != 0)
        return FC_KPL_FAILED;
    return FC_KPL_FAILED;
}

// ---------------------------------------------------------------------------
// Mailbox commands

struct Mbx {
    Board &b;
    Session &s;
    Bytes &w;          // the mailbox as sent (at least 384 bytes)
    size_t room;       // bytes that go back to the caller
    uint8_t *data;     // Ex: separate data buffer
    size_t data_in;
    size_t data_out;
    const char *call;
    int result = FC_KPL_OK;
    long short_len = -1; // kpl-short: data bytes the reply may carry
    long progress = -1;  // LOAD_EXP_ROM: a planned progress answer
    size_t sent = 0;     // bytes of the mailbox the caller sent
    json note = json::object();
};

void fail(Mbx &x, uint16_t status)
{
    put16(&x.w[2], status);
    x.result = FC_KPL_FAILED;
}

// Bytes of the reply area from `at` that go back to the caller.
size_t reply_room(const Mbx &x, size_t at)
{
    return x.room > at ? x.room - at : 0;
}

json &region(json &st, int n)
{
    return st["regions"][std::to_string(n)];
}

Bytes region_bytes(json &st, int n)
{
    std::string k = std::to_string(n);
    if (!st["regions"].contains(k))
        return Bytes();
    return from_hex(st["regions"][k].value("data", ""));
}

uint32_t mem_word(const json &st, uint32_t addr)
{
    std::string k = std::to_string(addr);
    if (!st.contains("memory") || !st["memory"].contains(k))
        return 0;
    return st["memory"][k].get<uint32_t>();
}

// The base of the config regions in flash, by the first flash image's address.
long region_base(const json &st)
{
    uint32_t head = mem_word(st, kFlashHead);
    if (head == kFlashHead)
        return -1;
    uint32_t where = mem_word(st, head + 8) & 0xFFFFF;
    if (where == 0x20000)
        return 0x70000;
    if (where == 0x40004)
        return 0x1E0000;
    return -1;
}

void dump_memory(Mbx &x)
{
    uint32_t addr = get32(&x.w[12]) & ~3u;
    uint32_t want = get32(&x.w[16]);
    bool separate = (x.w[4] & 0x20) && x.data;
    size_t fit = separate ? x.data_out / 4 : reply_room(x, 20) / 4;
    uint32_t n = static_cast<uint32_t>(std::min<size_t>(want, fit));
    if (x.short_len >= 0)
        n = std::min<uint32_t>(n, static_cast<uint32_t>(x.short_len / 4));
    for (uint32_t i = 0; i < n; ++i) {
        uint32_t v = mem_word(x.s.st, addr + 4 * i);
        if (separate)
            put32(x.data + 4 * i, v);
        else
            put32(&x.w[20 + 4 * i], v);
    }
    put32(&x.w[16], n);
    x.note["address"] = addr;
    x.note["words"] = n;
}

// The chip behind a function's config regions (defined with the chip's
// register access below).
bool chip_holds_region(const json &st, int n);
bool chip_region_read(const Board &b, const json &st, int n, Bytes &out);
bool chip_region_write(const Board &b, const json &st, int n, const Bytes &data);

void dump_region(Mbx &x)
{
    int reg = get16(&x.w[8]);
    uint32_t off = get16(&x.w[10]);
    uint32_t want = get32(&x.w[16]) * 4;
    bool separate = (x.w[4] & 0x20) && x.data;
    if (separate)
        off = 0;
    Bytes r = region_bytes(x.s.st, reg);
    if (chip_holds_region(x.s.st, reg) && !chip_region_read(x.b, x.s.st, reg, r)) {
        fail(x, FC_MBX_UNKNOWN_COMMAND);
        return;
    }
    size_t avail = off < r.size() ? r.size() - off : 0;
    size_t fit = separate ? x.data_out : reply_room(x, 20);
    size_t n = std::min<size_t>({want, avail, fit});
    if (x.short_len >= 0)
        n = std::min<size_t>(n, static_cast<size_t>(x.short_len));
    if (n)
        std::memcpy(separate ? x.data : &x.w[20], r.data() + off, n);
    if (separate)
        put32(&x.w[20], 0);
    put32(&x.w[16], static_cast<uint32_t>(n));
    x.note["region"] = reg;
    x.note["offset"] = off;
    x.note["bytes"] = n;
}

void dump_temperature(Mbx &x)
{
    const json &t = x.s.st["temperature"];
    if (t.is_null()) {
        put16(&x.w[2], FC_MBX_NO_TEMPERATURE);
        x.result = std::string(x.call) == "IssueMboxWithRetryV2" ? FC_KPL_NO_TEMPERATURE : FC_KPL_FAILED;
        return;
    }
    uint32_t v = t.get<uint32_t>();
    for (int i = 0; i < 3; ++i)
        if (reply_room(x, 20 + 4 * i) >= 4)
            put32(&x.w[20 + 4 * i], (v >> (8 * i)) & 0xFF);
    x.note["temperature"] = v;
}

void update_config(Mbx &x)
{
    int type = x.w[4] & 0xF;
    int reg = get16(&x.w[8]);
    uint32_t len = get16(&x.w[10]);
    x.note["type"] = type;
    if (type == 3) {
        // Clean-up of the region configuration: nothing the host can read.
        return;
    }
    x.note["region"] = reg;
    x.note["length"] = len;
    json &r = region(x.s.st, reg);
    if (type == 1) {
        r["data"] = hex_of(Bytes(len, 0));
        r["recreate"] = false;
        x.s.dirty = true;
        return;
    }
    if (type != 2) {
        fail(x, FC_MBX_UNKNOWN_COMMAND);
        return;
    }
    if (r.value("recreate", false)) {
        fail(x, FC_MBX_RECREATE_REGION);
        return;
    }
    Bytes d;
    if ((x.w[4] & 0x20) && x.data) {
        d.assign(x.data, x.data + std::min<size_t>(len, x.data_in));
    } else {
        // Inline data behind the command words.
        size_t have = x.w.size() > 20 ? x.w.size() - 20 : 0;
        d.assign(x.w.begin() + 20, x.w.begin() + 20 + static_cast<long>(std::min<size_t>(len, have)));
    }
    if (d.size() < len) {
        // More data announced than sent: refuse rather than write garbage.
        fail(x, FC_MBX_UNKNOWN_COMMAND);
        return;
    }
    if (chip_holds_region(x.s.st, reg) && !chip_region_write(x.b, x.s.st, reg, d)) {
        fail(x, FC_MBX_UNKNOWN_COMMAND);
        return;
    }
    r["data"] = hex_of(d);
    r["recreate"] = false;
    x.s.dirty = true;
}

// LOAD_SM over a config region erases it: it must be re-created before it
// takes data again.
void load_sm(Mbx &x)
{
    uint32_t addr = get32(&x.w[8]);
    long base = region_base(x.s.st);
    x.note["address"] = addr;
    if (base >= 0 && addr >= static_cast<uint32_t>(base) && (addr - static_cast<uint32_t>(base)) % 4096 == 0 &&
        (addr - static_cast<uint32_t>(base)) / 4096 < 64) {
        int reg = static_cast<int>((addr - static_cast<uint32_t>(base)) / 4096);
        json &r = region(x.s.st, reg);
        r["data"] = "";
        r["recreate"] = true;
        x.s.dirty = true;
        x.note["region"] = reg;
        return;
    }
    // Loading program images into flash (the absolute download) is not
    // modelled yet: refused so that nothing reports a write that did not happen.
    fail(x, FC_MBX_UNKNOWN_COMMAND);
}

// LOAD_EXP_ROM: the start (sub-command 8) answers progress 8, or 11 when
// the adapter loads the boot image at once; continues (9) answer 8 until
// the last of "continues" answers 9; finishes (10) answer 9 until the last
// of "finishes" answers 11, and the expansion ROM then holds the image the
// start named (words 16 and 20). A count of -1 never ends (a stuck
// adapter). Every answer carries a new word at 8 that the next command
// must bring back. State key "load_exp_rom": {"start", "continues",
// "finishes"}; the sequence under way is kept in "exp_rom_run".
void load_exp_rom(Mbx &x)
{
    json &st = x.s.st;
    const json cfg = st.value("load_exp_rom", json::object());
    uint8_t sub = x.w[6];
    uint32_t token = get32(&x.w[8]);
    x.note["sub"] = sub;
    x.note["word8"] = token;
    if (x.progress >= 0) { // planned: this answer, nothing else
        x.w[5] = static_cast<uint8_t>(x.progress);
        x.note["progress"] = x.progress;
        return;
    }
    json &run = st["exp_rom_run"];
    auto answer = [&](uint8_t progress) {
        long steps = jnum(run, "steps", 0) + 1;
        uint32_t next = 0x10000 + static_cast<uint32_t>(steps) * 0x400;
        run["steps"] = steps;
        run["token"] = next;
        run["progress"] = progress;
        put32(&x.w[8], next);
        x.w[5] = progress;
        x.note["progress"] = progress;
        if (progress == 11) { // loaded: the ROM holds the image the start named
            st["exp_rom"] = run["id"];
            run = nullptr;
        }
        x.s.dirty = true;
    };
    if (sub == 8) {
        if (token != 0) {
            fail(x, FC_MBX_BAD_SEQUENCE);
            return;
        }
        run = {{"count", 0}, {"steps", 0}, {"id", json::array({get32(&x.w[16]), get32(&x.w[20])})}};
        answer(jnum(cfg, "start", 8) == 11 ? 11 : 8);
        return;
    }
    // A continue follows progress 8, a finish follows 9; each brings back
    // the word of the answer before.
    long last = jnum(run, "progress", -1);
    if (!run.is_object() || static_cast<uint32_t>(jnum(run, "token", 0)) != token || (sub == 9 && last != 8) ||
        (sub == 10 && last != 9) || (sub != 9 && sub != 10)) {
        fail(x, FC_MBX_BAD_SEQUENCE);
        return;
    }
    if (sub == 10 && jnum(run, "phase", 9) == 9) { // the first finish
        run["phase"] = 10;
        run["count"] = 0;
    }
    long count = jnum(run, "count", 0) + 1;
    run["count"] = count;
    long need = jnum(cfg, sub == 9 ? "continues" : "finishes", sub == 9 ? 2 : 1);
    bool done = need >= 0 && count >= need;
    if (sub == 9)
        answer(done ? 9 : 8);
    else
        answer(done ? 11 : 9);
}

void delete_load_entry(Mbx &x)
{
    uint32_t id0 = get32(&x.w[8]), id1 = get32(&x.w[12]);
    json &mem = x.s.st["memory"];
    uint32_t prev = kFlashHead, cur = mem_word(x.s.st, kFlashHead);
    for (int guard = 0; cur != kFlashHead && guard < 64; ++guard) {
        if (mem_word(x.s.st, cur + 16) == id0 && mem_word(x.s.st, cur + 20) == id1) {
            mem[std::to_string(prev)] = mem_word(x.s.st, cur);
            json &images = x.s.st["images"];
            if (images.is_array())
                for (size_t i = 0; i < images.size(); ++i)
                    if (static_cast<uint32_t>(jnum(images[i], "address", 0)) == mem_word(x.s.st, cur + 8)) {
                        images.erase(i);
                        break;
                    }
            x.s.dirty = true;
            return;
        }
        prev = cur;
        cur = mem_word(x.s.st, cur);
    }
    fail(x, FC_MBX_NO_ENTRY);
}

void copy_out(Mbx &x, const Bytes &src, size_t at)
{
    size_t n = std::min(src.size(), reply_room(x, at));
    n = std::min(n, x.w.size() - at);
    copy_bytes(&x.w[at], src.data(), n);
}

void read_rev(Mbx &x)
{
    std::fill(x.w.begin() + 4, x.w.end(), 0);
    const json &rw = x.s.st["rev_words"];
    put32(&x.w[8], rw.at(0).get<uint32_t>());
    put32(&x.w[12], rw.at(1).get<uint32_t>());
    const json &fw = x.s.st.value("fw_name", json(""));
    Bytes name = text_bytes(fw.is_string() || fw.is_array() ? value_bytes(fw) : std::string(), 16);
    // Older FC HBAs hand the name over word-reversed; SLI-4 functions do not.
    if (!x.b.sli4())
        name = word_reversed(name);
    std::memcpy(&x.w[36], name.data(), 16);
}

// ---------------------------------------------------------------------------
// SLI_CONFIG

struct Sli {
    Mbx &x;
    uint8_t *cmd;   // request header
    size_t room;    // bytes of the command area
    int subsystem, opcode, version;
    uint32_t req_len;
    Bytes resp;     // response parameters (behind the header)
    uint8_t status = 0;
    uint8_t addl = 0;
};

std::string jtext(const json &o, const char *k)
{
    return o.contains(k) && o.at(k).is_string() ? o.at(k).get<std::string>() : std::string();
}

void put_text(Bytes &b, size_t at, size_t n, const std::string &t)
{
    if (at + n > b.size())
        b.resize(at + n, 0);
    std::memcpy(&b[at], t.data(), std::min(n, t.size()));
}

void sc_attributes(Sli &c)
{
    const json &a = c.x.s.st["sli"]["attributes"];
    c.resp.assign(612, 0);
    put_text(c.resp, 388, 32, jtext(a, "fc_universal_bios_version"));
    put_text(c.resp, 420, 32, jtext(a, "fc_x86_bios_version"));
    put_text(c.resp, 452, 32, jtext(a, "fc_efi_bios_version"));
    put_text(c.resp, 484, 32, jtext(a, "fc_fcode_version"));
    put_text(c.resp, 524, 16, jtext(a, "ipl_file_name"));
}

void sc_profile_get(Sli &c)
{
    const json &p = c.x.s.st["sli"]["profile"];
    c.resp.assign(4, 0);
    put32(&c.resp[0], static_cast<uint32_t>(p.size()));
    for (const json &d : p) {
        Bytes b = from_hex(d.get<std::string>());
        b.resize(72, 0);
        c.resp.insert(c.resp.end(), b.begin(), b.end());
    }
}

void sc_profile_set(Sli &c)
{
    uint32_t count = get32(c.cmd + 20);
    if (c.room < 24 || count > (c.room - 24) / 72) {
        c.status = 2;
        c.addl = 0x01;
        return;
    }
    json &p = c.x.s.st["sli"]["profile"];
    for (uint32_t i = 0; i < count; ++i) {
        Bytes d(c.cmd + 24 + 72 * i, c.cmd + 24 + 72 * (i + 1));
        bool replaced = false;
        for (json &old : p) {
            Bytes o = from_hex(old.get<std::string>());
            if (!o.empty() && o[0] == d[0]) {
                old = hex_of(d);
                replaced = true;
                break;
            }
        }
        if (!replaced)
            p.push_back(hex_of(d));
    }
    c.x.s.dirty = true;
}

void sc_vpd(Sli &c)
{
    Bytes v = from_hex(c.x.s.st["sli"].value("vpd", ""));
    v.resize(1024, 0);
    c.resp = v;
}

void sc_phy(Sli &c)
{
    const json &p = c.x.s.st["sli"]["phy"];
    c.resp.assign(16, 0);
    auto v = [&p](size_t i) { return i < p.size() ? p[i].get<uint32_t>() : 0u; };
    put16(&c.resp[0], static_cast<uint16_t>(v(0)));
    put16(&c.resp[2], static_cast<uint16_t>(v(1)));
    put32(&c.resp[4], v(2));
    put16(&c.resp[10], static_cast<uint16_t>(v(3)));
    put16(&c.resp[8], static_cast<uint16_t>(v(4)));
    put16(&c.resp[14], static_cast<uint16_t>(v(5)));
    put16(&c.resp[12], static_cast<uint16_t>(v(6)));
}

void sc_set_feature(Sli &c)
{
    uint32_t feature = get32(c.cmd + 16), len = get32(c.cmd + 20);
    if (c.room < 24 || len > c.room - 24) {
        c.status = 2;
        c.addl = 0x01;
        return;
    }
    Bytes params(c.cmd + 24, c.cmd + 24 + len);
    c.x.s.st["sli"]["features"][std::to_string(feature)] = hex_of(params);
    c.x.s.dirty = true;
}

void sc_fru(Sli &c)
{
    uint32_t size = get32(c.cmd + 16), off = get32(c.cmd + 20);
    Bytes f = from_hex(c.x.s.st["sli"].value("fru", ""));
    size_t n = off < f.size() ? std::min<size_t>(size, f.size() - off) : 0;
    c.resp.assign(f.begin() + static_cast<long>(std::min<size_t>(off, f.size())),
                  f.begin() + static_cast<long>(std::min<size_t>(off, f.size()) + n));
}

void sc_ffv(Sli &c)
{
    json &sli = c.x.s.st["sli"];
    bool wr = c.cmd[16] & 1;
    c.resp.assign(36, 0);
    if (wr) {
        size_t len = std::min<size_t>(c.cmd[17], 32);
        std::string name(reinterpret_cast<const char *>(c.cmd + 20), len);
        name = name.substr(0, name.find('\0'));
        sli["ffv_name"] = bytes_value(name);
        c.x.s.dirty = true;
    }
    std::string name = value_bytes(sli["ffv_name"]);
    c.resp[1] = static_cast<uint8_t>(std::min<size_t>(name.size(), 32));
    put_text(c.resp, 4, 32, name);
}

void sc_port_number(Sli &c)
{
    c.resp.assign(16, 0);
    put32(&c.resp[8], static_cast<uint32_t>(jnum(c.x.s.st["sli"], "port_number", 0)));
}

void sc_port_name(Sli &c)
{
    c.resp.assign(4, 0);
    put_text(c.resp, 0, 4, jtext(c.x.s.st["sli"], "port_names"));
}

void sc_fw_version(Sli &c)
{
    const json &v = c.x.s.st["sli"]["fw_versions"];
    c.resp.assign(64, 0);
    put_text(c.resp, 0, 31, v.size() > 0 ? v[0].get<std::string>() : "");
    put_text(c.resp, 32, 31, v.size() > 1 ? v[1].get<std::string>() : "");
}

void sc_factory_defaults(Sli &c)
{
    json &sli = c.x.s.st["sli"];
    sli["factory_defaults"] = jnum(sli, "factory_defaults", 0) + 1;
    c.x.s.dirty = true;
    // Done, effective after a reboot: the firmware says so with status 0x2C.
    c.status = 0x2C;
    c.addl = 0;
}

void sc_link_diag(Sli &c)
{
    c.x.note["port"] = c.cmd[18] & 0x3F;
    c.x.s.st["sli"]["link_diag"] = c.cmd[16];
    c.x.s.dirty = true;
}

void sc_dport_mode(Sli &c)
{
    c.x.note["port"] = c.cmd[20] & 0x3F;
    c.x.s.st["sli"]["dport_mode"] = c.cmd[16] & 1;
    c.x.s.dirty = true;
}

void sc_dport_results(Sli &c)
{
    c.x.note["port"] = c.cmd[16] & 0x3F;
    const json &d = c.x.s.st["sli"]["dport"];
    Bytes e = from_hex(d.value("entries", ""));
    c.resp.assign(16, 0);
    c.resp[0] = static_cast<uint8_t>(jnum(d, "state", 0));
    c.resp[1] = static_cast<uint8_t>(e.size() / 12);
    put32(&c.resp[4], static_cast<uint32_t>(jnum(d, "word20", 0)));
    put32(&c.resp[8], static_cast<uint32_t>(jnum(d, "word24", 0)));
    put16(&c.resp[12], static_cast<uint16_t>(jnum(d, "half28", 0)));
    put16(&c.resp[14], static_cast<uint16_t>(jnum(d, "half30", 0)));
    c.resp.insert(c.resp.end(), e.begin(), e.end());
}

void sc_boot_get(Sli &c)
{
    c.resp.assign(4, 0);
    c.resp[0] = static_cast<uint8_t>(jnum(c.x.s.st["sli"], "boot_config", 0));
}

void sc_boot_set(Sli &c)
{
    c.x.s.st["sli"]["boot_config"] = c.cmd[16];
    c.x.s.dirty = true;
}

// ---------------------------------------------------------------------------
// Objects (SLI-4 functions): the request's name at 24, host buffer
// descriptors at 128; the data buffer lies right behind the 256-byte
// mailbox in the buffer sent.

const size_t kObjDataAt = 256;
const size_t kObjNameSize = 104;
const size_t kObjListEntry = 160;

void obj_refuse(Sli &c, uint8_t status, uint8_t addl)
{
    c.status = status;
    c.addl = addl;
    c.resp.assign(8, 0);
}

// The object name of the request; false (refused) when it is empty or has
// no terminator within its field.
bool obj_name(Sli &c, std::string *name)
{
    if (c.room < 24 + kObjNameSize) {
        obj_refuse(c, FC_OBJ_STATUS_REFUSED, FC_OBJ_ADDL_BAD_REQUEST);
        return false;
    }
    const char *p = reinterpret_cast<const char *>(c.cmd + 24);
    size_t n = strnlen(p, kObjNameSize);
    if (n == 0 || n == kObjNameSize) {
        obj_refuse(c, FC_OBJ_STATUS_REFUSED, FC_OBJ_ADDL_BAD_REQUEST);
        return false;
    }
    name->assign(p, n);
    c.x.note["object"] = *name;
    return true;
}

// Room of the request's data buffer: the first descriptor's length, never
// past the buffer sent. 0 without descriptors.
size_t obj_data_room(const Sli &c)
{
    if (c.room < 144 || get32(c.cmd + 128) == 0)
        return 0;
    size_t desc = get32(c.cmd + 132) & 0xFFFFFF;
    size_t have = c.x.room > kObjDataAt ? c.x.room - kObjDataAt : 0;
    have = std::min(have, c.x.w.size() - kObjDataAt);
    return std::min(desc, have);
}

bool varrow_fc(const Board &b)
{
    return b.device_id == 0xE200 || b.device_id == 0xE208 || b.device_id == 0xE300;
}

// The VPD object of a Varrow FC function: a 140-byte head, the VPD, a
// 4-byte tail (the CRC-32 of the VPD).
Bytes vpd_object(const Bytes &vpd)
{
    Bytes o(140 + vpd.size() + 4, 0);
    put32(&o[0], static_cast<uint32_t>(o.size()));
    std::memcpy(&o[8], "FCPFVPD", 7);
    std::copy(vpd.begin(), vpd.end(), o.begin() + 140);
    put32(&o[140 + vpd.size()], ufi_crc32(vpd.data(), vpd.size()));
    return o;
}

// The function's object storage, filled on first use from the state's
// "objects" (name: hex) or, without them, with a Varrow FC function's VPD
// object made from its region 14.
std::string obj_dir(Sli &c)
{
    Session &s = c.x.s;
    std::string dir = fc_object_dir(s.b.sysroot, s.m.adapters[0].name, s.b.ref.function);
    struct stat st;
    if (stat(dir.c_str(), &st) == 0)
        return dir;
    if (s.st.contains("objects") && s.st["objects"].is_object()) {
        for (auto it = s.st["objects"].begin(); it != s.st["objects"].end(); ++it)
            if (it.value().is_string())
                fc_object_put(dir, it.key(), from_hex(it.value().get<std::string>()));
    } else if (varrow_fc(s.b)) {
        fc_object_put(dir, "/vpd/fc_pf.vpd", vpd_object(region_bytes(s.st, 14)));
    }
    make_dirs(dir);
    return dir;
}

void sc_read_object(Sli &c)
{
    std::string name;
    if (!obj_name(c, &name))
        return;
    std::string dir = obj_dir(c);
    uint64_t size = 0;
    if (!fc_object_size(dir, name, &size)) {
        obj_refuse(c, FC_OBJ_STATUS_REFUSED, FC_OBJ_ADDL_NO_OBJECT);
        return;
    }
    uint32_t want = get32(c.cmd + 16) & 0xFFFFFF, offset = get32(c.cmd + 20);
    size_t room = obj_data_room(c);
    c.resp.assign(8, 0);
    if (want == 0 && room == 0) { // the size query
        put32(&c.resp[0], static_cast<uint32_t>(size));
        return;
    }
    Bytes data;
    if (!fc_object_get(dir, name, data)) {
        obj_refuse(c, FC_OBJ_STATUS_REFUSED, FC_OBJ_ADDL_NO_OBJECT);
        return;
    }
    size_t n = offset < data.size() ? std::min<size_t>(want, data.size() - offset) : 0;
    n = std::min(n, room);
    if (c.x.short_len >= 0)
        n = std::min(n, static_cast<size_t>(c.x.short_len));
    copy_bytes(&c.x.w[kObjDataAt], data.data() + std::min<size_t>(offset, data.size()), n);
    put32(&c.resp[0], static_cast<uint32_t>(n));
    put32(&c.resp[4], static_cast<uint64_t>(offset) + n >= data.size() ? 0x80000000u : 0);
    c.x.note["offset"] = offset;
    c.x.note["bytes"] = n;
}

// The last chunk of "/prg" arrived: the grouped image's header decides
// whether the adapter takes it; its build version goes on flash and runs
// as the change status says.
bool prg_arrived(Sli &c, const std::string &dir, uint8_t *change)
{
    Session &s = c.x.s;
    Bytes data;
    std::string version;
    if (!fc_object_staged(dir, "/prg", data) ||
        !read_grp_header(data.data(), data.size(), s.b.device_id == 0xE300, &version)) {
        fc_object_drop_stage(dir, "/prg");
        obj_refuse(c, FC_OBJ_STATUS_REFUSED, FC_OBJ_ADDL_BAD_IMAGE);
        return false;
    }
    if (!fc_object_commit(dir, "/prg")) {
        obj_refuse(c, FC_OBJ_STATUS_REFUSED, FC_OBJ_ADDL_BAD_REQUEST);
        return false;
    }
    json &fw = s.firmware();
    std::string active = fw.contains("active") ? value_bytes(fw["active"]) : std::string();
    long cs = s.st.contains("change_status") ? jnum(s.st, "change_status", 0) : (version == active ? 0 : 2);
    *change = static_cast<uint8_t>(cs);
    fw["flash"] = version;
    fw["pending_reset"] = cs == 2 || cs == 3;
    if (cs == 0)
        fw["active"] = version;
    s.follow_active();
    s.dirty = true;
    c.x.note["version"] = version;
    c.x.note["change_status"] = cs;
    return true;
}

void sc_write_object(Sli &c)
{
    std::string name;
    if (!obj_name(c, &name))
        return;
    uint32_t word = get32(c.cmd + 16);
    uint32_t n = word & 0xFFFFFF, offset = get32(c.cmd + 20);
    bool eof = (word >> 31) != 0;
    c.x.note["offset"] = offset;
    c.x.note["bytes"] = n;
    c.x.note["eof"] = eof;
    c.x.note["noc"] = ((word >> 30) & 1) != 0;
    if (n > obj_data_room(c)) {
        obj_refuse(c, FC_OBJ_STATUS_REFUSED, FC_OBJ_ADDL_BAD_REQUEST);
        return;
    }
    std::string dir = obj_dir(c);
    uint64_t staged = 0;
    if (!fc_object_stage(dir, name, offset, &c.x.w[kObjDataAt], n, &staged)) {
        obj_refuse(c, FC_OBJ_STATUS_REFUSED, FC_OBJ_ADDL_BAD_REQUEST);
        return;
    }
    uint8_t change = 0;
    if (eof) {
        if (name == "/prg") {
            if (!prg_arrived(c, dir, &change))
                return;
        } else if (!fc_object_commit(dir, name)) {
            obj_refuse(c, FC_OBJ_STATUS_REFUSED, FC_OBJ_ADDL_BAD_REQUEST);
            return;
        }
    }
    c.resp.assign(8, 0);
    put32(&c.resp[0], n);
    c.resp[4] = change;
}

// The objects a list request names: all below the directory it gives.
std::vector<std::string> obj_listing(const std::string &dir, const std::string &name)
{
    std::string prefix = name;
    if (prefix.back() != '/')
        prefix += '/';
    std::vector<std::string> out;
    for (const std::string &o : fc_object_names(dir))
        if (o.compare(0, prefix.size(), prefix) == 0)
            out.push_back(o);
    return out;
}

void sc_list_objects(Sli &c)
{
    std::string name;
    if (!obj_name(c, &name))
        return;
    std::vector<std::string> list = obj_listing(obj_dir(c), name);
    size_t room = obj_data_room(c);
    c.resp.assign(8, 0);
    if (room == 0) { // the count query
        put16(&c.resp[0], static_cast<uint16_t>(std::min<size_t>(list.size(), 0xFFFF)));
        return;
    }
    size_t wanted = get16(c.cmd + 16), first = get16(c.cmd + 18);
    if (c.x.short_len >= 0)
        room = std::min(room, static_cast<size_t>(c.x.short_len));
    size_t n = first < list.size() ? std::min(wanted, list.size() - first) : 0;
    n = std::min(n, room / kObjListEntry);
    for (size_t i = 0; i < n; ++i) {
        uint8_t *e = &c.x.w[kObjDataAt + i * kObjListEntry];
        std::memset(e, 0, kObjListEntry);
        const std::string &o = list[first + i];
        std::memcpy(e, o.data(), std::min(o.size(), kObjNameSize - 1));
        uint64_t size = 0;
        fc_object_size(obj_dir(c), o, &size);
        put32(e + kObjNameSize, static_cast<uint32_t>(size));
    }
    put16(&c.resp[0], static_cast<uint16_t>(n));
}

void sc_delete_object(Sli &c)
{
    std::string name;
    if (!obj_name(c, &name))
        return;
    if (!fc_object_remove(obj_dir(c), name)) {
        obj_refuse(c, FC_OBJ_STATUS_REFUSED, FC_OBJ_ADDL_NO_OBJECT);
        return;
    }
    c.resp.clear();
}

typedef void (*SliHandler)(Sli &);

struct SliEntry {
    int subsystem;
    int opcode;
    SliHandler handler;
};

const SliEntry kSliTable[] = {
    {1, 0x79, sc_attributes},   {1, 0x42, sc_boot_get},     {1, 0x43, sc_boot_set},
    {1, 0xA4, sc_profile_get},  {1, 0xA5, sc_profile_set},  {1, 0x5B, sc_vpd},
    {1, 0x66, sc_phy},          {1, 0xBF, sc_set_feature},  {1, 0x3A, sc_port_number},
    {1, 0x4D, sc_port_name},    {1, 0x23, sc_fw_version},   {1, 0xA9, sc_factory_defaults},
    {0x13, 3, sc_fru},          {0x13, 2, sc_ffv},          {0x0C, 0x22, sc_link_diag},
    {0x0C, 0x27, sc_dport_mode}, {0x0C, 0x28, sc_dport_results},
    {1, 0xAB, sc_read_object},  {1, 0xAC, sc_write_object}, {1, 0xAD, sc_list_objects},
    {1, 0xAE, sc_delete_object},
};

// Where the command of an SLI_CONFIG mailbox lies and how big its area is.
bool sli_area(const Bytes &w, size_t total, size_t *at, size_t *len)
{
    uint32_t plen = get32(&w[8]);
    if (w[4] & 1) {
        *at = 24;
        *len = std::min<size_t>(plen, 232);
    } else {
        *at = 256;
        size_t have = total > 256 ? total - 256 : 0;
        *len = std::min<size_t>(plen, have);
    }
    return *len >= 16;
}

void sli_config(Mbx &x, size_t total)
{
    size_t at = 0, len = 0;
    if (!x.b.ext() || !sli_area(x.w, total, &at, &len)) {
        fail(x, FC_MBX_UNKNOWN_COMMAND);
        return;
    }
    Sli c{x, &x.w[at], len, x.w[at + 1], x.w[at], x.w[at + 12], get32(&x.w[at + 8]), Bytes(), 0, 0};
    x.note["subsystem"] = c.subsystem;
    x.note["opcode"] = c.opcode;
    x.note["version"] = c.version;
    x.note["embedded"] = (x.w[4] & 1) != 0;
    SliHandler h = nullptr;
    for (const SliEntry &e : kSliTable)
        if (e.subsystem == c.subsystem && e.opcode == c.opcode)
            h = e.handler;
    if (!h) {
        c.status = 2; // illegal request
        c.addl = 0;
    } else {
        h(c);
    }
    // The reply: response header over the request, parameters behind it,
    // never beyond the command's area.
    uint32_t actual = static_cast<uint32_t>(c.resp.size());
    size_t fit = std::min<size_t>(c.resp.size(), len - 16);
    if (x.short_len >= 0)
        fit = std::min<size_t>(fit, static_cast<size_t>(x.short_len));
    std::memset(c.cmd + 16, 0, len - 16);
    copy_bytes(c.cmd + 16, c.resp.data(), fit);
    c.cmd[4] = c.status;
    c.cmd[5] = c.addl;
    put32(c.cmd + 8, static_cast<uint32_t>(fit));
    put32(c.cmd + 12, actual);
    x.note["status"] = c.status;
    x.note["additional_status"] = c.addl;
    x.note["response_length"] = fit;
    if (c.status != 0) {
        put16(&x.w[2], FC_MBX_SUBCMD_FAILED);
        x.result = FC_KPL_FAILED;
    }
}

// The security mailbox (0xF9) of the signed adapters (device 0xF180): the
// adapter holds one download key, named by its id; a key is set only when
// the adapter holds the key it follows. State keys: "kek" the id held (null:
// the adapter knows no security sub-command), "kek_keys" the keys it accepts
// as [{"id", "after"}] ("after" null for the root), and "zeroized" the count
// of zeroize commands. Other boards know no sub-command either.
const char *const kKekIds[] = {"FACTORY ROOT KEK FOR SIGNED", "FIELD KEK SECOND STEP", "FIELD KEK THIRD STEPS"};

json kek_keys(const json &st)
{
    if (st.contains("kek_keys") && st["kek_keys"].is_array())
        return st["kek_keys"];
    return json::array({{{"id", kKekIds[0]}, {"after", nullptr}},
                        {{"id", kKekIds[1]}, {"after", kKekIds[0]}},
                        {{"id", kKekIds[2]}, {"after", kKekIds[1]}}});
}

const size_t kKekIdBytes = 64;

void security(Mbx &x)
{
    json &st = x.s.st;
    uint8_t sub = x.w[7];
    if (!st.contains("kek")) {
        if (x.b.device_id != 0xF180) {
            fail(x, FC_MBX_SECURITY_UNSUPPORTED);
            return;
        }
        json keys = kek_keys(st);
        st["kek"] = keys.empty() ? json(nullptr) : keys[0].value("id", json(nullptr));
        x.s.dirty = true;
    }
    if (st["kek"].is_null()) {
        fail(x, FC_MBX_SECURITY_UNSUPPORTED);
        return;
    }
    switch (sub) {
    case 5: { // zeroize: back to the root key
        json keys = kek_keys(st);
        for (const json &k : keys)
            if (k.value("after", json(nullptr)).is_null()) {
                st["kek"] = k.value("id", "");
                break;
            }
        st["zeroized"] = jnum(st, "zeroized", 0) + 1;
        x.s.dirty = true;
        break;
    }
    case 0x0C: {
        std::string id = st["kek"].get<std::string>();
        std::fill(x.w.begin() + 8, x.w.begin() + 12 + static_cast<long>(kKekIdBytes), 0);
        put32(&x.w[8], static_cast<uint32_t>(std::min(id.size(), kKekIdBytes)));
        for (size_t i = 0; i < kKekIdBytes && i < id.size(); ++i)
            x.w[12 + (i ^ 3)] = static_cast<uint8_t>(id[i]);
        break;
    }
    case 0x0D: {
        size_t len = std::min<size_t>(get16(&x.w[14]), kKekIdBytes);
        std::string id;
        for (size_t i = 0; i < len; ++i)
            id.push_back(static_cast<char>(x.w[64 + (i ^ 3)]));
        x.note["kek"] = id;
        const std::string held = st["kek"].get<std::string>();
        for (const json &k : kek_keys(st)) {
            const json after = k.value("after", json(nullptr));
            if (k.value("id", "") == id && after.is_string() && after.get<std::string>() == held) {
                st["kek"] = id;
                x.s.dirty = true;
                return;
            }
        }
        fail(x, FC_MBX_KEK_REFUSED);
        break;
    }
    default:
        fail(x, FC_MBX_SECURITY_UNSUPPORTED);
    }
}

// ---------------------------------------------------------------------------
// Program images in the flash load list (DOWN_LOAD)

const size_t kListBound = 64;        // entries a list walk follows at most
const long kDefaultListCapacity = 8; // flash load-list entries the adapter has room for
const uint32_t kPieceMax = 108;      // data bytes of one download piece
const uint32_t kPieceAt = 20;        // where a piece's data lies in the mailbox
const uint32_t kNewImageBase = 0x100000; // where images of new entries are placed
const uint32_t kNewImageStep = 0x40000;

void set_mem(json &st, uint32_t addr, uint32_t v)
{
    st["memory"][std::to_string(addr)] = v;
}

uint32_t be32(const Bytes &b, size_t at)
{
    return static_cast<uint32_t>(b[at]) << 24 | static_cast<uint32_t>(b[at + 1]) << 16 |
           static_cast<uint32_t>(b[at + 2]) << 8 | b[at + 3];
}

// The flash load list as the adapter's memory links it: entry addresses in
// order, stopping at the head, at an entry seen before or at the bound.
// `closed`: the list ends at the head.
std::vector<uint32_t> flash_entries(const json &st, bool *closed)
{
    std::vector<uint32_t> out;
    std::set<uint32_t> seen;
    uint32_t at = mem_word(st, kFlashHead);
    *closed = false;
    while (out.size() < kListBound) {
        if (at == kFlashHead) {
            *closed = true;
            break;
        }
        if (!seen.insert(at).second)
            break;
        out.push_back(at);
        at = mem_word(st, at);
    }
    return out;
}

bool mem_has(const json &st, uint32_t addr)
{
    return st.contains("memory") && st["memory"].contains(std::to_string(addr));
}

// A memory area of `n` bytes from `at` that holds no word yet.
bool mem_unused(const json &st, uint32_t at, uint32_t n)
{
    for (uint32_t k = 0; k < n; k += 4)
        if (mem_has(st, at + k))
            return false;
    return true;
}

// Reserves the load-list entry for an image of program id word 0 `id0`: the
// entry that holds it, else a free one, else a new one while the list has
// room. Entries holding `id0` are erased (made free). False when the list is
// full; nothing changes then.
bool reserve_entry(json &st, uint32_t id0, uint32_t *entry)
{
    bool closed = false;
    std::vector<uint32_t> list = flash_entries(st, &closed);
    bool found = false;
    for (uint32_t e : list)
        if (mem_word(st, e + 16) == id0) {
            *entry = e;
            found = true;
            break;
        }
    for (size_t i = 0; !found && i < list.size(); ++i)
        if (free_slot(mem_word(st, list[i] + 16))) {
            *entry = list[i];
            found = true;
        }
    if (!found) {
        long capacity = jnum(st, "load_list_capacity", kDefaultListCapacity);
        // A list that does not come back to its head cannot take another entry.
        if (!closed || static_cast<long>(list.size()) >= capacity)
            return false;
        uint32_t at = kFlashEntries + static_cast<uint32_t>(list.size()) * 24;
        for (int guard = 0; !mem_unused(st, at, 24); ++guard) {
            if (guard >= 4096)
                return false;
            at += 24;
        }
        set_mem(st, list.empty() ? kFlashHead : list.back(), at);
        set_mem(st, at, kFlashHead);
        for (uint32_t k = 4; k < 24; k += 4)
            set_mem(st, at + k, 0);
        set_mem(st, at + 16, 0xFFFFFFFF);
        *entry = at;
    }
    for (uint32_t e : list)
        if (mem_word(st, e + 16) == id0)
            set_mem(st, e + 16, 0xFFFFFFFF);
    if (st.contains("images") && st["images"].is_array())
        for (json &im : st["images"])
            if (static_cast<uint32_t>(jnum(im, "id0", 0)) == id0)
                im["id0"] = 0xFFFFFFFFu;
    return true;
}

bool in_list(const json &st, uint32_t entry)
{
    bool closed = false;
    for (uint32_t e : flash_entries(st, &closed))
        if (e == entry)
            return true;
    return false;
}

// The program description of a PRG image: body word 2 gives its offset from
// the body's start; a boot image keeps it with each 4-byte group reversed.
std::string prg_description(const Bytes &img)
{
    if (img.size() < kPrgBody + 12)
        return std::string();
    uint64_t at = kPrgBody + static_cast<uint64_t>(be32(img, kPrgBody + 8));
    bool boot = img[4] == 3;
    std::string out;
    for (uint64_t i = 0; i < 24; ++i) {
        uint64_t p = boot ? ((at + i) ^ 3) : at + i;
        if (p >= img.size() || img[p] == 0)
            break;
        out.push_back(static_cast<char>(img[p]));
    }
    return out;
}

// The key id of a signed PRG image's key block; false when the image
// carries none (no flag, or a position outside the image).
bool prg_key_id(const Bytes &img, std::string *id)
{
    if (img.size() < kPrgBody || !(img[15] & 0x10))
        return false;
    uint64_t pos = be32(img, 32);
    if (pos < 268)
        return false;
    uint64_t block = kPrgBody + pos - 268;
    if (block + 264 > img.size())
        return false;
    id->clear();
    for (size_t i = 0; i < 152 && img[block + 112 + i]; ++i)
        id->push_back(static_cast<char>(img[block + 112 + i]));
    return true;
}

// The download key a signed adapter (device 0xF180) checks images with;
// false for other adapters and for one that knows no key.
bool held_kek(const Mbx &x, std::string *id)
{
    if (x.b.device_id != 0xF180)
        return false;
    const json &st = x.s.st;
    if (st.contains("kek")) {
        if (!st["kek"].is_string())
            return false;
        *id = st["kek"].get<std::string>();
        return true;
    }
    json keys = kek_keys(st);
    if (keys.empty() || !keys[0].contains("id") || !keys[0]["id"].is_string())
        return false;
    *id = keys[0]["id"].get<std::string>();
    return true;
}

// A signed adapter takes only images signed for the key it holds.
bool image_key_accepted(const Mbx &x, const Bytes &img)
{
    std::string held, id;
    if (!held_kek(x, &held))
        return true;
    return prg_key_id(img, &id) && id == held;
}

// A free place in adapter memory for a new image's header words and text.
uint32_t new_image_address(const json &st)
{
    uint32_t at = kNewImageBase;
    for (int guard = 0; guard < 4096 && !mem_unused(st, at, 256); ++guard)
        at += kNewImageStep;
    return at;
}

// Stores an image in a reserved entry: its program id, its address (kept
// when the entry has one) with the header words and description the
// load-list walks read, and its bytes in "images".
void store_image(json &st, uint32_t entry, uint32_t id0, uint32_t id1, const Bytes &img)
{
    uint32_t address = mem_word(st, entry + 8);
    if (address == 0)
        address = new_image_address(st);
    Image im{address, id0, id1, prg_description(img)};
    std::map<uint32_t, uint32_t> words;
    put_image(words, im);
    for (const auto &kv : words)
        set_mem(st, kv.first, kv.second);
    set_mem(st, entry + 8, address);
    set_mem(st, entry + 16, id0);
    set_mem(st, entry + 20, id1);
    json rec = {{"id0", id0}, {"id1", id1}, {"address", address}, {"description", bytes_value(im.description)},
                {"data", hex_of(img)}};
    json &images = st["images"];
    if (!images.is_array())
        images = json::array();
    for (json &old : images)
        if (static_cast<uint32_t>(jnum(old, "address", 0)) == address) {
            old = rec;
            return;
        }
    images.push_back(rec);
}

// Where a board stages the bytes of a download under way.
std::string load_stage_dir(const Board &b)
{
    return state_dir(b.sysroot) + "/fc_loads/a" + std::to_string(b.ref.adapter) + "/pf" +
           std::to_string(b.ref.function);
}

// The bytes of a piece (host-order words) back in file order, appended to
// the stage `name` behind the `received` bytes already there.
bool stage_piece(Mbx &x, const char *name, uint32_t received, uint32_t count)
{
    Bytes piece(count, 0);
    for (uint32_t i = 0; i < count; ++i)
        piece[i] = x.w[kPieceAt + (i ^ 3)];
    uint64_t staged = 0;
    return fc_object_stage(load_stage_dir(x.b), name, received, piece.data(), piece.size(), &staged);
}

// A piece's byte count is bounded by the piece size and by what was sent.
bool piece_fits(const Mbx &x, uint32_t count)
{
    return count <= kPieceMax && kPieceAt + ((count + 3) & ~3u) <= x.sent;
}

// DOWN_LOAD: the erase (0x1A) reserves the image's entry; data commands
// (0x0A, +0x01 on the last piece, +0x80 in DWC-via-PRG mode) bring the
// image; the last piece stores it. The run under way is kept in "down_load".
void down_load(Mbx &x)
{
    json &st = x.s.st;
    uint8_t flag = x.w[4];
    uint32_t count = get32(&x.w[12]);
    const char *stage = "down_load";
    if (flag == 0x1A) {
        uint32_t id0 = get32(&x.w[16]), id1 = get32(&x.w[20]);
        uint32_t entry = 0;
        if (!reserve_entry(st, id0, &entry)) {
            fail(x, FC_MBX_NO_FLASH_ROOM);
            return;
        }
        st["down_load"] = {{"entry", entry}, {"id0", id0}, {"id1", id1}, {"length", count}, {"received", 0}};
        fc_object_drop_stage(load_stage_dir(x.b), stage);
        x.s.dirty = true;
        x.note["entry"] = entry;
        return;
    }
    json &run = st["down_load"];
    uint32_t received = static_cast<uint32_t>(jnum(run, "received", 0));
    uint32_t length = static_cast<uint32_t>(jnum(run, "length", 0));
    bool last = flag & 0x01;
    if ((flag & ~0x81) != 0x0A || !run.is_object() || !piece_fits(x, count) || count > length - received ||
        (last && received + count != length) || !stage_piece(x, stage, received, count)) {
        if (run.is_null())
            st.erase("down_load");
        fail(x, FC_MBX_BAD_SEQUENCE);
        return;
    }
    run["received"] = received + count;
    x.s.dirty = true;
    if (!last)
        return;
    Bytes img;
    bool staged = fc_object_staged(load_stage_dir(x.b), stage, img);
    fc_object_drop_stage(load_stage_dir(x.b), stage);
    uint32_t entry = static_cast<uint32_t>(jnum(run, "entry", 0));
    uint32_t id0 = static_cast<uint32_t>(jnum(run, "id0", 0)), id1 = static_cast<uint32_t>(jnum(run, "id1", 0));
    st.erase("down_load");
    if (!staged || img.size() != length) {
        fail(x, FC_MBX_BAD_SEQUENCE);
        return;
    }
    if (!image_key_accepted(x, img)) {
        fail(x, FC_MBX_IMAGE_KEY_REFUSED);
        return;
    }
    // The entry may have been deleted since the erase.
    if (!in_list(st, entry) && !reserve_entry(st, id0, &entry)) {
        fail(x, FC_MBX_NO_FLASH_ROOM);
        return;
    }
    store_image(st, entry, id0, id1, img);
    x.note["stored"] = id0;
}

// ---------------------------------------------------------------------------
// Load areas (LOAD_AREA)

const uint32_t kEraseStep = 0x10000; // the address an erase answer advances by
const uint32_t kAwcVersionWord = 496; // the running operational code's version word

enum LoadArea { AREA_AWC = 1, AREA_DWC = 2 };

// The PRG images a DWC area holds from its offset 4: 48-byte headers, word 0
// the length; 0xFFFFFFFF, a length below a header or past the bytes ends them.
std::vector<Bytes> dwc_images(const Bytes &area)
{
    std::vector<Bytes> out;
    size_t off = 4;
    while (off + 4 <= area.size() && out.size() < kListBound) {
        uint32_t len = be32(area, off);
        if (len == 0xFFFFFFFF || len < kPrgBody || len > area.size() - off)
            break;
        out.emplace_back(area.begin() + static_cast<long>(off), area.begin() + static_cast<long>(off + len));
        off += len;
    }
    return out;
}

// A completed load: the area's bytes are kept; the operational code's first
// word becomes the running version word; a DWC's PRG images are stored as
// downloads would store them.
void area_loaded(Mbx &x, uint8_t area, const Bytes &bytes)
{
    json &st = x.s.st;
    if (area == AREA_DWC) {
        std::vector<Bytes> prgs = dwc_images(bytes);
        for (const Bytes &p : prgs)
            if (!image_key_accepted(x, p)) {
                fail(x, FC_MBX_IMAGE_KEY_REFUSED);
                return;
            }
        for (const Bytes &p : prgs) {
            uint32_t entry = 0, id0 = be32(p, 4);
            if (!reserve_entry(st, id0, &entry)) {
                fail(x, FC_MBX_NO_FLASH_ROOM);
                return;
            }
            store_image(st, entry, id0, be32(p, 8), p);
        }
        x.note["images"] = prgs.size();
    }
    if (area == AREA_AWC && bytes.size() >= 4)
        set_mem(st, kAwcVersionWord, be32(bytes, 0));
    st["load_areas"][std::to_string(area)] = hex_of(bytes);
}

// LOAD_AREA: erase commands (0x18; sub-command 1, then 2 at the address
// answered) answer progress 1 until the erase completes with 2; load
// commands (0x0A, +0x01 on the last piece; sub-command 3, 4 for the last)
// at the address answered before answer 3 and the next address, and 4 when
// the load completes. Knobs in "load_area": "erase_steps" (default 2, -1
// never completes), "bad_address_at" (the k-th piece's answer is 4 off).
// The run under way is kept in "load_area_run", its bytes in a stage file.
void load_area(Mbx &x)
{
    json &st = x.s.st;
    const json cfg = st.value("load_area", json::object());
    uint8_t flag = x.w[4], sub = x.w[6], area = x.w[7];
    uint32_t addr = get32(&x.w[8]), count = get32(&x.w[12]);
    const char *stage = "load_area";
    json run = st.value("load_area_run", json(nullptr));
    auto refuse = [&x]() { fail(x, FC_MBX_BAD_SEQUENCE); };
    if (flag == 0x18 && (sub == 1 || sub == 2)) {
        if (sub == 1) {
            run = {{"area", area}, {"base", addr}, {"steps", 0}, {"erased", false}, {"next", addr}};
            fc_object_drop_stage(load_stage_dir(x.b), stage);
        } else if (!run.is_object() || jnum(run, "area", -1) != area || run.value("erased", true) ||
                   static_cast<uint32_t>(jnum(run, "next", 0)) != addr) {
            refuse();
            return;
        }
        long steps = jnum(run, "steps", 0) + 1;
        long need = jnum(cfg, "erase_steps", 2);
        uint32_t base = static_cast<uint32_t>(jnum(run, "base", 0));
        uint32_t next = base + static_cast<uint32_t>(steps) * kEraseStep;
        bool done = need >= 0 && steps >= need;
        run["steps"] = steps;
        run["next"] = done ? base : next;
        if (done) {
            run["erased"] = true;
            run["pieces"] = 0;
            run["received"] = 0;
        }
        st["load_area_run"] = run;
        x.s.dirty = true;
        x.w[5] = done ? 2 : 1;
        put32(&x.w[8], next);
        x.note["progress"] = x.w[5];
        return;
    }
    uint32_t received = static_cast<uint32_t>(jnum(run, "received", 0));
    if ((flag & ~0x01) != 0x0A || (sub != 3 && sub != 4) || !run.is_object() || !run.value("erased", false) ||
        jnum(run, "area", -1) != area || static_cast<uint32_t>(jnum(run, "next", 0)) != addr ||
        !piece_fits(x, count) || !stage_piece(x, stage, received, count)) {
        refuse();
        return;
    }
    long pieces = jnum(run, "pieces", 0) + 1;
    uint32_t next = addr + count;
    if (pieces == jnum(cfg, "bad_address_at", 0))
        next += 4;
    run["pieces"] = pieces;
    run["received"] = received + count;
    run["next"] = next;
    x.s.dirty = true;
    x.note["next"] = next;
    if (sub == 3) {
        st["load_area_run"] = run;
        x.w[5] = 3;
        put32(&x.w[8], next);
        x.note["progress"] = 3;
        return;
    }
    // The last piece: the area is loaded, and a new load needs a new erase.
    Bytes bytes;
    bool staged = fc_object_staged(load_stage_dir(x.b), stage, bytes);
    fc_object_drop_stage(load_stage_dir(x.b), stage);
    st.erase("load_area_run");
    if (!staged) {
        refuse();
        return;
    }
    area_loaded(x, area, bytes);
    if (x.result != FC_KPL_OK)
        return;
    x.w[5] = 4;
    put32(&x.w[8], next);
    x.note["progress"] = 4;
}

// ---------------------------------------------------------------------------
// Starting the firmware the wakeup record names

// The program description of a load-list image as the engine's walk reads
// it from adapter memory.
std::string memory_description(const json &st, uint32_t image, uint32_t id0)
{
    uint32_t type = id0 >> 24;
    uint32_t start = image + ((mem_word(st, image + 12) & 0x08) ? 100 : 48);
    uint32_t p = mem_word(st, start + (type == 0 ? 4 : 8)) & ~3u;
    p = p - mem_word(st, image + 28) + start;
    std::string out;
    for (uint32_t i = 0; i < 24; ++i) {
        uint32_t at = type == 3 ? i : (i ^ 3);
        char c = static_cast<char>(mem_word(st, p + (at & ~3u)) >> (8 * (at & 3)));
        if (c == 0 || c == '\n')
            return out;
        out.push_back(c);
    }
    return std::string(); // no end within 24 characters
}

// The load-list entry of the firmware the wakeup record names: the SLI-4
// slot (words 11-12) of an SLI-4 function, else the SLI-3 slot (9-10);
// the SLI-2 slot (7-8) when that one is 0. False when none is found.
bool wakeup_entry(const json &st, bool sli4, uint32_t *entry)
{
    if (!st.contains("regions") || !st["regions"].contains("4") || !st["regions"]["4"].is_object())
        return false;
    Bytes wake = from_hex(st["regions"]["4"].value("data", ""));
    if (wake.size() < 60)
        return false;
    uint32_t id0 = get32(&wake[4 * (sli4 ? 11 : 9)]);
    if (id0 == 0)
        id0 = get32(&wake[4 * 7]);
    if (free_slot(id0))
        return false;
    bool closed = false;
    for (uint32_t e : flash_entries(st, &closed))
        if (mem_word(st, e + 16) == id0) {
            *entry = e;
            return true;
        }
    return false;
}

json program_id(const json &st, uint32_t entry)
{
    return json::array({mem_word(st, entry + 16), mem_word(st, entry + 20)});
}

// Starts the firmware the wakeup record names when it is not the one
// running: READ_REV then answers its description as the firmware name and
// its encoded revision (bits 15-0 of program id word 0) in the revision
// words, bits 11-0 and 15-12 around the JEDEC id (bits 12-27), which stays.
bool start_from_wakeup(json &st, bool sli4)
{
    uint32_t entry = 0;
    if (!wakeup_entry(st, sli4, &entry))
        return false;
    json id = program_id(st, entry);
    if (st.value("running", json(nullptr)) == id)
        return false;
    uint32_t id0 = id[0].get<uint32_t>();
    st["running"] = id;
    st["fw_name"] = bytes_value(memory_description(st, mem_word(st, entry + 8), id0).substr(0, 16));
    uint32_t rev = id0 & 0xFFFF;
    json &rw = st["rev_words"];
    if (rw.is_array())
        for (json &w : rw)
            if (w.is_number())
                w = (w.get<uint32_t>() & 0x0FFFF000u) | (rev & 0xFFF) | (rev >> 12) << 28;
    return true;
}

// A function runs, until told otherwise, what its wakeup record names.
void note_running(json &st, bool sli4)
{
    uint32_t entry = 0;
    if (!st.contains("running") && wakeup_entry(st, sli4, &entry))
        st["running"] = program_id(st, entry);
}

void run_mailbox(Mbx &x, size_t total)
{
    uint8_t code = x.w[1];
    switch (code) {
    case 0x11:
        read_rev(x);
        break;
    case 0x02:
        copy_out(x, from_hex(x.s.st.value("nvparms", "")), 4);
        break;
    case 0x05:
        x.s.st["link_state"] = 6;
        x.s.dirty = true;
        break;
    case 0x07:
    case 0x09:
        // Link and ring configuration: taken, nothing the host reads back.
        break;
    case 0x0B:
        copy_out(x, from_hex(x.s.st.value("config", "")), 4);
        break;
    case 0x0E: {
        copy_out(x, from_hex(x.s.st.value("status", "")), 4);
        if (x.w[4] & 1) {
            x.s.st["status"] = hex_of(Bytes(48, 0));
            x.s.dirty = true;
        }
        break;
    }
    case 0x17:
        switch (x.w[4] & 0xF) {
        case 1:
            dump_memory(x);
            break;
        case 2:
            dump_region(x);
            break;
        case 4:
            dump_temperature(x);
            break;
        default:
            fail(x, FC_MBX_UNKNOWN_COMMAND);
        }
        break;
    case 0x1A:
        x.s.st["restarts"] = jnum(x.s.st, "restarts", 0) + 1;
        x.s.dirty = true;
        break;
    case 0x1D:
        delete_load_entry(x);
        break;
    case 0x1C:
        down_load(x);
        break;
    case 0x81:
        load_area(x);
        break;
    case 0x9C:
        load_exp_rom(x);
        break;
    case 0x98: {
        // Bit 0 of the access word writes the two words, else they are read.
        json &u = x.s.st["ula"];
        if (get32(&x.w[4]) & 1) {
            u = json::array({get32(&x.w[8]), get32(&x.w[12])});
            x.s.dirty = true;
        } else {
            put32(&x.w[8], u.at(0).get<uint32_t>());
            put32(&x.w[12], u.at(1).get<uint32_t>());
        }
        break;
    }
    case 0x1B:
        update_config(x);
        break;
    case 0x01:
        load_sm(x);
        break;
    case 0xF9:
        security(x);
        break;
    case 0x9B:
        if (std::string(x.call) != "IssueMboxWithRetryV2")
            fail(x, FC_MBX_UNKNOWN_COMMAND);
        else
            sli_config(x, total);
        break;
    default:
        fail(x, FC_MBX_UNKNOWN_COMMAND);
    }
}

} // namespace

// ---------------------------------------------------------------------------

FcCaps fc_driver_caps(const Adapter &a, const Function &f, const json &kpl)
{
    FcCaps c;
    uint32_t sli = 3;
    if (a.generation == "SLI3")
        sli = 3;
    else if (a.generation == "SLI4" || f.kind == "fcoe")
        sli = 4;
    else if (f.device_id >= 0xE000 && f.device_id < 0xF000)
        sli = 4;
    c.sli_level = static_cast<uint32_t>(jnum(kpl, "sli_level", sli));
    uint64_t features = 0x400 | (c.sli_level == 4 ? 0x1000 : 0) | (f.kind == "fcoe" ? 0x200 : 0);
    c.features = static_cast<uint64_t>(jnum(kpl, "features", static_cast<long>(features)));
    return c;
}

std::vector<FcRef> fc_listing(const Machine &m)
{
    std::vector<FcRef> out;
    for (size_t a = 0; a < m.adapters.size(); ++a)
        for (size_t f = 0; f < m.adapters[a].functions.size(); ++f) {
            const std::string &k = m.adapters[a].functions[f].kind;
            if (k == "fc" || k == "fcoe")
                out.push_back({a, f});
        }
    return out;
}

namespace
{

// ---------------------------------------------------------------------------
// The function's flash chip (a "cfi_flash" state key)

bool has_chip(const json &st)
{
    return st.contains("cfi_flash");
}

// The chip as stored, or fresh with the function's config regions laid in.
bool load_chip(const Board &b, const json &st, CfiChip &chip)
{
    if (!cfi_configure(st["cfi_flash"], static_cast<int>(b.ref.function & 1), chip, nullptr))
        return false;
    if (cfi_load(cfi_chip_path(b.sysroot, b.ref.adapter, b.ref.function), chip))
        return true;
    if (region_base(st) != kCfiRegionBase || !st.contains("regions") || !st["regions"].is_object())
        return true;
    for (auto it = st["regions"].begin(); it != st["regions"].end(); ++it) {
        char *end = nullptr;
        unsigned long n = std::strtoul(it.key().c_str(), &end, 10);
        if (end == it.key().c_str() || *end != '\0' || n >= (0x200000 - kCfiRegionBase) / kCfiRegionSize)
            continue;
        Bytes data = from_hex(it.value().value("data", ""));
        cfi_put_bytes(chip, kCfiRegionBase + static_cast<uint32_t>(n) * kCfiRegionSize, data.data(),
                      std::min<size_t>(data.size(), kCfiRegionSize));
    }
    return true;
}

// A chip register access the in-memory chip did not take: ownership writes,
// and any access while no request is held.
int chip_register(const Board &b, const json &st, bool write, uint32_t reg, uint32_t value, uint32_t *out,
                  json &extra)
{
    CfiCacheLock hold;
    CfiChip *chip = cfi_cache_find(b.sysroot, b.index);
    if (write && reg == kCfiRegOwnership && value == 1) {
        if (!chip) {
            CfiChip fresh;
            if (!load_chip(b, st, fresh))
                return FC_KPL_FAILED;
            chip = &cfi_cache_put(b.sysroot, b.index, std::move(fresh));
        }
        cfi_write_reg(*chip, reg, value);
        return FC_KPL_OK;
    }
    if (write && reg == kCfiRegOwnership && (value == 0 || value == 5)) {
        if (!chip)
            return FC_KPL_OK;
        cfi_write_reg(*chip, reg, value);
        extra["flash"] = cfi_take_summary(*chip);
        int r = cfi_save(cfi_chip_path(b.sysroot, b.ref.adapter, b.ref.function), *chip, nullptr) ? FC_KPL_OK
                                                                                                   : FC_KPL_FAILED;
        cfi_cache_drop(b.sysroot, b.index);
        return r;
    }
    if (chip && write) {
        cfi_write_reg(*chip, reg, value);
    } else if (chip) {
        *out = cfi_read_reg(*chip, reg);
    } else if (!write) {
        // Nothing held: the last release stands acknowledged, no read is valid.
        *out = reg == kCfiRegOwnership ? kCfiAck : 0;
    }
    return FC_KPL_OK;
}


// Whether config region n of this function lies on its chip (a chip at the
// top of its flash).
bool chip_holds_region(const json &st, int n)
{
    return has_chip(st) && region_base(st) == kCfiRegionBase && n >= 0 &&
           static_cast<uint32_t>(n) < (0x200000 - kCfiRegionBase) / kCfiRegionSize;
}

// Config region n read from the chip (the held one while owned): false when
// the chip cannot be loaded.
bool chip_region_read(const Board &b, const json &st, int n, Bytes &out)
{
    const uint32_t at = kCfiRegionBase + static_cast<uint32_t>(n) * kCfiRegionSize;
    out.assign(kCfiRegionSize, 0);
    CfiCacheLock hold;
    if (CfiChip *held = cfi_cache_find(b.sysroot, b.index)) {
        cfi_get_bytes(*held, at, out.data(), out.size());
        return true;
    }
    // A stored chip is read in place: a region dump need not load it whole.
    if (cfi_read_stored(cfi_chip_path(b.sysroot, b.ref.adapter, b.ref.function), at, out.data(), out.size()))
        return true;
    CfiChip loaded;
    if (!load_chip(b, st, loaded))
        return false;
    cfi_get_bytes(loaded, at, out.data(), out.size());
    return true;
}

// A region write reaches the chip too, so that later dumps read it back.
bool chip_region_write(const Board &b, const json &st, int n, const Bytes &data)
{
    const uint32_t at = kCfiRegionBase + static_cast<uint32_t>(n) * kCfiRegionSize;
    const size_t len = std::min<size_t>(data.size(), kCfiRegionSize);
    CfiCacheLock hold;
    if (CfiChip *held = cfi_cache_find(b.sysroot, b.index)) {
        cfi_put_bytes(*held, at, data.data(), len);
        return true;
    }
    CfiChip chip;
    if (!load_chip(b, st, chip))
        return false;
    cfi_put_bytes(chip, at, data.data(), len);
    return cfi_save(cfi_chip_path(b.sysroot, b.ref.adapter, b.ref.function), chip, nullptr);
}

} // namespace

json fc_state(const std::string &sysroot, int board)
{
    Board b;
    if (!find_board(sysroot, board, b))
        return nullptr;
    Session s(b);
    return s.ok ? s.st : json(nullptr);
}

void fc_reboot(Machine &m)
{
    json &adoc = m.doc["adapters"][0];
    if (m.adapters.empty() || !adoc.contains("fc_state") || !adoc["fc_state"].is_object())
        return;
    const Adapter &a = m.adapters[0];
    for (auto it = adoc["fc_state"].begin(); it != adoc["fc_state"].end(); ++it) {
        char *end = nullptr;
        unsigned long fn = std::strtoul(it.key().c_str(), &end, 10);
        if (end == it.key().c_str() || *end != '\0' || fn >= a.functions.size() || !it.value().is_object())
            continue;
        const Function &f = a.functions[fn];
        if (f.kind != "fc" && f.kind != "fcoe")
            continue;
        const json &fdoc = adoc["functions"][fn];
        json kpl = fdoc.contains("kpl") && fdoc["kpl"].is_object() ? fdoc["kpl"] : json::object();
        json &st = it.value();
        if (!start_from_wakeup(st, fc_driver_caps(a, f, kpl).sli_level == 4))
            continue;
        // The name now follows the started image, not the active version.
        if (adoc.contains("firmware") && adoc["firmware"].is_object() && adoc["firmware"].contains("active"))
            st["fw_from"] = adoc["firmware"]["active"];
    }
}

bool fc_object_bytes(const std::string &sysroot, int board, const std::string &name, std::vector<uint8_t> &out)
{
    Board b;
    if (!find_board(sysroot, board, b))
        return false;
    std::shared_ptr<const Machine> layout = load_layout(sysroot, nullptr);
    if (!layout)
        return false;
    return fc_object_get(fc_object_dir(sysroot, layout->adapters[b.ref.adapter].name, b.ref.function), name, out);
}

bool fc_call_fault(const std::string &sysroot, const char *call, int board, int *result)
{
    Board b;
    if (!find_board(sysroot, board, b))
        return false;
    json f;
    if (!take_fault(b, call, -1, -1, -1, -1, -1, &f) || f.value("kind", "") != "kpl")
        return false;
    *result = fault_result(f);
    return true;
}

void fc_log_call(const std::string &sysroot, const char *call, int board, const json &args, int result)
{
    Board b;
    bool found = find_board(sysroot, board, b);
    log_entry(found ? &b : nullptr, sysroot, call, board, args, result);
}

int fc_mailbox(const std::string &sysroot, const char *call, int board, uint8_t *mbox, size_t sent, size_t room,
               uint8_t *data, size_t data_in, size_t data_out)
{
    Board b;
    if (!mbox || sent < 4 || !find_board(sysroot, board, b)) {
        log_entry(nullptr, sysroot, call, board, json::array({sent, room}), FC_KPL_BAD_BOARD);
        return FC_KPL_BAD_BOARD;
    }
    std::string c = call;
    // An SLI-2/3 function exchanges at most the 32-word mailbox.
    if (c == "IssueMboxWithRetry" || !b.sli4()) {
        sent = std::min<size_t>(sent, 128);
        room = std::min<size_t>(room, 128);
    }
    Bytes w(std::max<size_t>(sent, 384), 0);
    std::memcpy(w.data(), mbox, sent);
    uint8_t code = w[1];
    int sub = (code == 0x17 || code == 0x1B)   ? (w[4] & 0xF)
              : (code == 0x9C || code == 0x81) ? w[6]
              : code == 0xF9                   ? w[7]
                                               : -1;
    int subsystem = -1, opcode = -1, version = -1, eof = -1;
    size_t at = 0, len = 0;
    if (code == 0x9B && sli_area(w, sent, &at, &len)) {
        opcode = w[at];
        subsystem = w[at + 1];
        version = w[at + 12];
        if (subsystem == 1 && opcode == 0xAC && len >= 20)
            eof = w[at + 19] >> 7;
    }
    json extra = {{"mbox", code}};
    if (sub >= 0)
        extra["sub"] = sub;
    if (code == 0x1C || code == 0x81) {
        extra["flag"] = w[4];
        extra["bytes"] = get32(&w[12]);
    }
    if (code == 0x81) {
        extra["area"] = w[7];
        extra["address"] = get32(&w[8]);
    }
    json args = json::array({sent / 4, room});
    if (c == "IssueMboxWithRetryEx")
        args = json::array({sent / 4, data_in / 4, data_out / 4});

    json f;
    long short_len = -1, progress = -1;
    if (take_fault(b, call, code, sub, subsystem, opcode, version, &f, eof)) {
        if (f.value("kind", "") == "kpl") {
            int r = fault_result(f);
            put16(mbox + 2, static_cast<uint16_t>(jnum(f, "mbox_status", 0)));
            if (code == 0x9B && len >= 16 && at + 16 <= room) {
                mbox[at + 4] = static_cast<uint8_t>(jnum(f, "status", 0));
                mbox[at + 5] = static_cast<uint8_t>(jnum(f, "additional_status", 0));
            }
            extra["mbox_status"] = jnum(f, "mbox_status", 0);
            extra["fault"] = f.value("id", 0);
            log_entry(&b, sysroot, call, board, args, r, extra);
            return r;
        }
        if (f.value("kind", "") == "progress")
            progress = jnum(f, "progress", 0) & 0xFF;
        else
            short_len = jnum(f, "length", 0);
        extra["fault"] = f.value("id", 0);
    }

    Session s(b);
    if (!s.ok) {
        log_entry(&b, sysroot, call, board, args, FC_KPL_FAILED, extra);
        return FC_KPL_FAILED;
    }
    Mbx x{b, s, w, room, data, data_in, data_out, call};
    x.short_len = short_len;
    x.progress = progress;
    x.sent = sent;
    put16(&w[2], 0);
    if (c == "IssueMboxWithRetryV2" && !b.sli4())
        fail(x, FC_MBX_UNKNOWN_COMMAND);
    else
        run_mailbox(x, sent);
    if (!s.save())
        x.result = FC_KPL_FAILED;
    std::memcpy(mbox, w.data(), std::min(room, w.size()));
    extra["mbox_status"] = get16(&w[2]);
    for (auto it = x.note.begin(); it != x.note.end(); ++it)
        extra[it.key()] = it.value();
    log_entry(&b, sysroot, call, board, args, x.result, extra);
    return x.result;
}

int fc_dump_region(const std::string &sysroot, int board, int type, int region_no, uint32_t offset,
                   uint8_t *buffer, uint32_t *count)
{
    const char *call = "IssueDumpMBox";
    Board b;
    json args = json::array({type, region_no, offset, count ? *count : 0});
    if (!buffer || !count || !find_board(sysroot, board, b)) {
        log_entry(nullptr, sysroot, call, board, args, FC_KPL_BAD_BOARD);
        return FC_KPL_BAD_BOARD;
    }
    json f;
    long short_len = -1;
    if (take_fault(b, call, 0x17, type, -1, -1, -1, &f)) {
        if (f.value("kind", "") == "kpl") {
            int r = fault_result(f);
            log_entry(&b, sysroot, call, board, args, r, {{"fault", f.value("id", 0)}});
            return r;
        }
        short_len = jnum(f, "length", 0);
    }
    if (type != 2) {
        log_entry(&b, sysroot, call, board, args, FC_KPL_FAILED);
        return FC_KPL_FAILED;
    }
    Session s(b);
    if (!s.ok) {
        log_entry(&b, sysroot, call, board, args, FC_KPL_FAILED);
        return FC_KPL_FAILED;
    }
    Bytes r = region_bytes(s.st, region_no);
    // On a chip at the top of the flash, the regions are the chip's bytes.
    if (chip_holds_region(s.st, region_no) && !chip_region_read(b, s.st, region_no, r)) {
        log_entry(&b, sysroot, call, board, args, FC_KPL_FAILED);
        return FC_KPL_FAILED;
    }
    size_t avail = offset < r.size() ? r.size() - offset : 0;
    size_t n = std::min<size_t>(*count, avail);
    if (short_len >= 0)
        n = std::min<size_t>(n, static_cast<size_t>(short_len));
    copy_bytes(buffer, r.data() + std::min<size_t>(offset, r.size()), n);
    *count = static_cast<uint32_t>(n);
    log_entry(&b, sysroot, call, board, args, 0, {{"bytes", n}});
    return 0;
}

int fc_update_config(const std::string &sysroot, int board, int kind, int region_no, uint32_t length,
                     const uint8_t *data, uint32_t *response)
{
    const char *call = "IssueUpdateCfgMBox";
    Board b;
    json args = json::array({kind, region_no, length});
    if (!response || !find_board(sysroot, board, b) || (kind == 2 && length > 0 && !data)) {
        log_entry(nullptr, sysroot, call, board, args, FC_KPL_BAD_BOARD);
        return FC_KPL_BAD_BOARD;
    }
    json f;
    if (take_fault(b, call, 0x1B, kind, -1, -1, -1, &f) && f.value("kind", "") == "kpl") {
        int r = fault_result(f);
        *response = static_cast<uint32_t>(jnum(f, "mbox_status", 0));
        log_entry(&b, sysroot, call, board, args, r, {{"response", *response}, {"fault", f.value("id", 0)}});
        return r;
    }
    Session s(b);
    if (!s.ok) {
        log_entry(&b, sysroot, call, board, args, FC_KPL_FAILED);
        return FC_KPL_FAILED;
    }
    *response = 0;
    int result = 0;
    json &r = region(s.st, region_no);
    if (kind == 1) {
        // Re-created with the size it had, emptied.
        size_t size = from_hex(r.value("data", "")).size();
        r["data"] = hex_of(Bytes(std::max<size_t>(size, length), 0));
        r["recreate"] = false;
        s.dirty = true;
    } else if (kind == 2) {
        if (r.value("recreate", false)) {
            *response = FC_MBX_RECREATE_REGION;
            result = FC_KPL_FAILED;
        } else {
            r["data"] = hex_of(Bytes(data, data + length));
            r["recreate"] = false;
            s.dirty = true;
        }
    } else {
        *response = FC_MBX_UNKNOWN_COMMAND;
        result = FC_KPL_FAILED;
    }
    if (!s.save())
        result = FC_KPL_FAILED;
    log_entry(&b, sysroot, call, board, args, result, {{"response", *response}});
    return result;
}

int fc_simple_call(const std::string &sysroot, const char *call, int board, const std::vector<long> &args,
                   uint32_t *out)
{
    std::string c = call;
    // A held flash chip answers its registers from memory.
    if ((c == "ReadCtlReg" || c == "WriteCtlReg") && !args.empty() &&
        cfi_fast_call(sysroot, board, c == "WriteCtlReg", static_cast<uint32_t>(args[0]),
                      args.size() > 1 ? static_cast<uint32_t>(args[1]) : 0, out))
        return FC_KPL_OK;
    json jargs = json::array();
    for (long a : args)
        jargs.push_back(a);
    Board b;
    int bad = c == "SetDumpEnv" ? -1 : FC_KPL_BAD_BOARD;
    if (!find_board(sysroot, board, b)) {
        log_entry(nullptr, sysroot, call, board, jargs, bad);
        return bad;
    }
    json f;
    if (take_fault(b, call, -1, -1, -1, -1, -1, &f) && f.value("kind", "") == "kpl") {
        int r = fault_result(f);
        log_entry(&b, sysroot, call, board, jargs, r, {{"fault", f.value("id", 0)}});
        return r;
    }
    Session s(b);
    if (!s.ok) {
        log_entry(&b, sysroot, call, board, jargs, bad);
        return bad;
    }
    auto arg = [&args](size_t i) { return i < args.size() ? args[i] : 0L; };
    int result = 0;
    json extra = json::object();
    if (c == "ResetAdapter") {
        if (arg(0) != 1 && arg(0) != 3) {
            result = FC_KPL_BAD_BOARD;
        } else {
            result = static_cast<int>(jnum(b.kpl, "reset_status", 0));
            if (result == 0) {
                s.st["resets"] = jnum(s.st, "resets", 0) + 1;
                s.st["dump_env"] = 0;
                // A reset brings a link up unless persistent link-down holds it.
                s.st["link_state"] = jnum(s.st, "persist_link_down", 0) ? 7 : 6;
                // A reset of kind 1 starts what the wakeup record names.
                if (arg(0) == 1 && start_from_wakeup(s.st, b.sli4()))
                    extra["running"] = s.st["running"];
                // A reset of kind 3 starts firmware that waits for one.
                json &fw = s.firmware();
                if (arg(0) == 3 && fw.value("pending_reset", false) && fw.contains("flash")) {
                    fw["active"] = fw["flash"];
                    fw["pending_reset"] = false;
                    s.follow_active();
                }
                s.dirty = true;
            }
        }
    } else if (c == "SetDumpEnv") {
        if (arg(0) != 2 && arg(0) != 3) {
            result = -1;
        } else {
            s.st["dump_env"] = arg(0);
            s.dirty = true;
            result = static_cast<int>(arg(0));
        }
    } else if (c == "ConfigLoopback") {
        s.st["loopback"] = arg(0);
        s.dirty = true;
    } else if (c == "GetPersistLinkDown") {
        if (out)
            *out = static_cast<uint32_t>(jnum(s.st, "persist_link_down", 0));
        extra["value"] = jnum(s.st, "persist_link_down", 0);
    } else if (c == "SetPersistLinkDown") {
        s.st["persist_link_down"] = arg(0) & 0xFFFF;
        s.dirty = true;
    } else if (c == "GetLinkInfo") {
        if (out)
            *out = static_cast<uint32_t>(jnum(s.st, "link_state", 0));
        extra["link_state"] = jnum(s.st, "link_state", 0);
    } else if ((c == "ReadCtlReg" || c == "WriteCtlReg") && has_chip(s.st) && cfi_register(arg(0))) {
        uint32_t v = 0;
        result = chip_register(b, s.st, c == "WriteCtlReg", static_cast<uint32_t>(arg(0)),
                               static_cast<uint32_t>(arg(1)), &v, extra);
        if (c == "ReadCtlReg") {
            if (out)
                *out = v;
            extra["value"] = v;
        }
    } else if (c == "ReadCtlReg") {
        uint32_t v = static_cast<uint32_t>(jnum(s.st["registers"], std::to_string(arg(0)).c_str(), 0));
        if (out)
            *out = v;
        extra["value"] = v;
    } else if (c == "WriteCtlReg") {
        s.st["registers"][std::to_string(arg(0))] = static_cast<uint32_t>(arg(1));
        s.dirty = true;
    } else if (c == "SetBrdEnv") {
        if (arg(0) == 1 || arg(0) == 2) {
            s.st["board_env"] = arg(0);
            s.dirty = true;
        }
    } else {
        result = FC_KPL_BAD_BOARD;
    }
    if (!s.save())
        result = bad;
    if ((c == "ResetAdapter" && arg(0) != 1 && arg(0) != 3) || (c == "SetDumpEnv" && arg(0) != 2 && arg(0) != 3))
        extra["kind"] = "fc";
    log_entry(&b, sysroot, call, board, jargs, result, extra);
    return result;
}

} // namespace hlvdsim
