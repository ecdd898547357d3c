#include "sidewindows/magwin/MagWinRules.h"

#include <algorithm>
#include <cwctype>
#include <exception>
#include <set>

#include "app/KelmStorage.h"
#include "app/Logger.h"
#include "app/StoreTextFormat.h"
#include "app/UserNotice.h"

namespace TessikMagWin
{

const std::vector<std::wstring>& FileDialogTitles()
{
    static const std::vector<std::wstring> titles = {L"另存",
                                                     L"打开",
                                                     L"保存",
                                                     L"位置",
                                                     L"另存新檔",
                                                     L"開啟",
                                                     L"儲存",
                                                     L"另存為",
                                                     L"选择文件夹",
                                                     L"Save As",
                                                     L"Open",
                                                     L"Save",
                                                     L"名前を付けて保存",
                                                     L"開く",
                                                     L"다른 이름으로 저장",
                                                     L"열기",
                                                     L"저장",
                                                     L"Сохранить как",
                                                     L"Открыть",
                                                     L"Сохранить",
                                                     L"Guardar como",
                                                     L"Abrir",
                                                     L"Guardar",
                                                     L"Enregistrer sous",
                                                     L"Ouvrir",
                                                     L"Enregistrer",
                                                     L"Speichern unter",
                                                     L"Öffnen",
                                                     L"Speichern"};
    return titles;
}

const std::vector<std::wstring>& AutomationDialogTitles(bool withLocation)
{
    auto without = [](std::initializer_list<const wchar_t*> dropped) {
        std::vector<std::wstring> titles;
        for (const std::wstring& title : FileDialogTitles()) {
            bool keep = true;
            for (const wchar_t* d : dropped)
                keep = keep && title != d;
            if (keep)
                titles.push_back(title);
        }
        return titles;
    };
    static const std::vector<std::wstring> withIt = without({L"选择文件夹"});
    static const std::vector<std::wstring> withoutIt = without({L"选择文件夹", L"位置"});
    return withLocation ? withIt : withoutIt;
}

bool TitleMatchesAny(const std::wstring& title, const std::vector<std::wstring>& entries)
{
    for (const std::wstring& entry : entries) {
        if (title.find(entry) != std::wstring::npos)
            return true;
    }
    return false;
}

bool IsSaveDialogTitle(const std::wstring& title)
{
    return TitleMatchesAny(title, {L"保存", L"Save", L"另存"});
}

namespace
{

std::wstring Trimmed(const std::wstring& text)
{
    const size_t first = text.find_first_not_of(L' ');
    if (first == std::wstring::npos)
        return L"";
    const size_t last = text.find_last_not_of(L' ');
    return text.substr(first, last - first + 1);
}

std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(towlower(c));
    return text;
}

// Lower case over every script (towlower knows only ASCII in the C
// locale): "ÖFFNEN" and "СОХРАНИТЬ" fold as well.
std::wstring FoldCase(std::wstring text)
{
    if (!text.empty())
        CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

// Ideographs, kana and hangul: words of these scripts stand inside a
// title without spaces around them.
bool IsCjk(wchar_t c)
{
    return (c >= 0x1100 && c <= 0x11FF) || (c >= 0x3040 && c <= 0x30FF) || (c >= 0x3130 && c <= 0x318F) ||
           (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) ||
           (c >= 0xF900 && c <= 0xFAFF);
}

bool IsLetterOfSpacedScript(wchar_t c)
{
    return iswalnum(c) && !IsCjk(c);
}

// The word stands whole in the text, ignoring case: "Export" in "Export to
// OpenDocument" but not "Open" in it. A word of a script without spaces
// counts wherever it stands.
bool HasWholeWord(const std::wstring& foldedText, const std::wstring& word)
{
    const std::wstring w = FoldCase(word);
    for (size_t at = foldedText.find(w); at != std::wstring::npos; at = foldedText.find(w, at + 1)) {
        const size_t after = at + w.size();
        const bool openStart =
            at == 0 || !IsLetterOfSpacedScript(w.front()) || !IsLetterOfSpacedScript(foldedText[at - 1]);
        const bool openEnd = after == foldedText.size() || !IsLetterOfSpacedScript(w.back()) ||
                             !IsLetterOfSpacedScript(foldedText[after]);
        if (openStart && openEnd)
            return true;
    }
    return false;
}

// A button's text as it reads: "打开(&O)" and "&Open" both read "打开" and
// "Open"; "&&" stands for one "&".
std::wstring ButtonWording(const std::wstring& text)
{
    std::wstring plain;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        const bool paren = c == L'(' || c == L'\uFF08';
        if (paren && i + 3 < text.size() && text[i + 1] == L'&' && (text[i + 3] == L')' || text[i + 3] == L'\uFF09')) {
            i += 3;
            continue;
        }
        if (c == L'&') {
            if (i + 1 < text.size() && text[i + 1] == L'&')
                plain += text[++i];
            continue;
        }
        plain += c;
    }
    return Trimmed(plain);
}

} // namespace

