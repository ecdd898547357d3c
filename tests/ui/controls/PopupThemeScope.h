// Gives the popup tests the theme a user sees (derived from a light base
// colour) and puts back the start values for the tests that follow.
#pragma once

#include "ui/core/ThemeColors.h"

class PopupThemeScope
{
public:
    PopupThemeScope() : base_(ThemeBaseColor), accent_(ThemeAccent), shade_(ThemeShade30), text_(ThemeTextColor)
    {
        ThemeBaseColor = {242, 242, 242};
        UpdateThemeColors();
    }
    ~PopupThemeScope()
    {
        ThemeBaseColor = base_;
        ThemeAccent = accent_;
        ThemeShade30 = shade_;
        ThemeTextColor = text_;
    }
    PopupThemeScope(const PopupThemeScope&) = delete;
    PopupThemeScope& operator=(const PopupThemeScope&) = delete;

private:
    ThemeRgb base_, accent_, shade_, text_;
};
