/*
 * The bootstrap in the user's language, as Wine's locale sets it (ctest
 * gives this run its LANG and LC_MESSAGES: LC_CTYPE makes the ANSI code
 * page, LC_MESSAGES the user's and display language):
 *
 *   languages_test CASE
 *
 * runs the shipped Setup.exe from the medium without Setup.i#f and reads
 * its box through the Unicode calls, caption and text: they must be the
 * texts of the string table (of Setup.exe itself) in the language CASE
 * expects at this family, exactly, or English exactly; never a "?".  For
 * the cases that say so, the splash's text too, read the same way where
 * the program removes the window.
 */
#include "debugger.h"
#include "harness.h"

#include "resource.h"

#define ENGLISH 0x0409

static const struct {
    const char *name;
    LANGID nt, win9x;           /* the box's language at an NT, a 95/98 setting */
    LANGID splashNt, splash9x;  /* the splash's; 0: not looked at */
} cases[] = {
    { "de", 0x0407, 0x0407, 0x0407, 0x0407 },
    { "ru", 0x0419, 0x0419, 0, 0 },
    { "ja", 0x0411, 0x0411, 0, 0 },
    { "zh-cn", 0x0804, 0x0804, 0, 0 },
    { "zh-tw", 0x0404, 0x0404, 0, 0 },
    { "zh-hk", 0x0404, 0x0404, 0, 0 },                 /* Traditional, never Simplified */
    { "ja-on-1252", 0x0411, ENGLISH, 0x0411, ENGLISH }, /* the 95/98 family cannot draw it */
    { "de-on-932", 0x0407, ENGLISH, 0, 0 },             /* "ä" has no place in code page 932 */
    { "c", ENGLISH, ENGLISH, 0, 0 },
};

/* Text id of Setup.exe's string table in language, read as a data file. */
static std::wstring TableText(const std::string &setup, UINT id, LANGID language)
{
    HMODULE module = LoadLibraryExA(setup.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC found = FindResourceExW(module, (LPCWSTR)RT_STRING, MAKEINTRESOURCEW(id / 16 + 1),
                                  language);
    std::wstring text;
    if (found) {
        const WCHAR *p = (const WCHAR *)LockResource(LoadResource(module, found));
        for (UINT i = 0; i < id % 16; i++)
            p += 1 + *p;
        text.assign(p + 1, *p);
    }
    FreeLibrary(module);
    return text;
}

static std::wstring WideText(HWND hwnd)
{
    WCHAR text[2048] = L"";
    GetWindowTextW(hwnd, text, 2048);
    return text;
}

static std::string Utf8(const std::wstring &text)
{
    char out[8192] = "";
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out, sizeof out, NULL, NULL);
    return out;
}

/* The box of process pid: a dialog of its with an OK button, found by
   what it is, not by its caption, which is the user's language's. */
static HWND FindBox(DWORD pid)
{
    for (HWND w = FindWindowExW(NULL, NULL, L"#32770", NULL); w;
         w = FindWindowExW(NULL, w, L"#32770", NULL)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == pid && IsWindowVisible(w) && GetDlgItem(w, IDOK))
            return w;
    }
    return NULL;
}

static void CheckBox(const std::string &setup, LANGID language)
{
    PROCESS_INFORMATION pi;
    std::wstring caption, text;
    std::wstring wantCaption = TableText(setup, IDS_SETUP_ERROR, language);
    std::wstring wantText = TableText(setup, IDS_READ_ERROR, language);

    EXPECT_TRUE(!wantText.empty() && !wantCaption.empty());
    if (!harness::Start(harness::QuotedPath(setup), &pi)) {
        EXPECT_TRUE(!"Setup.exe started");
        return;
    }
    for (DWORD start = GetTickCount(); GetTickCount() - start < 30000; Sleep(50)) {
        HWND box = FindBox(pi.dwProcessId);
        HWND message = box ? GetDlgItem(box, 0xFFFF) : NULL;
        if (!message || WideText(message).empty())
            continue;
        caption = WideText(box);
        text = WideText(message);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        break;
    }
    printf("box, language 0x%04x: \"%s\": %s\n", language, Utf8(caption).c_str(),
           Utf8(text).c_str());
    EXPECT_EQ_STR(Utf8(caption), Utf8(wantCaption));
    EXPECT_EQ_STR(Utf8(text), Utf8(wantText));
    EXPECT_TRUE(text.find(L'?') == std::wstring::npos);
    EXPECT_EQ_INT(harness::WaitForExit(pi.hProcess, 30000), 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

static void CheckSplash(const std::string &setup, LANGID language)
{
    std::wstring text;
    std::vector<harness::Breakpoint> breakpoints = {
        harness::SplashDestroyed([&](HWND splash) { text = WideText(GetDlgItem(splash, 101)); }),
    };
    harness::Debug(harness::QuotedPath(setup), breakpoints, NULL, 60000);
    harness::WatchStandin(true);
    std::wstring want = TableText(setup, IDS_SPLASH, language);
    printf("splash, language 0x%04x: %s\n", language, Utf8(text).c_str());
    EXPECT_EQ_STR(Utf8(text), Utf8(want));
    harness::RemoveInstalled();
}

int main(int argc, char **argv)
{
    /* The setup program the splash's run starts closes itself soon. */
    std::string report = "STANDIN_REPORT=" + harness::StandinReportPath();
    putenv(report.c_str());
    putenv("STANDIN_CLOSE_MS=300");
    harness::ExpectPlatform();
    for (const auto &c : cases) {
        if (argc < 2 || strcmp(argv[1], c.name) != 0)
            continue;
        bool win9x = harness::IsWin9x();
        printf("user's language 0x%04x, display language 0x%04x, ANSI code page %u\n",
               GetUserDefaultLangID(), GetUserDefaultUILanguage(), GetACP());
        CheckBox(harness::Medium("missing-second", "Setup.exe"), win9x ? c.win9x : c.nt);
        LANGID splash = win9x ? c.splash9x : c.splashNt;
        if (splash)
            CheckSplash(harness::Medium("complete", "Setup.exe"), splash);
        return harness::Finish();
    }
    printf("no case %s\n", argc > 1 ? argv[1] : "");
    return 2;
}