namespace
{

// Words of dialogs that write a file: save and export, as the known
// languages write them in titles, labels and on buttons.
bool HoldsWritingWord(const std::wstring& text)
{
    static const std::vector<std::wstring> writing = {
        L"保存",      L"另存",           L"储存",       L"存储",     L"儲存",        L"存檔",        L"导出",
        L"導出",      L"匯出",           L"输出",       L"輸出",     L"Save",        L"Saving",      L"Export",
        L"Exporting", L"エクスポート",   L"書き出し",   L"저장",     L"내보내기",    L"Сохранить",   L"Сохранение",
        L"Экспорт",   L"Экспортировать", L"Guardar",    L"Exportar", L"Sauvegarder", L"Enregistrer", L"Exporter",
        L"Speichern", L"Sichern",        L"Exportieren"};
    const std::wstring folded = FoldCase(text);
    for (const std::wstring& word : writing) {
        if (HasWholeWord(folded, word))
            return true;
    }
    return false;
}

std::wstring FolderSpelling(std::wstring path)
{
    std::replace(path.begin(), path.end(), L'/', L'\\');
    // "C:\" keeps its separator: without it the name means the drive's
    // current folder.
    while (path.size() > 3 && path.back() == L'\\')
        path.pop_back();
    return path;
}

} // namespace

bool IsKnownOpenDialog(const std::wstring& title, const std::wstring& okButtonText)
{
    // What the OK button of an Open dialog says in each known language.
    static const std::vector<std::wstring> open = {L"打开",    L"開啟",  L"Open",   L"開く",  L"열기",
                                                   L"Открыть", L"Abrir", L"Ouvrir", L"Öffnen"};
    const std::wstring button = FoldCase(ButtonWording(okButtonText));
    bool opens = false;
    for (const std::wstring& word : open)
        opens = opens || button == FoldCase(word);
    return opens && !HoldsWritingWord(title);
}

bool IsOpenDialogFolderLabel(const std::wstring& label)
{
    // Only labels an Open dialog alone shows: the Russian dialogs, for
    // one, name the folder "&Папка:" whether they open or save.
    static const std::vector<std::wstring> open = {
        L"Look in",        // English, Wine and Windows
        L"浏览",           // Chinese (simplified), Wine
        L"查找范围",       // Chinese (simplified), Windows
        L"搜尋位置",       // Chinese (traditional), Wine
        L"查詢",           // Chinese (traditional), Windows
        L"ファイルの場所", // Japanese, Windows
        L"찾는 위치",      // Korean, Windows
        L"Suchen in",      // German, Windows
        L"Regarder dans",  // French, Windows
        L"Buscar en",      // Spanish, Windows
        L"Examinar",       // Portuguese, Wine and Windows
    };
    std::wstring wording = ButtonWording(label);
    while (!wording.empty() && (wording.back() == L':' || wording.back() == L'\uFF1A' || wording.back() == L' '))
        wording.pop_back();
    const std::wstring folded = FoldCase(wording);
    return !folded.empty() && std::any_of(open.begin(), open.end(),
                                          [&folded](const std::wstring& word) { return folded == FoldCase(word); });
}

bool IsKnownOpenDialog(const DialogFace& face)
{
    if (face.nameFieldInView)
        return false;
    // Positive evidence only: a Save dialog in a language not listed here,
    // or one whose program blanked or relabelled its folder label, shows
    // nothing of an Open dialog and is not confirmed.
    const bool newerOpen = face.newerLayout && face.nameFieldOutsideView;
    if (!newerOpen && !IsOpenDialogFolderLabel(face.folderLabel))
        return false;
    for (const std::wstring& label : face.labels) {
        if (HoldsWritingWord(ButtonWording(label)))
            return false;
    }
    return IsKnownOpenDialog(face.title, face.okButton);
}

bool SameFolderPath(const std::wstring& a, const std::wstring& b)
{
    const std::wstring left = FolderSpelling(a), right = FolderSpelling(b);
    if (left.empty() || right.empty())
        return false;
    return CompareStringOrdinal(left.c_str(), static_cast<int>(left.size()), right.c_str(),
                                static_cast<int>(right.size()), TRUE) == CSTR_EQUAL;
}

std::wstring FolderOfAddressText(const std::wstring& text)
{
    // A path holds no ": " of its own; the label ends with one.
    const size_t colon = text.find(L": ");
    return colon == std::wstring::npos ? L"" : text.substr(colon + 2);
}

