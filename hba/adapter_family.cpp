#include "hba/adapter_family.h"

#include "adapters/adapter_table.h"
#include "adapters/board_predicates.h"
#include "flash/engine_log.h"
#include "hba/mbox_commands.h"
#include "hba/program_ids.inc"

namespace {

// The shipped data must keep the table counts and id counts the checks were
// written for.
constexpr bool tables_well_formed(const ProgramIdTableRef *tables, size_t count, size_t expected, uint8_t most)
{
    if (count != expected)
        return false;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t n = tables[i].ids[0];
        if (n < 1 || n > most || tables[i].size != n + 1u)
            return false;
    }
    return true;
}

template <size_t N>
constexpr size_t count_of(const ProgramIdTableRef (&)[N])
{
    return N;
}

static_assert(tables_well_formed(kStubTables, count_of(kStubTables), 42, 4), "stub tables");
static_assert(tables_well_formed(kBootTables, count_of(kBootTables), 43, 7), "boot code tables");
static_assert(tables_well_formed(kSli1Tables, count_of(kSli1Tables), 30, 3), "SLI-1 tables");
static_assert(tables_well_formed(kSli2Tables, count_of(kSli2Tables), 46, 5), "SLI-2 tables");
static_assert(tables_well_formed(kSli3And4Tables, count_of(kSli3And4Tables), 40, 5), "SLI-3/4 tables");
static_assert(tables_well_formed(kFwcTables, count_of(kFwcTables), 1, 1), "FWC table");
static_assert(count_of(kStubTables) + count_of(kBootTables) + count_of(kSli1Tables) + count_of(kSli2Tables) +
                      count_of(kSli3And4Tables) + count_of(kFwcTables) ==
                  202,
              "202 program-id tables");

// SRAM bus limit of the dual-channel adapters of JEDEC id 0x38.
const uint32_t kDualChannelRbus = 0x7FFFC;

const uint32_t kTwoMbFamilies[] = {
    0xF0A1, 0xF0A5, 0xFA00, 0xF098, 0xF98D, 0xF980, 0xFC10, 0xF0D5, 0xF0D1, 0xFD11, 0xFD12,
    0xFD00, 0xF0F5, 0xF0F6, 0xF0F7, 0xFE04, 0xFE05, 0xFC20, 0xF0E5, 0xF0E1, 0xFE11, 0xFE12,
    0xFE00, 0xF104, 0xF111, 0xF112, 0xFC40, 0xF015, 0xF011, 0xF10B, 0x338F, 0xF180, 0xE131,
    0xF100, 0xFB00,
};
const uint16_t kTwoMbJedecIds[] = {18, 56, 868, 1296, 1399, 4100};
const uint16_t kDirectDownloadJedecIds[] = {18, 868, 1296, 1399, 4100};

const _Adapter *entry(int board)
{
    const uint32_t index = static_cast<uint8_t>(board);
    return gAdapters && AdapterExists4(index) ? &gAdapters[index] : nullptr;
}

bool listed(uint32_t value, const uint32_t *list, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        if (list[i] == value)
            return true;
    return false;
}

bool listed16(uint32_t value, const uint16_t *list, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        if (list[i] == value)
            return true;
    return false;
}

// ---------------------------------------------------------------------------
// The check matrix: per family, per image type, which table applies.

enum Condition : uint8_t { ALWAYS, IF_DC, IF_IBM, IF_DC_AND_IBM, IF_DEVICE };
enum ColumnKind : uint8_t { USE_TABLE, ANY_ID, REJECT_ALL };

struct Choice {
    Condition when;
    uint16_t device;
    const uint8_t *table;
};

struct Column {
    ColumnKind kind;
    bool versionRule;
    Choice choices[4];
};

struct Row {
    uint16_t families[3]; // 0 ends the list
    Column columns[5];    // stub, boot, SLI-1, SLI-2, SLI-3/4
};

