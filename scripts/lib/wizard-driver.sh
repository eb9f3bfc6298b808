# Drives the real Kestrup.exe under Wine and Xvfb as a user would (xdotool clicks and typing),
# for scripts/demo and tests/e2e/run. Source it; it defines functions and uses these variables:
#   work       a scratch folder the caller removes
#   window     set by find_window: the wizard's X window
#   shots      the folder screenshots go to
# The dialog is 406 x 329 dialog units; under Wine one unit is 1.5 pixels, and without a window
# manager the X window is the dialog's client area.

wizard_title='Corvane Firmware Update Tool'

# Waits until COMMAND succeeds or SECONDS pass. The processes watched here offer no event to
# wait on, so they are looked at every 100 ms.
wait_until() {
    local limit=$1; shift
    local deadline=$((SECONDS + limit))
    until "$@"; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.1
    done
}

# Starts a private X server on a free display and exports DISPLAY; its pid in xvfb_pid.
start_xvfb() {
    exec 9>"$work/display"
    Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    exec 9>&-
    display_ready() { [ -s "$work/display" ]; }
    wait_until 20 display_ready || return 1
    export DISPLAY=":$(head -1 "$work/display")"
}

# Ends one process this script started, and waits for it.
stop_pid() {
    local pid=$1
    [ -n "$pid" ] || return 0
    if kill -0 "$pid" 2>/dev/null; then
        kill "$pid" 2>/dev/null
        for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$pid" 2>/dev/null
    fi
    wait "$pid" 2>/dev/null
    return 0
}

du() { echo $(( ($1 * 3 + 1) / 2 )); }
find_window() { window=$(xdotool search --name "$wizard_title" 2>/dev/null | head -1); [ -n "$window" ]; }
click_du() {  # click at dialog units X Y
    xdotool mousemove --window "$window" "$(du "$1")" "$(du "$2")" click 1
    sleep 0.3  # let Wine repaint before the next look
}
shot() { import -window root "$shots/$1.png"; }

# Page 1 to the running page: the three boxes ticked, Next, the address typed, Next.
# Screenshots PREFIX-page1, -page1-ticked, -page2, -page2-address; false when page 2 did not
# come (judged by the caller's page2_ready, where it defines one).
drive_to_running() {  # drive_to_running PREFIX ADDRESS
    shot "$1-page1"
    click_du 182 176   # "All windows programs ... closed" (1016, above 1015 on screen)
    click_du 182 205   # "Corvane is powered up ..." (1015)
    click_du 182 232   # "Don't power down ..." (1017)
    shot "$1-page1-ticked"
    click_du 310 313   # Next
    # Page 2 must be there before anything is typed; the caller may say how to tell.
    if declare -F page2_ready >/dev/null && ! wait_until 10 page2_ready; then
        shot "$1-page2-stuck"
        return 1
    fi
    shot "$1-page2"
    click_du 232 150   # the address control's first field
    xdotool type --delay 80 "$2"
    sleep 0.3
    shot "$1-page2-address"
    click_du 310 313   # Next: the run begins
}
click_next() { click_du 310 313; }
click_back() { click_du 256 313; }
click_cancel() { click_du 374 313; }
