// The iSCSI regions in adapter flash: whole-region reads and writes against
// the simulated adapters' object store, the entry edits, the boot target
// entry built from a session, and the read-edit-write cycles of regions 2
// and 3.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "backend_fixture.h"
#include "mgmt/aw/vexo-backend/backend_iscsi_region.h"
#include "mgmt/aw/vexo-backend/iscsi_objects.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/nodes_initiator.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "mgmt/vexo/core/vexo_status.h"
#include "sim/fault_plan.h"
#include "sim/flash_model.h"
#include "support/sim_host.h"

using hlvdtest::SimHost;
using namespace backendtest;

namespace {

typedef std::vector<uint8_t> Bytes;

// An AW3 adapter whose iSCSI function is on port 0 and a Trelmont adapter
// whose iSCSI function is on port 1 and runs two boot sessions.
const char kRegions[] = R"({
  "adapters": [
    { "name": "aw3", "family": "converged", "generation": "AW3", "serial": "AW3RGN01",
      "firmware": { "active": "10.2.370.15", "flash": "10.2.370.15", "boot": "10.2.370.1" },
      "functions": [
        { "bus": 4, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0712", "port": 0,
          "mac": "00:00:C9:B3:00:22" } ] },
    { "name": "trl", "family": "converged", "generation": "Trelmont", "serial": "TRLRGN01",
      "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.1" },
      "functions": [
        { "bus": 5, "function": 0, "kind": "nic", "vendor": "0x19A2", "device_id": "0x0720", "port": 0,
          "mac": "00:00:C9:C4:00:30" },
        { "bus": 5, "function": 3, "kind": "iscsi", "vendor": "0x19A2", "device_id": "0x0722", "port": 1,
          "mac": "00:00:C9:C4:00:33" } ] }
  ]
})";

const int kAw3 = 0, kTrl = 1;

// Where a function's regions are sent.
struct Fn {
    int aw_port;
    unsigned int domain;
    unsigned int phba_port;
};

Bytes header(uint32_t length, uint8_t region)
{
    Bytes b = {0x53, 0x49, 0x47, 0x4E, 0, 0, 0, 0, 1, 7, region, 1, 0, 0, 3, 0}; // revert bits set
    for (int i = 0; i < 4; ++i)
        b[4 + i] = static_cast<uint8_t>(length >> (8 * i));
    return b;
}

// A region image of the given entries (each given whole, header included).
Bytes region(uint8_t no, const std::vector<Bytes> &entries)
{
    Bytes area;
    for (const Bytes &e : entries)
        area.insert(area.end(), e.begin(), e.end());
    Bytes r = header(static_cast<uint32_t>(area.size()), no);
    r.insert(r.end(), area.begin(), area.end());
    return r;
}

Bytes tlv(uint8_t type, const Bytes &value)
{
    Bytes b = {type, static_cast<uint8_t>(value.size()), static_cast<uint8_t>(value.size() >> 8)};
    b.insert(b.end(), value.begin(), value.end());
    return b;
}

std::string hex(const Bytes &b)
{
    std::string s;
    char two[3];
    for (uint8_t v : b) {
        std::snprintf(two, sizeof two, "%02x", v);
        s += two;
    }
    return s;
}

// The bytes of an image the product handed out; frees it.
Bytes take(VEXO_ISCSI_REGION *image)
{
    if (!image)
        return Bytes();
    const uint8_t *p = reinterpret_cast<const uint8_t *>(image);
    Bytes b(p, p + iscsi_region_size(image));
    vexo_dfree(image);
    return b;
}

// A counted copy of an image, as the product's reads hand them out.
VEXO_ISCSI_REGION *image_of(const Bytes &b)
{
    void *p = vexo_dmalloc(b.size());
    std::memcpy(p, b.data(), b.size());
    return static_cast<VEXO_ISCSI_REGION *>(p);
}

std::string object_name(unsigned int port, int no)
{
    return "/iscsidata/Port" + std::to_string(port) + "/Instance0/Region" + std::to_string(no);
}

