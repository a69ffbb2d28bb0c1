// SendTargets discovery: the parsed answer the firmware returns for a
// discovery session, taken only as far as its buffer holds it.
#ifndef HLVD_MGMT_AW_VEXO_BACKEND_ISCSI_DISCOVERY_H
#define HLVD_MGMT_AW_VEXO_BACKEND_ISCSI_DISCOVERY_H

#include <cstddef>
#include <cstdint>

// One SendTargets exchange buffer, request and answer.
#define VEXO_SENDTARGETS_BUFFER_SIZE 64000

// A parsed SendTargets answer is firmware bytes: keeps of its `target_count`
// only the entries that lie wholly inside `len` bytes, writes that count back
// and ends every kept target name inside its field. The count kept.
uint32_t vexo_bound_sendtargets_answer(uint8_t *answer, size_t len);

#endif
