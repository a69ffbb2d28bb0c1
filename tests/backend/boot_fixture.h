// A simulated iSCSI function with sessions on three targets, for the boot
// target and boot setting tests: the tree's Target and Session nodes are
// built with the object model's builders over the sim's "sessions".
#ifndef HLVD_TESTS_BOOT_FIXTURE_H
#define HLVD_TESTS_BOOT_FIXTURE_H

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "backend_fixture.h"
#include "mgmt/aw/vexo-backend/iscsi_objects.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/nodes_initiator.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "sim/iscsi_region_model.h"
#include "sim/machine.h"
#include "support/sim_host.h"

namespace boottest
{

// Region 3 and region 2 as the adapter holds them at first: one foreign
// entry (type 0x20) in region 3; an MPIO entry (off) and a foreign entry
// in region 2.
const char kRegion3[] = "00000000080000000000000000000000" "200500aabbccddee";
const char kRegion2[] = "5a5a5a5a080000000100000000000000" "1202000700" "210000";

inline std::string machine(const std::string &generation, const std::string &device_id)
{
    std::string s = R"({ "adapters": [
  { "name": "a", "family": "converged", "generation": "GEN", "serial": "BOOT0001",
    "firmware": { "active": "11.1.183.23", "flash": "11.1.183.23", "boot": "11.1.183.23" },
    "iscsi_regions": { "/iscsidata/Port0/Instance0/Region3": ")" +
                    std::string(kRegion3) + R"(",
                       "/iscsidata/Port0/Instance0/Region2": ")" +
                    std::string(kRegion2) + R"(" },
    "iscsi_bios": { "auto_discovery_flags": 0, "bios_int13_enabled": 1, "ibft_pci_address": [5, 0, 2],
                    "bios_ver": 1234 },
    "functions": [
      { "bus": 5, "function": 2, "kind": "iscsi", "vendor": "0x19A2", "device_id": "DEV", "port": 0,
        "mac": "00:00:C9:B5:00:02",
        "initiator": { "sessions": [
          { "handle": 1, "target": "iqn.2001-04.com.example:a", "isid": "00023d000001", "flags": 0,
            "connection": { "handle": 101, "cid": 1, "status": 1, "dest_ip": "10.0.0.1", "dest_port": 3260 } },
          { "handle": 2, "target": "iqn.2001-04.com.example:b", "isid": "00023d000002", "flags": 0,
            "connection": { "handle": 102, "cid": 2, "status": 1, "dest_ip": "10.0.0.2", "dest_port": 3260 } },
          { "handle": 3, "target": "iqn.2001-04.com.example:b", "isid": "00023d000003", "flags": 0,
            "connection": { "handle": 103, "cid": 3, "status": 1, "dest_ip": "10.0.0.2", "dest_port": 3260 } },
          { "handle": 4, "target": "iqn.2001-04.com.example:c", "isid": "00023d000004", "flags": 0,
            "connection": { "handle": 104, "cid": 4, "status": 1, "dest_ip": "10.0.0.3", "dest_port": 3260 } }
        ] } },
      { "bus": 5, "function": 3, "kind": "iscsi", "vendor": "0x19A2", "device_id": "DEV", "port": 1,
        "mac": "00:00:C9:B5:00:03" } ] } ] })";
    const std::pair<std::string, std::string> subst[] = {{"GEN", generation}, {"DEV", device_id}};
    for (const auto &r : subst)
        for (size_t at; (at = s.find(r.first)) != std::string::npos;)
            s.replace(at, r.first.size(), r.second);
    return s;
}

