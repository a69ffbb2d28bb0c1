#include "adapters/board_predicates.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dirent.h>

#include "os/host_env.h"

namespace {

// A set of device ids; a zero ends the list.
bool in_set(int32_t id, const int32_t *set)
{
    for (; *set; ++set)
        if (*set == id)
            return true;
    return false;
}

// One subsystem vendor with the subsystem device ids accepted with it.
struct SubsystemPairs {
    int32_t subVendor;
    const int32_t *subDevices; // zero-terminated
};

bool pair_listed(int32_t subDeviceId, int32_t subVendorId, const SubsystemPairs *pairs, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        if (pairs[i].subVendor == subVendorId && in_set(subDeviceId, pairs[i].subDevices))
            return true;
    return false;
}

template <size_t N>
bool pair_listed(int32_t subDeviceId, int32_t subVendorId, const SubsystemPairs (&pairs)[N])
{
    return pair_listed(subDeviceId, subVendorId, pairs, N);
}

const int32_t kOwnVendor = 0x10DF;
const int32_t kHalvard = 0x103C;
const int32_t kIbm = 0x1014;
const int32_t kVendor1734 = 0x1734;
const int32_t kVendor1054 = 0x1054;
const int32_t kVendor17AA = 0x17AA;

const int32_t kEmbertip[] = {0x1AE5, 0xF085, 0xF095, 0xF185, 0xF295, 0xF300, 0xF700,
                             0xF800, 0xF802, 0xF900, 0xF902, 0xF912, 0};
const int32_t kMarrowind[] = {0xF098, 0xF980, 0xF98D, 0};
const int32_t kKedd[] = {0xF0A1, 0xF0A5, 0xFA00, 0xFA0D, 0xFC00, 0xFDA5, 0};
const int32_t kSolvane[] = {0xF0D1, 0xF0D5, 0xFC10, 0xFC1D, 0xFD00, 0xFD0D, 0xFD11, 0xFD12, 0};
const int32_t kWyndel[] = {0xF0E1, 0xF0E5, 0xF0F5, 0xF0F6, 0xF0F7, 0xFC20, 0xFC2D,
                           0xFE00, 0xFE04, 0xFE05, 0xFE0D, 0xFE11, 0xFE12, 0xFED5, 0};
const int32_t kOskara[] = {0x338F, 0xF011, 0xF015, 0xF100, 0xF104, 0xF10A,
                           0xF10B, 0xF111, 0xF112, 0xF180, 0xFC40, 0};
const int32_t kMorvath[] = {0xE100, 0xE10A, 0xE10C, 0xE131, 0xFC50, 0};

const int32_t kBrindlefinFCoE[] = {0x214, 0x704, 0};
const int32_t kBrindlefiniSCSI[] = {0x212, 0x702, 0};
const int32_t kBrindlefinNIC[] = {0x211, 0x700, 0};
const int32_t kBrindlefinPhase1[] = {0x700, 0x702, 0x704, 0};
const int32_t kGorselFCoE[] = {0x714, 0x71C, 0};
const int32_t kGorseliSCSI[] = {0x712, 0x713, 0x71A, 0x71B, 0};
const int32_t kGorselNIC[] = {0x710, 0x718, 0};
const int32_t kTrelmontFCoE[] = {0x724, 0x72C, 0};
const int32_t kTrelmontiSCSI[] = {0x722, 0x723, 0x72A, 0x72B, 0};
const int32_t kTrelmontNIC[] = {0x720, 0x728, 0};

const int32_t kVarrowFC[] = {0xE200, 0xE208, 0};
const int32_t kVarrowFCoE[] = {0xE260, 0xE268, 0};
const int32_t kVarrowiSCSI[] = {0xE240, 0xE248, 0};
const int32_t kVarrowNIC[] = {0xE220, 0xE228, 0};

const int32_t kCopperPhy[] = {0xE701, 0xE703, 0xE723, 0xE727, 0xE741, 0xE743, 0};

} // namespace

