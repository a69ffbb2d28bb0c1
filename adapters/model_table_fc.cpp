// Model texts of the FC HBA families with tables of their own: the gen-6 Varrow FC
// adapters and the Oskara adapters.

#include "adapters/board_predicates.h"
#include "adapters/model_tables.h"

const char kVarrowG6FamilyBaseName[] = "LG6-FC32";
const char kOskaraFamilyBaseName[] = "LP8-1000";
const char kOskaraTwoPortBaseName[] = "LP8-2000";

namespace {

const char kG6Family[] = "Brackenhold Lightlane LG6 32Gb Fibre Channel HBA";

// Base models of the gen-6 boards.
const char kG6Single[] = "LG6-S100";
const char kG6Dual[] = "LG6-D200";
const char kG6Quad[] = "LG6-Q400";
const char kG6MezzSingle[] = "LG6-M100";
const char kG6MezzDual[] = "LG6-M200";
const char kG6Blade[] = "LG6-B200";

// The first row's texts answer too when no row fits.
constexpr ModelTexts kG6FirstRow = {"LG6-D200-P", kG6Family,
                                    "Brackenhold LG6-D200-P dual-port 32Gb Fibre Channel PCIe HBA", kG6Dual};

const ModelTableRow kG6Rows[] = {
    {0x10DF, 0xE300, 0x10DF, 0xE300, kG6FirstRow, nullptr},
    {0x10DF, 0xE300, 0x10DF, 0xE301,
     {"LG6-S100-P", kG6Family, "Brackenhold LG6-S100-P single-port 32Gb Fibre Channel PCIe HBA", kG6Single}, nullptr},
    {0x10DF, 0xE300, 0x10DF, 0xE310,
     {"LG6-D200-L", kG6Family,
      "Brackenhold LG6-D200-L dual-port 32Gb Fibre Channel HBA, low profile", kG6Dual},
     nullptr},
    {0x10DF, 0xE300, 0x10DF, 0xE311,
     {"LG6-S100-L", kG6Family,
      "Brackenhold LG6-S100-L single-port 32Gb Fibre Channel HBA, low profile", kG6Single},
     nullptr},
    {0x10DF, 0xE300, 0x10DF, 0xE312,
     {"LG6-Q400-P", kG6Family, "Brackenhold LG6-Q400-P quad-port 32Gb Fibre Channel PCIe HBA", kG6Quad}, nullptr},
    {0x10DF, 0xE300, 0x10DF, 0xE320,
     {"LG6-D200-E", kG6Family,
      "Brackenhold LG6-D200-E dual-port 32Gb Fibre Channel HBA, extended reach", kG6Dual},
     nullptr},
    {0x10DF, 0xE300, 0x10DF, 0xE321,
     {"LG6-S100-E", kG6Family,
      "Brackenhold LG6-S100-E single-port 32Gb Fibre Channel HBA, extended reach", kG6Single},
     nullptr},
    {0x10DF, 0xE300, 0x10DF, 0xE322,
     {"HV-G6D2", kG6Family, "Halvard HV-G6D2 dual-port 32Gb Fibre Channel HBA", kG6Dual}, nullptr},
    {0x10DF, 0xE300, 0x10DF, 0xE323,
     {"HV-G6S1", kG6Family, "Halvard HV-G6S1 single-port 32Gb Fibre Channel HBA", kG6Single}, nullptr},
    {0x10DF, 0xE300, 0x10DF, 0xE332,
     {"LG6-Q400-L", kG6Family,
      "Brackenhold LG6-Q400-L quad-port 32Gb Fibre Channel HBA, low profile", kG6Quad},
     nullptr},
    {0x10DF, 0xE300, 0x10DF, 0xE333,
     {"LG6-D200-V", kG6Family,
      "Brackenhold LG6-D200-V dual-port 32Gb Fibre Channel HBA, value line", kG6Dual},
     nullptr},
    {0x10DF, 0xE300, 0x10DF, 0xE3F0,
     {"LG6-B200-X", kG6Family, "Brackenhold LG6-B200-X dual-port 32Gb Fibre Channel blade HBA", kG6Blade}, nullptr},
    {0x10DF, 0xE300, 0x10DF, 0xE3F1,
     {"LG6-M100-X", kG6Family,
      "Brackenhold LG6-M100-X single-port 32Gb Fibre Channel mezzanine HBA", kG6MezzSingle},
     nullptr},
    {0x10DF, 0xE300, 0x10DF, 0xE370,
     {"LG6-S100", kG6Family, "Brackenhold LG6-S100 single-port 32Gb Fibre Channel HBA", kG6Single}, nullptr},
    {0x10DF, 0xE300, 0x10DF, 0xE371,
     {"LG6-D200", kG6Family, "Brackenhold LG6-D200 dual-port 32Gb Fibre Channel HBA", kG6Dual}, nullptr},
    {0x10DF, 0xE300, 0x10DF, 0xE372,
     {"LG6-Q400", kG6Family, "Brackenhold LG6-Q400 quad-port 32Gb Fibre Channel HBA", kG6Quad}, nullptr},
    {0x10DF, 0xE300, 0x10DF, 0xE373,
     {"LG6-M100", kG6Family,
      "Brackenhold LG6-M100 single-port 32Gb Fibre Channel mezzanine HBA", kG6MezzSingle},
     nullptr},
    {0x10DF, 0xE300, 0x10DF, 0xE374,
     {"LG6-M200", kG6Family,
      "Brackenhold LG6-M200 dual-port 32Gb Fibre Channel mezzanine HBA", kG6MezzDual},
     nullptr},
    {0x10DF, 0xE300, 0x10DF, 0xE375,
     {"LG6-B200", kG6Family, "Brackenhold LG6-B200 dual-port 32Gb Fibre Channel blade HBA", kG6Blade}, nullptr},
};

const ModelTableDefault kG6Defaults[] = {
    {0, kG6FirstRow, nullptr},
};

// Family descriptions of the Oskara rows.
const char kOskaraFamily[] = "Brackenhold Lightlane LP8 8Gb Fibre Channel HBA";
const char kOskaraOlderFamily[] = "Brackenhold Lightlane LP4 4Gb Fibre Channel HBA";
const char kOskaraLowPowerFamily[] = "Brackenhold Lightlane LP8 8Gb Fibre Channel HBA, low power";

// Base models of the Oskara boards.
const char kLp4Single[] = "LP4-1000";
const char kLp4Dual[] = "LP4-2000";
const char kLp8Quad[] = "LP8-4000";
const char kLp8Mezz[] = "LP8-M100";
const char kLp8Blade[] = "LP8-B200";
const char kLp8LowPower[] = "LP8-LP10";
const char kLp8Virtual[] = "LP8-V100";
const char kLp8Custom[] = "LP8-C100";
const char kLp8Stacked[] = "LP8-S200";

// Two-port texts of the boards sold in both widths.
const ModelTexts kTwoPortF100 = {"LP8-2000", kOskaraFamily,
                                 "Brackenhold LP8-2000 dual-port 8Gb Fibre Channel PCIe HBA", kOskaraTwoPortBaseName};
const ModelTexts kTwoPortF015 = {"LP4-2000", kOskaraOlderFamily,
                                 "Brackenhold LP4-2000 dual-port 4Gb Fibre Channel PCIe HBA", kLp4Dual};

const ModelTableRow kOskaraRows[] = {
    {0x10DF, 0xF100, 0x10DF, 0xF100,
     {"LP8-1000", kOskaraFamily,
      "Brackenhold LP8-1000 single-port 8Gb Fibre Channel PCIe HBA", kOskaraFamilyBaseName},
     &kTwoPortF100},
    {0x10DF, 0xF015, 0x10DF, 0xF015,
     {"LP4-1000", kOskaraOlderFamily,
      "Brackenhold LP4-1000 single-port 4Gb Fibre Channel PCIe HBA", kLp4Single},
     &kTwoPortF015},
    {0x10DF, 0xF011, 0x10DF, 0xF011,
     {"LP4-2000E", kOskaraOlderFamily,
      "Brackenhold LP4-2000E dual-port 4Gb Fibre Channel PCI-X HBA", kLp4Dual},
     nullptr},
    {0x10DF, 0xF104, 0x10DF, 0xF104,
     {"LP8-1000S", kOskaraFamily,
      "Brackenhold LP8-1000S single-port 8Gb Fibre Channel HBA, short form", kOskaraFamilyBaseName},
     nullptr},
    {0x10DF, 0xF112, 0x10DF, 0xF112,
     {"LP8-2000S", kOskaraFamily,
      "Brackenhold LP8-2000S dual-port 8Gb Fibre Channel HBA, short form", kOskaraTwoPortBaseName},
     nullptr},
    {0x10DF, 0xF111, 0x10DF, 0xF111,
     {"LP8-1000L", kOskaraFamily,
      "Brackenhold LP8-1000L single-port 8Gb Fibre Channel HBA, low profile", kOskaraFamilyBaseName},
     nullptr},
    {0x10DF, 0xF100, 0x10DF, 0xF121,
     {"LP8-4000", kOskaraFamily, "Brackenhold LP8-4000 quad-port 8Gb Fibre Channel PCIe HBA", kLp8Quad}, nullptr},
    {0x10DF, 0xF100, 0x10DF, 0xF122,
     {"LP8-2000C", kOskaraFamily,
      "Brackenhold LP8-2000C dual-port 8Gb Fibre Channel HBA, custom bracket", kLp8Custom},
     nullptr},
    {0x10DF, 0xF100, 0x10DF, 0xF123,
     {"LP8-1000C", kOskaraFamily,
      "Brackenhold LP8-1000C single-port 8Gb Fibre Channel HBA, custom bracket", kLp8Custom},
     nullptr},
    {0x10DF, 0xFC40, 0x10DF, 0xFC42,
     {"LP8-V120", kOskaraFamily,
      "Brackenhold LP8-V120 dual-port 8Gb Fibre Channel HBA, virtual function", kLp8Virtual},
     nullptr},
    {0x10DF, 0xFC40, 0x10DF, 0xFC41,
     {"LP8-V110", kOskaraFamily,
      "Brackenhold LP8-V110 single-port 8Gb Fibre Channel HBA, virtual function", kLp8Virtual},
     nullptr},
    {0x10DF, 0xF100, 0x1014, 0x0401,
     {"TB-8400", kOskaraFamily, "Tarnby TB-8400 quad-port 8Gb Fibre Channel adapter", kLp8Quad}, nullptr},
    {0x10DF, 0xF100, 0x1014, 0x038A,
     {"TB-8210", kOskaraFamily,
      "Tarnby TB-8210 dual-port 8Gb Fibre Channel adapter", kOskaraTwoPortBaseName},
     nullptr},
    {0x10DF, 0xF100, 0x1014, 0x0389,
     {"TB-8110", kOskaraFamily,
      "Tarnby TB-8110 single-port 8Gb Fibre Channel adapter", kOskaraFamilyBaseName},
     nullptr},
    {0x10DF, 0xF100, 0x103C, 0x3282,
     {"HV-81Q", kOskaraFamily,
      "Halvard HV-81Q single-port 8Gb Fibre Channel host bus adapter", kOskaraFamilyBaseName},
     nullptr},
    {0x10DF, 0xF100, 0x103C, 0x3281,
     {"HV-82Q", kOskaraFamily,
      "Halvard HV-82Q dual-port 8Gb Fibre Channel host bus adapter", kOskaraTwoPortBaseName},
     nullptr},
    {0x10DF, 0xF015, 0x103C, 0x3283,
     {"HV-41Q", kOskaraOlderFamily,
      "Halvard HV-41Q single-port 4Gb Fibre Channel host bus adapter", kLp4Single},
     nullptr},
    {0x10DF, 0xF100, 0x103C, 0x3392,
     {"HV-82B", kOskaraFamily,
      "Halvard HV-82B dual-port 8Gb Fibre Channel host bus adapter, rack", kOskaraTwoPortBaseName},
     nullptr},
    {0x10DF, 0xF100, 0x103C, 0x3391,
     {"HV-81B", kOskaraFamily,
      "Halvard HV-81B single-port 8Gb Fibre Channel host bus adapter, rack", kOskaraFamilyBaseName},
     nullptr},
    {0x10DF, 0xF100, 0x103C, 0x2238,
     {"HV-82M", kOskaraFamily, "Halvard HV-82M dual-port 8Gb Fibre Channel mezzanine adapter", kLp8Mezz}, nullptr},
    {0x10DF, 0xF100, 0x10DF, 0xF12E,
     {"LP8-M100", kOskaraFamily,
      "Brackenhold LP8-M100 dual-port 8Gb Fibre Channel mezzanine HBA", kLp8Mezz},
     nullptr},
    {0x10DF, 0xFC40, 0x10DF, 0xFC4E,
     {"LP8-V140", kOskaraFamily,
      "Brackenhold LP8-V140 mezzanine 8Gb Fibre Channel HBA, virtual function", kLp8Virtual},
     nullptr},
    {0x10DF, 0xFC40, 0x10DF, 0xFC43,
     {"LP8-V130", kOskaraFamily,
      "Brackenhold LP8-V130 blade 8Gb Fibre Channel HBA, virtual function", kLp8Virtual},
     nullptr},
    {0x10DF, 0xF100, 0x10DF, 0xF124,
     {"LP8-B210", kOskaraFamily, "Brackenhold LP8-B210 dual-port 8Gb Fibre Channel blade HBA", kLp8Blade}, nullptr},
    {0x10DF, 0xF100, 0x10DF, 0xF130,
     {"LP8-B230", kOskaraFamily,
      "Brackenhold LP8-B230 dual-port 8Gb Fibre Channel blade HBA, rev. B", kLp8Blade},
     nullptr},
    {0x10DF, 0xF100, 0x10DF, 0xF125,
     {"LP8-B220", kOskaraFamily,
      "Brackenhold LP8-B220 dual-port 8Gb Fibre Channel blade HBA, chassis type 2", kLp8Blade},
     nullptr},
    {0x10DF, 0xF100, 0x10DF, 0xF126,
     {"LP8-M210", kOskaraFamily,
      "Brackenhold LP8-M210 dual-port 8Gb Fibre Channel mezzanine HBA, type 1", kLp8Mezz},
     nullptr},
    {0x10DF, 0xF100, 0x10DF, 0xF127,
     {"LP8-M220", kOskaraFamily,
      "Brackenhold LP8-M220 dual-port 8Gb Fibre Channel mezzanine HBA, type 2", kLp8Mezz},
     nullptr},
    {0x10DF, 0xF100, 0x103C, 0x1719,
     {"HV-82BL", kOskaraFamily, "Halvard HV-82BL dual-port 8Gb Fibre Channel blade adapter", kLp8Blade}, nullptr},
    {0x10DF, 0xF100, 0x103C, 0x338F,
     {"HV-82SB", kOskaraFamily,
      "Halvard HV-82SB dual-port 8Gb Fibre Channel blade adapter, stacked", kLp8Stacked},
     nullptr},
    {0x10DF, 0xF100, 0x1734, 0x113C,
     {"WX-8200", kOskaraFamily, "Wexmoor WX-8200 dual-port 8Gb Fibre Channel blade adapter", kLp8Blade}, nullptr},
    {0x10DF, 0xF100, 0x10DF, 0xF12A,
     {"LP8-B240", kOskaraFamily,
      "Brackenhold LP8-B240 dual-port 8Gb Fibre Channel blade HBA, chassis type 4", kLp8Blade},
     nullptr},
    {0x10DF, 0xF100, 0x1054, 0x3053,
     {"OD-8200", kOskaraFamily, "Oduna OD-8200 dual-port 8Gb Fibre Channel blade adapter", kLp8Blade}, nullptr},
    {0x10DF, 0xF100, 0x10DF, 0xF12B,
     {"LP8-M230", kOskaraFamily,
      "Brackenhold LP8-M230 dual-port 8Gb Fibre Channel mezzanine HBA, type 3", kLp8Mezz},
     nullptr},
    {0x10DF, 0xF100, 0x10DF, 0xF12C,
     {"LP8-M240", kOskaraFamily,
      "Brackenhold LP8-M240 dual-port 8Gb Fibre Channel mezzanine HBA, type 4", kLp8Mezz},
     nullptr},
    {0x10DF, 0xF180, 0x10DF, 0xF180,
     {"LP8-LP10", kOskaraLowPowerFamily,
      "Brackenhold LP8-LP10 single-port 8Gb Fibre Channel HBA, low power", kLp8LowPower},
     nullptr},
    {0x10DF, 0xF100, 0x10DF, 0xE611,
     {"LP8-1000X", "N/A", "N/A", kOskaraFamilyBaseName}, nullptr},
    {0x10DF, 0xF100, 0x10DF, 0xF134,
     {"LP8-B250", kOskaraFamily,
      "Brackenhold LP8-B250 dual-port 8Gb Fibre Channel blade HBA, chassis type 5", kLp8Blade},
     nullptr},
    {0x10DF, 0xF100, 0x10DF, 0xF135,
     {"LP8-B260", kOskaraFamily,
      "Brackenhold LP8-B260 dual-port 8Gb Fibre Channel blade HBA, chassis type 6", kLp8Blade},
     nullptr},
    {0x10DF, 0xF100, 0x10DF, 0xF136,
     {"LP8-B270", kOskaraFamily,
      "Brackenhold LP8-B270 dual-port 8Gb Fibre Channel blade HBA, chassis type 7", kLp8Blade},
     nullptr},
    {0x10DF, 0xF100, 0x10DF, 0xF137,
     {"LP8-M250", kOskaraFamily,
      "Brackenhold LP8-M250 dual-port 8Gb Fibre Channel mezzanine HBA, type 5", kLp8Mezz},
     nullptr},
    {0x10DF, 0xF100, 0x10DF, 0xF13A,
     {"LP8-B280", kOskaraFamily,
      "Brackenhold LP8-B280 dual-port 8Gb Fibre Channel blade HBA, chassis type 8", kLp8Blade},
     nullptr},
    {0x10DF, 0xF100, 0x10DF, 0xF13B,
     {"LP8-M260", kOskaraFamily,
      "Brackenhold LP8-M260 dual-port 8Gb Fibre Channel mezzanine HBA, type 6", kLp8Mezz},
     nullptr},
    {0x10DF, 0xF100, 0x10DF, 0xF13C,
     {"LP8-M270", kOskaraFamily,
      "Brackenhold LP8-M270 dual-port 8Gb Fibre Channel mezzanine HBA, type 7", kLp8Mezz},
     nullptr},
};

// No row fits: the family base name and a generic description, by width.
const ModelTexts kOskaraDefaultTwoPort = {kOskaraTwoPortBaseName, kOskaraFamily,
                                          "Brackenhold Lightlane dual-port 8Gb Fibre Channel HBA",
                                          kOskaraTwoPortBaseName};
const ModelTableDefault kOskaraDefaults[] = {
    {0,
     {kOskaraFamilyBaseName, kOskaraFamily, "Brackenhold Lightlane single-port 8Gb Fibre Channel HBA",
      kOskaraFamilyBaseName},
     &kOskaraDefaultTwoPort},
};

}  // namespace

const ModelTable kVarrowG6ModelTable = {isVarrowG6Board, nullptr, kG6Rows, sizeof kG6Rows / sizeof kG6Rows[0],
    kG6Defaults, sizeof kG6Defaults / sizeof kG6Defaults[0]};

const ModelTable kOskaraModelTable = {isOskaraBoard, nullptr, kOskaraRows, sizeof kOskaraRows / sizeof kOskaraRows[0],
    kOskaraDefaults, sizeof kOskaraDefaults / sizeof kOskaraDefaults[0]};

int GetVarrowG6AdapterModelAndDesc(_AdapterModelAndDesc *request) {
    return LookupAdapterModel(request, &kVarrowG6ModelTable);
}

int GetOskaraAdapterModelAndDesc(_AdapterModelAndDesc *request) {
    return LookupAdapterModel(request, &kOskaraModelTable);
}