class BootHost : public ::testing::Test
{
protected:
    // Makes the host and starts the back end; once per test.
    void start(const std::string &generation = "Trelmont", const std::string &device_id = "0x0722")
    {
        host_.reset(new hlvdtest::SimHost(machine(generation, device_id)));
        start_count_ = vexo_counter;
        ASSERT_EQ(0, VEXO_init());
        started_ = true;
        fn_ = backendtest::adapter_path("BOOT0001") + "/iSCSIPhysicalHBA0";
        phba_ = get_node(backendtest::tag_at(fn_, VEXO_NODE_GROUP));
        ASSERT_NE(nullptr, phba_);
        lhba_ = get_first_instance(phba_, "LogicalHBA");
        if (!lhba_) {
            char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE] = {};
            lhba_ = initialize_LogicalHBA(phba_, nullptr, nullptr, params);
        }
        ASSERT_NE(nullptr, lhba_);
    }
    void TearDown() override
    {
        if (!started_)
            return;
        // Handle records go before their nodes.
        for (node *t = get_first_instance(lhba_, "Target"); t; t = next(t))
            for (node *s = get_first_instance(t, "Session"); s; s = next(s)) {
                for (node *g = s->u.grp->next_child; g != s; g = g->next_sibling)
                    if (g->node_type == VEXO_NODE_GROUP && g->u.grp->handle) {
                        vexo_dfree(g->u.grp->handle);
                        g->u.grp->handle = nullptr;
                    }
                vexo_dfree(s->u.grp->handle);
                s->u.grp->handle = nullptr;
            }
        EXPECT_EQ(0, VEXO_exit());
        EXPECT_EQ(start_count_, vexo_counter) << "counted memory left behind";
    }
    static node *next(node *n)
    {
        node *x = n->u.grp->multi_instance->next_instance;
        return x && vexo_is_instance(x) && x->u.grp->multi_instance->instance != -1 ? x : nullptr;
    }
    node *target(const char *name)
    {
        std::string full = std::string("iqn.2001-04.com.example:") + name;
        node *t = find_target(lhba_, full.c_str());
        return t ? t : setup_target(lhba_, full.c_str(), nullptr, nullptr, nullptr, 0);
    }
    // A Session node for sim session `handle` below target `name`.
    node *session(const char *name, int handle)
    {
        node *s = setup_session(target(name), get_port_number(lhba_), handle, 0, nullptr, nullptr, nullptr, nullptr,
                                "1");
        if (s) {
            setup_connection(s, 100 + handle, nullptr, nullptr, nullptr, nullptr);
            // The session's ISIDQualifier and the rest of its properties.
            EXPECT_EQ(0, get_session_attribs(get_port_number(lhba_), get_domain_id(lhba_),
                                             get_phba_port_number(lhba_), s));
        }
        return s;
    }
    static node *prop(node *group, const char *name)
    {
        return internal_get_node(group, name, VEXO_NODE_PROPERTY);
    }
    // A property through the management API: its value or "error N".
    static std::string get(node *group, const char *name)
    {
        char v[VEXO_VALUE_SIZE] = "";
        node *p = prop(group, name);
        if (!p)
            return "missing";
        VEXO_status_t st = VEXO_get_property_val(group->node_tag, p->node_tag, v, sizeof v);
        return st == VEXO_STATUS_SUCCESS ? std::string(v) : "error " + std::to_string(st);
    }
    static VEXO_status_t set(node *group, const char *name, const char *value)
    {
        char v[VEXO_VALUE_SIZE];
        std::snprintf(v, sizeof v, "%s", value);
        node *p = prop(group, name);
        return p ? VEXO_set_property_val(group->node_tag, p->node_tag, v, sizeof v) : VEXO_STATUS_FAILURE;
    }
    static VEXO_status_t act(node *group, const char *name, std::vector<const char *> given)
    {
        char params[VEXO_MAX_PARAMS][VEXO_VALUE_SIZE];
        std::memset(params, 0, sizeof params);
        for (size_t i = 0; i < given.size(); ++i)
            std::snprintf(params[i], VEXO_VALUE_SIZE, "%s", given[i]);
        node *a = internal_get_node(group, name, VEXO_NODE_ACTION);
        std::vector<node_tag_t> tags(VEXO_MAX_NEW_TAGS);
        return a ? VEXO_do_action(group->node_tag, a->node_tag, params, tags.data()) : VEXO_STATUS_FAILURE;
    }
    hlvdsim::Machine load() const
    {
        hlvdsim::Machine m;
        std::string err;
        EXPECT_TRUE(hlvdsim::load_machine(host_->root(), m, &err)) << err;
        return m;
    }
    // The firmware's flags of sim session `handle`.
    long flags(int handle) const
    {
        hlvdsim::Machine m = load();
        for (const auto &s : m.doc["adapters"][0]["functions"][0]["initiator"]["sessions"])
            if (s.value("handle", -1) == handle)
                return s.value("flags", 0L);
        return -1;
    }
    std::vector<uint8_t> region(int number) const
    {
        hlvdsim::Machine m = load();
        std::vector<uint8_t> out;
        hlvdsim::iscsi_region_contents(m, host_->root(),
                                       0, "/iscsidata/Port0/Instance0/Region" + std::to_string(number), out);
        return out;
    }
    int sent(int subsystem, int opcode) const
    {
        int n = 0;
        for (const auto &c : backendtest::fw_commands(host_->root()))
            n += c.first == subsystem && c.second == opcode;
        return n;
    }

    std::unique_ptr<hlvdtest::SimHost> host_;
    std::string fn_;
    node *phba_ = nullptr, *lhba_ = nullptr;
    int start_count_ = 0;
    bool started_ = false;
};

// The boot target entries (type 3) of a region 3 image as
// {isid_qualifier, priority, target_num}, and the other entry types.
struct Entries {
    std::vector<std::vector<int>> boot;
    std::vector<int> others;
};
inline Entries entries(const std::vector<uint8_t> &r)
{
    Entries e;
    if (r.size() < 16)
        return e;
    size_t end = 16 + (r[4] | r[5] << 8);
    for (size_t at = 16; at + 3 <= end && at + 3 <= r.size();) {
        size_t len = r[at + 1] | r[at + 2] << 8;
        if (r[at] == 3 && at + 19 <= r.size())
            e.boot.push_back({r[at + 17] | r[at + 18] << 8, r[at + 5], r[at + 4]});
        else if (r[at] != 0xFF)
            e.others.push_back(r[at]);
        at += len + 3;
    }
    return e;
}

} // namespace boottest

#endif
