/*
 * Setup error messages: the shared buffer and the error box.
 */
#include "test_support.h"
#include "resource.h"
#include "ui/language.h"

class MessagesTest : public FakeTest {};

TEST_F(MessagesTest, EveryLoadReturnsTheSharedBufferAndReplacesIt)
{
    LPSTR first = LoadMessage(IDS_WRITE_ERROR);
    LPSTR second = LoadMessage(IDS_SETUP_ERROR);

    EXPECT_EQ(first, szMessage);
    EXPECT_EQ(second, szMessage);
    EXPECT_STREQ(szMessage, "Setup Error");
    /* The English table by name, whatever the user's language. */
    EXPECT_THAT(fake::CallsNamed({ "LoadStringA", "SysResourceData" }),
                ElementsAre("SysResourceData(0x400000,6,1,1033)",
                            "SysResourceData(0x400000,6,3,1033)"));
}

TEST_F(MessagesTest, AnIdWithoutStringLeavesTheBufferEmpty)
{
    LoadMessage(IDS_READ_ERROR);
    LoadMessage(2);
    EXPECT_STREQ(szMessage, "");
}

TEST_F(MessagesTest, ALongStringIsCutAt500Characters)
{
    fake::state.stringTables[0x0409][IDS_EXPAND_ERROR] = std::u16string(700, u'm');
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

/* The user's language: which table, and through which calls. */

TEST(Language, EachUserIsGivenTheClosestTableElseEnglish)
{
    static const struct {
        const char *name;
        LANGID user, table;
    } cases[] = {
        { "German (Germany)", 0x0407, 0x0407 },
        { "German (Austria): the same language", 0x0C07, 0x0407 },
        { "French (Canada): French", 0x0C0C, 0x040C },
        { "Portuguese (Portugal): the Brazilian table, the one Portuguese", 0x0816, 0x0416 },
        { "Spanish (Mexico)", 0x080A, 0x0C0A },
        { "Spanish, traditional sort", 0x040A, 0x0C0A },
        { "Japanese", 0x0411, 0x0411 },
        { "Korean", 0x0412, 0x0412 },
        { "Russian", 0x0419, 0x0419 },
        { "Polish", 0x0415, 0x0415 },
        { "Chinese (PRC)", 0x0804, 0x0804 },
        { "Chinese (Singapore): Simplified", 0x1004, 0x0804 },
        { "Chinese, Simplified script", 0x0004, 0x0804 },
        { "Chinese (Taiwan)", 0x0404, 0x0404 },
        { "Chinese (Hong Kong): Traditional", 0x0C04, 0x0404 },
        { "Chinese (Macao): Traditional", 0x1404, 0x0404 },
        { "Chinese, Traditional script", 0x7C04, 0x0404 },
        { "Chinese of no script known: English, never the other script", 0x2004, 0x0409 },
        { "English (UK): English", 0x0809, 0x0409 },
        { "Swedish, which the program lacks: English", 0x041D, 0x0409 },
        { "no language at all", 0, 0x0409 },
    };
    for (const auto &c : cases)
        EXPECT_EQ(ChooseLanguage(c.user), c.table) << c.name;
}

class LanguageTest : public FakeTest {
protected:
    void SetUp() override
    {
        FakeTest::SetUp();
        auto &t = fake::state.stringTables;
        t[0x0407] = { { IDS_READ_ERROR, u"Lesefehler: \u00e4\u00f6\u00fc." },
                      { IDS_UNKNOWN_VERSION, u"Unbekannt in %s." },
                      { IDS_SETUP_ERROR, u"Setupfehler" },
                      { IDS_SPLASH, u"Wird geladen" } };
        t[0x0411] = { { IDS_READ_ERROR, u"\u8aad\u307f\u53d6\u308a\u30a8\u30e9\u30fc\u3002" },
                      { IDS_SETUP_ERROR, u"\u30bb\u30c3\u30c8\u30a2\u30c3\u30d7" },
                      { IDS_SPLASH, u"\u304a\u5f85\u3061\u304f\u3060\u3055\u3044" } };
        t[0x0419] = { { IDS_READ_ERROR, u"\u041e\u0448\u0438\u0431\u043a\u0430." },
                      { IDS_SETUP_ERROR, u"\u0423\u0441\u0442\u0430\u043d\u043e\u0432\u043a\u0430" } };
        t[0x040C] = { { IDS_READ_ERROR, u"Erreur de lecture." }, { IDS_SETUP_ERROR, u"Erreur" } };
        t[0x0416] = { { IDS_READ_ERROR, u"Erro de leitura." }, { IDS_SETUP_ERROR, u"Erro" } };
        t[0x0404] = { { IDS_READ_ERROR, u"\u8b80\u53d6\u932f\u8aa4\u3002" },
                      { IDS_SETUP_ERROR, u"\u5b89\u88dd" } };
    }
    /* The system: 1 the 95/98 family, 2 NT; its major version. */
    void System(DWORD platform, DWORD major, LANGID ui, LANGID user, UINT codePage)
    {
        fake::state.platformId = platform;
        fake::state.majorVersion = major;
        fake::state.minorVersion = major == 4 && platform == 1 ? 10 : 0;
        fake::state.uiLanguage = ui;
        fake::state.userLanguage = user;
        fake::state.codePage = codePage;
    }
    /* text as the fake's code page writes it. */
    static std::string Ansi(const std::u16string &text)
    {
        char out[256];
        WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, out, sizeof out, NULL, NULL);
        return out;
    }
};

