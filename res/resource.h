/*
 * resource.h - resource ids, shared by bootstrap.rc and the code.
 * Only #define lines: the resource compiler reads this file too.
 */
#ifndef BOOTSTRAP_RESOURCE_H
#define BOOTSTRAP_RESOURCE_H

/* Icon group: the program file's icon. */
#define IDI_BOOTSTRAP 1

/* The record of the medium's files (RT_RCDATA), written by make-medium:
   RECORD_CB bytes, all zero in a build (see src/install/record.h). */
#define IDR_MEDIUM_RECORD 1
/* The publisher's choices for the medium (RT_RCDATA), written by
   make-medium beside the record: SETTINGS_CB bytes, all zero in a build
   (see src/install/record.h). */
#define IDR_MEDIUM_SETTINGS 2

/* Splash window: English as it always was (100), and for the other
   languages (102) a template in the shell's dialog font whose text comes
   from the string table (IDS_SPLASH). */
#define IDD_SPLASH 100
#define IDC_SPLASH_TEXT 101
#define IDD_SPLASH_TRANSLATED 102

/* Setup error messages; id 6 takes the Windows directory. */
#define IDS_EXPAND_ERROR 1
#define IDS_READ_ERROR 3
#define IDS_MEMORY_ERROR 4
#define IDS_WRITE_ERROR 5
#define IDS_UNKNOWN_VERSION 6
#define IDS_CMDLINE_TOO_LONG 7
#define IDS_START_ERROR 8
#define IDS_MEDIUM_CHANGED 9
#define IDS_SETUP_ERROR 32
#define IDS_SPLASH 33

/* Assertion report. */
#define IDS_ASSERT_CAPTION 2048
#define IDS_ASSERT_FORMAT 2049

#endif
