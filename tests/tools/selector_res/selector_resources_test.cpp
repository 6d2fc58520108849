// The selector's resources, linked into this test program from the selector's resource script.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog_template.h"
#include "resource.h"
#include "test_files.h"

namespace {

constexpr DWORD kId = 0xFFFFFFFF;  // IDC_STATIC as the template stores it
constexpr DWORD kAnyType = 0;      // no check of the control's type bits

struct ExpectedControl {
    DWORD id;
    const wchar_t* windowClass;
    const wchar_t* text;
    short x, y, cx, cy;
    DWORD typeMask;   // these bits of the style ...
    DWORD typeValue;  // ... are exactly these
    DWORD required;   // and these bits are all set
};

struct ExpectedDialog {
    UINT id;
    const wchar_t* title;
    short cx, cy;
    WORD pointSize;
    DWORD exStyle;
    std::vector<ExpectedControl> controls;
};

constexpr DWORD kTreeStyle = TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_DISABLEDRAGDROP |
                             TVS_SHOWSELALWAYS | TVS_CHECKBOXES;
constexpr DWORD kSelectionStyle = ES_CENTER | ES_READONLY | WS_BORDER;

const ExpectedDialog kDialogs[] = {
    {IDD_ABOUTBOX, L"About ZanviSelector", 170, 62, 8, 0, {
        {kId, L"Static", L"#128", 14, 14, 21, 20, SS_TYPEMASK, SS_ICON, 0},
        {kId, L"Static", L"ZanviSelector, Version 2.0.1.0", 42, 14, 114, 8, SS_TYPEMASK, SS_LEFT, SS_NOPREFIX},
        {IDOK, L"Button", L"OK", 113, 41, 50, 14, BS_TYPEMASK, BS_DEFPUSHBUTTON, 0},
    }},
    {IDD_SELECTOR_CORVEX, L"Zanvi Selector - Corvex", 141, 162, 12, WS_EX_APPWINDOW, {
        {kId, L"Static", L"Current Selection", 7, 7, 126, 8, SS_TYPEMASK, SS_CENTER, 0},
        {IDC_SELECTION, L"Edit", L"", 7, 17, 126, 14, kAnyType, 0, kSelectionStyle},
        {IDC_TREE, L"SysTreeView32", L"", 7, 32, 126, 104, kAnyType, 0, kTreeStyle},
        {IDC_VCI_MANAGER, L"Button", L"VCI Manager", 6, 141, 47, 14, BS_TYPEMASK, BS_PUSHBUTTON, 0},
        {IDC_SAVE, L"Button", L"Save", 65, 141, 31, 14, BS_TYPEMASK, BS_PUSHBUTTON, 0},
        {IDCANCEL, L"Button", L"Cancel", 101, 141, 32, 14, BS_TYPEMASK, BS_PUSHBUTTON, 0},
    }},
    {IDD_SELECTOR_BAY_STEWARD, L"Zanvi Selector - Bay Steward", 190, 180, 12, WS_EX_APPWINDOW, {
        {kId, L"Static", L"Current Selection", 7, 7, 175, 8, SS_TYPEMASK, SS_CENTER, 0},
        {IDC_SELECTION, L"Edit", L"", 7, 17, 175, 14, kAnyType, 0, kSelectionStyle},
        {IDC_TREE, L"SysTreeView32", L"", 7, 32, 175, 104, kAnyType, 0, kTreeStyle},
        {IDC_ABOUT, L"Button", L"About...", 6, 142, 56, 14, BS_TYPEMASK, BS_PUSHBUTTON, 0},
        {IDC_VCI_MANAGER, L"Button", L"VCI Manager", 127, 142, 56, 14, BS_TYPEMASK, BS_PUSHBUTTON, 0},
        {IDC_SAVE, L"Button", L"Save", 67, 161, 56, 14, BS_TYPEMASK, BS_PUSHBUTTON, 0},
        {IDCANCEL, L"Button", L"Cancel", 127, 161, 56, 14, BS_TYPEMASK, BS_PUSHBUTTON, 0},
    }},
};

TEST(SelectorResourcesTest, DialogTemplatesHaveTheirLayout)
{
    for (const ExpectedDialog& want : kDialogs) {
        SCOPED_TRACE(want.id);
        DialogTemplate got;
        ASSERT_TRUE(ReadDialogTemplate(GetModuleHandleW(nullptr), want.id, got));
        EXPECT_EQ(got.title, want.title);
        EXPECT_EQ(got.x, 0);
        EXPECT_EQ(got.y, 0);
        EXPECT_EQ(got.cx, want.cx);
        EXPECT_EQ(got.cy, want.cy);
        EXPECT_EQ(got.typeface, L"MS Shell Dlg");
        EXPECT_EQ(got.pointSize, want.pointSize);
        const DWORD frame = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
        EXPECT_EQ(got.style & frame, frame);
        EXPECT_EQ(got.exStyle, want.exStyle);

        ASSERT_EQ(got.controls.size(), want.controls.size());
        for (size_t i = 0; i < want.controls.size(); ++i) {
            const ExpectedControl& w = want.controls[i];
            const ControlTemplate& g = got.controls[i];
            SCOPED_TRACE(w.text);
            EXPECT_EQ(g.id, w.id);
            // windres stores named classes in capitals; window class names ignore case.
            EXPECT_EQ(CompareStringOrdinal(g.windowClass.c_str(), -1, w.windowClass, -1, TRUE), CSTR_EQUAL)
                << Narrow(g.windowClass);
            EXPECT_EQ(g.text, w.text);
            EXPECT_EQ(g.x, w.x);
            EXPECT_EQ(g.y, w.y);
            EXPECT_EQ(g.cx, w.cx);
            EXPECT_EQ(g.cy, w.cy);
            EXPECT_EQ(g.style & w.typeMask, w.typeValue);
            EXPECT_EQ(g.style & (w.required | WS_CHILD | WS_VISIBLE), w.required | WS_CHILD | WS_VISIBLE);
        }
    }
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// The selection dialogs come up with the common controls' tree and the 12-point font.
TEST(SelectorResourcesTest, SelectionDialogsCreateTheirControls)
{
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
    ASSERT_TRUE(InitCommonControlsEx(&icc));
    for (UINT id : {IDD_SELECTOR_CORVEX, IDD_SELECTOR_BAY_STEWARD}) {
        SCOPED_TRACE(id);
        HWND dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), nullptr,
                                         PlainDialogProc, 0);
        ASSERT_NE(dialog, nullptr);
        struct { int id; const wchar_t* windowClass; } controls[] = {
            {IDC_SELECTION, L"Edit"}, {IDC_TREE, L"SysTreeView32"}, {IDC_VCI_MANAGER, L"Button"},
            {IDC_SAVE, L"Button"}, {IDCANCEL, L"Button"}};
        for (const auto& c : controls) {
            wchar_t name[64] = L"";
            GetClassNameW(GetDlgItem(dialog, c.id), name, 64);
            EXPECT_STREQ(name, c.windowClass) << c.id;
        }
        EXPECT_EQ(GetDlgItem(dialog, IDC_ABOUT) != nullptr, id == IDD_SELECTOR_BAY_STEWARD);

        LOGFONTW font = {};
        ASSERT_TRUE(GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)),
                               sizeof(font), &font));
        HDC screen = GetDC(nullptr);
        int pixelsPerInch = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        EXPECT_EQ(font.lfHeight, -MulDiv(12, pixelsPerInch, 72));
        DestroyWindow(dialog);
    }
}

