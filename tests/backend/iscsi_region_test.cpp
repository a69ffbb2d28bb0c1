// The iSCSI regions in adapter flash: whole-region reads and writes against
// the simulated adapters' object store, the entry edits, the boot target
// entry built from a session, and the read-edit-write cycles of regions 2
// and 3.
#include <algorithm>
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
          "mac": "00:00:C9:C4:00:33",
          "initiator": {
            "targets": [ { "id": 1, "name": "iqn.2001-04.com.example:boot01" },
                         { "id": 2, "name": "iqn.2001-04.com.example:boot02" },
                         { "id": 3, "name": "iqn.2001-04.com.example:boot03" } ],
            "sessions": [
            { "handle": 1, "target": "iqn.2001-04.com.example:boot01", "isid": "00023d001234", "flags": 256,
              "connection": { "handle": 11, "dest_ip": "10.0.0.1", "dest_port": 3260,
                              "options": { "header_digest": 1 } } },
            { "handle": 2, "target": "iqn.2001-04.com.example:boot02", "isid": "00023d000002", "flags": 256,
              "connection": { "handle": 12, "dest_ip": "10.0.0.2", "dest_port": 3261,
                              "options": { "data_digest": 1, "auth": 1, "chap_flags": 1,
                                           "initiator_chap_name": "ininame1", "initiator_secret": "inisecret123",
                                           "target_chap_name": "tgtname1", "target_secret": "tgtsecret123" } } },
            { "handle": 3, "target": "iqn.2001-04.com.example:boot03", "isid": "00023d000003", "flags": 0,
              "connection": { "handle": 13, "dest_ip": "fe80::1", "dest_port": 3260 } }
          ] } } ] }
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
        presets_[adapter][object_name(fn_[adapter].phba_port, no)] = hex(b);
        set_adapter_field(host_.root(), adapter, "iscsi_regions", presets_[adapter]);
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

    // A Session node of the Trelmont function for a firmware session.
    node *session(int handle)
    {
        node *fn = get_node(tag_at(adapter_path("TRLRGN01") + "/iSCSIPhysicalHBA0", VEXO_NODE_GROUP));
        // Start built the initiator with the firmware's sessions.
        node *lhba = get_first_instance(fn, "LogicalHBA");
        std::string name = "iqn.2001-04.com.example:boot0" + std::to_string(handle);
        if (!lhba)
            return nullptr;
        node *t = find_target(lhba, name.c_str());
        if (!t)
            t = setup_target(lhba, name.c_str(), nullptr, nullptr, nullptr, 0);
        for (node *s = t ? get_first_instance(t, "Session") : nullptr; s && s->u.grp->multi_instance->instance != -1;
             s = s->u.grp->multi_instance->next_instance) {
            const node_handle *h = static_cast<const node_handle *>(s->u.grp->handle);
            if (h && h->session_handle == handle)
                return s;
        }
        return setup_session(t, fn_[kTrl].aw_port, handle, 1, nullptr, nullptr, nullptr, nullptr, "1");
    }
    int add_boot(int handle, int priority, int target_num)
    {
        const Fn &f = fn_[kTrl];
        return VEXO_add_boottarget_tlv(f.aw_port, f.domain, f.phba_port, session(handle), priority, target_num);
    }
    int delete_boot(int handle)
    {
        const Fn &f = fn_[kTrl];
        GET_A_SESSION_PARAMS *s = VEXO_get_session_params(handle, f.aw_port, f.domain, f.phba_port);
        int r = VEXO_delete_boottarget_tlv(f.aw_port, f.domain, f.phba_port, s);
        vexo_dfree(s);
        return r;
    }
    // The entries of a stored region, each whole.
    std::vector<Bytes> entries_of(const Bytes &r)
    {
        std::vector<Bytes> out;
        for (size_t at = 16; at + 3 <= r.size();) {
            size_t n = 3u + (r[at + 1] | r[at + 2] << 8);
            out.emplace_back(r.begin() + at, r.begin() + std::min(r.size(), at + n));
            at += n;
        }
        return out;
    }

    SimHost host_{kRegions};
    nlohmann::json presets_[2] = {nlohmann::json::object(), nlohmann::json::object()};
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

