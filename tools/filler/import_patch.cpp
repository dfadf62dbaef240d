#include "import_patch.h"

#include <cstring>

namespace {
template <typename T>
T* AtRva(HMODULE module, DWORD rva)
{
    return reinterpret_cast<T*>(reinterpret_cast<BYTE*>(module) + rva);
}

const IMAGE_IMPORT_DESCRIPTOR* FirstImportDescriptor(HMODULE module)
{
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) return nullptr;
    auto* nt = AtRva<const IMAGE_NT_HEADERS>(module, static_cast<DWORD>(dos->e_lfanew));
    if (nt->Signature != IMAGE_NT_SIGNATURE) return nullptr;
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0 || directory.Size == 0) return nullptr;
    return AtRva<const IMAGE_IMPORT_DESCRIPTOR>(module, directory.VirtualAddress);
}

bool WriteSlot(ULONG_PTR* slot, void* value)
{
    DWORD previous = 0;
    if (!VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &previous)) return false;
    *slot = reinterpret_cast<ULONG_PTR>(value);
    VirtualProtect(slot, sizeof(*slot), previous, &previous);
    return true;
}

// The name of the function a slot imports, or null when it is imported by ordinal
// or the module keeps no lookup table.
const char* ImportedName(HMODULE module, const IMAGE_IMPORT_DESCRIPTOR& descriptor, size_t index)
{
    if (descriptor.OriginalFirstThunk == 0) return nullptr;
    auto* lookup = AtRva<const IMAGE_THUNK_DATA>(module, descriptor.OriginalFirstThunk) + index;
    if (IMAGE_SNAP_BY_ORDINAL(lookup->u1.Ordinal)) return nullptr;
    return AtRva<const IMAGE_IMPORT_BY_NAME>(module, static_cast<DWORD>(lookup->u1.AddressOfData))->Name;
}

// Whether the slot is the import the redirect names. Without a name to compare,
// the slot is compared with the address the DLL exports under that name.
bool SlotMatches(HMODULE module, const IMAGE_IMPORT_DESCRIPTOR& descriptor, size_t index, ULONG_PTR current,
                 const ImportRedirect& redirect)
{
    if (const char* name = ImportedName(module, descriptor, index)) return std::strcmp(name, redirect.function) == 0;
    HMODULE dll = GetModuleHandleA(redirect.dll);
    FARPROC exported = dll ? GetProcAddress(dll, redirect.function) : nullptr;
    return exported && reinterpret_cast<ULONG_PTR>(exported) == current;
}

int RedirectInDescriptor(HMODULE module, const IMAGE_IMPORT_DESCRIPTOR& descriptor, const ImportRedirect* table,
                         size_t count)
{
    const char* dllName = AtRva<const char>(module, descriptor.Name);
    int changed = 0;
    auto* slots = AtRva<IMAGE_THUNK_DATA>(module, descriptor.FirstThunk);
    for (size_t index = 0; slots[index].u1.Function != 0; ++index) {
        ULONG_PTR* slot = reinterpret_cast<ULONG_PTR*>(&slots[index].u1.Function);
        for (size_t r = 0; r < count; ++r) {
            if (lstrcmpiA(dllName, table[r].dll) != 0) continue;
            if (!SlotMatches(module, descriptor, index, *slot, table[r])) continue;
            if (WriteSlot(slot, table[r].replacement)) ++changed;
            break;
        }
    }
    return changed;
}
}  // namespace

int RedirectImports(HMODULE module, const ImportRedirect* table, size_t count)
{
    if (!module || !table) return 0;
    const IMAGE_IMPORT_DESCRIPTOR* descriptor = FirstImportDescriptor(module);
    if (!descriptor) return 0;
    int changed = 0;
    for (; descriptor->Name != 0; ++descriptor) changed += RedirectInDescriptor(module, *descriptor, table, count);
    return changed;
}
