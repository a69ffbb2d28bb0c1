// Image validation and the image list over directories of generated files.
#include <algorithm>
#include <csignal>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "flash/image_list.h"
#include "flash/ufi_image.h"
#include "flash/version_rules.h"
#include "image_fixture.h"

namespace {

using imgtest::ScratchDir;
using imgtest::small_spec;
using imgtest::write_image;

std::vector<std::string> list_names(const CLUImage *head)
{
    std::vector<std::string> names;
    for (const CLUImage *r = head; r; r = r->next)
        names.push_back(r->filename);
    return names;
}

// The list is linked consistently both ways.
void expect_links(const CLUImage *head)
{
    const CLUImage *prev = nullptr;
    for (const CLUImage *r = head; r; r = r->next) {
        EXPECT_EQ(r->prev, prev);
        prev = r;
    }
}

TEST(ImageList, NameTests)
{
    const struct {
        const char *name;
        int kind;
        int result;
        CLUImageExtType ext;
    } cases[] = {
        {"a.ufi", VALIDATE_FIRMWARE_ITEM, 0, UFIext}, {"b.UFI.bak", VALIDATE_ADAPTER, 0, UFIext},
        {"c.Ufi", VALIDATE_FIRMWARE_ITEM, 1, NOext},  {"x.ufix", VALIDATE_FIRMWARE_ITEM, 0, UFIext},
        {"a.ufi", VALIDATE_BOOT_ITEM, 1, NOext},      {"a.ufi", 3, 1, NOext},
        {"a.grp", VALIDATE_ADAPTER, 1, NOext},        {"ufi", VALIDATE_ADAPTER, 1, NOext},
    };
    for (const auto &c : cases) {
        CLUImageExtType ext = GRPext;
        EXPECT_EQ(isValidFileExtension(c.name, &ext, c.kind), c.result) << c.name << " kind " << c.kind;
        EXPECT_EQ(ext, c.ext) << c.name;
    }
    CLUImageExtType ext;
    EXPECT_EQ(isValidFileExtension(nullptr, &ext, 0), 4);
    EXPECT_EQ(isValidFileExtension("a.ufi", nullptr, 0), 4);

    const struct {
        const char *name;
        int result;
        int type;
    } downloads[] = {
        {"fw.PRG", 0, 1}, {"boot.prg.ufi", 0, 1}, {"fw.all", 0, 0}, {"fw.UFI", 0, 0},
        {"fw.grp", 0, 0}, {"fw.bin", 1, 7},       {"fw.Prg", 1, 7},
    };
    for (const auto &d : downloads) {
        int type = 7;
        EXPECT_EQ(GetDownloadTypeByFileExension(d.name, &type), d.result) << d.name;
        EXPECT_EQ(type, d.type) << d.name;
    }

    EXPECT_STREQ(GetFileBaseName("/a/b/c.ufi"), "c.ufi");
    EXPECT_STREQ(GetFileBaseName("c.ufi"), "c.ufi");
    EXPECT_STREQ(GetFileBaseName("/a/b/"), "");
}

TEST(ImageList, AsicClassification)
{
    ScratchDir dir;
    imgtest::DebugLogCapture log(dir);
    const struct {
        int generation;
        uint8_t asic;
        uint8_t isAWR;
        const char *line;
    } cases[] = {
        {3, 17, 1, "AW3-R P2 identification succeeded! This image is compatible with AW3, AW3-R, and AW3-R P2.\n"},
        {3, 16, 1, "AW3-R identification succeeded! This image is compatible with AW3, and AW3-R.\n"},
        {4, 16, 1, "Identification succeeded! Is AW4-R or later.\n"},
        {4, 0x20, 1, "Identification succeeded! Is AW4-R or later.\n"},
        {4, 5, 1, "This is an unknown AW-R image!\n"},
        {3, 0x20, 1, "This is an unknown AW-R image!\n"},
        {3, 0, 0, "This is a AW3 (non-R) image!\n"},
        {4, 0, 0, "This is a AW4 (non-R) image!\n"},
    };
    for (const auto &c : cases) {
        std::string path = write_image(dir.file("i.ufi"), small_spec(c.generation, "1.2.3.4", c.asic));
        CLUImage r;
        std::memset(&r, 0, sizeof r);
        log.text();
        ASSERT_EQ(getUFIBuildVersion(path.c_str(), &r), 0);
        EXPECT_EQ(r.imageType, c.generation);
        EXPECT_EQ(r.isAWR, c.isAWR) << c.generation << "/" << int(c.asic);
        EXPECT_EQ(r.asicRevisionId, c.asic);
        EXPECT_STREQ(r.decodedVersion, "1.2.3.4");
        EXPECT_NE(log.text().find(c.line), std::string::npos) << c.line;
    }
    // A gen-2 header has no ASIC_Support: the record's value is left alone.
    std::string path = write_image(dir.file("i.ufi"), small_spec(2, "4.2.433.3"));
    CLUImage r;
    std::memset(&r, 0, sizeof r);
    r.asicRevisionId = 0x77;
    r.isAWR = 1;
    ASSERT_EQ(getUFIBuildVersion(path.c_str(), &r), 0);
    EXPECT_EQ(r.imageType, AW2_IMAGE);
    EXPECT_EQ(r.isAWR, 0);
    EXPECT_EQ(r.asicRevisionId, 0x77u);
}

TEST(ImageList, RecordFillFailuresKeepThePresets)
{
    ScratchDir dir;
    imgtest::DebugLogCapture log(dir);
    const struct {
        const char *what;
        std::string build;
        size_t truncate; // 0: whole file
        int status;
        const char *line;
    } cases[] = {
        {"unknown digit", "5 1.0", 0, 1, "DecodeRawBuildString failed. status = 1\n"},
        {"empty build", "", 0, 4, "DecodeRawBuildString failed. status = 4\n"},
        {"gen-3 file of 100 bytes", "3 1.0.0.0", 100, 197, "ReadUFIHeaderAW3 for AWR failed! status = 197\n"},
        {"file of 50 bytes", "3 1.0.0.0", 50, 197, "GetRawUFIBuildString failed = 197\n"},
    };
    for (const auto &c : cases) {
        hlvdsim::UfiSpec recipe = small_spec(3, "1.0.0.0");
        recipe.raw_build = true;
        recipe.build = c.build;
        std::string path = write_image(dir.file("f.ufi"), recipe);
        if (c.truncate)
            imgtest::truncate_to(path, c.truncate);
        CLUImage r;
        std::memset(&r, 0, sizeof r);
        log.text();
        EXPECT_EQ(getUFIBuildVersion(path.c_str(), &r), c.status) << c.what;
        EXPECT_NE(log.text().find(c.line), std::string::npos) << c.what;
        EXPECT_STREQ(r.sortedVersion, "N/A") << c.what;
        EXPECT_STREQ(r.legacyType, "N/A") << c.what;
        if (c.status != 197 || c.truncate == 50) {
            EXPECT_STREQ(r.decodedVersion, "0.0.0.0") << c.what;
            EXPECT_EQ(r.imageType, NO_IMAGE_TYPE) << c.what;
        }
        EXPECT_EQ(ValidateFirmWareFile(path.c_str(), VALIDATE_ADAPTER), nullptr) << c.what;
    }
    CLUImage r;
    std::memset(&r, 0, sizeof r);
    r.imageType = AW3_IMAGE;
    EXPECT_EQ(verifyFwFile(dir.file("f.ufi").c_str(), &r), 6); // extType not set
    EXPECT_EQ(r.imageType, NO_IMAGE_TYPE);
    EXPECT_EQ(verifyFwFile(nullptr, &r), 4);
    EXPECT_EQ(getUFIBuildVersion(nullptr, &r), 4);
}

TEST(ImageList, ValidateFirmwareFile)
{
    ScratchDir dir;
    imgtest::DebugLogCapture log(dir);
    std::string path = write_image(dir.file("fw-10.2.ufi"), small_spec(3, "3.102.148.0", 0x10));
    CLUImage *r = ValidateFirmWareFile(path.c_str(), VALIDATE_FIRMWARE_ITEM);
    ASSERT_NE(r, nullptr);
    EXPECT_STREQ(r->filename, "fw-10.2.ufi");
    EXPECT_STREQ(r->decodedVersion, "3.102.148.0");
    EXPECT_STREQ(r->sortedVersion, "N/A");
    EXPECT_EQ(r->extType, UFIext);
    EXPECT_EQ(r->imageType, AW3_IMAGE);
    EXPECT_EQ(r->CNAMajorVer, 2u); // a major part of 3 is read as 2
    EXPECT_EQ(r->CNAMinorVer, 102u);
    EXPECT_EQ(r->CNAReleaseVer, 148u);
    EXPECT_EQ(r->isAWR, 1);
    EXPECT_EQ(r->next, nullptr);
    std::free(r);
    EXPECT_NE(log.text().find("ValidateFirmWareFile: verifyFwFile returned = 0\n"), std::string::npos);

    // Base names of 32 characters and more are refused, whatever the file.
    std::string name31 = std::string(27, 'n') + ".ufi";
    std::string name32 = std::string(28, 'n') + ".ufi";
    write_image(dir.file(name31), small_spec(4, "11.1.0.0"));
    write_image(dir.file(name32), small_spec(4, "11.1.0.0"));
    r = ValidateFirmWareFile(dir.file(name31).c_str(), VALIDATE_ADAPTER);
    ASSERT_NE(r, nullptr);
    std::free(r);
    log.text();
    EXPECT_EQ(ValidateFirmWareFile(dir.file(name32).c_str(), VALIDATE_ADAPTER), nullptr);
    EXPECT_NE(log.text().find("ValidateFirmWareFile: invalid firmware file type. File extension is not matching "
                              "valid firmware type for file = " +
                              dir.file(name32) + "\n\n"),
              std::string::npos);
    EXPECT_EQ(ValidateFirmWareFile(path.c_str(), VALIDATE_BOOT_ITEM), nullptr);
    EXPECT_EQ(ValidateFirmWareFile(nullptr, VALIDATE_ADAPTER), nullptr);
}

TEST(ImageList, ScanAcceptsByNameAndSkipsDirectoriesSilently)
{
    ScratchDir dir;
    imgtest::DebugLogCapture log(dir);
    const std::string long32 = std::string(28, 'L') + ".ufi";
    const std::string long31 = std::string(27, 'L') + ".ufi";
    for (const std::string &name : {std::string("a.ufi"), std::string("b.UFI.bak"), std::string("c.Ufi"), long32,
                                    long31})
        write_image(dir.file(name), small_spec(3, "1.0.0.0"));
    ASSERT_EQ(mkdir(dir.file("d.ufi").c_str(), 0755), 0);

    int empty = 7;
    CLUImage *head = makeFileNameList2(dir.path().c_str(), &empty, VALIDATE_ADAPTER);
    EXPECT_EQ(head, gFileList);
    EXPECT_EQ(empty, 0);
    std::vector<std::string> names = list_names(head);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{long31, "a.ufi", "b.UFI.bak"}));
    std::string t = log.text();
    EXPECT_NE(t.find("Skipping invalid file = c.Ufi\n"), std::string::npos);
    EXPECT_NE(t.find("Skipping invalid file = " + long32 + "\n"), std::string::npos);
    EXPECT_EQ(t.find("d.ufi"), std::string::npos);
    EXPECT_EQ(t.find("= .\n"), std::string::npos);
    EXPECT_EQ(t.find("= ..\n"), std::string::npos);

    // The boot-code kind accepts no file; a directory that cannot be opened
    // gives an empty list too.
    EXPECT_EQ(makeFileNameList2(dir.path().c_str(), &empty, VALIDATE_BOOT_ITEM), nullptr);
    EXPECT_EQ(empty, 1);
    empty = 0;
    EXPECT_EQ(makeFileNameList2(dir.file("none").c_str(), &empty, VALIDATE_ADAPTER), nullptr);
    EXPECT_EQ(empty, 1);
    EXPECT_EQ(gFileList, nullptr);

    // A trailing slash is not doubled.
    head = makeFileNameList2((dir.path() + "/").c_str(), &empty, VALIDATE_ADAPTER);
    EXPECT_EQ(list_names(head).size(), 3u);
    FreeGlobalFileNameList();
    EXPECT_EQ(gFileList, nullptr);
}

