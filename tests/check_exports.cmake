# The shared library's dynamic symbol table holds the eight host calls
# unmangled, and nothing defined outside oem_*, VEXO_* and MAL_*.
execute_process(COMMAND nm -D --defined-only ${LIB} OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIB}")
endif()
string(REPLACE "\n" ";" lines "${out}")
set(found "")
foreach(line ${lines})
  if(line MATCHES "^[0-9a-fA-F]+ ([A-Za-z]) (.+)$")
    set(kind ${CMAKE_MATCH_1})
    set(name ${CMAKE_MATCH_2})
    if(kind STREQUAL "A")
      continue() # version-script nodes
    endif()
    if(NOT name MATCHES "^(oem_|VEXO_|MAL_)")
      message(FATAL_ERROR "unexpected export: ${name}")
    endif()
    list(APPEND found ${name})
  endif()
endforeach()
foreach(call oem_do_discovery_with_files oem_do_flash_with_file oem_do_full_flash_PCI
        oem_get_full_flash_dump_PCI oem_get_adapter_info oem_flash_lib_version
        oem_text_for_error_code oem_get_debug_info)
  list(FIND found ${call} at)
  if(at EQUAL -1)
    message(FATAL_ERROR "missing export: ${call}")
  endif()
endforeach()
foreach(call MAL_SetTcpIpConfig MAL_AddArpTableEntry MAL_DeleteArpTableEntry MAL_AddRouteTableEntry
        MAL_DeleteRouteTableEntry MAL_RefreshArpTable MAL_RefreshRouteTable MAL_Ping MAL_PingIPv6
        MAL_SetNicPhysicalProperties MAL_SetPortPhysicalProperties MAL_SetiSCSIPhysicalProperties
        MAL_SetiSCSI_MPIO MAL_EraseConfiguration MAL_ClearEventLog MAL_ClearFatData MAL_SetVexoDebugLevel
        MAL_GetAdapterPersonalityInfo MAL_ChangeAdapterPersonality MAL_GetPortLinkReconfigInfo
        MAL_SetPortLinkReConfigInfo MAL_GetPhyPortSpeedSettings MAL_SetPhyPortSpeedSettings MAL_EnumNIC_SRIOV_VFs
        MAL_GetNICLogicalHbaTag MAL_GetNIC_SRIOV_VFProps MAL_SetNIC_SRIOV_VFProps MAL_ConfigureBootTarget
        MAL_AddTargetPortalToTarget MAL_EraseConfig MAL_Set_BootLUN MAL_SetSession_iSCSIBoot
        MAL_GetChannelMgmtCnaInfo MAL_GetChannelMgmtCnaInfoTrl MAL_GetChannelMgmtChannelInfo
        MAL_GetChannelMgmtPortInfo MAL_SetChannelMgmtCnaInfo MAL_SetChannelMgmtLogicalLinkState
        MAL_SetChannelMgmtLPVID MAL_SetChannelMgmtPortType MAL_SetChannelMgmtBandwidth MAL_GetFRUVPD
        MAL_SetProfileID MAL_SetPortProtocols MAL_GetProfileInfo MAL_PM_SetFactoryDefaults MAL_PM_SaveProfile
        MAL_SetMaxFunctionNumber MAL_GetPMFunctionProfileSetting MAL_Run_FwCli MAL_ResetFactoryDefaults)
  list(FIND found ${call} at)
  if(at EQUAL -1)
    message(FATAL_ERROR "missing export: ${call}")
  endif()
endforeach()
