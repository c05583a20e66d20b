#include "tools/kit/DaclText_win.h"

#include <aclapi.h>
#include <sddl.h>

#include "common/WinHandle_win.h"

std::optional<std::string> DaclText(HANDLE object) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(object, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                          nullptr, &descriptor) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    const UniqueLocalMemory ownedDescriptor(descriptor);
    char* text = nullptr;
    if (!::ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1,
                                                                DACL_SECURITY_INFORMATION, &text, nullptr)) {
        return std::nullopt;
    }
    const UniqueLocalMemory ownedText(text);
    return std::string(text);
}
