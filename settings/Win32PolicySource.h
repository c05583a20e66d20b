#pragma once
// Win32 adapter of the PolicySource port: the values under HKEY_LOCAL_MACHINE\Software\Policies\Horalux
// (kPolicyKey), where Group Policy puts what the administrative template sets. The key is
// opened for each read, so a change made by a policy refresh is seen at the next read.

#include "settings/PolicySource.h"

class CWin32PolicySource final : public PolicySource {
public:
    PolicyValue read(const std::string& valueName) const override;
};
