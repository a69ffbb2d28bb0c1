#include "flash/hba_record.h"

#include "adapters/board_predicates.h"

int isQuellbeamHBA(const _Hba *hba)
{
    return hba && hba->kind == HBA_KIND_FC;
}

int isCNA(const _Hba *hba)
{
    return hba && (hba->kind == HBA_KIND_NIC || hba->kind == HBA_KIND_ISCSI || hba->kind == HBA_KIND_FCOE);
}

int isVarrowFCHBA(const _Hba *hba)
{
    if (!hba)
        return 0;
    int32_t id = static_cast<int32_t>(hba->deviceId);
    return isVarrowFCBoard(id) || isVarrowG6Board(id);
}
