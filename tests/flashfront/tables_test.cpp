// The tables of the flashing road: the fold of item results, the action
// texts, the engine's file kinds and the status mappings between the client
// layer, the converged hand-over, the object flash and the front end.
#include <string>

#include <gtest/gtest.h>

#include "flash/cna_download.h"
#include "flash/ovnflashlib.h"
#include "hba/download_entry.h"

namespace {

TEST(FlashTables, FoldOfItemResults)
{
    struct Case {
        int overall, result, folded;
    } cases[] = {
        // A failure replaces whatever stood, also an earlier failure.
        {0, 3, 3}, {1, 3, 3}, {2, 10012, 10012}, {10012, 3, 3}, {3, 10009, 10009}, {10012, 4, 4},
        // 1 outranks success and "same version", never a failure.
        {0, 1, 1}, {2, 1, 1}, {1, 1, 1}, {3, 1, 3}, {10012, 1, 10012},
        // 0 stands over nothing, over 0 and over 2; not over 1 or a failure.
        {0, 0, 0}, {2, 0, 0}, {1, 0, 1}, {3, 0, 3}, {10007, 0, 10007},
        // 2 never shows.
        {0, 2, 0}, {1, 2, 1}, {4, 2, 4},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.folded, FoldFlashStatus(c.overall, c.result)) << c.overall << " with " << c.result;

    // Walks of two items, as the Part lists them.
    struct Walk {
        int first, second, result;
    } walks[] = {{10012, 1, 10012}, {1, 0, 1}, {3, 10009, 10009}, {2, 2, 0}, {0, 2, 0}, {2, 1, 1}};
    for (const Walk &w : walks)
        EXPECT_EQ(w.result, FoldFlashStatus(FoldFlashStatus(0, w.first), w.second)) << w.first << ", " << w.second;
}

TEST(FlashTables, ActionTextsAreLowerCasedAndTrimmed)
{
    struct Case {
        const char *read, *normalised;
    } cases[] = {
        {" Upgrade ", "upgrade"}, {"REWRITE", "rewrite"}, {"\tdownGrade\n", "downgrade"}, {"skip", "skip"},
        {"", ""}, {"   ", ""}, {"up grade", "up grade"}, {"Upgrade!", "upgrade!"},
    };
    for (const Case &c : cases) {
        std::string text = c.read;
        NormaliseAction(text);
        EXPECT_EQ(c.normalised, text) << '"' << c.read << '"';
    }
}

TEST(FlashTables, EngineFileKindTheLastSubstringWins)
{
    struct Case {
        const char *path;
        int32_t kind;
    } cases[] = {
        {"/img/fw.prg", 0},
        {"/img/set.all", ALLext},
        {"/img/SET.ALL", ALLext},
        {"/img/x.dwc", DWCext},
        {"/img/x.BWC", BWCext},
        {"/img/x.fwc", FWCext},
        {"/img/x.ufi", UFIext},
        {"/img/X.UFI", UFIext},
        {"/img/x.grp", GRPext},
        {"/img/x.Ufi", 0},
        // Anywhere in the path, and the later test overrides the earlier.
        {"/images.grp/aw3.ufi", GRPext},
        {"/images.ufi/fw.all", UFIext},
        {"/a.all/b.dwc/c.bwc", BWCext},
        {"", 0},
        {nullptr, 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.kind, GetDownloadFileKind(c.path)) << (c.path ? c.path : "(null)");
}

TEST(FlashTables, ClientLayerStatusOfTheUpgrade)
{
    struct Case {
        int32_t status;
        RM_STATUS rm;
    } cases[] = {
        {0, RM_STATUS_OK},
        {39, RM_STATUS_ERROR_NOT_FOUND},
        {40, RM_STATUS_ERROR_INVALID_FILE_FORMAT},
        {55, RM_STATUS_REBOOT_REQUIRED},
        {162, RM_STATUS_ERROR_INCOMP_IMAGE},
        {173, RM_STATUS_ERROR_ADAPTER_BUSY},
        {235, RM_STATUS_ERROR_NOT_SUPPORTED},
        {318, RM_STATUS_INTERMEDIATE_REBOOT_REQUIRED},
        {336, RM_STATUS_ERROR_INVALID_SIGNATURE},
        {337, RM_STATUS_ERROR_SIGNATURE_MISSING},
        {14, RM_STATUS_ERROR_MANAGEMENT_LIBRARY},
        {-1, RM_STATUS_ERROR_MANAGEMENT_LIBRARY},
        {114, RM_STATUS_ERROR_MANAGEMENT_LIBRARY},
        {1, RM_STATUS_ERROR_MANAGEMENT_LIBRARY},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.rm, TranslateUpgradeStatus(c.status)) << c.status;
}

TEST(FlashTables, ConvergedHandOverStatus)
{
    struct Case {
        int32_t rm;
        DOWNLOAD_STATUS download;
    } cases[] = {
        {0, DOWNLOAD_OK},
        {2, NOT_A_CNA_FUNCTION},
        {64, CNA_ADAPTER_BUSY},
        {244, CNA_ADAPTER_BUSY},
        {169, DOWNLOAD_TWICE_REQUIRED},
        {194, WRONG_IMAGE_FOR_ADAPTER},
        {200, CNA_FILE_NOT_FOUND},
        {203, SIGNATURE_INVALID},
        {209, SIGNATURE_MISSING},
        {247, REBOOT_REQUIRED},
        {114, CNA_DOWNLOAD_FAILED},
        {4, CNA_DOWNLOAD_FAILED},
        {196, CNA_DOWNLOAD_FAILED},
        {-1, CNA_DOWNLOAD_FAILED},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.download, MapCNADownloadStatus(c.rm)) << c.rm;
}

TEST(FlashTables, ObjectFlashStatus)
{
    struct Case {
        int32_t rm;
        DOWNLOAD_STATUS download;
    } cases[] = {
        {0, DOWNLOAD_OK},
        {209, SIGNATURE_MISSING},
        {203, SIGNATURE_INVALID},
        {static_cast<int32_t>(0xFFE80000u), REBOOT_REQUIRED},
        {static_cast<int32_t>(0xFFE90000u), RESET_REQUIRED},
        {1, OBJECT_DOWNLOAD_FAILED},
        {194, OBJECT_DOWNLOAD_FAILED},
        {8, OBJECT_DOWNLOAD_FAILED},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.download, MapObjectDownloadStatus(c.rm)) << c.rm;
}

TEST(FlashTables, DownloadStatusCodes)
{
    EXPECT_EQ(static_cast<int32_t>(0xFFF90001u), DownloadStatusOf(INVALID_IMAGE_ERROR, ERROR_READING_FILE));
    EXPECT_EQ(static_cast<int32_t>(0xFFF70001u), DownloadStatusOf(INCOMPAT_IMAGE_ERROR, INCORRECT_ADPT));
    EXPECT_EQ(static_cast<int32_t>(0xFFFA0000u), OPEN_FILE_ERROR);
    EXPECT_EQ(static_cast<int32_t>(0xFFEA0000u), SECURITY_CHECK_ERROR);
}

} // namespace
