// The node tables of the adapter, NIC-function, iSCSI-function and port groups,
// and of the repeated groups below them, as the tests expect them, written
// out by hand row by row in creation order.
//
// One text per node:
//   "G Name"  or  "G Name | group_handler"   opens a fixed subgroup
//   "}"                                      closes it
//   "P Name | RO|RW | type | min..max | default | allowed values | handler"
//   "A Name | handler | param; param; ..."   with each param written as
//        "M|O Name type min..max [allowed values]"  (M mandatory, O optional)
// An empty default or list cell means an empty cached value or list.
#ifndef HLVD_TESTS_NODES_EXPECTED_TABLES_H
#define HLVD_TESTS_NODES_EXPECTED_TABLES_H

#include <cstddef>

namespace nodestest {

struct ExpectedTable {
    const char *group;         // name of the repeated group
    const char *group_handler; // its refresh handler, or ""
    int max_instances;
    const char *const *rows;
    size_t row_count;
};

extern const ExpectedTable kArcwrightTable;
extern const ExpectedTable kNICPhysicalHBATable;
extern const ExpectedTable kNICLogicalHBATable;
extern const ExpectedTable kiSCSIPhysicalHBATable;
extern const ExpectedTable kRouteTableEntryTable;
extern const ExpectedTable kARPTableEntryTable;
extern const ExpectedTable kiSNSServerTable;

// Repeated groups below an adapter group, filled in by the back end.
extern const ExpectedTable kLinkConfigTable;
extern const ExpectedTable kProfileTable;
extern const ExpectedTable kProfileProtocolTable;
extern const ExpectedTable kActiveProfilePortTable;
extern const ExpectedTable kActiveProfilePortFunctionTable;
extern const ExpectedTable kConfiguredProfilePortTable;
extern const ExpectedTable kConfiguredProfilePortFunctionTable;
extern const ExpectedTable kNCSIStaticConfigurationTable;
extern const ExpectedTable kNCSIDynamicConfigurationTable;
extern const ExpectedTable kExtFATModuleTable;
extern const ExpectedTable kExtFATModeTable;
extern const ExpectedTable kEventLogEntryTable;
extern const ExpectedTable kPortDiscoveryAndConfigurationTable;
extern const ExpectedTable kChannelTable;
extern const ExpectedTable kAdministratorPGTable;
extern const ExpectedTable kPeerPGTable;
extern const ExpectedTable kOperationalPGTable;
extern const ExpectedTable kAdministratorApplicationTLVTable;
extern const ExpectedTable kPeerApplicationTLVTable;
extern const ExpectedTable kOperationalApplicationTLVTable;

} // namespace nodestest

#endif
