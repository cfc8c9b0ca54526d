#!/bin/sh
# Installer for the Quillo Edge print service, per user, without administrator rights.
#
#   install.sh status|start|stop|restart|enable|disable|uninstall [--json]
#   install.sh install --binary PATH [--autostart] [--json]
#   install.sh upgrade --version VERSION [--json]
#
# With --json, "status" ends with one status record and every other command prints progress
# event lines; a failure exits non-zero after an event that says what went wrong.
#
# QUILLO_EDGE_SERVER_HOME (one folder for everything) and QUILLO_EDGE_SERVER_PORT move the
# service aside, so tests can run next to a real installation.

set -u
umask 022

PROGRAM=quillo-edge-server
PROBE=quillo-edge-health
HOST=127.0.0.1

json=0
progress=0
lock_held=0
stage_dir=
old_backup=
old_was_running=0
new_root_active=0
autostart_saved=
autostart_touched=0
created_data_dir=0
version_saved=
upgrade_was_running=0
error_message=

for argument in "$@"; do
    [ "$argument" = --json ] && json=1
done

# ---------------------------------------------------------------------------------------------
# Output

# json_escape TEXT: sets "escaped" to TEXT fit for a JSON string. Control characters would
# break a JSON line; none belong in a message. Plain text, the usual case, costs no process:
# the status is read every few seconds while the manager's window is open.
json_escape() {
    case $1 in
        *[\\\"[:cntrl:]]*)
            escaped=$(printf '%s' "$1" | tr -d '\000-\037\177' | sed -e 's/\\/\\\\/g' -e 's/"/\\"/g') ;;
        *) escaped=$1 ;;
    esac
}

# read_first_line FILE: sets "line" to the first line of FILE, or fails.
read_first_line() {
    line=
    [ -r "$1" ] || return 1
    IFS= read -r line <"$1" || [ -n "$line" ]
}

emit() {
    progress=$2
    if [ "$json" = 1 ]; then
        json_escape "$1"
        event_json=$escaped
        json_escape "$3"
        printf '{"event":"%s","progress":%d,"message":"%s"}\n' "$event_json" "$2" "$escaped"
    else
        printf '%s\n' "$3"
    fi
}

# fail STATUS MESSAGE: the clean-up on exit undoes what this run changed.
fail() {
    if [ "$json" = 1 ]; then
        emit failed "$progress" "$2"
    fi
    printf '%s\n' "$2" >&2
    exit "$1"
}

# ---------------------------------------------------------------------------------------------
# Locations

