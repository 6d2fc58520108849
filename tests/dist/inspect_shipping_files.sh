#!/usr/bin/env bash
# Stages the deliverables of both targets as `make dist` does and inspects the files: every
# check reads the files and runs nothing of them (the i686 test pass runs the build itself).
#   inspect_shipping_files.sh SOURCE_DIR WORK_DIR
set -uo pipefail

ROOT="$1"
WORK="$2"
VERSION="$(head -n 1 "$ROOT/VERSION")"
MAX_SIZE=$((1024 * 1024))
DELIVERABLES=(ZanviSelector.exe ZanviResolver.dll zeb_fw_update.dll)

declare -A EXPORTS=(
    [ZanviSelector.exe]=""
    [ZanviResolver.dll]="Zanviresolver_Init Zanviresolver_Free Zanviresolver_Execute Zanviresolver_Cancel
        Zanviresolver_UpdateState Zanviresolver_ErrorState Zanviresolver_Progress
        Zanviresolver_ProgressMax Zanviresolver_ErrorLine Zanviresolver_ServiceName"
    [zeb_fw_update.dll]="Init Free Execute Cancel UpdateState ErrorState Progress ProgressMax Version
        DataOut DataOutMax UpdateVersion CurrentCmd DownloadPort ErrorLine ErrorMessage"
)
# One function of each binary, the source folder its line must come from, and how to find its
# address: an export, or (the program) a symbol of the debug file.
declare -A PROBE=(
    [ZanviSelector.exe]="WinMain@16 selector/ symbol:_WinMain@16"
    [ZanviResolver.dll]="Zanviresolver_Init resolver/ export:Zanviresolver_Init"
    [zeb_fw_update.dll]="Init fw_update/ export:Init"
)
# System libraries only. dnssd.dll, the IP helper, the Wi-Fi interface and the VCI runtime are
# loaded at run time and must never be imported; neither may any GCC runtime library.
declare -A SYSTEM_DLLS=()
for dll in advapi32 comctl32 gdi32 kernel32 msvcrt ole32 oleaut32 rpcrt4 shell32 user32 ws2_32; do
    SYSTEM_DLLS[$dll.dll]=1
done

failures=0
fail() { printf '  FAIL %s\n' "$*"; failures=$((failures + 1)); }
expect_eq() {  # what, expected, actual
    [ "$2" = "$3" ] || fail "$1: expected '$2', got '$3'"
}
# The words of the arguments, sorted, on one line (names here hold no wildcards).
sorted_words() { [ -z "${*//[[:space:]]/}" ] || printf '%s\n' $* | sort | tr '\n' ' '; }

# "name rva" for every exported name, from objdump's private headers.
export_rvas() {
    awk '/Export RVA$/ { match($0, /\[ *[0-9]+\]/); i = substr($0, RSTART + 1, RLENGTH - 2) + 0
                         rva[i] = $(NF - 2) }
         /^\[Ordinal\/Name Pointer\] Table/ { names = 1; next }
         names && /^\t\[/ { match($0, /\[ *[0-9]+\]/); i = substr($0, RSTART + 1, RLENGTH - 2) + 0
                            print $NF, rva[i]; next }
         names { names = 0 }' <<< "$1"
}

# "name address" for every export, the address as a crash report gives it: image base plus
# offset, in hex of the width that nm and objdump print.
export_addresses() {  # headers
    local base name rva
    base=$(awk '$1 == "ImageBase" { print $2 }' <<< "$1")
    while read -r name rva; do
        printf '%s %08x\n' "$name" $((0x$base + 0x$rva))
    done < <(export_rvas "$1")
}

# The exports (of the disassembly on stdin) whose code, up to the next code symbol, holds a
# ret that removes arguments: a callee that cleans the stack is not __cdecl. Addresses of one
# width compare as texts.
callee_cleaning_exports() {  # "name address" lines, symbols (nm -n)
    awk 'FILENAME == ARGV[1] { name[++n] = $1; lo[n] = $2; next }
         FILENAME == ARGV[2] { if ($2 ~ /^[tT]$/)
                                   for (i = 1; i <= n; i++)
                                       if (!(i in hi) && ($1 "") > (lo[i] "")) hi[i] = $1
                               next }
         /\tret +\$/ { a = $1; sub(/:$/, "", a); while (length(a) < 8) a = "0" a
                       for (i = 1; i <= n; i++)
                           if ((i in hi) && (a "") >= (lo[i] "") && (a "") < (hi[i] "")) print name[i] }' \
        <(echo "$1") <(echo "$2") - | sort -u
}

