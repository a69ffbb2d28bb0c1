#include "flash_fixture.h"

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "mgmt/aw/vexo-backend/backend.h"
#include "mgmt/aw/vexo-backend/linux/vexo_transport.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "sim/command_log.h"
#include "sim/flash_model.h"
#include "sim/machine.h"

namespace flashtest
{

namespace
{

uint32_t le32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

hlvdsim::Machine load(const std::string &root)
{
    hlvdsim::Machine m;
    std::string err;
    EXPECT_TRUE(hlvdsim::load_machine(root, m, &err)) << err;
    return m;
}

const hlvdsim::Adapter *find(const hlvdsim::Machine &m, const std::string &name)
{
    for (const hlvdsim::Adapter &a : m.adapters)
        if (a.name == name)
            return &a;
    return nullptr;
}

node_tag_t tag_of(node *parent, const char *name, int kind)
{
    node_tag_t tag = -1;
    char text[VEXO_MAX_NAME_SIZE];
    std::snprintf(text, sizeof text, "%s", name);
    EXPECT_EQ(VEXO_STATUS_SUCCESS, VEXO_get_node_tag(parent->node_tag, text, &tag, kind)) << name;
    return tag;
}

Outcome run(node *adapter, const char *action, const std::string &param)
{
    char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
    std::memset(params, 0, sizeof params);
    std::snprintf(params[0], sizeof params[0], "%s", param.c_str());
    node_tag_t act = tag_of(adapter, action, VEXO_NODE_ACTION);
    int result = VEXO_do_action(adapter->node_tag, act, params, nullptr);
    VEXO_status_t code = VEXO_STATUS_SUCCESS;
    char text[VEXO_LAST_STATUS_SIZE];
    VEXO_get_last_status(&code, text);
    return Outcome{result, code};
}

} // namespace

std::string flashing_machine()
{
    json doc = json::parse(hlvdtest::read_file(hlvdsim::default_machine_path()));
    for (json &a : doc["adapters"])
        if (a.value("generation", "") == "Varrow")
            for (json &f : a["functions"])
                f["device_id"] = "0xE228";
    return doc.dump();
}

void FlashTest::SetUp()
{
    host_ = new hlvdtest::SimHost(machine());
    ASSERT_TRUE(hlvdsim::make_dirs(host_->path("/images")));
    start_count_ = vexo_counter;
    start();
    ASSERT_NE(nullptr, get_node(0));
    clear_log();
}

void FlashTest::TearDown()
{
    VEXO_exit();
    EXPECT_EQ(start_count_, vexo_counter) << "counted memory left behind";
    EXPECT_EQ(0, vexo_glob.ioctl_version);
    delete host_;
    host_ = nullptr;
}

void FlashTest::start()
{
    ASSERT_EQ(VEXO_STATUS_SUCCESS, VEXO_init());
}

// The adapter group the back end made for a simulated adapter: the one with
// its serial number, or with the bus of its first function when the adapter
// reports no serial.
node *FlashTest::adapter(const std::string &name) const
{
    hlvdsim::Machine m = load(host_->root());
    const hlvdsim::Adapter *a = find(m, name);
    if (!a || a->functions.empty())
        return nullptr;
    for (node *n = get_first_instance(get_node(0), "Arcwright"); n && vexo_is_instance(n);
         n = n->u.grp->multi_instance->next_instance) {
        char serial[VEXO_VALUE_SIZE] = "";
        if (internal_get_property(n, "SerialNumber", serial) == VEXO_STATUS_SUCCESS && a->serial == serial)
            return n;
        char bus[VEXO_SERIAL_NUM_SIZE] = "";
        if (VEXO_get_pci_bus_number(n, bus) == 0 && std::strtoul(bus, nullptr, 0) == a->functions[0].bus)
            return n;
    }
    return nullptr;
}

Outcome FlashTest::upgrade(const std::string &name, const std::string &file) const
{
    node *a = adapter(name);
    EXPECT_NE(nullptr, a) << name;
    return a ? run(a, "UpgradeFlashROM", file) : Outcome{-1, -1};
}

Outcome FlashTest::dump(const std::string &name, const std::string &file) const
{
    node *a = adapter(name);
    EXPECT_NE(nullptr, a) << name;
    return a ? run(a, "RetrieveStratolinkPCIDump", file) : Outcome{-1, -1};
}

std::string FlashTest::make_ufi(const hlvdsim::UfiSpec &recipe, const std::string &file) const
{
    std::string err;
    EXPECT_TRUE(hlvdsim::write_ufi(recipe, path(file), &err)) << err;
    return path(file);
}

std::string FlashTest::make_obj(const hlvdsim::VarrowObjectSpec &recipe, const std::string &file) const
{
    std::string err;
    EXPECT_TRUE(hlvdsim::write_varrow_object(recipe, path(file), &err)) << err;
    return path(file);
}

std::vector<uint8_t> FlashTest::flash(const std::string &name) const
{
    std::vector<uint8_t> out;
    EXPECT_TRUE(hlvdsim::flash_contents(host_->root(), name, 0, hlvdsim::kFlashSize, out));
    return out;
}

std::string FlashTest::flash_version(const std::string &name) const
{
    hlvdsim::Machine m = load(host_->root());
    const hlvdsim::Adapter *a = find(m, name);
    return a ? a->flash_version : std::string();
}

std::string FlashTest::active_version(const std::string &name) const
{
    hlvdsim::Machine m = load(host_->root());
    const hlvdsim::Adapter *a = find(m, name);
    return a ? a->active_version : std::string();
}

void FlashTest::set_active(const std::string &name, const std::string &version) const
{
    {
        hlvdsim::StateLock lock(host_->root());
        hlvdsim::Machine m = load(host_->root());
        for (size_t i = 0; i < m.adapters.size(); ++i)
            if (m.adapters[i].name == name)
                m.doc["adapters"][i]["firmware"]["active"] = version;
        ASSERT_TRUE(hlvdsim::save_machine(host_->root(), m, nullptr));
    }
    node *a = adapter(name);
    ASSERT_NE(nullptr, a);
    set_prop_val(a, "ActiveFirmwareVersion", "%s", version.c_str());
}

std::vector<json> FlashTest::fw_log() const
{
    std::vector<json> out;
    for (const json &e : hlvdsim::log_read(host_->root()))
        if (e["kind"] == "fw")
            out.push_back(e);
    return out;
}

std::vector<json> FlashTest::writes(const std::vector<json> &log)
{
    std::vector<json> out;
    for (const json &e : log)
        if (e["subsystem"] == 1 && e["opcode"] == 7)
            out.push_back(e);
    return out;
}

void FlashTest::clear_log() const
{
    hlvdsim::log_clear(host_->root());
}

void FlashTest::plan(const hlvdsim::FaultSpec &f) const
{
    std::string err;
    ASSERT_GT(hlvdsim::fault_add(host_->root(), f, &err), 0) << err;
}

void FlashTest::plan_status(int opcode, int status, int additional, int from, bool always) const
{
    hlvdsim::FaultSpec f;
    f.subsystem = 1;
    f.opcode = opcode;
    f.kind = "status";
    f.status = status;
    f.additional_status = additional;
    f.from = from;
    f.always = always;
    plan(f);
}

std::vector<uint8_t> expected_flash(const std::vector<uint8_t> &image, int generation, bool offset_method,
                                    const std::vector<uint32_t> &skip)
{
    std::vector<uint8_t> flash(hlvdsim::kFlashSize, 0);
    auto skipped = [&skip](uint32_t op) {
        for (uint32_t s : skip)
            if (s == op)
                return true;
        return false;
    };
    auto place = [&](uint64_t from, uint32_t to, uint32_t len) {
        EXPECT_LE(from + len, image.size());
        EXPECT_LE(uint64_t(to) + len, flash.size());
        if (from + len <= image.size() && uint64_t(to) + len <= flash.size())
            std::memcpy(&flash[to], &image[from], len);
    };
    if (generation == 2) {
        for (const hlvdsim::UfiAw2Region &r : hlvdsim::kUfiAw2Regions)
            if (!skipped(r.op_type))
                place(96 + r.flash_offset, r.flash_offset, r.length);
        return flash;
    }
    const uint32_t H = 128 + 48 * le32(&image[68]);
    uint64_t dir = H;
    while (dir + 2240 <= image.size() && std::memcmp(&image[dir], "*** TQ FLAS", 11) != 0)
        dir += 32;
    if (dir + 2240 > image.size()) {
        ADD_FAILURE() << "no directory in the image";
        return flash;
    }
    const uint32_t count = le32(&image[dir + 44]);
    for (uint32_t i = 0; i < count && i < 32; ++i) {
        const uint8_t *e = &image[dir + 192 + 64 * i];
        uint32_t type = le32(e), offset = le32(e + 4), size = le32(e + 8), op = le32(e + 24) & 0xFFFF;
        if (generation == 3) {
            for (const hlvdsim::UfiAw3Component &c : hlvdsim::kUfiAw3Components)
                if (c.entry_type == type && !skipped(c.op_type))
                    place(H + c.offset, c.offset, c.size);
            continue;
        }
        if (op == 0xFFFF)
            op = hlvdsim::ufi_trelmont_op_type(type);
        if (skipped(op))
            continue;
        hlvdsim::FlashRegion r;
        if (offset_method)
            place(H + offset, offset, size);
        else if (hlvdsim::flash_region("Trelmont", op, &r))
            place(H + offset, r.base, size);
    }
    return flash;
}

Chunk chunk_of(const json &e)
{
    std::string hex = e["payload"];
    auto word = [&hex](size_t at) {
        uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = v << 8 | static_cast<uint32_t>(std::stoul(hex.substr((at + i) * 2, 2), nullptr, 16));
        return v;
    };
    return Chunk{word(0), word(4), word(8), word(12)};
}

std::vector<uint8_t> read_bytes(const std::string &file)
{
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    std::vector<uint8_t> out(in ? static_cast<size_t>(in.tellg()) : 0);
    in.seekg(0);
    in.read(reinterpret_cast<char *>(out.data()), static_cast<std::streamsize>(out.size()));
    return out;
}

} // namespace flashtest
