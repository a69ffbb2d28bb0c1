// Helpers of the image tests: a scratch directory, generated images, the
// debug log, and working and image records.
#ifndef HLVD_TESTS_IMAGES_IMAGE_FIXTURE_H
#define HLVD_TESTS_IMAGES_IMAGE_FIXTURE_H

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "flash/debug_log.h"
#include "flash/hba_record.h"
#include "flash/image_record.h"
#include "sim/ufi_generator.h"
#include "support/sim_host.h"

namespace imgtest {

class ScratchDir {
public:
    ScratchDir() : path_(hlvdtest::make_temp_dir("hlvdimg")) {}
    ~ScratchDir() { hlvdtest::remove_tree(path_); }
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;
    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// A small image of the generation: gen-2 compact, gen-3/gen-4 without components.
inline hlvdsim::UfiSpec small_spec(int generation, const std::string &version, uint8_t asic = 0)
{
    hlvdsim::UfiSpec s = hlvdsim::default_ufi_spec(generation, version);
    s.components.clear();
    s.compact = generation == 2;
    if (generation != 2)
        s.asic_support = asic;
    return s;
}

inline std::string write_image(const std::string &path, const hlvdsim::UfiSpec &recipe)
{
    std::string err;
    EXPECT_TRUE(hlvdsim::write_ufi(recipe, path, &err)) << err;
    return path;
}

inline std::vector<uint8_t> read_bytes(const std::string &path)
{
    std::string s = hlvdtest::read_file(path);
    return std::vector<uint8_t>(s.begin(), s.end());
}

inline void write_bytes(const std::string &path, const std::vector<uint8_t> &bytes)
{
    hlvdtest::write_file(path, std::string(bytes.begin(), bytes.end()));
}

inline void truncate_to(const std::string &path, size_t size)
{
    std::vector<uint8_t> b = read_bytes(path);
    b.resize(size);
    write_bytes(path, b);
}

inline uint32_t le32(const std::vector<uint8_t> &b, size_t off)
{
    return uint32_t(b[off]) | uint32_t(b[off + 1]) << 8 | uint32_t(b[off + 2]) << 16 | uint32_t(b[off + 3]) << 24;
}

// Captures the debug log of the exported calls into a file for the test.
class DebugLogCapture {
public:
    explicit DebugLogCapture(const ScratchDir &dir) : path_(dir.file("debug.log"))
    {
        CloseLogFileHandle();
        EXPECT_EQ(EnableLogging(path_.c_str()), 0);
    }
    ~DebugLogCapture() { CloseLogFileHandle(); }
    std::string text()
    {
        CloseLogFileHandle();
        std::string t = hlvdtest::file_exists(path_) ? hlvdtest::read_file(path_) : std::string();
        EnableLogging(path_.c_str());
        return t;
    }

private:
    std::string path_;
};

// A heap image record as the image list holds them.
inline CLUImage *new_image(CLUImageType type, uint32_t major, uint32_t minor, uint32_t release, uint32_t build,
                           uint32_t asic = 0, uint8_t isAWR = 0, const char *filename = "img.ufi")
{
    CLUImage *r = static_cast<CLUImage *>(std::calloc(1, sizeof(CLUImage)));
    r->imageType = type;
    r->extType = type == FC_IMAGE ? ALLext : UFIext;
    r->CNAMajorVer = major;
    r->CNAMinorVer = minor;
    r->CNAReleaseVer = release;
    r->CNABuildVer = build;
    r->asicRevisionId = asic;
    r->isAWR = isAWR;
    std::snprintf(r->decodedVersion, sizeof r->decodedVersion, "%u.%u.%u.%u", major, minor, release, build);
    copyBoundedText(r->filename, sizeof r->filename, filename);
    copyBoundedText(r->sortedVersion, sizeof r->sortedVersion, "N/A");
    return r;
}

// A heap FC image record with a decoded version text such as "KF2.01A12".
inline CLUImage *new_fc_image(const char *decoded, const char *filename)
{
    CLUImage *r = static_cast<CLUImage *>(std::calloc(1, sizeof(CLUImage)));
    r->imageType = FC_IMAGE;
    r->extType = ALLext;
    copyBoundedText(r->decodedVersion, sizeof r->decodedVersion, decoded);
    copyBoundedText(r->filename, sizeof r->filename, filename);
    padVersionString(r);
    return r;
}

inline _Hba make_hba(int32_t kind, uint32_t dev, uint32_t ven, uint32_t subDev, uint32_t subVen)
{
    _Hba h;
    std::memset(&h, 0, sizeof h);
    h.kind = kind;
    h.deviceId = dev;
    h.vendorId = ven;
    h.subDeviceId = subDev;
    h.subVendorId = subVen;
    return h;
}

} // namespace imgtest

#endif