constexpr Column T(const uint8_t *t)
{
    return Column{USE_TABLE, false, {{ALWAYS, 0, t}, {}, {}, {}}};
}
constexpr Column V(const uint8_t *t)
{
    return Column{USE_TABLE, true, {{ALWAYS, 0, t}, {}, {}, {}}};
}
constexpr Column DC(const uint8_t *dc, const uint8_t *other)
{
    return Column{USE_TABLE, false, {{IF_DC, 0, dc}, {ALWAYS, 0, other}, {}, {}}};
}
constexpr Column DEV(uint16_t device, const uint8_t *t, const uint8_t *other)
{
    return Column{USE_TABLE, false, {{IF_DEVICE, device, t}, {ALWAYS, 0, other}, {}, {}}};
}
constexpr Column DC_IBM(const uint8_t *both, const uint8_t *dc, const uint8_t *ibm, const uint8_t *other)
{
    return Column{USE_TABLE, false, {{IF_DC_AND_IBM, 0, both}, {IF_DC, 0, dc}, {IF_IBM, 0, ibm}, {ALWAYS, 0, other}}};
}
constexpr Column DC_OR_IBM(const uint8_t *dc, const uint8_t *ibm, const uint8_t *other)
{
    return Column{USE_TABLE, false, {{IF_DC, 0, dc}, {IF_IBM, 0, ibm}, {ALWAYS, 0, other}, {}}};
}
constexpr Column ANY{ANY_ID, false, {}};
constexpr Column REJECT{REJECT_ALL, false, {}};

constexpr Row kMatrix[] = {
    {{0x1AE5}, {T(T2_1), T(T3_1), T(T6_1), T(T7_1), REJECT}},
    {{0xF700}, {T(T2_2), T(T3_2), T(T6_2), T(T7_2), REJECT}},
    {{0xF800}, {V(T2_3), T(T3_3), V(T6_3), V(T7_3), REJECT}},
    {{0xF802}, {T(T2_3), T(T3_3), T(T6_3), T(T7_4), REJECT}},
    {{0xF900}, {T(T2_4), T(T3_4), T(T6_5), T(T7_5), REJECT}},
    {{0xF085}, {T(T2_5), T(T3_5), T(T6_4), T(T7_6), REJECT}},
    {{0xF095}, {T(T2_6), T(T3_6), T(T6_6), T(T7_7), REJECT}},
    {{0xF980}, {T(T2_7), T(T3_7), T(T6_7), T(T7_8), T(TB_1)}},
    {{0xF98D}, {T(T2_8), T(T3_7), T(T6_8), T(T7_9), T(TB_2)}},
    {{0xF098}, {T(T2_9), T(T3_8), T(T6_9), T(T7_10), T(TB_3)}},
    {{0xF0A1}, {T(T2_12), DEV(0xFC01, T3_9, T3_10), T(T6_10), T(T7_11), T(TB_4)}},
    {{0xFA00}, {T(T2_10), DEV(0xFC00, T3_11, T3_12), T(T6_11), T(T7_12), T(TB_5)}},
    {{0xF0A5}, {T(T2_11), DEV(0xFC05, T3_13, T3_14), T(T6_12), T(T7_13), T(TB_6)}},
    {{0xFB00}, {ANY, T(T3_15), REJECT, T(T7_14), T(TB_7)}},
    {{0xFD00},
     {DC_IBM(T2_13, T2_14, T2_15, T2_16), DC(T3_16, T3_17), DC(T6_13, T6_14), DC_IBM(T7_15, T7_16, T7_17, T7_18),
      DC_IBM(TB_8, TB_9, TB_10, TB_11)}},
    {{0xF0D5}, {T(T2_17), T(T3_18), T(T6_15), T(T7_19), T(TB_12)}},
    {{0xFC10}, {DC(T2_18, T2_19), DC(T3_19, T3_20), DC(T6_17, T6_18), DC(T7_21, T7_22), DC(TB_14, TB_15)}},
    {{0xF0D1}, {T(T2_20), T(T3_21), T(T6_16), T(T7_20), T(TB_13)}},
    {{0xFD11}, {T(T2_21), T(T3_22), T(T6_19), T(T7_23), T(TB_16)}},
    {{0xFD12}, {T(T2_22), T(T3_23), T(T6_20), T(T7_24), T(TB_17)}},
    {{0xF100, 0xF104},
     {DC(T2_23, T2_24), DC(T3_24, T3_25), ANY, DC(T7_25, T7_26), DC_OR_IBM(TB_18, TB_19, TB_20)}},
    {{0xF10B}, {DC(T2_23, T2_24), DC(T3_24, T3_25), ANY, T(T7_29), T(TB_24)}},
    {{0x338F}, {DC(T2_23, T2_24), DC(T3_24, T3_25), ANY, T(T7_30), T(TB_25)}},
    {{0xF111, 0xF112}, {T(T2_24), T(T3_25), ANY, DC(T7_25, T7_26), ANY}},
    {{0xF015}, {DC(T2_25, T2_26), DC(T3_26, T3_27), ANY, DC(T7_27, T7_28), DC(TB_21, TB_22)}},
    {{0xF011}, {T(T2_27), T(T3_28), ANY, T(T7_31), T(TB_23)}},
    {{0xFE04}, {T(T2_28), T(T3_29), T(T6_23), T(T7_38), T(TB_26)}},
    {{0xFE00},
     {DC_IBM(T2_29, T2_30, T2_31, T2_32), DC(T3_30, T3_31), DC(T6_21, T6_22), DC_IBM(T7_32, T7_33, T7_34, T7_35),
      DC_IBM(TB_27, TB_28, TB_29, TB_30)}},
    {{0xFE05}, {DC(T2_33, T2_34), DC(T3_32, T3_33), ANY, DC(T7_36, T7_37), DC(TB_31, TB_32)}},
    {{0xF0E5}, {T(T2_35), T(T3_34), T(T6_24), T(T7_39), T(TB_33)}},
    {{0xF0E1}, {T(T2_36), T(T3_35), T(T6_27), T(T7_42), T(TB_36)}},
    {{0xFC20}, {DC(T2_37, T2_38), DC(T3_36, T3_37), DC(T6_25, T6_26), DC(T7_40, T7_41), DC(TB_34, TB_35)}},
    {{0xFE11}, {T(T2_39), T(T3_38), T(T6_28), T(T7_43), T(TB_37)}},
    {{0xFE12}, {T(T2_40), T(T3_39), T(T6_29), T(T7_44), T(TB_38)}},
    {{0xF0F5, 0xF0F6, 0xF0F7}, {T(T2_41), T(T3_40), T(T6_30), T(T7_45), T(TB_39)}},
    {{0xFC30}, {T(T2_41), T(T3_41), T(T6_30), T(T7_45), T(TB_39)}},
    {{0xF180}, {T(T2_42), T(T3_42), ANY, T(T7_46), T(TB_40)}},
};