# "name size address" of every section but the debug information and its link.
loaded_sections() {  # file
    "$OBJDUMP" -h "$1" | awk '$1 ~ /^[0-9]+$/ && $2 !~ /^\.(debug_|gnu_debuglink)/ { print $2, $3, $4 }'
}

inspect_binary() {  # target, dist folder, file
    local t="$1" dir="$2" f="$3" file="$2/$3" headers rc
    printf '%s/%s\n' "$t" "$f"
    headers=$("$OBJDUMP" -p "$file")

    if [ "$t" = i686 ]; then
        grep -q 'file format pei-i386' <<< "$headers" || fail "not a pei-i386 file"
        grep -qP '^Magic\t+010b\t\(PE32\)' <<< "$headers" || fail "not PE32"
    else
        grep -q 'file format pei-x86-64' <<< "$headers" || fail "not a pei-x86-64 file"
        grep -qP '^Magic\t+020b\t\(PE32\+\)' <<< "$headers" || fail "not PE32+"
    fi
    local is_dll=no
    sed -n '/^Characteristics/,/^$/p' <<< "$headers" | grep -qx $'\tDLL' && is_dll=yes
    if [[ "$f" == *.dll ]]; then
        expect_eq "DLL flag" yes "$is_dll"
    else
        expect_eq "DLL flag" no "$is_dll"
        grep -qP '^Subsystem\t+00000002\t\(Windows GUI\)' <<< "$headers" || fail "not a Windows GUI program"
    fi

    local dll
    for dll in $(awk '/DLL Name:/ { print tolower($3) }' <<< "$headers"); do
        [ -n "${SYSTEM_DLLS[$dll]:-}" ] || fail "imports $dll, not a system library"
    done

    expect_eq "exports" "$(sorted_words "${EXPORTS[$f]}")" "$(sorted_words "$(export_rvas "$headers" | cut -d' ' -f1)")"

    rc=$("$WINDRES" -i "$file" -O rc 2>&1)
    local numbers="${VERSION//./, }" type=0x2
    [[ "$f" == *.exe ]] && type=0x1
    expect_eq "FILEVERSION" "$numbers" "$(awk '$1 == "FILEVERSION" { $1 = ""; print substr($0, 2) }' <<< "$rc")"
    expect_eq "PRODUCTVERSION" "$numbers" "$(awk '$1 == "PRODUCTVERSION" { $1 = ""; print substr($0, 2) }' <<< "$rc")"
    expect_eq "FILETYPE" "$type" "$(awk '$1 == "FILETYPE" { print $2 }' <<< "$rc")"
    local key
    for key in FileVersion ProductVersion; do
        grep -qF "VALUE \"$key\", \"$VERSION\"" <<< "$rc" || fail "version text $key is not $VERSION"
    done
    grep -qF "VALUE \"OriginalFilename\", \"$f\"" <<< "$rc" || fail "OriginalFilename is not $f"
    if [[ "$f" == *.exe ]]; then
        grep -qF "name=\"\"Quellar.Zanvi.ZanviSelector\"\" version=\"\"$VERSION\"\"" <<< "$rc" \
            || fail "the manifest does not name the program with version $VERSION"
        grep -qF 'level=""requireAdministrator""' <<< "$rc" || fail "the manifest asks for no administrator rights"
    fi

    local size
    size=$(stat -c %s "$file")
    [ "$size" -lt "$MAX_SIZE" ] || fail "$size bytes, not under 1 MB"
    printf '  %d bytes\n' "$size"

    # Stripping keeps every section that loads, in its place, with the relocations that let
    # Windows load the file at any base.
    local sections debug_sections
    sections=$(loaded_sections "$file")
    expect_eq "sections" "$(loaded_sections "$ROOT/build/$t/bin/$f")" "$sections"
    grep -q '^\.reloc ' <<< "$sections" || fail "no relocations"
    sed -n '/^DllCharacteristics/,/^[A-Z]/p' <<< "$headers" | grep -q DYNAMIC_BASE || fail "not DYNAMIC_BASE"
    sed -n '/^DllCharacteristics/,/^[A-Z]/p' <<< "$headers" | grep -q NX_COMPAT || fail "not NX_COMPAT"

    # Debug information: split off into a file beside the binary that the binary names.
    sections=$("$OBJDUMP" -h "$file")
    ! grep -q ' \.debug_' <<< "$sections" || fail "debug sections left in the binary"
    grep -q ' \.gnu_debuglink ' <<< "$sections" || fail "no debug link"
    "$OBJCOPY" --dump-section .gnu_debuglink="$dir/link" "$file" "$dir/link.pe" 2>/dev/null
    expect_eq "debug link" "$f.debug" "$(tr '\0' '\n' < "$dir/link" 2>/dev/null | head -n 1)"
    rm -f "$dir/link" "$dir/link.pe"
    debug_sections=$("$OBJDUMP" -h "$file.debug")
    grep -q ' \.debug_info ' <<< "$debug_sections" && grep -q ' \.debug_line ' <<< "$debug_sections" \
        || fail "$f.debug holds no line information"

    # A crash address turns into the function and its source line through the debug link, and
    # (32-bit) every export returns with a plain ret: the caller removes the arguments.
    [ "$t" = i686 ] || return 0
    local symbols exports function folder how address where name
    symbols=$("$NM" -n "$file.debug")
    exports=$(export_addresses "$headers")
    read -r function folder how <<< "${PROBE[$f]}"
    case "$how" in
        export:*) address=$(awk -v n="${how#export:}" '$1 == n { print $2 }' <<< "$exports") ;;
        symbol:*) address=$(awk -v n="${how#symbol:}" '$3 == n { print $1 }' <<< "$symbols") ;;
    esac
    if [ -z "$address" ]; then
        fail "no address for $function"
    else
        where=$("$ADDR2LINE" -f -e "$file" "0x$address" | tr '\n' ' ')
        [[ "$where" =~ ^$function\ /[^\ ]*/$folder[^:/]+:[1-9][0-9]*\  ]] \
            || fail "address 0x$address of $function resolves to '$where'"
    fi
    [ -n "$exports" ] || return 0
    for name in $("$OBJDUMP" -d --no-show-raw-insn "$file" | callee_cleaning_exports "$exports" "$symbols"); do
        fail "$name removes its own arguments (not __cdecl)"
    done
}

