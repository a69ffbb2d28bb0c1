#include "mgmt/aw/vexo-backend/cntr_additional_attribs.h"

#include <cstring>

#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/aw/vexo-backend/set_prop_val.h"
#include "mgmt/aw/vexo-backend/vexo_ioctl.h"
#include "mgmt/aw/vexo-backend/vexo_mailbox.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"

// Stems of the boot-image file names: rows 1 to 113 for AW3 IPL numbers 1 to
// 113, rows 114 to 151 for Trelmont IPL numbers 256 to 293. Each stem codes
// the board ("A3" or "T5" and a board letter), the personality (N, I, F)
// and the maker the boot image is built for.
const char ipl_file_names[IPL_FILE_NAME_ROWS][IPL_FILE_NAME_SIZE] = {
    "", "A3ANTF", "A3BNTF", "A3CNTF", "A3DNTF", "A3ENTF", "A3FNTF", "A3GNTF",
    "A3HNTF", "A3AITF", "A3BITF", "A3CITF", "A3DITF", "A3EITF", "A3FITF", "A3GITF",
    "A3HITF", "A3AFTF", "A3BFTF", "A3CFTF", "A3DFTF", "A3EFTF", "A3FFTF", "A3GFTF",
    "A3HFTF", "A3ANOV", "A3BNOV", "A3CNOV", "A3DNOV", "A3ENOV", "A3FNOV", "A3GNOV",
    "A3HNOV", "A3AIOV", "A3BIOV", "A3CIOV", "A3DIOV", "A3EIOV", "A3FIOV", "A3GIOV",
    "A3HIOV", "A3AFOV", "A3BFOV", "A3CFOV", "A3DFOV", "A3EFOV", "A3FFOV", "A3GFOV",
    "A3HFOV", "A3ANHV", "A3BNHV", "A3CNHV", "A3DNHV", "A3ENHV", "A3FNHV", "A3GNHV",
    "A3HNHV", "A3AIHV", "A3BIHV", "A3CIHV", "A3DIHV", "A3EIHV", "A3FIHV", "A3GIHV",
    "A3HIHV", "A3AFHV", "A3BFHV", "A3CFHV", "A3DFHV", "A3EFHV", "A3FFHV", "A3GFHV",
    "A3HFHV", "A3ANKS", "A3BNKS", "A3CNKS", "A3DNKS", "A3ENKS", "A3FNKS", "A3GNKS",
    "A3HNKS", "A3AIKS", "A3BIKS", "A3CIKS", "A3DIKS", "A3EIKS", "A3FIKS", "A3GIKS",
    "A3HIKS", "A3AFKS", "A3BFKS", "A3CFKS", "A3DFKS", "A3EFKS", "A3FFKS", "A3GFKS",
    "A3HFKS", "A3ANRM", "A3BNRM", "A3CNRM", "A3DNRM", "A3ENRM", "A3FNRM", "A3GNRM",
    "A3HNRM", "A3AIRM", "A3BIRM", "A3CIRM", "A3DIRM", "A3EIRM", "A3FIRM", "A3GIRM",
    "A3HIRM", "A3AFRM", "T5ANTF0", "T5BNTF1", "T5CNTF2", "T5DNTF3", "T5AITF4", "T5BITF5",
    "T5CITF6", "T5DITF7", "T5AFTF8", "T5BFTF9", "T5CFTF0", "T5DFTF1", "T5ANOV2", "T5BNOV3",
    "T5CNOV4", "T5DNOV5", "T5AIOV6", "T5BIOV7", "T5CIOV8", "T5DIOV9", "T5AFOV0", "T5BFOV1",
    "T5CFOV2", "T5DFOV3", "T5ANHV4", "T5BNHV5", "T5CNHV6", "T5DNHV7", "T5AIHV8", "T5BIHV9",
    "T5CIHV0", "T5DIHV1", "T5AFHV2", "T5BFHV3", "T5CFHV4", "T5DFHV5", "T5ANKS6", "T5BNKS7",
};

namespace
{

// A firmware text field, taken up to its NUL and no further than its size.
struct FieldText {
    char text[40];
};

FieldText take(const char *field, size_t size)
{
    FieldText t;
    size_t n = strnlen(field, size);
    if (n >= sizeof t.text)
        n = sizeof t.text - 1;
    std::memcpy(t.text, field, n);
    t.text[n] = '\0';
    return t;
}

int write(node *adapter, const char *name, const char *text)
{
    return set_prop_val(adapter, name, "%s", text) == VEXO_STATUS_SUCCESS ? 0 : 1;
}

} // namespace

