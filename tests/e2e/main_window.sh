#!/usr/bin/env bash
# The main window's tabs and pages, the theme cards (stored colours, the
# window repainted in the theme), the support overlay and its back glyph,
# and the close glyph that only hides the window.
source "$(dirname "$0")/lib.sh"

seed_app_store "containerDir : \"$(store_path "$WORK/boxes")\"" 'themeBaseColor : "#FFFFFF"'

# Client points at DPI 96 in the 1080 x 720 window: the tab column is 270
# wide, the tabs 210 wide from x 35.
TAB_HOME=(100 90)
TAB_LIBRARY=(100 130)
TAB_SETTINGS=(100 170)
TAB_ABOUT=(100 210)
TAB_SUPPORT=(100 670)
CARD_DARK=(480 192)
CARD_MILK_TEA=(600 192)
CARD_ROSY=(600 292)
BACK_GLYPH=(144 45)
EMPTY_SPOT=(1000 650)

click() { click_main "$@"; }
# The pointer leaves the cards first, so no hover shows.
shot() {
  click "${EMPTY_SPOT[@]}"
  shot_main "$1"
}
stored_theme() { tr -d '\r' <"$DATA/Tessik.kelm" | sed -n 's/^ *themeBaseColor : "\(#[0-9A-F]*\)",*$/\1/p'; }

start_tessik
pid=$LAST_PID
wait_main_window visible
shot home
click_tab "${TAB_LIBRARY[@]}"
shot library
click "${TAB_SETTINGS[@]}"
shot settings
[ "$(pixel settings 1000 650)" = "255,255,255" ] || fail "light page background is $(pixel settings 1000 650)"

click "${CARD_DARK[@]}"
[ "$(stored_theme)" = "#0A0A0A" ] || fail "Dark stored $(stored_theme)"
shot settings_dark
[ "$(pixel settings_dark 1000 650)" = "10,10,10" ] || fail "dark page background is $(pixel settings_dark 1000 650)"
click "${TAB_ABOUT[@]}"
shot about_dark
click "${TAB_HOME[@]}"
shot home_dark

# The support overlay swallows clicks on the tabs below it; its back glyph
# closes it again.
click "${TAB_SUPPORT[@]}"
# Fully open: the sheet reaches the top edge.
wait_pixel support_dark 540 3 '!10,10,10'
click "${TAB_SETTINGS[@]}"
click "${BACK_GLYPH[@]}"
# Closed: the sheet is gone from the bottom of the page.
wait_pixel after_support 540 600 '10,10,10'
# Still the home page: the settings tab was under the overlay.
click "${CARD_ROSY[@]}"
[ "$(stored_theme)" = "#0A0A0A" ] || fail "a click on the home page changed the theme: $(stored_theme)"

click "${TAB_SETTINGS[@]}"
click "${CARD_ROSY[@]}"
[ "$(stored_theme)" = "#FFD6CA" ] || fail "Rosy stored $(stored_theme)"
click "${CARD_MILK_TEA[@]}"
[ "$(stored_theme)" = "#F0E7CC" ] || fail "Milk Tea stored $(stored_theme)"
shot settings_milk_tea
[ "$(pixel settings_milk_tea 1000 650)" = "240,231,204" ] || fail "milk tea background is $(pixel settings_milk_tea 1000 650)"

close_main_window
runs "$pid" || fail "the close glyph ended the program"
probe post "$MAIN_CLASS" "$MAIN_TITLE" $WM_TRAY 0 $WM_LBUTTONUP >/dev/null || fail "no window for the tray click"
wait_main_window visible

quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
echo "PASS"