// An in-memory edit of an image; the result's bytes (empty for null).
template <typename F> Bytes edit(const Bytes &in, F f)
{
    VEXO_ISCSI_REGION *image = image_of(in);
    Bytes out = take(f(image));
    vexo_dfree(image);
    return out;
}

TEST_F(IscsiRegion, PadsBringTheAreaToAMultipleOfFour)
{
    struct Case {
        size_t area;  // entry area before
        int pad_len;  // length of the pad entry added, -1 for none
        size_t after; // entry area after
    } cases[] = {{13, 0, 16}, {14, 3, 20}, {15, 2, 20}, {16, -1, 16}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.area);
        Bytes r = region(3, {tlv(0x40, Bytes(c.area - 3, 0xAB))});
        Bytes padded = edit(r, VEXO_add_pad_tlv);
        ASSERT_EQ(16 + c.after, padded.size());
        EXPECT_EQ(c.after, padded[4] | padded[5] << 8);
        EXPECT_TRUE(std::equal(r.begin() + 16, r.end(), padded.begin() + 16)) << "entries kept";
        if (c.pad_len >= 0) {
            EXPECT_EQ(tlv(0xFF, Bytes(size_t(c.pad_len), 0)), Bytes(padded.begin() + 16 + c.area, padded.end()));
        }
        // Removing the pad and adding it again gives the same image.
        EXPECT_EQ(padded, edit(edit(padded, VEXO_remove_pad_tlv), VEXO_add_pad_tlv));
        EXPECT_EQ(c.pad_len >= 0 ? r : padded, edit(padded, VEXO_remove_pad_tlv));
    }
}

