// The first-run pages: a card over the blurred main window that welcomes
// the user, asks for consent to the agreements and lets the user choose
// where the data lives. The configuration loader (app/AppConfig) reads the
// choice and clears the page. UI thread only.
#pragma once

#include <d2d1.h>
#include <windows.h>

namespace Brevin
{
class D2DBrevinPanel;
}

// The page shown (1 welcome, 2 agreements, 3 data location); 0 once the
// flow has finished.
extern int s_firstRunPageState;
// The data page's choice: 1 "当前目录" (beside the program), 0 "AppData".
extern int s_firstRunPageChoice;

// No data folder has been chosen yet, or the stored "NewComer" asks for
// the introduction.
bool IsFirstRunActive();

// Draws the card of the current page and adds its controls; w, h: the
// client in DIPs. The caller has blurred the window and added the barrier.
void DrawFirstRunPages(HWND window, ID2D1HwndRenderTarget* target, Brevin::D2DBrevinPanel& panel, float w, float h);

// The page buttons' actions.
void NextFirstRunPage();
void AcceptAgreement();
// Ends the process without writing anything.
void RefuseAgreementAndQuit();
void ChooseDataLocation(int choice);
// Loads the configuration in the chosen folder and ends the first run.
void FinishFirstRunPages();
