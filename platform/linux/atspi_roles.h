// How AT-SPI roles and action names read as the accessibility service's role and action names.
#pragma once

#include <atspi/atspi.h>

#include <string>
#include <string_view>

namespace platform::atspi {

// What decides an element's role name besides its AT-SPI role.
struct RoleFacts {
  AtspiRole role = ATSPI_ROLE_INVALID;
  AtspiRole parentRole = ATSPI_ROLE_INVALID;  // only asked for menus (roleNeedsParent)
  bool editable = false;                      // EDITABLE state (combo boxes)
  bool multiLine = false;                     // MULTI_LINE state (text)
};

// Whether the role name depends on the parent's role (a menu inside a menu bar is a menu-bar item).
bool roleNeedsParent(AtspiRole role);
// "AXButton", "AXCheckBox", ...; a role without an entry in the table becomes "AX" + its AT-SPI name in
// UpperCamelCase ("tree item" -> "AXTreeItem").
std::string roleName(const RoleFacts& facts);
// "click", "press", "activate", "toggle", "jump" and "open" are the one press action; others pass through.
std::string actionName(std::string_view atspiAction);
// Frames, windows and dialogs: what an application lists as its windows.
bool isWindowRole(AtspiRole role);

}  // namespace platform::atspi
