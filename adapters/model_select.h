// Model name of an FC-side entry of the adapter table: from the family model
// table of its PCI ids, a fixed base name of its family when that table
// refuses, or for older FC HBAs a name chosen by the JEDEC id.
#ifndef HLVD_ADAPTERS_MODEL_SELECT_H
#define HLVD_ADAPTERS_MODEL_SELECT_H

#include <cstdint>

#include "adapters/adapter_table.h"

struct _AdapterModelAndDesc;

// Every destination below is an entry's modelName (or a text of that size);
// a name is written bounded by this capacity minus 1.
const uint32_t ADAPTER_MODEL_NAME_BYTES = sizeof(_Adapter::modelName);

// Family base names of the gen-4 converged and the Varrow tables, which the
// selection writes as fixed fall-backs too (8 characters each).
extern const char kTrelmontFamilyBaseName[]; // model_table_gen4.cpp
extern const char kVarrowFamilyBaseName[];   // model_table_varrow.cpp

// Writes the model name of the entry into destination (callers pass the
// entry's own modelName). An index outside the table writes nothing and
// answers 1; otherwise 0.
int getAdapterModel(uint8_t index, char *destination);

// Tries the six family tables in turn: 0 when one wrote the texts, 1 when
// every table refused.
int GetAdapterModelAndDesc(_AdapterModelAndDesc *record);

// The fixed base name of the entry's converged or Varrow family.
void getCNAModelString4(uint8_t index, char *destination);
void getAdapterModel4(uint8_t index, char *destination);

// The same choice as getAdapterModel, left in the caller's record (not
// zeroed first): a table's four texts, or a name in baseModel. A null record
// or an index outside the table answers 1 and writes nothing.
int getAdapterModelV2(uint8_t index, _AdapterModelAndDesc *record);

#endif