enum CheckColumn { STUB_COLUMN, BOOT_COLUMN, SLI1_COLUMN, SLI2_COLUMN, SLI3_AND_4_COLUMN };

const Row *row_of(uint32_t family)
{
    for (const Row &row : kMatrix)
        for (uint16_t f : row.families)
            if (f != 0 && f == family)
                return &row;
    return nullptr;
}

bool holds(const Choice &c, const _Adapter &a)
{
    const bool dc = (a.flags & ADAPTER_FLAG_DUAL_CHANNEL) != 0;
    const bool ibm = a.ibmPSeries != 0;
    switch (c.when) {
    case ALWAYS:
        return true;
    case IF_DC:
        return dc;
    case IF_IBM:
        return ibm;
    case IF_DC_AND_IBM:
        return dc && ibm;
    case IF_DEVICE:
        return a.deviceId == c.device;
    }
    return false;
}

DOWNLOAD_STATUS incorrect_adapter()
{
    QBprintf("Incompatible Image - Incorrect Adapter\n");
    return DownloadStatusOf(INCOMPAT_IMAGE_ERROR, INCORRECT_ADPT);
}

DOWNLOAD_STATUS check_family(int board, const PRG_HEADER &header, CheckColumn column)
{
    const Row *row = row_of(AdapterFamily(static_cast<uint8_t>(board)));
    const _Adapter *a = entry(board);
    // A family outside the matrix (unknown ones included) takes every id.
    if (!row || !a)
        return DOWNLOAD_OK;
    const Column &col = row->columns[column];
    if (col.kind == ANY_ID)
        return DOWNLOAD_OK;
    if (col.kind == REJECT_ALL)
        return incorrect_adapter();
    const uint32_t word0 = header.programId[0];
    if (col.versionRule && ((word0 >> 12) & 0xF) > 2 && ((word0 >> 8) & 0xF) > 7) {
        QBprintf("Incompatible Image - Incorrect Version\n");
        return DownloadStatusOf(INCOMPAT_IMAGE_ERROR, INCORRECT_VERSION);
    }
    for (const Choice &c : col.choices) {
        if (c.table && holds(c, *a))
            return checkId(static_cast<int>((word0 >> 16) & 0xFF), c.table) == 0 ? DOWNLOAD_OK : incorrect_adapter();
    }
    return DOWNLOAD_OK;
}

} // namespace

uint32_t AdapterFamily(uint8_t index)
{
    return AdapterFamily_DOS(index);
}

