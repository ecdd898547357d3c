// The file and folder browser drawn inside a framework window: a path bar,
// sort buttons (name, last write time), a scrolling list of rows with shell
// icons and a scroll bar. Its root level "计算机" lists the drives and the
// Desktop and Documents folders; a click opens a folder, reports a file or
// goes one level up. The folder chooser is built on it. UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/controls/FileSelectorRules.h"
#include "ui/core/BrevinControl.h"

class KelmFileSelector : public Brevin::BrevinControl
{
public:
    KelmFileSelector() = default;
    KelmFileSelector(const KelmFileSelector&) = delete;
    KelmFileSelector& operator=(const KelmFileSelector&) = delete;

    // Moves and recolours the browser (DIPs). The first call also starts it
    // at the drive list; later calls keep its folder, selection and scroll.
    void Set(int x, int y, int w, int h, COLORREF colour);
    // Shows a folder, or a file's folder with the file selected and scrolled
    // into view; an empty path shows the drive list. A path that does not
    // exist changes nothing. onPathChanged runs in every case.
    void SetPath(const std::wstring& path);
    void SetOnFileSelected(std::function<void(const std::wstring&)> callback);
    void SetOnPathChanged(std::function<void(const std::wstring&)> callback);

    int AddEvent(const Brevin::kelmPoint& point, Brevin::kelmEvent event) override;
    virtual void CreateCtl(HWND hwnd, ID2D1HwndRenderTarget* rt);
    // Called by BrevinPanel::AddControl: remembers the window and draws.
    virtual void AttachCtl(HWND hwnd, ID2D1HwndRenderTarget* rt, std::shared_ptr<KelmFileSelector> self);

    // Rows that fit the list area.
    int VisibleRows() const;

    bool initialised = false;
    bool inFolder = false; // false: the drive list is shown
    int sortMode = 0;      // 0 by name, 1 by last write time
    int nameButton[4] = {0, 0, 100, 100};
    int timeButton[4] = {0, 0, 100, 100};
    std::wstring currentPath; // ends in "\" when not empty
    std::vector<FileEntry> entries;
    int rowHeight = 30;
    int firstRow = 0;
    int selectedRow = -1;
    int hoverRow = -1;
    COLORREF colour = 0;
    std::function<void(const std::wstring&)> onFileSelected;
    std::function<void(const std::wstring&)> onPathChanged;
    bool active = true; // draws and answers events only while set
    HWND window = nullptr;

private:
    void BuildRootList();
    void ListFolder();
    void AfterListing();
    void ShowRoot();
    void Click(const POINT& point);
    void SetSortMode(int mode);
    // The visible rows: firstRow .. end (exclusive).
    int VisibleEnd() const;
    int RowAt(const POINT& point) const;
    void DrawPathText(ID2D1HwndRenderTarget* rt, const wchar_t* path) const;
    void DrawRows(ID2D1HwndRenderTarget* rt);
    void DrawScrollBar(ID2D1HwndRenderTarget* rt);
};
