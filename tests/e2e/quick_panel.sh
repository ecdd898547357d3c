#!/usr/bin/env bash
# The quick panel hotkey: Ctrl+Shift+K typed over the program's focused
# main window opens the panel (with its hidden dummy), the next press
# closes it and the one after opens it again where it was. The keys are
# pressed on the keyboard (X's), never posted: the test fails when the
# combination is not registered.
source "$(dirname "$0")/lib.sh"

PANEL_CLASS="Tessik.Kelm.QuickPanel.Class"
PANEL_TITLE="Tessik.QuickPanel"
DUMMY_CLASS="Tessik.Kelm.DummyPhys.Class"

seed_app_store "showTessikMain : true" "containerDir : \"$(store_path "$WORK/boxes/root")\""
cat > "$DATA/QuickPanelCom.kelm" <<'STORE'
TempList{
    abc123{
        title : "隐身收纳盒",
        clrtag : "#E8A33D"
    },
    def456{
        title : "Notes",
        clrtag : "#4D8FE8"
    }
}
TessikRef{
    test : 0
}
STORE

start_tessik
pid=$LAST_PID
wait_main_window visible

press_panel_hotkey() {
  press_keys_over "$1" ctrl+shift+k || fail "$2: the window $1 did not take the keyboard focus"
}

press_panel_hotkey "$MAIN_TITLE" "first press"
first=$(probe wait "$PANEL_CLASS" "$PANEL_TITLE" visible 15000) || fail "Ctrl+Shift+K did not open the quick panel"
probe wait "$DUMMY_CLASS" "Dummy" hidden 5000 >/dev/null || fail "dummy window missing or visible"
wait_still "$PANEL_CLASS" "$PANEL_TITLE"
import -window root "$WORK/quick_panel_open.png" 2>/dev/null || true

press_panel_hotkey "$PANEL_TITLE" "second press"
probe gone "$PANEL_CLASS" "$PANEL_TITLE" 15000 || fail "the second press did not close the panel"
probe gone "$DUMMY_CLASS" "Dummy" 5000 || fail "dummy window left behind"

# The third press opens it again at the remembered rectangle.
press_panel_hotkey "$MAIN_TITLE" "third press"
again=$(probe wait "$PANEL_CLASS" "$PANEL_TITLE" visible 15000) || fail "the third press did not open the panel"
[ "$(cut -f5 <<<"$first")" = "$(cut -f5 <<<"$again")" ] || fail "reopened at $(cut -f5 <<<"$again"), not $(cut -f5 <<<"$first")"
wait_still "$PANEL_CLASS" "$PANEL_TITLE"
press_panel_hotkey "$PANEL_TITLE" "fourth press"
probe gone "$PANEL_CLASS" "$PANEL_TITLE" 15000 || fail "the fourth press did not close the panel"

quit_from_tray
wait_exit "$pid"
[ "$RC" = 0 ] || fail "quit exit code $RC"
echo "PASS"