int isEmbertipBoard(int32_t deviceId) { return in_set(deviceId, kEmbertip); }
int isMarrowindBoard(int32_t deviceId) { return in_set(deviceId, kMarrowind); }
int isKeddBoard(int32_t deviceId) { return in_set(deviceId, kKedd); }
int isSolvaneBoard(int32_t deviceId) { return in_set(deviceId, kSolvane); }
int isWyndelBoard(int32_t deviceId) { return in_set(deviceId, kWyndel); }
int isOskaraBoard(int32_t deviceId) { return in_set(deviceId, kOskara); }
int isMorvathBoard(int32_t deviceId) { return in_set(deviceId, kMorvath); }

int isBrindlefinFCoEBoard(int32_t deviceId) { return in_set(deviceId, kBrindlefinFCoE); }
int isBrindlefiniSCSIBoard(int32_t deviceId) { return in_set(deviceId, kBrindlefiniSCSI); }
int isBrindlefinNICBoard(int32_t deviceId) { return in_set(deviceId, kBrindlefinNIC); }
int isBrindlefinBoard(int32_t deviceId)
{
    return isBrindlefinFCoEBoard(deviceId) || isBrindlefiniSCSIBoard(deviceId) || isBrindlefinNICBoard(deviceId);
}
int isBrindlefinBoardPhase1(int32_t deviceId) { return in_set(deviceId, kBrindlefinPhase1); }

int isGorselFCoEBoard(int32_t deviceId) { return in_set(deviceId, kGorselFCoE); }
int isGorseliSCSIBoard(int32_t deviceId) { return in_set(deviceId, kGorseliSCSI); }
int isGorselNICBoard(int32_t deviceId) { return in_set(deviceId, kGorselNIC); }
int isGorselBoard(int32_t deviceId)
{
    return isGorselFCoEBoard(deviceId) || isGorseliSCSIBoard(deviceId) || isGorselNICBoard(deviceId);
}

int isTrelmontFCoEBoard(int32_t deviceId) { return in_set(deviceId, kTrelmontFCoE); }
int isTrelmontiSCSIBoard(int32_t deviceId) { return in_set(deviceId, kTrelmontiSCSI); }
int isTrelmontNICBoard(int32_t deviceId) { return in_set(deviceId, kTrelmontNIC); }
int isTrelmontBoard(int32_t deviceId)
{
    return isTrelmontFCoEBoard(deviceId) || isTrelmontiSCSIBoard(deviceId) || isTrelmontNICBoard(deviceId);
}

int isArcwrightFCoEBoard(int32_t deviceId)
{
    return isBrindlefinFCoEBoard(deviceId) || isGorselFCoEBoard(deviceId) || isTrelmontFCoEBoard(deviceId);
}
int isArcwrightiSCSIBoard(int32_t deviceId)
{
    return isBrindlefiniSCSIBoard(deviceId) || isGorseliSCSIBoard(deviceId) || isTrelmontiSCSIBoard(deviceId);
}
int isArcwrightNICBoard(int32_t deviceId)
{
    return isBrindlefinNICBoard(deviceId) || isGorselNICBoard(deviceId) || isTrelmontNICBoard(deviceId);
}
int isArcwrightBoard(int32_t deviceId)
{
    return isBrindlefinBoard(deviceId) || isGorselBoard(deviceId) || isTrelmontBoard(deviceId);
}

int isVarrowG6Board(int32_t deviceId) { return deviceId == 0xE300; }
int isVarrowFCBoard(int32_t deviceId) { return in_set(deviceId, kVarrowFC) || isVarrowG6Board(deviceId); }
int isVarrowFCoEBoard(int32_t deviceId) { return in_set(deviceId, kVarrowFCoE); }
int isVarrowiSCSIBoard(int32_t deviceId) { return in_set(deviceId, kVarrowiSCSI); }
int isVarrowNICBoard(int32_t deviceId) { return in_set(deviceId, kVarrowNIC); }
int isVarrowCNABoard(int32_t deviceId) { return isVarrowFCoEBoard(deviceId) || isVarrowNICBoard(deviceId); }
int isVarrowBoard(int32_t deviceId)
{
    return isVarrowFCBoard(deviceId) || isVarrowCNABoard(deviceId) || isVarrowG6Board(deviceId);
}

