#pragma once
// Reads this process's token: whether SeSystemtimePrivilege is enabled now. Windows only.

bool SystemTimePrivilegeEnabled();