class IscsiRegion : public ::testing::Test {
protected:
    void SetUp() override
    {
        start_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
        fn_[kAw3] = locate(adapter_path("AW3RGN01") + "/iSCSIPhysicalHBA0");
        fn_[kTrl] = locate(adapter_path("TRLRGN01") + "/iSCSIPhysicalHBA0");
    }
    void TearDown() override
    {
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_, vexo_counter) << "counted memory left behind";
    }
    Fn locate(const std::string &path)
    {
        node *fn = get_node(tag_at(path, VEXO_NODE_GROUP));
        EXPECT_NE(nullptr, fn) << path;
        if (!fn)
            return Fn{-1, 0, 0};
        return Fn{get_port_number(fn), get_domain_id(fn), get_phba_port_number(fn)};
    }
    // What the adapter keeps for a region (empty when nothing was written).
    Bytes stored(int adapter, int no)
    {
        Bytes b;
        hlvdsim::object_contents(host_.root(), adapter == kAw3 ? "aw3" : "trl",
                                 object_name(fn_[adapter].phba_port, no), b);
        return b;
    }
    void preset(int adapter, int no, const Bytes &b)
    {
        set_adapter_field(host_.root(), adapter, "iscsi_regions",
                          nlohmann::json{{object_name(fn_[adapter].phba_port, no), hex(b)}});
    }
    Bytes read(int adapter, int no)
    {
        const Fn &f = fn_[adapter];
        return take(VEXO_read_iscsi_region(f.aw_port, f.domain, f.phba_port, no));
    }
    int write(int adapter, int no, const Bytes &b)
    {
        const Fn &f = fn_[adapter];
        VEXO_ISCSI_REGION *image = image_of(b);
        int r = VEXO_write_iscsi_region(f.aw_port, f.domain, f.phba_port, no, image);
        vexo_dfree(image);
        return r;
    }

    SimHost host_{kRegions};
    Fn fn_[2] = {};
    int start_ = 0;
};

TEST_F(IscsiRegion, FunctionsSendToTheirOwnPortsObjects)
{
    EXPECT_EQ(0u, fn_[kAw3].phba_port);
    EXPECT_EQ(1u, fn_[kTrl].phba_port);
}

TEST_F(IscsiRegion, ReadAndWriteKeepTheBytesAcrossAReboot)
{
    const Bytes r2 = region(2, {tlv(18, {3, 1}), tlv(0x30, {1, 2, 3, 4, 5}), tlv(0xFF, {0, 0, 0})});
    for (int a : {kAw3, kTrl}) {
        SCOPED_TRACE(a);
        preset(a, 2, r2);
        EXPECT_EQ(r2, read(a, 2)) << "the preset is answered byte for byte";

        Bytes changed = region(2, {tlv(18, {3, 0}), tlv(0x30, {9, 8, 7, 6, 5}), tlv(0xFF, {0, 0, 0})});
        changed.push_back(0xEE); // bytes beyond the entry area are not written
        ASSERT_EQ(0, write(a, 2, changed));
        changed.pop_back();
        EXPECT_EQ(changed, stored(a, 2));
        EXPECT_EQ(changed, read(a, 2));
    }
    std::string err;
    ASSERT_TRUE(hlvdsim::reboot_adapters(host_.root(), "", nullptr, &err)) << err;
    EXPECT_EQ(region(2, {tlv(18, {3, 0}), tlv(0x30, {9, 8, 7, 6, 5}), tlv(0xFF, {0, 0, 0})}), read(kTrl, 2));
}

TEST_F(IscsiRegion, UnreadableOrMalformedRegionsAreNotHandedOut)
{
    struct Case {
        const char *what;
        Bytes bytes; // preset; empty: nothing stored
    } cases[] = {
        {"nothing stored: actual length 0", {}},
        {"shorter than a header", {1, 2, 3}},
        {"header length past the bytes read", [] { Bytes b = region(3, {tlv(3, {1})}); b[4] = 9; return b; }()},
        {"entry running past the area", [] { Bytes b = region(3, {tlv(3, {1, 2})}); b[17] = 40; return b; }()},
        {"two bytes left after the last entry", [] { Bytes b = region(3, {tlv(9, {}), {0, 0}}); return b; }()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        if (!c.bytes.empty())
            preset(kTrl, 3, c.bytes);
        EXPECT_TRUE(read(kTrl, 3).empty());
    }
    // An answer that is cut short loses its eof bit.
    preset(kTrl, 3, region(3, {tlv(3, {1})}));
    hlvdsim::FaultSpec f;
    f.opcode = 171;
    f.kind = "short";
    f.length = 4;
    std::string err;
    ASSERT_GT(hlvdsim::fault_add(host_.root(), f, &err), 0) << err;
    EXPECT_TRUE(read(kTrl, 3).empty());
    EXPECT_EQ(region(3, {tlv(3, {1})}), read(kTrl, 3));
}

TEST_F(IscsiRegion, FailedWritesAnswerTheFirmwareStatus)
{
    EXPECT_EQ(1, VEXO_write_iscsi_region(fn_[kTrl].aw_port, 0, fn_[kTrl].phba_port, 3, nullptr));
    plan_status(host_.root(), 1, 172, 2, 75, false);
    EXPECT_NE(0, write(kTrl, 3, region(3, {})));
    EXPECT_TRUE(stored(kTrl, 3).empty());
}

} // namespace
