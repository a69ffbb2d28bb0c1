// Building and releasing the adapter table of one adapter-touching call.
#ifndef HLVD_FLASH_ADAPTER_LIST_H
#define HLVD_FLASH_ADAPTER_LIST_H

// 0 when the adapter table stands; otherwise the non-zero code of adapter
// discovery, which every caller reports to the host as a failed operation.
int CreateAdapterList();

// The clean-up every adapter-touching call runs through its scope guard:
// frees the image list, then resets the adapter table and discovery state.
void FreeAllGlobals();

#endif