uint32_t AdapterFamily_DOS(int board)
{
    const _Adapter *a = entry(board);
    if (!a)
        return ADAPTER_FAMILY_UNKNOWN;
    const uint32_t device = a->deviceId;
    switch (a->jedecId) {
    case 0x12:
        if (device == 0xF0A1 || device == 0xFC01)
            return 0xF0A1;
        if (device == 0xF0A5 || device == 0xFC05)
            return 0xF0A5;
        return 0xFA00;
    case 0x20:
        return 0xF700;
    case 0x21:
        return device == 0xF085 ? 0xF085 : 0xF800;
    case 0x25:
        return device == 0xF085 ? 0xF085 : 0xF802;
    case 0x26:
    case 0x28:
        return device == 0xF095 ? 0xF095 : 0xF900;
    case 0x38: {
        if (device == 0xF098)
            return 0xF098;
        uint32_t rbus = 0, ibus = 0;
        if (GetMaxSramSize(static_cast<uint8_t>(board), &rbus, &ibus) == 0 && rbus == kDualChannelRbus)
            return ADAPTER_FAMILY_DUAL_CHANNEL;
        return ADAPTER_FAMILY_SINGLE_CHANNEL;
    }
    case 0x364:
        if (device == 0xFC10 || device == 0xF0D5 || device == 0xF0D1 || device == 0xFD11 || device == 0xFD12)
            return device;
        return 0xFD00;
    case 0x510:
        if (device == 0xFC30 || device == 0xF0F5 || device == 0xF0F6 || device == 0xF0F7)
            return device;
        return ADAPTER_FAMILY_UNKNOWN;
    case 0x577:
        if (device == 0xFE04 || device == 0xFE05 || device == 0xFC20 || device == 0xF0E5 || device == 0xF0E1 ||
            device == 0xFE11 || device == 0xFE12)
            return device;
        return 0xFE00;
    case 0x1004:
        if (device == 0xF104 || device == 0xF111 || device == 0xF112 || device == 0xFC40 || device == 0xF015 ||
            device == 0xF011)
            return device;
        if (device == 0xF100 && isOskaraBladeBoard(a->deviceId, a->vendorId, a->subDeviceId, a->subVendorId))
            return 0xF10B;
        if (device == 0xF100 && isOskaraStagmereBladeBoard(a->deviceId, a->vendorId, a->subDeviceId, a->subVendorId))
            return 0x338F;
        if (device == 0xF180 || device == 0xE131)
            return device;
        return 0xF100;
    case 0x1ACC:
        return 0x1AE5;
    case 0x4838:
        return 0xFB00;
    default:
        return ADAPTER_FAMILY_UNKNOWN;
    }
}

int IsIt2MFamily(int board)
{
    return listed(AdapterFamily(static_cast<uint8_t>(board)), kTwoMbFamilies, sizeof kTwoMbFamilies / sizeof(uint32_t))
               ? 1
               : 0;
}

int IsIt2MjedecID(int board)
{
    const _Adapter *a = entry(board);
    return a && listed16(a->jedecId, kTwoMbJedecIds, sizeof kTwoMbJedecIds / sizeof(uint16_t)) ? 1 : 0;
}

int IsItDirectDownloadJedecID(int board)
{
    const _Adapter *a = entry(board);
    return a && listed16(a->jedecId, kDirectDownloadJedecIds, sizeof kDirectDownloadJedecIds / sizeof(uint16_t)) ? 1
                                                                                                                    : 0;
}

int IsItDirectDownloadJedecID1()
{
    return 1;
}

int checkId(int id, const uint8_t *table)
{
    if (!table)
        return 1;
    const uint8_t want = static_cast<uint8_t>(id);
    for (int i = 1; i <= table[0]; ++i)
        if (table[i] == want)
            return 0;
    return 1;
}

DOWNLOAD_STATUS checkFamilyRelativeStub(int board, PRG_HEADER header)
{
    return check_family(board, header, STUB_COLUMN);
}

DOWNLOAD_STATUS checkFamilyRelativePciBootType(int board, PRG_HEADER header)
{
    return check_family(board, header, BOOT_COLUMN);
}

DOWNLOAD_STATUS checkFamilyRelativeSLI1(int board, PRG_HEADER header)
{
    return check_family(board, header, SLI1_COLUMN);
}

DOWNLOAD_STATUS checkFamilyRelativeSLI2(int board, PRG_HEADER header)
{
    return check_family(board, header, SLI2_COLUMN);
}

DOWNLOAD_STATUS checkFamilyRelativeSLI3and4(int board, PRG_HEADER header)
{
    return check_family(board, header, SLI3_AND_4_COLUMN);
}
