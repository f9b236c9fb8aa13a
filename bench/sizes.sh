#!/usr/bin/env bash
# Sizes of the Windows programs and what they are made of.
#
#   bench/sizes.sh [BUILD_DIR] [--top N] [--why PATTERN] [--no-modules]
#
# BUILD_DIR is a configured and built Windows tree (build/win32 by default).
# The script relinks the installer stub (app/SetupStub.exe), Uninst.exe and
# stpack.exe with the very command the build uses, plus a link map, into a
# scratch folder, and prints for each program its file size, its sections,
# and the largest contributors by object file or archive member and by
# library. Sizes are in bytes (KB = 1000 bytes); section sizes are the virtual sizes the map
# gives (the file rounds each section up to 512 bytes). The build's own
# files are not touched. --why PATTERN also prints, for each archive member
# whose name contains PATTERN (e.g. "vfscanf"), the chain of references that
# brought it into the link. The program's own code is link-time optimised
# into one object; a second relink without -s names its functions, and each
# symbol of that object (its size: the distance to the next symbol) is put
# down to the project library or object file that defines it, so the
# installer's code shows by module (crypt, wizard, package, ...); inlined
# code counts for the function it was inlined into, and a template or
# inline function several libraries define shows as such. --no-modules
# leaves that out. It needs only the build's tools (ninja, the cross
# binutils) and awk.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/win32
top=25
why=""
modules=1
while (($#)); do
  case $1 in
    --top) top=$2; shift 2 ;;
    --why) why=$2; shift 2 ;;
    --no-modules) modules=0; shift ;;
    -h|--help) sed -n '2,23p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) build=$1; shift ;;
  esac
done
[ -f "$build/build.ninja" ] || { echo "sizes.sh: $build: no Ninja build tree here; build the win32 tree first (bash test.sh or cmake/trees.sh)" >&2; exit 2; }
objdump=i686-w64-mingw32-objdump
command -v "$objdump" >/dev/null || { echo "sizes.sh: $objdump not found; run setup.sh" >&2; exit 2; }

scratch=$(mktemp -d /tmp/corvenna-sizes.XXXXXX)
trap 'rm -rf "$scratch"' EXIT

# Relinks target (a path inside the build tree) to $scratch/<name> with a
# map; with a third argument "symbols", without stripping the symbols. The
# build's steps after the link (cmake/set_load_config.py on the build's own
# file) are left out.
relink() {
  local target=$1 name=$2 command
  command=$(ninja -C "$build" -t commands "$target" | tail -n1)
  command=${command#': && '}
  command=${command%' && :'}
  command=${command%% && cd *}
  [ "${3:-}" = symbols ] && command=${command/ -s / }
  case $command in *" -o $target "*) ;; *) echo "sizes.sh: cannot find the link of $target" >&2; return 1 ;; esac
  command=${command/ -o $target / -o $scratch/$name -Wl,-Map,$scratch/$name.map }
  command=${command/--out-implib,*.dll.a/--out-implib,$scratch/$name.dll.a}
  (cd "$build" && eval "$command")
}

