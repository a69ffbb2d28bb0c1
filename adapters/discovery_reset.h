// Release and reset of everything that building the adapter table creates,
// so that the next adapter-touching call starts afresh.
#ifndef HLVD_ADAPTERS_DISCOVERY_RESET_H
#define HLVD_ADAPTERS_DISCOVERY_RESET_H

// Frees the adapter table, the description texts and the controller table,
// and closes the management library when discovery opened it. Safe on a
// table that was never or only partly built.
void FreeGlobalAdapterList();

// FreeGlobalAdapterList, then every discovery global back to its reset
// value; only gVEXOSupport keeps its value.
void ResetGlobals();

#endif
