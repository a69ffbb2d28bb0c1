// Paths that do not fit the action's parameter: the client layer hands them
// to the library whole, which refuses them, instead of acting on the first
// 255 characters.
#include <dirent.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mal/mal_core.h"
#include "mal/mal_maintenance.h"
#include "mal/mal_records.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/vexo_api.h"
#include "mgmt/vexo/core/vexo_status.h"
#include "sim/command_log.h"
#include "sim/machine.h"
#include "sim/ufi_generator.h"
#include "support/sim_host.h"

namespace
{

std::vector<std::string> entries(const std::string &dir)
{
    std::vector<std::string> out;
    DIR *d = opendir(dir.c_str());
    if (!d)
        return out;
    while (dirent *e = readdir(d))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, ".."))
            out.push_back(e->d_name);
    closedir(d);
    return out;
}

class MalLongPath : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(hlvdsim::make_dirs(dir_));
        start_ = vexo_counter;
        char service[MAL_VALUE_SIZE] = "";
        char hierarchy[MAL_VALUE_SIZE] = "";
        ASSERT_EQ(RM_STATUS_OK, MAL_VEXO_Init(service, hierarchy));
        uint32_t tags[MAL_MAX_TAGS] = {};
        int count = MAL_MAX_TAGS;
        ASSERT_EQ(RM_STATUS_OK, MAL_EnumerateArcwrights(&count, tags));
        for (int i = 0; i < count; ++i) {
            MAL_AWProperties rec;
            std::memset(&rec, 0, sizeof rec);
            if (MAL_GetAWProperties(static_cast<node_tag_t>(tags[i]), &rec) == RM_STATUS_OK &&
                std::strcmp(rec.SerialNumber, "TRLSIM00001") == 0)
                trelmont_ = static_cast<node_tag_t>(tags[i]);
        }
        ASSERT_NE(-1, trelmont_);
        hlvdsim::log_clear(host_.root());
    }
    void TearDown() override
    {
        EXPECT_EQ(RM_STATUS_OK, MAL_VEXO_Exit());
        EXPECT_EQ(start_, vexo_counter);
    }

    // A path of exactly `length` characters in the test's directory.
    std::string path_of(size_t length, char fill) const
    {
        std::string p = dir_ + "/";
        return p + std::string(length - p.size(), fill);
    }

    size_t fw_commands() const
    {
        size_t n = 0;
        for (const auto &e : hlvdsim::log_read(host_.root()))
            n += e["kind"] == "fw";
        return n;
    }

    hlvdtest::SimHost host_;
    std::string dir_ = host_.path("/images");
    node_tag_t trelmont_ = -1;
    int start_ = 0;
};

TEST_F(MalLongPath, APathPastTheParameterIsRefusedWithoutACommand)
{
    // The first 255 characters name a flashable image and a place a dump
    // could be written: a cut path would be acted on.
    const std::string image = path_of(255, 'i');
    std::string err;
    ASSERT_TRUE(hlvdsim::write_ufi(hlvdsim::default_ufi_spec(4, "11.2.100.7"), image, &err)) << err;
    const std::string dump = path_of(255, 'd');

    struct Case {
        const char *what;
        int32_t (*call)(node_tag_t, const char *);
        std::string path;
    } cases[] = {
        {"upgrade, 256 characters", MAL_UpgradeFlash, image + "x"},
        {"upgrade, 300 characters", MAL_UpgradeFlash, image + std::string(45, 'x')},
        {"dump, 256 characters", MAL_RetrievePCIDump, dump + "x"},
        {"dump, 300 characters", MAL_RetrievePCIDump, dump + std::string(45, 'x')},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(VEXO_STATUS_INVALID_SIZE, c.call(trelmont_, c.path.c_str()));
        VEXO_status_t code = VEXO_STATUS_SUCCESS;
        char text[MAL_STATUS_TEXT_SIZE] = "";
        ASSERT_EQ(VEXO_STATUS_SUCCESS, MAL_get_last_status(&code, text));
        EXPECT_EQ(VEXO_STATUS_INVALID_SIZE, code);
        EXPECT_NE(nullptr, std::strstr(text, "from 3 to 255")) << text;
        EXPECT_EQ(0u, fw_commands());
        EXPECT_EQ(std::vector<std::string>{image.substr(dir_.size() + 1)}, entries(dir_)) << "no file made";
    }

    // A path that fills the parameter exactly is taken.
    EXPECT_EQ(VEXO_STATUS_REBOOT_REQUIRED, MAL_UpgradeFlash(trelmont_, image.c_str()));
    EXPECT_LT(0u, fw_commands());
}

} // namespace
