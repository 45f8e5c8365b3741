/*
 * test_support.h - the fixture every unit test starts from.
 */
#ifndef TEST_SUPPORT_H
#define TEST_SUPPORT_H

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "expected_strings.h"
#include "fresh_program.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

/* A fresh fake machine and a program that has not run yet. */
class FakeTest : public ::testing::Test {
protected:
    void SetUp() override { FreshProgram(); }
};

/* The report text for a check, as the product formats it. */
inline std::string Report(const char *format, const char *file, int line, const char *expr)
{
    char text[2048];
    snprintf(text, sizeof text, format, file, line, expr);
    return text;
}

#endif
