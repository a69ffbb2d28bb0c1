// INTERIM BODIES, to be deleted when their owners land.
//
// Still to come with the FC HBA firmware engine (hba/), which brings the same
// operations under the same names:
//   - StartAbsDownload2MbWithFeedback        the absolute FC download path the
//                                            download entry (hba/download_entry.cpp)
//                                            dispatches to. It does not touch an
//                                            adapter: it answers 70 (wrong
//                                            image for the adapter).
#include "flash/neighbour_services.h"

DOWNLOAD_STATUS StartAbsDownload2MbWithFeedback(int board, int32_t fileKind, FILE *file, int checksumKind,
                                                uint8_t *signedImage, DownLoadStatusStrCallback textCallback,
                                                DownLoadStatusCallback percentCallback)
{
    (void)board;
    (void)fileKind;
    (void)file;
    (void)checksumKind;
    (void)signedImage;
    (void)textCallback;
    (void)percentCallback;
    return WRONG_IMAGE_FOR_ADAPTER;
}
