// Download security of the signed FC adapters (family 0xF180): the known
// download keys, bringing an adapter's key to the one an image was signed
// for through the security mailbox, zeroizing the adapter's security data,
// and the expansion-ROM header check of boot images.
#ifndef HLVD_HBA_DOWNLOAD_SECURITY_H
#define HLVD_HBA_DOWNLOAD_SECURITY_H

#include <cstdint>
#include <cstdio>

#include "flash/fc_image_files.h"

// Security mailbox command and its sub-commands.
const uint8_t MBX_SECURITY = 0xF9;
const uint8_t SECURITY_ZEROIZE = 5;
const uint8_t SECURITY_GET_KEK_ID = 0x0C;
const uint8_t SECURITY_SET_KEK = 0x0D;
// Mailbox status of a sub-command the adapter does not support.
const uint16_t SECURITY_NOT_SUPPORTED = 0xF06;
// Library result of the zeroize command that also means done.
const int SECURITY_ZEROIZE_DONE = 254;

// Results of the key operations.
const uint32_t KEK_NOT_SUPPORTED = 2;
const uint32_t KEK_FAILED = 93;
const uint32_t ZEROIZE_FAILED = 189;
const uint32_t KEK_BAD_ARGUMENT = 4;

// Room for a key id (the image's id field), and the block that carries it.
const uint32_t KEK_ID_SIZE = 152;
const uint32_t KEK_BLOCK_SIZE = 264;
const uint32_t KEK_BLOCK_ID_OFFSET = 112;
// Distance of the block from the image end a header names.
const uint32_t KEK_BLOCK_BACK = 268;
const uint32_t KEK_BLOCK_BACK_FWC = 264;
// Bytes of an AWC header (PRG header and PCI data structure sizes come with
// the image file readers).
const uint32_t AWC_HEADER_SIZE = 128;

// One known download key. `predecessor` is the table index of the key that
// must be in the adapter before this one can be set.
struct ADL_KEK_DATA {
    uint32_t flags; // bit 0: root key
    uint32_t predecessor;
    uint8_t keyWord1[4];
    uint8_t keyWord2[4];
    uint8_t keyBlob[40];
    uint32_t idLength;
    const char *idText;
};

const uint32_t KEK_FLAG_ROOT = 1;
const int ADL_KEK_COUNT = 3;
extern const ADL_KEK_DATA gADL_KEK_Data[ADL_KEK_COUNT];

// Boot image: the 28 bytes of its PCI data structure, word-reversed back.
// 0, 1 (missing argument or a bad header), 0xFFF90001, 0xFFF90002.
uint32_t ReadBootImagePciHeader(FILE *file, uint8_t *pciHeader);
// 0 when the boot image's device id fits the family (0xF180 images only on
// family 0xF180, and only they), 0xFFF70001 when not, or the reader's failure.
uint32_t ValidateOskaraOrHollinBootProgId(FILE *file, uint32_t family);

// Asks the adapter to zeroize its security data: 0, or 189 when the command
// failed or the adapter state afterwards is 2.
int ZeroizeSecurityData(int board);

// Adapter's current key id into `buffer` (size in: room, at least 152; out:
// the id length): 0, 2 (not supported), 93.
uint32_t GetDownloadKekId(int board, char *buffer, uint32_t *size);
// Sets one table key: 0, 2 (not supported), 93.
uint32_t SetDownloadKek(int board, const ADL_KEK_DATA *entry);

// The key id block at `offset` from the file position: id into `buffer` (size
// as above), sets *signedImage when the block's mark is set. The position is
// left behind the block. 0, 93, 0xFFF90001, 0xFFF90002.
uint32_t ReadKekIdFromImage(FILE *file, char *buffer, uint32_t *size, long offset, uint8_t *signedImage);
// 0 when the block's id names a known key, else 93 (0xFFF90001 when the
// position cannot be restored). The position is kept.
uint32_t ValidateKekIdFromImage(FILE *file, long offset, uint8_t *signedImage);

// Brings the adapter's key to the key `targetId` names: 0, 2 (the adapter
// does not support it), 93.
uint32_t ProcessKek(int board, const char *targetId);

// Key update for an image about to be downloaded; the file position is kept.
// 0 (also when the adapter does not support keys), 4, 0xFFEB0000 (unsigned
// PRG), 0xFFF90001/2 (unreadable block, or one not inside the file), 93.
uint32_t AuthenticateAWC(int board, FILE *file, const uint8_t *header, uint8_t *signedImage);
uint32_t AuthenticatePRG(int board, FILE *file, const uint8_t *header, uint8_t *signedImage);
uint32_t AuthenticateFWC(int board, FILE *file, uint8_t *signedImage);

// The same checks without the adapter: 0 when the image is signed for a
// known key, else 0xFFEB0000 (or 4, or a read failure).
uint32_t IsAuthenticated_AWC(FILE *file, const uint8_t *header, uint8_t *signedImage);
uint32_t IsAuthenticated_PRG(FILE *file, const uint8_t *header, uint8_t *signedImage, int blockAtEnd);
uint32_t IsAuthenticated_FWC(FILE *file, uint8_t *signedImage);

// True for a PRG of type 2, 7 or 11 with a zero revision digit.
bool IsLargeSizeHollinDwcPrg(uint32_t programId);

#endif
