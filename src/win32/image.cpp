/*
 * image.cpp - what the program's own image says of itself: its signature
 * and its resources, read from the headers and the resource directory
 * that the loader mapped.
 */
#include "platform.h"

static const IMAGE_OPTIONAL_HEADER *OptionalHeader(const BYTE *image)
{
    const IMAGE_DOS_HEADER *dos = (const IMAGE_DOS_HEADER *)image;
    return &((const IMAGE_NT_HEADERS *)(image + dos->e_lfanew))->OptionalHeader;
}

/* The loader maps the file's headers as they are, the data directories with
   them: the security directory there is the file's certificate table,
   which signing fills and which is not itself mapped. */
DWORD WINAPI SysSignatureSize(HMODULE hModule)
{
    const IMAGE_OPTIONAL_HEADER *optional = OptionalHeader((const BYTE *)hModule);

    if (optional->NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_SECURITY)
        return 0;
    return optional->DataDirectory[IMAGE_DIRECTORY_ENTRY_SECURITY].Size;
}

/* Down the three levels of the resource directory, type, name and
   language (the one asked for, or the first there is), by the offsets its
   entries hold; each offset is taken only inside the directory's size. */
const BYTE *WINAPI SysResourceData(HMODULE hModule, WORD idType, WORD idName, WORD wLanguage,
                                   DWORD *pcb)
{
    const BYTE *image = (const BYTE *)hModule;
    const IMAGE_OPTIONAL_HEADER *optional = OptionalHeader(image);
    const IMAGE_DATA_DIRECTORY *resources =
        &optional->DataDirectory[IMAGE_DIRECTORY_ENTRY_RESOURCE];
    const WORD ids[3] = { idType, idName, wLanguage };
    const IMAGE_RESOURCE_DATA_ENTRY *data;
    DWORD offset = 0, i, level;

    if (optional->NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_RESOURCE)
        return NULL;
    for (level = 0; level < 3; level++) {
        const IMAGE_RESOURCE_DIRECTORY *dir =
            (const IMAGE_RESOURCE_DIRECTORY *)(image + resources->VirtualAddress + offset);
        const IMAGE_RESOURCE_DIRECTORY_ENTRY *entry =
            (const IMAGE_RESOURCE_DIRECTORY_ENTRY *)(dir + 1) + dir->NumberOfNamedEntries;

        if (offset + sizeof(*dir) > resources->Size)
            return NULL;
        for (i = 0; i < dir->NumberOfIdEntries && ids[level] != RESOURCE_FIRST_LANGUAGE &&
                    entry[i].Id != ids[level];
             i++)
            continue;
        if (i == dir->NumberOfIdEntries)
            return NULL;
        offset = entry[i].OffsetToData & ~IMAGE_RESOURCE_DATA_IS_DIRECTORY;
    }
    if (offset + sizeof(*data) > resources->Size)
        return NULL;
    data = (const IMAGE_RESOURCE_DATA_ENTRY *)(image + resources->VirtualAddress + offset);
    *pcb = data->Size;
    return image + data->OffsetToData;
}