const char *ipl_stem(int family, unsigned int ipl_file_number)
{
    if (family == AW_TYPE_AW3 && ipl_file_number >= 1 && ipl_file_number <= 113)
        return ipl_file_names[ipl_file_number];
    if (family == AW_TYPE_TRELMONT && ipl_file_number > 255 && ipl_file_number <= 293)
        return ipl_file_names[ipl_file_number - 142];
    return nullptr;
}

extern "C" int VEXO_update_cntr_additional_attribs(node *adapter)
{
    if (!adapter)
        return 1;
    int family = get_aw_type(adapter);
    if (family == AW_TYPE_UNREADABLE) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s: Failed to get aw_type\n", __func__);
        return 1;
    }
    node *function = get_first_instance(adapter, "iSCSIPhysicalHBA");
    if (!function)
        function = get_first_instance(adapter, "NICPhysicalHBA");
    if (!function)
        return 1;
    int port = get_port_number(function);

    GET_CNTL_ADDITIONAL_ATTRIBUTES_PARAMS attrs;
    std::memset(&attrs, 0, sizeof attrs);
    int instance = vexo_is_instance(adapter) ? adapter->u.grp->multi_instance->instance : 0;
    VEXO_status_t status = ioctl_get_cnt_additional_attribs(port, &attrs, 0, 0, get_the_protocol(instance));
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_DEBUG, "%s: ioctl_get_cnt_additional_attribs status  = %d\n", __func__, status);
    if (status != VEXO_STATUS_SUCCESS)
        return status;

    const auto &r = attrs.response;
    struct {
        const char *name;
        const char *field;
        size_t size;
    } versions[] = {
        {"FCoEUniversalVersion", r.fcoe_universal_bios_version, sizeof r.fcoe_universal_bios_version},
        {"FCoEx86BIOSVersion", r.fcoe_x86_bios_version, sizeof r.fcoe_x86_bios_version},
        {"FCoEEFIVersion", r.fcoe_efi_bios_version, sizeof r.fcoe_efi_bios_version},
        {"FCoEFCODEVersion", r.fcoe_fcode_version, sizeof r.fcoe_fcode_version},
        {"UEFIBIOSVersion", r.uefi_bios_version, sizeof r.uefi_bios_version},
        {"UEFINICVersion", r.uefi_nic_version, sizeof r.uefi_nic_version},
        {"UEFIFCODEVersion", r.uefi_fcode_version, sizeof r.uefi_fcode_version},
        {"UEFISCSIVersion", r.uefi_iscsi_version, sizeof r.uefi_iscsi_version},
        {"PXEBIOSVersion", r.pxe_x86_bios_version, sizeof r.pxe_x86_bios_version},
    };
    int result = 0;
    for (const auto &v : versions)
        result |= write(adapter, v.name, take(v.field, v.size).text);

    if (family != AW_TYPE_VARROW && r.ext_phy_version[0] != '\0') {
        result |= write(adapter, "PHYFirmwareVersion", take(r.ext_phy_version, sizeof r.ext_phy_version).text);
        result |= set_prop_val(adapter, "PHYConfigurationId", "0x%s",
                               take(r.ext_phy_crc_label, sizeof r.ext_phy_crc_label).text) == VEXO_STATUS_SUCCESS
                      ? 0
                      : 1;
    } else {
        result |= write(adapter, "PHYFirmwareVersion", "N/A");
        result |= write(adapter, "PHYConfigurationId", "N/A");
    }

    if (r.ipl_file_name[0] != '\0') {
        FieldText name = take(r.ipl_file_name, sizeof r.ipl_file_name);
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:ipl_file_name = %s\n", __func__, name.text);
        result |= write(adapter, "IPLFileName", name.text);
    } else {
        unsigned int n = r.ipl_file_number;
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:ipl_file_no = %d\n", __func__, static_cast<int>(n));
        if (family == AW_TYPE_TRELMONT && n > 255)
            pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "%s:ipl_file_no = %d\n", __func__, static_cast<int>(n) - 142);
        const char *stem = ipl_stem(family, n);
        if (stem)
            result |= set_prop_val(adapter, "IPLFileName", "%s%X", stem, r.ipl_file_version) == VEXO_STATUS_SUCCESS
                          ? 0
                          : 1;
        else
            result |= write(adapter, "IPLFileName", "N/A");
    }
    return result;
}
