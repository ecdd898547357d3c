// The drag-out objects and the drop effect rule: the DROPFILES block, the
// one-format enumerator, the data object's answers and the effect offered
// for keys and the source's allowed effects.
#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <cstring>

#include "ui/core/KelmDragHelper.h"
#include "ui/core/KelmDropTarget.h"

using namespace KelmDragHelper;

TEST(DropFilesBlock, HoldsTheHeaderAndEveryPathWithTwoZerosAtTheEnd)
{
    HGLOBAL block = BuildDropFilesBlock({L"a", L"bc"});
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GlobalSize(block), 32u);
    const auto* bytes = static_cast<const BYTE*>(GlobalLock(block));
    const auto* header = reinterpret_cast<const DROPFILES*>(bytes);
    EXPECT_EQ(header->pFiles, 20u);
    EXPECT_TRUE(header->fWide);
    const wchar_t expected[] = {L'a', 0, L'b', L'c', 0, 0};
    EXPECT_EQ(std::memcmp(bytes + 20, expected, sizeof(expected)), 0);
    GlobalUnlock(block);
    GlobalFree(block);
    EXPECT_EQ(BuildDropFilesBlock({}), nullptr);
}

TEST(DragDataObject, AnswersOnlyFileListsWithACopy)
{
    auto* data = new CDataObject(BuildDropFilesBlock({L"C:\\x.txt"}));
    FORMATETC files{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    FORMATETC text{CF_UNICODETEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    EXPECT_EQ(data->QueryGetData(&files), S_OK);
    EXPECT_EQ(data->QueryGetData(&text), S_FALSE);
    STGMEDIUM medium{};
    EXPECT_EQ(data->GetData(&text, &medium), DV_E_FORMATETC);
    ASSERT_EQ(data->GetData(&files, &medium), S_OK);
    wchar_t name[MAX_PATH] = {};
    DragQueryFileW(static_cast<HDROP>(medium.hGlobal), 0, name, MAX_PATH);
    EXPECT_STREQ(name, L"C:\\x.txt");
    ReleaseStgMedium(&medium);

    IEnumFORMATETC* formats = nullptr;
    EXPECT_EQ(data->EnumFormatEtc(DATADIR_SET, &formats), E_NOTIMPL);
    ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, &formats), S_OK);
    FORMATETC got{};
    ULONG fetched = 9;
    EXPECT_EQ(formats->Next(1, &got, &fetched), S_OK);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(got.cfFormat, CF_HDROP);
    EXPECT_EQ(formats->Next(1, &got, &fetched), S_FALSE) << "one format only";
    EXPECT_EQ(fetched, 0u);
    IEnumFORMATETC* clone = nullptr;
    ASSERT_EQ(formats->Clone(&clone), S_OK);
    EXPECT_EQ(clone->Next(1, &got, nullptr), S_OK) << "a clone starts at the beginning";
    formats->Reset();
    EXPECT_EQ(formats->Next(1, &got, nullptr), S_OK);
    clone->Release();
    formats->Release();
    EXPECT_EQ(data->Release(), 0u);
}

TEST(DragOut, AnEmptyListChangesNothing)
{
    EXPECT_EQ(StartFileDrag({}, DROPEFFECT_COPY, nullptr), static_cast<DWORD>(DROPEFFECT_NONE));
}

TEST(DropEffects, CtrlCopiesAndTheSourceLimitsTheChoice)
{
    const DWORD copyLink = DROPEFFECT_COPY | DROPEFFECT_LINK, all = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    struct Case {
        DWORD defaultEffect, keys, allowed, expected;
    } cases[] = {
        {copyLink, 0, all, copyLink},
        {DROPEFFECT_MOVE, 0, all, DROPEFFECT_MOVE},
        {DROPEFFECT_MOVE, MK_CONTROL, all, DROPEFFECT_COPY},
        {DROPEFFECT_MOVE, 0, DROPEFFECT_COPY, DROPEFFECT_COPY},
        {DROPEFFECT_MOVE, 0, DROPEFFECT_LINK, DROPEFFECT_NONE},
        {copyLink, 0, DROPEFFECT_MOVE, DROPEFFECT_MOVE},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChooseDropEffect(c.defaultEffect, c.keys, c.allowed), c.expected)
            << c.defaultEffect << " " << c.keys << " " << c.allowed;
}

TEST(DropFilesBlock, ReadsBackEveryPathOfWideAndAnsiListsWithinTheBlock)
{
    HGLOBAL block = BuildDropFilesBlock({L"C:\\a", L"C:\\\x6587\x4ef6.txt", L"b"});
    ASSERT_NE(block, nullptr);
    const void* bytes = GlobalLock(block);
    EXPECT_EQ(PathsOfDropFiles(bytes, GlobalSize(block)),
              (std::vector<std::wstring>{L"C:\\a", L"C:\\\x6587\x4ef6.txt", L"b"}));
    // A list cut off without its end is read up to the block's end, never
    // beyond it, and the name it cuts short is not taken: "C:" would name
    // the drive.
    const size_t cut = sizeof(DROPFILES) + 7 * sizeof(wchar_t);
    EXPECT_EQ(PathsOfDropFiles(bytes, cut), (std::vector<std::wstring>{L"C:\\a"}));
    GlobalUnlock(block);
    GlobalFree(block);

    struct {
        DROPFILES header;
        char names[9];
    } ansi{};
    ansi.header.pFiles = sizeof(DROPFILES);
    std::memcpy(ansi.names, "C:\\x\0yz\0", 9);
    EXPECT_EQ(PathsOfDropFiles(&ansi, sizeof(ansi)), (std::vector<std::wstring>{L"C:\\x", L"yz"}));
    EXPECT_EQ(PathsOfDropFiles(&ansi, sizeof(ansi) - 2), (std::vector<std::wstring>{L"C:\\x"}));
    EXPECT_TRUE(PathsOfDropFiles(&ansi, sizeof(DROPFILES) - 1).empty());
}