TEST(ImageList, ScanOrderIsTypeThenNewestFirst)
{
    ScratchDir dir;
    const struct {
        const char *name;
        int generation;
        const char *version;
    } files[] = {
        {"aw2-9.ufi", 2, "9.0.0.0"},       {"aw3-1.ufi", 3, "1.0.0.0"},      {"aw4-11.ufi", 4, "11.1.183.23"},
        {"aw3-10.ufi", 3, "10.2.370.15"},  {"aw2-4.ufi", 2, "4.2.433.604"},  {"aw4-12.ufi", 4, "12.0.0.0"},
        {"aw3-10b.ufi", 3, "10.2.370.16"}, {"aw3-bad.ufi", 3, "10.2"},       // too few parts: zeros
    };
    for (const auto &f : files)
        write_image(dir.file(f.name), small_spec(f.generation, f.version));
    int empty = 1;
    CLUImage *head = makeFileNameList2(dir.path().c_str(), &empty, VALIDATE_FIRMWARE_ITEM);
    expect_links(head);
    EXPECT_EQ(list_names(head), (std::vector<std::string>{"aw4-12.ufi", "aw4-11.ufi", "aw3-10b.ufi", "aw3-10.ufi",
                                                          "aw3-bad.ufi", "aw3-1.ufi", "aw2-9.ufi", "aw2-4.ufi"}));
    FreeGlobalFileNameList();
}