int isOskaraBladeBoard(int32_t deviceId, int32_t, int32_t subDeviceId, int32_t subVendorId)
{
    static const int32_t own[] = {0xF124, 0xF125, 0xF126, 0xF127, 0xF12A, 0xF12B, 0xF12C, 0xF130, 0xF131,
                                  0xF134, 0xF135, 0xF136, 0xF137, 0xF13A, 0xF13B, 0xF13C, 0};
    static const int32_t halvard[] = {0x1719, 0};
    static const int32_t v1734[] = {0x113C, 0};
    static const int32_t v1054[] = {0x3053, 0};
    static const SubsystemPairs pairs[] = {
        {kOwnVendor, own}, {kHalvard, halvard}, {kVendor1734, v1734}, {kVendor1054, v1054}};
    return deviceId == 0xF100 && pair_listed(subDeviceId, subVendorId, pairs);
}

int isOskaraStagmereBladeBoard(int32_t deviceId, int32_t, int32_t subDeviceId, int32_t subVendorId)
{
    return deviceId == 0xF100 && subVendorId == kHalvard && subDeviceId == 0x338F;
}

int isKeddBladeBoard(int32_t, int32_t, int32_t subDeviceId, int32_t subVendorId)
{
    return subVendorId == kHalvard && subDeviceId == 0x1702;
}

int isSolvaneBladeBoard(int32_t, int32_t, int32_t subDeviceId, int32_t subVendorId)
{
    static const int32_t own[] = {0xFD22, 0xFD23, 0xFD24, 0};
    return subVendorId == kOwnVendor && in_set(subDeviceId, own);
}

int isWyndelBladeBoard(int32_t, int32_t, int32_t subDeviceId, int32_t subVendorId)
{
    static const int32_t own[] = {0xFE22, 0xFE24, 0xFE25, 0xFE26, 0};
    static const int32_t v1734[] = {0x10F4, 0};
    static const int32_t halvard[] = {0x1708, 0};
    static const SubsystemPairs pairs[] = {{kOwnVendor, own}, {kVendor1734, v1734}, {kHalvard, halvard}};
    return pair_listed(subDeviceId, subVendorId, pairs);
}

int isVarrow8GbFCBladeBoard(int32_t deviceId, int32_t, int32_t subDeviceId, int32_t subVendorId)
{
    static const int32_t own[] = {0xE211, 0xE214, 0xE216, 0xE264, 0xE294, 0};
    static const int32_t v17AA[] = {0x1055, 0};
    static const SubsystemPairs pairs[] = {{kOwnVendor, own}, {kVendor17AA, v17AA}};
    return isVarrowFCBoard(deviceId) && pair_listed(subDeviceId, subVendorId, pairs);
}

int isVarrow16GbFCBladeBoard(int32_t deviceId, int32_t, int32_t subDeviceId, int32_t subVendorId)
{
    static const int32_t own[] = {0xE202, 0xE209, 0xE20B, 0xE20C, 0xE218, 0xE275,
                                  0xE276, 0xE277, 0xE282, 0xE287, 0xE293, 0};
    static const int32_t halvard[] = {0x8001, 0};
    static const int32_t v1734[] = {0x1208, 0};
    static const int32_t v1054[] = {0x307E, 0};
    static const int32_t v17AA[] = {0x1054, 0};
    static const SubsystemPairs pairs[] = {
        {kOwnVendor, own}, {kHalvard, halvard}, {kVendor1734, v1734}, {kVendor1054, v1054}, {kVendor17AA, v17AA}};
    return isVarrowFCBoard(deviceId) && pair_listed(subDeviceId, subVendorId, pairs);
}

int isVarrow32GbFCBladeBoard(int32_t deviceId, int32_t, int32_t subDeviceId, int32_t subVendorId)
{
    static const int32_t own[] = {0xE374, 0xE375, 0xE3F0, 0};
    return isVarrowG6Board(deviceId) && subVendorId == kOwnVendor && in_set(subDeviceId, own);
}

