// Converged adapters in the adapter table: the controller enumeration through
// the management client layer, the merge of their iSCSI and NIC functions
// behind the FC-side entries, and the linking of FCoE functions to their
// controllers.
#ifndef HLVD_ADAPTERS_CONVERGED_DISCOVERY_H
#define HLVD_ADAPTERS_CONVERGED_DISCOVERY_H

#include <cstdint>

// Results of the steps.
const int CONVERGED_ALREADY_ENUMERATED = 255;
const int CONVERGED_LIBRARY_NOT_OPEN = 72;

extern uint32_t gAwCount;             // controllers in the controller table
extern int32_t gVEXO;                 // 1 while discovery holds the management library open
extern int32_t gAWInit;               // 1 once this call's enumeration completed
extern char VEXO_ServiceVersion[256]; // service version of the open library

// Lists the converged controllers and counts their functions; runs before the
// adapter table is sized.
int LocateBrindlefin();

// Fills the entries behind the FC-side entries; 72 when the library is not open.
int updateArcwrightAdapters();

// Ties FCoE functions to their controllers; 72 when the library is not open.
int getAdditionalFCoEProps();

// 0 when `wwpn` ("10:00:00:90:fa:12:34:56") names the IEEE address of the
// FC-side entry, else 1.
int compareIEEEAddresses(uint32_t index, const char *wwpn);

// Frees the controller table with its arrays and, when discovery opened the
// management library, closes it (gVEXO is left for the caller to clear).
void ReleaseConvergedControllers();

#endif
