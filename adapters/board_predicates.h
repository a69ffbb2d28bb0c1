// Board predicates: adapter family, personality and board variant told by
// PCI ids alone. Pure functions; each answers 1 or 0.
//
// Single-id predicates take the device id. Variant predicates take four ids
// in the order device id, vendor id, subsystem device id, subsystem vendor id.
#ifndef HLVD_ADAPTERS_BOARD_PREDICATES_H
#define HLVD_ADAPTERS_BOARD_PREDICATES_H

#include <cstdint>

// FC HBA families.
int isEmbertipBoard(int32_t deviceId);
int isMarrowindBoard(int32_t deviceId);
int isKeddBoard(int32_t deviceId);
int isSolvaneBoard(int32_t deviceId);
int isWyndelBoard(int32_t deviceId);
int isOskaraBoard(int32_t deviceId);
int isMorvathBoard(int32_t deviceId);

// Converged Arcwright generations: gen-2 Brindlefin, gen-3 Gorsel, gen-4 Trelmont.
int isBrindlefinFCoEBoard(int32_t deviceId);
int isBrindlefiniSCSIBoard(int32_t deviceId);
int isBrindlefinNICBoard(int32_t deviceId);
int isBrindlefinBoard(int32_t deviceId);
int isBrindlefinBoardPhase1(int32_t deviceId);
int isGorselFCoEBoard(int32_t deviceId);
int isGorseliSCSIBoard(int32_t deviceId);
int isGorselNICBoard(int32_t deviceId);
int isGorselBoard(int32_t deviceId);
int isTrelmontFCoEBoard(int32_t deviceId);
int isTrelmontiSCSIBoard(int32_t deviceId);
int isTrelmontNICBoard(int32_t deviceId);
int isTrelmontBoard(int32_t deviceId);
int isArcwrightFCoEBoard(int32_t deviceId);
int isArcwrightiSCSIBoard(int32_t deviceId);
int isArcwrightNICBoard(int32_t deviceId);
int isArcwrightBoard(int32_t deviceId);

// Varrow family.
int isVarrowG6Board(int32_t deviceId);
int isVarrowFCBoard(int32_t deviceId);
int isVarrowFCoEBoard(int32_t deviceId);
int isVarrowiSCSIBoard(int32_t deviceId);
int isVarrowNICBoard(int32_t deviceId);
int isVarrowCNABoard(int32_t deviceId);
int isVarrowBoard(int32_t deviceId);

// Board variants.
int isOskaraBladeBoard(int32_t deviceId, int32_t vendorId, int32_t subDeviceId, int32_t subVendorId);
int isOskaraStagmereBladeBoard(int32_t deviceId, int32_t vendorId, int32_t subDeviceId, int32_t subVendorId);
int isKeddBladeBoard(int32_t deviceId, int32_t vendorId, int32_t subDeviceId, int32_t subVendorId);
int isSolvaneBladeBoard(int32_t deviceId, int32_t vendorId, int32_t subDeviceId, int32_t subVendorId);
int isWyndelBladeBoard(int32_t deviceId, int32_t vendorId, int32_t subDeviceId, int32_t subVendorId);
int isVarrow8GbFCBladeBoard(int32_t deviceId, int32_t vendorId, int32_t subDeviceId, int32_t subVendorId);
int isVarrow16GbFCBladeBoard(int32_t deviceId, int32_t vendorId, int32_t subDeviceId, int32_t subVendorId);
int isVarrow32GbFCBladeBoard(int32_t deviceId, int32_t vendorId, int32_t subDeviceId, int32_t subVendorId);
int isVarrowFCBladeBoard(int32_t deviceId, int32_t vendorId, int32_t subDeviceId, int32_t subVendorId);
int isVarrowFCoEBladeBoard(int32_t deviceId, int32_t vendorId, int32_t subDeviceId, int32_t subVendorId);
int isVarrowNICBladeBoard(int32_t deviceId, int32_t vendorId, int32_t subDeviceId, int32_t subVendorId);
int isVarrowCNABladeBoard(int32_t deviceId, int32_t vendorId, int32_t subDeviceId, int32_t subVendorId);
int isBrindlefinHalvardBmcBoard(int32_t deviceId, int32_t vendorId, int32_t subDeviceId, int32_t subVendorId);
int isBeaconableBladeBoard(int32_t deviceId, int32_t vendorId, int32_t subDeviceId, int32_t subVendorId);
int isDualDualChannelOskara(int32_t deviceId, int32_t vendorId, int32_t subDeviceId, int32_t subVendorId);
int isDualDualChannelWyndel(int32_t deviceId, int32_t vendorId, int32_t subDeviceId, int32_t subVendorId);
int isVarrowFCNICBoard(int32_t deviceId, int32_t vendorId, int32_t subDeviceId, int32_t subVendorId);

// Gen-3 boards with a copper PHY: device id, then the subsystem device id.
int isArcwrightCopperPhyBoard(int32_t deviceId, int32_t subDeviceId);

// PCI domain of an FCoE function, found by its WWN (8 bytes) through sysfs.
int GetDomainNumUsingLibSysFS(const uint8_t *wwn, void *a1, void *a2, void *a3, void *a4, void *a5, void *a6,
                              void *a7);
int GetDomainNumber(const uint8_t *wwn);
int GetDomainNumUsingSysDir(const uint8_t *wwn);

#endif
