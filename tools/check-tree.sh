#!/usr/bin/env bash
# Checks what the compiler does not: that includes keep to the layers, that Windows headers stay
# in Windows files, and that the sources are formatted. Prints each offence; exits 1 on any.
#   layers   common < settings < sntp < engine < service, with console beside service (neither
#            includes the other) and tools/kit on sntp: a folder includes its own headers and
#            those of the folders below it only. tests/, bench/, the programs' app/ folders,
#            tools/capture, tools/demo and packaging/ stand above them all.
#   Windows  a file that builds for both platforms includes no Windows header and no _win.h
#            header unless its name ends in _win.cpp or _win.h (a seam header may, inside
#            #ifdef _WIN32, for its _win.cpp). Windows-only folders are exempt.
#   format   clang-format --dry-run --Werror with the tree's .clang-format.
# Usage: tools/check-tree.sh
set -uo pipefail
cd "$(dirname "$0")/.."

declare -A reaches=(
    [common]="common"
    [settings]="common settings"
    [sntp]="common settings sntp"
    [tools/kit]="common settings sntp tools/kit"
    [engine]="common settings sntp engine"
    [service]="common settings sntp engine service"
    [console]="common settings sntp engine console"
)
windows_headers='windows|winsock2|ws2tcpip|wininet|commctrl|shellapi|sddl|aclapi|msi|msiquery|psapi|tlhelp32|mswsock'
windows_only_folders='^(service/app|console/app|tests/win32|tests/e2e|tools/capture|tools/demo|packaging)/'
offences=0

# Sets layer to the layer a path belongs to; empty for what stands above the layers.
layer_of() {
    layer=
    case $1 in
        service/app/* | console/app/*) ;;
        tools/kit/*) layer=tools/kit ;;
        common/* | settings/* | sntp/* | engine/* | service/* | console/*) layer=${1%%/*} ;;
    esac
}

mapfile -t sources < <(git ls-files --cached --others --exclude-standard '*.h' '*.cpp')

# Every include outside an #ifdef _WIN32 block, as "file:line:target".
while IFS=: read -r file line target; do
    layer_of "$file"
    own=$layer
    if [ -n "$own" ] && [[ $target == \"* ]]; then
        layer_of "${target//\"/}"
        other=$layer
        if [ -n "$other" ] && [[ " ${reaches[$own]} " != *" $other "* ]]; then
            echo "$file:$line: $own includes $target, from $other, which it may not reach"
            offences=$((offences + 1))
        fi
    fi
    if [[ ! $file =~ _win\.(h|cpp)$ ]] && [[ ! $file =~ $windows_only_folders ]] &&
        { [[ $target =~ ^\<($windows_headers)\.h\>$ ]] || [[ $target =~ _win\.h\"$ ]]; }; then
        echo "$file:$line: a file for both platforms includes $target"
        offences=$((offences + 1))
    fi
done < <(awk '
    FNR == 1 { windows = 0 }
    /^#if(def)? .*_WIN32/ { windows = 1 }
    /^#(else|endif)/ { windows = 0 }
    /^#include / && !windows { print FILENAME ":" FNR ":" $2 }' "${sources[@]}")

formatting=$(clang-format --dry-run --Werror "${sources[@]}" 2>&1 | grep -E '^[^ ].*: (error|warning):')
if [ -n "$formatting" ]; then
    echo "$formatting"
    offences=$((offences + $(wc -l <<<"$formatting")))
fi

if [ "$offences" -ne 0 ]; then
    echo "check-tree: $offences offence(s)"
    exit 1
fi
echo "check-tree: layers, Windows headers and formatting in order (${#sources[@]} files)"
