// FC function discovery: the first step of building the adapter table. It
// runs the converged controller enumeration, asks the diagnostics library for
// the FC functions, sizes the table for all functions and fills the FC-side
// entries.
#ifndef HLVD_ADAPTERS_FC_DISCOVERY_H
#define HLVD_ADAPTERS_FC_DISCOVERY_H

#include <cstdint>

// Results of adapterDiscovery besides 0.
const int32_t DISCOVERY_BAD_ARGUMENTS = 27;
const int32_t DISCOVERY_NO_MEMORY_FOR_OPTIONS = 62;
const int32_t DISCOVERY_NO_MEMORY = 10001;
const int32_t DISCOVERY_KPL_INIT_FAILED = 10002;
const int32_t DISCOVERY_PCI_READ_FAILED = 10003;
const int32_t DISCOVERY_NO_ADAPTERS = 10004;
const int32_t DISCOVERY_NO_KPL = 10006;

// Room for FC functions asked of the diagnostics library.
const int32_t MAX_FC_FUNCTIONS = 256;

// The option words after the first, joined by single blanks (heap text).
extern char *SaveCmdLine;

// 0 when the FC-side entries stand. `count` option words in `words`; the
// first word plays the part of a program name and is skipped.
int32_t adapterDiscovery(int32_t count, char **words);

#endif