inspect_dist() {  # target, dist folder
    local t="$1" dir="$2" zip listing f
    zip="$dir/Zanvi-$VERSION$([ "$t" = i686 ] || echo "-$t").zip"
    printf '%s/%s\n' "$t" "$(basename "$zip")"
    [ -f "$zip" ] || { fail "no zip named with the version"; return; }
    listing=$(cmake -E tar tf "$zip" | sort | tr '\n' ' ')
    expect_eq "zip contents" "$(sorted_words "${DELIVERABLES[*]} README.txt SHA256SUMS")" "$listing"
    rm -rf "$dir/unzipped" && mkdir -p "$dir/unzipped"
    (cd "$dir/unzipped" && cmake -E tar xf "$zip")
    for f in "${DELIVERABLES[@]}" README.txt SHA256SUMS; do
        cmp -s "$dir/$f" "$dir/unzipped/$f" || fail "$f in the zip differs from the staged one"
    done
    (cd "$dir/unzipped" && sha256sum --quiet -c SHA256SUMS) || fail "SHA-256 sums do not match"
    expect_eq "files summed" "$(sorted_words "${DELIVERABLES[*]} README.txt")" \
        "$(sorted_words "$(awk '{ print $2 }' "$dir/unzipped/SHA256SUMS")")"
    grep -qF "software $VERSION:" "$dir/README.txt" || fail "README.txt does not name version $VERSION"
    ! grep -q '@ZANVI_' "$dir/README.txt" || fail "README.txt keeps a placeholder"
    ! grep -qv $'\r$' "$dir/README.txt" || fail "README.txt has lines without Windows line endings"
}

for t in i686 x86_64; do
    OBJDUMP="$t-w64-mingw32-objdump" OBJCOPY="$t-w64-mingw32-objcopy" NM="$t-w64-mingw32-nm"
    WINDRES="$t-w64-mingw32-windres" ADDR2LINE="$t-w64-mingw32-addr2line"
    dir="$WORK/$t"
    if ! bash "$ROOT/scripts/dist.sh" "$t" "$dir" >/dev/null; then
        fail "scripts/dist.sh $t failed (is build/$t built?)"
        continue
    fi
    for f in "${DELIVERABLES[@]}"; do inspect_binary "$t" "$dir" "$f"; done
    inspect_dist "$t" "$dir"
done

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"
