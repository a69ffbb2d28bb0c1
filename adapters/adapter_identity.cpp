#include "adapters/adapter_identity.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "adapters/adapter_table.h"
#include "adapters/board_predicates.h"
#include "adapters/converged_discovery.h"
#include "adapters/model_select.h"
#include "flash/debug_log.h"
#include "flash/engine_log.h"
#include "flash/image_record.h"
#include "hba/config_regions.h"
#include "hba/download_entry.h"
#include "hba/mbox_commands.h"
#include "hba/vpd.h"

namespace {

const int kReadRevBufferBytes = 384;
const uint16_t kJedecFromFourthWord = 0xF700;
const uint16_t kIbmCheckedJedecIds[] = {0x1004, 0x0577, 0x0364};
const int32_t kNoAdapters = 45;

// The JEDEC id: bits 12 to 27 of a READ_REV response word.
uint16_t jedec_of(const uint8_t *mailbox, size_t offset)
{
    uint32_t word;
    std::memcpy(&word, mailbox + offset, sizeof word);
    return static_cast<uint16_t>(word >> 12);
}

uint32_t word_at(const uint8_t *mailbox, size_t offset)
{
    uint32_t word;
    std::memcpy(&word, mailbox + offset, sizeof word);
    return word;
}

// Appends n bytes as text: a zero byte ends the copy, the rest stays zero.
void append_text(uint8_t *out, uint32_t &pos, const uint8_t *src, uint32_t n)
{
    for (uint32_t i = 0; i < n && src[i]; ++i)
        out[pos + i] = src[i];
    pos += n;
}

bool ibm_checked(uint16_t jedec)
{
    for (uint16_t id : kIbmCheckedJedecIds)
        if (id == jedec)
            return true;
    return false;
}

// The V4 text's leading decimal number; the field keeps its value without one.
void read_v4_number(const char *text, int32_t &number)
{
    char *end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 10);
    if (end == text)
        return;
    if (v > INT32_MAX)
        v = INT32_MAX;
    if (v < INT32_MIN)
        v = INT32_MIN;
    number = static_cast<int32_t>(v);
}

// The first white-space-delimited word of a text, bounded by the field.
void first_word(const char *text, char *dest, size_t size)
{
    while (*text && std::isspace(static_cast<unsigned char>(*text)))
        ++text;
    size_t n = 0;
    while (text[n] && !std::isspace(static_cast<unsigned char>(text[n])) && n + 1 < size)
        ++n;
    std::memcpy(dest, text, n);
    dest[n] = '\0';
}

} // namespace

void ToUpper(char *text)
{
    if (!text)
        return;
    for (; *text; ++text)
        *text = static_cast<char>(std::toupper(static_cast<unsigned char>(*text)));
}

uint16_t GetJedecId4(uint8_t index)
{
    if (!isSLI4(index))
        return 0;
    uint8_t mailbox[kReadRevBufferBytes];
    std::memset(mailbox, 0, sizeof mailbox);
    uint32_t status = ReadRev4(index, mailbox);
    if (status != 0) {
        logDebugOutput("ReadRev4 ERROR status %08lX\n", static_cast<unsigned long>(status));
        return 0;
    }
    if (word_at(mailbox, 8) < 16)
        return 0;
    return jedec_of(mailbox, 8);
}

uint16_t GetJedecId_new(uint8_t index)
{
    uint8_t mailbox[kReadRevBufferBytes];
    std::memset(mailbox, 0, sizeof mailbox);
    uint32_t status = ReadRev(index, mailbox);
    if (status != 0) {
        logDebugOutput("ReadRev ERROR status %08lX\n", static_cast<unsigned long>(status));
        return 0;
    }
    bool fourth = word_at(mailbox, 8) < 16 ||
                  (AdapterExists4(index) && gAdapters && gAdapters[index].deviceId == kJedecFromFourthWord);
    return jedec_of(mailbox, fourth ? 12 : 8);
}

