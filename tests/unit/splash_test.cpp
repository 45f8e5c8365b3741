/*
 * The splash window: centring arithmetic and its life.
 */
#include "test_support.h"

static const struct {
    const char *name;
    RECT inner, expected;
} centerCases[] = {
    { "odd free space leaves the spare pixel right and below", { 0, 0, 301, 101 },
      { 169, 189, 470, 290 } },
    { "start position does not matter", { 10, 20, 311, 121 }, { 169, 189, 470, 290 } },
    { "odd overhang floors to the left", { 0, 0, 701, 100 }, { -31, 190, 670, 290 } },
    { "already centred stays", { 169, 189, 470, 290 }, { 169, 189, 470, 290 } },
    { "spare pixel on the left moves it left", { 170, 189, 471, 290 }, { 169, 189, 470, 290 } },
    { "far off screen comes back", { -5000, 7000, -4699, 7101 }, { 169, 189, 470, 290 } },
};

TEST(CenterRect, CentresOnTheOuterRectangle)
{
    const RECT screen = { 0, 0, 640, 480 };
    for (const auto &c : centerCases) {
        RECT inner = c.inner;
        CenterRect(&screen, &inner);
        EXPECT_EQ(inner.left, c.expected.left) << c.name;
        EXPECT_EQ(inner.top, c.expected.top) << c.name;
        EXPECT_EQ(inner.right, c.expected.right) << c.name;
        EXPECT_EQ(inner.bottom, c.expected.bottom) << c.name;
    }
}

class SplashTest : public FakeTest {};

TEST_F(SplashTest, ShowCreatesDialog100OwnedByTheFocusCentresAndPaintsIt)
{
    fake::state.focus = (HWND)0x42;
    fake::state.dialogRect = { 7, 9, 307, 109 };

    ShowSplash();

    EXPECT_EQ(hSplash, fake::state.dialog);
    EXPECT_THAT(fake::CallsNamed({ "GetFocus", "CreateDialogParamA", "MoveWindow",
                                   "UpdateWindow" }),
                ElementsAre("GetFocus()", "CreateDialogParamA(0x400000,100,0x42,0)",
                            "MoveWindow(0x5100,170,190,300,100,0)", "UpdateWindow(0x5100)"));
}

TEST_F(SplashTest, HideDestroysOnceAndForgetsTheWindow)
{
    ShowSplash();
    HideSplash();
    HideSplash();

    EXPECT_EQ(hSplash, (HWND)NULL);
    EXPECT_THAT(fake::CallsNamed({ "DestroyWindow" }), ElementsAre("DestroyWindow(0x5100)"));
}

TEST_F(SplashTest, WithoutADialogHideDoesNothing)
{
    fake::state.dialog = NULL;
    ShowSplash();
    HideSplash();

    EXPECT_EQ(hSplash, (HWND)NULL);
    EXPECT_THAT(fake::CallsNamed({ "DestroyWindow", "UpdateWindow" }), IsEmpty());
}

TEST_F(SplashTest, OnlyInitDialogIsHandled)
{
    EXPECT_EQ(SplashDlgProc((HWND)1, WM_COMMAND, 1, 0), FALSE);
    EXPECT_THAT(fake::state.calls, IsEmpty());
    EXPECT_EQ(SplashDlgProc((HWND)1, WM_INITDIALOG, 0, 0), TRUE);
}