TEST(ImageList, EqualVersionsKeepTheOrderTheFilesWereRead)
{
    ScratchDir dir;
    for (const char *name : {"p.ufi", "q.ufi", "r.ufi"})
        write_image(dir.file(name), small_spec(3, "10.2.370.15"));
    write_image(dir.file("older.ufi"), small_spec(3, "10.2.370.14"));
    std::vector<std::string> readOrder;
    DIR *d = opendir(dir.path().c_str());
    ASSERT_NE(d, nullptr);
    while (struct dirent *e = readdir(d))
        if (std::strcmp(e->d_name, "older.ufi") != 0 && std::strstr(e->d_name, ".ufi"))
            readOrder.push_back(e->d_name);
    closedir(d);

    int empty;
    CLUImage *head = makeFileNameList2(dir.path().c_str(), &empty, VALIDATE_ADAPTER);
    std::vector<std::string> names = list_names(head);
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 3), readOrder);
    EXPECT_EQ(names[3], "older.ufi");

    _Hba gorsel = imgtest::make_hba(HBA_KIND_NIC, 0x0710, 0x19A2, 0xE70E, 0x10DF);
    gorsel.adapterImageType = AW3_IMAGE;
    CLUImage *match = GetMatchingImageFile(&gorsel, head, MATCH_ITEM_FIRMWARE);
    ASSERT_NE(match, nullptr);
    EXPECT_EQ(std::string(match->filename), readOrder[0]);
    FreeGlobalFileNameList();
}

