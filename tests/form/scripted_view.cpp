#include "scripted_view.h"

namespace vandrel::form::test {

ScriptedView::ScriptedView(Trace& trace) : trace_(trace) {
    for (const ControlSpec& spec : ControlTable()) {
        captions_[spec.Id] = std::string(spec.Caption);
        texts_[spec.Id] = spec.Kind == ControlKind::Label ? std::string(spec.Caption) : "";
        checked_[spec.Id] = spec.Has(kTicked);
        enabled_[spec.Id] = !spec.Has(kDisabled);
        selected_[spec.Id] = -1;
    }
}

void ScriptedView::SetCaption(Control control, const std::string& caption) {
    trace_.push_back("caption " + std::string(NameOf(control)) + "=" + caption);
    captions_[control] = caption;
}

void ScriptedView::SetEnabled(Control control, bool enabled) {
    trace_.push_back(std::string(enabled ? "enable " : "disable ") + std::string(NameOf(control)));
    enabled_[control] = enabled;
}

void ScriptedView::SetChecked(Control box, bool checked) {
    if (checked_[box] == checked)
        return;
    checked_[box] = checked;
    Core->Clicked(box);
}

std::string ScriptedView::Text(Control control) const {
    if (Spec(control).Kind != ControlKind::List)
        return texts_.at(control);
    const int index = selected_.at(control);
    return index < 0 ? std::string() : items_.at(control)[static_cast<std::size_t>(index)].Text;
}

void ScriptedView::SetText(Control control, const std::string& text) {
    trace_.push_back("text " + std::string(NameOf(control)) + "=" + text);
    if (texts_[control] == text)
        return;
    texts_[control] = text;
    if (Spec(control).Kind == ControlKind::Edit)
        Core->TextChanged(control);
}

void ScriptedView::SetListItems(Control list, const std::vector<ListItem>& items) {
    std::string names;
    for (const ListItem& item : items)
        names += (names.empty() ? "" : ",") + item.Text;
    trace_.push_back("items " + std::string(NameOf(list)) + "=" + names);
    items_[list] = items;
    selected_[list] = -1;
}

void ScriptedView::SelectListItem(Control list, int index) {
    trace_.push_back("select " + std::string(NameOf(list)) + "=" + std::to_string(index));
    selected_[list] = index;
}

void ScriptedView::SetFocus(Control control) {
    trace_.push_back("focus " + std::string(NameOf(control)));
    focus_ = control;
}

void ScriptedView::FlashLabel(Control label, bool red) {
    trace_.push_back(std::string(red ? "red " : "normal ") + std::string(NameOf(label)));
}

std::optional<std::string> ScriptedView::OpenDialog(const FileFilter& filter,
                                                    const std::string& initialFile) {
    trace_.push_back("open dialog " + filter.Description + "|" + filter.Pattern + " at " +
                     initialFile);
    if (Answers.empty())
        return std::nullopt;
    std::optional<std::string> answer = Answers.front();
    Answers.pop_front();
    return answer;
}

std::optional<std::string> ScriptedView::SaveDialog(const FileFilter& filter,
                                                    const std::string& initialFile) {
    trace_.push_back("save dialog " + filter.Description + "|" + filter.Pattern + " at " +
                     initialFile);
    if (SaveAnswers.empty())
        return std::nullopt;
    std::optional<std::string> answer = SaveAnswers.front();
    SaveAnswers.pop_front();
    return answer;
}

bool ScriptedView::AskYesNo(const std::string& message) {
    Questions.push_back(message);
    if (YesNo.empty())
        return false;
    const bool yes = YesNo.front();
    YesNo.pop_front();
    return yes;
}

void ScriptedView::ProcessPendingMessages() {
    trace_.push_back("pump");
    for (auto posted = std::move(Posted); auto& work : posted)
        work();
    if (OnPump)
        OnPump();
}

void ScriptedView::Type(Control field, const std::string& text) {
    if (texts_[field] == text)
        return;
    texts_[field] = text;
    Core->TextChanged(field);
}

void ScriptedView::Choose(Control list, const std::string& entry) {
    const auto names = Items(list);
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] == entry)
            selected_[list] = static_cast<int>(i);
    Core->ListChosen(list);
}

std::vector<std::string> ScriptedView::Items(Control list) const {
    std::vector<std::string> names;
    if (const auto it = items_.find(list); it != items_.end())
        for (const ListItem& item : it->second)
            names.push_back(item.Text);
    return names;
}

} // namespace vandrel::form::test
