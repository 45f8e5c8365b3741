/*
 * setup-i686.ld - the section layout of the 32-bit Setup.exe.
 *
 * The layout of programs built with Microsoft's tools: code in .text; the
 * constants and the import tables together in a read-only .rdata (Windows
 * 95 and NT fill the import address table before they protect it); the
 * process-wide buffers in .bss, which takes no room in the file; then the
 * resources and the base relocations, each in the section where the
 * loaders and the shell look for them, the resources last.  Each section fills whole 512-byte
 * blocks of the file, so fewer, fuller sections make a smaller file; this
 * program has no initialised writable data, no C++ constructors and no
 * thread-local storage, so it needs none of their sections.
 */
OUTPUT_FORMAT(pei-i386)
SECTIONS
{
  . = SIZEOF_HEADERS;
  . = ALIGN(__section_alignment__);
  .text __image_base__ + __section_alignment__ :
  {
    *(.text)
    *(SORT(.text$*))
    *(.text.*)
  }
  .rdata BLOCK(__section_alignment__) :
  {
    *(.rdata)
    *(SORT(.rdata$*))
    /* The import tables.  The linker takes the import directory and the
       import address table of the file header from these symbols: the
       descriptors run from .idata$2 to .idata$4, the address table from
       .idata$5 to .idata$6. */
    ".idata$2" = ABSOLUTE(. - __image_base__);
    KEEP (SORT(*)(.idata$2))
    KEEP (SORT(*)(.idata$3))
    LONG (0); LONG (0); LONG (0); LONG (0); LONG (0);
    ".idata$4" = ABSOLUTE(. - __image_base__);
    KEEP (SORT(*)(.idata$4))
    ".idata$5" = ABSOLUTE(. - __image_base__);
    KEEP (SORT(*)(.idata$5))
    ".idata$6" = ABSOLUTE(. - __image_base__);
    KEEP (SORT(*)(.idata$6))
    KEEP (SORT(*)(.idata$7))
  }
  .bss BLOCK(__section_alignment__) :
  {
    *(.data)
    *(SORT(.data$*))
    *(.bss)
    *(COMMON)
  }
  .reloc BLOCK(__section_alignment__) :
  {
    *(.reloc)
  }
  /* The resources last: make-medium lays them out anew for a publisher's
     product (its icon and version information), and only the last section
     can grow without moving another. */
  .rsrc BLOCK(__section_alignment__) :
  {
    KEEP (*(.rsrc))
    KEEP (*(.rsrc$*))
  }
  /DISCARD/ :
  {
    *(.debug$S)
    *(.debug$T)
    *(.debug$F)
    *(.drectve)
    *(.note.GNU-stack)
    *(.gnu.lto_*)
    *(.eh_frame*)
    *(.comment)
  }
}
