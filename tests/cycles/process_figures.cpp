#include "process_figures.h"

#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <cstdio>
#include <vector>

namespace {

// The system's handle table as NtQuerySystemInformation gives it (extended form).
const SYSTEM_INFORMATION_CLASS kSystemExtendedHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(64);
const OBJECT_INFORMATION_CLASS kObjectTypeInformation = static_cast<OBJECT_INFORMATION_CLASS>(2);

struct HandleEntry {
    PVOID object;
    ULONG_PTR processId;
    ULONG_PTR handleValue;
    ULONG grantedAccess;
    USHORT creatorBackTraceIndex;
    USHORT objectTypeIndex;
    ULONG handleAttributes;
    ULONG reserved;
};
struct HandleTable {
    ULONG_PTR count;
    ULONG_PTR reserved;
    HandleEntry entries[1];
};

template <class Alloc, class Free, class Index>
unsigned CountFree(Alloc alloc, Free release, Index outOfIndexes)
{
    std::vector<DWORD> taken;
    for (DWORD index; (index = alloc()) != outOfIndexes && taken.size() < 100000;) taken.push_back(index);
    for (DWORD index : taken) release(index);
    return static_cast<unsigned>(taken.size());
}

std::string TypeName(HANDLE handle)
{
    alignas(8) unsigned char buffer[1024];
    ULONG length = 0;
    if (!NT_SUCCESS(NtQueryObject(handle, kObjectTypeInformation, buffer, sizeof(buffer), &length)))
        return "?";
    const UNICODE_STRING& name = reinterpret_cast<PUBLIC_OBJECT_TYPE_INFORMATION*>(buffer)->TypeName;
    std::string text;
    for (USHORT i = 0; i < name.Length / sizeof(wchar_t); ++i)
        text += name.Buffer[i] < 128 ? static_cast<char>(name.Buffer[i]) : '?';
    return text;
}

std::map<std::string, unsigned> HandlesByType()
{
    std::map<std::string, unsigned> byType;
    std::vector<unsigned char> buffer(1 << 16);
    NTSTATUS status;
    for (;;) {
        ULONG needed = 0;
        status = NtQuerySystemInformation(kSystemExtendedHandleInformation, buffer.data(),
                                          static_cast<ULONG>(buffer.size()), &needed);
        if (status != static_cast<NTSTATUS>(0xC0000004L) || buffer.size() > (64u << 20)) break;  // length mismatch
        buffer.resize(buffer.size() * 2);
    }
    if (!NT_SUCCESS(status)) return byType;
    const HandleTable* table = reinterpret_cast<const HandleTable*>(buffer.data());
    const ULONG_PTR self = GetCurrentProcessId();
    for (ULONG_PTR i = 0; i < table->count; ++i) {
        const HandleEntry& entry = table->entries[i];
        if (entry.processId == self) ++byType[TypeName(reinterpret_cast<HANDLE>(entry.handleValue))];
    }
    return byType;
}

unsigned ThreadCount()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    unsigned threads = 0;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        threads += entry.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
    return threads;
}

// Committed memory that belongs to this process alone (heaps, stacks, private allocations).
unsigned long long PrivateBytes()
{
    unsigned long long total = 0;
    MEMORY_BASIC_INFORMATION region = {};
    for (const char* address = nullptr; VirtualQuery(address, &region, sizeof(region)) == sizeof(region);) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
        const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
        if (next <= address) break;
        address = next;
    }
    return total;
}

unsigned ModuleCount()
{
    DWORD needed = 0;
    HMODULE modules[1024];
    if (!EnumProcessModules(GetCurrentProcess(), modules, sizeof(modules), &needed)) return 0;
    return needed / sizeof(HMODULE);
}

}  // namespace

unsigned ProcessFigures::HandleCount() const
{
    unsigned total = 0;
    for (const auto& type : handles) total += type.second;
    return total;
}

std::string ProcessFigures::Text() const
{
    char line[160];
    std::snprintf(line, sizeof(line), "TLS free %u, FLS free %u, handles %u (", tlsFree, flsFree, HandleCount());
    std::string text = line;
    for (auto type = handles.begin(); type != handles.end(); ++type)
        text += (type == handles.begin() ? "" : ", ") + type->first + " " + std::to_string(type->second);
    std::snprintf(line, sizeof(line), "), threads %u, private %llu KiB, modules %u", threads,
                  privateBytes / 1024, modules);
    return text + line;
}

ProcessFigures ReadProcessFigures()
{
    ProcessFigures figures;
    figures.tlsFree = CountFree([] { return TlsAlloc(); }, [](DWORD i) { TlsFree(i); }, TLS_OUT_OF_INDEXES);
    figures.flsFree = CountFree([] { return FlsAlloc(nullptr); }, [](DWORD i) { FlsFree(i); }, FLS_OUT_OF_INDEXES);
    figures.handles = HandlesByType();
    figures.threads = ThreadCount();
    figures.privateBytes = PrivateBytes();
    figures.modules = ModuleCount();
    return figures;
}
