/*
 * The resources of the program file under test (the one on the media):
 * strings, dialog 100, icon group 1, all in language 1033, read by the
 * platform's own resource functions.
 */
#include "harness.h"

#include "expected_strings.h"

static const WORD langEnUs = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

static const BYTE *Resource(HMODULE module, LPCSTR type, LPCSTR name, DWORD *size)
{
    HRSRC found = FindResourceExA(module, type, name, langEnUs);
    if (!found)
        return NULL;
    *size = SizeofResource(module, found);
    return (const BYTE *)LockResource(LoadResource(module, found));
}

static void CheckStrings(HMODULE module)
{
    char text[1024];
    DWORD size;

    for (const auto &s : expectedStrings) {
        text[0] = '\0';
        LoadStringA(module, s.id, text, sizeof text);
        EXPECT_EQ_STR(text, s.text);
        EXPECT_TRUE(Resource(module, RT_STRING, MAKEINTRESOURCEA(s.id / 16 + 1), &size) != NULL);
    }
    EXPECT_EQ_INT(LoadStringA(module, 2, text, sizeof text), 0);
}

/* Reads a UTF-16 string of a template and moves p behind it. */
static std::string TemplateString(const WORD **p)
{
    std::string text;
    while (**p)
        text += (char)*(*p)++;
    (*p)++;
    return text;
}

static void CheckDialog(HMODULE module)
{
    DWORD size = 0;
    const BYTE *data = Resource(module, RT_DIALOG, MAKEINTRESOURCEA(100), &size);
    EXPECT_TRUE(data != NULL);
    if (!data)
        return;

    const DLGTEMPLATE *dlg = (const DLGTEMPLATE *)data;
    EXPECT_TRUE(((const WORD *)data)[1] != 0xFFFF); /* not the extended format */
    EXPECT_EQ_INT(dlg->style, 0x90480040);
    EXPECT_EQ_INT(dlg->dwExtendedStyle, 0);
    EXPECT_EQ_INT(dlg->cdit, 1);
    EXPECT_EQ_INT(dlg->x, 0);
    EXPECT_EQ_INT(dlg->y, 0);
    EXPECT_EQ_INT(dlg->cx, 200);
    EXPECT_EQ_INT(dlg->cy, 50);

    /* The template's header is 18 bytes, its items 18 bytes each: walk by
       the format, not by the SDK structures, which a compiler may pad. */
    const WORD *p = (const WORD *)(data + 18);
    EXPECT_EQ_INT(*p++, 0); /* no menu */
    EXPECT_EQ_INT(*p++, 0); /* default class */
    EXPECT_EQ_STR(TemplateString(&p), "");
    EXPECT_EQ_INT(*p++, 8);
    EXPECT_EQ_STR(TemplateString(&p), "Helv");

    p = (const WORD *)(((ULONG_PTR)p + 3) & ~(ULONG_PTR)3);
    const DLGITEMTEMPLATE *item = (const DLGITEMTEMPLATE *)p;
    EXPECT_EQ_INT(item->style, 0x50020001);
    EXPECT_EQ_INT(item->dwExtendedStyle, 0);
    EXPECT_EQ_INT(item->x, 5);
    EXPECT_EQ_INT(item->y, 20);
    EXPECT_EQ_INT(item->cx, 190);
    EXPECT_EQ_INT(item->cy, 10);
    EXPECT_EQ_INT(item->id, 101);
    p = (const WORD *)((const BYTE *)item + 18);
    EXPECT_EQ_INT(p[0], 0xFFFF);
    EXPECT_EQ_INT(p[1], 0x0082); /* the static class */
    p += 2;
    EXPECT_EQ_STR(TemplateString(&p), SPLASH_TEXT);
    EXPECT_EQ_INT(*p, 0); /* no creation data */
}

#pragma pack(push, 2)
struct GroupEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

static void CheckIcon(HMODULE module)
{
    static const struct {
        BYTE colours;
        WORD bitCount;
        DWORD bytes;
    } images[] = { { 16, 4, 744 }, { 2, 1, 304 } };
    DWORD size = 0;
    const WORD *group = (const WORD *)Resource(module, RT_GROUP_ICON, MAKEINTRESOURCEA(1), &size);

    EXPECT_TRUE(group != NULL);
    if (!group)
        return;
    EXPECT_EQ_INT(group[1], 1);
    EXPECT_EQ_INT(group[2], 2);
    const GroupEntry *entry = (const GroupEntry *)(group + 3);
    for (int i = 0; i < 2; i++) {
        EXPECT_EQ_INT(entry[i].width, 32);
        EXPECT_EQ_INT(entry[i].height, 32);
        EXPECT_EQ_INT(entry[i].colours, images[i].colours);
        EXPECT_EQ_INT(entry[i].bitCount, images[i].bitCount);
        EXPECT_EQ_INT(entry[i].bytes, images[i].bytes);
        DWORD imageSize = 0;
        EXPECT_TRUE(Resource(module, RT_ICON, MAKEINTRESOURCEA(entry[i].id), &imageSize));
        EXPECT_EQ_INT(imageSize, images[i].bytes);
    }
}

