// Model table of the Varrow family: NIC, FCoE and FC functions. Rows are
// grouped by device id; the functions of one board share its subsystem ids.
#include "adapters/board_predicates.h"
#include "adapters/model_select.h"
#include "adapters/model_tables.h"

const char kVarrowFamilyBaseName[] = "QN-V1600";

namespace {

const char kConvergedBaseName[] = "BW-V1600";
const char kNicFamily[] = "Orvane Braidway V Ethernet Adapter, Port x";
const char kFcoeFamily[] = "Orvane Braidway V FCoE Adapter, Port x";
const char kFcFamily[] = "Orvane Quillnet Fibre Channel Adapter, Port x";
const char kFcGeneric[] = "Orvane Quillnet Fibre Channel Adapter";
const char kFcoeGeneric[] = "Orvane Quillnet FCoE Adapter, Port x";

const ModelTableRow kRows[] = {
    {0x10DF, 0xE220, 0x10DF, 0xE201, {"BWV-E201-N", kNicFamily, "Orvane Braidway V 2-port 10Gb converged adapter, Ethernet, Port x", kVarrowFamilyBaseName}, nullptr},
    {0x10DF, 0xE220, 0x10DF, 0xE202, {"BWV-E202-N", kNicFamily, "Orvane Braidway V 2-port 10Gb converged adapter, Ethernet, Port x", kVarrowFamilyBaseName}, nullptr},
    {0x10DF, 0xE220, 0x10DF, 0xE203, {"BWV-E203-N", kNicFamily, "Orvane Braidway V 2-port 10Gb converged adapter, Ethernet, Port x", kVarrowFamilyBaseName}, nullptr},
    {0x10DF, 0xE220, 0x10DF, 0xE204, {"BWV-E204-N", kNicFamily, "Orvane Braidway V 2-port 10Gb converged adapter, Ethernet, Port x", kVarrowFamilyBaseName}, nullptr},
    {0x10DF, 0xE220, 0x10DF, 0xE205, {"BWV-E205-N", kNicFamily, "Orvane Braidway V 2-port 10Gb converged adapter, Ethernet, Port x", kVarrowFamilyBaseName}, nullptr},
    {0x10DF, 0xE220, 0x10DF, 0xE206, {"BWV-E206-N", kNicFamily, "Orvane Braidway V 2-port 10Gb converged adapter, Ethernet, Port x", kVarrowFamilyBaseName}, nullptr},
    {0x10DF, 0xE220, 0x10DF, 0xE207, {"BWV-E207-N", kNicFamily, "Orvane Braidway V 2-port 10Gb converged adapter, Ethernet, Port x", kVarrowFamilyBaseName}, nullptr},
    {0x10DF, 0xE220, 0x10DF, 0xE208, {"BWV-E208-N", kNicFamily, "Orvane Braidway V 2-port 10Gb converged adapter, Ethernet, Port x", kVarrowFamilyBaseName}, nullptr},
    {0x10DF, 0xE220, 0x10DF, 0xE209, {"BWV-E209-N", kNicFamily, "Orvane Braidway V 2-port 10Gb converged adapter, Ethernet, Port x", kVarrowFamilyBaseName}, nullptr},
    {0x10DF, 0xE220, 0x10DF, 0xE20A, {"BWV-E20A-N", kNicFamily, "Orvane Braidway V 2-port 10Gb converged adapter, Ethernet, Port x", kVarrowFamilyBaseName}, nullptr},
    {0x10DF, 0xE220, 0x10DF, 0xE20B, {"BWV-E20B-N", kNicFamily, "Orvane Braidway V 2-port 10Gb converged adapter, Ethernet, Port x", kVarrowFamilyBaseName}, nullptr},
    {0x10DF, 0xE220, 0x10DF, 0xE20C, {"BWV-E20C-N", kNicFamily, "Orvane Braidway V 2-port 10Gb converged adapter, Ethernet, Port x", kVarrowFamilyBaseName}, nullptr},
    {0x10DF, 0xE220, 0x10DF, 0xE20D, {"BWV-E20D-N", kNicFamily, "Orvane Braidway V 2-port 10Gb converged adapter, Ethernet, Port x", kVarrowFamilyBaseName}, nullptr},
    {0x10DF, 0xE220, 0x10DF, 0xE20E, {"BWV-E20E-N", kNicFamily, "Orvane Braidway V 2-port 10Gb converged adapter, Ethernet, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE220, 0x10DF, 0xE20F, {"BWV-E20F-N", kNicFamily, "Orvane Braidway V 2-port 10Gb converged adapter, Ethernet, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE220, 0x10DF, 0xE210, {"BWV-E210-N", kNicFamily, "Orvane Braidway V 2-port 10Gb converged adapter, Ethernet, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE220, 0x10DF, 0xE211, {"BWV-E211-N", kNicFamily, "Orvane Braidway V 2-port 10Gb converged adapter, Ethernet, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE220, 0x10DF, 0xE212, {"BWV-E212-N", kNicFamily, "Orvane Braidway V 2-port 10Gb converged adapter, Ethernet, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE220, 0x10DF, 0xE213, {"BWV-E213-N", kNicFamily, "Orvane Braidway V 2-port 10Gb converged adapter, Ethernet, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE220, 0x10DF, 0xE214, {"BWV-E214-N", kNicFamily, "Orvane Braidway V 2-port 10Gb converged adapter, Ethernet, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE220, 0x10DF, 0xE215, {"BWV-E215-N", kNicFamily, "Orvane Braidway V 2-port 10Gb converged adapter, Ethernet, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE220, 0x10DF, 0xE216, {"BWV-E216-N", kNicFamily, "Orvane Braidway V 2-port 10Gb converged adapter, Ethernet, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE220, 0x10DF, 0xE217, {"BWV-E217-N", kNicFamily, "Orvane Braidway V 2-port 10Gb converged adapter, Ethernet, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE220, 0x10DF, 0xE218, {"BWV-E218-N", kNicFamily, "Orvane Braidway V 2-port 10Gb converged adapter, Ethernet, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE220, 0x10DF, 0xE219, {"BWV-E219-N", kNicFamily, "Orvane Braidway V 2-port 10Gb converged adapter, Ethernet, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE220, 0x10DF, 0xE21A, {"BWV-E21A-N", kNicFamily, "Orvane Braidway V 2-port 10Gb converged adapter, Ethernet, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE220, 0x10DF, 0xE21B, {"BWV-E21B-N", kNicFamily, "Orvane Braidway V 2-port 10Gb converged adapter, Ethernet, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE220, 0x1014, 0x0430, {"BWV-0430-N", kNicFamily, "Orvane Braidway V 2-port 10Gb converged adapter, Ethernet, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE220, 0x1014, 0x0431, {"BWV-0431-N", kNicFamily, "Orvane Braidway V 2-port 10Gb converged adapter, Ethernet, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE220, 0x1014, 0x0432, {"BWV-0432-N", kNicFamily, "Orvane Braidway V 2-port 10Gb converged adapter, Ethernet, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE220, 0x1014, 0x0433, {"BWV-0433-N", kNicFamily, "Orvane Braidway V 2-port 10Gb converged adapter, Ethernet, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE220, 0x1014, 0x0434, {"BWV-0434-N", kNicFamily, "Orvane Braidway V 2-port 10Gb converged adapter, Ethernet, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE220, 0x1014, 0x0435, {"BWV-0435-N", kNicFamily, "Orvane Braidway V 2-port 10Gb converged adapter, Ethernet, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE220, 0x1014, 0x0436, {"BWV-0436-N", kNicFamily, "Orvane Braidway V 2-port 10Gb converged adapter, Ethernet, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE220, 0x1014, 0x0437, {"BWV-0437-N", kNicFamily, "Orvane Braidway V 2-port 10Gb converged adapter, Ethernet, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE260, 0x10DF, 0xE201, {"BWV-E201-F", kFcoeFamily, "Orvane Braidway V 2-port 10Gb converged adapter, FCoE, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE260, 0x10DF, 0xE202, {"BWV-E202-F", kFcoeFamily, "Orvane Braidway V 2-port 10Gb converged adapter, FCoE, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE260, 0x10DF, 0xE203, {"BWV-E203-F", kFcoeFamily, "Orvane Braidway V 2-port 10Gb converged adapter, FCoE, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE260, 0x10DF, 0xE204, {"BWV-E204-F", kFcoeFamily, "Orvane Braidway V 2-port 10Gb converged adapter, FCoE, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE260, 0x10DF, 0xE205, {"BWV-E205-F", kFcoeFamily, "Orvane Braidway V 2-port 10Gb converged adapter, FCoE, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE260, 0x10DF, 0xE206, {"BWV-E206-F", kFcoeFamily, "Orvane Braidway V 2-port 10Gb converged adapter, FCoE, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE260, 0x10DF, 0xE207, {"BWV-E207-F", kFcoeFamily, "Orvane Braidway V 2-port 10Gb converged adapter, FCoE, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE260, 0x10DF, 0xE208, {"BWV-E208-F", kFcoeFamily, "Orvane Braidway V 2-port 10Gb converged adapter, FCoE, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE260, 0x10DF, 0xE209, {"BWV-E209-F", kFcoeFamily, "Orvane Braidway V 2-port 10Gb converged adapter, FCoE, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE260, 0x10DF, 0xE20A, {"BWV-E20A-F", kFcoeFamily, "Orvane Braidway V 2-port 10Gb converged adapter, FCoE, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE260, 0x10DF, 0xE20B, {"BWV-E20B-F", kFcoeFamily, "Orvane Braidway V 2-port 10Gb converged adapter, FCoE, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE260, 0x10DF, 0xE21C, {"BWV-E21C-F", kFcoeFamily, "Orvane Braidway V 2-port 10Gb converged adapter, FCoE, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE260, 0x10DF, 0xE21D, {"BWV-E21D-F", kFcoeFamily, "Orvane Braidway V 2-port 10Gb converged adapter, FCoE, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE260, 0x10DF, 0xE21E, {"BWV-E21E-F", kFcoeFamily, "Orvane Braidway V 2-port 10Gb converged adapter, FCoE, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE260, 0x10DF, 0xE21F, {"BWV-E21F-F", kFcoeFamily, "Orvane Braidway V 2-port 10Gb converged adapter, FCoE, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE260, 0x10DF, 0xE220, {"BWV-E220-F", kFcoeFamily, "Orvane Braidway V 2-port 10Gb converged adapter, FCoE, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE260, 0x10DF, 0xE221, {"BWV-E221-F", kFcoeFamily, "Orvane Braidway V 2-port 10Gb converged adapter, FCoE, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE260, 0x1014, 0x0430, {"BWV-0430-F", kFcoeFamily, "Orvane Braidway V 2-port 10Gb converged adapter, FCoE, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE260, 0x1014, 0x0431, {"BWV-0431-F", kFcoeFamily, "Orvane Braidway V 2-port 10Gb converged adapter, FCoE, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE260, 0x1014, 0x0432, {"BWV-0432-F", kFcoeFamily, "Orvane Braidway V 2-port 10Gb converged adapter, FCoE, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE260, 0x1014, 0x0433, {"BWV-0433-F", kFcoeFamily, "Orvane Braidway V 2-port 10Gb converged adapter, FCoE, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE260, 0x1014, 0x0438, {"BWV-0438-F", kFcoeFamily, "Orvane Braidway V 2-port 10Gb converged adapter, FCoE, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE260, 0x1014, 0x0439, {"BWV-0439-F", kFcoeFamily, "Orvane Braidway V 2-port 10Gb converged adapter, FCoE, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE260, 0x1014, 0x043A, {"BWV-043A-F", kFcoeFamily, "Orvane Braidway V 2-port 10Gb converged adapter, FCoE, Port x", kConvergedBaseName}, nullptr},
    {0x10DF, 0xE200, 0x10DF, 0xE201, {"QN-V16-E201", kFcFamily, "Orvane Quillnet Fibre Channel Adapter, 2-port 16Gb, Port x", kVarrowFamilyBaseName}, nullptr},
    {0x10DF, 0xE200, 0x10DF, 0xE202, {"QN-V16-E202", kFcFamily, "Orvane Quillnet Fibre Channel Adapter, 2-port 16Gb, Port x", kVarrowFamilyBaseName}, nullptr},
    {0x10DF, 0xE200, 0x10DF, 0xE203, {"QN-V16-E203", kFcFamily, "Orvane Quillnet Fibre Channel Adapter, 2-port 16Gb, Port x", kVarrowFamilyBaseName}, nullptr},
    {0x10DF, 0xE200, 0x10DF, 0xE204, {"QN-V16-E204", kFcFamily, "Orvane Quillnet Fibre Channel Adapter, 2-port 16Gb, Port x", kVarrowFamilyBaseName}, nullptr},
    {0x10DF, 0xE200, 0x10DF, 0xE205, {"QN-V16-E205", kFcFamily, "Orvane Quillnet Fibre Channel Adapter, 2-port 16Gb, Port x", kVarrowFamilyBaseName}, nullptr},
    {0x10DF, 0xE200, 0x10DF, 0xE222, {"QN-V16-E222", kFcFamily, "Orvane Quillnet Fibre Channel Adapter, 2-port 16Gb, Port x", kVarrowFamilyBaseName}, nullptr},
    {0x10DF, 0xE200, 0x10DF, 0xE223, {"QN-V16-E223", kFcFamily, "Orvane Quillnet Fibre Channel Adapter, 2-port 16Gb, Port x", kVarrowFamilyBaseName}, nullptr},
    {0x10DF, 0xE200, 0x10DF, 0xE224, {"QN-V16-E224", kFcFamily, "Orvane Quillnet Fibre Channel Adapter, 2-port 16Gb, Port x", kVarrowFamilyBaseName}, nullptr},
    {0x10DF, 0xE200, 0x10DF, 0xE225, {"QN-V1611-E225", kFcFamily, "Orvane Quillnet 1-port 16Gb Fibre Channel PCIe adapter, Port x", "QN-V1611"}, nullptr},
    {0x10DF, 0xE200, 0x10DF, 0xE226, {"QN-V1612-E226", kFcFamily, "Orvane Quillnet 2-port 16Gb Fibre Channel PCIe adapter, Port x", "QN-V1612"}, nullptr},
    {0x10DF, 0xE200, 0x10DF, 0xE227, {"QN-V1614-E227", kFcFamily, "Orvane Quillnet 4-port 16Gb Fibre Channel PCIe adapter, Port x", "QN-V1614"}, nullptr},
    {0x10DF, 0xE200, 0x10DF, 0xE228, {"QN-V0811-E228", kFcFamily, "Orvane Quillnet 1-port 8Gb Fibre Channel PCIe adapter, Port x", "QN-V0811"}, nullptr},
    {0x10DF, 0xE200, 0x10DF, 0xE229, {"QN-V0812-E229", kFcFamily, "Orvane Quillnet 2-port 8Gb Fibre Channel PCIe adapter, Port x", "QN-V0812"}, nullptr},
    {0x10DF, 0xE200, 0x10DF, 0xE22A, {"QN-V1612B-E22A", kFcFamily, "Orvane Quillnet 2-port 16Gb Fibre Channel blade mezzanine card, Port x", "QN-V1612B"}, nullptr},
    {0x10DF, 0xE200, 0x10DF, 0xE22B, {"QN-V1614B-E22B", kFcFamily, "Orvane Quillnet 4-port 16Gb Fibre Channel blade mezzanine card, Port x", "QN-V1614B"}, nullptr},
    {0x10DF, 0xE200, 0x10DF, 0xE22C, {"QN-V0812B-E22C", kFcFamily, "Orvane Quillnet 2-port 8Gb Fibre Channel blade mezzanine card, Port x", "QN-V0812B"}, nullptr},
    {0x10DF, 0xE200, 0x10DF, 0xE22D, {"QN-V1612M-E22D", kFcFamily, "Orvane Quillnet 2-port 16Gb Fibre Channel mezzanine adapter, Port x", "QN-V1612M"}, nullptr},
    {0x10DF, 0xE200, 0x10DF, 0xE22E, {"QN-V1611L-E22E", kFcFamily, "Orvane Quillnet 1-port 16Gb Fibre Channel low-profile adapter, Port x", "QN-V1611L"}, nullptr},
    {0x10DF, 0xE200, 0x10DF, 0xE22F, {"QN-V1612L-E22F", kFcFamily, "Orvane Quillnet 2-port 16Gb Fibre Channel low-profile adapter, Port x", "QN-V1612L"}, nullptr},
    {0x10DF, 0xE200, 0x10DF, 0xE230, {"QN-V1611-E230", kFcFamily, "Orvane Quillnet 1-port 16Gb Fibre Channel PCIe adapter, Port x", "QN-V1611"}, nullptr},
    {0x10DF, 0xE200, 0x10DF, 0xE231, {"QN-V1612-E231", kFcFamily, "Orvane Quillnet 2-port 16Gb Fibre Channel PCIe adapter, Port x", "QN-V1612"}, nullptr},
    {0x10DF, 0xE200, 0x10DF, 0xE232, {"QN-V1614-E232", kFcFamily, "Orvane Quillnet 4-port 16Gb Fibre Channel PCIe adapter, Port x", "QN-V1614"}, nullptr},
    {0x10DF, 0xE200, 0x10DF, 0xE233, {"QN-V0811-E233", kFcFamily, "Orvane Quillnet 1-port 8Gb Fibre Channel PCIe adapter, Port x", "QN-V0811"}, nullptr},
    {0x10DF, 0xE200, 0x10DF, 0xE234, {"QN-V0812-E234", kFcFamily, "Orvane Quillnet 2-port 8Gb Fibre Channel PCIe adapter, Port x", "QN-V0812"}, nullptr},
    {0x10DF, 0xE200, 0x10DF, 0xE235, {"QN-V1612B-E235", kFcFamily, "Orvane Quillnet 2-port 16Gb Fibre Channel blade mezzanine card, Port x", "QN-V1612B"}, nullptr},
    {0x10DF, 0xE200, 0x10DF, 0xE236, {"QN-V1614B-E236", kFcFamily, "Orvane Quillnet 4-port 16Gb Fibre Channel blade mezzanine card, Port x", "QN-V1614B"}, nullptr},
    {0x10DF, 0xE200, 0x10DF, 0xE237, {"QN-V0812B-E237", kFcFamily, "Orvane Quillnet 2-port 8Gb Fibre Channel blade mezzanine card, Port x", "QN-V0812B"}, nullptr},
    {0x10DF, 0xE200, 0x10DF, 0xE238, {"QN-V1612M-E238", kFcFamily, "Orvane Quillnet 2-port 16Gb Fibre Channel mezzanine adapter, Port x", "QN-V1612M"}, nullptr},
    {0x10DF, 0xE200, 0x1014, 0x0430, {"QN-V1611L-0430", kFcFamily, "Orvane Quillnet 1-port 16Gb Fibre Channel low-profile adapter, Port x", "QN-V1611L"}, nullptr},
    {0x10DF, 0xE200, 0x1014, 0x0431, {"QN-V1612L-0431", kFcFamily, "Orvane Quillnet 2-port 16Gb Fibre Channel low-profile adapter, Port x", "QN-V1612L"}, nullptr},
    {0x10DF, 0xE200, 0x1014, 0x043B, {"QN-V1611-043B", kFcFamily, "Orvane Quillnet 1-port 16Gb Fibre Channel PCIe adapter, Port x", "QN-V1611"}, nullptr},
    {0x10DF, 0xE200, 0x1014, 0x043C, {"QN-V1612-043C", kFcFamily, "Orvane Quillnet 2-port 16Gb Fibre Channel PCIe adapter, Port x", "QN-V1612"}, nullptr},
    {0x10DF, 0xE200, 0x1014, 0x043D, {"QN-V1614-043D", kFcFamily, "Orvane Quillnet 4-port 16Gb Fibre Channel PCIe adapter, Port x", "QN-V1614"}, nullptr},
    {0x10DF, 0xE200, 0x1014, 0x043E, {"QN-V0811-043E", kFcFamily, "Orvane Quillnet 1-port 8Gb Fibre Channel PCIe adapter, Port x", "QN-V0811"}, nullptr},
    {0x10DF, 0xE200, 0x1014, 0x043F, {"QN-V0812-043F", kFcFamily, "Orvane Quillnet 2-port 8Gb Fibre Channel PCIe adapter, Port x", "QN-V0812"}, nullptr},
    {0x10DF, 0xE200, 0x1014, 0x0440, {"QN-V1612B-0440", kFcFamily, "Orvane Quillnet 2-port 16Gb Fibre Channel blade mezzanine card, Port x", "QN-V1612B"}, nullptr},
    {0x10DF, 0xE200, 0x1014, 0x0441, {"QN-V1614B-0441", kFcFamily, "Orvane Quillnet 4-port 16Gb Fibre Channel blade mezzanine card, Port x", "QN-V1614B"}, nullptr},
    {0x10DF, 0xE200, 0x1014, 0x0442, {"QN-V0812B-0442", kFcFamily, "Orvane Quillnet 2-port 8Gb Fibre Channel blade mezzanine card, Port x", "QN-V0812B"}, nullptr},
    {0x10DF, 0xE200, 0x1014, 0x0443, {"QN-V1612M-0443", kFcFamily, "Orvane Quillnet 2-port 16Gb Fibre Channel mezzanine adapter, Port x", "QN-V1612M"}, nullptr},
    {0x10DF, 0xE200, 0x1014, 0x0444, {"QN-V1611L-0444", kFcFamily, "Orvane Quillnet 1-port 16Gb Fibre Channel low-profile adapter, Port x", "QN-V1611L"}, nullptr},
    {0x10DF, 0xE200, 0x103C, 0x1930, {"QN-V1612L-1930", kFcFamily, "Orvane Quillnet 2-port 16Gb Fibre Channel low-profile adapter, Port x", "QN-V1612L"}, nullptr},
    {0x10DF, 0xE200, 0x103C, 0x1931, {"QN-V1611-1931", kFcFamily, "Orvane Quillnet 1-port 16Gb Fibre Channel PCIe adapter, Port x", "QN-V1611"}, nullptr},
    {0x10DF, 0xE200, 0x103C, 0x1932, {"QN-V1612-1932", kFcFamily, "Orvane Quillnet 2-port 16Gb Fibre Channel PCIe adapter, Port x", "QN-V1612"}, nullptr},
    {0x10DF, 0xE200, 0x103C, 0x1933, {"QN-V1614-1933", kFcFamily, "Orvane Quillnet 4-port 16Gb Fibre Channel PCIe adapter, Port x", "QN-V1614"}, nullptr},
    {0x10DF, 0xE200, 0x103C, 0x1934, {"QN-V0811-1934", kFcFamily, "Orvane Quillnet 1-port 8Gb Fibre Channel PCIe adapter, Port x", "QN-V0811"}, nullptr},
    {0x10DF, 0xE200, 0x103C, 0x1935, {"QN-V0812-1935", kFcFamily, "Orvane Quillnet 2-port 8Gb Fibre Channel PCIe adapter, Port x", "QN-V0812"}, nullptr},
    {0x10DF, 0xE200, 0x19E5, 0xD300, {"QN-V1612B-D300", kFcFamily, "Orvane Quillnet 2-port 16Gb Fibre Channel blade mezzanine card, Port x", "QN-V1612B"}, nullptr},
    {0x10DF, 0xE200, 0x19E5, 0xD301, {"QN-V1614B-D301", kFcFamily, "Orvane Quillnet 4-port 16Gb Fibre Channel blade mezzanine card, Port x", "QN-V1614B"}, nullptr},
    {0x10DF, 0xE200, 0x19E5, 0xD302, {"QN-V0812B-D302", kFcFamily, "Orvane Quillnet 2-port 8Gb Fibre Channel blade mezzanine card, Port x", "QN-V0812B"}, nullptr},
    {0x10DF, 0xE200, 0x19E5, 0xD303, {"QN-V1612M-D303", kFcFamily, "Orvane Quillnet 2-port 16Gb Fibre Channel mezzanine adapter, Port x", "QN-V1612M"}, nullptr},
    {0x10DF, 0xE200, 0x19E5, 0xD304, {"QN-V1611L-D304", kFcFamily, "Orvane Quillnet 1-port 16Gb Fibre Channel low-profile adapter, Port x", "QN-V1611L"}, nullptr},
    {0x10DF, 0xE200, 0x17AA, 0x1050, {"QN-V1612L-1050", kFcFamily, "Orvane Quillnet 2-port 16Gb Fibre Channel low-profile adapter, Port x", "QN-V1612L"}, nullptr},
    {0x10DF, 0xE200, 0x17AA, 0x1051, {"QN-V1611-1051", kFcFamily, "Orvane Quillnet 1-port 16Gb Fibre Channel PCIe adapter, Port x", "QN-V1611"}, nullptr},
    {0x10DF, 0xE200, 0x1BD4, 0x0031, {"QN-V1612-0031", kFcFamily, "Orvane Quillnet 2-port 16Gb Fibre Channel PCIe adapter, Port x", "QN-V1612"}, nullptr},
    {0x10DF, 0xE200, 0x1BD4, 0x0032, {"QN-V1614-0032", kFcFamily, "Orvane Quillnet 4-port 16Gb Fibre Channel PCIe adapter, Port x", "QN-V1614"}, nullptr},
    {0x10DF, 0xE200, 0x1054, 0x3070, {"QN-V0811-3070", kFcFamily, "Orvane Quillnet 1-port 8Gb Fibre Channel PCIe adapter, Port x", "QN-V0811"}, nullptr},
    {0x10DF, 0xE200, 0x1590, 0x0190, {"QN-V0812-0190", kFcFamily, "Orvane Quillnet 2-port 8Gb Fibre Channel PCIe adapter, Port x", "QN-V0812"}, nullptr},
    {0x10DF, 0xE200, 0x1734, 0x1200, {"QN-V1612B-1200", kFcFamily, "Orvane Quillnet 2-port 16Gb Fibre Channel blade mezzanine card, Port x", "QN-V1612B"}, nullptr},
};

// Tried in this order when no row matched.
const ModelTableDefault kDefaults[] = {
    {0xE220, {kVarrowFamilyBaseName, kFcoeGeneric, kFcoeGeneric, kVarrowFamilyBaseName}, nullptr},
    {0xE200, {kVarrowFamilyBaseName, kFcGeneric, kFcGeneric, kVarrowFamilyBaseName}, nullptr},
    {0, {kVarrowFamilyBaseName, kFcGeneric, kFcGeneric, kVarrowFamilyBaseName}, nullptr},
};

} // namespace

const ModelTable kVarrowModelTable = {
    isVarrowBoard, nullptr, kRows, sizeof kRows / sizeof kRows[0], kDefaults, sizeof kDefaults / sizeof kDefaults[0],
};

int GetVarrowAdapterModelAndDesc(_AdapterModelAndDesc *request)
{
    return LookupAdapterModel(request, &kVarrowModelTable);
}
