# Sourced by the Windows steps of scripts/test: whether this machine runs 32-bit x86
# programs, and what can be checked of the 32-bit server without running it.

x86_not_possible="not possible on this machine: the kernel runs no 32-bit programs"

# can_run_x86 DIR: runs a 96-byte static i386 program (ELF header, one program header,
# then "mov eax, 1; mov ebx, 42; int 0x80", the exit system call) written into DIR.
# False only when the kernel refuses it as "Exec format error" (a kernel without 32-bit
# support, and no binfmt handler); when the probe cannot run for another reason (DIR
# mounted noexec, say) the x86 runs are tried as usual.
can_run_x86() {
  local probe=$1/x86-probe out
  mkdir -p "$1"
  printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0\0\0\0\0\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10\140\0\0\0\140\0\0\0\5\0\0\0\0\20\0\0\270\1\0\0\0\273\52\0\0\0\315\200' >"$probe"
  chmod +x "$probe"
  out=$( ("$probe") 2>&1 )
  [ $? -eq 42 ] && return 0
  ! grep -qi 'exec format error' <<<"$out"
}

# set_run_arches STEP: run_arches becomes the architectures whose programs run here
# (x86 x64, or x64 alone), found before anything 32-bit is started; says so when x86 is
# left out.
set_run_arches() {
  run_arches=(x86 x64)
  can_run_x86 build/x86-probe && return 0
  run_arches=(x64)
  echo "== $1: x86 runs $x86_not_possible"
}

# check_x86_dll_statically DLL REFERENCE_DLL DEF_FILE: what can be told of the 32-bit
# server from its file, read with the MinGW objdump: a PE32 i386 image; it imports only
# DLLs that the 64-bit server (REFERENCE_DLL, which ran under Wine) imports too; it exports
# exactly the functions of DEF_FILE; it has no exception directory (.pdata), and its DWARF
# .eh_frame, read up to its terminator, describes the module's functions inside .text with
# no empty and no two overlapping entries (an empty entry at a function's start hides that
# function from the unwinder). Prints one line per check; false when any fails.
check_x86_dll_statically() {
  local dll=$1 reference=$2 def=$3 objdump=i686-w64-mingw32-objdump ok=0
  local -x LC_ALL=C  # objdump's words, untranslated (the Wine steps run in a zh_CN locale)
  x86_check_failed() { echo "   FAILED: $*"; ok=1; }
  "$objdump" -f "$dll" 2>/dev/null | awk '/file format pei-i386/ {found = 1} END {exit !found}' ||
    x86_check_failed "not a PE32 i386 image"

  local imports reference_imports extra
  imports=$("$objdump" -p "$dll" | awk '/DLL Name:/ {print tolower($3)}' | sort -u)
  reference_imports=$(x86_64-w64-mingw32-objdump -p "$reference" | awk '/DLL Name:/ {print tolower($3)}' | sort -u)
  extra=$(comm -23 <(echo "$imports") <(echo "$reference_imports"))
  if [ -z "$imports" ] || [ -n "$extra" ]; then
    x86_check_failed "imports $(echo $imports), of which not imported by the x64 server: $(echo $extra)"
  else
    echo "   imports $(echo $imports): all imported by the x64 server too"
  fi

  local exports expected
  exports=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | sort)
  expected=$(awk '$2 ~ /^@/ {print $1}' "$def" | sort)
  if [ "$exports" = "$expected" ]; then
    echo "   exports $(echo $exports)"
  else
    x86_check_failed "exports $(echo $exports), expected $(echo $expected)"
  fi

  if "$objdump" -h "$dll" | awk '$2 == ".pdata" {found = 1} END {exit !found}'; then
    x86_check_failed "an exception directory (.pdata) in a 32-bit module"
  else
    echo "   no exception directory (.pdata), as a 32-bit module must have none"
  fi
  # objdump reads DWARF frames only from a section named .eh_frame, and a stripped PE
  # image has the name cut to eight characters: the section is read out and wrapped, at
  # its own address, in an ELF object. FDE lines before the terminator read
  # "... FDE cie=... pc=BEGIN..END"; addresses are eight hex digits, so as strings they
  # sort and compare as numbers.
  local eh text work frames count empty overlap outside
  eh=$("$objdump" -h "$dll" | awk '$2 ~ /^\.eh_fram/ {print $2, $4}')
  text=$("$objdump" -h "$dll" | awk '$2 == ".text" {print $4, $3}')
  work=$(mktemp -d)
  if [ -n "$eh" ] && [ -n "$text" ] &&
     i686-w64-mingw32-objcopy -O binary --only-section="${eh% *}" "$dll" "$work/eh.bin" &&
     i686-w64-mingw32-objcopy -I binary -O elf32-i386 -B i386 --change-section-address .data="0x${eh#* }" \
       --rename-section .data=.eh_frame,alloc,load,readonly,data,contents "$work/eh.bin" "$work/eh.o"; then
    frames=$("$objdump" --dwarf=frames "$work/eh.o" 2>&1)
  fi
  rm -rf "$work"
  if [ -z "$eh" ] || ! grep -q 'ZERO terminator' <<<"${frames:-}"; then
    x86_check_failed ".eh_frame missing or not ending in a terminator"
  else
    IFS='|' read -r count empty overlap outside < <(
      awk '/ZERO terminator/ {exit} / FDE / {
             for (i = 1; i <= NF; i++) if ($i ~ /^pc=/) { split(substr($i, 4), r, /[.][.]/); print r[1], r[2] }
           }' <<<"$frames" | sort |
        awk -v lo="${text% *}" -v hi="$(printf '%08x' $((0x${text% *} + 0x${text#* })))" \
            '{ b = $1 ""; e = $2 ""; n++
               if (e <= b) empty = empty " " b
               if (n > 1 && b < last) overlap = overlap " " b
               if (b < lo || e > hi) outside = outside " " b
               if (e > last) last = e }
             END { printf "%d|%s|%s|%s\n", n, empty, overlap, outside }')
    if [ "$count" -le 100 ]; then x86_check_failed ".eh_frame describes only $count functions"
    elif [ -n "$empty" ]; then x86_check_failed "empty .eh_frame entries at$empty"
    elif [ -n "$overlap" ]; then x86_check_failed "overlapping .eh_frame entries at$overlap"
    elif [ -n "$outside" ]; then x86_check_failed ".eh_frame entries outside .text at$outside"
    else echo "   .eh_frame: $count entries up to the terminator, all inside .text, none empty, none overlapping"
    fi
  fi
  return $ok
}
