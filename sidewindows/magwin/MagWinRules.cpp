#include "sidewindows/magwin/MagWinRules.h"

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

bool IsKnownOpenDialog(const std::wstring& title, const std::wstring& okButtonText)
{
    static const std::vector<std::wstring> open = {L"打开",    L"開啟",  L"Open",   L"開く",  L"열기",
                                                   L"Открыть", L"Abrir", L"Ouvrir", L"Öffnen"};
    // The save words of the known titles, also as they stand inside a
    // sentence or on a button.
    static const std::vector<std::wstring> save = {
        L"保存",      L"另存",    L"儲存",    L"Save",        L"save",        L"저장",      L"Сохранить",
        L"сохранить", L"Guardar", L"guardar", L"Enregistrer", L"enregistrer", L"Speichern", L"speichern"};
    std::wstring button;
    for (wchar_t c : okButtonText) {
        if (c != L'&')
            button += c;
    }
    return TitleMatchesAny(title, open) && !TitleMatchesAny(title, save) && !TitleMatchesAny(button, save);
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

} // namespace

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