TEST(ImageList, InsertionRules)
{
    CLUImage *head = nullptr;
    CLUImage *aw3 = imgtest::new_image(AW3_IMAGE, 1, 0, 0, 0, 0, 0, "aw3");
    CLUImage *fcOld = imgtest::new_fc_image("KF2.01A10", "fc-old");
    CLUImage *fcNew = imgtest::new_fc_image("KF2.01A12", "fc-new");
    CLUImage *none = imgtest::new_image(NO_IMAGE_TYPE, 99, 0, 0, 0, 0, 0, "none");
    CLUImage *grp = imgtest::new_image(GRP_G6_IMAGE, 1, 0, 0, 0, 0, 0, "grp6");
    CLUImage *aw3same = imgtest::new_image(AW3_IMAGE, 1, 0, 0, 0, 0, 0, "aw3-same");
    CLUImage *fcSame = imgtest::new_fc_image("KF2.01A12", "fc-same");
    for (CLUImage *r : {aw3, fcOld, none, fcNew, grp, aw3same, fcSame})
        addFileNameToList(r, &head);
    expect_links(head);
    // FC first and newest first; a record of no type stays where it was
    // appended and is passed over, so an equal record that finds no stop
    // before the end lands behind it.
    EXPECT_EQ(list_names(head),
              (std::vector<std::string>{"fc-new", "fc-same", "fc-old", "grp6", "aw3", "none", "aw3-same"}));
    EXPECT_EQ(addFileNameToList(nullptr, &head), head);
    EXPECT_EQ(addFileNameToList(aw3, nullptr), nullptr);
    freeCLUImageList(head);
}

