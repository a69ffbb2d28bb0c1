#include "mgmt/aw/vexo-backend/core_dump_templates.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "mgmt/aw/vexo-backend/core_dump.h"
#include "mgmt/aw/vexo-backend/linux/os_services.h"
#include "mgmt/aw/vexo-backend/node_helpers.h"
#include "mgmt/vexo/core/debug.h"
#include "mgmt/vexo/core/hm.h"

namespace
{

// A program: the dump engine expects 15 zero words ahead of the code and a
// zero word to end it. The words between are synthetic: the dump engine's
// real programs are firmware data this build does not carry, and the
// simulated firmware checks only a program's length.
template <size_t N>
constexpr std::array<uint32_t, N> program(uint32_t seed)
{
    static_assert(N >= 16, "a program holds its zero head and tail");
    std::array<uint32_t, N> w{};
    for (size_t i = 15; i + 1 < N; ++i)
        w[i] = (seed << 8) ^ static_cast<uint32_t>(i * 0x9E3779B1u) ^ 0x01000000u;
    return w;
}

struct UsedRow {
    uint16_t index;
    uint8_t dead_mode;
    uint8_t live_mode;
    uint8_t compress;
    uint32_t max_instance;
    uint32_t length;
    uint32_t bc_length;
    const uint32_t *code;
};

#define CODE(p) static_cast<uint32_t>((p).size()), (p).data()

constexpr auto aw2_000D_pci_cfg = program<107>(0x2000Du);
constexpr auto aw2_000E_vital_registers = program<114>(0x2000Eu);
constexpr auto aw2_0010_cause_ue = program<27>(0x20010u);
constexpr auto aw2_0020_csr = program<38>(0x20020u);
constexpr auto aw2_0024_ctx = program<66>(0x20024u);
constexpr auto aw2_0026_cev = program<80>(0x20026u);
constexpr auto aw2_0028_dt = program<94>(0x20028u);
constexpr auto aw2_0040_ep_tpost_dram = program<60>(0x20040u);
constexpr auto aw2_0041_ep_tpost_iram = program<67>(0x20041u);
constexpr auto aw2_0042_ep_tpost_stats = program<74>(0x20042u);
constexpr auto aw2_0048_ep_tpre_dram = program<116>(0x20048u);
constexpr auto aw2_0049_ep_tpre_iram = program<22>(0x20049u);
constexpr auto aw2_004A_ep_tpre_stats = program<29>(0x2004Au);
constexpr auto aw2_0050_ep_rxulp0_dram = program<71>(0x20050u);
constexpr auto aw2_0051_ep_rxulp0_iram = program<78>(0x20051u);
constexpr auto aw2_0052_ep_rxulp0_stats = program<85>(0x20052u);
constexpr auto aw2_0058_ep_rxulp1_dram = program<26>(0x20058u);
constexpr auto aw2_0059_ep_rxulp1_iram = program<33>(0x20059u);
constexpr auto aw2_005A_ep_rxulp1_stats = program<40>(0x2005Au);
constexpr auto aw2_0060_ep_txulp0_dram = program<82>(0x20060u);
constexpr auto aw2_0061_ep_txulp0_iram = program<89>(0x20061u);
constexpr auto aw2_0062_ep_txulp0_stats = program<96>(0x20062u);
constexpr auto aw2_0068_ep_txulp1_dram = program<37>(0x20068u);
constexpr auto aw2_0069_ep_txulp1_iram = program<44>(0x20069u);
constexpr auto aw2_006A_ep_txulp1_stats = program<51>(0x2006Au);
constexpr auto aw2_0070_uc_stats = program<93>(0x20070u);
constexpr auto aw2_0071_uc_stats = program<100>(0x20071u);
constexpr auto aw2_0072_txp_stats = program<107>(0x20072u);
constexpr auto aw2_0073_rxf_stats = program<114>(0x20073u);
constexpr auto aw2_0088_ep_tpost_dram = program<59>(0x20088u);
constexpr auto aw2_008A_txpb_buffers = program<73>(0x2008Au);
constexpr auto aw2_008C_pqs = program<87>(0x2008Cu);
constexpr auto aw2_00B0_txp_txds = program<36>(0x200B0u);
constexpr auto aw2_0100_ddr = program<91>(0x20100u);
constexpr auto aw2_0120_read_flash = program<113>(0x20120u);
constexpr auto aw2_0130_eeprom = program<23>(0x20130u);
constexpr auto aw3_000D_pci_cfg = program<107>(0x3000Du);
constexpr auto aw3_000E_vital_registers = program<114>(0x3000Eu);
constexpr auto aw3_0010_cause_ue = program<27>(0x30010u);
constexpr auto aw3_0020_csr = program<38>(0x30020u);
constexpr auto aw3_0024_ctx = program<66>(0x30024u);
constexpr auto aw3_0026_cev = program<80>(0x30026u);
constexpr auto aw3_0028_dt = program<94>(0x30028u);
constexpr auto aw3_0040_ep_tpost_dram = program<60>(0x30040u);
constexpr auto aw3_0041_ep_tpost_iram = program<67>(0x30041u);
constexpr auto aw3_0042_ep_tpost_stats = program<74>(0x30042u);
constexpr auto aw3_0048_ep_tpre_dram = program<116>(0x30048u);
constexpr auto aw3_0049_ep_tpre_iram = program<22>(0x30049u);
constexpr auto aw3_004A_ep_tpre_stats = program<29>(0x3004Au);
constexpr auto aw3_0050_ep_rxulp0_dram = program<71>(0x30050u);
constexpr auto aw3_0051_ep_rxulp0_iram = program<78>(0x30051u);
constexpr auto aw3_0052_ep_rxulp0_stats = program<85>(0x30052u);
constexpr auto aw3_0058_ep_rxulp1_dram = program<26>(0x30058u);
constexpr auto aw3_0059_ep_rxulp1_iram = program<33>(0x30059u);
constexpr auto aw3_005A_ep_rxulp1_stats = program<40>(0x3005Au);
constexpr auto aw3_0060_ep_txulp0_dram = program<82>(0x30060u);
constexpr auto aw3_0061_ep_txulp0_iram = program<89>(0x30061u);
constexpr auto aw3_0062_ep_txulp0_stats = program<96>(0x30062u);
constexpr auto aw3_0068_ep_txulp1_dram = program<37>(0x30068u);
constexpr auto aw3_0069_ep_txulp1_iram = program<44>(0x30069u);
constexpr auto aw3_006A_ep_txulp1_stats = program<51>(0x3006Au);
constexpr auto aw3_0070_uc_stats = program<93>(0x30070u);
constexpr auto aw3_0071_ptc_stats = program<100>(0x30071u);
constexpr auto aw3_0072_txp_stats = program<107>(0x30072u);
constexpr auto aw3_0073_rxf_stats = program<114>(0x30073u);
constexpr auto aw3_0080_ndma_status = program<104>(0x30080u);
constexpr auto aw3_0081_rdma_status = program<111>(0x30081u);
constexpr auto aw3_0082_wdma_status = program<17>(0x30082u);
constexpr auto aw3_0088_rxf_tables = program<59>(0x30088u);
constexpr auto aw3_008A_txpb_buffers = program<73>(0x3008Au);
constexpr auto aw3_008C_pqs = program<87>(0x3008Cu);
constexpr auto aw3_008E_pq2s = program<101>(0x3008Eu);
constexpr auto aw3_00B0_txp_txds = program<36>(0x300B0u);
constexpr auto aw3_00C8_qos_settings = program<103>(0x300C8u);
constexpr auto aw3_0100_ddr = program<91>(0x30100u);
constexpr auto aw3_0120_read_flash = program<113>(0x30120u);
constexpr auto aw3_0130_eeprom = program<23>(0x30130u);
constexpr auto trl_000D_pci_cfg = program<107>(0x5000Du);
constexpr auto trl_000E_vital_registers = program<114>(0x5000Eu);
constexpr auto trl_0010_cause_ue = program<27>(0x50010u);
constexpr auto trl_0020_csr = program<38>(0x50020u);
constexpr auto trl_0024_ctx = program<66>(0x50024u);
constexpr auto trl_0026_cev = program<80>(0x50026u);
constexpr auto trl_0028_dt = program<94>(0x50028u);
constexpr auto trl_0038_ep_lltxulp_dram = program<105>(0x50038u);
constexpr auto trl_0039_ep_lltxulp_iram = program<112>(0x50039u);
constexpr auto trl_003A_ep_lltxulp_stats = program<18>(0x5003Au);
constexpr auto trl_0040_ep_tpost_dram = program<60>(0x50040u);
constexpr auto trl_0041_ep_tpost_iram = program<67>(0x50041u);
constexpr auto trl_0042_ep_tpost_stats = program<74>(0x50042u);
constexpr auto trl_0048_ep_tpre_dram = program<116>(0x50048u);
constexpr auto trl_0049_ep_tpre_iram = program<22>(0x50049u);
constexpr auto trl_004A_ep_tpre_stats = program<29>(0x5004Au);
constexpr auto trl_0050_ep_rxulp0_dram = program<71>(0x50050u);
constexpr auto trl_0051_ep_rxulp0_iram = program<78>(0x50051u);
constexpr auto trl_0052_ep_rxulp0_stats = program<85>(0x50052u);
constexpr auto trl_0058_ep_rxulp1_dram = program<26>(0x50058u);
constexpr auto trl_0059_ep_rxulp1_iram = program<33>(0x50059u);
constexpr auto trl_005A_ep_rxulp1_stats = program<40>(0x5005Au);
constexpr auto trl_0060_ep_txulp0_dram = program<82>(0x50060u);
constexpr auto trl_0061_ep_txulp0_iram = program<89>(0x50061u);
constexpr auto trl_0062_ep_txulp0_stats = program<96>(0x50062u);
constexpr auto trl_0063_txulp0_consel_states = program<103>(0x50063u);
constexpr auto trl_0068_ep_txulp1_dram = program<37>(0x50068u);
constexpr auto trl_0069_ep_txulp1_iram = program<44>(0x50069u);
constexpr auto trl_006A_ep_txulp1_stats = program<51>(0x5006Au);
constexpr auto trl_006B_txulp1_consel_states = program<58>(0x5006Bu);
constexpr auto trl_0070_uc_stats = program<93>(0x50070u);
constexpr auto trl_0071_ptc_stats = program<100>(0x50071u);
constexpr auto trl_0072_txp_stats = program<107>(0x50072u);
constexpr auto trl_0073_rxf_stats = program<114>(0x50073u);
constexpr auto trl_0080_ndma_status = program<104>(0x50080u);
constexpr auto trl_0081_rdma_status = program<111>(0x50081u);
constexpr auto trl_0082_wdma_status = program<17>(0x50082u);
constexpr auto trl_0088_rxf_tables = program<59>(0x50088u);
constexpr auto trl_008A_txpb_buffers = program<73>(0x5008Au);
constexpr auto trl_008C_pqs = program<87>(0x5008Cu);
constexpr auto trl_008E_pq2s = program<101>(0x5008Eu);
constexpr auto trl_0090_pmem_buffs = program<115>(0x50090u);
constexpr auto trl_00B0_txp_txds = program<36>(0x500B0u);
constexpr auto trl_00B2_txp_counts = program<50>(0x500B2u);
constexpr auto trl_00B4_lltxp_ldma_vq = program<64>(0x500B4u);
constexpr auto trl_00C0_wcon_ram = program<47>(0x500C0u);
constexpr auto trl_00C4_uc_tag_ram = program<75>(0x500C4u);
constexpr auto trl_00C8_qos = program<103>(0x500C8u);
constexpr auto trl_00CC_rcon_lltxd_sge_pfrag = program<30>(0x500CCu);
constexpr auto trl_00E0_loceth = program<69>(0x500E0u);
constexpr auto trl_00E2_ptctags = program<83>(0x500E2u);
constexpr auto trl_00E4_erxdata = program<97>(0x500E4u);
constexpr auto trl_0100_ddr = program<91>(0x50100u);
constexpr auto trl_0120_read_flash = program<113>(0x50120u);
constexpr auto trl_0130_eeprom = program<23>(0x50130u);
constexpr auto trl_0140_arm_sysreg = program<34>(0x50140u);
constexpr auto trl_0142_ddrregs = program<48>(0x50142u);
constexpr auto trl_0150_netc_ram = program<45>(0x50150u);
constexpr auto test_00D0_audit_delaytime = program<58>(0xE00D0u);
constexpr auto test_00D1_audit_liveonly = program<65>(0xE00D1u);
constexpr auto test_00D2_audit_deadonly = program<72>(0xE00D2u);
constexpr auto test_00D3_audit_data = program<156>(0xE00D3u);
constexpr auto test_00D4_audit_oddlength = program<86>(0xE00D4u);
constexpr auto test_00D6_audit_instances = program<100>(0xE00D6u);
constexpr auto test_00D7_audit_smallwrites = program<107>(0xE00D7u);
constexpr auto test_00D8_audit_pcisizes = program<114>(0xE00D8u);
constexpr auto test_00D9_audit_variables = program<20>(0xE00D9u);
constexpr auto test_00DA_audit_longcode = program<1024>(0xE00DAu);
constexpr auto test_00DB_audit_nodata = program<34>(0xE00DBu);
constexpr auto test_00DC_audit_badstatus = program<41>(0xE00DCu);
constexpr auto test_00DD_audit_lengthsstatuses = program<48>(0xE00DDu);

constexpr UsedRow kAw2Rows[] = {
    {0x00D, 1, 0, 0, 0, 4096, CODE(aw2_000D_pci_cfg)},
    {0x00E, 1, 0, 0, 0, 140, CODE(aw2_000E_vital_registers)},
    {0x010, 1, 0, 0, 0, 136, CODE(aw2_0010_cause_ue)},
    {0x020, 1, 0, 0, 0, 22528, CODE(aw2_0020_csr)},
    {0x024, 1, 0, 1, 0, 524288, CODE(aw2_0024_ctx)},
    {0x026, 1, 0, 0, 0, 18432, CODE(aw2_0026_cev)},
    {0x028, 1, 0, 0, 0, 4096, CODE(aw2_0028_dt)},
    {0x040, 1, 0, 0, 0, 8192, CODE(aw2_0040_ep_tpost_dram)},
    {0x041, 1, 0, 0, 0, 8192, CODE(aw2_0041_ep_tpost_iram)},
    {0x042, 1, 0, 0, 0, 1024, CODE(aw2_0042_ep_tpost_stats)},
    {0x048, 1, 0, 0, 0, 8192, CODE(aw2_0048_ep_tpre_dram)},
    {0x049, 1, 0, 0, 0, 8192, CODE(aw2_0049_ep_tpre_iram)},
    {0x04A, 1, 0, 0, 0, 1024, CODE(aw2_004A_ep_tpre_stats)},
    {0x050, 1, 0, 0, 0, 8192, CODE(aw2_0050_ep_rxulp0_dram)},
    {0x051, 1, 0, 0, 0, 8192, CODE(aw2_0051_ep_rxulp0_iram)},
    {0x052, 1, 0, 0, 0, 1024, CODE(aw2_0052_ep_rxulp0_stats)},
    {0x058, 1, 0, 0, 0, 8192, CODE(aw2_0058_ep_rxulp1_dram)},
    {0x059, 1, 0, 0, 0, 8192, CODE(aw2_0059_ep_rxulp1_iram)},
    {0x05A, 1, 0, 0, 0, 1024, CODE(aw2_005A_ep_rxulp1_stats)},
    {0x060, 1, 0, 0, 0, 8192, CODE(aw2_0060_ep_txulp0_dram)},
    {0x061, 1, 0, 0, 0, 8192, CODE(aw2_0061_ep_txulp0_iram)},
    {0x062, 1, 0, 0, 0, 1024, CODE(aw2_0062_ep_txulp0_stats)},
    {0x068, 1, 0, 0, 0, 8192, CODE(aw2_0068_ep_txulp1_dram)},
    {0x069, 1, 0, 0, 0, 8192, CODE(aw2_0069_ep_txulp1_iram)},
    {0x06A, 1, 0, 0, 0, 1024, CODE(aw2_006A_ep_txulp1_stats)},
    {0x070, 1, 1, 0, 0, 68, CODE(aw2_0070_uc_stats)},
    {0x071, 1, 1, 0, 0, 72, CODE(aw2_0071_uc_stats)},
    {0x072, 1, 1, 0, 0, 192, CODE(aw2_0072_txp_stats)},
    {0x073, 1, 1, 0, 0, 628, CODE(aw2_0073_rxf_stats)},
    {0x088, 1, 0, 0, 13, 32768, CODE(aw2_0088_ep_tpost_dram)},
    {0x08A, 1, 0, 0, 1, 65536, CODE(aw2_008A_txpb_buffers)},
    {0x08C, 1, 0, 0, 44, 272, CODE(aw2_008C_pqs)},
    {0x0B0, 1, 0, 0, 0, 288, CODE(aw2_00B0_txp_txds)},
    {0x100, 1, 0, 1, 0, 33554432, CODE(aw2_0100_ddr)},
    {0x120, 1, 0, 1, 0, 8388608, CODE(aw2_0120_read_flash)},
    {0x130, 1, 0, 0, 0, 1024, CODE(aw2_0130_eeprom)},
};

constexpr UsedRow kAw3Rows[] = {
    {0x00D, 1, 0, 0, 0, 4096, CODE(aw3_000D_pci_cfg)},
    {0x00E, 1, 0, 0, 0, 140, CODE(aw3_000E_vital_registers)},
    {0x010, 1, 0, 0, 0, 136, CODE(aw3_0010_cause_ue)},
    {0x020, 1, 0, 0, 0, 22528, CODE(aw3_0020_csr)},
    {0x024, 1, 0, 1, 0, 688128, CODE(aw3_0024_ctx)},
    {0x026, 1, 0, 0, 0, 6144, CODE(aw3_0026_cev)},
    {0x028, 1, 0, 0, 0, 4096, CODE(aw3_0028_dt)},
    {0x040, 1, 0, 0, 0, 8192, CODE(aw3_0040_ep_tpost_dram)},
    {0x041, 1, 0, 0, 0, 24576, CODE(aw3_0041_ep_tpost_iram)},
    {0x042, 1, 0, 0, 0, 1024, CODE(aw3_0042_ep_tpost_stats)},
    {0x048, 1, 0, 0, 0, 8192, CODE(aw3_0048_ep_tpre_dram)},
    {0x049, 1, 0, 0, 0, 24576, CODE(aw3_0049_ep_tpre_iram)},
    {0x04A, 1, 0, 0, 0, 1024, CODE(aw3_004A_ep_tpre_stats)},
    {0x050, 1, 0, 0, 0, 8192, CODE(aw3_0050_ep_rxulp0_dram)},
    {0x051, 1, 0, 0, 0, 24576, CODE(aw3_0051_ep_rxulp0_iram)},
    {0x052, 1, 0, 0, 0, 1024, CODE(aw3_0052_ep_rxulp0_stats)},
    {0x058, 1, 0, 0, 0, 8192, CODE(aw3_0058_ep_rxulp1_dram)},
    {0x059, 1, 0, 0, 0, 24576, CODE(aw3_0059_ep_rxulp1_iram)},
    {0x05A, 1, 0, 0, 0, 1024, CODE(aw3_005A_ep_rxulp1_stats)},
    {0x060, 1, 0, 0, 0, 8192, CODE(aw3_0060_ep_txulp0_dram)},
    {0x061, 1, 0, 0, 0, 24576, CODE(aw3_0061_ep_txulp0_iram)},
    {0x062, 1, 0, 0, 0, 1024, CODE(aw3_0062_ep_txulp0_stats)},
    {0x068, 1, 0, 0, 0, 8192, CODE(aw3_0068_ep_txulp1_dram)},
    {0x069, 1, 0, 0, 0, 24576, CODE(aw3_0069_ep_txulp1_iram)},
    {0x06A, 1, 0, 0, 0, 1024, CODE(aw3_006A_ep_txulp1_stats)},
    {0x070, 1, 1, 0, 0, 68, CODE(aw3_0070_uc_stats)},
    {0x071, 1, 1, 0, 0, 72, CODE(aw3_0071_ptc_stats)},
    {0x072, 1, 1, 0, 0, 768, CODE(aw3_0072_txp_stats)},
    {0x073, 1, 1, 0, 0, 1272, CODE(aw3_0073_rxf_stats)},
    {0x080, 1, 1, 0, 0, 68, CODE(aw3_0080_ndma_status)},
    {0x081, 1, 1, 0, 0, 68, CODE(aw3_0081_rdma_status)},
    {0x082, 1, 1, 0, 0, 80, CODE(aw3_0082_wdma_status)},
    {0x088, 1, 0, 0, 13, 32864, CODE(aw3_0088_rxf_tables)},
    {0x08A, 1, 0, 0, 1, 131072, CODE(aw3_008A_txpb_buffers)},
    {0x08C, 1, 0, 0, 27, 272, CODE(aw3_008C_pqs)},
    {0x08E, 1, 0, 0, 17, 272, CODE(aw3_008E_pq2s)},
    {0x0B0, 1, 0, 0, 0, 832, CODE(aw3_00B0_txp_txds)},
    {0x0C8, 1, 0, 0, 0, 1536, CODE(aw3_00C8_qos_settings)},
    {0x100, 1, 0, 1, 0, 67108864, CODE(aw3_0100_ddr)},
    {0x120, 1, 0, 1, 0, 16777216, CODE(aw3_0120_read_flash)},
    {0x130, 1, 0, 0, 0, 1024, CODE(aw3_0130_eeprom)},
};

constexpr UsedRow kTrlRows[] = {
    {0x00D, 1, 0, 0, 0, 4096, CODE(trl_000D_pci_cfg)},
    {0x00E, 1, 0, 0, 0, 140, CODE(trl_000E_vital_registers)},
    {0x010, 1, 0, 0, 0, 136, CODE(trl_0010_cause_ue)},
    {0x020, 1, 0, 0, 0, 32768, CODE(trl_0020_csr)},
    {0x024, 1, 0, 1, 0, 1310720, CODE(trl_0024_ctx)},
    {0x026, 1, 0, 0, 0, 15360, CODE(trl_0026_cev)},
    {0x028, 1, 0, 0, 0, 16384, CODE(trl_0028_dt)},
    {0x038, 1, 0, 0, 6, 6144, CODE(trl_0038_ep_lltxulp_dram)},
    {0x039, 1, 0, 0, 0, 24576, CODE(trl_0039_ep_lltxulp_iram)},
    {0x03A, 1, 0, 0, 0, 1024, CODE(trl_003A_ep_lltxulp_stats)},
    {0x040, 1, 0, 0, 6, 6144, CODE(trl_0040_ep_tpost_dram)},
    {0x041, 1, 0, 0, 0, 24576, CODE(trl_0041_ep_tpost_iram)},
    {0x042, 1, 0, 0, 0, 1024, CODE(trl_0042_ep_tpost_stats)},
    {0x048, 1, 0, 0, 6, 6144, CODE(trl_0048_ep_tpre_dram)},
    {0x049, 1, 0, 0, 0, 24576, CODE(trl_0049_ep_tpre_iram)},
    {0x04A, 1, 0, 0, 0, 1024, CODE(trl_004A_ep_tpre_stats)},
    {0x050, 1, 0, 0, 6, 6144, CODE(trl_0050_ep_rxulp0_dram)},
    {0x051, 1, 0, 0, 0, 24576, CODE(trl_0051_ep_rxulp0_iram)},
    {0x052, 1, 0, 0, 0, 1024, CODE(trl_0052_ep_rxulp0_stats)},
    {0x058, 1, 0, 0, 6, 6144, CODE(trl_0058_ep_rxulp1_dram)},
    {0x059, 1, 0, 0, 0, 24576, CODE(trl_0059_ep_rxulp1_iram)},
    {0x05A, 1, 0, 0, 0, 1024, CODE(trl_005A_ep_rxulp1_stats)},
    {0x060, 1, 0, 0, 6, 6144, CODE(trl_0060_ep_txulp0_dram)},
    {0x061, 1, 0, 0, 0, 24576, CODE(trl_0061_ep_txulp0_iram)},
    {0x062, 1, 0, 0, 0, 1024, CODE(trl_0062_ep_txulp0_stats)},
    {0x063, 0, 0, 0, 0, 8192, CODE(trl_0063_txulp0_consel_states)},
    {0x068, 1, 0, 0, 6, 6144, CODE(trl_0068_ep_txulp1_dram)},
    {0x069, 1, 0, 0, 0, 24576, CODE(trl_0069_ep_txulp1_iram)},
    {0x06A, 1, 0, 0, 0, 1024, CODE(trl_006A_ep_txulp1_stats)},
    {0x06B, 0, 0, 0, 0, 8192, CODE(trl_006B_txulp1_consel_states)},
    {0x070, 1, 1, 0, 0, 68, CODE(trl_0070_uc_stats)},
    {0x071, 1, 1, 0, 0, 64, CODE(trl_0071_ptc_stats)},
    {0x072, 1, 1, 0, 1, 768, CODE(trl_0072_txp_stats)},
    {0x073, 1, 1, 0, 0, 1836, CODE(trl_0073_rxf_stats)},
    {0x080, 1, 1, 0, 0, 68, CODE(trl_0080_ndma_status)},
    {0x081, 1, 1, 0, 0, 68, CODE(trl_0081_rdma_status)},
    {0x082, 1, 1, 0, 0, 80, CODE(trl_0082_wdma_status)},
    {0x088, 1, 0, 0, 22, 34048, CODE(trl_0088_rxf_tables)},
    {0x08A, 1, 0, 0, 5, 131072, CODE(trl_008A_txpb_buffers)},
    {0x08C, 1, 0, 0, 32, 272, CODE(trl_008C_pqs)},
    {0x08E, 1, 0, 0, 21, 272, CODE(trl_008E_pq2s)},
    {0x090, 1, 0, 1, 1, 524288, CODE(trl_0090_pmem_buffs)},
    {0x0B0, 1, 0, 0, 1, 832, CODE(trl_00B0_txp_txds)},
    {0x0B2, 1, 0, 0, 1, 960, CODE(trl_00B2_txp_counts)},
    {0x0B4, 1, 0, 0, 0, 1008, CODE(trl_00B4_lltxp_ldma_vq)},
    {0x0C0, 1, 0, 0, 0, 4096, CODE(trl_00C0_wcon_ram)},
    {0x0C4, 1, 0, 1, 0, 8192, CODE(trl_00C4_uc_tag_ram)},
    {0x0C8, 1, 0, 0, 0, 1536, CODE(trl_00C8_qos)},
    {0x0CC, 1, 0, 0, 0, 6096, CODE(trl_00CC_rcon_lltxd_sge_pfrag)},
    {0x0E0, 1, 0, 0, 1, 1728, CODE(trl_00E0_loceth)},
    {0x0E2, 1, 0, 0, 0, 4096, CODE(trl_00E2_ptctags)},
    {0x0E4, 1, 0, 0, 2, 4352, CODE(trl_00E4_erxdata)},
    {0x100, 1, 0, 1, 0, 134217728, CODE(trl_0100_ddr)},
    {0x120, 1, 0, 1, 0, 16777216, CODE(trl_0120_read_flash)},
    {0x130, 1, 0, 1, 0, 65536, CODE(trl_0130_eeprom)},
    {0x140, 1, 0, 0, 0, 292, CODE(trl_0140_arm_sysreg)},
    {0x142, 1, 0, 0, 0, 104, CODE(trl_0142_ddrregs)},
    {0x150, 0, 0, 1, 0, 131072, CODE(trl_0150_netc_ram)},
};

constexpr UsedRow kTestRows[] = {
    {0x0D0, 1, 1, 0, 9, 4, CODE(test_00D0_audit_delaytime)},
    {0x0D1, 0, 1, 0, 0, 4, CODE(test_00D1_audit_liveonly)},
    {0x0D2, 1, 0, 0, 0, 4, CODE(test_00D2_audit_deadonly)},
    {0x0D3, 1, 1, 0, 0, 1048576, CODE(test_00D3_audit_data)},
    {0x0D4, 1, 1, 0, 0, 4099, CODE(test_00D4_audit_oddlength)},
    {0x0D6, 1, 1, 0, 4095, 4, CODE(test_00D6_audit_instances)},
    {0x0D7, 1, 1, 0, 0, 20, CODE(test_00D7_audit_smallwrites)},
    {0x0D8, 1, 0, 0, 0, 24, CODE(test_00D8_audit_pcisizes)},
    {0x0D9, 1, 1, 0, 0, 48, CODE(test_00D9_audit_variables)},
    {0x0DA, 1, 1, 0, 0, 4, CODE(test_00DA_audit_longcode)},
    {0x0DB, 1, 1, 0, 0, 0, CODE(test_00DB_audit_nodata)},
    {0x0DC, 1, 1, 0, 0, 0, CODE(test_00DC_audit_badstatus)},
    {0x0DD, 1, 1, 0, 5, 16, CODE(test_00DD_audit_lengthsstatuses)},
};

#undef CODE

// A table of `Rows` rows with the used ones filled in; every other row is
// all zero (not in use).
template <size_t Rows, size_t N>
constexpr std::array<DUMP_TEMPLATE, Rows> table(const UsedRow (&used)[N], uint8_t ver_lo, uint8_t ver_hi)
{
    std::array<DUMP_TEMPLATE, Rows> t{};
    for (size_t i = 0; i < N; ++i) {
        DUMP_TEMPLATE &r = t[used[i].index];
        r.ver_lo = ver_lo;
        r.ver_hi = ver_hi;
        r.dead_mode = used[i].dead_mode;
        r.live_mode = used[i].live_mode;
        r.compress = used[i].compress;
        r.encrypt = 0;
        r.max_instance = used[i].max_instance;
        r.offset = 0;
        r.length = used[i].length;
        r.bc_length = used[i].bc_length;
        r.pbyte_code = used[i].code;
    }
    return t;
}

bool is_test_type(const char *dump_type)
{
    return strcasecmp(dump_type, "Test live") == 0 || strcasecmp(dump_type, "Test Dead") == 0 ||
           strcasecmp(dump_type, "Test") == 0;
}

} // namespace