TEST_F(IscsiRegion, BootEntriesOfTwoSessionsLiveSideBySide)
{
    const Bytes other = tlv(0x20, {1, 2, 3, 4});
    preset(kTrl, 3, region(3, {other, tlv(3, Bytes(40, 0x11)), tlv(0xFF, {0, 0})}));
    preset(kTrl, 2, region(2, {tlv(18, {3, 1})}));
    ASSERT_EQ(0, add_boot(1, ISCSI_BOOT_PRIORITY_PRIMARY, 1));
    ASSERT_EQ(0, add_boot(2, ISCSI_BOOT_PRIORITY_SECONDARY, 2));
    Bytes r3 = stored(kTrl, 3);
    EXPECT_EQ(0u, (r3.size() - 16) % 4);
    std::vector<Bytes> e = entries_of(r3);
    ASSERT_EQ(5u, e.size());
    EXPECT_EQ(other, e[0]) << "entries of other types are carried along";
    EXPECT_EQ(tlv(3, Bytes(40, 0x11)), e[1]) << "another session's boot entry stays";
    e.erase(e.begin() + 1);
    // IPv4, no CHAP, 30-character name: S 63, 66 bytes in the region.
    const Bytes primary = e[1];
    ASSERT_EQ(66u, primary.size());
    EXPECT_EQ(63, primary[1] | primary[2] << 8);
    const Bytes fixed1 = {3, 63, 0, 3, 1, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x34, 0x12, 1, 0, 0xBC, 0x0C, 0, 30,
                          0, 0, 10, 0, 0, 1};
    EXPECT_EQ(fixed1, Bytes(primary.begin(), primary.begin() + 31));
    EXPECT_EQ("iqn.2001-04.com.example:boot01", std::string(primary.begin() + 31, primary.begin() + 61));
    EXPECT_EQ(Bytes(5, 0), Bytes(primary.begin() + 61, primary.end())) << "initiator lengths and 3 zero bytes";
    // Mutual CHAP, 8-character names, 12-character secrets: S 103, 106 bytes.
    const Bytes secondary = e[2];
    ASSERT_EQ(106u, secondary.size());
    EXPECT_EQ(103, secondary[1] | secondary[2] << 8);
    EXPECT_EQ(2, secondary[5]);  // priority
    EXPECT_EQ(2, secondary[16]); // mutual CHAP
    EXPECT_EQ("tgtname1tgtsecret123", std::string(secondary.begin() + 61, secondary.begin() + 81));
    EXPECT_EQ(Bytes({8, 12}), Bytes(secondary.begin() + 81, secondary.begin() + 83));
    EXPECT_EQ("ininame1inisecret123", std::string(secondary.begin() + 83, secondary.begin() + 103));
    EXPECT_EQ(0xFF, e[3][0]);
    // The mutual CHAP session's initiator values went to region 2.
    std::vector<Bytes> r2 = entries_of(stored(kTrl, 2));
    ASSERT_EQ(4u, r2.size());
    EXPECT_EQ(2, r2[1][0]);
    EXPECT_EQ(3, r2[2][0]);

    // Adding the primary again replaces only its own entry.
    ASSERT_EQ(0, add_boot(1, ISCSI_BOOT_PRIORITY_PRIMARY, 1));
    e = entries_of(stored(kTrl, 3));
    ASSERT_EQ(5u, e.size());
    EXPECT_EQ(secondary, e[2]);
    EXPECT_EQ(primary, e[3]);

    // A reboot drops the firmware's sessions: the entry is found by what the
    // session was, read before the reboot.
    const Fn &f = fn_[kTrl];
    GET_A_SESSION_PARAMS *s2 = VEXO_get_session_params(2, f.aw_port, f.domain, f.phba_port);
    ASSERT_NE(nullptr, s2);
    std::string err;
    ASSERT_TRUE(hlvdsim::reboot_adapters(host_.root(), "", nullptr, &err)) << err;
    const int deleted = VEXO_delete_boottarget_tlv(f.aw_port, f.domain, f.phba_port, s2);
    vexo_dfree(s2);
    ASSERT_EQ(0, deleted);
    e = entries_of(stored(kTrl, 3));
    ASSERT_EQ(3u, e.size()) << "116 bytes need no pad";
    EXPECT_EQ(primary, e[2]);
    EXPECT_EQ(2u, entries_of(stored(kTrl, 2)).size()) << "its initiator CHAP entries went too";
}

TEST_F(IscsiRegion, InitiatorChapEntriesReplaceTheOldOnes)
{
    preset(kTrl, 2, region(2, {tlv(2, {3, 'o', 'l', 'd'}), tlv(18, {3, 1}), tlv(3, {3, 's'}), tlv(0xFF, {0, 0})}));
    const Fn &f = fn_[kTrl];
    GET_A_SESSION_PARAMS *s = VEXO_get_session_params(2, f.aw_port, f.domain, f.phba_port);
    ASSERT_EQ(0, VEXO_update_initiator_chap_region(f.aw_port, f.domain, f.phba_port, s));
    Bytes name = {3, 'i', 'n', 'i', 'n', 'a', 'm', 'e', '1'}, secret = {3};
    for (char ch : std::string("inisecret123"))
        secret.push_back(static_cast<uint8_t>(ch));
    EXPECT_EQ(region(2, {tlv(18, {3, 1}), tlv(2, name), tlv(3, secret), tlv(0xFF, {})}), stored(kTrl, 2));
    ASSERT_EQ(0, VEXO_delete_initiator_chap_region(f.aw_port, f.domain, f.phba_port, s));
    EXPECT_EQ(region(2, {tlv(18, {3, 1}), tlv(0xFF, {})}), stored(kTrl, 2));
    vexo_dfree(s);
}

