# The certificate selection dialog, its owner-drawn list and the small window library under
# them, and their tests.
include_guard(GLOBAL)

set(QM_SIGNING_DIALOG_DIR ${CMAKE_CURRENT_LIST_DIR})

add_library(qmsigning_dialog OBJECT
  ${QM_SIGNING_DIALOG_DIR}/CertificateDialogs.cpp
  ${QM_SIGNING_DIALOG_DIR}/CertificateListCtrl.cpp
  ${QM_SIGNING_DIALOG_DIR}/FoundationLibrary.cpp
  ${QM_SIGNING_DIALOG_DIR}/SelectCertificateDlg.cpp
  ${QM_SIGNING_DIALOG_DIR}/window/WindowThunk.cpp)
target_include_directories(qmsigning_dialog PUBLIC ${QM_SIGNING_DIALOG_DIR})
target_link_libraries(qmsigning_dialog PUBLIC qmfoundation_core)
target_compile_options(qmsigning_dialog PRIVATE -fvisibility=hidden -fvisibility-inlines-hidden)

include(${QM_SIGNING_DIALOG_DIR}/tests/Dialog.cmake)
