/*
 * Setup error messages: the shared buffer and the error box.
 */
#include "test_support.h"

class MessagesTest : public FakeTest {};

TEST_F(MessagesTest, EveryLoadReturnsTheSharedBufferAndReplacesIt)
{
    LPSTR first = LoadMessage(IDS_WRITE_ERROR);
    LPSTR second = LoadMessage(IDS_SETUP_ERROR);

    EXPECT_EQ(first, szMessage);
    EXPECT_EQ(second, szMessage);
    EXPECT_STREQ(szMessage, "Setup Error");
    EXPECT_THAT(fake::CallsNamed({ "LoadStringA" }),
                ElementsAre("LoadStringA(0x400000,5,501)", "LoadStringA(0x400000,32,501)"));
}

TEST_F(MessagesTest, AnIdWithoutStringLeavesTheBufferEmpty)
{
    LoadMessage(IDS_READ_ERROR);
    LoadMessage(2);
    EXPECT_STREQ(szMessage, "");
}

TEST_F(MessagesTest, ALongStringIsCutAt500Characters)
{
    fake::state.strings[IDS_EXPAND_ERROR] = std::string(700, 'm');
    LoadMessage(IDS_EXPAND_ERROR);
    EXPECT_EQ(std::string(szMessage), std::string(500, 'm'));
}

TEST_F(MessagesTest, ErrorBoxHasCaptionStopIconOkAndTheFocusWindowAsOwner)
{
    fake::state.focus = (HWND)0x77;
    LoadMessage(IDS_READ_ERROR);

    ShowSetupError("It failed.");

    ASSERT_EQ(fake::state.boxes.size(), 1u);
    EXPECT_EQ(fake::state.boxes[0].text, "It failed.");
    EXPECT_EQ(fake::state.boxes[0].caption, "Setup Error");
    EXPECT_EQ(fake::state.boxes[0].style, 0x00000010u);
    EXPECT_EQ(fake::state.boxes[0].owner, (HWND)0x77);
    EXPECT_STREQ(szMessage, "Setup Error");
}