// A joined path that does not fit the scan's buffer is refused, not cut.
TEST(ImageList, PathsBeyondTheScanBufferAreRefused)
{
    ScratchDir base;
    imgtest::DebugLogCapture log(base);
    size_t room = 245 - base.path().size() - 1;
    std::string dir = base.path() + "/" + std::string(room, 'd');
    ASSERT_EQ(dir.size(), 245u);
    ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
    write_image(dir + "/a.ufi", small_spec(4, "11.0.0.0"));           // 251 characters: fits
    write_image(dir + "/abcdefghij.ufi", small_spec(4, "12.0.0.0")); // 260: refused
    int empty;
    CLUImage *head = makeFileNameList2(dir.c_str(), &empty, VALIDATE_ADAPTER);
    EXPECT_EQ(list_names(head), (std::vector<std::string>{"a.ufi"}));
    EXPECT_NE(log.text().find("Skipping invalid file = abcdefghij.ufi\n"), std::string::npos);
    FreeGlobalFileNameList();
}

TEST(ImageList, ScanVariantsNotUsedByTheLibrary)
{
    ScratchDir dir;
    std::string name63 = std::string(59, 'v') + ".ufi";
    std::string name64 = std::string(60, 'v') + ".ufi";
    write_image(dir.file(name63), small_spec(3, "2.0.0.0"));
    write_image(dir.file(name64), small_spec(3, "3.0.0.0"));
    write_image(dir.file("b.ufi"), small_spec(4, "1.0.0.0"));
    hlvdtest::write_file(dir.file("junk.ufi"), "junk");

    int empty = 7;
    std::string withSlash = dir.path() + "/";
    CLUImage *head = makeFileNameList(withSlash.c_str(), &empty, VALIDATE_ADAPTER);
    EXPECT_EQ(empty, 0);
    std::vector<std::string> names = list_names(head);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], "b.ufi");
    EXPECT_EQ(names[1], name63.substr(0, 62)); // filename keeps 62 characters
    freeCLUImageList(head);

    EXPECT_EQ(makeFileNameList(dir.path().c_str(), &empty, VALIDATE_ADAPTER), nullptr); // no trailing slash
    EXPECT_EQ(makeFileNameList("", &empty, VALIDATE_ADAPTER), nullptr);
    EXPECT_EQ(makeFileNameList((std::string(255, 'x') + "/").c_str(), &empty, VALIDATE_ADAPTER), nullptr);
    empty = 0;
    EXPECT_EQ(makeFileNameList(withSlash.c_str(), &empty, VALIDATE_BOOT_ITEM), nullptr);
    EXPECT_EQ(empty, 1);

    CLUImage r;
    std::memset(&r, 0, sizeof r);
    EXPECT_EQ(initFileImage(&r, withSlash.c_str(), "b.ufi", VALIDATE_ADAPTER), 0);
    EXPECT_EQ(r.imageType, AW4_IMAGE);
    EXPECT_EQ(r.CNAMajorVer, 1u);
    EXPECT_STREQ(r.filename, "b.ufi");
    EXPECT_EQ(initFileImage(&r, withSlash.c_str(), "junk.ufi", VALIDATE_ADAPTER), 197);
    EXPECT_EQ(initFileImage(&r, dir.path().c_str(), "b.ufi", VALIDATE_ADAPTER), 1);
}

