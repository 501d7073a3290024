# Test programs with build rules of their own.

# A host that knows only the binary conventions loads the real module.
add_executable(abi_host ${CMAKE_CURRENT_SOURCE_DIR}/hosts/abi_host.cpp)
if(WIN32)
  target_link_options(abi_host PRIVATE ${ZU_EXE_LINK_OPTIONS})
else()
  target_link_libraries(abi_host PRIVATE ${CMAKE_DL_LIBS})
endif()
add_dependencies(abi_host zuinstr)
if(ZU_SANITIZE)
  # The host declares its own interface types, as a host of the binary
  # conventions does; the sanitizer's dynamic-type check would call that UB.
  target_compile_options(abi_host PRIVATE -fno-sanitize=vptr)
endif()
add_test(NAME abi_host COMMAND abi_host $<TARGET_FILE:zuinstr>)
set_tests_properties(abi_host PROPERTIES ENVIRONMENT "${ZU_TEST_ENV}")

# A language module beside a test program, generated like the module's own table.
set(ZU_LNG_DIR ${CMAKE_CURRENT_BINARY_DIR}/lng)
add_custom_command(
  OUTPUT ${ZU_LNG_DIR}/test_language.cpp ${ZU_LNG_DIR}/test_language.rc
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ZU_LNG_DIR}
  COMMAND Python3::Interpreter ${ZU_MESSAGE_GENERATOR} ${CMAKE_CURRENT_SOURCE_DIR}/lng/test_language.txt
          --cpp ${ZU_LNG_DIR}/test_language.cpp --rc ${ZU_LNG_DIR}/test_language.rc
          --symbol ZuLanguageModuleStrings --extern-c
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/lng/test_language.txt ${ZU_MESSAGE_GENERATOR})
if(WIN32)
  add_library(lng_module_test_language SHARED ${ZU_LNG_DIR}/test_language.rc ${CMAKE_CURRENT_SOURCE_DIR}/lng/resource_only.c)
  target_link_options(lng_module_test_language PRIVATE -static-libgcc)
else()
  add_library(lng_module_test_language SHARED ${ZU_LNG_DIR}/test_language.cpp)
  target_include_directories(lng_module_test_language PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/include)
endif()
set_target_properties(lng_module_test_language PROPERTIES PREFIX "" OUTPUT_NAME lng_module_test SUFFIX ".LNG"
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR} RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
zu_add_test_program(lng_module_test ${CMAKE_CURRENT_SOURCE_DIR}/lng/lng_module_test.cpp)
add_dependencies(lng_module_test lng_module_test_language)

if(WIN32)
  # Real COM activation through ole32 in the wine prefix's registry.
  add_executable(com_activation ${CMAKE_CURRENT_SOURCE_DIR}/hosts/com_activation.cpp)
  target_include_directories(com_activation PRIVATE ${CMAKE_SOURCE_DIR}/include)
  target_link_options(com_activation PRIVATE ${ZU_EXE_LINK_OPTIONS})
  target_link_libraries(com_activation PRIVATE ole32 oleaut32 uuid)
  add_dependencies(com_activation zuinstr)
  add_test(NAME com_activation COMMAND com_activation $<TARGET_FILE:zuinstr>)
  set_tests_properties(com_activation PROPERTIES ENVIRONMENT "${ZU_TEST_ENV}" FIXTURES_REQUIRED wine)
  set_tests_properties(abi_host PROPERTIES FIXTURES_REQUIRED wine)
endif()

# The host tool finds the module beside itself and lists the three formats.
if(TARGET zuinstr_tool)
  add_test(NAME tool_formats COMMAND zuinstr_tool formats --json)
  set_tests_properties(tool_formats PROPERTIES ENVIRONMENT "${ZU_TEST_ENV}"
    PASS_REGULAR_EXPRESSION "Gig Instrument.*DLS Instrument.*SoundFont 2 Instrument")
  if(WIN32)
    set_tests_properties(tool_formats PROPERTIES FIXTURES_REQUIRED wine)
  endif()
endif()