int CConvertVPD(uint8_t *buffer, uint32_t length)
{
    if (!buffer || length > IDENTITY_VPD_AREA_BYTES)
        return CONVERT_VPD_BAD_DATA;
    uint8_t out[IDENTITY_VPD_AREA_BYTES];
    std::memset(out, 0, sizeof out);
    if (length == 0 || buffer[0] != VPD_TAG_ID_STRING)
        return CONVERT_VPD_NO_IDENTIFIER;

    uint32_t at = 0;  // next raw byte
    uint32_t pos = 0; // next output byte
    bool done = false;
    while (!done) {
        if (at == length)
            break; // the data read ends between two resources
        if (length - at < 3)
            return CONVERT_VPD_BAD_DATA;
        uint8_t tag = buffer[at];
        uint32_t size = static_cast<uint32_t>(buffer[at + 1]) | static_cast<uint32_t>(buffer[at + 2]) << 8;
        at += 3;
        if (size > length - at)
            return CONVERT_VPD_BAD_DATA;
        if (tag == VPD_TAG_ID_STRING) {
            // The entry's length is one byte: a longer identifier is cut
            // there, so that the list stays walkable.
            uint32_t n = size > 255 ? 255 : size;
            if (pos + 3 + n > sizeof out)
                return CONVERT_VPD_BAD_DATA;
            out[pos++] = VPD_TAG_ID_STRING;
            out[pos++] = VPD_TAG_ID_STRING;
            out[pos++] = static_cast<uint8_t>(n);
            append_text(out, pos, buffer + at, n);
            at += size;
        } else if (tag == VPD_TAG_READ_ONLY) {
            uint32_t end = at + size;
            while (at < end) {
                if (buffer[at] == 0 || (end - at >= 2 && buffer[at] == 'R' && buffer[at + 1] == 'V'))
                    break;
                if (end - at < 3)
                    return CONVERT_VPD_BAD_DATA;
                uint32_t n = buffer[at + 2];
                if (n > end - at - 3 || pos + 3 + n > sizeof out)
                    return CONVERT_VPD_BAD_DATA;
                out[pos++] = buffer[at];
                out[pos++] = buffer[at + 1];
                out[pos++] = static_cast<uint8_t>(n);
                append_text(out, pos, buffer + at + 3, n);
                at += 3 + n;
            }
            done = true;
        } else {
            return CONVERT_VPD_BAD_DATA;
        }
    }
    // The list ends at its first zero byte and never reaches past length.
    std::memset(buffer, 0, length);
    size_t n = strnlen(reinterpret_cast<const char *>(out), sizeof out);
    if (n > length)
        n = length;
    std::memcpy(buffer, out, n);
    return 0;
}

uint8_t *GetNextVpdEntry(uint8_t *cursor, const uint8_t *end, char *key, uint32_t keySize, char *value,
                         uint32_t valueSize)
{
    if (!cursor || !end || !key || !value || keySize < 4 || valueSize < 256 || cursor >= end)
        return nullptr;
    size_t left = static_cast<size_t>(end - cursor);
    if (cursor[0] == 0 || left < 3 || cursor[2] == 0)
        return nullptr;
    uint32_t n = cursor[2];
    if (n > left - 3)
        return nullptr;
    std::memset(key, 0, keySize);
    std::memset(value, 0, valueSize);
    key[0] = static_cast<char>(cursor[0]);
    key[1] = static_cast<char>(cursor[1]);
    for (uint32_t i = 0; i < n && cursor[3 + i]; ++i)
        value[i] = static_cast<char>(cursor[3 + i]);
    return cursor + 3 + n;
}