# Per-object and per-section sums from a GNU ld map of a PE image.
summarize() {
  local map=$1
  awk -v top="$top" '
    function hex(text,   i, n, c) {  # mawk has no strtonum
      n = 0; text = tolower(text); sub(/^0x/, "", text)
      for (i = 1; i <= length(text); i++) n = n * 16 + index("0123456789abcdef", substr(text, i, 1)) - 1
      return n
    }
    function short(file) {
      if (file == "dll") return "(base relocations made by the linker)"
      sub(/.*\//, "", file)              # the folder of an archive or object
      return file
    }
    function library(file) {
      if (file ~ /\.a\(/) { sub(/\(.*/, "", file); sub(/.*\//, "", file); return file }
      return "(objects)"
    }
    function add(section, size, file,   key) {
      if (section ~ /^\.(debug|zdebug|stab)/) return
      key = short(file)
      total[key] += size; lib[library(file)] += size
      bysec[key, section] += size
      libsec[library(file), section] += size
      if (!(section in seen)) { seen[section] = 1; order[++sections] = section }
    }
    /^Linker script and memory map/ { inmap = 1; next }
    !inmap { next }
    # An output section: ".text  0xADDR  0xSIZE" (a long name wraps).
    /^\.[^ \t]+/ {
      out = $1
      if (NF >= 3) outsize[out] = hex($3)
      else { getline; outsize[out] = hex($2) }
      if (!(out in known)) { known[out] = 1; outs[++nouts] = out }
      pending = ""; next
    }
    /^ \*fill\*/ { fill[out] += hex($3); next }
    /^ \*/ { next }                      # an input pattern
    # An input section: " .text$name 0xADDR 0xSIZE file", or its name on one
    # line and "0xADDR 0xSIZE file" on the next.
    /^ [^ ]/ {
      if (NF >= 4 && $3 ~ /^0x/) { add(out, hex($3), $4); pending = "" }
      else if (NF == 1) pending = $1
      next
    }
    pending != "" && NF >= 3 && $1 ~ /^0x/ && $2 ~ /^0x/ { add(out, hex($2), $3); pending = ""; next }
    END {
      printf "  sections (map sizes):"
      for (i = 1; i <= nouts; i++) {
        s = outs[i]
        if (s ~ /^\.(debug|zdebug|stab)/ || outsize[s] == 0) continue
        printf "  %s %d", s, outsize[s]
      }
      printf "\n"
      # Columns: the big sections by name, the rest together.
      ncols = split(".text .rdata .eh_frame .data .bss", cols, " ")
      header = sprintf("  %8s", "total")
      for (c = 1; c <= ncols; c++) header = header sprintf(" %8s", cols[c])
      header = header sprintf(" %8s  %s", "other", "")
      printf "\n  largest contributors by object or archive member (total excludes .bss):\n%s\n", header
      n = 0
      for (k in total) { file_total[k] = total[k] - bysec[k, ".bss"]; keys[++n] = k }
      # Selection sort of the top entries; n is a few hundred.
      for (i = 1; i <= n && i <= top; i++) {
        best = i
        for (j = i + 1; j <= n; j++) if (file_total[keys[j]] > file_total[keys[best]]) best = j
        t = keys[i]; keys[i] = keys[best]; keys[best] = t
        k = keys[i]; other = total[k]
        line = sprintf("  %8d", file_total[k])
        for (c = 1; c <= ncols; c++) { line = line sprintf(" %8d", bysec[k, cols[c]]); other -= bysec[k, cols[c]] }
        printf "%s %8d  %s\n", line, other, k
      }
      printf "\n  by library:\n%s\n", header
      m = 0
      for (l in lib) { lib_total[l] = lib[l] - libsec[l, ".bss"]; libs[++m] = l }
      for (i = 1; i <= m; i++) {
        best = i
        for (j = i + 1; j <= m; j++) if (lib_total[libs[j]] > lib_total[libs[best]]) best = j
        t = libs[i]; libs[i] = libs[best]; libs[best] = t
        l = libs[i]; other = lib[l]
        line = sprintf("  %8d", lib_total[l])
        for (c = 1; c <= ncols; c++) { line = line sprintf(" %8d", libsec[l, cols[c]]); other -= libsec[l, cols[c]] }
        printf "%s %8d  %s\n", line, other, l
      }
    }' "$map"
}

# The chain "member <- the file whose reference pulled it in (symbol)" up to
# one of the program's own object files, for every member matching $why.
explain() {
  local map=$1
  awk -v pattern="$why" '
    function short(file) { sub(/.*\//, "", file); return file }
    /^Archive member included/ { inlist = 1; next }
    inlist && /^$/ && count > 0 { exit }
    inlist && /^[^ ]/ { member = $0; next }
    inlist && /^ +[^ ]/ && member != "" {
      line = $0; sub(/^ +/, "", line)
      by = line; sub(/ \(.*$/, "", by)
      symbol = line; sub(/^[^ ]* \(/, "", symbol); sub(/\)$/, "", symbol)
      pulledBy[member] = by; because[member] = symbol; names[++count] = member; member = ""
    }
    END {
      for (i = 1; i <= count; i++) {
        m = names[i]
        if (index(m, pattern) == 0) continue
        printf "  %s\n", short(m)
        for (depth = 0; (m in pulledBy) && depth < 20; depth++) {
          printf "    <- %s (%s)\n", short(pulledBy[m]), because[m]
          m = pulledBy[m]
        }
      }
    }' "$map" | sed 's/std::__cxx11::basic_string<char16_t, std::char_traits<char16_t>, std::allocator<char16_t> >/std::u16string/g'
}

# The link-time optimised object's share by the project library or object
# file that defines each symbol. $1 target, $2 scratch name.
modules_of() {
  local target=$1 name=$2 unstripped=$scratch/$2.symbols
  relink "$target" "$name.symbols" symbols
  local nm=i686-w64-mingw32-nm file
  : >"$scratch/$name.functions"
  # The project's archives and objects on the link command line.
  for file in $(ninja -C "$build" -t commands "$target" | tail -n1); do
    case $file in *.a|*.obj) ;; *) continue ;; esac
    [ -f "$build/$file" ] && file=$build/$file
    [ -f "$file" ] || continue
    case $file in /usr/*) continue ;; esac
    "$nm" --defined-only "$file" 2>/dev/null | awk -v lib="$(basename "$file")" 'NF == 3 { print "D", $3, lib }'
  done >"$scratch/$name.definers"
  {
    cat "$scratch/$name.definers"
    # Sections of the image: "S name vma size".
    "$objdump" -h "$unstripped" | awk '$1 ~ /^[0-9]+$/ { print "S", $2, $4, $3 }'
    # Input sections from the map: "R vma size file".
    awk '/^Linker script and memory map/ { inmap = 1; next }
      !inmap { next }
      /^ [^ *]/ && NF >= 4 && $2 ~ /^0x/ && $3 ~ /^0x/ { print "R", $2, $3, $4; next }
      /^ [^ *]/ && NF == 1 { pending = 1; next }
      pending && NF >= 3 && $1 ~ /^0x/ && $2 ~ /^0x/ { print "R", $1, $2, $3 }
      { pending = 0 }' "$unstripped.map"
    # Symbols by address: "Y vma name".
    "$nm" -n "$unstripped" | awk 'NF == 3 && $1 ~ /^[0-9a-f]+$/ { print "Y", $1, $3 }'
  } | awk -v top="$top" -v functions="$scratch/$name.functions" '
    function hex(text,   i, n) {
      n = 0; text = tolower(text); sub(/^0x/, "", text)
      for (i = 1; i <= length(text); i++) n = n * 16 + index("0123456789abcdef", substr(text, i, 1)) - 1
      return n
    }
    function base(name) { sub(/\..*/, "", name); return name }  # .constprop.0, .lto_priv.0, .part.0 ...
    $1 == "D" { n = base($2); if (!(n in owner)) owner[n] = $3; else if (owner[n] != $3) owner[n] = "(defined in several libraries: templates, inline functions)"; next }
    $1 == "S" { if ($2 ~ /^\.(text|rdata|data)$/) { secname[++nsec] = $2; secstart[nsec] = hex($3); secend[nsec] = hex($3) + hex($4) } next }
    $1 == "R" { if ($4 ~ /ltrans/ && hex($3) > 0) { rs[++nr] = hex($2); re[nr] = hex($2) + hex($3) } next }
    $1 == "Y" { addr[++ny] = hex($2); name[ny] = $3; next }
    END {
      for (i = 1; i <= ny; i++) {
        s = 0
        for (k = 1; k <= nsec; k++) if (addr[i] >= secstart[k] && addr[i] < secend[k]) s = k
        if (!s) continue
        end = secend[s]
        for (j = i + 1; j <= ny; j++) if (addr[j] > addr[i]) { if (addr[j] < end) end = addr[j]; break }
        inlto = 0
        for (k = 1; k <= nr; k++) if (addr[i] >= rs[k] && addr[i] < re[k]) { inlto = 1; break }
        if (!inlto) continue
        size = end - addr[i]
        if (name[i] ~ /^\./) m = "(unnamed: literals, tables, exception tables)"
        else {
          n = base(name[i])
          m = (n in owner) ? owner[n] : "(functions the libraries inline in their own code: most in anonymous namespaces)"
          if (secname[s] == ".text") printf "%d %s\n", size, name[i] >functions
        }
        if (!(m in total)) keys[++nk] = m
        total[m] += size; part[m, secname[s]] += size
      }
      printf "\n  the link-time optimised object by defining library or object:\n  %8s %8s %8s %8s\n", "total", ".text", ".rdata", ".data"
      for (i = 1; i <= nk && i <= top; i++) {
        best = i
        for (j = i + 1; j <= nk; j++) if (total[keys[j]] > total[keys[best]]) best = j
        t = keys[i]; keys[i] = keys[best]; keys[best] = t; m = keys[i]
        printf "  %8d %8d %8d %8d  %s\n", total[m], part[m, ".text"], part[m, ".rdata"], part[m, ".data"], m
      }
    }'
  printf '\n  its largest functions (code, with what was inlined into them):\n'
  sort -rn "$scratch/$name.functions" | awk -v top="$top" 'NR <= top' |
    while read -r size symbol; do printf '  %8d  %s\n' "$size" "$(i686-w64-mingw32-c++filt -_ "$symbol" | cut -c1-110)"; done
}

report() {  # target in the build tree, scratch name
  local target=$1 name=$2
  relink "$target" "$name"
  local built relinked
  built=$(stat -c %s "$build/$target")
  relinked=$(stat -c %s "$scratch/$name")
  printf '\n== %s: %d bytes (%d KB)' "$target" "$built" $(((built + 500) / 1000))
  [ "$built" = "$relinked" ] || printf ' (relinked with a map: %d bytes; rebuild the tree?)' "$relinked"
  printf '\n'
  summarize "$scratch/$name.map"
  if [ "$modules" = 1 ]; then modules_of "$target" "$name"; fi
  if [ -n "$why" ]; then printf '\n  why "%s" is linked in:\n' "$why"; explain "$scratch/$name.map"; fi
}

report app/SetupStub.exe SetupStub.exe
report uninstall/Uninst.exe Uninst.exe
[ "${SIZES_STPACK:-0}" = 1 ] && report tools/stpack.exe stpack.exe

size_of() { [ -f "$build/$1" ] && stat -c %s "$build/$1" || echo "(not built)"; }
printf '\nsummary: SetupStub.exe %s, Uninst.exe %s, stpack.exe %s bytes\n' \
  "$(size_of app/SetupStub.exe)" "$(size_of uninstall/Uninst.exe)" "$(size_of tools/stpack.exe)"
