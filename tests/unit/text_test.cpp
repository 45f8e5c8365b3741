/*
 * Bounded text helpers: formatting, copying and appending never pass the
 * end of their buffer and say whether the whole text fitted.
 */
#include "test_support.h"

#include "text.h"

static std::string Format(size_t cch, BOOL *fits, const char *format, ...)
{
    std::vector<char> buffer(cch + 8, '#');
    va_list args;
    va_start(args, format);
    *fits = FormatBoundedV(buffer.data(), cch, format, args);
    va_end(args);
    for (size_t i = cch; i < buffer.size(); i++)
        EXPECT_EQ(buffer[i], '#') << "written past the end: " << format;
    return buffer.data();
}

TEST(FormatBounded, ConversionsTheProgramUses)
{
    BOOL fits;
    EXPECT_EQ(Format(100, &fits, "%s\\%s", "C:\\WINDOWS", "Riredud.exe"), "C:\\WINDOWS\\Riredud.exe");
    EXPECT_EQ(Format(100, &fits, "File: %s, Line#: %d", "stub", 447), "File: stub, Line#: 447");
    EXPECT_EQ(Format(100, &fits, "%d %d %d", 0, -31, INT_MIN), "0 -31 -2147483648");
    EXPECT_EQ(Format(100, &fits, "%u %x %X %c", 4294967295u, 0xabcu, 0xabcu, 'q'),
              "4294967295 abc ABC q");
    EXPECT_EQ(Format(100, &fits, "100%% %s", (const char *)NULL), "100% (null)");
    EXPECT_TRUE(fits);
}

TEST(FormatBounded, UnknownConversionsAreCopiedAndTakeNoArgument)
{
    BOOL fits;
    EXPECT_EQ(Format(100, &fits, "%n %5s %l %s", "x"), "%n %5s %l x");
    EXPECT_EQ(Format(100, &fits, "trailing %"), "trailing %");
}

TEST(FormatBounded, ALongTextIsCutAndSaysSo)
{
    BOOL fits;
    EXPECT_EQ(Format(6, &fits, "%s", "abcdef"), "abcde");
    EXPECT_FALSE(fits);
    EXPECT_EQ(Format(7, &fits, "%s", "abcdef"), "abcdef");
    EXPECT_TRUE(fits);
    EXPECT_EQ(Format(1, &fits, "%d", 5), "");
    EXPECT_FALSE(fits);
    EXPECT_EQ(Format(4, &fits, "%d", -12345), "-12");
}

TEST(CopyAndAppend, StopAtTheEndOfTheBuffer)
{
    char buffer[8] = "ab";
    EXPECT_TRUE(AppendBounded(buffer, sizeof buffer, "cdefg"));
    EXPECT_STREQ(buffer, "abcdefg");
    EXPECT_FALSE(AppendBounded(buffer, sizeof buffer, "h"));
    EXPECT_STREQ(buffer, "abcdefg");
    EXPECT_FALSE(CopyBounded(buffer, 4, "wxyz"));
    EXPECT_STREQ(buffer, "wxy");
}
