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

# Network, link-state, log and diagnostics readers; network boot, MAC,
# throttle, VNTag and trace operations.
foreach(call MAL_GetGroup_Network MAL_GetTcpIpConfig MAL_GetiSNSProperties MAL_GetArpTable MAL_GetRouteTable
        MAL_Get_DiscoverBootTargetThruDHCP MAL_GetDiagnosticsProperties MAL_isControllerAlive
        MAL_GetPhysicalLinkStatus MAL_GetLogicalLinkStatus MAL_GetiSCSILogicalLinkStatus MAL_GetEventLogEntry
        MAL_GetFatData MAL_GetPortPhysicalProperties
        MAL_SetNetbootParams MAL_SetVLANProps MAL_SetVolatileMACAddress MAL_SetNonVolatileMACAddress
        MAL_GetTxThrottle MAL_SetTxThrottle MAL_GetVNTagState MAL_SetVNTagState MAL_VNTagConfigProvisionInfo
        MAL_GetExtFatData MAL_SetExtFatModule MAL_EnableLoggingOnAllModules MAL_DisableLoggingOnAllModules
        MAL_SetDefaultLoggingConfig)
  list(FIND found ${call} at)
  if(at EQUAL -1)
    message(FATAL_ERROR "missing export: ${call}")
  endif()
endforeach()

# Data-centre-bridging and loopback operations of the client layer.
foreach(call MAL_GetLldpProperties MAL_SetLldpProperties MAL_GetDcbxPortVars MAL_SetDcbxPortVars
        MAL_GetTags_PFC MAL_GetPfcProperties MAL_SetPfcProperties MAL_GetTags_PGSettings
        MAL_GetPGProperties MAL_SetPGProperties MAL_SetPGPriorities MAL_SetPGBandwidths
        MAL_GetTags_QCN MAL_GetQCNProperties MAL_SetQCNProperties MAL_GetAppTlvProperties
        MAL_SetAppTlvProperties MAL_AddAppTlv MAL_DelAppTlv MAL_GetTlvProperties MAL_SetTlvProperties
        MAL_EnterLoopbackMode MAL_ExitLoopbackMode)
  list(FIND found ${call} at)
  if(at EQUAL -1)
    message(FATAL_ERROR "missing export: ${call}")
  endif()
endforeach()

# Port, profile and TCP/IP operations of the client layer.
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

# iSCSI initiator, send-target portal, target, login and iSNS operations.
foreach(call MAL_SetiSCSILogicalProperties MAL_SetiSCSILoginOptions MAL_SetiSCSIAuthOptions
        MAL_Set_DiscoverBootTargetThruDHCP MAL_ConfigureCHAP MAL_DeleteCHAP MAL_AddSendTargetPortal
        MAL_DelSendTargetPortal MAL_SetSendTargetPortalLoginOptions MAL_SetSendTargetPortalAuthOptions
        MAL_DiscoverTargets MAL_RefreshTargets MAL_AddTarget MAL_DelTarget MAL_SetTargetProperties
        MAL_SetTargetLoginOptions MAL_SetTargetAuthOptions MAL_TargetLogin MAL_TargetLogout MAL_RescanLuns
        MAL_SetiSNSState MAL_AddiSNSServer MAL_DeleteiSNSServer MAL_DiscoveriSNSServers)
  list(FIND found ${call} at)
  if(at EQUAL -1)
    message(FATAL_ERROR "missing export: ${call}")
  endif()
endforeach()
