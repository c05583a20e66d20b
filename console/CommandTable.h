#pragma once
// A dialog's buttons as a table from control id to member handler, and the one lookup that
// runs the handler of a pressed button.

#include <algorithm>
#include <iterator>

template <class Owner>
struct CommandEntry {
    int id;
    void (Owner::*handler)();
};

// Runs the handler for id; false when the table has none (the caller leaves it to defaults).
template <class Owner, std::size_t N>
bool DispatchCommand(Owner& owner, const CommandEntry<Owner> (&table)[N], int id) {
    const auto entry = std::find_if(std::begin(table), std::end(table),
                                    [id](const CommandEntry<Owner>& e) { return e.id == id; });
    if (entry == std::end(table)) {
        return false;
    }
    (owner.*(entry->handler))();
    return true;
}
