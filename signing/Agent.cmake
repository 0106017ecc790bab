# The signing agent, its signing roads and the PKCS#7 writers, and their tests.
include_guard(GLOBAL)

set(QM_SIGNING_DIR ${CMAKE_CURRENT_LIST_DIR})

# The agent. The choice among several candidates belongs to the selection dialog; without
# it (a tree that lacks Dialog.cmake) only a single candidate can be chosen.
set(QM_SIGNING_AGENT_SOURCES
  ${QM_SIGNING_DIR}/CryptoAgent.cpp
  ${QM_SIGNING_DIR}/CryptoAgentCertInfo.cpp
  ${QM_SIGNING_DIR}/CryptoAgentSelection.cpp)
if(TARGET qmsigning_dialog)
  list(APPEND QM_SIGNING_AGENT_SOURCES ${QM_SIGNING_DIR}/CertificateChoiceDialog.cpp)
  set(QM_SIGNING_AGENT_DIALOG qmsigning_dialog)
else()
  list(APPEND QM_SIGNING_AGENT_SOURCES ${QM_SIGNING_DIR}/CertificateChoiceSingle.cpp)
  set(QM_SIGNING_AGENT_DIALOG)
endif()

# Signing roads over CryptoAPI and the SignedData writers.
add_library(qmsigning_roads OBJECT
  ${QM_SIGNING_DIR}/HashAlgorithm.cpp
  ${QM_SIGNING_DIR}/ObjectIdentifier.cpp
  ${QM_SIGNING_DIR}/Pkcs7Writer.cpp
  ${QM_SIGNING_DIR}/RsaSigning.cpp
  ${QM_SIGNING_DIR}/SignatureSteps.cpp
  ${QM_SIGNING_DIR}/Sm2Signing.cpp)
target_include_directories(qmsigning_roads PUBLIC ${QM_SIGNING_DIR})
target_link_libraries(qmsigning_roads PUBLIC qmfoundation_core)
target_compile_options(qmsigning_roads PRIVATE -fvisibility=hidden -fvisibility-inlines-hidden)

add_library(qmsigning_agent OBJECT ${QM_SIGNING_AGENT_SOURCES})
target_include_directories(qmsigning_agent PUBLIC ${QM_SIGNING_DIR})
target_link_libraries(qmsigning_agent PUBLIC qmsigning_roads qmfoundation_core)
target_compile_options(qmsigning_agent PRIVATE -fvisibility=hidden -fvisibility-inlines-hidden)

# Test helpers: OpenSSL-made signers and a provider module that records what reaches it.
add_library(qmsigning_testsigner STATIC
  ${QM_SIGNING_DIR}/tests/OpensslFixtures.cpp
  ${QM_SIGNING_DIR}/tests/TestSigner.cpp)
target_include_directories(qmsigning_testsigner PUBLIC ${QM_SIGNING_DIR}/tests)
target_link_libraries(qmsigning_testsigner PUBLIC qmwin OpenSSL::Crypto)

qm_gtest(signing_pkcs7_test LABEL signing
  SOURCES ${QM_SIGNING_DIR}/tests/Pkcs7WriterTest.cpp
  LIBS qmsigning_roads qmfoundation_core qmsigning_testsigner)

# A provider module with OpenSSL keys that logs what reaches it.
add_library(qmsigning_test_csp MODULE ${QM_SIGNING_DIR}/tests/RecordingCsp.cpp)
target_link_libraries(qmsigning_test_csp PRIVATE qmwin OpenSSL::Crypto)
set_target_properties(qmsigning_test_csp PROPERTIES PREFIX "" LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)

qm_gtest(signing_roads_test LABEL signing
  SOURCES ${QM_SIGNING_DIR}/tests/SigningRoadsTest.cpp ${QM_SIGNING_DIR}/tests/RecordingCspMachine.cpp
  LIBS qmsigning_roads qmfoundation_core qmsigning_testsigner)
target_compile_definitions(signing_roads_test PRIVATE QM_TEST_CSP_PATH="$<TARGET_FILE:qmsigning_test_csp>")
add_dependencies(signing_roads_test qmsigning_test_csp)

# Page scripts through nphost on machines set up with qmctl.
if(TARGET nphost AND TARGET qmctl)
  function(qm_signing_page name script expected)
    qm_script_test(${name} LABEL signing
      COMMAND ${QM_SIGNING_DIR}/tests/run_page.sh $<TARGET_FILE:qmctl> $<TARGET_FILE:nphost>
              $<TARGET_FILE:signing_plugin> ${QM_SIGNING_DIR}/tests/pages/${script}
              ${QM_SIGNING_DIR}/tests/pages/${expected} ${ARGN})
    set_property(TEST ${name} APPEND PROPERTY LABELS e2e)
  endfunction()
  qm_signing_page(signing_page_errors_en errors.js errors.en.out 0409)
  qm_signing_page(signing_page_errors_zh errors.js errors.zh.out 0804)
endif()

qm_gtest(signing_agent_test LABEL signing
  SOURCES ${QM_SIGNING_DIR}/tests/CryptoAgentTest.cpp ${QM_SIGNING_DIR}/tests/RecordingCspMachine.cpp
  LIBS qmsigning_agent qmsigning_roads ${QM_SIGNING_AGENT_DIALOG} qmfoundation_core qmsigning_testsigner)
target_compile_definitions(signing_agent_test PRIVATE QM_TEST_CSP_PATH="$<TARGET_FILE:qmsigning_test_csp>")
add_dependencies(signing_agent_test qmsigning_test_csp)
if(TARGET nphost AND TARGET qmctl)
  qm_script_test(signing_page_rsa_flow LABEL signing
    COMMAND ${QM_SIGNING_DIR}/tests/run_rsa_flow.sh $<TARGET_FILE:qmctl> $<TARGET_FILE:nphost>
            $<TARGET_FILE:signing_plugin> ${QM_SIGNING_DIR}/tests/pages)
  set_property(TEST signing_page_rsa_flow APPEND PROPERTY LABELS e2e)
endif()
if(TARGET nphost AND TARGET qmctl AND TARGET tokencsp)
  qm_script_test(signing_page_sm2_flow LABEL signing
    COMMAND ${QM_SIGNING_DIR}/tests/run_sm2_flow.sh $<TARGET_FILE:qmctl> $<TARGET_FILE:nphost>
            $<TARGET_FILE:signing_plugin> ${QM_SIGNING_DIR}/tests/pages)
  set_property(TEST signing_page_sm2_flow APPEND PROPERTY LABELS e2e)
endif()

qm_gtest(signing_script_object_test LABEL signing
  SOURCES ${QM_SIGNING_DIR}/tests/ScriptObjectTest.cpp ${QM_SIGNING_DIR}/tests/RecordingCspMachine.cpp
  LIBS qmsigning_testsigner qm_fake_browser)
target_compile_definitions(signing_script_object_test PRIVATE
  QM_TEST_CSP_PATH="$<TARGET_FILE:qmsigning_test_csp>" QM_SIGNING_PLUGIN="$<TARGET_FILE:signing_plugin>")
add_dependencies(signing_script_object_test qmsigning_test_csp signing_plugin)
