#include "hba/boot_images.h"

#include <cstring>

#include "hba/mbox_transport.h"

namespace {

const size_t kProgressByte = 5;
const size_t kSubCommandByte = 6;
const size_t kAddressField = 8;
const size_t kIdWord0Field = 16;
const size_t kIdWord1Field = 20;

// One LOAD_EXP_ROM command: 0 with *progress and *address from the answer,
// else the mailbox status (gErrorData set).
uint32_t send_step(int board, const WAKEUP_PARMS &record, uint8_t sub, uint32_t *address, uint8_t *progress)
{
    MBOX_CMD m;
    std::memset(&m, 0, sizeof m);
    m.mbxCommand = MBX_LOAD_EXP_ROM;
    uint8_t *b = reinterpret_cast<uint8_t *>(&m);
    b[kSubCommandByte] = sub;
    mbox_put_u32(b, kAddressField, *address);
    mbox_put_u32(b, kIdWord0Field, record.words[WAKEUP_SLOT_EXP_ROM]);
    mbox_put_u32(b, kIdWord1Field, record.words[WAKEUP_SLOT_EXP_ROM + 1]);
    uint32_t r = IssueMbox1(board, &m, 8, 44);
    if (r != 0) {
        gErrorData.command = m.mbxCommand;
        gErrorData.status = m.mbxStatus;
        return r;
    }
    *progress = b[kProgressByte];
    *address = mbox_u32(b, kAddressField);
    return 0;
}

} // namespace

DOWNLOAD_STATUS processLoadExpRom(int board, WAKEUP_PARMS *record, int noWrite)
{
    if (!record)
        return WAKEUP_PARMS_ERROR;
    uint32_t address = 0;
    uint8_t progress = 0;
    uint32_t r = send_step(board, *record, LOAD_EXP_ROM_START, &address, &progress);
    if (r != 0)
        return static_cast<DOWNLOAD_STATUS>(r);
    // Done at once: the record is written even under noWrite.
    if (progress == LOAD_EXP_ROM_DONE)
        return UpdateAbsWakeupParms(board, record);
    if (progress != LOAD_EXP_ROM_BUSY)
        return LOAD_PROGRESS_ERROR;

    // An adapter that never reaches the awaited answer is given up on.
    const uint8_t phases[2][2] = {{LOAD_EXP_ROM_CONTINUE, LOAD_EXP_ROM_LOADED},
                                  {LOAD_EXP_ROM_FINISH, LOAD_EXP_ROM_DONE}};
    uint32_t steps = 0;
    for (const uint8_t *phase : phases) {
        const uint8_t sub = phase[0], until = phase[1];
        do {
            if (steps++ == LOAD_EXP_ROM_MAX_STEPS)
                return LOAD_PROGRESS_ERROR;
            r = send_step(board, *record, sub, &address, &progress);
            if (r != 0)
                return static_cast<DOWNLOAD_STATUS>(r);
        } while (progress != until);
    }
    if (noWrite == 0)
        return UpdateAbsWakeupParms(board, record);
    return DOWNLOAD_OK;
}
