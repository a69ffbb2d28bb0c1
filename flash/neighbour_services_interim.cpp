// INTERIM BODIES, to be deleted when their owners land.
//
// Still to come with the FC HBA firmware engine (hba/), which brings the same
// operations under the same names:
//   - StartRelativeDownloadWithFeedback,     the classic FC download paths the
//     StartAbsDownload2MbWithFeedback,       download entry (hba/download_entry.cpp)
//     ZeroizeSecurityData                    dispatches to. None touches an
//                                            adapter: the downloads answer 70
//                                            (wrong image for the adapter).
//   - fcEngineAvailable                      answers 0. Its one caller, the FC
//                                            path of GetDiscoveredAdapterProperty
//                                            (flash/device_properties.cpp), then
//                                            drops the check: until the engine
//                                            reads FC functions, discovery leaves
//                                            them out instead of listing them
//                                            with versions it could not read.
//
// Still to come with VPD, identification and revision display (adapters/):
//   - getAdapterVPD, getVarrowModelName      do nothing: FC-side entries keep
//                                            no JEDEC id, serial or model name
//   - ToUpper                                complete here; moves with its owner
//   - show_encoded_rev1                      empty text; not reached while
//                                            fcEngineAvailable answers 0
//
// Still to come with the front end's FC image files (flash/):
//   - GetFileChecksumType                    complete here; moves with its owner
#include "flash/neighbour_services.h"

#include <cctype>
#include <cstring>

#include "adapters/adapter_table.h"

int fcEngineAvailable()
{
    return 0;
}

int getAdapterVPD()
{
    return 0;
}

int getVarrowModelName()
{
    return 0;
}

void ToUpper(char *text)
{
    if (!text)
        return;
    for (; *text; ++text)
        *text = static_cast<char>(std::toupper(static_cast<unsigned char>(*text)));
}

void show_encoded_rev1(uint8_t index, const uint8_t *word, char *text)
{
    (void)index;
    (void)word;
    if (text)
        text[0] = '\0';
}

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

int ZeroizeSecurityData(int board)
{
    (void)board;
    return 189;
}

int GetFileChecksumType(const char *path)
{
    const char *dot = path ? std::strchr(path, '.') : nullptr;
    if (dot && (std::strcmp(dot + 1, "aif") == 0 || std::strcmp(dot + 1, "AIF") == 0))
        return 2;
    return 1;
}
