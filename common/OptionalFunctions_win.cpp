#include "common/OptionalFunctions_win.h"

#include <type_traits>

namespace {

using AnyFunction = void (*)();

// How one slot of the set is filled and read, whatever its signature.
template <auto Slot>
struct SlotAccess {
    using Pointer = std::remove_reference_t<decltype(std::declval<OptionalFunctionSet&>().*Slot)>;
    static void store(OptionalFunctionSet& set, AnyFunction address) {
        set.*Slot = reinterpret_cast<Pointer>(address);
    }
    static bool present(const OptionalFunctionSet& set) { return set.*Slot != nullptr; }
};

struct OptionalFunctionRow {
    const char* szModule;
    const char* szName;
    void (*store)(OptionalFunctionSet&, AnyFunction);
    bool (*present)(const OptionalFunctionSet&);
};

template <auto Slot>
constexpr OptionalFunctionRow Row(const char* szModule, const char* szName) {
    return {szModule, szName, &SlotAccess<Slot>::store, &SlotAccess<Slot>::present};
}

// kernel32 and ntdll are in every process from its start, user32 in every one with a window,
// the only kind that asks for a window's DPI: no library is loaded or freed here.
constexpr OptionalFunctionRow kRows[] = {
    Row<&OptionalFunctionSet::registerServiceProcess>("kernel32.dll", "RegisterServiceProcess"),
    Row<&OptionalFunctionSet::getSystemTimePreciseAsFileTime>("kernel32.dll",
                                                              "GetSystemTimePreciseAsFileTime"),
    Row<&OptionalFunctionSet::setSystemTimeAdjustmentPrecise>("kernel32.dll",
                                                              "SetSystemTimeAdjustmentPrecise"),
    Row<&OptionalFunctionSet::getSystemTimeAdjustmentPrecise>("kernel32.dll",
                                                              "GetSystemTimeAdjustmentPrecise"),
    Row<&OptionalFunctionSet::getDpiForWindow>("user32.dll", "GetDpiForWindow"),
    Row<&OptionalFunctionSet::ntQuerySystemInformation>("ntdll.dll", "NtQuerySystemInformation"),
    Row<&OptionalFunctionSet::wineGetVersion>("ntdll.dll", "wine_get_version"),
};

OptionalFunctionSet LookUpAll() {
    OptionalFunctionSet set;
    for (const OptionalFunctionRow& row : kRows) {
        const HMODULE module = ::GetModuleHandleA(row.szModule);
        const FARPROC address = module != nullptr ? ::GetProcAddress(module, row.szName) : nullptr;
        // Through void(*)(), which converts to any function pointer without a warning.
        row.store(set, reinterpret_cast<AnyFunction>(address));
    }
    return set;
}

}  // namespace

const OptionalFunctionSet& OptionalFunctions() {
    static const OptionalFunctionSet set = LookUpAll();
    return set;
}

std::vector<OptionalFunctionPresence> OptionalFunctionsPresent() {
    std::vector<OptionalFunctionPresence> rows;
    for (const OptionalFunctionRow& row : kRows) {
        rows.push_back({row.szModule, row.szName, row.present(OptionalFunctions())});
    }
    return rows;
}