TEST(SelectorResourcesTest, AboutMenuText)
{
    wchar_t text[64] = L"";
    EXPECT_EQ(LoadStringW(GetModuleHandleW(nullptr), IDS_ABOUTBOX, text, 64), 23);
    EXPECT_STREQ(text, L"&About ZanviSelector...");
}

TEST(SelectorResourcesTest, ProgramIconHasSmallAndLargeTrueColourImages)
{
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC info = FindResourceW(self, MAKEINTRESOURCEW(IDR_MAINFRAME), MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */);
    ASSERT_NE(info, nullptr);
    const BYTE* group = static_cast<const BYTE*>(LockResource(LoadResource(self, info)));
    ASSERT_NE(group, nullptr);
    // Group header: reserved, type 1, count; then 14-byte entries: width, height, colours,
    // reserved, planes, bit count, bytes, id.
    WORD count = 0;
    memcpy(&count, group + 4, 2);
    ASSERT_EQ(SizeofResource(self, info), 6u + 14u * count);
    std::vector<int> sizes;
    for (WORD i = 0; i < count; ++i) {
        const BYTE* entry = group + 6 + 14 * i;
        WORD bits = 0;
        memcpy(&bits, entry + 6, 2);
        EXPECT_EQ(entry[0], entry[1]);
        EXPECT_EQ(bits, 32);
        sizes.push_back(entry[0]);
    }
    EXPECT_EQ(sizes, (std::vector<int>{16, 32, 48}));

    HICON icon = static_cast<HICON>(LoadImageW(self, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, 16, 16, 0));
    ASSERT_NE(icon, nullptr);
    DestroyIcon(icon);
}

