// The node tables of the iSCSI initiator and of its targets, portals,
// sessions, connections and LUNs as the tests expect them, written out by
// hand row by row in creation order (row format: expected_tables.h).
#ifndef HLVD_TESTS_NODES_EXPECTED_TABLES_INITIATOR_H
#define HLVD_TESTS_NODES_EXPECTED_TABLES_INITIATOR_H

#include "expected_tables.h"

namespace nodestest {

extern const ExpectedTable kLogicalHBATable;
extern const ExpectedTable kSendTargetPortalTable;
extern const ExpectedTable kTargetTable;
extern const ExpectedTable kTargetPortalTable;
extern const ExpectedTable kSessionTable;
extern const ExpectedTable kConnectionTable;
extern const ExpectedTable kLUNTable;

} // namespace nodestest

#endif
