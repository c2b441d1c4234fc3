#include "app/FormModel.h"

#include "base/Exception.h"

namespace kurdb {

FormModel::FormModel(const WindowDef& def) : def_(def) {
    for (const ControlDef& c : def.Controls()) {
        State s;
        s.text = c.kind == ControlKind::Edit ? c.text : c.caption;
        s.checked = c.checked;
        s.itemIndex = c.itemIndex;
        s.tag = c.tag;
        s.activePage = c.activePage;
        s.visible = c.kind != ControlKind::Action;
        states_.emplace(c.name, std::move(s));
    }
}

FormModel::State& FormModel::At(std::string_view control) {
    const auto it = states_.find(control);
    if (it == states_.end()) throw EProgramFault("no control named " + std::string(control));
    return it->second;
}

const FormModel::State& FormModel::At(std::string_view control) const {
    const auto it = states_.find(control);
    if (it == states_.end()) throw EProgramFault("no control named " + std::string(control));
    return it->second;
}

void FormModel::Subscribe(Listener listener) {
    const std::lock_guard lock(mutex_);
    listeners_.push_back(std::move(listener));
}

void FormModel::Notify(std::string_view control, Property what) {
    const std::string name(control);
    std::vector<Listener> listeners;
    {
        const std::lock_guard lock(mutex_);
        listeners = listeners_;
    }
    for (const Listener& l : listeners) l(name, what);
}

std::string FormModel::Text(std::string_view control) const {
    const std::lock_guard lock(mutex_);
    return At(control).text;
}

void FormModel::SetText(std::string_view control, std::string value) {
    {
        const std::lock_guard lock(mutex_);
        State& s = At(control);
        if (s.text == value) return;
        s.text = std::move(value);
    }
    Notify(control, Property::Text);
}

bool FormModel::Checked(std::string_view control) const {
    const std::lock_guard lock(mutex_);
    return At(control).checked;
}

void FormModel::SetChecked(std::string_view control, bool value) {
    {
        const std::lock_guard lock(mutex_);
        State& s = At(control);
        if (s.checked == value) return;
        s.checked = value;
    }
    Notify(control, Property::Checked);
}

int FormModel::ItemIndex(std::string_view control) const {
    const std::lock_guard lock(mutex_);
    return At(control).itemIndex;
}

void FormModel::SetItemIndex(std::string_view control, int value) {
    {
        const std::lock_guard lock(mutex_);
        State& s = At(control);
        if (s.itemIndex == value) return;
        s.itemIndex = value;
    }
    Notify(control, Property::ItemIndex);
}

bool FormModel::Visible(std::string_view control) const {
    const std::lock_guard lock(mutex_);
    return At(control).visible;
}

void FormModel::SetVisible(std::string_view control, bool value) {
    {
        const std::lock_guard lock(mutex_);
        State& s = At(control);
        if (s.visible == value) return;
        s.visible = value;
    }
    Notify(control, Property::Visible);
}

int FormModel::Tag(std::string_view control) const {
    const std::lock_guard lock(mutex_);
    return At(control).tag;
}

void FormModel::SetTag(std::string_view control, int value) {
    {
        const std::lock_guard lock(mutex_);
        State& s = At(control);
        if (s.tag == value) return;
        s.tag = value;
    }
    Notify(control, Property::Tag);
}

int FormModel::ActivePage(std::string_view pageControl) const {
    const std::lock_guard lock(mutex_);
    return At(pageControl).activePage;
}

void FormModel::SetActivePage(std::string_view pageControl, int value) {
    {
        const std::lock_guard lock(mutex_);
        State& s = At(pageControl);
        if (s.activePage == value) return;
        s.activePage = value;
    }
    Notify(pageControl, Property::ActivePage);
}

std::vector<std::string> FormModel::Lines(std::string_view memo) const {
    const std::lock_guard lock(mutex_);
    return At(memo).lines;
}

void FormModel::AppendLine(std::string_view memo, std::string line) {
    {
        const std::lock_guard lock(mutex_);
        At(memo).lines.push_back(std::move(line));
    }
    Notify(memo, Property::Lines);
}

void FormModel::SetLines(std::string_view memo, std::vector<std::string> lines) {
    {
        const std::lock_guard lock(mutex_);
        State& s = At(memo);
        if (s.lines == lines) return;
        s.lines = std::move(lines);
    }
    Notify(memo, Property::Lines);
}

}  // namespace kurdb