# absolute_or PATH FALLBACK: sets "absolute" without a subshell; status runs every few seconds.
absolute_or() {
    case ${1:-} in
        /*) absolute=$1 ;;
        *) absolute=$2 ;;
    esac
}

resolve_locations() {
    if [ -n "${QUILLO_EDGE_SERVER_HOME:-}" ]; then
        case $QUILLO_EDGE_SERVER_HOME in
            /*) ;;
            *) fail 2 "QUILLO_EDGE_SERVER_HOME 必须是绝对路径" ;;
        esac
        install_parent=$QUILLO_EDGE_SERVER_HOME
        data_dir=$QUILLO_EDGE_SERVER_HOME/quillo-edge-data
        log_dir=$QUILLO_EDGE_SERVER_HOME/logs
        autostart_dir=$QUILLO_EDGE_SERVER_HOME/autostart
    else
        case ${HOME:-} in
            /*) ;;
            *) fail 1 "无法确定用户主文件夹（HOME 未设置）" ;;
        esac
        absolute_or "${XDG_DATA_HOME:-}" "$HOME/.local/share"
        install_parent=$absolute
        data_dir=$install_parent/quillo-edge-data
        absolute_or "${XDG_STATE_HOME:-}" "$HOME/.local/state"
        log_dir=$absolute/quillo-edge/logs
        absolute_or "${XDG_CONFIG_HOME:-}" "$HOME/.config"
        autostart_dir=$absolute/autostart
    fi
    install_root=$install_parent/quillo-edge
    case $install_root$data_dir$log_dir$autostart_dir in
        *[[:cntrl:]]*) fail 1 "安装位置的路径中含有控制字符，无法使用" ;;
    esac

    binary_path=$install_root/bin/$PROGRAM
    probe_path=$install_root/bin/$PROBE
    installed_script=$install_root/install.sh
    managed_mark=$install_root/managed
    version_file=$install_root/version
    pid_file=$install_root/server.pid
    log_file=$log_dir/server.log
    autostart_file=$autostart_dir/quillo-edge-server.desktop
    lock_dir=$install_parent/.quillo-edge.lock

    port=${QUILLO_EDGE_SERVER_PORT:-6176}
    case $port in
        '' | 0* | *[!0-9]*) fail 2 "端口无效：$port" ;;
    esac
    if [ ${#port} -gt 5 ] || [ "$port" -gt 65535 ]; then
        fail 2 "端口无效：$port"
    fi
    url=http://$HOST:$port
}

# ---------------------------------------------------------------------------------------------
# Processes

# The service has a pid file; a pid alone could since belong to another program. Sets "pid".
read_pid() {
    [ -f "$pid_file" ] || return 1
    read_first_line "$pid_file" || return 1
    pid=$line
    case $pid in
        '' | *[!0-9]*) return 1 ;;
    esac
}

# A zombie still answers kill -0, so /proc decides where it exists.
process_alive() {
    kill -0 "$1" 2>/dev/null || return 1
    if [ -r "/proc/$1/stat" ]; then
        read_first_line "/proc/$1/stat" || return 1
        state=${line##*) }
        state=${state%"${state#?}"}
        [ -n "$state" ] && [ "$state" != Z ] || return 1
    fi
    return 0
}

# The service runs as "$binary_path" --port ...; read drops the NUL bytes between arguments.
process_is_service() {
    process_alive "$1" || return 1
    if [ -r "/proc/$1/cmdline" ]; then
        read_first_line "/proc/$1/cmdline"
        case $line in
            "$binary_path--port"*) ;;
            *) return 1 ;;
        esac
    fi
    return 0
}

service_running() {
    read_pid || return 1
    service_pid=$pid
    process_is_service "$service_pid"
}

# service_healthy PID: the answer must come from that process, not from whatever holds the port.
# The small probe costs a status run far less than starting the service's own program, which
# checks the same way for an installation that came without the probe.
service_healthy() {
    checker=$probe_path
    [ -x "$checker" ] || checker=$binary_path
    [ -x "$checker" ] || return 1
    "$checker" --check-health "$url/health" --expect-pid "$1" --timeout-ms 1500 >/dev/null 2>&1
}

bounded() {
    if command -v timeout >/dev/null 2>&1; then
        timeout "$@"
    else
        shift
        "$@"
    fi
}

is_installed() {
    [ -f "$binary_path" ] && [ -x "$binary_path" ]
}

rotate_log() {
    if [ -f "$log_file" ] && [ "$(wc -c <"$log_file")" -gt 1048576 ]; then
        mv -f "$log_file" "$log_file.1"
    fi
}

# start_service: returns non-zero with error_message set; leaves nothing running on failure.
start_service() {
    if service_running; then
        wait_healthy "$service_pid" && return 0
        stop_service || return 1
    fi
    rm -f "$pid_file"
    if [ ! -d "$data_dir" ]; then
        mkdir -p "$data_dir" || { error_message="无法创建数据文件夹：$data_dir"; return 1; }
        created_data_dir=1
    fi
    # The log names every upload, which is as private as the upload itself.
    mkdir -p "$log_dir" && chmod 700 "$log_dir" || { error_message="无法创建日志文件夹：$log_dir"; return 1; }
    rotate_log
    log_start=$( { wc -c <"$log_file"; } 2>/dev/null || echo 0)

    read_first_line "$version_file"
    version=$line
    # Its own session: the service outlives the caller and never holds its pipes.
    launcher='nohup'
    command -v setsid >/dev/null 2>&1 && launcher=setsid
    $launcher "$binary_path" --port "$port" --data-dir "$data_dir" --service-version "${version:-0.0.0}" \
        </dev/null >>"$log_file" 2>&1 &
    started=$!
    if ! { printf '%s\n' "$started" >"$pid_file.new" && mv -f "$pid_file.new" "$pid_file"; }; then
        kill -s TERM "$started" 2>/dev/null
        error_message="无法写入进程文件：$pid_file"
        return 1
    fi
    wait_healthy "$started" && return 0

    if process_alive "$started"; then
        error_message="打印服务在 10 秒内没有通过健康检查，详情见日志：$log_file"
    else
        # Only what this start wrote: an older line would name the wrong cause.
        reason=$(tail -c +"$((log_start + 1))" "$log_file" 2>/dev/null | tail -n 1 | tr -d '\000-\037\177')
        error_message="打印服务启动失败：${reason:-进程已退出}"
    fi
    stop_service >/dev/null 2>&1
    kill -s KILL "$started" 2>/dev/null
    rm -f "$pid_file"
    return 1
}

wait_healthy() {
    attempt=0
    while [ "$attempt" -lt 100 ]; do
        process_alive "$1" || return 1
        service_healthy "$1" && return 0
        sleep 0.1
        attempt=$((attempt + 1))
    done
    return 1
}

stop_service() {
    if service_running; then
        kill -s TERM "$service_pid" 2>/dev/null
        attempt=0
        while [ "$attempt" -lt 50 ] && process_alive "$service_pid"; do
            sleep 0.1
            attempt=$((attempt + 1))
        done
        if process_alive "$service_pid"; then
            kill -s KILL "$service_pid" 2>/dev/null
            sleep 0.2
        fi
        if process_alive "$service_pid"; then
            error_message="无法停止打印服务（进程 $service_pid）"
            return 1
        fi
    fi
    rm -f "$pid_file"
    return 0
}

# ---------------------------------------------------------------------------------------------
# Start at login (XDG autostart)

# One argument of a desktop entry's Exec key, quoted as that format wants.
desktop_arg() {
    printf '"%s"' "$(printf '%s' "$1" | sed -e 's/[\\"`$]/\\&/g' -e 's/\\/\\\\/g' -e 's/%/%%/g')"
}

write_autostart() {
    mkdir -p "$autostart_dir" || { error_message="无法创建文件夹：$autostart_dir"; return 1; }
    command_line=
    # Login runs without the caller's environment: keep a moved service where it is.
    if [ -n "${QUILLO_EDGE_SERVER_HOME:-}" ] || [ -n "${QUILLO_EDGE_SERVER_PORT:-}" ]; then
        command_line="env"
        [ -n "${QUILLO_EDGE_SERVER_HOME:-}" ] &&
            command_line="$command_line $(desktop_arg "QUILLO_EDGE_SERVER_HOME=$QUILLO_EDGE_SERVER_HOME")"
        [ -n "${QUILLO_EDGE_SERVER_PORT:-}" ] &&
            command_line="$command_line $(desktop_arg "QUILLO_EDGE_SERVER_PORT=$QUILLO_EDGE_SERVER_PORT")"
        command_line="$command_line "
    fi
    command_line="$command_line/bin/sh $(desktop_arg "$installed_script") start"
    if ! {
        {
            printf '[Desktop Entry]\n'
            printf 'Type=Application\n'
            printf 'Name=Quillo Edge 打印服务\n'
            printf 'Comment=登录时启动 Quillo Edge 打印服务\n'
            printf 'Exec=%s\n' "$command_line"
            printf 'Terminal=false\n'
            printf 'NoDisplay=true\n'
            printf 'X-GNOME-Autostart-enabled=true\n'
        } >"$autostart_file.new" && mv -f "$autostart_file.new" "$autostart_file"
    }; then
        rm -f "$autostart_file.new"
        error_message="无法写入登录启动项：$autostart_file"
        return 1
    fi
}

# Keeps the entry as it was, so a failed run can put it back.
save_autostart() {
    autostart_touched=1
    if [ -f "$autostart_file" ]; then
        autostart_saved=$install_parent/.quillo-edge.autostart.$$
        cp -p "$autostart_file" "$autostart_saved" || fail 1 "无法备份登录启动项：$autostart_file"
    fi
}

# ---------------------------------------------------------------------------------------------
# Locking and clean-up

acquire_lock() {
    mkdir -p "$install_parent" || fail 1 "无法创建文件夹：$install_parent"
    if ! mkdir "$lock_dir" 2>/dev/null; then
        holder=$(cat "$lock_dir/pid" 2>/dev/null)
        stale=0
        if [ -n "$holder" ]; then
            kill -0 "$holder" 2>/dev/null || stale=1
        elif [ -n "$(find "$lock_dir" -maxdepth 0 -mmin +1 2>/dev/null)" ]; then
            stale=1 # its owner died before it could sign it
        fi
        if [ "$stale" = 1 ]; then
            rm -rf "$lock_dir"
            mkdir "$lock_dir" 2>/dev/null || fail 3 "另一个安装器命令正在运行，请稍后再试"
        else
            fail 3 "另一个安装器命令正在运行，请稍后再试"
        fi
    fi
    lock_held=1
    printf '%s\n' "$$" >"$lock_dir/pid"
}

# Runs on every exit. After a failure it puts back what this run replaced.
finish() {
    status=$?
    trap - EXIT HUP INT TERM
    if [ "$status" -ne 0 ]; then
        if [ "$new_root_active" = 1 ]; then
            stop_service >/dev/null 2>&1
            rm -rf "$install_root"
        fi
        if [ -n "$old_backup" ] && [ -d "$old_backup" ]; then
            mv "$old_backup" "$install_root"
        fi
        # The old service is back in place (or was never moved): run it again if it ran.
        [ "$old_was_running" = 1 ] && start_service >/dev/null 2>&1
        if [ -n "$version_saved" ]; then
            printf '%s\n' "$version_saved" >"$version_file"
            [ "$upgrade_was_running" = 1 ] && start_service >/dev/null 2>&1
        fi
        if [ "$autostart_touched" = 1 ]; then
            if [ -n "$autostart_saved" ]; then
                mv -f "$autostart_saved" "$autostart_file"
            else
                rm -f "$autostart_file"
            fi
        fi
        [ "$created_data_dir" = 1 ] && rmdir "$data_dir" 2>/dev/null
    fi
    [ -n "$stage_dir" ] && rm -rf "$stage_dir"
    [ -n "$autostart_saved" ] && rm -f "$autostart_saved"
    [ "$lock_held" = 1 ] && rm -rf "$lock_dir"
    exit "$status"
}

# ---------------------------------------------------------------------------------------------
# Commands

json_bool() {
    if "$@"; then printf true; else printf false; fi
}

cmd_status() {
    installed=false managed=false running=false healthy=false autostart=false version=
    if is_installed; then
        installed=true
        [ -f "$managed_mark" ] && managed=true
        read_first_line "$version_file" && version=$line
        if service_running; then
            running=true
            service_healthy "$service_pid" && healthy=true
        fi
    fi
    [ -f "$autostart_file" ] && autostart=true
    if [ "$json" = 1 ]; then
        printf '{"installed":%s,"managed":%s,"running":%s,"healthy":%s,"autoStart":%s,' \
            "$installed" "$managed" "$running" "$healthy" "$autostart"
        json_escape "$version"
        printf '"version":"%s","host":"%s","port":%s,' "$escaped" "$HOST" "$port"
        json_escape "$url"
        printf '"url":"%s",' "$escaped"
        json_escape "$install_root"
        printf '"installRoot":"%s",' "$escaped"
        json_escape "$data_dir"
        printf '"dataDir":"%s",' "$escaped"
        json_escape "$log_dir"
        printf '"logDir":"%s"}\n' "$escaped"
    else
        yes_no() { if [ "$1" = true ]; then printf '是'; else printf '否'; fi; }
        printf '已安装：%s\n已接管：%s\n正在运行：%s\n健康：%s\n登录时启动：%s\n' \
            "$(yes_no $installed)" "$(yes_no $managed)" "$(yes_no $running)" "$(yes_no $healthy)" \
            "$(yes_no $autostart)"
        printf '版本：%s\n地址：%s\n安装位置：%s\n数据文件夹：%s\n日志文件夹：%s\n' \
            "${version:-无}" "$url" "$install_root" "$data_dir" "$log_dir"
    fi
}

require_installed() {
    is_installed || fail 1 "打印服务尚未安装"
}

cmd_start() {
    require_installed
    acquire_lock
    if service_running && service_healthy "$service_pid"; then
        emit started 100 "打印服务已在运行"
        return
    fi
    emit starting 10 "正在启动打印服务…"
    start_service || fail 1 "$error_message"
    emit started 100 "打印服务已启动"
}

cmd_stop() {
    if ! service_running; then
        emit stopped 100 "打印服务未在运行"
        return
    fi
    acquire_lock
    emit stopping 10 "正在停止打印服务…"
    stop_service || fail 1 "$error_message"
    emit stopped 100 "打印服务已停止"
}

cmd_restart() {
    require_installed
    acquire_lock
    emit stopping 10 "正在停止打印服务…"
    stop_service || fail 1 "$error_message"
    emit starting 50 "正在启动打印服务…"
    start_service || fail 1 "$error_message"
    emit started 100 "打印服务已重新启动"
}

cmd_enable() {
    require_installed
    acquire_lock
    emit enabling 10 "正在开启登录时启动…"
    if [ ! -f "$installed_script" ]; then
        cp "$0" "$installed_script" 2>/dev/null || fail 1 "无法复制安装器脚本到：$install_root"
    fi
    write_autostart || fail 1 "$error_message"
    emit enabled 100 "已开启登录时启动"
}

cmd_disable() {
    if [ ! -e "$autostart_file" ]; then
        emit disabled 100 "登录时启动已是关闭状态"
        return
    fi
    acquire_lock
    emit disabling 10 "正在关闭登录时启动…"
    rm -f "$autostart_file" || fail 1 "无法删除登录启动项：$autostart_file"
    emit disabled 100 "已关闭登录时启动"
}

valid_version() {
    case $1 in
        '' | [!0-9]* | *[!0-9A-Za-z.+-]*) return 1 ;;
    esac
    [ ${#1} -le 64 ]
}

cmd_install() {
    [ -n "$binary" ] || fail 2 "缺少参数 --binary：请指定打印服务程序的路径"
    case $binary in
        *[[:cntrl:]]*) fail 2 "打印服务程序的路径中含有控制字符" ;;
    esac
    [ -e "$binary" ] || fail 2 "找不到打印服务程序：$binary"
    [ -f "$binary" ] || fail 2 "打印服务程序不是文件：$binary"
    [ -x "$binary" ] || fail 2 "打印服务程序不可执行：$binary"
    [ -f "$0" ] || fail 2 "找不到安装器脚本本身，无法安装"

    acquire_lock
    emit checking 5 "正在检查打印服务程序…"
    stage_dir=$(mktemp -d "$install_parent/.quillo-edge.stage.XXXXXX") ||
        fail 1 "无法在 $install_parent 中创建临时文件夹"
    chmod 755 "$stage_dir" || fail 1 "无法设置文件夹权限：$stage_dir"
    emit copying 15 "正在复制打印服务程序…"
    mkdir "$stage_dir/bin" && cp "$binary" "$stage_dir/bin/$PROGRAM" && chmod 755 "$stage_dir/bin/$PROGRAM" ||
        fail 1 "无法复制打印服务程序到：$install_parent"
    # The health probe, where it ships beside the service's program.
    case $binary in
        */*) probe=${binary%/*}/$PROBE ;;
        *) probe=$PROBE ;;
    esac
    if [ -f "$probe" ] && [ -x "$probe" ]; then
        cp "$probe" "$stage_dir/bin/$PROBE" && chmod 755 "$stage_dir/bin/$PROBE" ||
            fail 1 "无法复制打印服务程序到：$install_parent"
    fi
    cp "$0" "$stage_dir/install.sh" || fail 1 "无法复制安装器脚本到：$install_parent"
    new_version=$(bounded 10 "$stage_dir/bin/$PROGRAM" --print-version 2>/dev/null | head -n 1)
    valid_version "$new_version" || fail 1 "所选文件不是 Quillo Edge 打印服务程序：$binary"
    printf '%s\n' "$new_version" >"$stage_dir/version" && : >"$stage_dir/managed" ||
        fail 1 "无法写入安装信息：$install_parent"

    adopting=0
    if [ -e "$install_root" ]; then
        [ -f "$managed_mark" ] || adopting=1
        if service_running; then
            emit stopping 30 "正在停止现有的打印服务…"
            old_was_running=1
            stop_service || fail 1 "$error_message"
        fi
        old_backup=$install_parent/.quillo-edge.old.$$
        rm -rf "$old_backup"
        mv "$install_root" "$old_backup" || fail 1 "无法移开现有安装：$install_root"
    fi
    emit activating 45 "正在安装打印服务…"
    mv "$stage_dir" "$install_root" || fail 1 "无法完成安装：$install_root"
    stage_dir=
    new_root_active=1

    if [ "$autostart" = 1 ]; then
        emit autostart 60 "正在开启登录时启动…"
        save_autostart
        write_autostart || fail 1 "$error_message"
    fi

    emit starting 75 "正在启动打印服务…"
    start_service || fail 1 "$error_message"

    # Committed: nothing below is undone.
    new_root_active=0
    autostart_touched=0
    created_data_dir=0
    [ -n "$old_backup" ] && rm -rf "$old_backup"
    old_backup=
    if [ "$adopting" = 1 ]; then
        emit installed 100 "已接管现有的打印服务，数据已保留"
    else
        emit installed 100 "打印服务已安装并正在运行"
    fi
}

cmd_uninstall() {
    if [ ! -e "$install_root" ]; then
        rm -f "$autostart_file"
        emit uninstalled 100 "打印服务未安装"
        return
    fi
    acquire_lock
    emit stopping 10 "正在停止打印服务…"
    stop_service || fail 1 "$error_message"
    emit autostart 40 "正在关闭登录时启动…"
    rm -f "$autostart_file" || fail 1 "无法删除登录启动项：$autostart_file"
    emit removing 70 "正在移除打印服务程序…"
    # Renamed first, so an interrupted removal never looks like an installation.
    removed=$install_parent/.quillo-edge.removed.$$
    rm -rf "$removed"
    mv "$install_root" "$removed" || fail 1 "无法移除安装：$install_root"
    rm -rf "$removed"
    emit uninstalled 100 "打印服务已卸载，数据已保留在：$data_dir"
}

cmd_upgrade() {
    [ -n "$requested_version" ] || fail 2 "缺少参数 --version：请指定要升级到的版本"
    valid_version "$requested_version" || fail 2 "版本号无效"
    require_installed
    [ -f "$managed_mark" ] || fail 1 "现有的打印服务尚未被接管，请先安装以接管后再升级"
    # This installer carries one build of the service, the program in ../Payload; it cannot
    # make the service any other version.
    payload=$(dirname -- "$0")/../Payload/$PROGRAM
    payload_version=$(bounded 10 "$payload" --print-version 2>/dev/null | head -n 1)
    [ "$payload_version" = "$requested_version" ] ||
        fail 1 "安装器附带的打印服务版本是 ${payload_version:-未知}，无法升级到 $requested_version"
    acquire_lock
    emit preparing 10 "正在准备升级到 $requested_version…"
    read_first_line "$version_file"
    old_version=$line
    service_running && upgrade_was_running=1
    printf '%s\n' "$requested_version" >"$version_file.new" && mv -f "$version_file.new" "$version_file" ||
        fail 1 "无法写入版本信息：$version_file"
    version_saved=${old_version:-0.0.0}
    if [ "$upgrade_was_running" = 1 ]; then
        emit stopping 40 "正在停止打印服务…"
        stop_service || fail 1 "$error_message"
        emit starting 70 "正在启动新版本的打印服务…"
        start_service || fail 1 "$error_message"
    fi
    version_saved=
    emit upgraded 100 "打印服务已升级到 $requested_version"
}

usage="可用命令：status、start、stop、restart、enable、disable、install、uninstall、upgrade"

# ---------------------------------------------------------------------------------------------
# Arguments

[ $# -gt 0 ] || fail 2 "缺少命令。$usage"
command=$1
shift
binary=
autostart=0
requested_version=
option_given=

while [ $# -gt 0 ]; do
    case $1 in
        --json) ;;
        --autostart) autostart=1 option_given="$option_given --autostart" ;;
        --binary)
            [ $# -ge 2 ] || fail 2 "参数 --binary 缺少路径"
            binary=$2 option_given="$option_given --binary"
            shift
            ;;
        --version)
            [ $# -ge 2 ] || fail 2 "参数 --version 缺少版本号"
            requested_version=$2 option_given="$option_given --version"
            shift
            ;;
        *) fail 2 "无法识别的参数：$1" ;;
    esac
    shift
done

case $command in
    install) allowed=" --binary --autostart" ;;
    upgrade) allowed=" --version" ;;
    status | start | stop | restart | enable | disable | uninstall) allowed= ;;
    *) fail 2 "未知命令：$command。$usage" ;;
esac
for option in $option_given; do
    case "$allowed " in
        *" $option "*) ;;
        *) fail 2 "命令 $command 不接受参数 $option" ;;
    esac
done

trap finish EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

resolve_locations

case $command in
    status) cmd_status ;;
    start) cmd_start ;;
    stop) cmd_stop ;;
    restart) cmd_restart ;;
    enable) cmd_enable ;;
    disable) cmd_disable ;;
    install) cmd_install ;;
    uninstall) cmd_uninstall ;;
    upgrade) cmd_upgrade ;;
esac
exit 0