constexpr std::array<DUMP_TEMPLATE, AW2_TEMPLATE_ROWS> aw2_template = table<AW2_TEMPLATE_ROWS>(kAw2Rows, 0, 1);
constexpr std::array<DUMP_TEMPLATE, AW3_TEMPLATE_ROWS> aw3_template = table<AW3_TEMPLATE_ROWS>(kAw3Rows, 0, 1);
constexpr std::array<DUMP_TEMPLATE, TRL_TEMPLATE_ROWS> trl_template = table<TRL_TEMPLATE_ROWS>(kTrlRows, 0, 1);
constexpr std::array<DUMP_TEMPLATE, TEST_TEMPLATE_ROWS> test_template = table<TEST_TEMPLATE_ROWS>(kTestRows, 0, 0);

extern "C" int VEXO_get_asic_type(uint32_t sli_intf, int *asic_type, uint32_t asic_id)
{
    if (!asic_type)
        return 0;
    if (sli_intf == 0) {
        *asic_type = AW_TYPE_UNKNOWN;
        return 0;
    }
    char hex[16];
    std::snprintf(hex, sizeof hex, "%x", static_cast<unsigned>(sli_intf));
    if (std::strlen(hex) < 6)
        return 0;
    switch (hex[5]) {
    case '0':
        *asic_type = AW_TYPE_AW2;
        break;
    case '1':
        *asic_type = AW_TYPE_AW3;
        break;
    case 'a':
    case 'b':
        *asic_type = AW_TYPE_VARROW;
        break;
    case '2':
    case 'f':
        if (asic_id == 0x410 || asic_id == 0x411)
            *asic_type = AW_TYPE_TRELMONT;
        break;
    default:
        break;
    }
    return 0;
}

