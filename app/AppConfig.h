// Configuration: where the user's data lives, loading the four stores and
// the defaults of a first start, and keeping stored box rectangles valid
// when the screen size changes. UI thread only.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "app/KelmStorage.h"

// Loads the configuration once per process (later calls do nothing).
// afterChoice: the first-run pages have chosen the folder.
void LoadAppConfig(bool afterChoice);
// The first-run pages finished with a choice of data folder.
void ApplyFirstRunDataChoice();
// The introduction ended for an existing data folder.
void FinishFirstRun();

// Rescales the stored rectangle of a box (its object key under
// "Components") to the current screen and records the screen as its base.
void ScaleComponentRect(const std::wstring& key, int& x, int& y, int& width, int& height);
void SaveComponentScreenBase(const std::wstring& key);
// "<containerDir>\.data\.temp\", created when missing.
std::wstring GetTempFolder();

// The settings of a first start with a data folder (saved by the loader).
void WriteFirstStartDefaults(const std::wstring& containerDir);

// Pure parts, kept apart so they can be checked without a disk or screen.

// Where the data lives; firstRun when no store exists anywhere.
struct DataFolderChoice {
    std::wstring folder;
    bool firstRun = false;
};
// What a candidate folder holds: "Tessik.kelm", and any of the four stores.
struct DataFolderStores {
    bool settings = false;
    bool any = false;
};
DataFolderChoice ChooseDataFolder(bool afterChoice, int firstRunDataChoice, DataFolderStores portable,
                                  DataFolderStores perUser, const std::wstring& portableFolder,
                                  const std::wstring& perUserFolder);

// The box root folder of a first start: the first removable or fixed drive
// other than C:, else C:. drives: root text and GetDriveTypeW value.
std::wstring ChooseContainerRoot(const std::vector<std::pair<std::wstring, UINT>>& drives,
                                 const std::wstring& randomHex);

// Scales a rectangle made for the base screen size to the screen and keeps
// it on the screen. Returns false (nothing changed) when a size is unknown
// or the sizes are equal.
bool ScaleRectToScreen(int& x, int& y, int& width, int& height, int baseWidth, int baseHeight, int screenWidth,
                       int screenHeight);

// The lines of the start's notice that name a store file the start had to
// change and the copy of its bytes it kept (copy empty: none could be
// written, and the file is not replaced).
std::wstring ChangedStoreText(const std::wstring& file, const StoreLoadChanges& changes, const std::wstring& copy);
// The notice when the box root folder cannot be made, naming the folder
// as the settings page shows it.
std::wstring ContainerFolderNotMadeText(const std::wstring& storedFolder);
