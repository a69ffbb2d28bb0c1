// The converged image checks: file length, the gen-2, gen-3 and gen-4 rules
// against the request's ids and ASIC revision, the check by generation, and
// the hand-over's refusals before the client layer is asked.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "flash/cna_download.h"
#include "flash/engine_log.h"
#include "flashfront_fixture.h"

using fronttest::make_ufi;
using hlvdtest::read_file;
using hlvdtest::write_file;

namespace {

const uint32_t kAw2Device = 0x0700, kAw3Device = 0x0710, kTrelmontDevice = 0x0720, kFcDevice = 0xFE00;

class CnaChecks : public ::testing::Test {
protected:
    std::string dir = hlvdtest::make_temp_dir("hlvdcna");
    void TearDown() override
    {
        binDIR[0] = '\0';
        std::memset(&Options, 0, sizeof Options);
        hlvdtest::remove_tree(dir);
    }
    std::string path(const std::string &name) const { return dir + "/" + name; }

    static CNADownloadRequest request(const std::string &file, uint32_t device, uint32_t revision = 0,
                                      uint32_t vendor = 0x19A2)
    {
        CNADownloadRequest r;
        std::memset(&r, 0, sizeof r);
        r.Filename = file.c_str();
        r.deviceId = device;
        r.vendorId = vendor;
        r.revisionId = revision;
        return r;
    }
};

TEST_F(CnaChecks, NullRequestGivesFourEverywhere)
{
    std::snprintf(binDIR, sizeof binDIR, "%s/", dir.c_str());
    write_file(path("ovndbg.log"), "");
    Options.LOG_MODE = LOG_MODE_ENGINE;
    EXPECT_EQ(4, VerifyUFIFileSize(nullptr));
    EXPECT_EQ(4, VerifyCNAFirmwareAW2(nullptr));
    EXPECT_EQ(4, VerifyCNAFirmwareAW3(nullptr));
    EXPECT_EQ(4, VerifyCNAFirmwareTrelmont(nullptr));
    EXPECT_EQ(4, VerifyCNAImage(nullptr));
    EXPECT_EQ(4, DownloadCNAImage(nullptr, true));
    EXPECT_EQ(4, DownloadCNAImage(nullptr, false));
    // The gen-2 check writes its first line before it looks at the argument.
    EXPECT_EQ("[VerifyCNAFirmwareAW2] AW2 device detected.  Verifying AW2 firmware.\n",
              read_file(path("ovndbg.log")));
}

TEST_F(CnaChecks, FileLength)
{
    std::string exact = make_ufi(path("exact.ufi"), 3, "10.2.400.1");
    std::string longer = make_ufi(path("long.ufi"), 3, "10.2.400.1", [](hlvdsim::UfiSpec &s) {
        s.faults = hlvdsim::UFI_FAULT_LONG;
    });
    std::string shorter = make_ufi(path("short.ufi"), 3, "10.2.400.1", [](hlvdsim::UfiSpec &s) {
        s.faults = hlvdsim::UFI_FAULT_SHORT;
    });
    write_file(path("empty.ufi"), "");
    struct Case {
        std::string file;
        RM_STATUS status;
    } cases[] = {
        {exact, RM_STATUS_OK},
        {longer, RM_STATUS_ERROR_LONG_FWIMAGE},
        {shorter, RM_STATUS_ERROR_SHORT_FWIMAGE},
        {path("empty.ufi"), RM_STATUS_ERROR_NOT_FOUND},
        {path("missing.ufi"), RM_STATUS_ERROR_NOT_FOUND},
        {dir, RM_STATUS_ERROR_NOT_FOUND},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.status, VerifyUFIFileSize(c.file.c_str())) << c.file;
}

TEST_F(CnaChecks, Gen2Rules)
{
    auto aw2 = [&](const std::string &name, const std::function<void(hlvdsim::UfiSpec &)> &edit) {
        return make_ufi(path(name), 2, "4.2.500.1", [&edit](hlvdsim::UfiSpec &s) {
            s.compact = true; // header and directory are all the checks read
            if (edit)
                edit(s);
        });
    };
    std::string fits = aw2("fits.ufi", nullptr);
    std::string other_vendor = aw2("vendor.ufi", [](hlvdsim::UfiSpec &s) { s.header_id.vendor = 0x10DF; });
    // The header names another gen-2 device; the directory lists gen-2 ids.
    std::string dir_gen2 = aw2("dir2.ufi", [](hlvdsim::UfiSpec &s) {
        s.header_id.device = 0x0702;
        s.dir_ids = {{0x19A2, 0x0710, 0x10DF, 0xE70E}, {0x19A2, 0x0211, 0x10DF, 0xE602}};
    });
    std::string dir_gen3 = aw2("dir3.ufi", [](hlvdsim::UfiSpec &s) {
        s.header_id.device = 0x0702;
        s.dir_ids = {{0x19A2, 0x0710, 0x10DF, 0xE70E}};
    });
    std::string no_cookie = aw2("nocookie.ufi", [](hlvdsim::UfiSpec &s) {
        s.header_id.device = 0x0702;
        s.faults = hlvdsim::UFI_FAULT_NO_COOKIE;
    });
    // A vendor mismatch is decided before the directory is read.
    std::string vendor_no_cookie = aw2("vendornocookie.ufi", [](hlvdsim::UfiSpec &s) {
        s.header_id.vendor = 0x10DF;
        s.faults = hlvdsim::UFI_FAULT_NO_COOKIE;
    });
    std::string longer = aw2("long.ufi", [](hlvdsim::UfiSpec &s) { s.faults = hlvdsim::UFI_FAULT_LONG; });
    std::string shorter = aw2("short.ufi", [](hlvdsim::UfiSpec &s) { s.faults = hlvdsim::UFI_FAULT_SHORT; });
    std::string gen3 = make_ufi(path("gen3.ufi"), 3, "10.2.400.1");
    write_file(path("empty.ufi"), "");
    struct Case {
        std::string file;
        uint32_t device;
        RM_STATUS status;
    } cases[] = {
        {fits, kAw2Device, RM_STATUS_OK},
        {other_vendor, kAw2Device, RM_STATUS_ERROR_INCOMP_IMAGE},
        {vendor_no_cookie, kAw2Device, RM_STATUS_ERROR_INCOMP_IMAGE},
        {dir_gen2, kAw2Device, RM_STATUS_OK}, // the request's own id need not be listed
        {dir_gen3, kAw2Device, RM_STATUS_ERROR_INCOMP_IMAGE},
        {no_cookie, kAw2Device, RM_STATUS_ERROR_NOT_FOUND},
        {no_cookie, 0x0702, RM_STATUS_OK}, // the header's device id decides without the directory
        {longer, kAw2Device, RM_STATUS_ERROR_LONG_FWIMAGE},
        {shorter, kAw2Device, RM_STATUS_ERROR_SHORT_FWIMAGE},
        {path("empty.ufi"), kAw2Device, RM_STATUS_ERROR_SHORT_FWIMAGE},
        {path("missing.ufi"), kAw2Device, RM_STATUS_ERROR_READING_RESOURCE},
        {gen3, kAw2Device, RM_STATUS_ERROR_INCOMP_IMAGE},
    };
    for (const Case &c : cases) {
        CNADownloadRequest r = request(c.file, c.device);
        EXPECT_EQ(c.status, VerifyCNAFirmwareAW2(&r)) << c.file << " for device " << std::hex << c.device;
    }
}

TEST_F(CnaChecks, Gen3RulesByAsicRevision)
{
    auto aw3 = [&](uint8_t asic) {
        return make_ufi(path("aw3-" + std::to_string(asic) + ".ufi"), 3, "10.2.400.1",
                        [asic](hlvdsim::UfiSpec &s) { s.asic_support = asic; });
    };
    std::string base = aw3(0), r = aw3(16), p2 = aw3(17);
    struct Case {
        uint32_t revision;
        std::string file;
        RM_STATUS status;
    } cases[] = {
        {15, base, RM_STATUS_OK},  {15, r, RM_STATUS_OK},     {15, p2, RM_STATUS_OK},
        {16, base, RM_STATUS_ERROR_INCOMP_IMAGE},             {16, r, RM_STATUS_OK},
        {16, p2, RM_STATUS_OK},    {17, base, RM_STATUS_ERROR_INCOMP_IMAGE},
        {17, r, RM_STATUS_ERROR_INCOMP_IMAGE},                {17, p2, RM_STATUS_OK},
        {200, r, RM_STATUS_ERROR_INCOMP_IMAGE},               {200, p2, RM_STATUS_OK},
    };
    for (const Case &c : cases) {
        CNADownloadRequest req = request(c.file, kAw3Device, c.revision);
        EXPECT_EQ(c.status, VerifyCNAFirmwareAW3(&req)) << c.file << " on revision " << c.revision;
    }
    std::string gen2 = make_ufi(path("gen2.ufi"), 2, "4.2.500.1", [](hlvdsim::UfiSpec &s) { s.compact = true; });
    std::string gen4 = make_ufi(path("gen4.ufi"), 4, "11.2.100.7");
    std::string longer = make_ufi(path("long3.ufi"), 3, "10.2.400.1", [](hlvdsim::UfiSpec &s) {
        s.faults = hlvdsim::UFI_FAULT_LONG;
    });
    for (const std::string &f : {gen2, gen4}) {
        CNADownloadRequest req = request(f, kAw3Device, 1);
        EXPECT_EQ(RM_STATUS_ERROR_INCOMP_IMAGE, VerifyCNAFirmwareAW3(&req)) << f;
    }
    CNADownloadRequest req = request(longer, kAw3Device, 1);
    EXPECT_EQ(RM_STATUS_ERROR_LONG_FWIMAGE, VerifyCNAFirmwareAW3(&req));
    req = request(path("missing.ufi"), kAw3Device, 1);
    EXPECT_EQ(RM_STATUS_ERROR_READING_RESOURCE, VerifyCNAFirmwareAW3(&req));
}

TEST_F(CnaChecks, Gen4RulesByAsicRevision)
{
    auto trelmont = [&](uint8_t asic) {
        return make_ufi(path("t-" + std::to_string(asic) + ".ufi"), 4, "11.2.100.7",
                        [asic](hlvdsim::UfiSpec &s) { s.asic_support = asic; });
    };
    std::string base = trelmont(0), r = trelmont(16), high = trelmont(255);
    struct Case {
        uint32_t revision;
        std::string file;
        RM_STATUS status;
    } cases[] = {
        {0, base, RM_STATUS_OK},
        {0, r, RM_STATUS_OK},
        {16, r, RM_STATUS_OK},
        {16, base, RM_STATUS_ERROR_INCOMP_IMAGE},
        {17, r, RM_STATUS_ERROR_INCOMP_IMAGE},
        {17, high, RM_STATUS_OK},
        {256, high, RM_STATUS_ERROR_INCOMP_IMAGE},
    };
    for (const Case &c : cases) {
        CNADownloadRequest req = request(c.file, kTrelmontDevice, c.revision);
        EXPECT_EQ(c.status, VerifyCNAFirmwareTrelmont(&req)) << c.file << " on revision " << c.revision;
    }
    std::string gen3 = make_ufi(path("gen3.ufi"), 3, "10.2.400.1");
    CNADownloadRequest req = request(gen3, kTrelmontDevice, 0);
    EXPECT_EQ(RM_STATUS_ERROR_INCOMP_IMAGE, VerifyCNAFirmwareTrelmont(&req));
}

TEST_F(CnaChecks, CheckByGeneration)
{
    std::string gen2 = make_ufi(path("gen2.ufi"), 2, "4.2.500.1", [](hlvdsim::UfiSpec &s) { s.compact = true; });
    std::string gen3 = make_ufi(path("gen3.ufi"), 3, "10.2.400.1");
    std::string gen4 = make_ufi(path("gen4.ufi"), 4, "11.2.100.7");
    struct Case {
        uint32_t device;
        std::string file;
        RM_STATUS status;
    } cases[] = {
        {kAw2Device, gen2, RM_STATUS_OK},
        {kAw3Device, gen3, RM_STATUS_OK},
        {kTrelmontDevice, gen4, RM_STATUS_OK},
        {kAw2Device, gen3, RM_STATUS_ERROR_INCOMP_IMAGE},
        {kAw3Device, gen4, RM_STATUS_ERROR_INCOMP_IMAGE},
        {kTrelmontDevice, gen3, RM_STATUS_ERROR_INCOMP_IMAGE},
        {0x0712, gen3, RM_STATUS_OK},  // the iSCSI function of a gen-3 adapter
        {0x0724, gen4, RM_STATUS_OK},  // the FCoE function of a gen-4 adapter
        // Any other id goes to the gen-2 check: a gen-2 image whose directory
        // lists a gen-2 id passes it even for an FC function.
        {kFcDevice, gen2, RM_STATUS_OK},
        {kFcDevice, gen3, RM_STATUS_ERROR_INCOMP_IMAGE},
    };
    for (const Case &c : cases) {
        CNADownloadRequest req = request(c.file, c.device, 0);
        EXPECT_EQ(c.status, VerifyCNAImage(&req)) << c.file << " for device " << std::hex << c.device;
    }
}

TEST_F(CnaChecks, HandOverRefusesBeforeTheClientLayer)
{
    std::string gen3 = make_ufi(path("gen3.ufi"), 3, "10.2.400.1");
    // A failed check is returned as it is, and nothing is flashed.
    CNADownloadRequest req = request(gen3, kAw2Device);
    EXPECT_EQ(RM_STATUS_ERROR_INCOMP_IMAGE, DownloadCNAImage(&req, true));
    // Without the check the image goes to the client layer, which knows no
    // adapter with tag 0.
    EXPECT_EQ(RM_STATUS_ERROR_MANAGEMENT_LIBRARY, DownloadCNAImage(&req, false));
    // A path longer than an action parameter is refused, never cut.
    std::string long_path = dir + "/" + std::string(250, 'x') + ".ufi";
    req = request(long_path, kAw2Device);
    EXPECT_EQ(RM_STATUS_ERROR_INVALID_ARGUMENT, DownloadCNAImage(&req, false));
}

} // namespace
