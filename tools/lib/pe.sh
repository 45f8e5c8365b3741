# pe.sh - reads the header of a Windows program file.  Sourced by
# tools/make-medium, tools/try-medium and tests/wine/test-media.
#
#   pe_number FILE OFFSET COUNT  the little-endian number of COUNT bytes at
#                                OFFSET, in decimal; empty past the end
#   pe_header FILE               the offset of the PE header ("PE\0\0"), or
#                                nothing (and non-zero) when FILE has none
#   pe_machine FILE              the machine of the image, in decimal
#                                (332 i386, 34404 x86-64), or nothing
#   pe_end FILE                  how long the file must be to hold the
#                                image: the end of its headers and of every
#                                section's data, in decimal; nothing (and 2)
#                                when the file ends inside its headers

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

pe_end() {
    _pe=$(pe_header "$1") || return 1
    _size=$(stat -c %s "$1") _cut=0
    # A number the file is too short to hold: the headers are cut.
    _at() { _v=$(pe_number "$1" "$2" "$3"); [ -n "$_v" ] || { _v=0 _cut=1; }; }
    _at "$1" $((_pe + 6)) 2; _count=$_v
    _at "$1" $((_pe + 20)) 2; _table=$((_pe + 24 + _v))
    _at "$1" $((_pe + 24 + 60)) 4; _end=$_v # SizeOfHeaders, in PE32 and PE32+ alike
    _i=0
    while [ "$_i" -lt "$_count" ] && [ "$_cut" -eq 0 ]; do
        _at "$1" $((_table + 40 * _i + 16)) 4; _raw=$_v
        _at "$1" $((_table + 40 * _i + 20)) 4
        [ $((_v + _raw)) -le "$_end" ] || _end=$((_v + _raw))
        _i=$((_i + 1))
    done
    [ "$_cut" -eq 0 ] || return 2
    printf '%s\n' "$_end"
}
