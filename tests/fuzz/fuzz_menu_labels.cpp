// The mnemonic label builder, both overloads: exactly one marker before the
// first occurrence of the mnemonic, everything else copied, and the narrow
// overload equal to the wide one on the widened input.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "quarn/helpers.h"
#include "quarn/menu/helpers.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::freopen("/dev/null", "w", stdout);  // "Mnemonic not found!" warnings
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const char mnemonic = static_cast<char>(data[0]);
    const std::string name(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::wstring narrow = Quarn::Menuing::_quarn_get_name(name, mnemonic);
    const std::wstring wide_name = Quarn::_quarn_to_wstring(name);
    const wchar_t wide_mnemonic = Quarn::_quarn_to_wchar(mnemonic);
    if (narrow != Quarn::Menuing::_quarn_get_name(wide_name, wide_mnemonic)) std::abort();

    const auto first = wide_name.find(wide_mnemonic);
    std::wstring expected = wide_name;
    if (first != std::wstring::npos) expected.insert(first, 1, L'&');
    if (narrow != expected) std::abort();
    return 0;
}