DockRect DockBesideDialog(const RECT& dialog, int screenWidth, double scale)
{
    const int w = static_cast<int>(scale * 300);
    const int h = static_cast<int>(scale * 260);
    int x = dialog.right + 5;
    if (dialog.right + w > screenWidth)
        x = dialog.left - w - 5;
    return {x, static_cast<int>(dialog.top), w, h};
}

DockRect IconWindowBelow(const RECT& magnet, double scale)
{
    return {static_cast<int>(magnet.left), static_cast<int>(magnet.bottom) + 20,
            static_cast<int>(magnet.right - magnet.left), static_cast<int>(scale * 300)};
}

float RowSlotY(int index)
{
    return static_cast<float>(index * 45 + 10);
}

int DragSwapIndex(int draggedIndex, float draggedY, int rowCount)
{
    for (int i = 0; i < rowCount; ++i) {
        if (i == draggedIndex)
            continue;
        const float distance = (draggedY + 20) - (RowSlotY(i) + 20);
        if (distance < 20 && distance > -20)
            return i;
    }
    return -1;
}

std::vector<std::wstring> ReadRowOrder()
{
    std::vector<std::wstring> ids;
    for (int n = 0;; ++n) {
        std::wstring id = s_magnetStore[L"Config"][L"Order"][L"idx_" + std::to_wstring(n)].Get<std::wstring>(L"");
        if (id.empty())
            break;
        ids.push_back(std::move(id));
    }
    return ids;
}

bool WriteRowOrder(const std::vector<std::wstring>& ids)
{
    s_magnetStore[L"Config"][L"Order"].remove();
    for (size_t i = 0; i < ids.size(); ++i)
        s_magnetStore[L"Config"][L"Order"][L"idx_" + std::to_wstring(i)] = ids[i];
    try {
        s_magnetStore.Save();
        return true;
    } catch (const std::exception& error) {
        Logger::GetInstance().Log(L"MagWin", L"ERROR", L"row order not saved: " + Utf8ToWide(error.what()));
    } catch (...) {
        Logger::GetInstance().Log(L"MagWin", L"ERROR", L"row order not saved");
    }
    NotifyUserOnce(L"magnet-save", L"磁力访问窗的排列顺序无法保存到配置文件，重新启动后可能恢复原样。");
    return false;
}

std::vector<std::wstring> OrderRowIds(const std::vector<std::wstring>& stored, const std::vector<std::wstring>& present)
{
    std::set<std::wstring> left(present.begin(), present.end());
    std::vector<std::wstring> order;
    for (const std::wstring& id : stored) {
        if (left.erase(id))
            order.push_back(id);
    }
    order.insert(order.end(), left.begin(), left.end());
    return order;
}

std::vector<std::wstring> ParseFilterPatterns(const std::wstring& text)
{
    std::wstring inner = text;
    const size_t open = text.find(L'(');
    const size_t close = text.find(L')');
    if (open != std::wstring::npos && close != std::wstring::npos)
        inner = close > open ? text.substr(open + 1, close - open - 1) : L"";
    std::vector<std::wstring> patterns;
    size_t start = 0;
    while (start <= inner.size()) {
        size_t end = inner.find(L';', start);
        if (end == std::wstring::npos)
            end = inner.size();
        std::wstring piece = Trimmed(inner.substr(start, end - start));
        if (!piece.empty())
            patterns.push_back(std::move(piece));
        start = end + 1;
    }
    return patterns;
}

bool PathPassesPatterns(const std::vector<std::wstring>& patterns, const std::wstring& path)
{
    // "*" is what the dialog itself shows for everything, dotless files too.
    for (const std::wstring& pattern : patterns) {
        if (Trimmed(pattern) == L"*")
            return true;
    }
    const size_t dot = path.rfind(L'.');
    if (dot == std::wstring::npos)
        return false;
    const std::wstring own = Lower(L"*" + path.substr(dot));
    for (const std::wstring& pattern : patterns) {
        const std::wstring p = Lower(pattern);
        if (p == L"*.*" || p == own)
            return true;
    }
    return false;
}

bool LooksLikeFilterText(const std::wstring& text)
{
    return text.find(L'*') != std::wstring::npos || text.find(L'(') != std::wstring::npos;
}

bool NamesNothingToWrite(const std::wstring& text)
{
    const size_t last = text.find_last_not_of(L' ');
    return last == std::wstring::npos || text.find_first_of(L"*?") != std::wstring::npos || text[last] == L'\\' ||
           text[last] == L'/';
}

std::wstring IconWindowLabel(const std::wstring& alias, const std::wstring& path)
{
    std::wstring label = alias == L"bvn!NULL" ? path : alias;
    const size_t cut = label.find_last_of(L"\\/");
    if (cut != std::wstring::npos)
        label = label.substr(cut + 1);
    if (label.size() > 8)
        label = label.substr(0, 8) + L"...";
    return label;
}

} // namespace TessikMagWin
