// Image file validation and the image list of the current call.
//
// Only names containing ".UFI" or ".ufi" pass, so the list holds converged
// UFI images. Its order: FC images first, then four-part images by image type
// in descending order, newest first within a type, equal versions in the
// order the files were read.
#ifndef HLVD_FLASH_IMAGE_LIST_H
#define HLVD_FLASH_IMAGE_LIST_H

#include "flash/image_record.h"
#include "flash/rm_status.h"

// Validation kinds.
const int VALIDATE_FIRMWARE_ITEM = 0; // the firmware item of a device
const int VALIDATE_BOOT_ITEM = 1;     // the boot-code item: no file accepted
const int VALIDATE_ADAPTER = 2;       // an image for a whole adapter

// Download types told by a file name.
const int DOWNLOAD_TYPE_FIRMWARE = 0;
const int DOWNLOAD_TYPE_BOOT = 1;

// Room for a joined directory entry path, terminator included.
const size_t IMAGE_PATH_MAX = 254;

// Head of the image list; empty at load, built and freed within one call.
extern CLUImage *gFileList;

// The text after the last "/", or the whole path.
const char *GetFileBaseName(const char *path);

// A new heap record for a valid image file (the caller owns it), or none.
CLUImage *ValidateFirmWareFile(const char *path, int kind);

// 0 accepted (extType UFIext); 1 refused (extType 0); 4 missing argument.
int isValidFileExtension(const char *baseName, CLUImageExtType *extType, int kind);

// Reads the image header into a record whose extType is set.
RM_STATUS verifyFwFile(const char *path, CLUImage *record);

// Fills imageType, decodedVersion, isAWR and asicRevisionId from a UFI file.
RM_STATUS getUFIBuildVersion(const char *path, CLUImage *record);

// 0 with the type set; 1 when no extension fits.
int GetDownloadTypeByFileExension(const char *name, int *downloadType);

// Builds gFileList from a directory; `emptyFlag` becomes 1 when the list is empty.
CLUImage *makeFileNameList2(const char *directory, int *emptyFlag, int kind);

// Inserts a record in list order; returns the head.
CLUImage *addFileNameToList(CLUImage *record, CLUImage **head);

void FreeGlobalFileNameList();

// Variants of the scan that the library itself does not call.
CLUImage *makeFileNameList(const char *directory, int *emptyFlag, int kind);
int initFileImage(CLUImage *record, const char *directory, const char *name, int kind);
void freeCLUImageList(CLUImage *head);

#endif
