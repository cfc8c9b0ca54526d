# Where the per-user install puts things; sourced by install-user.sh and uninstall-user.sh.
# The bundle goes where the manager's self-update accepts it: the user's own Applications folder.
home=${HOME:?HOME is not set}
case $home in
    /*) ;;
    *) printf 'HOME 必须是绝对路径：%s\n' "$home" >&2; exit 1 ;;
esac
case ${XDG_DATA_HOME:-} in
    /*) data_home=$XDG_DATA_HOME ;;
    *) data_home=$home/.local/share ;;
esac
apps_dir=$home/Applications
target=$apps_dir/Quillo\ Edge.app
entry_dir=$data_home/applications
entry=$entry_dir/dev.quillo.edge.desktop
icon_dir=$data_home/icons/hicolor/scalable/apps
icon=$icon_dir/dev.quillo.edge.svg
# Written into the entry and the icon, so that the uninstall tells them from a user's own.
marker=X-Quillo-Edge-Installed-By=install-user.sh