extern "C" int VEXO_get_byte_code_info(int asic_type, const char *dump_type, const char *file_name, node *adapter,
                                       int user_req_dump, int chip_state)
{
    if (asic_type == AW_TYPE_UNREADABLE || !dump_type || !file_name || !adapter) {
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:INVALID input parameters.\n", __func__);
        return 1;
    }
    if (asic_type == AW_TYPE_VARROW)
        return 0;
    const DUMP_TEMPLATE *rows = nullptr;
    size_t count = 0;
    if (is_test_type(dump_type)) {
        rows = test_template.data();
        count = test_template.size();
    } else if (asic_type == AW_TYPE_AW2) {
        rows = aw2_template.data();
        count = aw2_template.size();
    } else if (asic_type == AW_TYPE_AW3) {
        rows = aw3_template.data();
        count = aw3_template.size();
    } else if (asic_type == AW_TYPE_TRELMONT) {
        rows = trl_template.data();
        count = trl_template.size();
    } else {
        return 1;
    }
    node *function = nullptr;
    int found = coredump_function_zero(adapter, &function);
    if (found == COREDUMP_NO_PCI_NODE)
        pdebug(VEXO_LOG_BACKEND, VEXO_LOG_ERROR, "%s:Failed to PCI Node.\n", __func__);
    if (found != COREDUMP_FUNCTION_FOUND)
        return 1;
    node *pci = internal_get_node(function, "PCI", VEXO_NODE_GROUP);
    char bus[VEXO_VALUE_SIZE] = {0};
    char device[VEXO_VALUE_SIZE] = {0};
    if (!pci || internal_get_property(pci, "BusNumber", bus) != VEXO_STATUS_SUCCESS ||
        internal_get_property(pci, "DeviceNumber", device) != VEXO_STATUS_SUCCESS)
        return 1;
    pdebug(VEXO_LOG_BACKEND, VEXO_LOG_INFO, "0000:%02lx:%02lx.0\n", std::strtoul(bus, nullptr, 0),
           std::strtoul(device, nullptr, 0));
    bool dead = user_req_dump == 1 || (user_req_dump == 0 && chip_state == 1);
    for (size_t r = 0; r < count; ++r) {
        const DUMP_TEMPLATE &t = rows[r];
        if (!t.pbyte_code || (dead ? t.dead_mode : t.live_mode) == 0)
            continue;
        for (uint32_t i = 0;; ++i) {
            VEXO_start_clock(adapter);
            VEXO_write_each_segment_data(1, static_cast<uint32_t>(r), i, t.offset, t.length, t.bc_length,
                                         t.pbyte_code, file_name, adapter, t.compress != 0, t.ver_lo, t.ver_hi);
            if (i == t.max_instance)
                break;
        }
    }
    return 0;
}
