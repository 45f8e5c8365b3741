/*
 * fresh_program.h - a fresh fake machine and a program that has not run
 * yet: the one reset of the program's process-wide state, for the unit
 * tests and the fuzzers alike.
 */
#ifndef FRESH_PROGRAM_H
#define FRESH_PROGRAM_H

#include "fake.h"
#include "install/pathutil.h"
#include "ui/assertion.h"
#include "ui/messages.h"
#include "ui/splash.h"

inline void FreshProgram(void)
{
    fake::Reset();
    fake::LoadProductStrings();
    fPlatformAsked = 0;
    fPlatformWin9x = 0;
    hSplash = NULL;
    szMessage[0] = '\0';
    SetResourceModule(fake::hTestInstance);
}

#endif
