#include "platform/linux/atspi_roles.h"

#include <array>
#include <map>
#include <memory>

namespace platform::atspi {
namespace {

// Roles whose name does not depend on states or the parent. Everything else falls through to the
// generated name, so a toolkit's unusual role still reads as something recognisable.
const std::map<AtspiRole, std::string_view>& fixedRoles() {
  static const std::map<AtspiRole, std::string_view> table = {
      {ATSPI_ROLE_PUSH_BUTTON, "AXButton"},
      {ATSPI_ROLE_TOGGLE_BUTTON, "AXCheckBox"},
      {ATSPI_ROLE_CHECK_BOX, "AXCheckBox"},
      {ATSPI_ROLE_RADIO_BUTTON, "AXRadioButton"},
      {ATSPI_ROLE_LINK, "AXLink"},
      {ATSPI_ROLE_MENU_ITEM, "AXMenuItem"},
      {ATSPI_ROLE_CHECK_MENU_ITEM, "AXMenuItem"},
      {ATSPI_ROLE_RADIO_MENU_ITEM, "AXMenuItem"},
      {ATSPI_ROLE_MENU_BAR, "AXMenuBar"},
      {ATSPI_ROLE_ENTRY, "AXTextField"},
      {ATSPI_ROLE_PASSWORD_TEXT, "AXTextField"},
      {ATSPI_ROLE_SLIDER, "AXSlider"},
      {ATSPI_ROLE_SPIN_BUTTON, "AXIncrementor"},
      {ATSPI_ROLE_PAGE_TAB, "AXTab"},
      {ATSPI_ROLE_FRAME, "AXWindow"},
      {ATSPI_ROLE_WINDOW, "AXWindow"},
      {ATSPI_ROLE_DIALOG, "AXWindow"},
      {ATSPI_ROLE_SCROLL_PANE, "AXScrollArea"},
      {ATSPI_ROLE_TOOL_BAR, "AXToolbar"},
      {ATSPI_ROLE_TABLE, "AXTable"},
      {ATSPI_ROLE_TREE_TABLE, "AXTable"},
      {ATSPI_ROLE_LIST, "AXList"},
      {ATSPI_ROLE_LIST_BOX, "AXList"},
      {ATSPI_ROLE_DOCUMENT_WEB, "AXWebArea"},
      {ATSPI_ROLE_SPLIT_PANE, "AXSplitGroup"},
      {ATSPI_ROLE_PANEL, "AXGroup"},
      {ATSPI_ROLE_FILLER, "AXGroup"},
      {ATSPI_ROLE_SECTION, "AXGroup"},
      {ATSPI_ROLE_APPLICATION, "AXApplication"},
      {ATSPI_ROLE_LABEL, "AXStaticText"},
      {ATSPI_ROLE_IMAGE, "AXImage"},
  };
  return table;
}

bool isWordBreak(char c) { return c == ' ' || c == '-' || c == '_'; }

std::string generatedName(AtspiRole role) {
  std::unique_ptr<gchar, decltype(&g_free)> raw(atspi_role_get_name(role), &g_free);
  std::string out = "AX";
  bool startOfWord = true;
  for (const char* p = raw ? raw.get() : "unknown"; *p; ++p) {
    if (isWordBreak(*p)) {
      startOfWord = true;
      continue;
    }
    char c = *p;
    if (startOfWord && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    out += c;
    startOfWord = false;
  }
  return out;
}

}  // namespace

bool roleNeedsParent(AtspiRole role) { return role == ATSPI_ROLE_MENU; }

std::string roleName(const RoleFacts& facts) {
  switch (facts.role) {
    case ATSPI_ROLE_MENU:
      return facts.parentRole == ATSPI_ROLE_MENU_BAR ? "AXMenuBarItem" : "AXMenuItem";
    case ATSPI_ROLE_COMBO_BOX:
      return facts.editable ? "AXComboBox" : "AXPopUpButton";
    case ATSPI_ROLE_TEXT:
      return facts.multiLine ? "AXTextArea" : "AXTextField";
    default:
      break;
  }
  auto found = fixedRoles().find(facts.role);
  if (found != fixedRoles().end()) return std::string(found->second);
  std::string generated = generatedName(facts.role);
  // Roles that newer libatspi versions name on their own ("button", "switch").
  if (generated == "AXSwitch") return "AXCheckBox";
  return generated;
}

std::string actionName(std::string_view atspiAction) {
  static constexpr std::array<std::string_view, 6> kPressNames = {"click",  "press", "activate",
                                                                  "toggle", "jump",  "open"};
  for (std::string_view press : kPressNames)
    if (atspiAction == press) return "AXPress";
  return std::string(atspiAction);
}

bool isWindowRole(AtspiRole role) {
  return role == ATSPI_ROLE_FRAME || role == ATSPI_ROLE_WINDOW || role == ATSPI_ROLE_DIALOG;
}

}  // namespace platform::atspi
