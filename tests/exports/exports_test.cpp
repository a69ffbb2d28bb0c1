// The library as a host loads it: dlopen, the eight calls by their plain
// names, nothing internal visible.
#include <string>

#include <dlfcn.h>
#include <gtest/gtest.h>

#include "support/sim_host.h"

namespace {

TEST(Exports, HostLoadsTheLibraryAndFindsItsCalls)
{
    hlvdtest::SimHost host;
    void *lib = dlopen(hlvdtest::binary_path("lib/libhlvdflash.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(nullptr, lib) << dlerror();
    const char *calls[] = {"oem_do_discovery_with_files", "oem_do_flash_with_file", "oem_do_full_flash_PCI",
                           "oem_get_full_flash_dump_PCI", "oem_get_adapter_info",   "oem_flash_lib_version",
                           "oem_text_for_error_code",     "oem_get_debug_info"};
    for (const char *name : calls)
        EXPECT_NE(nullptr, dlsym(lib, name)) << name;
    const char *hidden[] = {"logDebugOutput", "EnableLogging", "GenerateDiscoveryFile", "error_msg",
                            "libOvnFlashMutex", "host_path"};
    for (const char *name : hidden)
        EXPECT_EQ(nullptr, dlsym(lib, name)) << name;

    typedef const char *(*text_fn)(int);
    typedef int (*version_fn)(char *, int);
    typedef int (*discovery_fn)(const char *, const char *);
    char buf[32];
    EXPECT_EQ(11, reinterpret_cast<version_fn>(dlsym(lib, "oem_flash_lib_version"))(buf, sizeof buf));
    EXPECT_STREQ("12.0.1215.0", buf);
    EXPECT_STREQ("Success", reinterpret_cast<text_fn>(dlsym(lib, "oem_text_for_error_code"))(0));
    std::string xml = host.root() + "/d.xml";
    EXPECT_EQ(10000, reinterpret_cast<discovery_fn>(dlsym(lib, "oem_do_discovery_with_files"))(xml.c_str(), nullptr));
    EXPECT_EQ(0, dlclose(lib));
}

} // namespace
