#pragma once
// The dialog ports in memory: control texts and checks, up-down ranges, focus, message
// boxes, the end of the dialog, the list's rows and highlight, and the answer of the Add
// New Server dialog, all recorded for tests to read back.

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "console/DialogView.h"

class CFakeDialogView final : public DialogView, public ServerListView {
public:
    struct Box {
        std::string text;
        std::string caption;
        MessageIcon icon;
    };
    struct UpDown {
        int lower;
        int upper;
        int position;
    };
    struct Row {
        std::string name;
        std::string status;
    };

    std::map<int, std::string> texts;
    std::map<int, bool> checks;
    std::map<int, UpDown> upDowns;
    std::map<int, bool> enabled;  // controls greyed out (false) or back in (true)
    std::map<int, bool> shown;
    std::vector<int> focused;  // every control given the focus, in order
    std::vector<Box> boxes;
    std::optional<bool> ended;  // true OK, false Cancel

    bool wholeRows = false;
    std::vector<std::pair<std::string, int>> columns;
    std::vector<Row> rows;
    std::optional<int> highlighted;
    std::optional<CTimeServer> addAnswer;  // what the Add New Server dialog answers
    int addRuns = 0;

    std::string itemText(int id) const override {
        const auto it = texts.find(id);
        return it == texts.end() ? std::string() : it->second;
    }
    void setItemText(int id, const std::string& text) override { texts[id] = text; }
    bool isChecked(int id) const override {
        const auto it = checks.find(id);
        return it != checks.end() && it->second;
    }
    void setChecked(int id, bool checked) override { checks[id] = checked; }
    void enableItem(int id, bool enable) override { enabled[id] = enable; }
    void showItem(int id, bool show) override { shown[id] = show; }
    bool isEnabled(int id) const {
        const auto it = enabled.find(id);
        return it == enabled.end() || it->second;
    }
    void focusAndSelect(int id) override { focused.push_back(id); }
    void setUpDown(int id, int lower, int upper, int position) override {
        upDowns[id] = {lower, upper, position};
    }
    void showMessageBox(const std::string& text, const std::string& caption, MessageIcon icon) override {
        boxes.push_back({text, caption, icon});
    }
    void endDialog(bool ok) override { ended = ok; }

    void selectWholeRows() override { wholeRows = true; }
    void addColumn(const std::string& heading, int widthPixels) override {
        columns.emplace_back(heading, widthPixels);
    }
    void deleteAllRows() override {
        rows.clear();
        highlighted.reset();
    }
    void insertRow(int index, const std::string& name, const std::string& status) override {
        rows.insert(rows.begin() + index, {name, status});
    }
    void highlightRow(int index) override { highlighted = index; }
    std::optional<CTimeServer> runAddServerDialog() override {
        ++addRuns;
        return addAnswer;
    }

    // A radio group as the user leaves it: only button checked (none for 0).
    void choose(const std::vector<int>& group, int button) {
        for (int id : group)
            checks[id] = id == button;
    }
};