TEST_F(LanguageTest, TheBoxIsInTheUsersLanguageWhereTheSystemCanDrawItElseEnglish)
{
    static const struct {
        const char *name;
        DWORD platform, major;
        LANGID ui, user;
        UINT codePage;
        LANGID shown; /* 0: English, as the program always showed it */
        bool wide;
    } cases[] = {
        { "10: the display language, through the Unicode calls", 2, 10, 0x0411, 0x0407, 1252, 0x0411, true },
        { "2000: German on code page 932, exactly", 2, 5, 0x0407, 0x0411, 932, 0x0407, true },
        { "10: Hong Kong reads Traditional Chinese", 2, 10, 0x0C04, 0x0C04, 1252, 0x0404, true },
        { "10: French (Canada) reads French", 2, 10, 0x0C0C, 0x0C0C, 1252, 0x040C, true },
        { "10: Portuguese (Portugal) reads Brazilian Portuguese", 2, 10, 0x0816, 0x0816, 1252, 0x0416, true },
        { "10: no display language told: the user's", 2, 10, 0, 0x0407, 1252, 0x0407, true },
        { "10: Swedish, which the program lacks", 2, 10, 0x041D, 0x041D, 1252, 0, false },
        { "10: English", 2, 10, 0x0409, 0x0411, 932, 0, false },
        { "98: German where the code page holds it", 1, 4, 0x0411, 0x0407, 1252, 0x0407, false },
        { "98: Japanese on code page 932", 1, 4, 0x0407, 0x0411, 932, 0x0411, false },
        { "98: Japanese on code page 1252 would be ???: English", 1, 4, 0x0411, 0x0411, 1252, 0, false },
        { "98: German on code page 932 would lose its umlauts: English", 1, 4, 0x0407, 0x0407, 932, 0, false },
        { "NT 4: Russian on code page 1251", 2, 4, 0x0409, 0x0419, 1251, 0x0419, false },
        { "NT 4: Russian on code page 1252: English", 2, 4, 0x0419, 0x0419, 1252, 0, false },
    };
    for (const auto &c : cases) {
        FreshProgram();
        SetUp();
        System(c.platform, c.major, c.ui, c.user, c.codePage);
        BOOL shown = ShowTranslatedError(IDS_READ_ERROR, "C:\\WINDOWS");
        EXPECT_EQ(shown != FALSE, c.shown != 0) << c.name;
        if (c.shown == 0) {
            EXPECT_TRUE(fake::state.boxes.empty()) << c.name;
            continue;
        }
        const auto &table = fake::state.stringTables[c.shown];
        ASSERT_EQ(fake::state.boxes.size(), 1u) << c.name;
        const fake::Box &box = fake::state.boxes[0];
        EXPECT_EQ(box.wide, c.wide) << c.name;
        EXPECT_EQ(box.style, (UINT)(MB_OK | MB_ICONHAND)) << c.name;
        if (c.wide) {
            EXPECT_TRUE(box.wideText == table.at(IDS_READ_ERROR)) << c.name;
            EXPECT_TRUE(box.wideCaption == table.at(IDS_SETUP_ERROR)) << c.name;
        } else {
            EXPECT_EQ(box.text, Ansi(table.at(IDS_READ_ERROR))) << c.name;
            EXPECT_EQ(box.caption, Ansi(table.at(IDS_SETUP_ERROR))) << c.name;
        }
        /* Before 2000 not one Unicode call, nor the display language's. */
        if (c.major < 5) {
            EXPECT_THAT(fake::CallsNamed({ "SysGetUserDefaultUILanguage", "SysMessageBoxW",
                                           "SysCreateDialogParamW", "SysSetDlgItemTextW" }),
                        IsEmpty())
                << c.name;
        }
    }
}