// Draws state image `index` over magenta and answers the colour of each pixel asked for.
std::vector<COLORREF> StatePixels(HIMAGELIST list, int index, const std::vector<POINT>& points)
{
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 16, 16);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
    RECT all = {0, 0, 16, 16};
    FillRect(dc, &all, magenta);
    ImageList_Draw(list, index, dc, 0, 0, ILD_TRANSPARENT);
    std::vector<COLORREF> colours;
    for (POINT p : points) colours.push_back(GetPixel(dc, p.x, p.y));
    DeleteObject(magenta);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return colours;
}

TEST(SelectorResourcesTest, StateImagesAreFourBoxesOnATransparentWhiteMask)
{
    HIMAGELIST list = ImageList_LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_STATE_IMAGES),
                                           16, 0, RGB(255, 255, 255), IMAGE_BITMAP, 0);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(ImageList_GetImageCount(list), 4);
    int cx = 0, cy = 0;
    ImageList_GetIconSize(list, &cx, &cy);
    EXPECT_EQ(cx, 16);
    EXPECT_EQ(cy, 16);

    const COLORREF see = RGB(255, 0, 255);  // the background shows through the white mask
    // Points: outside the box, the box's edge, its middle (where the tick passes), a point of
    // the grey pattern, a point of the interior that the tick leaves alone.
    const std::vector<POINT> points = {{0, 0}, {1, 7}, {6, 9}, {4, 4}, {11, 11}};
    struct { int index; std::vector<bool> opaque; } cases[] = {
        {0, {false, false, false, false, false}},  // blank
        {1, {false, true, true, true, true}},      // empty box: opaque, near-white interior
        {2, {false, true, true, true, true}},       // ticked
        {3, {false, true, true, true, true}},       // grey pattern
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        std::vector<COLORREF> colours = StatePixels(list, c.index, points);
        for (size_t i = 0; i < points.size(); ++i) EXPECT_EQ(colours[i] != see, c.opaque[i]) << i;
    }
    auto dark = [](COLORREF c) { return GetRValue(c) < 100 && GetGValue(c) < 100 && GetBValue(c) < 100; };
    auto grey = [](COLORREF c) { return GetRValue(c) == 128 && GetGValue(c) == 128 && GetBValue(c) == 128; };
    EXPECT_TRUE(dark(StatePixels(list, 1, {{1, 7}})[0]));   // the box's edge
    EXPECT_FALSE(dark(StatePixels(list, 1, {{6, 9}})[0]));  // empty inside
    EXPECT_TRUE(dark(StatePixels(list, 2, {{6, 9}})[0]));   // the tick
    EXPECT_TRUE(grey(StatePixels(list, 3, {{4, 4}})[0]));   // the pattern
    ImageList_Destroy(list);
}

// The manifest is in effect: version 6 of the common controls and the administrator level.
TEST(SelectorResourcesTest, ManifestBindsCommonControlsSixAndAsksForAdministrator)
{
    // Version 6 lives in the side-by-side store, version 5 in the system folder.
    wchar_t path[MAX_PATH] = L"";
    ASSERT_GT(GetModuleFileNameW(GetModuleHandleW(L"comctl32.dll"), path, MAX_PATH), 0u);
    CharLowerW(path);
    EXPECT_NE(std::wstring(path).find(L"\\winsxs\\"), std::wstring::npos) << Narrow(path);
    EXPECT_NE(std::wstring(path).find(L"common-controls_6595b64144ccf1df_6."), std::wstring::npos) << Narrow(path);

    // A null context is the process's default one: the program's own manifest.
    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION level = {};
    SIZE_T needed = 0;
    ASSERT_TRUE(QueryActCtxW(0, nullptr, nullptr, RunlevelInformationInActivationContext, &level,
                             sizeof(level), &needed));
    EXPECT_EQ(level.RunLevel, ACTCTX_RUN_LEVEL_REQUIRE_ADMIN);
    EXPECT_EQ(level.UiAccess, 0u);
}

std::wstring VersionString(const std::vector<BYTE>& block, const wchar_t* name)
{
    wchar_t* value = nullptr;
    UINT length = 0;
    std::wstring path = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
    if (!VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length)) return L"?";
    return std::wstring(value, length && !value[length - 1] ? length - 1 : length);
}

TEST(SelectorResourcesTest, VersionRecordNamesTheProgram)
{
    wchar_t path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
    DWORD size = GetFileVersionInfoSizeW(path, nullptr);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 2));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(0, 1));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(VersionString(block, L"FileVersion"), L"2.0.1.0");
    EXPECT_EQ(VersionString(block, L"OriginalFilename"), L"ZanviSelector.exe");
    EXPECT_EQ(VersionString(block, L"ProductName"), L"Zanvi");
}

}  // namespace
