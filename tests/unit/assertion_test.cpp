/*
 * The assertion report: its text, where it goes, and Yes and No.
 */
#include "test_support.h"

#define ASSERT_STYLE 0x00041034u

static std::string ProductFormat()
{
    return fake::state.strings[IDS_ASSERT_FORMAT];
}

class AssertionTest : public FakeTest {};

TEST_F(AssertionTest, ReportNamesFileLineAndExpressionWithProductTexts)
{
    AssertFailed("szSourceFile", "stub", 447);

    std::string expected = "File: stub, Line#: 447\n"
                           "Assert( szSourceFile );\n"
                           "Please note this information and contact Varnik (" SUPPORT_ADDRESS
                           ").\n\nDo you want to continue?";
    ASSERT_EQ(fake::state.boxes.size(), 1u);
    EXPECT_EQ(fake::state.boxes[0].text, expected);
    EXPECT_EQ(fake::state.boxes[0].caption, "Assertion Failure!");
    EXPECT_EQ(fake::state.boxes[0].style, ASSERT_STYLE);
    EXPECT_EQ(fake::state.boxes[0].owner, (HWND)NULL);
    EXPECT_THAT(fake::state.debugOutput, ElementsAre(expected));
}

TEST_F(AssertionTest, BuiltInTextsStandInForMissingStrings)
{
    fake::state.strings.erase(IDS_ASSERT_FORMAT);
    fake::state.strings.erase(IDS_ASSERT_CAPTION);

    AssertFailed("szSourceFile", "stub", 447);

    ASSERT_EQ(fake::state.boxes.size(), 1u);
    EXPECT_EQ(fake::state.boxes[0].text,
              Report(EXPECTED_FALLBACK_FORMAT, "stub", 447, "szSourceFile"));
    EXPECT_EQ(fake::state.boxes[0].caption, "Assertion Failure!");
}

TEST_F(AssertionTest, EmptyStringsCountAsMissing)
{
    fake::state.strings[IDS_ASSERT_FORMAT] = "";
    fake::state.strings[IDS_ASSERT_CAPTION] = "";

    AssertFailed("x", "stub", 1);

    EXPECT_EQ(fake::state.boxes[0].text, Report(EXPECTED_FALLBACK_FORMAT, "stub", 1, "x"));
    EXPECT_EQ(fake::state.boxes[0].caption, "Assertion Failure!");
}

TEST_F(AssertionTest, DebuggerHearsTheReportBeforeTheBoxAndFormatLoadsBeforeCaption)
{
    AssertFailed("cmdLine", "stub", 163);

    EXPECT_THAT(fake::CallsNamed({ "LoadStringA", "OutputDebugStringA", "MessageBoxA" }),
                ElementsAre(::testing::HasSubstr(",2049,500)"),
                            ::testing::HasSubstr(",2048,500)"), "OutputDebugStringA()",
                            ::testing::StartsWith("MessageBoxA(")));
}

TEST_F(AssertionTest, YesAndAFailedBoxBothReturnToTheCaller)
{
    static const int answers[] = { IDYES, 0, IDOK };
    for (int answer : answers) {
        fake::state.boxAnswers = { answer };
        AssertFailed("hStub", "stub", 184);
    }
    EXPECT_EQ(fake::state.boxes.size(), 3u);
}

TEST_F(AssertionTest, NoEndsTheProcessWithExitCodeOne)
{
    fake::state.boxAnswers = { IDNO };
    EXPECT_EXIT(AssertFailed("hStub", "stub", 184), ::testing::ExitedWithCode(1), "");
}

/* Where nobody can see a box (a window station without visible surfaces:
   a service, session 0), the report goes to the debugger output and the
   run ends as No ends it, without a box; elsewhere the box comes. */
