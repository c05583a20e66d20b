#include "settings/DefaultServers.h"

#include "settings/TimeServerList.h"

#include <string>

void AppendDefaultServers(CTimeServerList& list) {
    for (const DefaultServerRow& row : kDefaultServers)
        list.Add(CTimeServer(std::string(row.title), std::string(row.address), 0));
}
