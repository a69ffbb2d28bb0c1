// Small services on one FC function's state: board temperature, link state
// and persistent link-down, enabling a port kept down, the factory defaults of
// an SLI-4 adapter, the firmware event-log dump of a converged adapter, and
// the comparison of two dotted version texts.
#ifndef HLVD_HBA_ADAPTER_STATE_H
#define HLVD_HBA_ADAPTER_STATE_H

#include <cstddef>
#include <cstdint>

// CLU_GetBoardTemp: the adapter has no temperature to give.
const int BOARD_TEMP_NOT_AVAILABLE = 231;
const uint32_t BOARD_TEMP_NONE = 0xFFFFFF;
// Link states of KPL_LINK_INFO.
const uint8_t LNK_DOWN = 1;
const uint8_t LNK_DOWN_PERSIST = 7;
// Results of the link-down services.
const int PERSIST_LINK_DOWN_UNSUPPORTED = 109;
const int ENABLE_PORT_SET_FAILED = 12;
const int ADAPTER_STATE_FAILED = 91;
// setFactoryDefaultsSLI4: done, active after a reboot.
const int FACTORY_DEFAULTS_DONE = 80;
// Dump: the management library is not open.
const int DUMP_VEXO_NOT_AVAILABLE = 72;
// Room of a host name, terminator included.
const size_t HOST_NAME_SIZE = 64;

// 0 (temperature filled; 0 for families that have none), 1 (no output), 231.
int CLU_GetBoardTemp(int board, uint32_t *temperature);
// 0 with *configured 1 or 0; 1, 2, 3 or 109 when it cannot be read.
int CLU_GetPersistLinkDownCfg(int board, uint8_t *configured);
// 0 with the link state byte, or 1.
int CLU_GetLinkInfo(int board, uint8_t *linkState);
// Clears persistent link-down and resets the adapter: 0, 1, 2, 3, 12, 91, 109.
int CLU_EnableAdapterPort(int board);
// 80 when the adapter took the request (after a reboot), else 91.
int setFactoryDefaultsSLI4(int board);
// The host's node name cut to size (at most 64): 0, or 4.
int GetHostName(char *buffer, size_t size);
// Writes the converged adapter's firmware event log to
// "<cwd>/<host>_<serial>_<time>.efd": 0, 4, 72, or the client layer's status.
int Dump(int board, int ignored, int mode, int passedOn);
// 1 when the four dotted numbers of both texts are equal, 0 when not, 4 when
// either text is missing or has fewer than four fields. The texts are not
// changed.
int isActiveFwEqualToFwOnFlash(const char *first, const char *second);

#endif
