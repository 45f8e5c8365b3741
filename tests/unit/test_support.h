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

/* A record of the medium as make-medium writes it: the signature, then
   each file's length and SHA-256 (in hex). */
inline std::string RecordBytes(const std::vector<std::pair<uint32_t, std::string>> &files,
                               const char *signature = "REC1")
{
    std::string bytes(signature, 4);
    for (const auto &file : files) {
        for (int i = 0; i < 4; i++)
            bytes += (char)(file.first >> (8 * i));
        for (size_t i = 0; i < 64; i += 2)
            bytes += (char)std::stoi(file.second.substr(i, 2), nullptr, 16);
    }
    return bytes;
}

/* sha256sum of "data", what the fake installs from a medium's file that a
   test gives no bytes, and of nothing. */
#define SHA256_OF_DATA "3a6eb0790f39ac87c94f3856b2dd2c5d110e6811602261a9a923d3bb23adc8b7"
#define SHA256_OF_EMPTY "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"

#endif
