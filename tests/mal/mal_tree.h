// A small adapter tree for the client layer's tests, made with the generic
// builder in the shapes the layer reads: adapter groups with their OEM,
// FATData, NICCIM, NCSI, profile and trace subgroups, ports with channels,
// NIC and iSCSI functions with their PCI, Driver, CIM, vNIC, network-boot and
// Network groups, logical HBAs with targets and send-target portals.
#ifndef HLVD_TESTS_MAL_TREE_H
#define HLVD_TESTS_MAL_TREE_H

#include <cstdint>
#include <string>

#include "mgmt/vexo/core/hm_types.h"

namespace maltest {

// A machine without converged adapters: the library's start leaves only the
// root, and the tests add the groups they need.
extern const char kNoAdapterMachine[];

node *build_adapter();                  // under ROOT
node *build_port(node *adapter);        // PortDiscoveryAndConfiguration
node *build_channel(node *port);        // below the port's ChannelManagement
node *build_nic(node *adapter);         // NICPhysicalHBA
node *build_iscsi(node *adapter);       // iSCSIPhysicalHBA with its Network group
node *build_logical(node *iscsi);       // LogicalHBA
node *build_target(node *logical);      // Target
node *build_portal(node *logical);      // SendTargetPortal below Discovery
node *build_pm_port(node *adapter);     // Port below ProfileManagement/ActiveProfile

// Removes the child of `parent` named `name` (any kind) with its subtree.
void remove_child(node *parent, const char *name);
// Sets a cached value by path below `base` ("OEM/OEMSerialNumber").
void set_value(node *base, const char *path, const char *value);

// What the handlers did and will do.
struct TreeState {
    uint8_t pci[256] = {};     // configuration space the dump actions show
    int dump_fail_offset = -1; // the dump pass at this offset fails
    int dump_runs = 0;
    int channel_refreshes = 0;
};
extern TreeState tree_state;

// Tag of a child found by display name; -1 when there is none.
node_tag_t tag_of(node_tag_t parent, const char *name, int type);

// Another process holding the lock file of an adapter key for as long as
// the object lives.
class LockHolder {
public:
    explicit LockHolder(const std::string &key);
    ~LockHolder();
    LockHolder(const LockHolder &) = delete;
    LockHolder &operator=(const LockHolder &) = delete;
    bool holding() const { return holding_; }

private:
    int pid_ = -1;
    int release_fd_ = -1;
    bool holding_ = false;
};

} // namespace maltest

#endif
