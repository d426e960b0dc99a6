// Resource and control identifiers of TACHINST.EXE. Plain #defines: this
// header is read by the resource compiler as well as by the C++ code.
#ifndef TACHY_INSTALLER_RESOURCE_IDS_H
#define TACHY_INSTALLER_RESOURCE_IDS_H

#define IDI_TACHINST 501
#define IDM_TACHINST 502
#define IDD_SELECT_MODEL 503
#define IDD_REINSTALL_REMOVE 504
#define IDD_INSTALLED 505
#define IDD_REMOVED 506

#define IDM_FILE_EXIT 40001

// Select Model dialog (503).
#define IDC_MODEL_NONE 1000
#define IDC_MODEL_2000 1001
#define IDC_MODEL_3000 1002
#define IDC_MODEL_3500 1003
#define IDC_ADVANCED_PANEL 1004
#define IDC_WIN98_GROUP 1005
#define IDC_MODEL_GROUP 1008
#define IDC_VERSION_LABEL 1013

// Reinstall or Remove dialog (504).
#define IDC_REINSTALL 1006
#define IDC_REMOVE 1007
#define IDC_RR_LINE1 1009
#define IDC_RR_LINE2 1010
#define IDC_RR_LINE3 1011
#define IDC_RR_FRAME 1012

// Installed dialog (505).
#define IDC_INST_LINE1 1015
#define IDC_INST_LINE2 1016
#define IDC_INST_FRAME 1019

// Removed dialog (506).
#define IDC_REM_FRAME 1014
#define IDC_REM_LINE1 1017
#define IDC_REM_LINE2 1018

#endif
