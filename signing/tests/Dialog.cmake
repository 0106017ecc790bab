# Tests of the selection dialog and its list: real certificates in a temporary machine's
# "MY" store, the modal loop driven by injected input, pixels of the rendered cards.
set(QM_SIGNING_DIALOG_TESTS ${CMAKE_CURRENT_LIST_DIR})

# A resource module with the dialog's strings but none of its pictures.
add_library(qmsigning_dialog_strings_only MODULE ${QM_SIGNING_DIALOG_TESTS}/fixture/ResourceModule.cpp)
qm_add_resources(qmsigning_dialog_strings_only ${QM_SIGNING_DIALOG_TESTS}/fixture/DialogStringsOnly.rc)
set_target_properties(qmsigning_dialog_strings_only PROPERTIES
  PREFIX "" LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/fixtures)

qm_gtest(signing_dialog_test LABEL signing
  SOURCES
    ${QM_SIGNING_DIALOG_TESTS}/SelectCertificateDialogTest.cpp
    ${QM_SIGNING_DIALOG_TESTS}/CertificateListTest.cpp
    ${QM_SIGNING_DIALOG_TESTS}/DisplayEntryTest.cpp
    ${QM_SIGNING_DIALOG_TESTS}/SelectionDialogMachine.cpp
    ${PROJECT_SOURCE_DIR}/platform/crypt32/tests/cert_factory.cpp
  LIBS qmsigning_dialog qmfoundation_core)
qm_add_resources(signing_dialog_test ${QM_SIGNING_DIALOG_DIR}/res/SelectCertificate.rc
  INCLUDE_DIRS ${QM_SIGNING_DIALOG_DIR})
target_include_directories(signing_dialog_test PRIVATE ${PROJECT_SOURCE_DIR}/platform/crypt32/tests)
add_dependencies(signing_dialog_test rsaenh foundation_container_fixture_csp qmsigning_dialog_strings_only
  signing_plugin)
target_compile_definitions(signing_dialog_test PRIVATE
  QM_RSAENH_PATH=u"$<TARGET_FILE:rsaenh>"
  QM_TOKEN_FIXTURE_CSP=u"$<TARGET_FILE:foundation_container_fixture_csp>"
  QM_STRINGS_ONLY_MODULE=u"$<TARGET_FILE:qmsigning_dialog_strings_only>"
  QM_SIGNING_PLUGIN=u"$<TARGET_FILE:signing_plugin>"
  QM_TEST_OUTPUT_DIR="${CMAKE_BINARY_DIR}/test-output/signing-dialog")

# A page flow with the dialog: the script sets up a machine with qmctl and drives the pages
# through nphost, which plays the user's keys and clicks into the dialog; pictures go to OUT.
function(qm_signing_dialog_flow name script out)
  if(TARGET nphost AND TARGET qmctl)
    qm_script_test(${name} LABEL signing
      COMMAND ${QM_SIGNING_DIALOG_TESTS}/${script} $<TARGET_FILE:qmctl> $<TARGET_FILE:nphost>
              $<TARGET_FILE:signing_plugin> ${QM_SIGNING_DIALOG_TESTS}/pages ${CMAKE_BINARY_DIR}/test-output/${out})
    set_property(TEST ${name} APPEND PROPERTY LABELS e2e)
  endif()
endfunction()

# The dialog in whole page flows.
qm_signing_dialog_flow(signing_page_dialog_flow run_dialog_flow.sh signing-dialog-pages)
# A certificate with a name value that is no string, listed, chosen and signing in a page.
qm_signing_dialog_flow(signing_page_octet_name_flow run_octet_flow.sh signing-octet-pages)
