# pe.sh - reads the header of a Windows program file.  Sourced by
# tools/make-medium, tools/try-medium and tests/wine/test-media.
#
#   pe_number FILE OFFSET COUNT  the little-endian number of COUNT bytes at
#                                OFFSET, in decimal; empty past the end
#   pe_header FILE               the offset of the PE header ("PE\0\0"), or
#                                nothing (and non-zero) when FILE has none
#   pe_machine FILE              the machine of the image, in decimal
#                                (332 i386, 34404 x86-64), or nothing

pe_number() { od -An -tu"$3" --endian=little -j "$2" -N "$3" -v "$1" 2>/dev/null | tr -d ' \n'; }

pe_header() {
    [ "$(head -c 2 "$1")" = "MZ" ] || return 1
    _pe=$(pe_number "$1" 60 4)
    [ -n "$_pe" ] && [ "$(od -An -tx1 -j "$_pe" -N 4 "$1" 2>/dev/null | tr -d ' \n')" = 50450000 ] ||
        return 1
    printf '%s\n' "$_pe"
}

pe_machine() {
    _pe=$(pe_header "$1") && pe_number "$1" $((_pe + 4)) 2
}
