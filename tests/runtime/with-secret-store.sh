#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the command in a private D-Bus session with a GNOME keyring of its own, unlocked,
# in a home folder of its own that goes when it ends.
home="$(mktemp -d /tmp/tamberlon-keyring.XXXXXX)"
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/.local/share/keyrings"
HOME="$home" XDG_DATA_HOME="$home/.local/share" dbus-run-session -- sh -c '
  printf keyring | gnome-keyring-daemon --unlock --components=secrets >/dev/null 2>&1 &&
    TAMBERLON_TEST_SECRET_STORE=1 "$@"' sh "$@"
