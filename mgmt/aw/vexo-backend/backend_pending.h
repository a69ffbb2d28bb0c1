// Back-end lifecycle routines that the transport and the OS services call
// and that come with the back-end lifecycle (start, stop, re-enumeration).
// Their present definitions are in backend_pending.cpp, listed there.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_BACKEND_PENDING_H
#define HLVD_MGMT_AW_VEXO_BACKEND_BACKEND_PENDING_H

#include <cstdint>

// Re-enumerates the NIC functions before a NIC command or a legacy NIC
// query: 0 when their number is unchanged, 1 after the tree was rebuilt
// because it changed.
int refresh_vexo_hierarchy();

// Removes persistence files whose lines are not of their format; always 0.
extern "C" int VEXO_check_for_corrupted_database();

// 1 once the library was found running inside an SR-IOV virtual function
// (the VF probe of the function enumeration sets it); never cleared.
extern uint8_t vm_flag;

#endif
