// The flash decision and the download glue: between the choice of one image
// file for one adapter function and the FC engine's download entry, and the
// glue of a converged adapter's PCI dump.
#ifndef HLVD_FLASH_FLASH_ADAPTER_H
#define HLVD_FLASH_FLASH_ADAPTER_H

#include <cstdint>

#include "flash/hba_record.h"
#include "hba/download_entry.h"

// Expected comparisons of the flash-with-file actions.
const int EXPECT_UPGRADE = 1;
const int EXPECT_REWRITE = 0;
const int EXPECT_DOWNGRADE = -1;
const int EXPECT_NONE = -2;

// Validates the image, checks that it fits the function, applies the version
// rule (unless `force`) and downloads it: an exported status code (2 same
// version, 3 not attempted, 10007, 10009, or a result of executeDownload).
// `fileKind` is handed to the image validation (0 firmware item, 1 boot
// item, 2 any image).
int FlashAdapter(const char *path, int force, const _Hba *hba, int index, int fileKind, bool useExpected,
                 int expected);

// Runs the engine's download for one table entry and turns its result into
// an exported status code: 0, 1, 4, 10012, 10013, 10014, 10015 or 10016.
int executeDownload(int index, const char *path);

// The second half of executeDownload: the engine's result for a table entry
// as an exported status code, with the reset that a good FC download, or a
// Varrow download that asks for one, needs.
int MapDownloadResult(int index, DOWNLOAD_STATUS status);

// Progress callbacks of the download: both write to the debug log.
void DisplayDownLoadStatusStr(const char *text);
void DisplayDownLoadStatus(int percent);

// Writes a converged adapter's PCI dump to `file`: 0, or 6 on any failure.
int RetrieveAdapterPCIDump(int index, const char *file);

#endif