int isVarrowFCBladeBoard(int32_t deviceId, int32_t vendorId, int32_t subDeviceId, int32_t subVendorId)
{
    return isVarrowFCBoard(deviceId) && (isVarrow8GbFCBladeBoard(deviceId, vendorId, subDeviceId, subVendorId) ||
                                         isVarrow16GbFCBladeBoard(deviceId, vendorId, subDeviceId, subVendorId) ||
                                         isVarrow32GbFCBladeBoard(deviceId, vendorId, subDeviceId, subVendorId));
}

int isVarrowFCoEBladeBoard(int32_t deviceId, int32_t, int32_t subDeviceId, int32_t subVendorId)
{
    static const int32_t own[] = {0xE20C, 0xE263, 0xE264, 0xE266, 0xE272, 0xE274, 0xE275, 0xE276, 0xE277, 0};
    static const int32_t ibm[] = {0x0434, 0x0452, 0x04BB, 0};
    static const SubsystemPairs pairs[] = {{kOwnVendor, own}, {kIbm, ibm}};
    return isVarrowFCoEBoard(deviceId) && pair_listed(subDeviceId, subVendorId, pairs);
}

int isVarrowNICBladeBoard(int32_t deviceId, int32_t, int32_t subDeviceId, int32_t subVendorId)
{
    static const int32_t own[] = {0xE20C, 0xE221, 0xE223, 0xE263, 0xE264, 0xE266,
                                  0xE272, 0xE274, 0xE275, 0xE276, 0xE277, 0};
    static const int32_t ibm[] = {0x0433, 0x0451, 0x04BA, 0};
    static const SubsystemPairs pairs[] = {{kOwnVendor, own}, {kIbm, ibm}};
    return isVarrowNICBoard(deviceId) && pair_listed(subDeviceId, subVendorId, pairs);
}

int isVarrowCNABladeBoard(int32_t deviceId, int32_t vendorId, int32_t subDeviceId, int32_t subVendorId)
{
    return isVarrowFCoEBladeBoard(deviceId, vendorId, subDeviceId, subVendorId) ||
           isVarrowNICBladeBoard(deviceId, vendorId, subDeviceId, subVendorId);
}

int isBrindlefinHalvardBmcBoard(int32_t deviceId, int32_t, int32_t subDeviceId, int32_t subVendorId)
{
    static const int32_t halvard[] = {0x1747, 0x1749, 0x174B, 0};
    return isBrindlefinBoard(deviceId) && subVendorId == kHalvard && in_set(subDeviceId, halvard);
}

int isBeaconableBladeBoard(int32_t deviceId, int32_t, int32_t subDeviceId, int32_t subVendorId)
{
    static const int32_t withF100[] = {0xF134, 0xF135, 0xF136, 0};
    static const int32_t withE200[] = {0xE20B, 0xE21C, 0xE264, 0};
    if (subVendorId != kOwnVendor)
        return 0;
    if (deviceId == 0xF100)
        return in_set(subDeviceId, withF100);
    if (deviceId == 0xE200)
        return in_set(subDeviceId, withE200);
    return 0;
}

int isDualDualChannelOskara(int32_t deviceId, int32_t, int32_t subDeviceId, int32_t subVendorId)
{
    return deviceId == 0xF100 && ((subVendorId == kOwnVendor && subDeviceId == 0xF121) ||
                                  (subVendorId == kIbm && subDeviceId == 0x0401));
}

int isDualDualChannelWyndel(int32_t deviceId, int32_t, int32_t subDeviceId, int32_t)
{
    return (deviceId == 0xFE00 && subDeviceId == 0xFE27) || (deviceId == 0xFE14 && subDeviceId == 0xFE14);
}

int isVarrowFCNICBoard(int32_t deviceId, int32_t vendorId, int32_t subDeviceId, int32_t subVendorId)
{
    return isVarrowFCBoard(deviceId) && vendorId == kOwnVendor && subVendorId == kOwnVendor &&
           subDeviceId == 0xE264;
}

int isArcwrightCopperPhyBoard(int32_t deviceId, int32_t subDeviceId)
{
    return isGorselBoard(deviceId) && in_set(subDeviceId, kCopperPhy);
}

