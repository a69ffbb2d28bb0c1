// Replies of an FC adapter as the engine reads them. The diagnostics library
// is replaced here by one that answers every call with the input's bytes: a
// result code, then whatever the call leaves in the caller's buffer, never
// more than the room the call names (a real library honours that much). The
// engine's readers must stay inside their own buffers whatever the adapter
// claims in its counts and lengths; each output buffer is allocated at exactly
// its size, so the sanitizer sees one byte too many.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "adapters/adapter_identity.h"
#include "adapters/adapter_table.h"
#include "adapters/revision_display.h"
#include "hba/adapter_state.h"
#include "hba/boot_images.h"
#include "hba/config_regions.h"
#include "hba/load_lists.h"
#include "hba/mbox_commands.h"
#include "hba/mbox_transport.h"
#include "hba/sli4_objects.h"
#include "hba/sli_config.h"
#include "hba/vpd.h"
#include "hba/wakeup_parms.h"
#include "kpl.h"

namespace
{

const uint8_t *gData = nullptr;
size_t gLeft = 0;

uint8_t next()
{
    if (gLeft == 0)
        return 0;
    --gLeft;
    return *gData++;
}

uint32_t next32()
{
    uint32_t v = next();
    v |= static_cast<uint32_t>(next()) << 8;
    v |= static_cast<uint32_t>(next()) << 16;
    return v | static_cast<uint32_t>(next()) << 24;
}

// Mostly success, so that the readers get to parse what came back.
int result()
{
    static const int kResults[] = {0, 0, 0, 0, 0, 2, 2, 3, -1, 254, 1, 4};
    return kResults[next() % (sizeof kResults / sizeof kResults[0])];
}

// Overwrites up to `room` bytes of the caller's buffer with input; the rest
// of the input decides nothing about this call.
void reply(void *buffer, size_t room)
{
    if (!buffer)
        return;
    uint8_t *p = static_cast<uint8_t *>(buffer);
    size_t n = next();
    // A length byte of 255 means "the whole room": long replies are common.
    n = (n == 255) ? room : n * 4;
    if (n > room)
        n = room;
    for (size_t i = 0; i < n; ++i)
        p[i] = next();
}

template <typename T> std::vector<T> exactly(size_t count)
{
    return std::vector<T>(count);
}

} // namespace