int GetVPD(int index, uint8_t *buffer, uint32_t *capacity)
{
    if (!buffer || !capacity)
        return CONVERT_VPD_BAD_DATA;
    std::memset(buffer, 0, *capacity);
    uint8_t work[IDENTITY_VPD_AREA_BYTES];
    std::memset(work, 0, sizeof work);
    uint32_t read = 0;
    int rc = DumpConfigurationData(index, work, CONFIG_REGION_VPD, IDENTITY_VPD_READ_BYTES / 4, 0, &read);
    if (rc != 0) {
        *capacity = 0;
        return rc;
    }
    if (read > IDENTITY_VPD_READ_BYTES)
        read = IDENTITY_VPD_READ_BYTES; // never more than was asked for
    if (read > *capacity) {
        *capacity = read;
        return CONVERT_VPD_BAD_DATA;
    }
    std::memcpy(buffer, work, read);
    *capacity = read;
    return CConvertVPD(buffer, read);
}

void IBM_PSeries_Check(int index)
{
    if (!AdapterExists(static_cast<uint32_t>(index)) || !gAdapters)
        return;
    _Adapter &a = gAdapters[index];
    a.ibmPSeries = 0;
    uint8_t list[IDENTITY_VPD_AREA_BYTES];
    uint32_t size = sizeof list;
    if (GetVPD(index, list, &size) != 0)
        return;
    char key[4];
    char value[256];
    const uint8_t *end = list + size;
    for (uint8_t *cursor = list; (cursor = GetNextVpdEntry(cursor, end, key, sizeof key, value, sizeof value));) {
        if (std::strcmp(key, "VG") != 0)
            continue;
        size_t n = std::strlen(value);
        if (n >= 4 && std::strcmp(value + n - 4, "1014") == 0)
            a.ibmPSeries = 1;
    }
}

int getAdapterVPD()
{
    if (!gAdapters)
        return 0;
    for (uint32_t i = 0; i < gAdapterCount && i < gTotalHBAs; ++i) {
        _Adapter &a = gAdapters[i];
        uint8_t index = static_cast<uint8_t>(i);
        a.jedecId = isSLI4(static_cast<int32_t>(i)) ? GetJedecId4(index) : GetJedecId_new(index);
        if (ibm_checked(a.jedecId))
            IBM_PSeries_Check(static_cast<int>(i));

        CLU_PrintVPD(static_cast<int>(i), &vpd, 0);
        bool has_model = vpd.V2[0] != '\0';
        if (gUseVPD_ModelName == 0 || !has_model)
            getAdapterModel(index, a.modelName);
        if (has_model && gUseVPD_ModelName == 1) {
            copyBoundedText(a.modelName, sizeof a.modelName, vpd.V2);
            if (isBrindlefinFCoEBoard(a.deviceId))
                a.flags = static_cast<uint8_t>(a.flags & ~ADAPTER_FLAG_MODEL_FROM_VPD);
            else
                a.flags |= ADAPTER_FLAG_MODEL_FROM_VPD;
        }
        if (has_model) {
            a.flags |= ADAPTER_FLAG_VPD_MODEL;
            copyBoundedText(a.serialNumber, sizeof a.serialNumber, vpd.SN);
            char v4[sizeof vpd.V4 + 1];
            copyBoundedText(v4, sizeof v4, vpd.V4);
            read_v4_number(v4, a.vpdV4Number);
            first_word(v4, a.vpdV4Text, sizeof a.vpdV4Text);
            ToUpper(a.serialNumber);
            if (gVPDModelDescription) {
                char v1[sizeof vpd.V1 + 1];
                copyBoundedText(v1, sizeof v1, vpd.V1);
                std::free(gVPDModelDescription[i]);
                gVPDModelDescription[i] = strdup(v1);
            }
        }
        if (a.serialNumber[0] == '\0')
            copyBoundedText(a.serialNumber, sizeof a.serialNumber, "N/A");
    }
    return 0;
}

int getVarrowModelName()
{
    if (!gAdapters)
        return 0;
    for (uint32_t i = 0; i < gAdapterCount && i < gTotalHBAs; ++i) {
        if (!isVarrow(static_cast<int32_t>(i)))
            continue;
        _Adapter &a = gAdapters[i];
        if (gUseVPD_ModelName != 0 && (a.flags & ADAPTER_FLAG_MODEL_FROM_VPD))
            continue;
        uint8_t index = static_cast<uint8_t>(i);
        if (IsItMcFC(index) == 1)
            a.flags |= ADAPTER_FLAG_DUAL_CHANNEL;
        else
            a.flags = static_cast<uint8_t>(a.flags & ~ADAPTER_FLAG_DUAL_CHANNEL);
        getAdapterModel(index, a.modelName);
    }
    return 0;
}

