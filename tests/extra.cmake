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

  # The owner of the memory behind the tokens that memory_token_windows_test
  # writes from another process; the test finds it beside itself.
  add_executable(token_child ${CMAKE_CURRENT_SOURCE_DIR}/hosts/token_child.cpp)
  target_compile_options(token_child PRIVATE ${ZU_WARNINGS})
  target_compile_definitions(token_child PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE)
  target_link_options(token_child PRIVATE ${ZU_EXE_LINK_OPTIONS})
  target_link_libraries(token_child PRIVATE shell32)
  set_target_properties(token_child PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  if(TARGET memory_token_windows_test)
    set_target_properties(memory_token_windows_test PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    add_dependencies(memory_token_windows_test token_child)
  endif()
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

# Fixtures written by libgig (Linux only, and only when libgig is installed):
# each kind and sample layout is generated through libgig, must be accepted by
# the Debian dump tools, and is read back by the fixture reader, which checks
# every sample byte and the instruments against the generator's manifest.
if(NOT WIN32)
  find_package(PkgConfig QUIET)
  if(PKG_CONFIG_FOUND)
    pkg_check_modules(LIBGIG QUIET gig)
  endif()
  find_program(ZU_DLSDUMP dlsdump)
  find_program(ZU_GIGDUMP gigdump)
  find_program(ZU_SF2DUMP sf2dump)

  # The checker and the file writer use only the fixture code: no libgig, no module code.
  add_executable(check_fixture ${CMAKE_CURRENT_SOURCE_DIR}/fixtures/check_fixture.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/support/fixture_reader.cpp ${CMAKE_CURRENT_SOURCE_DIR}/support/fixture_builder.cpp)
  add_executable(fixture_files ${CMAKE_CURRENT_SOURCE_DIR}/fixtures/fixture_files.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/support/fixture_builder.cpp)
  foreach(tool check_fixture fixture_files)
    target_include_directories(${tool} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
    target_compile_options(${tool} PRIVATE ${ZU_WARNINGS})
  endforeach()

  if(ZU_DLSDUMP OR ZU_SF2DUMP)
    add_test(NAME fixture_builder_files_dump
      COMMAND ${CMAKE_COMMAND} -DWRITER=$<TARGET_FILE:fixture_files>
              -DDIR=${CMAKE_CURRENT_BINARY_DIR}/fixture_files_out
              -DDLSDUMP=${ZU_DLSDUMP} -DSF2DUMP=${ZU_SF2DUMP}
              -P ${CMAKE_CURRENT_SOURCE_DIR}/fixtures/run_fixture_files.cmake)
  endif()

  if(LIBGIG_FOUND)
    add_executable(libgig_fixture ${CMAKE_CURRENT_SOURCE_DIR}/fixtures/libgig_fixture.cpp)
    target_include_directories(libgig_fixture PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
    target_include_directories(libgig_fixture SYSTEM PRIVATE ${LIBGIG_INCLUDE_DIRS})
    target_compile_options(libgig_fixture PRIVATE ${ZU_WARNINGS} ${LIBGIG_CFLAGS_OTHER})
    target_link_libraries(libgig_fixture PRIVATE ${LIBGIG_LINK_LIBRARIES})

    set(ZU_LIBGIG_VARIANTS
      "mono16|--frames 101"
      "mono8_odd|--bits 8 --frames 101"
      "mono24_odd|--bits 24 --frames 33"
      "stereo16|--channels 2 --frames 7"
      "stereo24|--channels 2 --bits 24 --frames 5 --rate 96000"
      "stereo8|--channels 2 --bits 8 --frames 3"
      "many|--waves 7 --instruments 3 --regions 5")
    set(ZU_LIBGIG_OUT ${CMAKE_CURRENT_BINARY_DIR}/libgig_fixtures)
    file(MAKE_DIRECTORY ${ZU_LIBGIG_OUT})
    foreach(kind dls gig2 gig3 gig4)
      if(kind STREQUAL "dls")
        set(dump "${ZU_DLSDUMP}")
        set(ext dls)
      else()
        set(dump "${ZU_GIGDUMP}")
        set(ext gig)
      endif()
      if(NOT dump)
        set(dump "")
      endif()
      foreach(variant IN LISTS ZU_LIBGIG_VARIANTS)
        string(REPLACE "|" ";" parts "${variant}")
        list(GET parts 0 vname)
        list(GET parts 1 vopts)
        add_test(NAME fixture_libgig_${kind}_${vname}
          COMMAND ${CMAKE_COMMAND} -DGEN=$<TARGET_FILE:libgig_fixture> -DCHECK=$<TARGET_FILE:check_fixture>
                  "-DDUMP=${dump}" -DKIND=${kind} -DOUT=${ZU_LIBGIG_OUT}/${kind}_${vname}.${ext}
                  "-DOPTS=${vopts}"
                  -P ${CMAKE_CURRENT_SOURCE_DIR}/fixtures/run_libgig_fixture.cmake)
      endforeach()
    endforeach()
  else()
    message(STATUS "libgig not found (pkg-config gig): the libgig fixture tests are skipped")
  endif()
endif()

# The example instruments that ship in examples/ are made by the fixture
# builder; the test checks that the shipped files are exactly what it makes.
add_executable(make_examples ${CMAKE_SOURCE_DIR}/examples/make_examples.cpp ${CMAKE_CURRENT_SOURCE_DIR}/support/fixture_builder.cpp)
target_include_directories(make_examples PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
if(WIN32)
  target_link_options(make_examples PRIVATE ${ZU_EXE_LINK_OPTIONS})
else()
  add_test(NAME examples_are_reproducible
    COMMAND ${CMAKE_COMMAND} -DMAKER=$<TARGET_FILE:make_examples> -DSHIPPED=${CMAKE_SOURCE_DIR}/examples
            -DWORK=${CMAKE_CURRENT_BINARY_DIR}/examples -P ${CMAKE_SOURCE_DIR}/cmake/CheckExamples.cmake)
endif()

# The host tool end to end (Linux: sox, the dump tools and libgig's files).
if(TARGET zuinstr_tool AND NOT WIN32)
  set(ZU_LIBGIG_FIXTURE "")
  if(TARGET libgig_fixture)
    set(ZU_LIBGIG_FIXTURE $<TARGET_FILE:libgig_fixture>)
  endif()
  add_test(NAME tool_roundtrip COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tool/tool_roundtrip.sh
    $<TARGET_FILE:zuinstr_tool> ${CMAKE_SOURCE_DIR}/examples "${ZU_LIBGIG_FIXTURE}")
endif()

# The installed package serves a host built in another folder.
if(NOT WIN32 AND NOT ZU_SANITIZE)
  add_test(NAME install_package COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tool/install_test.sh ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR})
endif()

if(WIN32)
  # The zip's .reg file, imported into a fresh prefix, registers the module for COM.
  add_test(NAME reg_file_activation COMMAND ${CMAKE_COMMAND} -DPREFIX=${CMAKE_BINARY_DIR}/wineprefix-reg
    -DZIP=${CMAKE_BINARY_DIR}/zuinstr-windows-x64.zip -DCLIENT=$<TARGET_FILE:com_activation>
    -P ${CMAKE_SOURCE_DIR}/cmake/RegFileActivation.cmake)
  set_tests_properties(reg_file_activation PROPERTIES TIMEOUT 300)
endif()
