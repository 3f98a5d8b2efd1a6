#include "form/menu_table.h"

#include <array>

namespace vandrel::form {

namespace {

using enum MenuCommand;

constexpr std::array<MenuSpec, 4> kMenus = {{
    {Menu::File, "mnuFile", "File(&S)"},
    {Menu::Chip, "mnuChip", "Chip(&T)"},
    {Menu::Edit, "mnuEdit", "Edit(&Y)"},
    {Menu::Help, "mnuHelp", "Help(&N)"},
}};

// clang-format off
constexpr std::array<MenuCommandSpec, kMenuCommandCount> kCommands = {{
    {SaveChipAs,       Menu::File, "actSaveChipAs",       "&Save chip as...",               'S', false, false, true},
    {SaveLog,          Menu::File, "actSaveLog",          "Save &log as...",                'L'},
    {ReadChip,         Menu::Chip, "actReadChip",         "&Read into HEX file...",         'R', false, false, true},
    {Detect,           Menu::Chip, "actDetect",           "&Detect",                        'D', false, false, true},
    {CheckBeforeWrite, Menu::Chip, "actCheckBeforeWrite", "&Check the chip before writing", 0, true, true},
    {FastTiming,       Menu::Chip, "actFastTiming",       "&Fast timing (4.5-5.5 V)",       0, true},
    {CopyLog,          Menu::Edit, "actCopyLog",          "&Copy log",                      'C'},
    {About,            Menu::Help, "actAbout",            "&About",                         0},
}};
// clang-format on

constexpr bool InOrder() {
    for (std::size_t i = 0; i < kCommands.size(); ++i)
        if (static_cast<std::size_t>(kCommands[i].Id) != i)
            return false;
    return true;
}
static_assert(InOrder(), "the table lists the commands in the order of the enum");


} // namespace

std::span<const MenuSpec> MenuTable() {
    return kMenus;
}

std::span<const MenuCommandSpec> MenuCommandTable() {
    return kCommands;
}

const MenuCommandSpec& Spec(MenuCommand command) {
    return kCommands[static_cast<std::size_t>(command)];
}

std::optional<MenuCommand> MenuCommandOfId(int id) {
    if (id < kFirstMenuId || id >= kFirstMenuId + kMenuCommandCount)
        return std::nullopt;
    return static_cast<MenuCommand>(id - kFirstMenuId);
}

std::optional<MenuCommand> FindMenuCommand(std::string_view name) {
    for (const MenuCommandSpec& spec : kCommands)
        if (spec.Name == name)
            return spec.Id;
    return std::nullopt;
}

std::string ShortcutText(MenuCommand command) {
    const char key = Spec(command).ShortcutKey;
    return key == 0 ? std::string() : std::string("Ctrl+Shift+") + key;
}

} // namespace vandrel::form