// Good, damaged and foreign files side by side: exactly the files whose
// header decodes are listed. The body faults (signature, length, directory)
// are not the scan's business: the flash checks refuse those files later.
TEST(ImageList, MixedDirectoryYieldsExactlyTheReadableImages)
{
    ScratchDir dir;
    std::set<std::string> expected;
    auto good = [&](const std::string &name, const hlvdsim::UfiSpec &recipe) {
        write_image(dir.file(name), recipe);
        expected.insert(name);
    };
    good("aw2.ufi", small_spec(2, "4.2.433.604"));
    good("aw3.ufi", small_spec(3, "10.2.370.15"));
    good("aw4.ufi", hlvdsim::default_ufi_spec(4, "11.1.183.23"));
    for (const char *fault : {"long", "short", "cookie-misplaced", "no-cookie", "bad-signature", "bad-entries"}) {
        hlvdsim::UfiSpec recipe = small_spec(4, "11.1.183.24");
        unsigned bit = 0;
        ASSERT_TRUE(hlvdsim::ufi_fault_from_name(fault, bit));
        recipe.faults = bit;
        good(std::string("body-") + fault + ".ufi", recipe);
    }

    // Damaged headers.
    write_image(dir.file("trunc50.ufi"), small_spec(3, "1.0.0.0"));
    imgtest::truncate_to(dir.file("trunc50.ufi"), 50);
    write_image(dir.file("trunc100.ufi"), small_spec(4, "1.0.0.0"));
    imgtest::truncate_to(dir.file("trunc100.ufi"), 100);
    hlvdsim::UfiSpec bad = small_spec(3, "1.0.0.0");
    bad.raw_build = true;
    bad.build = "9 1.0.0.0";
    write_image(dir.file("digit9.ufi"), bad);
    bad.build = "";
    write_image(dir.file("nobuild.ufi"), bad);
    hlvdtest::write_file(dir.file("empty.ufi"), "");
    // Foreign files.
    hlvdtest::write_file(dir.file("readme.ufi"), "This is not a firmware image.\n");
    hlvdtest::write_file(dir.file("notes.txt"), "4 11.1.183.23");
    write_image(dir.file("image.bin"), small_spec(4, "99.0.0.0"));
    ASSERT_EQ(mkfifo(dir.file("pipe.ufi").c_str(), 0600), 0);
    ASSERT_EQ(symlink("/nonexistent/x.ufi", dir.file("dangling.ufi").c_str()), 0);
    ASSERT_EQ(symlink("/dev/zero", dir.file("zero.ufi").c_str()), 0);
    ASSERT_EQ(mkdir(dir.file("sub.ufi").c_str(), 0755), 0);
    write_image(dir.file("sub.ufi/inner.ufi"), small_spec(3, "5.0.0.0"));

    alarm(60); // a reader that blocks fails the test instead of hanging it
    int empty = 1;
    CLUImage *head = makeFileNameList2(dir.path().c_str(), &empty, VALIDATE_ADAPTER);
    alarm(0);
    std::vector<std::string> names = list_names(head);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), expected);
    EXPECT_EQ(names.size(), expected.size());
    EXPECT_EQ(empty, 0);
    FreeGlobalFileNameList();
}

// Mutated headers and random truncations never crash a reader, and every
// record that comes out is well formed.
TEST(ImageList, FuzzMutatedHeaders)
{
    ScratchDir dir;
    std::vector<std::vector<uint8_t>> bases;
    for (int gen : {2, 3, 4}) {
        std::string path = write_image(dir.file("base.ufi"), small_spec(gen, "10.2.370.15", gen == 2 ? 0 : 0x10));
        bases.push_back(imgtest::read_bytes(path));
    }
    std::mt19937 rng(20240607);
    const std::string path = dir.file("f.ufi");
    alarm(240);
    for (int iter = 0; iter < 600; ++iter) {
        std::vector<uint8_t> b = bases[iter % bases.size()];
        int flips = 1 + static_cast<int>(rng() % 8);
        for (int k = 0; k < flips; ++k) {
            // Mostly the build string and the ASIC byte, sometimes anywhere in the header.
            size_t at = (rng() % 4) ? 72 + rng() % 26 : rng() % 128;
            b[at] = static_cast<uint8_t>(rng() % 3 == 0 ? 0 : rng());
        }
        if (rng() % 5 == 0)
            b.resize(rng() % (b.size() + 1));
        imgtest::write_bytes(path, b);

        CLUImage *r = ValidateFirmWareFile(path.c_str(), VALIDATE_ADAPTER);
        if (r) {
            EXPECT_TRUE(r->imageType == AW2_IMAGE || r->imageType == AW3_IMAGE || r->imageType == AW4_IMAGE);
            EXPECT_LT(strnlen(r->decodedVersion, sizeof r->decodedVersion), 24u);
            EXPECT_STREQ(r->filename, "f.ufi");
            EXPECT_STREQ(r->sortedVersion, "N/A");
            if (r->imageType != AW2_IMAGE) {
                EXPECT_EQ(r->isAWR, r->asicRevisionId != 0 ? 1 : 0);
            }
            std::free(r);
        }
        AW2_FLASHDIR_TYPE fd;
        int st = ReadUFIFlashDir(path.c_str(), &fd, 0);
        EXPECT_TRUE(st == 0 || st == 1 || st == 200) << st;
        char raw[24];
        if (GetRawUFIBuildString(path.c_str(), raw) == 0) {
            EXPECT_LT(std::strlen(raw), 24u);
        }
        if (iter % 100 == 0) {
            int empty;
            makeFileNameList2(dir.path().c_str(), &empty, VALIDATE_ADAPTER);
            FreeGlobalFileNameList();
        }
    }
    alarm(0);
}

} // namespace
