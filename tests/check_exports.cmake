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
