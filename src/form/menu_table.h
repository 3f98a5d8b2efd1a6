#pragma once
// The window's menu bar, once: its menus and their commands, with the names
// the Qt face gives its actions (object names) and the command IDs of the
// Win32 face (kFirstMenuId + the command's index). The access keys of the
// four menus are letters no control of the control table uses (its captions
// take every letter of "File", "Chip", "Edit" and "Help"), so they stand in
// brackets after the name; the shortcuts are Ctrl+Shift keys, which no edit
// field uses.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vandrel::form {

enum class Menu : std::uint8_t { File, Chip, Edit, Help };

enum class MenuCommand : std::uint8_t {
    SaveChipAs,
    SaveLog,
    ReadChip,
    Detect,
    CheckBeforeWrite,
    FastTiming,
    CopyLog,
    About,
};
inline constexpr int kMenuCommandCount = static_cast<int>(MenuCommand::About) + 1;
// Win32 command IDs of the menu start here (the controls' start at 1000).
inline constexpr int kFirstMenuId = 2000;

struct MenuSpec {
    Menu Id;
    std::string_view Name;    // mnuFile ...
    std::string_view Caption; // with "&" before the access key
};

struct MenuCommandSpec {
    MenuCommand Id;
    Menu Parent;
    std::string_view Name;    // actReadChip ...
    std::string_view Caption; // with "&" before the access key (within its menu)
    char ShortcutKey = 0;     // with Ctrl+Shift; 0: none
    bool Checkable = false;
    bool SeparatorBefore = false;
    bool IdleOnly = false;    // starts a run of its own: greyed while one is going
};

std::span<const MenuSpec> MenuTable();
std::span<const MenuCommandSpec> MenuCommandTable();
const MenuCommandSpec& Spec(MenuCommand command);
inline int MenuCommandId(MenuCommand command) {
    return kFirstMenuId + static_cast<int>(command);
}
std::optional<MenuCommand> MenuCommandOfId(int id);
std::optional<MenuCommand> FindMenuCommand(std::string_view name);
// "Ctrl+Shift+R", "" without a shortcut.
std::string ShortcutText(MenuCommand command);

// The menu bar's height at 96 dpi: the log gives it up at the start size.
inline constexpr int kMenuBarHeight = 20;

} // namespace vandrel::form
