// The UFI reader over generated files: header reads, build strings, the
// directory search, lengths, byte order and the engine-log dumps.
#include <csignal>
#include <cstring>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "flash/engine_log.h"
#include "flash/neighbour_services.h"
#include "flash/ufi_image.h"
#include "image_fixture.h"

namespace {

using imgtest::ScratchDir;
using imgtest::small_spec;
using imgtest::write_image;

TEST(UfiReader, HeaderReadsOfShortAndExactFiles)
{
    ScratchDir dir;
    AW2_FILE_HEADER_T h2;
    FILE_HEADER_T h3;

    std::string gen2 = write_image(dir.file("g2.ufi"), small_spec(2, "4.2.433.3"));
    imgtest::truncate_to(gen2, 96);
    EXPECT_EQ(ReadUFIHeaderAW2(gen2.c_str(), &h2), 0);
    EXPECT_EQ(h2.FH_ContrlId.Device, 0x0700u);
    EXPECT_EQ(h2.FH_ContrlId.Vendor, 0x19A2u);
    EXPECT_EQ(std::memcmp(h2.FH_Signature, "Tranquilforge Corp", 18), 0);

    imgtest::truncate_to(gen2, 95);
    std::memset(&h2, 0xEE, sizeof h2);
    EXPECT_EQ(ReadUFIHeaderAW2(gen2.c_str(), &h2), 197);
    // The bytes read are kept and the rest is zero.
    EXPECT_EQ(std::memcmp(h2.FH_Signature, "Tranquilforge Corp", 18), 0);
    EXPECT_EQ(reinterpret_cast<uint8_t *>(&h2)[95], 0);

    std::string gen3 = write_image(dir.file("g3.ufi"), small_spec(3, "10.2.370.15", 0x11));
    EXPECT_EQ(ReadUFIHeaderAW3(gen3.c_str(), &h3), 0);
    EXPECT_EQ(h3.ASIC_Support, 0x11);
    EXPECT_EQ(h3.FH_NumOfImgs, 1u);
    EXPECT_EQ(h3.FH_FileLen, GetFileLength(gen3.c_str()));
    imgtest::truncate_to(gen3, 100);
    EXPECT_EQ(ReadUFIHeaderAW2(gen3.c_str(), &h2), 0);
    EXPECT_EQ(ReadUFIHeaderAW3(gen3.c_str(), &h3), 197);

    imgtest::truncate_to(gen3, 0);
    EXPECT_EQ(ReadUFIHeaderAW2(gen3.c_str(), &h2), 197);
    EXPECT_EQ(ReadUFIHeaderAW2(dir.file("missing.ufi").c_str(), &h2), 199);
    EXPECT_EQ(ReadUFIHeaderAW2(nullptr, &h2), 4);
    EXPECT_EQ(ReadUFIHeaderAW3(gen3.c_str(), nullptr), 4);
    EXPECT_EQ(ReadUFIHeader(gen3.c_str(), nullptr, 10), 4);
    // A directory is not an image file.
    EXPECT_EQ(ReadUFIHeaderAW2(dir.path().c_str(), &h2), 199);
}

TEST(UfiReader, DecodeBuildStrings)
{
    const struct {
        const char *build;
        int status;
        uint8_t generation;
        const char *version;
    } cases[] = {
        {"4 x", 0, 4, "x"},
        {"1 2.0", 0, 2, "2.0"},
        {"2 4.2.433.3", 0, 2, "4.2.433.3"},
        {"3.1.2", 0, 3, "3.1.2"},
        {"3", 0, 3, "3"},
        {"3 ", 0, 3, ""},
        {"5 1.0", 1, 99, "untouched"},
        {"x 1.0", 1, 99, "untouched"},
        {"", 4, 99, "untouched"},
    };
    for (const auto &c : cases) {
        uint8_t gen = 99;
        char version[64] = "untouched";
        EXPECT_EQ(DecodeRawBuildString(c.build, &gen, version, sizeof version), c.status) << c.build;
        EXPECT_EQ(gen, c.generation) << c.build;
        EXPECT_STREQ(version, c.version) << c.build;
    }
    uint8_t gen = 0;
    char small[4] = "abc";
    // A version text that does not fit is refused, not cut.
    EXPECT_EQ(DecodeRawBuildString("3 4.2.433.3", &gen, small, sizeof small), 4);
    EXPECT_STREQ(small, "abc");
    EXPECT_EQ(DecodeRawBuildString(nullptr, &gen, small, sizeof small), 4);
}

TEST(UfiReader, RawBuildStringIsBounded)
{
    ScratchDir dir;
    hlvdsim::UfiSpec recipe = small_spec(3, "1.0.0.0", 0x11);
    recipe.raw_build = true;
    recipe.build = "3 123456789012345678901X"; // 24 characters, no terminator in the field
    std::string path = write_image(dir.file("b.ufi"), recipe);
    char raw[24];
    std::memset(raw, 'Z', sizeof raw);
    EXPECT_EQ(GetRawUFIBuildString(path.c_str(), raw), 0);
    EXPECT_STREQ(raw, "3 123456789012345678901");

    recipe.build = "2 9.8.7.6";
    write_image(path, recipe);
    EXPECT_EQ(GetRawUFIBuildString(path.c_str(), raw), 0);
    EXPECT_STREQ(raw, "2 9.8.7.6");
    EXPECT_EQ(GetRawUFIBuildString(path.c_str(), nullptr), 4);
    EXPECT_EQ(GetRawUFIBuildString(dir.file("none.ufi").c_str(), raw), 199);
}

TEST(UfiReader, CookieSearchPositions)
{
    ScratchDir dir;
    AW2_FLASHDIR_TYPE fd;
    const struct {
        int64_t dirOffset;
        uint32_t start;
        int status;
    } cases[] = {
        {96, 0, 0}, {96, 64, 0}, {96, 96, 0}, {96, 80, 200}, {96, 128, 200},
        {100, 0, 200}, {104, 8, 0}, {4096, 0, 0},
    };
    for (const auto &c : cases) {
        hlvdsim::UfiSpec recipe = small_spec(2, "4.2.433.3");
        recipe.dir_offset = c.dirOffset;
        std::string path = write_image(dir.file("d.ufi"), recipe);
        EXPECT_EQ(ReadUFIFlashDir(path.c_str(), &fd, c.start), c.status)
            << "directory at " << c.dirOffset << ", search from " << c.start;
        if (c.status == 0) {
            EXPECT_EQ(std::memcmp(fd.flashdir_cookie, "*** TQ FLAS\0\0\0\0\0H DIRECTORY *** ", 32), 0);
            EXPECT_EQ(fd.flashdir_header.UFIIdentifierString[0].Device, 0x0700u);
        }
    }
}

TEST(UfiReader, DirectoryCutShortOrAbsent)
{
    ScratchDir dir;
    AW2_FLASHDIR_TYPE fd;
    hlvdsim::UfiSpec recipe = small_spec(2, "4.2.433.3");
    std::string path = write_image(dir.file("d.ufi"), recipe);
    EXPECT_EQ(ReadUFIFlashDir(path.c_str(), &fd, 0), 0);
    // The cookie 2000 bytes before the end: fewer than 2256 bytes follow.
    imgtest::truncate_to(path, 96 + 2000);
    EXPECT_EQ(ReadUFIFlashDir(path.c_str(), &fd, 0), 1);

    recipe.faults = hlvdsim::UFI_FAULT_NO_COOKIE;
    write_image(path, recipe);
    EXPECT_EQ(ReadUFIFlashDir(path.c_str(), &fd, 0), 200);
    recipe.faults = hlvdsim::UFI_FAULT_COOKIE_MISPLACED;
    write_image(path, recipe);
    EXPECT_EQ(ReadUFIFlashDir(path.c_str(), &fd, 0), 200);
    EXPECT_EQ(ReadUFIFlashDir(path.c_str(), &fd, 0xFFFFFFF0u), 200);
    EXPECT_EQ(ReadUFIFlashDir(dir.file("none.ufi").c_str(), &fd, 0), 199);
    EXPECT_EQ(ReadUFIFlashDir(nullptr, &fd, 0), 4);
    EXPECT_EQ(ReadUFIFlashDir(path.c_str(), nullptr, 0), 4);
}

TEST(UfiReader, DirectoryGenerationTests)
{
    ScratchDir dir;
    AW2_FLASHDIR_TYPE fd;
    hlvdsim::UfiSpec recipe = small_spec(2, "4.2.433.3");
    recipe.dir_ids = {{0x19A2, 0x0710, 0, 0}, {0x19A2, 0x0712, 0, 0}};
    std::string path = write_image(dir.file("d.ufi"), recipe);
    ASSERT_EQ(ReadUFIFlashDir(path.c_str(), &fd, 0), 0);
    EXPECT_FALSE(isUFIFlashDirAW2(&fd));
    EXPECT_TRUE(isUFIFlashDirAW3(&fd));

    // Any of the eight slots counts.
    recipe.dir_ids.assign(8, {0x19A2, 0x0720, 0, 0});
    recipe.dir_ids[7].device = 0x0214;
    write_image(path, recipe);
    ASSERT_EQ(ReadUFIFlashDir(path.c_str(), &fd, 0), 0);
    EXPECT_TRUE(isUFIFlashDirAW2(&fd));
    EXPECT_FALSE(isUFIFlashDirAW3(&fd));
    EXPECT_FALSE(isUFIFlashDirAW2(nullptr));
}

TEST(UfiReader, FileLength)
{
    ScratchDir dir;
    std::string path = write_image(dir.file("g4.ufi"), small_spec(4, "11.1.183.23"));
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(GetFileLength(path.c_str()), static_cast<uint32_t>(st.st_size));
    imgtest::truncate_to(path, 0);
    EXPECT_EQ(GetFileLength(path.c_str()), 0u);
    EXPECT_EQ(GetFileLength(dir.file("none").c_str()), 0u);
    EXPECT_EQ(GetFileLength(nullptr), 0u);
}

// A pipe named like an image must not stall a reader: it is no image file.
TEST(UfiReader, PipeNamedLikeAnImageIsRefusedAtOnce)
{
    ScratchDir dir;
    std::string fifo = dir.file("pipe.ufi");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    alarm(30); // a blocked open ends the test as a failure instead of hanging
    AW2_FILE_HEADER_T h;
    AW2_FLASHDIR_TYPE fd;
    EXPECT_EQ(ReadUFIHeaderAW2(fifo.c_str(), &h), 199);
    EXPECT_EQ(ReadUFIFlashDir(fifo.c_str(), &fd, 0), 199);
    EXPECT_EQ(GetFileLength(fifo.c_str()), 0u);
    alarm(0);
}

TEST(UfiReader, SwapsLeaveLittleEndianBuffersUnchanged)
{
    ASSERT_FALSE(isBigEndian());
    uint8_t header[128], copy[128];
    uint8_t fd[2256], fdCopy[2256];
    for (size_t i = 0; i < sizeof header; ++i)
        header[i] = static_cast<uint8_t>(i * 13);
    for (size_t i = 0; i < sizeof fd; ++i)
        fd[i] = static_cast<uint8_t>(i * 7);
    std::memcpy(copy, header, sizeof header);
    std::memcpy(fdCopy, fd, sizeof fd);
    SwapUFIHeaderForBigEndian(reinterpret_cast<AW2_FILE_HEADER_T *>(header));
    SwapUFIHeaderForBigEndianAW3(reinterpret_cast<FILE_HEADER_T *>(header));
    SwapUFIFlashDirForBigEndian(reinterpret_cast<AW2_FLASHDIR_TYPE *>(fd));
    SwapUFIHeaderForBigEndian(nullptr);
    EXPECT_EQ(std::memcmp(header, copy, sizeof header), 0);
    EXPECT_EQ(std::memcmp(fd, fdCopy, sizeof fd), 0);
}

// The engine log is written only when "ovndbg.log" exists in the program
// directory and image diagnostics are enabled.
TEST(UfiReader, EngineLogDumps)
{
    ScratchDir dir;
    std::string logDir = dir.path() + "/";
    std::snprintf(binDIR, sizeof binDIR, "%s", logDir.c_str());
    std::string log = dir.file("ovndbg.log");
    hlvdtest::write_file(log, "");

    std::string gen2 = write_image(dir.file("g2.ufi"), small_spec(2, "4.2.433.3"));
    std::string gen4 = write_image(dir.file("g4.ufi"), small_spec(4, "11.1.183.23"));
    AW2_FILE_HEADER_T h2;
    FILE_HEADER_T h3;
    AW2_FLASHDIR_TYPE fd;

    Options.LOG_MODE = 0;
    ASSERT_EQ(ReadUFIHeaderAW2(gen2.c_str(), &h2), 0);
    EXPECT_EQ(hlvdtest::read_file(log), "");

    Options.LOG_MODE = LOG_MODE_ENGINE;
    ASSERT_EQ(ReadUFIHeaderAW2(gen2.c_str(), &h2), 0);
    ASSERT_EQ(ReadUFIHeaderAW3(gen4.c_str(), &h3), 0);
    ASSERT_EQ(ReadUFIFlashDir(gen2.c_str(), &fd, 0), 0);
    imgtest::truncate_to(gen4, 100);
    EXPECT_EQ(ReadUFIHeaderAW3(gen4.c_str(), &h3), 197);
    EXPECT_EQ(ReadUFIHeaderAW3(dir.file("none.ufi").c_str(), &h3), 199);
    Options.LOG_MODE = 0;

    std::string t = hlvdtest::read_file(log);
    for (const char *line : {
             "\nUFI File Header\n", "signature          : Tranquilforge Corp\n",
             "checksum           : 0x", "deviceId           : 0x700\n", "buidVersionString  : 2 4.2.433.3\n",
             "\nUFI File Header (AW3/Trelmont)\n", "UFI version        : 1.0\n",
             "buidVersionString  : 4 11.1.183.23\n", "\nUFI Flash Directory Header\n",
             "cookie             : *** TQ FLAS\n", "cookie             : H DIRECTORY *** \n",
             "deviceId1          : 0x700\n", "subDeviceId8       : 0x0\n",
             "[ReadUFIHeader] bytes read 100 < header length 128. Return RM_STATUS_ERROR_SHORT_FWIMAGE\n",
             "[ReadUFIHeader] RM_STATUS_ERROR_READING_RESOURCE - Unable to open ifstream! Status = 199\n"})
        EXPECT_NE(t.find(line), std::string::npos) << line;
}

} // namespace
