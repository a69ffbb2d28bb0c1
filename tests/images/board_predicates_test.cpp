// Board predicates over PCI ids, and the sysfs lookup of an FCoE function's
// PCI domain.
#include <cstdint>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "adapters/board_predicates.h"
#include "sim/machine.h"
#include "support/sim_host.h"

namespace {

using Single = int (*)(int32_t);
using Variant = int (*)(int32_t, int32_t, int32_t, int32_t);

struct SingleCase {
    const char *name;
    Single fn;
    int32_t id;
    int expected;
};

TEST(BoardPredicates, SingleIdSets)
{
    const SingleCase cases[] = {
        {"isVarrowBoard(0xE240)", isVarrowBoard, 0xE240, 0},
        {"isVarrowiSCSIBoard(0xE240)", isVarrowiSCSIBoard, 0xE240, 1},
        {"isVarrowFCBoard(0xE300)", isVarrowFCBoard, 0xE300, 1},
        {"isVarrowG6Board(0xE200)", isVarrowG6Board, 0xE200, 0},
        {"isVarrowBoard(0xE300)", isVarrowBoard, 0xE300, 1},
        {"isVarrowCNABoard(0xE228)", isVarrowCNABoard, 0xE228, 1},
        {"isVarrowCNABoard(0xE200)", isVarrowCNABoard, 0xE200, 0},
        {"isOskaraBoard(0x338F)", isOskaraBoard, 0x338F, 1},
        {"isArcwrightFCoEBoard(0x704)", isArcwrightFCoEBoard, 0x704, 1},
        {"isArcwrightFCoEBoard(0x71C)", isArcwrightFCoEBoard, 0x71C, 1},
        {"isArcwrightFCoEBoard(0x72C)", isArcwrightFCoEBoard, 0x72C, 1},
        {"isArcwrightFCoEBoard(0xE260)", isArcwrightFCoEBoard, 0xE260, 0},
        {"isBrindlefinBoard(0x211)", isBrindlefinBoard, 0x211, 1},
        {"isBrindlefinBoardPhase1(0x211)", isBrindlefinBoardPhase1, 0x211, 0},
        {"isBrindlefinBoardPhase1(0x704)", isBrindlefinBoardPhase1, 0x704, 1},
        {"isGorselBoard(0x71B)", isGorselBoard, 0x71B, 1},
        {"isGorselBoard(0x720)", isGorselBoard, 0x720, 0},
        {"isTrelmontBoard(0x72B)", isTrelmontBoard, 0x72B, 1},
        {"isArcwrightBoard(0x723)", isArcwrightBoard, 0x723, 1},
        {"isArcwrightNICBoard(0x718)", isArcwrightNICBoard, 0x718, 1},
        {"isArcwrightiSCSIBoard(0x710)", isArcwrightiSCSIBoard, 0x710, 0},
        {"isWyndelBoard(0xFED5)", isWyndelBoard, 0xFED5, 1},
        {"isEmbertipBoard(0x1AE5)", isEmbertipBoard, 0x1AE5, 1},
        {"isMarrowindBoard(0xF98D)", isMarrowindBoard, 0xF98D, 1},
        {"isKeddBoard(0xFDA5)", isKeddBoard, 0xFDA5, 1},
        {"isSolvaneBoard(0xFD12)", isSolvaneBoard, 0xFD12, 1},
        {"isMorvathBoard(0xFC50)", isMorvathBoard, 0xFC50, 1},
        {"isMorvathBoard(0)", isMorvathBoard, 0, 0},
        {"isOskaraBoard(-1)", isOskaraBoard, -1, 0},
    };
    for (const SingleCase &c : cases)
        EXPECT_EQ(c.fn(c.id), c.expected) << c.name;
}

TEST(BoardPredicates, ConvergedIdsBelongToOneGenerationAndOnePersonality)
{
    for (int32_t id = 0; id <= 0x7FF; ++id) {
        int gens = isBrindlefinBoard(id) + isGorselBoard(id) + isTrelmontBoard(id);
        int personalities = isArcwrightFCoEBoard(id) + isArcwrightiSCSIBoard(id) + isArcwrightNICBoard(id);
        EXPECT_LE(gens, 1) << std::hex << id;
        EXPECT_EQ(gens, personalities) << std::hex << id;
        EXPECT_EQ(isArcwrightBoard(id), gens) << std::hex << id;
    }
}

struct VariantCase {
    const char *name;
    Variant fn;
    int32_t dev, ven, subDev, subVen;
    int expected;
};

TEST(BoardPredicates, BoardVariants)
{
    const VariantCase cases[] = {
        {"Kedd blade, any device", isKeddBladeBoard, 0x1234, 0, 0x1702, 0x103C, 1},
        {"Solvane blade, any device", isSolvaneBladeBoard, 0x0, 0, 0xFD23, 0x10DF, 1},
        {"Wyndel blade, any device", isWyndelBladeBoard, 0x0710, 0, 0x10F4, 0x1734, 1},
        {"Wyndel blade, wrong vendor", isWyndelBladeBoard, 0xFE00, 0, 0x10F4, 0x10DF, 0},
        {"Oskara Stagmere", isOskaraStagmereBladeBoard, 0xF100, 7, 0x338F, 0x103C, 1},
        {"Oskara blade with the Stagmere pair", isOskaraBladeBoard, 0xF100, 7, 0x338F, 0x103C, 0},
        {"Oskara blade", isOskaraBladeBoard, 0xF100, 0, 0x3053, 0x1054, 1},
        {"Oskara blade on another device", isOskaraBladeBoard, 0xF015, 0, 0x3053, 0x1054, 0},
        {"dual-dual Wyndel FE14", isDualDualChannelWyndel, 0xFE14, 99, 0xFE14, 99, 1},
        {"dual-dual Wyndel FE00", isDualDualChannelWyndel, 0xFE00, 0, 0xFE27, 0, 1},
        {"dual-dual Wyndel mixed", isDualDualChannelWyndel, 0xFE00, 0, 0xFE14, 0, 0},
        {"dual-dual Oskara IBM", isDualDualChannelOskara, 0xF100, 0, 0x0401, 0x1014, 1},
        {"Varrow FCoE blade IBM 0452", isVarrowFCoEBladeBoard, 0xE260, 0, 0x0452, 0x1014, 1},
        {"Varrow FCoE blade pair on a NIC id", isVarrowFCoEBladeBoard, 0xE220, 0, 0x0452, 0x1014, 0},
        {"Varrow NIC blade IBM 0451", isVarrowNICBladeBoard, 0xE220, 0, 0x0451, 0x1014, 1},
        {"Varrow NIC blade IBM 0452", isVarrowNICBladeBoard, 0xE220, 0, 0x0452, 0x1014, 0},
        {"Varrow CNA blade", isVarrowCNABladeBoard, 0xE228, 0, 0xE221, 0x10DF, 1},
        {"Varrow 16Gb blade on gen-6", isVarrow16GbFCBladeBoard, 0xE300, 0, 0x8001, 0x103C, 1},
        {"Varrow 32Gb blade needs gen-6", isVarrow32GbFCBladeBoard, 0xE200, 0, 0xE374, 0x10DF, 0},
        {"Varrow 32Gb blade", isVarrow32GbFCBladeBoard, 0xE300, 0, 0xE3F0, 0x10DF, 1},
        {"Varrow FC blade by 8Gb", isVarrowFCBladeBoard, 0xE208, 0, 0x1055, 0x17AA, 1},
        {"Varrow FC blade on FCoE id", isVarrowFCBladeBoard, 0xE260, 0, 0x1055, 0x17AA, 0},
        {"Halvard BMC gen-2", isBrindlefinHalvardBmcBoard, 0x0700, 0x19A2, 0x1749, 0x103C, 1},
        {"Halvard BMC on gen-3", isBrindlefinHalvardBmcBoard, 0x0710, 0x19A2, 0x1749, 0x103C, 0},
        {"Halvard BMC other subsystem", isBrindlefinHalvardBmcBoard, 0x0700, 0x19A2, 0x1748, 0x103C, 0},
        {"beaconable F100", isBeaconableBladeBoard, 0xF100, 0, 0xF135, 0x10DF, 1},
        {"beaconable E200 with an F100 pair", isBeaconableBladeBoard, 0xE200, 0, 0xF135, 0x10DF, 0},
        {"Varrow FC NIC", isVarrowFCNICBoard, 0xE200, 0x10DF, 0xE264, 0x10DF, 1},
        {"Varrow FC NIC wrong vendor", isVarrowFCNICBoard, 0xE200, 0x19A2, 0xE264, 0x10DF, 0},
    };
    for (const VariantCase &c : cases)
        EXPECT_EQ(c.fn(c.dev, c.ven, c.subDev, c.subVen), c.expected) << c.name;
    EXPECT_EQ(isArcwrightCopperPhyBoard(0x710, 0xE723), 1);
    EXPECT_EQ(isArcwrightCopperPhyBoard(0x720, 0xE723), 0);
}

// A fake sysfs below the simulated host's root: a function found through
// its driver directory, one through /sys/class/fc_host.
TEST(BoardPredicates, DomainOfAnFcoeFunctionFromSysfs)
{
    hlvdtest::SimHost host;
    const std::string drv = host.path("/sys/bus/pci/drivers/hlvdfcoe");
    ASSERT_TRUE(hlvdsim::make_dirs(drv + "/0000:05:00.2/host3/fc_host/host3"));
    hlvdtest::write_file(drv + "/0000:05:00.2/host3/fc_host/host3/port_name", "0x10000000c9c40032\n");
    ASSERT_TRUE(hlvdsim::make_dirs(drv + "/001a:06:00.2/host7"));
    ASSERT_TRUE(hlvdsim::make_dirs(host.path("/sys/class/fc_host/host7")));
    hlvdtest::write_file(host.path("/sys/class/fc_host/host7/port_name"), "0x10000000c9d50042\n");
    // A host entry whose file is empty is passed over.
    ASSERT_TRUE(hlvdsim::make_dirs(drv + "/0003:07:00.2/host9/fc_host/host9"));
    hlvdtest::write_file(drv + "/0003:07:00.2/host9/fc_host/host9/port_name", "");

    const uint8_t first[8] = {0x10, 0x00, 0x00, 0x00, 0xC9, 0xC4, 0x00, 0x32};
    const uint8_t second[8] = {0x10, 0x00, 0x00, 0x00, 0xC9, 0xD5, 0x00, 0x42};
    const uint8_t unknown[8] = {0x10, 0x00, 0x00, 0x00, 0xC9, 0x00, 0x00, 0x01};
    EXPECT_EQ(GetDomainNumUsingSysDir(first), 0);
    EXPECT_EQ(GetDomainNumber(second), 0x1A);
    EXPECT_EQ(GetDomainNumUsingSysDir(unknown), -1);
    EXPECT_EQ(GetDomainNumUsingSysDir(nullptr), -1);
    EXPECT_EQ(GetDomainNumUsingLibSysFS(first, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), -1);

    hlvdtest::remove_tree(drv);
    EXPECT_EQ(GetDomainNumber(first), -1);
}

} // namespace
