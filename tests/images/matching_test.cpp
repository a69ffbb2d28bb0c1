// Matching over the default machine: each function of the simulated host
// becomes a working record from the versions it reports, and meets a
// directory of generated images.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "flash/device_versions.h"
#include "flash/image_list.h"
#include "flash/version_rules.h"
#include "image_fixture.h"
#include "sim/machine.h"

namespace {

using imgtest::small_spec;
using imgtest::write_image;

int32_t kind_of(const std::string &kind)
{
    if (kind == "nic")
        return HBA_KIND_NIC;
    if (kind == "iscsi")
        return HBA_KIND_ISCSI;
    if (kind == "fcoe")
        return HBA_KIND_FCOE;
    return HBA_KIND_FC;
}

TEST(Matching, DefaultMachineMeetsAnImageDirectory)
{
    hlvdtest::SimHost host;
    hlvdsim::Machine m;
    std::string err;
    ASSERT_TRUE(hlvdsim::load_machine(host.root(), m, &err)) << err;

    imgtest::ScratchDir images;
    write_image(images.file("aw2-new.ufi"), small_spec(2, "4.2.433.700"));
    write_image(images.file("aw2-same.ufi"), small_spec(2, "4.2.433.604"));
    write_image(images.file("aw3-same.ufi"), small_spec(3, "10.2.370.15"));
    write_image(images.file("aw3-older.ufi"), small_spec(3, "10.2.370.14", 0x10));
    write_image(images.file("trm-new-base.ufi"), small_spec(4, "12.0.0.0", 0x00));
    write_image(images.file("trm-older-r.ufi"), small_spec(4, "11.1.183.20", 0x10));
    hlvdtest::write_file(images.file("broken.ufi"), "3 10.9");
    int empty = 1;
    CLUImage *head = makeFileNameList2(images.path().c_str(), &empty, VALIDATE_FIRMWARE_ITEM);
    ASSERT_EQ(empty, 0);

    const struct {
        const char *adapter;
        const char *image;
        int comparison;
    } expected[] = {
        {"aw2", "aw2-new.ufi", 1},        // upgrade
        {"aw3", "aw3-same.ufi", 0},       // rewrite: the newest AW3 image, whatever its revision
        {"trelmont", "trm-older-r.ufi", -1}, // downgrade: the base image is below the adapter's revision
        {"varrow", nullptr, 0},           // no object-flash images here
        {"fc-sli3", nullptr, 0},          // FC functions meet no UFI image
        {"fc-sli4", nullptr, 0},
    };
    int checked = 0;
    for (const hlvdsim::Adapter &a : m.adapters) {
        for (const hlvdsim::Function &f : a.functions) {
            _Hba h = imgtest::make_hba(kind_of(f.kind), f.device_id, f.vendor, f.subdevice, f.subvendor);
            h.activeFw.asicRevisionId = f.revision;
            copyBoundedText(h.rawFwVersion, sizeof h.rawFwVersion, a.active_version.c_str());
            copyBoundedText(h.rawBootVersion, sizeof h.rawBootVersion, a.boot_version.c_str());
            setPrefixFields(&h);
            if (isCNA(&h) || isVarrowFCHBA(&h))
                encodeAndUpdateCNAVersion(&h);
            else
                encodeAndUpdateFCVersion(&h);

            CLUImage *match = GetMatchingImageFile(&h, head, MATCH_ITEM_FIRMWARE);
            for (const auto &e : expected) {
                if (a.name != e.adapter)
                    continue;
                ++checked;
                if (!e.image) {
                    EXPECT_EQ(match, nullptr) << a.name;
                    continue;
                }
                ASSERT_NE(match, nullptr) << a.name;
                EXPECT_STREQ(match->filename, e.image) << a.name;
                EXPECT_EQ(CompareAdapterAndImageFileVersion(&h, match, h.rawFwVersion), e.comparison) << a.name;
                EXPECT_EQ(IsCompatibleFirmwareFile(&h, match, DOWNLOAD_TYPE_FIRMWARE), 1) << a.name;
            }
        }
    }
    EXPECT_EQ(checked, 14); // every function of the default machine
    FreeGlobalFileNameList();
}

} // namespace