TEST_F(LanguageTest, TheWindowsDirectoryStandsInBothWaysAndAFailureFallsBackToEnglish)
{
    System(2, 10, 0x0407, 0x0407, 1252);
    ASSERT_TRUE(ShowTranslatedError(IDS_UNKNOWN_VERSION, "C:\\WIN"));
    EXPECT_TRUE(fake::state.boxes.at(0).wideText == u"Unbekannt in C:\\WIN.");

    System(1, 4, 0x0407, 0x0407, 1252);
    fPlatformAsked = 0;
    ASSERT_TRUE(ShowTranslatedError(IDS_UNKNOWN_VERSION, "C:\\WIN"));
    EXPECT_EQ(fake::state.boxes.at(1).text, "Unbekannt in C:\\WIN.");

    /* A text the table lacks, and a MessageBoxW that fails: English. */
    System(2, 10, 0x0407, 0x0407, 1252);
    fPlatformAsked = 0;
    EXPECT_FALSE(ShowTranslatedError(IDS_MEMORY_ERROR, "C:\\WIN"));
    fake::state.messageBoxWResult = 0;
    EXPECT_FALSE(ShowTranslatedError(IDS_READ_ERROR, "C:\\WIN"));
    EXPECT_EQ(fake::state.boxes.size(), 2u);
}

TEST_F(LanguageTest, TheSplashIsInTheUsersLanguageWhereTheSystemCanDrawIt)
{
    static const struct {
        const char *name;
        DWORD platform, major;
        LANGID ui;
        UINT codePage;
        const char *created;
        std::u16string wide;
        std::string ansi;
    } cases[] = {
        { "10, German: dialog 102, its text through the Unicode calls", 2, 10, 0x0407, 1252,
          "SysCreateDialogParamW(0x400000,102,NULL,1)", u"Wird geladen", "" },
        { "10, Japanese on code page 1252", 2, 10, 0x0411, 1252,
          "SysCreateDialogParamW(0x400000,102,NULL,1)", u"\u304a\u5f85\u3061\u304f\u3060\u3055\u3044", "" },
        { "98, German on code page 1252: dialog 102, its ANSI text", 1, 4, 0x0407, 1252,
          "CreateDialogParamA(0x400000,102,NULL,1)", u"", "Wird geladen" },
        { "98, Japanese on code page 1252: dialog 100 as always", 1, 4, 0x0411, 1252,
          "CreateDialogParamA(0x400000,100,NULL,0)", u"", "" },
        { "10, English: dialog 100 as always", 2, 10, 0x0409, 1252,
          "CreateDialogParamA(0x400000,100,NULL,0)", u"", "" },
        { "10, Russian, whose table has no splash text: dialog 100", 2, 10, 0x0419, 1251,
          "CreateDialogParamA(0x400000,100,NULL,0)", u"", "" },
    };
    for (const auto &c : cases) {
        FreshProgram();
        SetUp();
        System(c.platform, c.major, c.ui, c.ui, c.codePage);
        ShowSplash();
        EXPECT_THAT(fake::CallsNamed({ "CreateDialogParamA", "SysCreateDialogParamW" }),
                    ElementsAre(c.created))
            << c.name;
        EXPECT_TRUE(fake::state.dialogTextsW == (c.wide.empty() ? std::vector<std::u16string>()
                                                               : std::vector<std::u16string>{ c.wide }))
            << c.name;
        EXPECT_EQ(fake::state.dialogTextsA,
                  c.ansi.empty() ? std::vector<std::string>() : std::vector<std::string>{ c.ansi })
            << c.name;
        EXPECT_EQ(hSplash, fake::state.dialog) << c.name;
    }
}