TEST_F(IscsiRegion, AFailedRegion2WritePutsRegion3Back)
{
    const Bytes r3 = region(3, {tlv(3, Bytes(12, 0x22))});
    preset(kTrl, 3, r3);
    preset(kTrl, 2, region(2, {tlv(18, {3, 1}), tlv(0xFF, {0, 0})}));
    hlvdsim::FaultSpec f;
    f.opcode = 172;
    f.kind = "status";
    f.status = 2;
    f.additional_status = 75;
    f.from = 2;
    std::string err;
    ASSERT_GT(hlvdsim::fault_add(host_.root(), f, &err), 0) << err;
    EXPECT_EQ(1, add_boot(2, ISCSI_BOOT_PRIORITY_PRIMARY, 1));
    EXPECT_EQ(r3, stored(kTrl, 3));
    EXPECT_TRUE(stored(kTrl, 2).empty());
}

TEST_F(IscsiRegion, CyclesThatCannotEditWriteNothing)
{
    struct Case {
        const char *what;
        Bytes r3;
        int handle;
        bool add;
        int result;
        bool rewritten; // region 3 written back unchanged
    } cases[] = {
        {"an empty region is not edited", region(3, {}), 1, true, 1, false},
        {"a session the firmware does not know", region(3, {tlv(9, {})}), 9, true, 1, false},
        {"no boot flag: nothing removed, rewritten unchanged", region(3, {tlv(3, Bytes(41, 0))}), 3, false, 0, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        preset(kTrl, 3, c.r3);
        int r = c.add ? add_boot(c.handle, 1, 1) : delete_boot(c.handle);
        EXPECT_EQ(c.result, r);
        if (c.rewritten) {
            EXPECT_EQ(c.r3, stored(kTrl, 3));
        } else {
            EXPECT_TRUE(stored(kTrl, 3).empty());
        }
    }
}

TEST_F(IscsiRegion, SessionEntriesAreFoundByTheirOwnAddressLength)
{
    // Entries of the IPv6 session and of the IPv4 one, flagged as boot.
    const Fn &f = fn_[kTrl];
    GET_A_SESSION_PARAMS *v6 = VEXO_get_session_params(3, f.aw_port, f.domain, f.phba_port);
    GET_A_SESSION_PARAMS *v4 = VEXO_get_session_params(1, f.aw_port, f.domain, f.phba_port);
    ASSERT_TRUE(v6 && v4);
    v6->data[17] |= 1; // flags 0x100
    ISCSI_TGT_BOOT_TLV *e6 = VEXO_create_TLV(v6, 1, 1), *e4 = VEXO_create_TLV(v4, 2, 2);
    ASSERT_TRUE(e6 && e4);
    EXPECT_EQ(29 + 16 + 30, uint16_t(e6->type_len.length));
    EXPECT_EQ(1, e6->ip_ver);
    auto whole = [](const ISCSI_TGT_BOOT_TLV *e) {
        size_t n = e->type_len.length;
        Bytes b(reinterpret_cast<const uint8_t *>(e), reinterpret_cast<const uint8_t *>(e) + n);
        b.resize(b.size() + 3);
        return b;
    };
    Bytes r = region(3, {whole(e4), whole(e6)});
    EXPECT_EQ(region(3, {whole(e4)}),
              edit(r, [&](VEXO_ISCSI_REGION *i) { return VEXO_remove_boot_tlv(i, v6, ISCSI_REMOVE_SESSION_BOOT); }));
    EXPECT_EQ(region(3, {whole(e6)}),
              edit(r, [&](VEXO_ISCSI_REGION *i) { return VEXO_remove_boot_tlv(i, v4, ISCSI_REMOVE_SESSION_BOOT); }));
    EXPECT_EQ(region(3, {}),
              edit(r, [&](VEXO_ISCSI_REGION *i) { return VEXO_remove_boot_tlv(i, nullptr, ISCSI_REMOVE_ALL_BOOT); }));
    // A CHAP name longer than its length byte is refused.
    uint8_t *chap = v4->data + ISCSI_SESSION_CONN_LIST + 92;
    chap[20] = 1;
    chap[576] = 0x00;
    chap[577] = 0x01; // target CHAP name length 256
    EXPECT_EQ(nullptr, VEXO_create_TLV(v4, 1, 1));
    vexo_dfree(e6);
    vexo_dfree(e4);
    vexo_dfree(v6);
    vexo_dfree(v4);
}

} // namespace