extern "C" {

int KPL_GetDrvInfo(int, KPL_DRV_INFO *info)
{
    int r = result();
    reply(info, sizeof *info);
    return r;
}

int KPL_IssueMboxWithRetry(int, void *mbox, int, int bytes_returned, int, int)
{
    int r = result();
    reply(mbox, bytes_returned > 0 ? static_cast<size_t>(bytes_returned) : 0);
    return r;
}

int KPL_IssueMboxWithRetryV2(int, void *buffer, int total_words, int, int)
{
    int r = result();
    reply(buffer, total_words > 0 ? static_cast<size_t>(total_words) * 4 : 0);
    return r;
}

int KPL_IssueMboxWithRetryEx(int, void *mbox, void *data, int mbox_words, int, int out_words, int, int)
{
    int r = result();
    reply(mbox, mbox_words > 0 ? static_cast<size_t>(mbox_words) * 4 : 0);
    reply(data, out_words > 0 ? static_cast<size_t>(out_words) * 4 : 0);
    return r;
}

int KPL_IssueDumpMBox(int, int, int, int, uint32_t, uint8_t *buffer, uint32_t *count)
{
    int r = result();
    uint32_t wanted = count ? *count : 0;
    reply(buffer, wanted);
    // The count it reports back is the library's word, right or not.
    if (count)
        *count = next32() & 0xFFFF;
    return r;
}

int KPL_IssueUpdateCfgMBox(int, int, int, uint32_t, uint8_t *, uint32_t *response)
{
    int r = result();
    if (response)
        *response = next32();
    return r;
}

int KPL_GetPersistLinkDown(int, uint16_t *value)
{
    int r = result();
    if (value)
        *value = static_cast<uint16_t>(next32());
    return r;
}

int KPL_SetPersistLinkDown(int, uint16_t)
{
    return result();
}

int KPL_GetLinkInfo(int, KPL_LINK_INFO *info)
{
    int r = result();
    reply(info, sizeof *info);
    return r;
}

int KPL_ResetAdapter(int, int)
{
    return result();
}

int ReadCtlReg(int, uint32_t *value, uint32_t)
{
    int r = result();
    if (value)
        *value = next32();
    return r;
}

int WriteCtlReg(int, uint32_t *, uint32_t)
{
    return result();
}

void SetBrdEnv(int, int)
{
}

} // extern "C"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Resets wait between their steps; nothing here needs the wait.
    setenv("HLVD_NO_SLEEP", "1", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    gData = data;
    gLeft = size;

    // One FC function; the input chooses its transport and identity.
    static _Adapter table[1];
    std::memset(table, 0, sizeof table);
    const uint8_t shape = next();
    table[0].sli4 = shape & 1;
    table[0].deviceId = (shape & 2) ? 0xE200 : 0xFE00;
    table[0].jedecId = (shape & 4) ? 0x1004 : 0x0577;
    // An FCoE function reads its VPD through the library's region dump.
    if (shape & 8)
        table[0].deviceId = 0x0714;
    table[0].maxMailboxBytes = (shape & 16) ? 2048 : 108;
    gAdapters = table;
    gAdapterCount = 1;
    gTotalHBAs = 1;
    const int b = 0;

    uint8_t mbox[384];
    ReadRev(b, mbox);
    ReadRev4(b, mbox);
    {
        const uint32_t count = next() % 30;
        std::vector<uint8_t> words = exactly<uint8_t>(count * 4 + 1);
        DumpMemory(b, words.data(), next32(), count);
    }
    {
        uint32_t wanted = (next() % 64) * 4;
        std::vector<uint8_t> region = exactly<uint8_t>(wanted + 1);
        DumpConfigRegion(b, next() % 40, (next() % 8) * 4, &wanted, region.data());
        uint32_t read = 0;
        std::vector<uint8_t> generic = exactly<uint8_t>(1000);
        CLU_GenericDumpV2(b, 2, 14, 1000, &read, generic.data());
    }
    {
        std::vector<uint8_t> attributes = exactly<uint8_t>(496);
        SC_PerformCommonGetCntlAddlAttributes(b, attributes.data());
        uint8_t boot = 0;
        SC_PerformCommonGetBootConfig(b, &boot);
    }
    {
        uint32_t count = 1 + next() % 4;
        std::vector<uint8_t> descriptors = exactly<uint8_t>(count * 72);
        SC_CommonGetProfileConfig_V0(b, 0, 0, 0, descriptors.data(), &count);
        uint8_t presented = 0, fixed = 0;
        SC_GetXROMPresentation(b, &presented, &fixed);
        SC_SetXROMPresentation(b, next() & 1);
    }
    {
        uint32_t got = 0;
        std::vector<uint8_t> vpd = exactly<uint8_t>(1024);
        SC_GetVPD_V0(b, vpd.data(), 1024, &got);
        SC_GetVPD_V1(b, 0, vpd.data(), 1024, &got);
        uint32_t len = 1536;
        std::vector<uint8_t> fru = exactly<uint8_t>(len);
        SC_GetFRUVPD(b, fru.data(), &len);
    }
    {
        uint32_t phy[7];
        SC_GetPhyConfig(b, phy);
        char name[4];
        SLI_CFG_GetPortName(b, name);
        std::vector<DPORT_RESULTS> results = exactly<DPORT_RESULTS>(1);
        SC_Perform_FcoeGetDPortResults(b, results.data());
        std::vector<char> version = exactly<char>(64);
        SLI_CFG_GetFwVersion(b, version.data());
        std::vector<char> ffv = exactly<char>(32);
        VendorManageFFV_Read(b, ffv.data());
    }
    {
        // VPD: the raw read by kind (temperature and region dump, object, or
        // library dump), the printing walk, the region stream and the writer.
        uint32_t size = 1024;
        std::vector<uint8_t> raw = exactly<uint8_t>(size);
        CLU_GetVPD(b, raw.data(), &size);
        if (size > 1024)
            abort();
        VPD_RECORD record;
        CLU_PrintVPD(b, &record, next() & 1);
        readVPD(b, &record);
        if (record.SN[31] || record.V1[255] || record.V2[79] || record.V3[255] || record.V4[19])
            abort();
        const uint8_t value[4] = {'v', 'a', 'l', 'u'};
        AppendVxVPDField(b, "V5", value, sizeof value);
    }
    {
        // Load lists and descriptions follow links and pointers the adapter
        // gives; the expansion-ROM load loops on the progress it reports.
        std::vector<LOAD_LIST> list = exactly<LOAD_LIST>(1);
        ReadFlashLoadList(b, list.data());
        if (list[0].count > LOAD_LIST_MAX_ENTRIES)
            abort();
        LOAD_LIST_ENTRY entry;
        std::memset(&entry, 0, sizeof entry);
        entry.programId[0] = next32();
        GetProgramDescription(b, next() & 1, &entry);
        std::vector<BOOT_BIOS_REPORT> report = exactly<BOOT_BIOS_REPORT>(1);
        IsBootBiosEnabled(b, report.data());
        DeleteImageType(b, next());
        std::vector<uint8_t> parms = exactly<uint8_t>(sizeof(WAKEUP_PARMS));
        ReadWakeupParms(b, parms.data());
        const uint32_t boot[2] = {0x03000000u | (next32() & 0x00FFFFFFu), next32()};
        IsWakeupImage(b, boot);
        UpdateWakeupParms(b, boot);
        WAKEUP_PARMS record;
        std::memset(&record, 0, sizeof record);
        processLoadExpRom(b, &record, next() & 1);
    }
    {
        // Objects: sizes, lengths, end flags and list counts come from the adapter.
        uint32_t size = 0, got = 0, count = 0;
        SLI_CFG_GetObjectSize(b, "/prg", &size);
        std::vector<uint8_t> object = exactly<uint8_t>(2048);
        SLI_CFG_ReadObject(b, "/prg", object.data(), 2048, &got);
        SLI_CFG_GetObjectListCount(b, "/", &count);
        const uint32_t room = 1 + next() % 3;
        std::vector<uint8_t> entries = exactly<uint8_t>(room * 160);
        SLI_CFG_ListObjects(b, entries.data(), room, "/", &count);
        std::vector<uint8_t> vpd = exactly<uint8_t>(1024);
        FFS_ReadVPD(b, VPD_OBJECT_NAME, vpd.data(), 1024, &got);
        const uint8_t chunk[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        uint32_t written = 0;
        SLI_CFG_WriteObject(b, "/test", chunk, sizeof chunk, &written, 1);
    }
    {
        uint32_t temperature = 0;
        CLU_GetBoardTemp(b, &temperature);
        uint8_t state = 0;
        CLU_GetLinkInfo(b, &state);
        CLU_EnableAdapterPort(b);
        setFactoryDefaultsSLI4(b);
    }
    {
        // Identification: both JEDEC reads, the platform check's own VPD
        // reader and its walk, and the pass over the table.
        GetJedecId_new(b);
        GetJedecId4(b);
        uint32_t size = 1024;
        std::vector<uint8_t> list = exactly<uint8_t>(size);
        GetVPD(b, list.data(), &size);
        if (size > 1000)
            abort();
        IBM_PSeries_Check(b);
        getAdapterVPD();
        const _Adapter &a = table[0];
        if (strnlen(a.serialNumber, 32) == 32 || strnlen(a.modelName, 80) == 80 || strnlen(a.vpdV4Text, 32) == 32)
            abort();
        const uint8_t word[3] = {next(), next(), next()};
        char text[ENCODED_REV_TEXT_SIZE];
        show_encoded_rev1(0, word, text);
        if (strnlen(text, sizeof text) == sizeof text)
            abort();
    }

    gAdapters = nullptr;
    gAdapterCount = 0;
    gTotalHBAs = 0;
    return 0;
}