// ---------------------------------------------------------------------------
// PCI domain of an FCoE function.

int GetDomainNumUsingLibSysFS(const uint8_t *, void *, void *, void *, void *, void *, void *, void *)
{
    return -1;
}

int GetDomainNumber(const uint8_t *wwn)
{
    int domain = GetDomainNumUsingLibSysFS(wwn, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    if (static_cast<unsigned int>(domain) <= 254)
        return domain;
    return GetDomainNumUsingSysDir(wwn);
}

namespace {

const char kFcoeDriverDir[] = "/sys/bus/pci/drivers/hlvdfcoe";

// Formats into `out`; false when the text does not fit (the path is then
// not tried rather than cut).
bool format_path(char *out, size_t size, const char *format, ...) __attribute__((format(printf, 3, 4)));
bool format_path(char *out, size_t size, const char *format, ...)
{
    va_list ap;
    va_start(ap, format);
    int n = std::vsnprintf(out, size, format, ap);
    va_end(ap);
    return n >= 0 && static_cast<size_t>(n) < size;
}

// Reads at most 50 bytes of a port name file; 0 when there is none.
size_t read_port_name(const char *path, char *out)
{
    FILE *f = std::fopen(path, "r");
    if (!f)
        return 0;
    size_t n = std::fread(out, 1, 50, f);
    std::fclose(f);
    out[n] = '\0';
    return n;
}

// The port name of one host entry, trying the places sysfs may keep it.
size_t host_port_name(const char *driverDir, const char *function, const char *host, char *out)
{
    char path[1024];
    char abs[512];
    if (format_path(path, sizeof path, "%s/%s/%s/fc_host/%s/port_name", driverDir, function, host, host) &&
        read_port_name(path, out) > 0)
        return 1;
    if (format_path(path, sizeof path, "%s/%s/%s/fc_host:%s/port_name", driverDir, function, host, host) &&
        read_port_name(path, out) > 0)
        return 1;
    if (format_path(abs, sizeof abs, "/sys/class/fc_host/%s/port_name", host) &&
        host_path(abs, path, sizeof path) == 0 && read_port_name(path, out) > 0)
        return 1;
    if (format_path(abs, sizeof abs, "/sys/class/scsi_host/%s/port_name", host) &&
        host_path(abs, path, sizeof path) == 0 && read_port_name(path, out) > 0)
        return 1;
    return 0;
}

} // namespace

int GetDomainNumUsingSysDir(const uint8_t *wwn)
{
    if (!wwn)
        return -1;
    char driverDir[512];
    if (host_path(kFcoeDriverDir, driverDir, sizeof driverDir) != 0)
        return -1;
    char wanted[32];
    std::snprintf(wanted, sizeof wanted, "0x%02x%02x%02x%02x%02x%02x%02x%02x", wwn[0], wwn[1], wwn[2], wwn[3],
                  wwn[4], wwn[5], wwn[6], wwn[7]);

    DIR *drivers = opendir(driverDir);
    if (!drivers)
        return -1;
    int result = -1;
    while (result < 0) {
        struct dirent *fn = readdir(drivers);
        if (!fn)
            break;
        if (std::strcmp(fn->d_name, ".") == 0 || std::strcmp(fn->d_name, "..") == 0)
            continue;
        char fnDir[1024];
        if (!format_path(fnDir, sizeof fnDir, "%s/%s", driverDir, fn->d_name))
            continue;
        DIR *hosts = opendir(fnDir);
        if (!hosts)
            continue;
        while (struct dirent *h = readdir(hosts)) {
            if (std::strncmp(h->d_name, "host", 4) != 0)
                continue;
            char portName[51];
            if (host_port_name(driverDir, fn->d_name, h->d_name, portName) == 0)
                continue;
            if (std::strncmp(portName, wanted, 18) == 0) {
                result = static_cast<int>(std::strtol(fn->d_name, nullptr, 16));
                break;
            }
        }
        closedir(hosts);
    }
    closedir(drivers);
    return result;
}