/* The record of the medium's files, as the platform finds it: 76 bytes,
   written by make-medium (the medium's Setup.exe is no bare build). */
static void CheckRecord(HMODULE module)
{
    DWORD size = 0;
    const char *record = (const char *)Resource(module, RT_RCDATA, MAKEINTRESOURCEA(1), &size);
    EXPECT_TRUE(record != NULL);
    EXPECT_EQ_INT(size, 76);
    if (record)
        EXPECT_EQ_STR(std::string(record, 4), "REC1");
}

/* The branded medium's Setup.exe (tests/wine/test-media), read as Windows
   reads a program's version information, icon and report: through
   VERSION.DLL and the resource functions. */
static const struct {
    const char *key, *value;
} brandStrings[] = {
    { "CompanyName", "Example Ltd" },
    { "FileDescription", "Example Writer" },
    { "FileVersion", "2.1.0.17" },
    { "InternalName", "Setup" },
    { "LegalCopyright", "Copyright (C) 2023 Example Ltd" },
    { "OriginalFilename", "Setup.exe" },
    { "ProductName", "Example Writer" },
    { "ProductVersion", "2.1.0.17" },
};

static void CheckBranded(void)
{
    std::string path = harness::Medium("branded", "Setup.exe");
    DWORD handle = 0, size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    std::vector<char> info(size ? size : 1);
    EXPECT_TRUE(size > 0 && GetFileVersionInfoA(path.c_str(), 0, size, info.data()));
    VS_FIXEDFILEINFO *fixed = NULL;
    UINT length = 0;
    EXPECT_TRUE(VerQueryValueA(info.data(), "\\", (void **)&fixed, &length));
    if (fixed) {
        EXPECT_EQ_INT(fixed->dwSignature, 0xFEEF04BD);
        EXPECT_EQ_INT(fixed->dwFileVersionMS, 0x00020001);
        EXPECT_EQ_INT(fixed->dwFileVersionLS, 0x00000011);
        EXPECT_EQ_INT(fixed->dwProductVersionMS, 0x00020001);
        EXPECT_EQ_INT(fixed->dwProductVersionLS, 0x00000011);
        EXPECT_EQ_INT(fixed->dwFileType, VFT_APP);
    }
    WORD *translation = NULL;
    EXPECT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", (void **)&translation,
                               &length));
    if (translation && length >= 4) {
        EXPECT_EQ_INT(translation[0], 0x0409);
        EXPECT_EQ_INT(translation[1], 1200);
    }
    for (const auto &s : brandStrings) {
        char *value = NULL;
        std::string key = std::string("\\StringFileInfo\\040904B0\\") + s.key;
        EXPECT_TRUE(VerQueryValueA(info.data(), key.c_str(), (void **)&value, &length));
        EXPECT_EQ_STR(value ? value : "", s.value);
    }

    HMODULE module = LoadLibraryExA(path.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    EXPECT_TRUE(module != NULL);
    if (!module)
        return;
    /* The publisher's icon: four images, each where its group entry says. */
    DWORD groupSize = 0;
    const WORD *group = (const WORD *)Resource(module, RT_GROUP_ICON, MAKEINTRESOURCEA(1),
                                               &groupSize);
    EXPECT_TRUE(group != NULL);
    if (group) {
        EXPECT_EQ_INT(group[2], 4);
        const GroupEntry *entry = (const GroupEntry *)(group + 3);
        for (int i = 0; i < group[2] && i < 4; i++) {
            DWORD imageSize = 0;
            EXPECT_TRUE(Resource(module, RT_ICON, MAKEINTRESOURCEA(entry[i].id), &imageSize));
            EXPECT_EQ_INT(imageSize, entry[i].bytes);
        }
    }
    char text[600];
    LoadStringA(module, 2049, text, sizeof text);
    EXPECT_EQ_STR(text, "File: %s, Line#: %d\nAssert( %s );\nPlease note this information and "
                        "contact Example Ltd (support@example.com, 100%% of the time).\n\nDo you "
                        "want to continue?");
    /* The rest as built: the messages, the dialog, the record. */
    for (const auto &e : expectedStrings) {
        if (e.id == IDS_ASSERT_FORMAT)
            continue;
        text[0] = '\0';
        LoadStringA(module, e.id, text, sizeof text);
        EXPECT_EQ_STR(text, e.text);
    }
    CheckDialog(module);
    CheckRecord(module);
    FreeLibrary(module);
}

int main(void)
{
    harness::ExpectPlatform();
    HMODULE module = LoadLibraryExA(harness::Medium("complete", "Setup.exe").c_str(), NULL,
                                    LOAD_LIBRARY_AS_DATAFILE);
    EXPECT_TRUE(module != NULL);
    if (module) {
        CheckStrings(module);
        CheckDialog(module);
        CheckIcon(module);
        CheckRecord(module);
        /* The build carries no version information of its own. */
        DWORD handle = 0;
        EXPECT_EQ_INT(GetFileVersionInfoSizeA(harness::Medium("complete", "Setup.exe").c_str(),
                                              &handle), 0);
    }
    CheckBranded();
    return harness::Finish();
}