TEST_F(AssertionTest, NobodyToAnswerEndsTheRunAsNoWithoutABox)
{
    fake::state.stationFlags = 0;
    EXPECT_EXIT(
        {
            AssertFailed("hStub", "stub", 184);
            fprintf(stderr, "went on, boxes %d\n", (int)fake::state.boxes.size());
            exit(0);
        },
        ::testing::ExitedWithCode(1), "^$");
    for (bool asked : { true, false }) {
        SetUp();
        fake::state.stationAsked = asked; /* the 95/98 family cannot be asked */
        fake::state.stationFlags = asked ? WSF_VISIBLE : 0;
        fake::state.boxAnswers = { IDYES };
        AssertFailed("hStub", "stub", 184);
        EXPECT_EQ(fake::state.boxes.size(), 1u) << asked;
        EXPECT_EQ(fake::state.debugOutput.size(), 1u) << asked;
    }
}

TEST_F(AssertionTest, NoAtACheckRunsNothingAfterIt)
{
    fake::state.boxAnswers = { IDNO };
    EXPECT_EXIT(
        {
            CHECK(184, (void *)NULL);
            fprintf(stderr, "went on after the check\n");
            exit(0);
        },
        ::testing::ExitedWithCode(1), "^$");
}

TEST_F(AssertionTest, PercentInAnExpressionIsPrintedAsItStands)
{
    AssertFailed("a % b == 0 && %s%n", "stub", 9);
    EXPECT_EQ(fake::state.boxes[0].text, Report(ProductFormat().c_str(), "stub", 9,
                                                "a % b == 0 && %s%n"));
}

TEST_F(AssertionTest, LongReportIsCutAt499Characters)
{
    std::string expr(2000, 'e');
    AssertFailed(expr.c_str(), std::string(700, 'f').c_str(), 1);

    std::string full = Report(ProductFormat().c_str(), std::string(700, 'f').c_str(), 1,
                              expr.c_str());
    EXPECT_EQ(fake::state.boxes[0].text, full.substr(0, 499));
    EXPECT_EQ(fake::state.debugOutput[0], full.substr(0, 499));
}

TEST_F(AssertionTest, LongStringTableFormatIsCutByTheLoad)
{
    fake::state.strings[IDS_ASSERT_FORMAT] = "%s %d %s" + std::string(800, 'x');
    AssertFailed("e", "f", 2);
    /* The load keeps 499 characters of the format: 8 of conversions, 491 x. */
    EXPECT_EQ(fake::state.boxes[0].text, "f 2 e" + std::string(491, 'x'));
}

TEST_F(AssertionTest, ChecksNameTheirTextModuleAndLineAndYieldTheirTruth)
{
    int evaluated = 0;
    auto count = [&]() { return ++evaluated; };

    EXPECT_EQ(CHECK(755, count() > 5), 0);
    EXPECT_EQ(CHECK(1, count()), 1);
    EXPECT_EQ(CHECK_TEXT(755, count() == 0, "Str::Length(szDestFileName)"), 0);
    EXPECT_EQ(CHECK_FAILED(193, "WaitForSingleObject() failed!!"), 0);

    EXPECT_EQ(evaluated, 3);
    ASSERT_EQ(fake::state.boxes.size(), 3u);
    EXPECT_EQ(fake::state.boxes[0].text, Report(ProductFormat().c_str(), "stub", 755,
                                                "count() > 5"));
    EXPECT_EQ(fake::state.boxes[1].text, Report(ProductFormat().c_str(), "stub", 755,
                                                "Str::Length(szDestFileName)"));
    EXPECT_EQ(fake::state.boxes[2].text, Report(ProductFormat().c_str(), "stub", 193,
                                                "WaitForSingleObject() failed!!"));
}

TEST_F(AssertionTest, ReportLeavesTheSharedMessageAlone)
{
    LoadMessage(IDS_UNKNOWN_VERSION);
    AssertFailed("x", "stub", 1);
    EXPECT_STREQ(szMessage, fake::state.strings[IDS_UNKNOWN_VERSION].c_str());
}
