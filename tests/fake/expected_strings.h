/*
 * expected_strings.h - the user-visible texts as they must read, written
 * out independently of the resource script so tests can hold it to them.
 */
#ifndef EXPECTED_STRINGS_H
#define EXPECTED_STRINGS_H

#include "resource.h"

#define SUPPORT_ADDRESS "setup-support@varnik.example"

static const struct {
    unsigned id;
    const char *text;
} expectedStrings[] = {
    { IDS_EXPAND_ERROR,
      "There was an error expanding a file. Setup cannot continue. Restart Windows and run "
      "Setup again." },
    { IDS_READ_ERROR,
      "There was an error reading a file. Setup cannot continue. Restart Windows and run Setup "
      "again." },
    { IDS_MEMORY_ERROR,
      "There was a memory problem. Setup cannot continue. Restart Windows and run Setup "
      "again." },
    { IDS_WRITE_ERROR,
      "There was a problem writing to the destination drive. The drive may be full. Setup "
      "cannot continue. Restart Windows and run Setup again." },
    { IDS_UNKNOWN_VERSION,
      "An unknown version of RIREDUD.EXE was detected in %s. You must remove this file and run "
      "Setup.exe again." },
    { IDS_CMDLINE_TOO_LONG,
      "The command line given to Setup is too long for the setup program. Setup cannot "
      "continue. Run Setup again with fewer or shorter arguments." },
    { IDS_START_ERROR,
      "The setup program could not be started. The installation medium may be damaged. Setup "
      "cannot continue." },
    { IDS_MEDIUM_CHANGED,
      "The installation medium is damaged or has been changed. Setup cannot continue. Obtain a "
      "new copy of the installation medium and run Setup again." },
    { IDS_SETUP_ERROR, "Setup Error" },
    { IDS_ASSERT_CAPTION, "Assertion Failure!" },
    { IDS_ASSERT_FORMAT,
      "File: %s, Line#: %d\n"
      "Assert( %s );\n"
      "Please note this information and contact Varnik (" SUPPORT_ADDRESS ").\n"
      "\n"
      "Do you want to continue?" },
};

/* The text of string id, or "" for an id without a string. */
static inline const char *ExpectedString(unsigned id)
{
    for (const auto &s : expectedStrings)
        if (s.id == id)
            return s.text;
    return "";
}

#define EXPECTED_FALLBACK_FORMAT                                                              \
    "File: %s, Line#: %d\n"                                                                   \
    "Assert( %s );\n"                                                                         \
    "Please contact Varnik (" SUPPORT_ADDRESS ").\n"                                          \
    "\n"                                                                                      \
    "Do you want to continue?"

#define SPLASH_TEXT "Setup is loading...Please Wait"

#endif
