// INTERIM BODIES, to be deleted when their owners land.
//
// Still to come with the FC HBA firmware engine (hba/), which brings the same
// operations under the same names:
//   - StartRelativeDownloadWithFeedback,     the classic FC download paths the
//     StartAbsDownload2MbWithFeedback        download entry (hba/download_entry.cpp)
//                                            dispatches to. Neither touches an
//                                            adapter: both answer 70 (wrong
//                                            image for the adapter).
#include "flash/neighbour_services.h"

DOWNLOAD_STATUS StartRelativeDownloadWithFeedback(int board, uint16_t eraseMode, uint16_t transferMode, FILE *file,
                                                  uint8_t *wakeupParms, uint16_t dwcMode, uint8_t *signedImage,
                                                  DownLoadStatusStrCallback textCallback,
                                                  DownLoadStatusCallback percentCallback)
{
    (void)board;
    (void)eraseMode;
    (void)transferMode;
    (void)file;
    (void)wakeupParms;
    (void)dwcMode;
    (void)signedImage;
    (void)textCallback;
    (void)percentCallback;
    return WRONG_IMAGE_FOR_ADAPTER;
}