namespace {

// The firmware name of an FC-side entry, as READ_REV reports it.
void fc_firmware_name(uint32_t index, char *text, size_t size)
{
    uint8_t mailbox[kReadRevBufferBytes];
    std::memset(mailbox, 0, sizeof mailbox);
    int32_t i = static_cast<int32_t>(index);
    bool sli4 = isSLI4(i) != 0;
    uint32_t rc = sli4 ? ReadRev4(i, mailbox) : ReadRev(i, mailbox);
    if (rc != 0) {
        copyBoundedText(text, size, "N/A");
        return;
    }
    uint8_t name[READ_REV_NAME_LENGTH];
    std::memcpy(name, mailbox + READ_REV_NAME_OFFSET, sizeof name);
    if (!sli4 && !(gAdapters[index].kindFlags & ADAPTER_KIND_FCOE) && main_HostEndian == 1 && !isVarrowFC(i))
        SwapBytes(mailbox + READ_REV_NAME_OFFSET, name, sizeof name);
    size_t n = strnlen(reinterpret_cast<const char *>(name), sizeof name);
    if (n + 1 > size)
        n = size - 1;
    std::memcpy(text, name, n);
    text[n] = '\0';
}

const char *kind_text(uint32_t kindFlags)
{
    if (kindFlags & ADAPTER_KIND_ISCSI)
        return "iSCSI";
    if (kindFlags & ADAPTER_KIND_NIC)
        return "NIC";
    if (kindFlags & ADAPTER_KIND_FCOE)
        return "FCoE";
    return "FC";
}

} // namespace

int32_t displayAdapters()
{
    if (!gAdapters || gTotalHBAs == 0) {
        std::snprintf(szTempBuffer, sizeof szTempBuffer, "%s", "No Orvane adapter detected in the system");
        logDebugOutput("%s", szTempBuffer);
        WIN_Error = kNoAdapters;
        return kNoAdapters;
    }
    for (uint32_t i = 0; i < gTotalHBAs; ++i) {
        const _Adapter &a = gAdapters[i];
        char model[sizeof a.modelName + 1];
        copyBoundedText(model, sizeof model, a.modelName);
        if (i < gAdapterCount) {
            char firmware[READ_REV_NAME_LENGTH + 1];
            fc_firmware_name(i, firmware, sizeof firmware);
            logDebugOutput("Adapter %u: %s IEEE %08X%08X firmware %s device %04X PCI %X:%X:%X.%X model %s\n", i,
                           kind_text(a.kindFlags), a.ieeeAddress[0], a.ieeeAddress[1], firmware, a.deviceId,
                           a.pciSegment, a.pciBus, a.pciDevice, static_cast<unsigned>(static_cast<uint8_t>(a.pciFunction)),
                           model);
        } else {
            char firmware[sizeof(MAL_AWProperties::ActiveFirmwareVersion) + 1] = "";
            if (gCB_Arcwright && a.controllerIndex < gAwCount)
                copyBoundedText(firmware, sizeof firmware,
                                gCB_Arcwright[a.controllerIndex].properties.ActiveFirmwareVersion);
            const uint8_t *m = a.macAddress;
            logDebugOutput("Adapter %u: %s MAC %02X:%02X:%02X:%02X:%02X:%02X controller %u firmware %s PCI "
                           "%X:%X:%X.%X model %s\n",
                           i, kind_text(a.kindFlags), m[0], m[1], m[2], m[3], m[4], m[5], a.controllerIndex,
                           firmware, a.cnaSegment, a.cnaBus, a.cnaDevice, a.cnaFunction, model);
        }
    }
    return WIN_Error;
}
