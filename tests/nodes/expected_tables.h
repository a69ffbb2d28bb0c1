// The node tables of the adapter, NIC-function and iSCSI-function groups as
// the tests expect them, written out by hand row by row in creation order.
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

} // namespace nodestest

#endif
